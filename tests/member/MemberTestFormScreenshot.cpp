#include "member/MemberTestFormUnit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLineEdit>
#include <QPixmap>
#include <QtTest>

// Grabs the member-card test dialog, as the operator sees it with a card read, for review.
class MemberTestFormScreenshot : public QObject {
    Q_OBJECT

private slots:
    void grab() {
        QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 9));
        TMemberTestForm form;
        form.CardNoEdit->setText(QStringLiteral("8001"));
        form.PasswordEdit->setText(QStringLiteral("123456"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString path = QStringLiteral(SCREENSHOT_PATH);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(form.grab().save(path));
    }
};

QTEST_MAIN(MemberTestFormScreenshot)
#include "MemberTestFormScreenshot.moc"
