#include "GuiTestSupport.h"

#include "shell/AboutFormUnit.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

class AboutFormTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StopModalWatches(); }

    void showsTheModeTitle_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::newRow("door lock") << 1 << "CorvelHostra门锁接口";
        QTest::newRow("police") << 2 << "CorvelHostra公安接口";
        QTest::newRow("member card") << 3 << "CorvelHostra会员卡接口";
    }

    void showsTheModeTitle() {
        QFETCH(int, mode);
        QFETCH(QString, title);
        TProgramObjects objects(mode);
        bool missed = false;
        QString caption, appTitle, version, copyright, company;
        WhenModal<TAboutForm>(
            [&](TAboutForm* form) {
                caption = form->windowTitle();
                appTitle = Child<QLabel>(form, "lblAppTitle")->text();
                version = Child<QLabel>(form, "lblVersion")->text();
                copyright = Child<QLabel>(form, "lblCopyright")->text();
                company = Child<QLabel>(form, "lblCompany")->text();
                Child<QPushButton>(form, "btnOK")->click();
            },
            &missed);
        ShowAbout();
        QVERIFY(!missed);
        QCOMPARE(caption, "关于 " + title);
        QCOMPARE(appTitle, title);
        QCOMPARE(version, QString("版本 1.0.0.0"));
        QVERIFY(!copyright.isEmpty());
        QVERIFY(!company.isEmpty());
    }

    void boxLooksAsDesigned() {
        TProgramObjects objects;
        TAboutForm form;
        QCOMPARE(form.objectName(), QString("AboutForm"));
        QCOMPARE(form.parent(), nullptr);
        QCOMPARE(form.minimumSize(), QSize(413, 262));
        QCOMPARE(form.maximumSize(), QSize(413, 262));
        QCOMPARE(form.font().pixelSize(), 12);
        QCOMPARE(Child<QWidget>(&form, "Image1")->size(), QSize(132, 238));
        auto* memo = Child<QPlainTextEdit>(&form, "mmo");
        QVERIFY(!memo->isEnabled());
        QVERIFY(memo->toPlainText().isEmpty());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(Child<QPushButton>(&form, "btnOK")->text(), QString("确定(&O)"));
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((form.geometry().center() - screenCentre).manhattanLength() < 4);
    }

    void okClosesWithAccepted() {
        TProgramObjects objects;
        TAboutForm form;
        bool missed = false;
        WhenModal<TAboutForm>([](TAboutForm* shown) { QTest::keyClick(shown, Qt::Key_Return); },
                              &missed);
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QVERIFY(!missed);
    }
};

QTEST_MAIN(AboutFormTest)
#include "AboutFormTest.moc"
