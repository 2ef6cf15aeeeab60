// The encoder stand-in through its C interface: what a vendor build of the same ABI must honour,
// and the simulation's files.
#include "support/TempDir.h"

#include <tarnel.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

class TarnelTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("TARNEL_SIM_DIR", Dir.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("TARNEL_SIM_DIR"); }

    static void Put(uint8_t* area, int index, int value) {
        area[2 * index] = static_cast<uint8_t>(value & 0xFF);
        area[2 * index + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    }
    static int Get(const uint8_t* area, int index) {
        return static_cast<int16_t>(area[2 * index] | (area[2 * index + 1] << 8));
    }

    int16_t Write(uint32_t building, int floor, int room, uint32_t copy,
                  std::array<int, 5> start = {2008, 5, 6, 14, 35},
                  std::array<int, 5> end = {2008, 5, 8, 12, 0}) {
        std::array<uint8_t, TARNEL_AREA1_SIZE> a1{};
        Put(a1.data(), 0, 11);
        Put(a1.data(), 1, 22);
        std::array<uint8_t, TARNEL_AREA2_SIZE> a2{};
        std::array<uint8_t, TARNEL_AREA4_SIZE> a4{};
        Put(a4.data(), 0, floor);
        std::array<uint8_t, TARNEL_AREA5_SIZE> a5{};
        std::array<uint8_t, TARNEL_AREA6_SIZE> a6{};
        Put(a6.data(), 0, room);
        std::array<uint8_t, TARNEL_AREA8_SIZE> a8{};
        std::array<uint8_t, TARNEL_AREA9_SIZE> a9{};
        std::array<uint8_t, TARNEL_AREA10_SIZE> a10{};
        std::array<uint8_t, TARNEL_AREA11_SIZE> a11{};
        for (int i = 0; i < 5; ++i) {
            Put(a10.data(), i, start[static_cast<size_t>(i)]);
            Put(a11.data(), i, end[static_cast<size_t>(i)]);
        }
        return MakeGuestCard(a1.data(), a2.data(), building, a4.data(), a5.data(), a6.data(), copy,
                             a8.data(), a9.data(), a10.data(), a11.data());
    }

    struct TRead {
        int16_t Result;
        std::array<uint8_t, TARNEL_AREA3_SIZE> Building;
        std::array<uint8_t, TARNEL_AREA4_SIZE> Floor;
        std::array<uint8_t, TARNEL_AREA6_SIZE> Room;
        std::array<uint8_t, TARNEL_AREA7_SIZE> Copy;
        std::array<uint8_t, TARNEL_AREA10_SIZE> Start;
        std::array<uint8_t, TARNEL_AREA11_SIZE> End;
    };

    TRead Read() {
        TRead r{};
        std::array<uint8_t, TARNEL_AREA1_SIZE> a1{};
        std::array<uint8_t, TARNEL_AREA2_SIZE> a2{};
        std::array<uint8_t, TARNEL_AREA5_SIZE> a5{};
        std::array<uint8_t, TARNEL_AREA8_SIZE> a8{};
        std::array<uint8_t, TARNEL_AREA9_SIZE> a9{};
        r.Result = ReadCard(a1.data(), a2.data(), r.Building.data(), r.Floor.data(), a5.data(),
                            r.Room.data(), r.Copy.data(), a8.data(), a9.data(), r.Start.data(),
                            r.End.data());
        return r;
    }

    std::string Journal() const { return ReadFile(Dir.File("tarnel-calls.log")); }

    TTempDir Dir;
};

TEST_F(TarnelTest, WrittenCardReadsBackWordForWord) {
    ASSERT_EQ(Write(3, 12, 305, 1), TARNEL_SUCCESS);
    EXPECT_EQ(ReadFile(Dir.File("tarnel-card.txt")),
              "building=3\nfloor=12\nroom=305\ncopy=1\nstart=2008-05-06 14:35\n"
              "end=2008-05-08 12:00\n");
    const TRead r = Read();
    ASSERT_EQ(r.Result, TARNEL_SUCCESS);
    EXPECT_EQ(Get(r.Building.data(), 0), 3);
    EXPECT_EQ(Get(r.Floor.data(), 0), 12);
    EXPECT_EQ(Get(r.Room.data(), 0), 305);
    EXPECT_EQ(Get(r.Copy.data(), 0), 1);
    const std::array<int, 5> start = {2008, 5, 6, 14, 35};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Get(r.Start.data(), i), start[static_cast<size_t>(i)]);
    EXPECT_EQ(Get(r.Start.data(), 5), 0);
    EXPECT_EQ(Get(r.End.data(), 3), 12);
}

TEST_F(TarnelTest, BlankCardAndErasedCardReadAsForeign) {
    EXPECT_EQ(Read().Result, -3);
    ASSERT_EQ(Write(0, 1, 1, 0), TARNEL_SUCCESS);
    std::array<uint8_t, TARNEL_CLEAR_AREA_SIZE> area{};
    EXPECT_EQ(ClearCardData(area.data()), TARNEL_SUCCESS);
    EXPECT_EQ(Read().Result, -3);
    EXPECT_EQ(Journal(), "ReadCard -3\nMakeGuestCard 1\nClearCardData 1\nReadCard -3\n");
}

TEST_F(TarnelTest, ImpossibleTimesAndMissingAreasAreInvalidArguments) {
    EXPECT_EQ(Write(0, 1, 1, 0, {2008, 2, 30, 10, 0}), -8);
    EXPECT_EQ(Write(0, 1, 1, 0, {2008, 5, 6, 24, 0}), -8);
    EXPECT_EQ(Write(0, 1, 1, 2), -8);
    EXPECT_EQ(ClearCardData(nullptr), -8);
    EXPECT_EQ(ReadFile(Dir.File("tarnel-card.txt")), "");
}

TEST_F(TarnelTest, ForcedResultWinsAndChangesNothing) {
    ASSERT_EQ(Write(0, 1, 1, 0), TARNEL_SUCCESS);
    const std::string card = ReadFile(Dir.File("tarnel-card.txt"));
    WriteFile(Dir.File("tarnel-result"), " -5\n");
    EXPECT_EQ(MakeCardOpenPort(1), -5);
    EXPECT_EQ(Write(7, 7, 7, 0), -5);
    std::array<uint8_t, TARNEL_CLEAR_AREA_SIZE> area{};
    EXPECT_EQ(ClearCardData(area.data()), -5);
    EXPECT_EQ(ReadFile(Dir.File("tarnel-card.txt")), card);
    // A file that holds no number forces nothing.
    WriteFile(Dir.File("tarnel-result"), "none");
    EXPECT_EQ(Read().Result, TARNEL_SUCCESS);
    EXPECT_EQ(Journal(), "MakeGuestCard 1\nMakeCardOpenPort -5\nMakeGuestCard -5\n"
                         "ClearCardData -5\nReadCard 1\n");
}

// One simulated encoder: concurrent callers never see half a card or lose a journal line.
TEST_F(TarnelTest, ConcurrentCallsKeepCardAndJournalWhole) {
    constexpr int Threads = 8, Calls = 25;
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < Calls; ++i) {
                if (Write(static_cast<uint32_t>(t), t, t, 0) != TARNEL_SUCCESS)
                    ++failures;
                const TRead r = Read();
                if (r.Result != TARNEL_SUCCESS ||
                    Get(r.Building.data(), 0) != Get(r.Room.data(), 0))
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    const std::string journal = Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 2 * Threads * Calls);
}

} // namespace
