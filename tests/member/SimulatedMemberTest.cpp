#include "member/SimulatedMemberUnit.h"
#include "shell/LogFileUnit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class SimulatedMember : public testing::Test {
protected:
    void SetUp() override { LogFile = &Log; }
    void TearDown() override { LogFile = nullptr; }

    struct TRead {
        bool Result;
        std::string CardNo, Password, ExpireDate, GuestName, Score;
    };
    TRead Read() {
        const char* texts[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        const bool result =
            Device.ReadCard(false, texts[0], texts[1], texts[2], texts[3], texts[4], -1);
        auto copy = [](const char* text) { return std::string(text ? text : "<null>"); };
        return {result,         copy(texts[0]), copy(texts[1]),
                copy(texts[2]), copy(texts[3]), copy(texts[4])};
    }

    TTempDir Dir;
    TLogFile Log{Dir.File("test.LOG")};
    TSimulatedMember Device{Dir.Path().string()};
};

} // namespace

TEST_F(SimulatedMember, WriteKeepsTheOtherLinesOfTheCard) {
    WriteFile(Dir.File("member-card.txt"),
              "CardNo=1\r\nPassword=pw\r\nGuestName=李四\r\nScore=3\r\n");
    ASSERT_TRUE(Device.WriteCard("2", "a", "", "c", 11));
    EXPECT_EQ(ReadFile(Dir.File("member-card.txt")),
              "CardNo=2\nPassword=pw\nGuestName=李四\nScore=3\nSecondValue=a\nThirdValue=\n"
              "FourthValue=c\nChannel=11\n");
    const TRead read = Read();
    EXPECT_TRUE(read.Result);
    EXPECT_EQ(read.CardNo, "2");
    EXPECT_EQ(read.Password, "pw");
    EXPECT_EQ(read.GuestName, "李四");
    // Lines the file does not have leave their outputs alone.
    EXPECT_EQ(read.ExpireDate, "<null>");
}

TEST_F(SimulatedMember, ResultFileHoldingZeroFailsBothOperations) {
    WriteFile(Dir.File("member-card.txt"), "CardNo=1\n");
    WriteFile(Dir.File("member-result"), " 0\n");
    EXPECT_FALSE(Device.WriteCard("2", "", "", "", -1));
    const TRead read = Read();
    EXPECT_FALSE(read.Result);
    EXPECT_EQ(read.CardNo, "<null>");
    EXPECT_EQ(ReadFile(Dir.File("member-card.txt")), "CardNo=1\n");
}

TEST_F(SimulatedMember, ValuesWithLineBreaksAreNotWritten) {
    WriteFile(Dir.File("member-card.txt"), "CardNo=1\nPassword=pw\n");
    EXPECT_FALSE(Device.WriteCard("2\nPassword=stolen", "", "", "", -1));
    EXPECT_FALSE(Device.WriteCard("2", "", "x\ry", "", -1));
    EXPECT_EQ(ReadFile(Dir.File("member-card.txt")), "CardNo=1\nPassword=pw\n");
}

TEST_F(SimulatedMember, PortOperationsLogALine) {
    Device.OpenPort();
    Device.Beep();
    Device.ClosePort();
    const std::string log = ReadFile(Dir.File("test.LOG"));
    const size_t open = log.find("打开串口");
    const size_t beep = log.find("Beep");
    const size_t close = log.find("关闭串口");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(beep, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    EXPECT_LT(open, beep);
    EXPECT_LT(beep, close);
}

TEST_F(SimulatedMember, TextsHandedOutSurviveReadsOnOtherThreads) {
    WriteFile(Dir.File("member-card.txt"), "CardNo=first\n");
    const char* cardNo = nullptr;
    const char* unused = nullptr;
    ASSERT_TRUE(Device.ReadCard(false, cardNo, unused, unused, unused, unused, -1));
    std::thread other([this] {
        Device.WriteCard("second", "", "", "", -1);
        Read();
    });
    other.join();
    EXPECT_STREQ(cardNo, "first");
}

TEST_F(SimulatedMember, ConcurrentWritesAndReadsSeeWholeCards) {
    ASSERT_TRUE(Device.WriteCard("card-start", "", "", "", -1));
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t, &torn] {
            for (int i = 0; i < 100; ++i) {
                const std::string cardNo = "card-" + std::to_string(t) + "-" + std::to_string(i);
                if (!Device.WriteCard(cardNo, cardNo, cardNo, cardNo, t))
                    ++torn;
                const TRead read = Read();
                if (!read.Result || !read.CardNo.starts_with("card-"))
                    ++torn;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(torn.load(), 0);
}
