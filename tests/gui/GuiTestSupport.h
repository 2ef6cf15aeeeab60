#pragma once

#include "shell/InterfaceModeUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// The program-wide objects a window reads, made for one test in a fresh folder and reset after.
class TProgramObjects {
public:
    explicit TProgramObjects(int mode = DoorlockInterface) {
        Log_ = std::make_unique<TLogFile>(File("test.LOG"));
        Options_ = std::make_unique<TSysOption>(File("Option.ini"));
        LogFile = Log_.get();
        SysOption = Options_.get();
        InterfaceMode = mode;
    }
    ~TProgramObjects() {
        InterfaceMode = 0;
        SysOption = nullptr;
        LogFile = nullptr;
    }
    TProgramObjects(const TProgramObjects&) = delete;
    TProgramObjects& operator=(const TProgramObjects&) = delete;

    std::string File(const QString& name) const { return Dir_.filePath(name).toStdString(); }
    QByteArray ReadFile(const QString& name) const {
        QFile file(Dir_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir Dir_;
    std::unique_ptr<TLogFile> Log_;
    std::unique_ptr<TSysOption> Options_;
};

// Closes every modal dialog, innermost first, so that a test never hangs in a modal loop.
inline void RejectAllModals() {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog)
            break;
        dialog->reject();
        QApplication::processEvents();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
}

// Watches are timers of the application with this name, so that a test's cleanup can end the ones
// still waiting before the next test starts.
inline const QString ModalWatchName = QStringLiteral("ModalWatch");

inline QTimer* NewModalWatch() {
    auto* poll = new QTimer(qApp);
    poll->setObjectName(ModalWatchName);
    return poll;
}

// Ends every watch still waiting and closes what a failed test left open.
inline void StopModalWatches() {
    for (QTimer* poll : qApp->findChildren<QTimer*>(ModalWatchName, Qt::FindDirectChildrenOnly))
        delete poll;
    RejectAllModals();
}

// Runs action on the next modal widget of type T as soon as it is the active modal widget.
// Modal loops block the test, so the checks on a dialog run from here. When none appears within
// timeoutMs, every open modal dialog is closed and *missed (when given) is set.
template <typename T>
void WhenModal(std::function<void(T*)> action, bool* missed = nullptr, int timeoutMs = 5000) {
    auto* poll = NewModalWatch();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, qApp, [=] {
        if (T* widget = qobject_cast<T*>(QApplication::activeModalWidget());
            widget && widget->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(widget);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            poll->stop();
            poll->deleteLater();
            if (missed)
                *missed = true;
            RejectAllModals();
        }
    });
    poll->start(10);
}

// Watches for any modal widget for timeoutMs and closes it when one appears; *seen tells.
inline void RejectAnyModal(bool* seen, int timeoutMs = 1000) {
    auto* poll = NewModalWatch();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, qApp, [=] {
        if (QApplication::activeModalWidget()) {
            *seen = true;
            RejectAllModals();
        }
        if (clock->elapsed() > timeoutMs) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

template <typename T> T* Child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}
