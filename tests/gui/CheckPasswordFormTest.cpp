#include "GuiTestSupport.h"

#include "shell/CheckPasswordFormUnit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

class CheckPasswordFormTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StopModalWatches(); }

    void dialogLooksAsDesigned() {
        TProgramObjects objects;
        QWidget owner;
        TCheckPasswordForm form(&owner);
        QCOMPARE(form.objectName(), QString("CheckPasswordForm"));
        QCOMPARE(form.windowTitle(), QString("请输入管理员密码"));
        QCOMPARE(form.minimumSize(), QSize(306, 140));
        QCOMPARE(form.maximumSize(), QSize(306, 140));
        QCOMPARE(form.font().pixelSize(), 12);
        QVERIFY(form.font().families().contains("宋体"));
        auto* edit = Child<QLineEdit>(&form, "edtPswd");
        QVERIFY(edit);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                 int('*'));
        auto* ok = Child<QPushButton>(&form, "btnOK");
        auto* cancel = Child<QPushButton>(&form, "btnCancel");
        QCOMPARE(ok->text(), QString("确定"));
        QCOMPARE(cancel->text(), QString("取消"));
        QVERIFY(ok->isDefault());
        QVERIFY(!ok->icon().isNull() && !cancel->icon().isNull());
        QCOMPARE(Child<QWidget>(&form, "Image1")->size(), QSize(32, 32));

        // Tab order: the entry, then OK, then Cancel.
        QWidget* next = edit->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next, ok);
        next = ok->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next, cancel);
    }

    void entryIsTrimmedAndCaseSensitive_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << "Secret"
                               << "Secret" << true;
        QTest::newRow("spaces around") << "Secret"
                                       << "  Secret   " << true;
        QTest::newRow("control characters around") << "Secret"
                                                   << "\tSecret\r\n"
                                                   << true;
        QTest::newRow("other case") << "Secret"
                                    << "secret" << false;
        QTest::newRow("space inside") << "Secret"
                                      << "Sec ret" << false;
        QTest::newRow("inner space kept") << "a b"
                                          << " a b " << true;
        QTest::newRow("Chinese password") << "管理员"
                                          << " 管理员" << true;
        QTest::newRow("empty password, blank entry") << ""
                                                     << "   " << true;
        QTest::newRow("empty entry, password set") << "Secret"
                                                   << "" << false;
        QTest::newRow("full-width space is no padding") << "Secret"
                                                        << "Secret　" << false;
    }

    // Each entry is confirmed with Enter (the default button); a rejected one shows the error
    // box, after which the prompt is cancelled with Esc.
    void entryIsTrimmedAndCaseSensitive() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        TProgramObjects objects;
        SysOption->Password = stored.toStdString();
        bool missed = false;
        bool errorShown = false;
        WhenModal<TCheckPasswordForm>(
            [&](TCheckPasswordForm* form) {
                auto* edit = Child<QLineEdit>(form, "edtPswd");
                edit->setText(typed);
                if (!accepted) {
                    WhenModal<QMessageBox>(
                        [&, form](QMessageBox* box) {
                            errorShown = true;
                            box->button(QMessageBox::Ok)->click();
                            QTimer::singleShot(0, form,
                                               [form] { QTest::keyClick(form, Qt::Key_Escape); });
                        },
                        &missed);
                }
                QTest::keyClick(edit, Qt::Key_Return);
            },
            &missed);
        QCOMPARE(CheckPassword(nullptr), accepted);
        QVERIFY(!missed);
        QCOMPARE(errorShown, !accepted);
    }

    void wrongEntryShowsErrorAndStaysOpen() {
        TProgramObjects objects;
        SysOption->Password = "Secret";
        bool missed = false;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool stillOpen = false;
        QString entryAfter;
        bool focusInEntry = false;
        WhenModal<TCheckPasswordForm>(
            [&](TCheckPasswordForm* form) {
                auto* edit = Child<QLineEdit>(form, "edtPswd");
                edit->setText("SECRET");
                WhenModal<QMessageBox>(
                    [&, form, edit](QMessageBox* box) {
                        title = box->windowTitle();
                        text = box->text();
                        icon = box->icon();
                        box->button(QMessageBox::Ok)->click();
                        QTimer::singleShot(0, form, [&, form, edit] {
                            stillOpen = form->isVisible() && form->result() != QDialog::Accepted;
                            entryAfter = edit->text();
                            focusInEntry = form->focusWidget() == edit;
                            // The right password now passes in the same prompt.
                            edit->setText("Secret");
                            Child<QPushButton>(form, "btnOK")->click();
                        });
                    },
                    &missed);
                Child<QPushButton>(form, "btnOK")->click();
            },
            &missed);
        QVERIFY(CheckPassword(nullptr));
        QVERIFY(!missed);
        QCOMPARE(title, QString("提示"));
        QCOMPARE(text, QString("密码错误 ！"));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(stillOpen);
        QCOMPARE(entryAfter, QString("SECRET"));
        QVERIFY(focusInEntry);
    }

    void cancelAnswersFalse_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }

    void cancelAnswersFalse() {
        QFETCH(int, way);
        TProgramObjects objects;
        SysOption->Password = "Secret";
        bool missed = false;
        WhenModal<TCheckPasswordForm>(
            [&](TCheckPasswordForm* form) {
                // The right password typed but not confirmed must not count.
                Child<QLineEdit>(form, "edtPswd")->setText("Secret");
                if (way == 0)
                    Child<QPushButton>(form, "btnCancel")->click();
                else if (way == 1)
                    QTest::keyClick(form, Qt::Key_Escape);
                else
                    form->close();
            },
            &missed);
        QVERIFY(!CheckPassword(nullptr));
        QVERIFY(!missed);
    }

    void promptIsCentredOverItsOwner() {
        TProgramObjects objects;
        QWidget owner;
        owner.setGeometry(100, 100, 873, 500);
        owner.show();
        bool missed = false;
        QPoint ownerCentre, formCentre;
        WhenModal<TCheckPasswordForm>(
            [&](TCheckPasswordForm* form) {
                ownerCentre = owner.geometry().center();
                formCentre = form->geometry().center();
                form->reject();
            },
            &missed);
        CheckPassword(&owner);
        QVERIFY(!missed);
        QVERIFY((ownerCentre - formCentre).manhattanLength() < 40);
    }
};

QTEST_MAIN(CheckPasswordFormTest)
#include "CheckPasswordFormTest.moc"
