#include "GuiTestSupport.h"

#include "shell/AboutFormUnit.h"
#include "shell/ChangePasswordFormUnit.h"
#include "shell/CheckPasswordFormUnit.h"
#include "shell/MainFormUnit.h"

#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <arpa/inet.h>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One request over loopback: sends bytes, then reads until the server closes.
std::string Exchange(uint16_t port, const std::string& bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return "<no connection>";
    }
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    [[maybe_unused]] ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[1024];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, size_t(n));
    ::close(fd);
    return answer;
}

class TEchoHandler : public TMessageHandler {
public:
    void HandleMessage(TConnection& connection, const std::string& text) override {
        connection.Write("echo:" + text + std::string(1, '\0'));
    }
};

// Ports of every mode at 0, so each window listens on a free port of its own.
void UseFreePorts() {
    SysOption->DoorlockPortNo = 0;
    SysOption->PolicePortNo = 0;
    SysOption->MemberPortNo = 0;
}

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* action : actions)
        names << (action->isSeparator() ? QString("|") : action->objectName());
    return names;
}

// Collects what InfoMemo shows, also while the window is being destroyed.
struct TMemoWatch {
    QStringList Lines;
    explicit TMemoWatch(TMainForm& form) {
        auto* memo = Child<QPlainTextEdit>(&form, "InfoMemo");
        Lines = memo->toPlainText().split('\n');
        QObject::connect(memo, &QPlainTextEdit::textChanged, memo,
                         [this, memo] { Lines = memo->toPlainText().split('\n'); });
    }
};

