// Many PMS clients at once for a long while against the headless program with both record
// settings on: no answer, log entry or record may be lost, torn or mixed up.
#include "HalvaneProcess.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

namespace reliability {
namespace {

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

std::string TwoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// What one client saw; checked on the main thread so that a failure names the request.
struct TClientResult {
    std::vector<std::string> Problems;
    std::vector<std::string> ReadCardNos; // card numbers that reads answered
    std::set<std::string> IssuedCardNos;
    int Issues = 0, Copies = 0, Requests = 0;
};

// Each client owns four rooms and cycles through stays: a new check-in, two copies that must
// carry its card number, a read and an erase of the one shared encoder card.
TClientResult RunClient(uint16_t port, int client, int requests) {
    TClientResult result;
    const std::string floor = TwoDigits(client + 1);
    std::string stayCardNo;
    int room = 0;
    for (int i = 0; i < requests; ++i) {
        const int step = i % 5;
        if (step == 0)
            room = (i / 5) % 4 + 1;
        const std::string registerId = "C" + std::to_string(client) + "-" + std::to_string(i);
        const std::string roomCode = TwoDigits(room);
        std::string request;
        if (step <= 2)
            request = IssueXml(registerId, floor, roomCode, step != 0);
        else
            request = step == 3 ? "<x type=\"ReadCard\"/>" : "<x type=\"EraseCard\"/>";
        std::string answer;
        try {
            answer = TLoopbackClient::Exchange(port, WithNul(request));
        } catch (const std::exception& e) {
            answer = std::string("connect: ") + e.what();
        }
        ++result.Requests;
        auto problem = [&](const std::string& what) {
            result.Problems.push_back(registerId + ": " + what + ": " + answer);
        };
        const std::string cardNo = CardNoOf(answer);
        if (step <= 2) {
            ++(step == 0 ? result.Issues : result.Copies);
            // yyyymmddhh, then building 1, the floor and the room in plain decimal.
            const std::string suffix = "1" + std::to_string(client + 1) + std::to_string(room);
            if (answer != Answer("200", "发卡成功", cardNo) ||
                cardNo.size() != 10 + suffix.size() || !cardNo.ends_with(suffix))
                problem("issue");
            else if (step == 0)
                stayCardNo = cardNo;
            else if (cardNo != stayCardNo)
                problem("copy does not share its stay's start (" + stayCardNo + ")");
            result.IssuedCardNos.insert(cardNo);
        } else if (step == 3) {
            if (answer == Answer("500", "读卡失败", "0"))
                continue;
            if (answer != Answer("200", "读卡成功", cardNo))
                problem("read");
            result.ReadCardNos.push_back(cardNo);
        } else if (answer != Answer("200", "注销卡成功 ", "0")) {
            problem("erase");
        }
    }
    return result;
}

TEST(Soak, EveryAnswerLogEntryAndRecordOfManyConcurrentClients) {
    const int clients = FromEnvironment("HALVANE_SOAK_CLIENTS", 64);
    const int requests = FromEnvironment("HALVANE_SOAK_REQUESTS", 300);
    TTempDir home;
    THalvaneProcess halvane(home);
    halvane.Configure("", "UseNativeDoorlockDb=1\nSaveDoorlockRecord=1");
    ASSERT_TRUE(halvane.Start()) << halvane.Output();

    const auto started = std::chrono::steady_clock::now();
    std::vector<TClientResult> results(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back(
            [&, c] { results[static_cast<size_t>(c)] = RunClient(halvane.Port(), c, requests); });
    for (auto& thread : threads)
        thread.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(halvane.Stop(), 0);

    long total = 0, issues = 0, copies = 0;
    std::set<std::string> issued;
    for (const TClientResult& r : results) {
        total += r.Requests;
        issues += r.Issues;
        copies += r.Copies;
        issued.insert(r.IssuedCardNos.begin(), r.IssuedCardNos.end());
        for (size_t i = 0; i < r.Problems.size() && i < 5; ++i)
            ADD_FAILURE() << r.Problems[i];
    }
    // A read sees whatever card some client wrote last.
    for (const TClientResult& r : results)
        for (const std::string& cardNo : r.ReadCardNos)
            EXPECT_TRUE(issued.contains(cardNo)) << "read a card nobody issued: " << cardNo;
    std::printf("[ figures  ] %d clients x %d requests in %.1f s: %.0f requests/s\n", clients,
                requests, seconds, static_cast<double>(total) / seconds);

    const TLog log = halvane.Log();
    EXPECT_TRUE(log.EndsWithCrLf);
    for (const std::string& message : log.Messages)
        ASSERT_FALSE(message.starts_with("<torn>")) << message;
    EXPECT_EQ(log.Count("完成一次操作"), total);
    EXPECT_EQ(log.CountStarting("收到消息: \r\n"), total);
    EXPECT_EQ(log.Count("执行操作->"), total);
    // Request texts hold no line break, so every line but a request's own is stamped.
    for (const std::string& line : log.Lines)
        ASSERT_TRUE(TLog::IsStamped(line) || line.starts_with("<DoorRequest ") ||
                    line.starts_with("<x type="))
            << "torn line: " << line;

    const std::string db = halvane.Db();
    EXPECT_EQ(Query(db, "pragma integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(Query(db, "select count(*), count(distinct RegisterId) from T_IssueCardRecord"),
              std::vector<std::string>{std::to_string(issues + copies) + "|" +
                                       std::to_string(issues + copies)});
    EXPECT_EQ(Query(db, "select count(*) from T_IssueCardRecord where CardNo='0'"),
              std::vector<std::string>{"0"});
    const int rooms = clients * std::min(4, (requests + 4) / 5);
    EXPECT_EQ(Query(db, "select count(*), count(distinct RoomNo) from T_Room"),
              std::vector<std::string>{std::to_string(rooms) + "|" + std::to_string(rooms)});
    // A stay is a new check-in and the copies after it (rowid order per room): all of its
    // records carry one start time, and the room keeps the start of its latest stay.
    EXPECT_EQ(Query(db, R"(
        with r as (select rowid id, RoomNo, LastCheckInTime t, IsCopy,
                          sum(1 - IsCopy) over (partition by RoomNo order by rowid) stay
                   from T_IssueCardRecord)
        select count(*) from (select RoomNo, stay from r group by RoomNo, stay
                              having count(distinct t) <> 1 or min(stay) = 0))"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Query(db, R"(
        select count(*) from T_Room t
        where t.LastCheckInTime is not (select r.LastCheckInTime from T_IssueCardRecord r
                                        where r.RoomNo = t.RoomNo order by r.rowid desc limit 1))"),
              std::vector<std::string>{"0"});
}

} // namespace
} // namespace reliability
