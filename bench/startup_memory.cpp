// Start-up time and memory of halvane: time from process start to an accepting socket, idle
// resident set with and without the window, and what each idle open connection adds.
//
// Usage: startup_memory [--starts N] [--connections N]

#include "BenchSupport.h"

#include <iostream>

using namespace bench;

namespace {

// The resident set once the started process has settled.
long SettledRssKiB(TChildProcess& process) {
    std::this_thread::sleep_for(700ms);
    return RssKiB(process.Pid());
}

} // namespace

int main(int argc, char** argv) {
    int starts = 15;
    int connections = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--starts")
            starts = std::max(1, std::stoi(argv[i + 1]));
        else if (name == "--connections")
            connections = std::max(1, std::stoi(argv[i + 1]));
    }
    try {
        // Start-up: the same program folder each time, as on a front-desk machine; the first
        // start creates Client.db and warms the page cache and is not counted.
        THalvaneHome home;
        std::vector<long> startUs;
        long headlessRss = 0;
        for (int i = 0; i <= starts; ++i) {
            const auto began = Clock::now();
            auto process = home.Start();
            const auto took = WaitUntilAccepting(home.Port(), began);
            if (took.count() < 0)
                throw std::runtime_error("halvane did not start: " + process->Output());
            if (i > 0)
                startUs.push_back(static_cast<long>(took.count()));
            if (i == starts)
                headlessRss = SettledRssKiB(*process);
            Stop(*process);
        }
        std::cerr << "start-up us:";
        for (long us : startUs)
            std::cerr << " " << us;
        std::cerr << "\n";
        const double median = Percentile(startUs, 0.5) / 1000.0;
        Row("Start-up to accepting socket, headless (median of " + std::to_string(starts) + ")",
            Format("%.1f ms", median) + " (min " +
                Format("%.1f", Percentile(startUs, 0.0) / 1000.0) + ", max " +
                Format("%.1f", Percentile(startUs, 1.0) / 1000.0) + ")",
            "≤ 150 ms", median <= 150);
        Row("Idle RSS, headless", Format("%.1f MB", headlessRss / 1024.0), "≤ 25 MB",
            headlessRss <= 25 * 1024);

        {
            auto process = home.Start(false);
            if (WaitUntilAccepting(home.Port(), Clock::now(), 20s).count() < 0)
                throw std::runtime_error("halvane with its window did not start: " +
                                         process->Output());
            const long rss = SettledRssKiB(*process);
            Row("Idle RSS, window offscreen", Format("%.1f MB", rss / 1024.0), "≤ 70 MB",
                rss <= 70 * 1024);
            Stop(*process);
        }

        {
            // No cap, so that every connection is served by a thread of its own.
            THalvaneHome open("MaxConnections=0\r\n");
            auto process = open.Start();
            if (WaitUntilAccepting(open.Port(), Clock::now()).count() < 0)
                throw std::runtime_error("halvane did not start: " + process->Output());
            // A few connections first, so that one-off costs (the first thread, the first
            // handler) are not charged to the idle ones measured.
            std::vector<int> fds;
            for (int i = 0; i < 8; ++i)
                fds.push_back(Connect(open.Port()));
            const long before = SettledRssKiB(*process);
            for (int i = 0; i < connections; ++i)
                fds.push_back(Connect(open.Port()));
            const long after = SettledRssKiB(*process);
            long threads = 0;
            for (const auto& entry : std::filesystem::directory_iterator(
                     "/proc/" + std::to_string(process->Pid()) + "/task"))
                threads += entry.is_directory() ? 1 : 0;
            for (int fd : fds)
                if (fd >= 0)
                    ::close(fd);
            const double perConnection = double(after - before) / connections;
            std::cerr << "idle connections: " << connections << ", RSS " << before << " -> "
                      << after << " KiB, " << threads << " threads\n";
            Row("RSS growth per idle open connection (" + std::to_string(connections) + " open)",
                Format("%.1f KB", perConnection), "≤ 64 KB", perConnection <= 64);
            Stop(*process);
        }
    } catch (const std::exception& e) {
        std::cerr << "startup_memory: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