// Answers the password prompt that closing the window raises: with the password, or cancelled.
void AnswerPrompt(const QString* password, bool* missed) {
    WhenModal<TCheckPasswordForm>(
        [=](TCheckPasswordForm* prompt) {
            if (!password) {
                Child<QPushButton>(prompt, "btnCancel")->click();
                return;
            }
            Child<QLineEdit>(prompt, "edtPswd")->setText(*password);
            Child<QPushButton>(prompt, "btnOK")->click();
        },
        missed);
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StopModalWatches(); }

    void windowByMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("startLine");
        QTest::newRow("door lock") << 1 << "CorvelHostra门锁接口"
                                   << "门锁接口监听服务器已经启动...";
        QTest::newRow("police") << 2 << "CorvelHostra公安接口"
                                << "公安接口监听服务器已经启动...";
        QTest::newRow("member card") << 3 << "CorvelHostra会员卡接口"
                                     << "会员卡接口监听服务器已经启动...";
    }

    void windowByMode() {
        QFETCH(int, mode);
        QFETCH(QString, title);
        QFETCH(QString, startLine);
        TProgramObjects objects(mode);
        UseFreePorts();
        auto form = std::make_unique<TMainForm>();
        QCOMPARE(form->windowTitle(), title);
        QCOMPARE(QGuiApplication::applicationDisplayName(), title);
        QCOMPARE(form->size(), QSize(873, 500));
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((form->geometry().center() - screenCentre).manhattanLength() < 4);
        QVERIFY(!form->windowIcon().isNull());
        QVERIFY(form->Listener().Active());
        // Dates that Qt shows follow the program's year-month-day convention, whatever the desktop.
        QCOMPARE(QLocale().toString(QDate(2026, 3, 4), QLocale::ShortFormat),
                 QString("2026-03-04"));
        QCOMPARE(QLocale().toString(QTime(13, 5, 9), "HH:mm:ss"), QString("13:05:09"));
        QCOMPARE(QLocale().toString(8886), QString("8886"));

        auto* memo = Child<QPlainTextEdit>(form.get(), "InfoMemo");
        QCOMPARE(memo->toPlainText(), startLine);
        QVERIFY(!memo->isReadOnly());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form->centralWidget(), memo);
        QCOMPARE(form->statusBar()->objectName(), QString("StatusBar"));
        QVERIFY(form->statusBar()->currentMessage().isEmpty());

        // Destroying the window stops the listener and says so below the start line.
        TMemoWatch watch(*form);
        const uint16_t port = form->Listener().Port();
        form.reset();
        QCOMPARE(watch.Lines, (QStringList{startLine, "接口监听服务器已经停止。"}));
        QCOMPARE(Exchange(port, std::string("x\0", 2)), std::string("<no connection>"));
    }

    void menusToolBarAndActions() {
        TProgramObjects objects;
        UseFreePorts();
        TMainForm form;
        auto* menuBar = Child<QMenuBar>(&form, "MainMenu");
        QCOMPARE(form.menuBar(), menuBar);
        QStringList menus;
        for (QAction* action : menuBar->actions())
            menus << action->text();
        QCOMPARE(menus, (QStringList{"文件(&F)", "工具(&T)", "帮助(&H)"}));
        const QList<QAction*> top = menuBar->actions();
        QCOMPARE(ActionNames(top[0]->menu()->actions()), QStringList{"ExitAction"});
        QCOMPARE(ActionNames(top[1]->menu()->actions()),
                 (QStringList{"OptionAction", "TestAction", "|", "ChangePasswordAction"}));
        QCOMPARE(ActionNames(top[2]->menu()->actions()), QStringList{"AboutAction"});

        const struct {
            const char* Name;
            const char* Caption;
            bool HasImage;
        } actions[] = {{"ExitAction", "退出(&X)", true},
                       {"OptionAction", "选项(&O)...", true},
                       {"ChangePasswordAction", "更改管理员密码(&C)", true},
                       {"AboutAction", "关于(&A)...", true},
                       {"TestAction", "测试(&T)", false}};
        for (const auto& expected : actions) {
            auto* action = Child<QAction>(&form, expected.Name);
            QVERIFY2(action, expected.Name);
            QCOMPARE(action->text(), QString(expected.Caption));
            QCOMPARE(!action->icon().isNull(), expected.HasImage);
        }

        auto* toolBar = Child<QToolBar>(&form, "ToolBar");
        QVERIFY(toolBar);
        QCOMPARE(form.toolBarArea(toolBar), Qt::TopToolBarArea);
        QCOMPARE(ActionNames(toolBar->actions()),
                 (QStringList{"OptionAction", "ChangePasswordAction", "|", "AboutAction", "|",
                              "ExitAction"}));
        const struct {
            const char* Button;
            const char* Action;
        } buttons[] = {{"OptionButton", "OptionAction"},
                       {"ChangePasswordButton", "ChangePasswordAction"},
                       {"HelpButton", "AboutAction"},
                       {"ExitButton", "ExitAction"}};
        for (const auto& expected : buttons) {
            auto* button = Child<QToolButton>(&form, expected.Button);
            QVERIFY2(button, expected.Button);
            QCOMPARE(button->defaultAction()->objectName(), QString(expected.Action));
            QVERIFY(button->autoRaise());
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        }
    }

    void closingNeedsThePassword() {
        TProgramObjects objects;
        UseFreePorts();
        SysOption->Password = "Secret";
        TMainForm form([] { return std::make_unique<TEchoHandler>(); });
        form.show();
        bool missed = false;

        AnswerPrompt(nullptr, &missed);
        QVERIFY(!form.close());
        QVERIFY(!missed);
        QVERIFY(form.isVisible());
        QVERIFY(form.Listener().Active());
        QCOMPARE(Exchange(form.Listener().Port(), std::string("still\0", 6)),
                 std::string("echo:still\0", 11));

        // The Exit action goes the same way.
        AnswerPrompt(nullptr, &missed);
        Child<QAction>(&form, "ExitAction")->trigger();
        QVERIFY(!missed);
        QVERIFY(form.isVisible());

        const QString password = " Secret ";
        AnswerPrompt(&password, &missed);
        QVERIFY(form.close());
        QVERIFY(!missed);
        QVERIFY(!form.isVisible());
    }

    void shutdownClosesWithoutPrompt() {
        TProgramObjects objects;
        UseFreePorts();
        TMainForm form;
        form.show();
        bool prompted = false;
        RejectAnyModal(&prompted, 500);
        form.RequestShutdown();
        QVERIFY(!form.isVisible());
        QTest::qWait(100);
        QVERIFY(!prompted);
    }

    void shutdownWhilePromptIsOpen() {
        TProgramObjects objects;
        UseFreePorts();
        TMainForm form;
        form.show();
        bool missed = false;
        WhenModal<TCheckPasswordForm>([&](TCheckPasswordForm*) { form.RequestShutdown(); },
                                      &missed);
        form.close();
        QVERIFY(!missed);
        QVERIFY(!form.isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void actionsByGuard() {
        TProgramObjects objects;
        UseFreePorts();
        SysOption->Password = "Secret";
        TMainForm form;
        form.show();
        bool missed = false;
        bool otherDialog = false;

        // A cancelled prompt opens nothing after it.
        for (const char* name : {"ChangePasswordAction", "OptionAction"}) {
            AnswerPrompt(nullptr, &missed);
            WhenModal<QDialog>(
                [&](QDialog* dialog) {
                    // The first modal widget is the prompt itself; anything after it is not.
                    if (!qobject_cast<TCheckPasswordForm*>(dialog))
                        otherDialog = true;
                },
                nullptr, 300);
            Child<QAction>(&form, name)->trigger();
            QTest::qWait(350);
            QVERIFY2(!missed, name);
            QVERIFY2(!otherDialog, name);
        }

        // Confirmed, the change dialog follows.
        const QString password = "Secret";
        bool changeShown = false;
        WhenModal<TCheckPasswordForm>(
            [&](TCheckPasswordForm* prompt) {
                WhenModal<TChangePasswordForm>(
                    [&](TChangePasswordForm* change) {
                        changeShown = true;
                        change->reject();
                    },
                    &missed);
                Child<QLineEdit>(prompt, "edtPswd")->setText(password);
                Child<QPushButton>(prompt, "btnOK")->click();
            },
            &missed);
        Child<QAction>(&form, "ChangePasswordAction")->trigger();
        QVERIFY(!missed);
        QVERIFY(changeShown);

        // About asks for nothing.
        QString aboutTitle;
        WhenModal<TAboutForm>(
            [&](TAboutForm* about) {
                aboutTitle = about->windowTitle();
                about->accept();
            },
            &missed);
        Child<QAction>(&form, "AboutAction")->trigger();
        QVERIFY(!missed);
        QCOMPARE(aboutTitle, QString("关于 CorvelHostra门锁接口"));
        form.RequestShutdown();
    }

    void servesRequestsThroughTheWindowsListener() {
        TProgramObjects objects;
        UseFreePorts();
        SysOption->ReadTimeoutSeconds = 7;
        TMainForm form([] { return std::make_unique<TEchoHandler>(); });
        QVERIFY(form.Listener().Active());
        QVERIFY(form.Listener().Port() != 0);
        QCOMPARE(Exchange(form.Listener().Port(),
                          std::string("你好\0trailing", sizeof "你好\0trailing" - 1)),
                 std::string("echo:你好\0", std::string("echo:你好").size() + 1));
    }

    void portTakenShowsErrorAndWindowOpens() {
        TProgramObjects objects;
        UseFreePorts();
        TRequestListener occupant([] { return std::unique_ptr<TMessageHandler>(); });
        occupant.Start(0);
        SysOption->DoorlockPortNo = occupant.Port();

        bool missed = false;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool windowShown = false;
        QStringList memoLines;
        auto form = std::make_unique<TMainForm>();
        WhenModal<QMessageBox>(
            [&](QMessageBox* box) {
                text = box->text();
                icon = box->icon();
                windowShown = form->isVisible();
                memoLines =
                    Child<QPlainTextEdit>(form.get(), "InfoMemo")->toPlainText().split('\n');
                box->button(QMessageBox::Ok)->click();
            },
            &missed);
        form->show();
        QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty() || missed, 6000);
        QVERIFY(!missed);
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY2(text.contains(QString::number(occupant.Port())), qPrintable(text));
        QVERIFY(windowShown);
        QCOMPARE(memoLines, QStringList{"门锁接口监听服务器已经启动..."});
        QVERIFY(!form->Listener().Active());
        form.reset();
    }

    // A request that outlasts the stop wait: an error box instead of the stop line, and the
    // window's destruction still completes once the request ends.
    void stopWithBusyConnection() {
        TProgramObjects objects;
        UseFreePorts();
        std::mutex lock;
        std::condition_variable changed;
        bool started = false, release = false;
        class TBusyHandler : public TMessageHandler {
        public:
            std::function<void()> Body;
            void HandleMessage(TConnection&, const std::string&) override { Body(); }
        };
        auto form = std::make_unique<TMainForm>([&] {
            auto handler = std::make_unique<TBusyHandler>();
            handler->Body = [&] {
                std::unique_lock guard(lock);
                started = true;
                changed.notify_all();
                changed.wait(guard, [&] { return release; });
            };
            return handler;
        });
        std::thread client(
            [port = form->Listener().Port()] { Exchange(port, std::string("busy\0", 5)); });
        {
            std::unique_lock guard(lock);
            QVERIFY(changed.wait_for(guard, std::chrono::seconds(5), [&] { return started; }));
        }
        TMemoWatch watch(*form);
        bool missed = false;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenModal<QMessageBox>(
            [&](QMessageBox* box) {
                text = box->text();
                icon = box->icon();
                {
                    std::lock_guard guard(lock);
                    release = true;
                }
                changed.notify_all();
                box->button(QMessageBox::Ok)->click();
            },
            &missed, 10000);
        form.reset();
        client.join();
        QVERIFY(!missed);
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(!text.isEmpty());
        QCOMPARE(watch.Lines, QStringList{"门锁接口监听服务器已经启动..."});
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
