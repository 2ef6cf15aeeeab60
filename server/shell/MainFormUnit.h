#pragma once

#include "InterfaceUnit.h"
#include "shell/RequestListenerUnit.h"

#include <QMainWindow>

#include <chrono>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QMenuBar;
class QPlainTextEdit;
class QStatusBar;
class QToolBar;

// The program's one window: it owns the listener through which the hotel system reaches the
// server and gives the operator the commands of the running interface mode.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // How long closing the window waits for requests still being served.
    static constexpr std::chrono::milliseconds StopWait{5000};

    // factory makes the handler of each connection; tests put their own handler there.
    explicit TMainForm(THandlerFactory factory = CreateMessageHandler, QWidget* parent = nullptr);
    ~TMainForm() override;

    TRequestListener& Listener() { return *Listener_; }

    // Closes the window without asking for the password (SIGINT, SIGTERM); any dialog still
    // open is closed first.
    void RequestShutdown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents();
    void FormCreate();
    void FormDestroy();
    void StartListener();
    void StopListener();
    // Runs an action's handler; an error it raises is shown to the operator.
    void RunAction(const std::function<void()>& handler);

    void ExitActionExecute();
    void OptionActionExecute();
    void ChangePasswordActionExecute();
    void AboutActionExecute();
    void TestActionExecute();

    QAction* ExitAction = nullptr;
    QAction* OptionAction = nullptr;
    QAction* ChangePasswordAction = nullptr;
    QAction* AboutAction = nullptr;
    QAction* TestAction = nullptr;
    QToolBar* ToolBar = nullptr;
    QPlainTextEdit* InfoMemo = nullptr;
    QStatusBar* StatusBar = nullptr;
    QMenuBar* MainMenu = nullptr;

    std::unique_ptr<TRequestListener> Listener_;
    bool ShutdownRequested_ = false;
};
