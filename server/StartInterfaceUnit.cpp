#include "StartInterfaceUnit.h"

#include "doorlock/BaseDoorlockUnit.h"
#include "shell/InterfaceModeUnit.h"
#include "shell/MainFormUnit.h"

#include <QApplication>
#include <QSocketNotifier>
#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

TMainForm* MainForm = nullptr;

void StartInterface(QApplication& application, TBaseDoorlock* device, int mode, int stopSignalFd) {
    InterfaceMode = mode;
    if (device)
        Doorlock = device;
    auto form = std::make_unique<TMainForm>();
    MainForm = form.get();
    struct TResetMainForm {
        ~TResetMainForm() { MainForm = nullptr; }
    } resetMainForm;

    QSocketNotifier stopNotifier(stopSignalFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info{};
        [[maybe_unused]] ssize_t n = ::read(stopSignalFd, &info, sizeof info);
        if (MainForm)
            MainForm->RequestShutdown();
    });

    MainForm->show();
    application.exec();
}
