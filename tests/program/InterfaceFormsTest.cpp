// The main window's Test action by mode, as the operator sees it.

#include "InterfaceFormsUnit.h"
#include "police/BasePoliceUnit.h"
#include "shell/InterfaceModeUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

namespace {

class TFixedPolice : public TBasePolice {
public:
    void ShowOptionDialog() override {}
    std::optional<TGuest> GetGuest() override { return Guest; }
    std::optional<TGuest> Guest;
};

struct TSeenBox {
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    bool Seen = false;
};

// Closes the next message box once it is up and reports what it showed.
void CloseNextMessageBox(TSeenBox& seen) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &seen] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = {box->text(), box->icon(), true};
            poll->stop();
            poll->deleteLater();
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll->start(10);
    // A watchdog, so that a test never waits for ever on a modal loop.
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
}

// The Test action in the police mode with a device holding `guest`; what its box showed.
TSeenBox RunPoliceTest(std::optional<TGuest> guest) {
    TFixedPolice device;
    device.Guest = std::move(guest);
    Police = &device;
    InterfaceMode = PoliceInterface;
    TSeenBox seen;
    CloseNextMessageBox(seen);
    ShowModeTest(nullptr);
    Police = nullptr;
    return seen;
}

TGuest SampleGuest() {
    TGuest guest;
    guest.RoomNo = "0101";
    guest.Name = "李四";
    guest.GenderID = "0";
    guest.Address = "A & B";
    return guest;
}

} // namespace

class InterfaceFormsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        Police = nullptr;
        InterfaceMode = 0;
    }

    void policeTestShowsTheBareGuestText() {
        const TSeenBox seen = RunPoliceTest(SampleGuest());
        QVERIFY(seen.Seen);
        QCOMPARE(seen.Icon, QMessageBox::NoIcon);
        QVERIFY(seen.Text.startsWith("<Guest><RoomNo>0101</RoomNo>"));
        QVERIFY(seen.Text.contains("<Name>李四</Name>"));
        QVERIFY(seen.Text.contains("<SalutationID>1</SalutationID>"));
        QVERIFY(!seen.Text.contains("PoliceResponse"));
    }

    void policeTestReportsAGenderThatIsNoInteger() {
        TGuest guest = SampleGuest();
        guest.GenderID = "男";
        const TSeenBox seen = RunPoliceTest(guest);
        QVERIFY(seen.Seen);
        QCOMPARE(seen.Icon, QMessageBox::Critical);
        QCOMPARE(seen.Text, QString("'男' is not a valid integer value"));
    }

    void policeTestWithoutAGuestSaysSo() {
        const TSeenBox seen = RunPoliceTest(std::nullopt);
        QVERIFY(seen.Seen);
        QCOMPARE(seen.Text, QString("当前没有客人信息。"));
    }

    void withoutADeviceTheTestActionDoesNothing() {
        for (int mode : {DoorlockInterface, PoliceInterface, MemberInterface}) {
            InterfaceMode = mode;
            ShowModeTest(nullptr); // would block on a modal loop if it showed anything
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        }
    }
};

QTEST_MAIN(InterfaceFormsTest)
#include "InterfaceFormsTest.moc"
