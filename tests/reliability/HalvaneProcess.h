#pragma once

// The headless program as a PMS site runs it: its own program folder with Option.ini, the
// encoder stand-in's state in the same folder, served on a free loopback port.

#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace reliability {

using namespace std::chrono_literals;

// Entries of a /proc folder, without "." and "..".
inline int CountEntries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count;
}

// The log's lines split at CR LF, and its entries: a line opening with "yyyy-mm-dd hh:nn:ss "
// starts an entry, any other line continues the one before (the request text).
struct TLog {
    std::vector<std::string> Lines;
    std::vector<std::string> Messages;
    bool EndsWithCrLf = true;

    static bool IsStamped(const std::string& line) {
        if (line.size() < 20)
            return false;
        for (size_t i = 0; i < 19; ++i) {
            const char c = line[i];
            const bool digit = c >= '0' && c <= '9';
            const char sep = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : 0;
            if (sep ? c != sep : !digit)
                return false;
        }
        return line[19] == ' ';
    }

    explicit TLog(const std::string& text) {
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find("\r\n", pos);
            if (end == std::string::npos) {
                EndsWithCrLf = false;
                end = text.size();
            }
            Lines.push_back(text.substr(pos, end - pos));
            pos = end + 2;
        }
        for (const std::string& line : Lines) {
            if (IsStamped(line))
                Messages.push_back(line.substr(20));
            else if (!Messages.empty())
                Messages.back() += "\r\n" + line;
            else
                Messages.push_back("<torn>" + line);
        }
    }

    long Count(const std::string& message) const {
        return std::count(Messages.begin(), Messages.end(), message);
    }
    long CountStarting(const std::string& prefix) const {
        return std::count_if(Messages.begin(), Messages.end(),
                             [&](const std::string& m) { return m.starts_with(prefix); });
    }
    bool Contains(const std::string& part) const {
        return std::any_of(Messages.begin(), Messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }
};

// An IssueCard request; every field is a text of the request.
inline std::string IssueXml(const std::string& registerId, const std::string& floor,
                            const std::string& room, bool copy, const std::string& building = "1") {
    return "<DoorRequest type=\"IssueCard\"><RequestID>Q</RequestID><RegisterId>" + registerId +
           "</RegisterId><BuildingCode>" + building + "</BuildingCode><FloorCode>" + floor +
           "</FloorCode><RoomCode>" + room +
           "</RoomCode><GuestName>张三</GuestName><CheckInDate>2008-05-06</CheckInDate>"
           "<CheckInTime>14:35:00</CheckInTime><CheckOutDate>2030-05-08</CheckOutDate>"
           "<CheckOutTime>12:00:00</CheckOutTime><IsCopy>" +
           (copy ? "1" : "0") + "</IsCopy></DoorRequest>";
}

inline std::string Answer(const std::string& code, const std::string& message,
                          const std::string& cardNo) {
    return "<DoorResponse><RequestID></RequestID><ResultCode>" + code +
           "</ResultCode><ResultMessage>" + message + "</ResultMessage><CardNo>" + cardNo +
           "</CardNo></DoorResponse>" + std::string(1, '\0');
}

// The CardNo of an answer; empty when the answer has none.
inline std::string CardNoOf(const std::string& answer) {
    const size_t from = answer.find("<CardNo>");
    const size_t to = answer.find("</CardNo>");
    if (from == std::string::npos || to == std::string::npos || to < from)
        return {};
    return answer.substr(from + 8, to - from - 8);
}

inline std::string WithNul(const std::string& text) {
    return text + std::string(1, '\0');
}

// One program folder and the program serving it; Start may be called again after a stop or a
// kill, on the same folder and port.
class THalvaneProcess {
public:
    explicit THalvaneProcess(const TTempDir& home) : Home_(home) {
        std::filesystem::create_directory(EncoderDir());
    }

    // The encoder stand-in's state lives apart from the program folder, so that a fault made
    // on the folder does not reach the encoder.
    std::string EncoderDir() const { return Home_.File("encoder"); }
    void ForceEncoderResult(int code) const {
        WriteFile(EncoderDir() + "/tarnel-result", std::to_string(code));
    }
    void ClearEncoderResult() const { std::filesystem::remove(EncoderDir() + "/tarnel-result"); }

    // Writes Option.ini with the port and the extra lines (e.g. "[DoorlockOption]\n...").
    void Configure(const std::string& sysOptionLines, const std::string& doorlockOptionLines) {
        if (!Port_)
            Port_ = FreePort();
        WriteFile(Home_.File("Option.ini"), "[SysOption]\nDoorlockPortNo=" + std::to_string(Port_) +
                                                "\n" + sysOptionLines + "\n[DoorlockOption]\n" +
                                                doorlockOptionLines + "\n");
    }

    // Starts the program; answers whether it accepts connections within 10 s.
    bool Start(const std::vector<std::string>& extraArgs = {}) {
        std::vector<std::string> args{"--headless"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        Process_ = std::make_unique<TChildProcess>(
            HALVANE_BIN, args,
            std::map<std::string, std::string>{{"HALVANE_HOME", Home_.Path().string()},
                                               {"TARNEL_SIM_DIR", EncoderDir()}});
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            try {
                TLoopbackClient probe(Port_);
                return true;
            } catch (const std::runtime_error&) {
                if (Process_->Wait(20ms) != -1)
                    return false;
            }
        }
        return false;
    }

    // SIGTERM and the exit status (-1 when it does not end in time).
    int Stop() {
        if (!Process_)
            return -1;
        Process_->Signal(SIGTERM);
        const int status = Process_->Wait(30s);
        return status;
    }

    void Kill() {
        Process_->Signal(SIGKILL);
        Process_->Wait(10s);
    }

    std::string Exchange(const std::string& request) {
        return TLoopbackClient::Exchange(Port_, WithNul(request));
    }

    std::string LogText() const {
        std::string text;
        for (const auto& entry : std::filesystem::directory_iterator(Home_.Path()))
            if (entry.path().extension() == ".LOG" && entry.is_regular_file())
                text += ReadFile(entry.path().string());
        return text;
    }
    TLog Log() const { return TLog(LogText()); }
    std::string Db() const { return Home_.File("Client.db"); }
    // Today's log, as the program names it at start-up.
    std::string LogFileName() const {
        const time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char name[16];
        std::strftime(name, sizeof name, "%Y%m%d.LOG", &local);
        return Home_.File(name);
    }
    std::string Output() { return Process_ ? Process_->Output() : ""; }

    int Threads() const { return CountEntries(ProcFolder() + "/task"); }
    int Descriptors() const { return CountEntries(ProcFolder() + "/fd"); }

    uint16_t Port() const { return Port_; }
    pid_t Pid() const { return Process_->Pid(); }

private:
    std::string ProcFolder() const { return "/proc/" + std::to_string(Process_->Pid()); }

    const TTempDir& Home_;
    uint16_t Port_ = 0;
    std::unique_ptr<TChildProcess> Process_;
};

} // namespace reliability
