// What the server benchmarks share: a Halvane home folder, starting the program and the
// baseline, loopback probes, RSS, percentiles and the result table rows.
#pragma once

#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A connected loopback socket, or -1 when nothing accepts on the port.
inline int Connect(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Polls the port until a connection is accepted; the time it took, or a negative value when
// `limit` passed first.
inline std::chrono::microseconds WaitUntilAccepting(uint16_t port, Clock::time_point since,
                                                    std::chrono::milliseconds limit = 10s) {
    while (Clock::now() - since < limit) {
        const int fd = Connect(port);
        if (fd >= 0) {
            const auto took = Clock::now() - since;
            ::close(fd);
            return std::chrono::duration_cast<std::chrono::microseconds>(took);
        }
        std::this_thread::sleep_for(200us);
    }
    return std::chrono::microseconds(-1);
}

// Resident set of a process in KiB, 0 when it cannot be read.
inline long RssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// User and system CPU time a process has used so far, its ended threads included, in seconds.
inline double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold blanks, start after the last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A program folder for one Halvane process: Option.ini on a free port, the encoder stand-in's
// state beside it, and a card on the encoder so that reads succeed.
class THalvaneHome {
public:
    explicit THalvaneHome(const std::string& extraOptions = "") : Port_(FreePort()) {
        WriteFile(Dir_.File("Option.ini"),
                  "[SysOption]\r\nDoorlockPortNo=" + std::to_string(Port_) + "\r\n" + extraOptions);
        WriteFile(Dir_.File("tarnel-card.txt"), "building=1\nfloor=2\nroom=3\ncopy=0\n"
                                                "start=2024-05-01 14:00\nend=2024-05-03 12:00\n");
    }
    uint16_t Port() const { return Port_; }
    const TTempDir& Dir() const { return Dir_; }

    std::unique_ptr<TChildProcess> Start(bool headless = true) const {
        std::vector<std::string> args;
        if (headless)
            args.push_back("--headless");
        std::map<std::string, std::string> env{{"HALVANE_HOME", Dir_.Path().string()},
                                               {"TARNEL_SIM_DIR", Dir_.Path().string()}};
        if (!headless)
            env["QT_QPA_PLATFORM"] = "offscreen";
        return std::make_unique<TChildProcess>(HALVANE_BIN, args, env);
    }

private:
    TTempDir Dir_;
    uint16_t Port_;
};

// Ends a Halvane process the way a service manager does.
inline void Stop(TChildProcess& process) {
    process.Signal(SIGTERM);
    process.Wait(10s);
}

template <typename T> T Percentile(std::vector<T> values, double p) {
    if (values.empty())
        return T{};
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
    return values[index];
}

// One row of the result table: what, the figure, the goal, and whether it is met.
inline void Row(const std::string& what, const std::string& figure, const std::string& goal,
                bool met) {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), figure.c_str(), goal.c_str(),
                met ? "met" : "**missed**");
    std::fflush(stdout);
}

inline std::string Format(const char* form, double value) {
    char text[64];
    std::snprintf(text, sizeof text, form, value);
    return text;
}

} // namespace bench
