// Load on Halvane and on the baseline server, side by side: N clients each loop connect →
// request → read to close, for a fixed time or count; the two servers take turns (A B A B) so
// that whatever else the machine does falls on both alike.
//
// Usage: load_client [--clients N] [--seconds S | --count C] [--rounds R]
//                    [--scenario readcard|issuecard|all]

#include "BenchSupport.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <poll.h>

using namespace bench;

namespace {

struct TOptions {
    int Clients = 32;
    double Seconds = 3;
    long Count = 0; // requests per client; 0 runs for Seconds instead
    int Rounds = 3;
    std::string Scenario = "all";
};

struct TRunResult {
    double Seconds = 0;
    size_t Answered = 0;
    size_t Failed = 0;
    double ServerCpu = 0; // seconds of CPU the server used
    std::vector<uint32_t> LatencyUs;

    double Rate() const { return Seconds > 0 ? Answered / Seconds : 0; }
};

// One exchange; the answer, or nothing when the connection failed or the answer did not end
// with its NUL.
std::optional<std::string> Exchange(uint16_t port, const std::string& request) {
    const int fd = Connect(port);
    if (fd < 0)
        return std::nullopt;
    const char* p = request.data();
    size_t left = request.size();
    while (left > 0) {
        const ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    std::string answer;
    char buffer[4096];
    for (;;) {
        pollfd poll{fd, POLLIN, 0};
        if (::poll(&poll, 1, 20000) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (answer.empty() || answer.back() != '\0')
        return std::nullopt;
    return answer;
}

// `request(client, i)` builds the i-th request of a client; `good` judges an answer.
template <typename Request, typename Good>
TRunResult RunLoad(uint16_t port, const TOptions& options, Request request, Good good) {
    std::vector<TRunResult> perClient(static_cast<size_t>(options.Clients));
    std::atomic<bool> go{false};
    const auto runFor = std::chrono::duration<double>(options.Seconds);
    Clock::time_point start;
    std::vector<std::thread> threads;
    for (int c = 0; c < options.Clients; ++c) {
        threads.emplace_back([&, c] {
            TRunResult& mine = perClient[static_cast<size_t>(c)];
            while (!go.load())
                std::this_thread::yield();
            for (long i = 0;; ++i) {
                if (options.Count > 0 ? i >= options.Count : Clock::now() - start >= runFor)
                    break;
                const std::string text = request(c, i);
                const auto sent = Clock::now();
                const std::optional<std::string> answer = Exchange(port, text);
                const auto took =
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent);
                if (answer && good(*answer)) {
                    ++mine.Answered;
                    mine.LatencyUs.push_back(static_cast<uint32_t>(took.count()));
                } else {
                    ++mine.Failed;
                }
            }
        });
    }
    start = Clock::now();
    go = true;
    for (std::thread& t : threads)
        t.join();
    TRunResult all;
    all.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (TRunResult& r : perClient) {
        all.Answered += r.Answered;
        all.Failed += r.Failed;
        all.LatencyUs.insert(all.LatencyUs.end(), r.LatencyUs.begin(), r.LatencyUs.end());
    }
    return all;
}

// The baseline as a child process, answering `size` bytes on the port it prints.
class TBaseline {
public:
    explicit TBaseline(size_t size) : Process_(BASELINE_BIN, {std::to_string(size)}), Size_(size) {
        for (int i = 0; i < 500 && Port_ == 0; ++i) {
            const std::string& out = Process_.Output();
            if (out.find('\n') != std::string::npos)
                Port_ = static_cast<uint16_t>(std::stoi(out));
            else
                std::this_thread::sleep_for(10ms);
        }
        if (Port_ == 0)
            throw std::runtime_error("the baseline server did not start");
    }
    uint16_t Port() const { return Port_; }
    size_t Size() const { return Size_; }
    pid_t Pid() const { return Process_.Pid(); }

private:
    TChildProcess Process_;
    size_t Size_;
    uint16_t Port_ = 0;
};

struct TScenario {
    std::string Name;
    std::string Options; // extra Option.ini lines
    std::function<std::string(int, long)> Request;
    double ThroughputGoal;
};

std::string IssueRequest(int client, long i) {
    // Each client issues for a room of its own; every issue is a new stay (IsCopy 0), so each
    // one updates the room's start time and appends an issue record.
    const std::string room = std::to_string(100 + client);
    return "<DoorRequest type=\"IssueCard\"><RequestID></RequestID><RegisterId>R" +
           std::to_string(client) + "-" + std::to_string(i) +
           "</RegisterId><BuildingCode>1</BuildingCode><FloorCode>2</FloorCode><RoomCode>" + room +
           "</RoomCode><GuestName>Guest " + std::to_string(client) +
           "</GuestName><CheckInDate>2024-05-01</CheckInDate><CheckInTime>14:00:00</CheckInTime>"
           "<CheckOutDate>2024-05-03</CheckOutDate><CheckOutTime>12:00:00</CheckOutTime>"
           "<IsCopy>0</IsCopy></DoorRequest>" +
           std::string(1, '\0');
}

long CountRecords(const std::string& dbFile) {
    sqlite3* db = nullptr;
    long count = -1;
    if (sqlite3_open_v2(dbFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "select count(*) from T_IssueCardRecord", -1, &s, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            count = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return count;
}

std::string Ms(uint32_t us) {
    return Format("%.2f ms", us / 1000.0);
}

void RunScenario(const TScenario& scenario, const TOptions& options) {
    THalvaneHome home(scenario.Options);
    auto halvane = home.Start();
    if (WaitUntilAccepting(home.Port(), Clock::now()).count() < 0)
        throw std::runtime_error("halvane did not start: " + halvane->Output());

    // The baseline answers as many bytes as Halvane does for this request.
    const std::optional<std::string> sample = Exchange(home.Port(), scenario.Request(0, -1));
    if (!sample || sample->find("<ResultCode>200</ResultCode>") == std::string::npos)
        throw std::runtime_error(scenario.Name + ": halvane did not answer 200");
    TBaseline baseline(sample->size());
    auto halvaneGood = [](const std::string& answer) {
        return answer.find("<ResultCode>200</ResultCode>") != std::string::npos;
    };
    const size_t size = baseline.Size();
    auto baselineGood = [size](const std::string& answer) { return answer.size() == size; };

    TRunResult a, b;
    std::vector<double> aRates, bRates;
    for (int round = 0; round < options.Rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            const pid_t server = side == 0 ? halvane->Pid() : baseline.Pid();
            const double cpuBefore = CpuSeconds(server);
            TRunResult r = side == 0
                               ? RunLoad(home.Port(), options, scenario.Request, halvaneGood)
                               : RunLoad(baseline.Port(), options, scenario.Request, baselineGood);
            r.ServerCpu = CpuSeconds(server) - cpuBefore;
            std::cerr << scenario.Name << " round " << round + 1 << " "
                      << (side == 0 ? "halvane " : "baseline") << ": " << r.Answered << " in "
                      << r.Seconds << " s = " << r.Rate() << " /s, failed " << r.Failed << ", p50 "
                      << Percentile(r.LatencyUs, 0.5) << " us, p99 "
                      << Percentile(r.LatencyUs, 0.99) << " us, server CPU "
                      << 1e6 * r.ServerCpu / std::max<size_t>(1, r.Answered) << " us/request\n";
            TRunResult& total = side == 0 ? a : b;
            (side == 0 ? aRates : bRates).push_back(r.Rate());
            total.Answered += r.Answered;
            total.Failed += r.Failed;
            total.Seconds += r.Seconds;
            total.ServerCpu += r.ServerCpu;
            total.LatencyUs.insert(total.LatencyUs.end(), r.LatencyUs.begin(), r.LatencyUs.end());
        }
    }
    Stop(*halvane);

    const double ratio = a.Rate() / b.Rate();
    const uint32_t aP99 = Percentile(a.LatencyUs, 0.99), bP99 = Percentile(b.LatencyUs, 0.99);
    const std::string clients = std::to_string(options.Clients) + " clients";
    Row(scenario.Name + " throughput, Halvane / baseline (" + clients + ")",
        Format("%.0f", a.Rate()) + " / " + Format("%.0f", b.Rate()) +
            " req/s = " + Format("%.2f×", ratio),
        Format("≥ %.1f×", scenario.ThroughputGoal), ratio >= scenario.ThroughputGoal);
    Row(scenario.Name + " p99 latency, Halvane / baseline",
        Ms(aP99) + " / " + Ms(bP99) + " = " + Format("%.2f×", double(aP99) / bP99), "≤ 3×",
        aP99 <= 3.0 * bP99);
    std::printf("| %s p50 / max latency, Halvane (baseline) | %s / %s (%s / %s) | | |\n",
                scenario.Name.c_str(), Ms(Percentile(a.LatencyUs, 0.5)).c_str(),
                Ms(Percentile(a.LatencyUs, 1.0)).c_str(), Ms(Percentile(b.LatencyUs, 0.5)).c_str(),
                Ms(Percentile(b.LatencyUs, 1.0)).c_str());
    std::printf("| %s server CPU per request, Halvane / baseline | %.0f / %.0f µs | | |\n",
                scenario.Name.c_str(), 1e6 * a.ServerCpu / std::max<size_t>(1, a.Answered),
                1e6 * b.ServerCpu / std::max<size_t>(1, b.Answered));
    if (a.Failed + b.Failed > 0)
        std::printf("| %s failed exchanges, Halvane / baseline | %zu / %zu | 0 | |\n",
                    scenario.Name.c_str(), a.Failed, b.Failed);
    if (scenario.Options.find("SaveDoorlockRecord=1") != std::string::npos) {
        // The warm-up issue is stored too.
        const long stored = CountRecords(home.Dir().File("Client.db"));
        std::printf("| %s records in Client.db / issues answered 200 | %ld / %zu | equal | %s |\n",
                    scenario.Name.c_str(), stored, a.Answered + 1,
                    stored == static_cast<long>(a.Answered + 1) ? "met" : "**missed**");
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--clients")
            options.Clients = std::max(1, std::stoi(value));
        else if (name == "--seconds")
            options.Seconds = std::stod(value);
        else if (name == "--count")
            options.Count = std::stol(value);
        else if (name == "--rounds")
            options.Rounds = std::max(1, std::stoi(value));
        else if (name == "--scenario")
            options.Scenario = value;
        else {
            std::cerr << "usage: load_client [--clients N] [--seconds S | --count C] [--rounds R]"
                         " [--scenario readcard|issuecard|all]\n";
            return 2;
        }
    }
    const std::string readCard = std::string("<DoorRequest type=\"ReadCard\"><RequestID>"
                                             "</RequestID></DoorRequest>") +
                                 '\0';
    const std::vector<TScenario> scenarios = {
        {"ReadCard", "", [readCard](int, long) { return readCard; }, 0.8},
        {"IssueCard (native db, records saved)",
         "[DoorlockOption]\r\nUseNativeDoorlockDb=1\r\nSaveDoorlockRecord=1\r\n", IssueRequest,
         0.4},
    };
    try {
        for (const TScenario& s : scenarios)
            if (options.Scenario == "all" ||
                (options.Scenario == "readcard" && s.Name == "ReadCard") ||
                (options.Scenario == "issuecard" && s.Name != "ReadCard"))
                RunScenario(s, options);
    } catch (const std::exception& e) {
        std::cerr << "load_client: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
