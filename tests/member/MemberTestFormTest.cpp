#include "member/MemberTestFormUnit.h"
#include "member/SimulatedMemberUnit.h"
#include "shell/LogFileUnit.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

// The dialog against the simulated device on a temp folder: what the buttons do shows in the
// device's card file and log.
class MemberTestFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempDir> Dir;
    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TSimulatedMember> Device;

    // The next widget that Tab reaches; labels and the combo box's inner edit are no stops.
    static QWidget* NextTabStop(QWidget* widget) {
        QWidget* next = widget->nextInFocusChain();
        while (next != widget && (!(next->focusPolicy() & Qt::TabFocus) || next->focusProxy() ||
                                  qobject_cast<QComboBox*>(next->parentWidget())))
            next = next->nextInFocusChain();
        return next;
    }

    std::string CardFile() const { return ReadFile(Dir->File("member-card.txt")); }

private slots:
    void init() {
        Dir = std::make_unique<TTempDir>();
        Log = std::make_unique<TLogFile>(Dir->File("test.LOG"));
        Device = std::make_unique<TSimulatedMember>(Dir->Path().string());
        LogFile = Log.get();
        MemberCard = Device.get();
    }
    void cleanup() {
        MemberCard = nullptr;
        LogFile = nullptr;
        Device.reset();
        Log.reset();
        Dir.reset();
    }

    void startsWithEmptyEditsAndTheHotelCard() {
        TMemberTestForm form;
        QCOMPARE(form.objectName(), QStringLiteral("MemberTestForm"));
        QCOMPARE(form.windowTitle(), QStringLiteral("测试"));
        QCOMPARE(form.size(), QSize(441, 311));
        QCOMPARE(form.ChannelCmb->count(), 2);
        QCOMPARE(form.ChannelCmb->itemText(0), QStringLiteral("酒店会员卡"));
        QCOMPARE(form.ChannelCmb->itemText(1), QStringLiteral("Corvel联盟卡"));
        QCOMPARE(form.ChannelCmb->currentText(), QStringLiteral("酒店会员卡"));
        QVERIFY(form.ChannelCmb->isEditable());
        QVERIFY(form.CardNoEdit->text().isEmpty());
        QVERIFY(form.PasswordEdit->text().isEmpty());
        QCOMPARE(form.OpenPortBtn->geometry(), QRect(24, 16, 75, 25));
        QCOMPARE(form.WriteCardBtn->geometry(), QRect(238, 221, 75, 25));
        // Tab order: ports, the two edits, read, write, beep, card kind.
        const QList<QWidget*> tabOrder = {form.OpenPortBtn,  form.ClosePortBtn, form.CardNoEdit,
                                          form.PasswordEdit, form.ReadCardBtn,  form.WriteCardBtn,
                                          form.beepBtn,      form.ChannelCmb};
        for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i)
            QCOMPARE(NextTabStop(tabOrder[i]), tabOrder[i + 1]);
    }

    void cardKindGivesTheChannel_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("channelLine");
        QTest::newRow("initial selection") << -1 << QString() << QByteArray("Channel=-1");
        QTest::newRow("alliance card") << 1 << QString() << QByteArray("Channel=11");
        QTest::newRow("typed text") << -1 << QStringLiteral("储值卡") << QByteArray("Channel=11");
        QTest::newRow("hotel card typed")
            << -1 << QStringLiteral("酒店会员卡") << QByteArray("Channel=-1");
    }
    void cardKindGivesTheChannel() {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QByteArray, channelLine);
        TMemberTestForm form;
        if (index >= 0)
            form.ChannelCmb->setCurrentIndex(index);
        // Key clicks cannot type Chinese; the operator's typing ends in the edit text all the same.
        if (!typed.isEmpty())
            form.ChannelCmb->setEditText(typed);
        QTest::keyClicks(form.CardNoEdit, QStringLiteral("A100"));
        QTest::keyClicks(form.PasswordEdit, QStringLiteral("ignored"));
        QTest::mouseClick(form.WriteCardBtn, Qt::LeftButton);
        // Only the card number is written; the password edit is not read.
        QCOMPARE(QByteArray::fromStdString(CardFile()),
                 "CardNo=A100\nSecondValue=\nThirdValue=\nFourthValue=\n" + channelLine + "\n");
    }

    void readShowsNumberAndPasswordWhateverTheResult() {
        WriteFile(Dir->File("member-card.txt"), "CardNo=8001\nPassword=pw9\nScore=5\n");
        TMemberTestForm form;
        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QCOMPARE(form.CardNoEdit->text(), QStringLiteral("8001"));
        QCOMPARE(form.PasswordEdit->text(), QStringLiteral("pw9"));

        // A card without number or password empties both edits.
        WriteFile(Dir->File("member-card.txt"), "Score=5\n");
        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QVERIFY(form.CardNoEdit->text().isEmpty());
        QVERIFY(form.PasswordEdit->text().isEmpty());

        // So does a failed read.
        form.CardNoEdit->setText(QStringLiteral("old"));
        std::filesystem::remove(Dir->File("member-card.txt"));
        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QVERIFY(form.CardNoEdit->text().isEmpty());
    }

    void portButtonsReachTheDevice() {
        TMemberTestForm form;
        QTest::mouseClick(form.OpenPortBtn, Qt::LeftButton);
        QTest::mouseClick(form.beepBtn, Qt::LeftButton);
        QTest::mouseClick(form.ClosePortBtn, Qt::LeftButton);
        const std::string log = ReadFile(Dir->File("test.LOG"));
        QVERIFY(log.find("打开串口") != std::string::npos);
        QVERIFY(log.find("Beep") != std::string::npos);
        QVERIFY(log.find("关闭串口") != std::string::npos);
    }

    void showRunsAFreshModalDialogEachTime() {
        for (int opening = 0; opening < 2; ++opening) {
            QString cardNo = QStringLiteral("unset");
            QString kind;
            bool modal = false;
            QTimer::singleShot(0, [&] {
                auto* form = qobject_cast<TMemberTestForm*>(QApplication::activeModalWidget());
                if (!form)
                    return;
                modal = form->isModal() && form->parentWidget() == nullptr;
                cardNo = form->CardNoEdit->text();
                kind = form->ChannelCmb->currentText();
                // Leave something behind that a reused dialog would show next time.
                form->CardNoEdit->setText(QStringLiteral("typed"));
                form->ChannelCmb->setCurrentIndex(1);
                form->reject();
            });
            ShowMemberTestForm();
            QVERIFY(modal);
            QCOMPARE(cardNo, QString());
            QCOMPARE(kind, QStringLiteral("酒店会员卡"));
        }
    }
};

QTEST_MAIN(MemberTestFormTest)
#include "MemberTestFormTest.moc"
