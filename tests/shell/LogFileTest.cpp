#include "shell/LogFileUnit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {
const std::regex Stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} )");

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos)); // a torn last line shows up as such
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}
} // namespace

TEST(LogFile, FileNameIsTheStartDayInTheFolder) {
    std::tm day{};
    day.tm_year = 2008 - 1900;
    day.tm_mon = 4;
    day.tm_mday = 6;
    day.tm_hour = 23;
    day.tm_min = 59;
    day.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(mktime(&day));
    EXPECT_EQ(TLogFile::DailyFileName("/opt/halvane", when), "/opt/halvane/20080506.LOG");
}

TEST(LogFile, EntriesAreStampedAppendedAndEndInCrLf) {
    TTempDir dir;
    const std::string path = dir.File("20080506.LOG");
    {
        TLogFile log(path);
        EXPECT_FALSE(std::filesystem::exists(path)); // nothing is created before the first entry
        log.WriteLog("收到消息: \r\n<x type=\"ReadCard\"/>");
        log.WriteLog("");
    }
    TLogFile(path).WriteLog("第二次运行"); // a later run on the same day appends

    const auto lines = SplitCrLf(ReadFile(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[0],
                                 std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} 收到消息: )")));
    EXPECT_EQ(lines[1], "<x type=\"ReadCard\"/>");  // only the first line of a message is stamped
    EXPECT_TRUE(std::regex_match(lines[2], Stamp)); // an empty message leaves the stamp alone
    EXPECT_TRUE(std::regex_match(lines[3].substr(0, 20), Stamp));
    EXPECT_EQ(lines[3].substr(20), "第二次运行");
}

TEST(LogFile, ConcurrentWritersLoseNoEntryAndTearNoLine) {
    TTempDir dir;
    TLogFile log(dir.File("x.LOG"));
    constexpr int Threads = 8, Entries = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < Entries; ++i)
                log.WriteLog("线程" + std::to_string(t) + " 条目" + std::to_string(i));
        });
    for (auto& w : writers)
        w.join();

    const auto lines = SplitCrLf(ReadFile(dir.File("x.LOG")));
    ASSERT_EQ(lines.size(), size_t(Threads * Entries));
    std::vector<int> next(Threads, 0);
    const std::regex entry(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} 线程(\d+) 条目(\d+))");
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, entry)) << line;
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++); // each writer's entries in its own order
    }
}

TEST(LogFile, UnwritableLocationLosesEntriesSilently) {
    TTempDir dir;
    TLogFile log(dir.File("missing-folder/x.LOG"));
    EXPECT_NO_THROW(log.WriteLog("lost"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-folder")));
}

TEST(LogFile, WriteLogWithoutAProgramLogDoesNothing) {
    TLogFile* saved = LogFile;
    LogFile = nullptr;
    EXPECT_NO_THROW(WriteLog("nowhere"));
    LogFile = saved;
}

TEST(LogFile, NothingIsHeldOpenAndADeletedLogIsCreatedAnew) {
    TTempDir dir;
    const std::string path = dir.File("x.LOG");
    TLogFile log(path);
    log.WriteLog("first");
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        EXPECT_NE(std::filesystem::read_symlink(fd.path(), error).string(), path);
    }
    std::filesystem::remove(path);
    log.WriteLog("second");
    const auto lines = SplitCrLf(ReadFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(20), "second");
}
