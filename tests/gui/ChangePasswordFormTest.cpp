#include "GuiTestSupport.h"

#include "shell/ChangePasswordFormUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

namespace {

struct TOutcome {
    bool Missed = false;
    QStringList Messages; // "<icon>:<title>:<text>" of every message box, in order
    bool OpenAfterMessage = false;
    QString EntryAfter, ConfirmAfter;
};

// Opens the change dialog, types both entries, presses OK and records what follows. When the
// dialog is still open after the message it is cancelled.
TOutcome RunChange(const QString& entry, const QString& confirmation) {
    auto outcome = std::make_shared<TOutcome>();
    WhenModal<TChangePasswordForm>(
        [=](TChangePasswordForm* form) {
            Child<QLineEdit>(form, "edtPswd")->setText(entry);
            Child<QLineEdit>(form, "edtConfirmPswd")->setText(confirmation);
            WhenModal<QMessageBox>(
                [=](QMessageBox* box) {
                    outcome->Messages << QString("%1:%2:%3")
                                             .arg(int(box->icon()))
                                             .arg(box->windowTitle(), box->text());
                    box->button(QMessageBox::Ok)->click();
                    QTimer::singleShot(50, form, [=] {
                        // A second box (after an error box) would be the success message.
                        if (auto* next =
                                qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                            outcome->Messages << next->text();
                            next->button(QMessageBox::Ok)->click();
                        }
                        outcome->OpenAfterMessage = form->isVisible();
                        outcome->EntryAfter = Child<QLineEdit>(form, "edtPswd")->text();
                        outcome->ConfirmAfter = Child<QLineEdit>(form, "edtConfirmPswd")->text();
                        if (form->isVisible())
                            Child<QPushButton>(form, "btnCancel")->click();
                    });
                },
                &outcome->Missed);
            Child<QPushButton>(form, "btnOK")->click();
        },
        &outcome->Missed);
    ChangePassword(nullptr);
    return *outcome;
}

QString Box(QMessageBox::Icon icon, const QString& text) {
    return QString("%1:提示:%2").arg(int(icon)).arg(text);
}

} // namespace

class ChangePasswordFormTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StopModalWatches(); }

    void dialogLooksAsDesigned() {
        TProgramObjects objects;
        TChangePasswordForm form(nullptr);
        QCOMPARE(form.objectName(), QString("ChangePasswordForm"));
        QCOMPARE(form.windowTitle(), QString("更改管理员密码"));
        QCOMPARE(form.minimumSize(), QSize(346, 163));
        QCOMPARE(form.maximumSize(), QSize(346, 163));
        QCOMPARE(form.font().pixelSize(), 12);
        QCOMPARE(Child<QLabel>(&form, "Label1")->text(), QString("新密码："));
        QCOMPARE(Child<QLabel>(&form, "Label2")->text(), QString("新密码确认："));
        QCOMPARE(Child<QWidget>(&form, "Image1")->size(), QSize(48, 48));
        QList<QWidget*> order{
            Child<QLineEdit>(&form, "edtPswd"), Child<QLineEdit>(&form, "edtConfirmPswd"),
            Child<QPushButton>(&form, "btnOK"), Child<QPushButton>(&form, "btnCancel")};
        for (int i = 0; i < 2; ++i) {
            auto* edit = qobject_cast<QLineEdit*>(order[i]);
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                     int('*'));
        }
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus)
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }
        QVERIFY(Child<QPushButton>(&form, "btnOK")->isDefault());
    }

    void mismatchStoresNothing() {
        TProgramObjects objects;
        SysOption->Password = "Old";
        const TOutcome outcome = RunChange("New1", "New2");
        QVERIFY(!outcome.Missed);
        QCOMPARE(outcome.Messages,
                 QStringList{Box(QMessageBox::Critical, "您两次输入的密码不一致，请重新输入！")});
        QVERIFY(outcome.OpenAfterMessage);
        QCOMPARE(outcome.EntryAfter, QString("New1"));
        QCOMPARE(outcome.ConfirmAfter, QString("New2"));
        QCOMPARE(SysOption->Password, std::string("Old"));
        QVERIFY(!QFile::exists(QString::fromStdString(SysOption->FileName)));
    }

    void successWritesTheFile() {
        TProgramObjects objects;
        SysOption->Password = "Old";
        // Another program's key in the file must survive the write.
        QFile file(QString::fromStdString(SysOption->FileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[SysOption]\r\nForeignKey=kept\r\n");
        file.close();

        const TOutcome outcome = RunChange("  新Pass ", "新Pass\t");
        QVERIFY(!outcome.Missed);
        QCOMPARE(outcome.Messages,
                 QStringList{Box(QMessageBox::Information, "管理员密码更改成功！")});
        QVERIFY(!outcome.OpenAfterMessage);
        QCOMPARE(SysOption->Password, std::string("新Pass"));

        TSysOption reloaded(SysOption->FileName);
        reloaded.Load();
        QCOMPARE(reloaded.Password, std::string("新Pass"));
        const QByteArray text = objects.ReadFile("Option.ini");
        QVERIFY(text.contains("Password=新Pass"));
        QVERIFY(text.contains("ForeignKey=kept"));
    }

    void emptyNewPasswordIsAccepted() {
        TProgramObjects objects;
        SysOption->Password = "Old";
        const TOutcome outcome = RunChange(" ", "");
        QCOMPARE(outcome.Messages,
                 QStringList{Box(QMessageBox::Information, "管理员密码更改成功！")});
        QCOMPARE(SysOption->Password, std::string());
    }

    void failedSaveKeepsTheOldPassword() {
        TProgramObjects objects;
        SysOption->Password = "Old";
        // A folder that does not exist cannot take the file.
        SysOption->FileName = objects.File("missing/Option.ini");
        const TOutcome outcome = RunChange("New", "New");
        QVERIFY(!outcome.Missed);
        QCOMPARE(outcome.Messages.size(), 1);
        QVERIFY(outcome.Messages[0].startsWith(QString("%1:").arg(int(QMessageBox::Critical))));
        QVERIFY(outcome.Messages[0].endsWith(
            QString::fromStdString("Unable to write to " + SysOption->FileName)));
        QVERIFY(outcome.OpenAfterMessage);
        QCOMPARE(SysOption->Password, std::string("Old"));
    }
};

QTEST_MAIN(ChangePasswordFormTest)
#include "ChangePasswordFormTest.moc"
