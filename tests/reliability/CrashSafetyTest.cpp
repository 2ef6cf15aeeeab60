// The program killed outright in the middle of a burst of issues: on restart over the same
// folder the store is whole, nothing answered is missing, and requests are served at once.
#include "HalvaneProcess.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace reliability {
namespace {

TEST(CrashSafety, KillDuringIssueBurstLeavesAWholeStoreAndServesOnRestart) {
    constexpr int Clients = 16;
    TTempDir home;
    THalvaneProcess halvane(home);
    halvane.Configure("", "UseNativeDoorlockDb=1\nSaveDoorlockRecord=1");
    ASSERT_TRUE(halvane.Start()) << halvane.Output();

    std::atomic<bool> stop{false};
    std::mutex lock;
    std::set<std::string> answered; // RegisterIds the program confirmed
    std::atomic<int> sent{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < Clients; ++c)
        threads.emplace_back([&, c] {
            for (int i = 0; !stop; ++i) {
                const std::string id = "K" + std::to_string(c) + "-" + std::to_string(i);
                ++sent;
                std::string answer;
                try {
                    answer = halvane.Exchange(
                        IssueXml(id, std::to_string(c + 1), std::to_string(i % 3 + 1), i % 3 != 0));
                } catch (const std::exception&) {
                    break; // the program is gone
                }
                if (answer.starts_with(
                        "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode>")) {
                    std::lock_guard guard(lock);
                    answered.insert(id);
                }
            }
        });
    // Let the burst get going, then kill in the middle of it.
    while (sent < 200)
        std::this_thread::sleep_for(5ms);
    halvane.Kill();
    stop = true;
    for (auto& thread : threads)
        thread.join();
    ASSERT_GT(answered.size(), 0u);

    // Restart on the same folder and port; the first request is served right away.
    const auto restart = std::chrono::steady_clock::now();
    ASSERT_TRUE(halvane.Start()) << halvane.Output();
    const std::string first = halvane.Exchange(IssueXml("after", "90", "1", false));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - restart)
            .count();
    EXPECT_TRUE(first.starts_with("<DoorResponse><RequestID></RequestID><ResultCode>200")) << first;
    std::printf("[ figures  ] %zu issues confirmed before the kill; restart to first answer "
                "%.0f ms\n",
                answered.size(), ms);
    EXPECT_LT(ms, 10000.0);

    const std::string db = halvane.Db();
    EXPECT_EQ(Query(db, "pragma integrity_check"), std::vector<std::string>{"ok"});
    // No row with a field missing: each insert is whole or absent.
    EXPECT_EQ(Query(db, "select count(*) from T_IssueCardRecord where RegisterId is null or "
                        "CardNo is null or RoomNo is null or CardType is not 1 or "
                        "LastCheckInTime is null or CheckInTime is null or CheckOutTime is null "
                        "or IsCopy is null or GuestName is null or OpratingTime is null"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Query(db, "select count(*) from T_Room where LastCheckInTime is null"),
              std::vector<std::string>{"0"});
    // Every issue the program confirmed before it died is on record.
    std::set<std::string> recorded;
    for (const std::string& id : Query(db, "select RegisterId from T_IssueCardRecord"))
        recorded.insert(id);
    for (const std::string& id : answered)
        EXPECT_TRUE(recorded.contains(id)) << id << " was answered but is not on record";
    EXPECT_TRUE(recorded.contains("after"));

    // Log entries are written whole: the kill cannot leave half a line.
    EXPECT_EQ(halvane.Stop(), 0);
    const TLog log = halvane.Log();
    EXPECT_TRUE(log.EndsWithCrLf);
    for (const std::string& line : log.Lines)
        ASSERT_TRUE(TLog::IsStamped(line) || line.starts_with("<DoorRequest "))
            << "torn line: " << line;
}

} // namespace
} // namespace reliability
