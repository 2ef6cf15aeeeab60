// The door-lock test dialog on the offscreen platform, driving the real encoder stand-in and a
// real Client.db.
#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockRecordManagerUnit.h"
#include "doorlock/DoorlockTestFormUnit.h"
#include "doorlock/HalvaneUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

TDateTime At(const char* text) {
    return *TDateTime::Parse(text);
}

// Runs `action` and answers the first modal window it opens with `answer`.
void WithModal(const std::function<void()>& action, const std::function<void(QWidget*)>& answer) {
    QTimer timer;
    bool answered = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && !answered) {
            answered = true;
            answer(modal);
        }
    });
    timer.start(10);
    action();
    timer.stop();
    QVERIFY2(answered, "no modal window opened");
}

} // namespace

class DoorlockTestFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempDir> Dir;
    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TSysOption> Options;
    std::unique_ptr<TDoorlockRecordManager> Store;
    std::unique_ptr<THalvane> Device;

    std::string Journal() const { return ReadFile(Dir->File("tarnel-calls.log")); }
    std::string Card() const { return ReadFile(Dir->File("tarnel-card.txt")); }

    QStringList Rows(const char* sql) const {
        QStringList rows;
        sqlite3* db = nullptr;
        sqlite3_open_v2(Dir->File("Client.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                columns << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            rows << columns.join('|');
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        return rows;
    }

private slots:
    void init() {
        Dir = std::make_unique<TTempDir>();
        ::setenv("TARNEL_SIM_DIR", Dir->Path().c_str(), 1);
        Log = std::make_unique<TLogFile>(Dir->File("test.LOG"));
        Options = std::make_unique<TSysOption>(Dir->File("Option.ini"));
        Store = std::make_unique<TDoorlockRecordManager>();
        Store->Open(Dir->File("Client.db"));
        Device = std::make_unique<THalvane>();
        LogFile = Log.get();
        SysOption = Options.get();
        DoorlockRecordManager = Store.get();
        Doorlock = Device.get();
    }

    void cleanup() {
        Doorlock = nullptr;
        DoorlockRecordManager = nullptr;
        SysOption = nullptr;
        LogFile = nullptr;
        Device.reset();
        Store.reset();
        Options.reset();
        Log.reset();
        Dir.reset();
        ::unsetenv("TARNEL_SIM_DIR");
    }

    void controlsStandWhereTheOperatorExpectsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        auto row = [](const char* name, int x, int y, int w, int h, const char* caption) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(x, y, w, h)
                                << QString::fromUtf8(caption);
        };
        row("OpenPortBtn", 144, 24, 75, 25, "打开串口");
        row("beepBtn", 280, 24, 75, 25, "Beep");
        row("ClosePortBtn", 424, 24, 75, 25, "关闭串口");
        row("Label2", 104, 152, 27, 13, "楼号:");
        row("RoomBuildingCodeTxt", 160, 152, 71, 21, "00");
        row("Label3", 248, 152, 27, 13, "楼层:");
        row("RoomFloorCodeTxt", 280, 152, 71, 21, "01");
        row("Label4", 392, 152, 27, 13, "房号:");
        row("RoomNoTxt", 424, 152, 71, 21, "01");
        row("Label7", 96, 200, 60, 13, "起始时间：");
        row("Label8", 304, 200, 12, 13, "到");
        row("WriteCardBtn", 424, 248, 75, 25, "写卡");
        row("IsCopyCheckBox", 320, 256, 57, 17, "复制");
        row("Label1", 104, 312, 24, 13, "卡号");
        row("CardNoTxt", 160, 304, 121, 21, "");
        row("ReadCardBtn", 320, 304, 75, 25, "读卡");
        row("EraseCardBtn", 424, 304, 75, 25, "销卡");
    }

    void controlsStandWhereTheOperatorExpectsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        TDoorlockTestForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("测试"));
        QCOMPARE(form.size(), QSize(599, 394));
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->pos(), geometry.topLeft());
        if (auto* label = qobject_cast<QLabel*>(control)) {
            // Labels fit their caption; never smaller than designed.
            QVERIFY(label->width() >= geometry.width() && label->height() >= geometry.height());
            QCOMPARE(label->text(), caption);
        } else {
            QCOMPARE(control->size(), geometry.size());
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                QCOMPARE(button->text(), caption);
            else if (auto* edit = qobject_cast<QLineEdit*>(control))
                QCOMPARE(edit->text(), caption);
        }
    }

    void opensWithAnHourBeforeAndTwoDaysAfter() {
        TDoorlockTestForm form;
        form.FormCreate(At("2008-05-06 10:00:00"));
        QCOMPARE(form.CheckInDateTimeTxt->text(), QStringLiteral("2008-05-06 09:00:00"));
        QCOMPARE(form.CheckOutDateTimeTxt->text(), QStringLiteral("2008-05-08 10:00:00"));

        const TDateTime before = TDateTime::Now();
        TDoorlockTestForm opened;
        const TDateTime after = TDateTime::Now();
        const TDateTime in = At(opened.CheckInDateTimeTxt->text().toStdString().c_str());
        const TDateTime out = At(opened.CheckOutDateTimeTxt->text().toStdString().c_str());
        QVERIFY(in >= before.IncMinute(-60).IncMilliseconds(-1000));
        QVERIFY(in <= after.IncMinute(-60));
        QCOMPARE(out.Milliseconds() - in.Milliseconds(), int64_t(49) * 3600 * 1000);
    }

    // The typed times go to the card as they stand: the delay settings are not applied.
    void writeReadEraseWithTheStandIn() {
        Options->SaveDoorlockRecord = true;
        Options->DelayMinutes = 10;
        Options->DelayMinutes2 = 30;
        TDoorlockTestForm form;
        form.CheckInDateTimeTxt->setText("2008-05-06 14:35:20");
        form.CheckOutDateTimeTxt->setText("2008-05-08 12:00:00");
        QTest::mouseClick(form.WriteCardBtn, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(Card()),
                 QStringLiteral("building=0\nfloor=1\nroom=1\ncopy=0\nstart=2008-05-06 14:35\n"
                                "end=2008-05-08 12:00\n"));
        QCOMPARE(Rows("select RegisterId, CardNo, RoomNo, CardType, LastCheckInTime, CheckInTime,"
                      " CheckOutTime, IsCopy, GuestName from T_IssueCardRecord"),
                 QStringList{"|2008050614011|000101|1|2008-05-06 14:35:20|2008-05-06 14:35:20|"
                             "2008-05-08 12:00:00|0|Test"});

        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QCOMPARE(form.CardNoTxt->text(), QStringLiteral("2008050614011"));
        QTest::mouseClick(form.EraseCardBtn, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(Card()), QString());
        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QCOMPARE(form.CardNoTxt->text(), QStringLiteral("0"));
        QCOMPARE(QString::fromStdString(Journal()),
                 QStringLiteral("MakeGuestCard 1\nReadCard 1\nClearCardData 1\nReadCard -3\n"));
    }

    void portButtonsReachTheDevice() {
        TDoorlockTestForm form;
        QTest::mouseClick(form.OpenPortBtn, Qt::LeftButton);
        QTest::mouseClick(form.beepBtn, Qt::LeftButton);
        QTest::mouseClick(form.ClosePortBtn, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(Journal()), QStringLiteral("MakeCardOpenPort 1\n"));
        QVERIFY(ReadFile(Dir->File("test.LOG")).find("系统初始化成功") != std::string::npos);
    }

    void failedWriteIsRecordedWithCardZero() {
        Options->SaveDoorlockRecord = true;
        WriteFile(Dir->File("tarnel-result"), "-1");
        TDoorlockTestForm form;
        form.CardNoTxt->setText("123");
        QTest::mouseClick(form.WriteCardBtn, Qt::LeftButton);
        QCOMPARE(Rows("select CardNo from T_IssueCardRecord"), QStringList{"0"});
        QTest::mouseClick(form.ReadCardBtn, Qt::LeftButton);
        QCOMPARE(form.CardNoTxt->text(), QStringLiteral("0"));
    }

    // With the native database a ticked copy for an unknown room opens its stay now.
    void copyForUnknownRoomAddsTheRoom() {
        Options->UseNativeDoorlockDb = true;
        TDoorlockTestForm form;
        form.IsCopyCheckBox->setChecked(true);
        form.RoomNoTxt->setText("7");
        QTest::mouseClick(form.WriteCardBtn, Qt::LeftButton);
        const QStringList rooms = Rows("select RoomNo from T_Room");
        QCOMPARE(rooms, QStringList{"00017"});
        QVERIFY(Card().find("copy=1\n") != std::string::npos);
    }

    void errorsShowInAnErrorBoxAndIssueNothing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("date") << "CheckInDateTimeTxt"
                              << "2008-13-01 00:00:00"
                              << "'2008-13-01 00:00:00' 不是有效的日期时间";
        QTest::newRow("code") << "RoomNoTxt"
                              << "x1"
                              << "发卡失败：房号\"x1\"不是0到32767之间的整数";
    }

    void errorsShowInAnErrorBoxAndIssueNothing() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TDoorlockTestForm form;
        form.findChild<QLineEdit*>(field)->setText(text);
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WithModal([&] { QTest::mouseClick(form.WriteCardBtn, Qt::LeftButton); },
                  [&](QWidget* modal) {
                      auto* box = qobject_cast<QMessageBox*>(modal);
                      QVERIFY(box);
                      shown = box->text();
                      icon = box->icon();
                      box->accept();
                  });
        QCOMPARE(shown, message);
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(QString::fromStdString(Journal()), QString());
    }

    void showOpensItModalWithNoOwnerAndFreesIt() {
        QPointer<QWidget> seen;
        WithModal([] { ShowDoorlockTestForm(); },
                  [&](QWidget* modal) {
                      seen = modal;
                      QVERIFY(qobject_cast<TDoorlockTestForm*>(modal));
                      QCOMPARE(modal->parentWidget(), nullptr);
                      qobject_cast<QDialog*>(modal)->reject();
                  });
        QVERIFY(seen.isNull());
    }

    void screenshot() {
        TDoorlockTestForm form;
        form.FormCreate(At("2008-05-06 10:00:00"));
        form.CardNoTxt->setText("2008050614011");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString path = QStringLiteral(SCREENSHOT_PATH);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QVERIFY(form.grab().save(path));
    }
};

QTEST_MAIN(DoorlockTestFormTest)
#include "DoorlockTestFormTest.moc"
