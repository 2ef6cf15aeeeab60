#include "shell/MainFormUnit.h"

#include "InterfaceFormsUnit.h"
#include "shell/AboutFormUnit.h"
#include "shell/ChangePasswordFormUnit.h"
#include "shell/CheckPasswordFormUnit.h"
#include "shell/InterfaceModeUnit.h"
#include "shell/SysOptionUnit.h"
#include "shell/icons/ShellIconsUnit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <exception>

namespace {

QAction* NewAction(QObject* parent, const char* name, const QString& caption, const QIcon& icon) {
    auto* action = new QAction(icon, caption, parent);
    action->setObjectName(name);
    return action;
}

// Settings to listen with when the program-wide settings are missing: the defaults.
const TSysOption& ListenerOptions() {
    static const TSysOption defaults{""};
    return SysOption ? *SysOption : defaults;
}

} // namespace

TMainForm::TMainForm(THandlerFactory factory, QWidget* parent) : QMainWindow(parent) {
    const TSysOption& options = ListenerOptions();
    Listener_ = std::make_unique<TRequestListener>(
        std::move(factory), TListenerLimits{options.ReadTimeoutSeconds, options.MaxConnections});
    CreateComponents();
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::CreateComponents() {
    setObjectName("MainForm");
    setWindowIcon(AppIcon());
    resize(873, 500);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ExitAction = NewAction(this, "ExitAction", "退出(&X)", ShellImage(TShellImage::Exit));
    OptionAction = NewAction(this, "OptionAction", "选项(&O)...", ShellImage(TShellImage::Option));
    ChangePasswordAction = NewAction(this, "ChangePasswordAction", "更改管理员密码(&C)",
                                     ShellImage(TShellImage::ChangePassword));
    AboutAction = NewAction(this, "AboutAction", "关于(&A)...", ShellImage(TShellImage::About));
    TestAction = NewAction(this, "TestAction", "测试(&T)", QIcon());
    connect(ExitAction, &QAction::triggered, this,
            [this] { RunAction([this] { ExitActionExecute(); }); });
    connect(OptionAction, &QAction::triggered, this,
            [this] { RunAction([this] { OptionActionExecute(); }); });
    connect(ChangePasswordAction, &QAction::triggered, this,
            [this] { RunAction([this] { ChangePasswordActionExecute(); }); });
    connect(AboutAction, &QAction::triggered, this,
            [this] { RunAction([this] { AboutActionExecute(); }); });
    connect(TestAction, &QAction::triggered, this,
            [this] { RunAction([this] { TestActionExecute(); }); });

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName("MainMenu");
    QMenu* fileMenu = MainMenu->addMenu("文件(&F)");
    fileMenu->setObjectName("FileMenu");
    fileMenu->addAction(ExitAction);
    QMenu* toolsMenu = MainMenu->addMenu("工具(&T)");
    toolsMenu->setObjectName("ToolsMenu");
    toolsMenu->addAction(OptionAction);
    toolsMenu->addAction(TestAction);
    toolsMenu->addSeparator();
    toolsMenu->addAction(ChangePasswordAction);
    QMenu* helpMenu = MainMenu->addMenu("帮助(&H)");
    helpMenu->setObjectName("HelpMenu");
    helpMenu->addAction(AboutAction);
    setMenuBar(MainMenu);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName("ToolBar");
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setIconSize(QSize(24, 24));
    // The tool bar belongs to the window; its menu entry to hide it would only confuse.
    ToolBar->toggleViewAction()->setVisible(false);
    const auto addButton = [this](QAction* action, const char* name) {
        ToolBar->addAction(action);
        auto* button = qobject_cast<QToolButton*>(ToolBar->widgetForAction(action));
        button->setObjectName(name);
        button->setAutoRaise(true);
    };
    addButton(OptionAction, "OptionButton");
    addButton(ChangePasswordAction, "ChangePasswordButton");
    ToolBar->addSeparator();
    addButton(AboutAction, "HelpButton");
    ToolBar->addSeparator();
    addButton(ExitAction, "ExitButton");
    addToolBar(Qt::TopToolBarArea, ToolBar);
    setContextMenuPolicy(Qt::NoContextMenu);

    InfoMemo = new QPlainTextEdit(this);
    InfoMemo->setObjectName("InfoMemo");
    InfoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    InfoMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(InfoMemo);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    setStatusBar(StatusBar);
}

void TMainForm::FormCreate() {
    // Dates as yyyy-MM-dd and times as HH:mm:ss in whatever Qt shows, fixed for the whole run
    // so that a change of the desktop's regional settings cannot alter them. The handlers do not
    // depend on this: TDateTime fixes the same conventions in the core. Qt cannot take custom
    // formats, and the Swedish locale is the one whose short formats are exactly the ISO ones.
    QLocale locale(QLocale::Swedish, QLocale::Sweden);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(locale);

    const QString title = QString::fromStdString(InterfaceTitle(InterfaceMode));
    if (!title.isEmpty()) {
        QGuiApplication::setApplicationDisplayName(title);
        setWindowTitle(title);
    }
    StartListener();
}

void TMainForm::StartListener() {
    const int port = ListenerPort(InterfaceMode, ListenerOptions());
    const std::string startLine = ListenerStartLine(InterfaceMode);
    if (!startLine.empty())
        InfoMemo->appendPlainText(QString::fromStdString(startLine));
    try {
        Listener_->Start(port);
    } catch (const std::exception& error) {
        // Shown once the window is up, so that it opens all the same behind the message.
        const QString text = QString::fromUtf8(error.what());
        QTimer::singleShot(0, this, [this, text] {
            QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
        });
    }
}

void TMainForm::FormDestroy() {
    StopListener();
}

void TMainForm::StopListener() {
    if (Listener_->Stop(StopWait)) {
        InfoMemo->appendPlainText(QString::fromUtf8(ListenerStopLine));
        return;
    }
    // The window is half destroyed by now: the box stands on its own.
    QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                          "仍有连接在处理请求，接口监听服务器未能及时停止。");
}

void TMainForm::RequestShutdown() {
    ShutdownRequested_ = true;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
    }
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A shutdown may arrive while the password prompt is open; it wins over the prompt's answer.
    const bool confirmed = ShutdownRequested_ || CheckPassword(this);
    if (confirmed || ShutdownRequested_)
        event->accept();
    else
        event->ignore();
}

void TMainForm::RunAction(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        QMessageBox::critical(this, QApplication::applicationDisplayName(),
                              QString::fromUtf8(error.what()));
    }
}

void TMainForm::ExitActionExecute() {
    close();
}

void TMainForm::OptionActionExecute() {
    if (CheckPassword(this))
        ShowModeOptionDialog();
}

void TMainForm::ChangePasswordActionExecute() {
    if (CheckPassword(this))
        ChangePassword(this);
}

void TMainForm::AboutActionExecute() {
    ShowAbout();
}

void TMainForm::TestActionExecute() {
    ShowModeTest(this);
}
