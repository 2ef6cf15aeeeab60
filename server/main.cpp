// The program entry: start-up in a fixed order, the interface, then shutdown in reverse order.

#include "HeadlessInterfaceUnit.h"
#include "ProgramFolderUnit.h"
#include "StartInterfaceUnit.h"
#include "doorlock/BaseDoorlockUnit.h"
#include "doorlock/DoorlockRecordManagerUnit.h"
#include "doorlock/HalvaneUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/SimulatedMemberUnit.h"
#include "police/BasePoliceUnit.h"
#include "police/SimulatedPoliceUnit.h"
#include "shell/InterfaceModeUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/SysOptionUnit.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

struct TCommandLine {
    bool Headless = false;
    int Mode = DoorlockInterface;
    std::string Home;
};

const char* const Usage =
    "Usage: halvane [--headless] [--mode doorlock|police|member] [--home DIR]\n"
    "\n"
    "Serves the hotel management system's card requests on one TCP port.\n"
    "\n"
    "  --headless      run without a window until SIGINT or SIGTERM\n"
    "  --mode MODE     interface to serve: doorlock (default), police or member;\n"
    "                  police and member use simulated devices kept in files\n"
    "  --home DIR      folder of Option.ini, Client.db and the daily logs\n"
    "                  (default: $HALVANE_HOME, else the program's folder)\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n";

// Answers the exit status when the program should end at once.
std::optional<int> ParseCommandLine(int argc, char** argv, TCommandLine& line) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (arg.starts_with(std::string(name) + "="))
                return arg.substr(std::strlen(name) + 1);
            if (arg == name && i + 1 < argc)
                return std::string(argv[++i]);
            return std::nullopt;
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "halvane 1.0.0.0\n";
            return 0;
        }
        if (arg == "--headless") {
            line.Headless = true;
        } else if (arg.starts_with("--mode")) {
            const auto mode = value("--mode");
            if (mode == "doorlock")
                line.Mode = DoorlockInterface;
            else if (mode == "police")
                line.Mode = PoliceInterface;
            else if (mode == "member")
                line.Mode = MemberInterface;
            else {
                std::cerr << "halvane: --mode takes doorlock, police or member\n" << Usage;
                return 2;
            }
        } else if (arg.starts_with("--home")) {
            const auto home = value("--home");
            if (!home || home->empty()) {
                std::cerr << "halvane: --home needs a folder\n" << Usage;
                return 2;
            }
            line.Home = *home;
        } else {
            std::cerr << "halvane: unknown argument '" << arg << "'\n" << Usage;
            return 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    TCommandLine line;
    if (auto status = ParseCommandLine(argc, argv, line))
        return *status;

    // Blocked before any thread exists, so that every thread inherits the mask and the signals
    // reach only the orderly shutdown below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string folder = ProgramFolder(line.Home);

    // 1. The log, named after the start day.
    auto logFile = std::make_unique<TLogFile>(
        TLogFile::DailyFileName(folder, std::chrono::system_clock::now()));
    LogFile = logFile.get();

    // 2. The settings, loaded at once and kept for the whole run.
    static TSysOption options(folder + "/Option.ini");
    options.Load();
    SysOption = &options;

    // 3. The card-issue record store; a failure is only logged.
    auto recordManager = std::make_unique<TDoorlockRecordManager>();
    DoorlockRecordManager = recordManager.get();
    try {
        recordManager->Open(folder + "/Client.db");
    } catch (const std::exception& error) {
        WriteLog(error.what());
    }

    int status = 0;
    {
        // 4. The GUI application, only when there is a window to show.
        std::unique_ptr<QApplication> application;
        QTranslator qtTexts;
        if (!line.Headless) {
            application = std::make_unique<QApplication>(argc, argv);
            // Qt's own texts (message-box buttons and the like) in Chinese, as the rest of the
            // operator's texts are.
            if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                application->installTranslator(&qtTexts);
        }

        // 5. The device of the mode; owned here, freed after the interface has ended.
        std::unique_ptr<TBaseDoorlock> doorlock;
        std::unique_ptr<TBaseMember> member;
        std::unique_ptr<TBasePolice> police;
        switch (line.Mode) {
        case DoorlockInterface:
            doorlock = std::make_unique<THalvane>();
            break;
        case MemberInterface:
            member = std::make_unique<TSimulatedMember>(folder);
            MemberCard = member.get();
            break;
        case PoliceInterface:
            police = std::make_unique<TSimulatedPolice>(folder);
            Police = police.get();
            break;
        }

        try {
            // 6. Open the device; the outcome is only logged by the device itself.
            if (doorlock)
                doorlock->OpenPort();
            if (member)
                member->OpenPort();

            // 7. Serve until the window closes or a stop signal arrives.
            if (line.Headless) {
                InterfaceMode = line.Mode;
                if (doorlock)
                    Doorlock = doorlock.get();
                status = RunHeadlessInterface(stopSignals);
            } else {
                const int stopSignalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
                StartInterface(*application, doorlock.get(), line.Mode, stopSignalFd);
                ::close(stopSignalFd);
            }
        } catch (const std::exception& error) {
            // The device, the store and the log are still released in order below.
            WriteLog(error.what());
            std::cerr << "halvane: " << error.what() << std::endl;
            status = 1;
        }

        // 8. Close the device once no request can reach it any more.
        if (doorlock) {
            ReleaseDoorlock();
            doorlock->ClosePort();
        }
        if (member) {
            MemberCard = nullptr;
            member->ClosePort();
        }
        Police = nullptr;
        // 9. The device goes with this scope.
    }

    // 10. The record store.
    DoorlockRecordManager = nullptr;
    recordManager.reset();

    // 11. The log, last of all. The settings are neither saved nor freed before the end.
    LogFile = nullptr;
    logFile.reset();
    return status;
}
