// Many PMS clients at once against one encoder and one store.
#include "DoorlockFixture.h"

#include <algorithm>
#include <map>
#include <thread>

namespace {

using ConcurrencyTest = TDoorlockFixture;

// Copies for rooms the store does not know yet are the racy case: each must see the row that
// the first of them added, so a room gets one row and all its keys one start time.
TEST_F(ConcurrencyTest, ThirtyTwoClientsGetEveryAnswerRecordAndLogEntry) {
    constexpr int Clients = 32, Rooms = 8;
    Options->UseNativeDoorlockDb = true;
    Options->SaveDoorlockRecord = true;
    const uint16_t port = Port();

    std::vector<std::string> answers(Clients);
    std::vector<std::thread> threads;
    for (int i = 0; i < Clients; ++i)
        threads.emplace_back([&, i] {
            TIssueFields f;
            f.Room = std::to_string(i % Rooms + 1);
            f.RegisterId = "R" + std::to_string(i);
            f.IsCopy = "1";
            answers[static_cast<size_t>(i)] =
                TLoopbackClient::Exchange(port, f.Xml() + std::string(1, '\0'));
        });
    for (auto& thread : threads)
        thread.join();

    std::map<int, std::string> cardByRoom;
    for (int i = 0; i < Clients; ++i) {
        const std::string& answer = answers[static_cast<size_t>(i)];
        ASSERT_TRUE(answer.starts_with("<DoorResponse><RequestID></RequestID><ResultCode>200"))
            << answer;
        const size_t from = answer.find("<CardNo>") + 8;
        const std::string cardNo = answer.substr(from, answer.find("</CardNo>") - from);
        auto [it, fresh] = cardByRoom.emplace(i % Rooms + 1, cardNo);
        EXPECT_EQ(it->second, cardNo) << "room " << i % Rooms + 1;
    }

    EXPECT_EQ(Rows("select count(*), count(distinct RoomNo) from T_Room"),
              std::vector<std::string>{"8|8"});
    EXPECT_EQ(Rows("select count(*), count(distinct RegisterId) from T_IssueCardRecord"),
              std::vector<std::string>{"32|32"});
    // Every key of a room carries the room's one start time.
    EXPECT_EQ(Rows("select count(*) from T_IssueCardRecord r join T_Room t on r.RoomNo=t.RoomNo"
                   " where r.LastCheckInTime=t.LastCheckInTime and r.CardNo<>'0'"),
              std::vector<std::string>{"32"});

    const std::vector<std::string> log = LogMessages();
    auto count = [&](auto predicate) { return std::count_if(log.begin(), log.end(), predicate); };
    EXPECT_EQ(
        count([](const std::string& m) { return m.starts_with("收到消息: \r\n<DoorRequest"); }),
        Clients);
    EXPECT_EQ(count([](const std::string& m) { return m == "执行操作->"; }), Clients);
    EXPECT_EQ(count([](const std::string& m) { return m.starts_with("发卡成功,卡号为:"); }),
              Clients);
    EXPECT_EQ(count([](const std::string& m) {
                  return m.starts_with("房间(") && m.ends_with(")发卡成功");
              }),
              Clients);
    EXPECT_EQ(count([](const std::string& m) { return m == "完成一次操作"; }), Clients);
    EXPECT_EQ(count([](const std::string& m) { return m.starts_with("新建房间"); }), Rooms);
    EXPECT_EQ(Journal().size(), std::string("MakeGuestCard 1\n").size() * Clients);
}

// Shutdown's hand-over: once released, no operation reaches the device, and a request that
// comes late is answered as a failure.
TEST_F(ConcurrencyTest, ReleasedDeviceIsNoLongerReached) {
    EXPECT_EQ(ReleaseDoorlock(), Device.get());
    EXPECT_EQ(Doorlock, nullptr);
    EXPECT_EQ(Exchange("<x type=\"ReadCard\"/>"), Answer("500", "读卡失败", "0"));
    EXPECT_EQ(Journal(), "");
}

} // namespace
