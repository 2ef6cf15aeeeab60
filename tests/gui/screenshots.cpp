// Renders the program's windows offscreen to PNG files, one per entry of Shots below, so that they
// can be looked at without a display. Each image gets a plain caption bar with the window's icon
// and title, which an offscreen window does not draw.
#include "shell/AboutFormUnit.h"
#include "shell/ChangePasswordFormUnit.h"
#include "shell/CheckPasswordFormUnit.h"
#include "shell/InterfaceModeUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/MainFormUnit.h"
#include "shell/SysOptionUnit.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

struct TShot {
    const char* Name; // file name without ".png"
    int Mode;         // InterfaceMode while the window is made
    std::function<std::unique_ptr<QWidget>()> Make;
};

std::unique_ptr<QWidget> TypedPassword(std::unique_ptr<QWidget> form) {
    for (auto* edit : form->findChildren<QLineEdit*>())
        edit->setText("secret");
    return form;
}

// The main window with one of its menus dropped down under its title, as an operator sees it.
std::unique_ptr<QWidget> MainFormMenu(int index) {
    TMainForm form;
    form.show();
    QApplication::processEvents();
    QPixmap picture = form.grab();
    QAction* title = form.menuBar()->actions().at(index);
    QMenu* menu = title->menu();
    menu->adjustSize();
    const QPoint below =
        form.menuBar()->mapTo(&form, form.menuBar()->actionGeometry(title).bottomLeft());
    QPainter(&picture).drawPixmap(below, menu->grab());
    auto shot = std::make_unique<QLabel>();
    shot->setPixmap(picture);
    shot->setWindowTitle(form.windowTitle());
    shot->setWindowIcon(form.windowIcon());
    shot->setFixedSize(picture.size());
    return shot;
}

// Add a window here: one line with its file name, the interface mode and how to make it.
const TShot Shots[] = {
    {"main-doorlock", DoorlockInterface, [] { return std::make_unique<TMainForm>(); }},
    {"main-police", PoliceInterface, [] { return std::make_unique<TMainForm>(); }},
    {"main-member", MemberInterface, [] { return std::make_unique<TMainForm>(); }},
    {"main-menu-file", DoorlockInterface, [] { return MainFormMenu(0); }},
    {"main-menu-tools", DoorlockInterface, [] { return MainFormMenu(1); }},
    {"main-menu-help", DoorlockInterface, [] { return MainFormMenu(2); }},
    {"check-password", DoorlockInterface,
     [] { return TypedPassword(std::make_unique<TCheckPasswordForm>(nullptr)); }},
    {"change-password", DoorlockInterface,
     [] { return TypedPassword(std::make_unique<TChangePasswordForm>(nullptr)); }},
    {"about-doorlock", DoorlockInterface, [] { return std::make_unique<TAboutForm>(); }},
    {"about-police", PoliceInterface, [] { return std::make_unique<TAboutForm>(); }},
    {"about-member", MemberInterface, [] { return std::make_unique<TAboutForm>(); }},
};

QImage WithCaption(QWidget& window) {
    const QPixmap content = window.grab();
    const int bar = 28;
    QImage image(content.width() + 2, content.height() + bar + 1, QImage::Format_ARGB32);
    image.fill(QColor(0x60, 0x60, 0x60));
    QPainter p(&image);
    p.fillRect(QRect(1, 1, content.width(), bar - 1), QColor(0xdd, 0xe6, 0xf2));
    const QIcon icon = window.windowIcon();
    if (!icon.isNull())
        p.drawPixmap(7, 6, icon.pixmap(16, 16));
    QFont font = window.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(icon.isNull() ? 9 : 29, 1, content.width() - 60, bar - 1),
               Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
    p.drawText(QRect(content.width() - 26, 1, 20, bar - 1), Qt::AlignCenter, "✕");
    p.drawPixmap(1, bar, content);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : HALVANE_SCREENSHOT_DIR;
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    // The windows read the program-wide objects; they live in a scratch folder here.
    QTemporaryDir scratch;
    TLogFile log(scratch.filePath("screenshots.LOG").toStdString());
    TSysOption options(scratch.filePath("Option.ini").toStdString());
    options.DoorlockPortNo = options.PolicePortNo = options.MemberPortNo = 0;
    LogFile = &log;
    SysOption = &options;

    int failures = 0;
    for (const TShot& shot : Shots) {
        InterfaceMode = shot.Mode;
        std::unique_ptr<QWidget> window = shot.Make();
        window->show();
        QApplication::processEvents();
        const QString file = QDir(folder).filePath(QString(shot.Name) + ".png");
        if (WithCaption(*window).save(file)) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
        window->hide();
    }
    InterfaceMode = 0;
    SysOption = nullptr;
    LogFile = nullptr;
    return failures == 0 ? 0 : 1;
}
