// Faults of the files around the program and of its clients, one row each: the program keeps
// serving, answers as usual and says in its log what went wrong.
//
// The tests run as root, for whom file modes stop nothing. Each fault is therefore made with a
// means that stops root too: the immutable attribute (chattr +i, where the file system has it),
// another process's exclusive SQLite lock, or bytes that are no database.
#include "HalvaneProcess.h"

#include <cstdlib>
#include <functional>
#include <thread>

namespace reliability {
namespace {

const std::string IssueOk = "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode>"
                            "<ResultMessage>发卡成功</ResultMessage><CardNo>";

bool SetImmutable(const std::string& path, bool on) {
    const std::string command =
        std::string("chattr ") + (on ? "+i" : "-i") + " '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// Whether the file system under the temp folder takes the immutable attribute.
bool ImmutableSupported(const TTempDir& home) {
    const std::string probe = home.File("probe");
    WriteFile(probe, "x");
    const bool supported = SetImmutable(probe, true);
    SetImmutable(probe, false);
    std::filesystem::remove(probe);
    return supported;
}

// The program folder with Client.db and today's log as an earlier run left them.
void RunOnce(THalvaneProcess& halvane) {
    ASSERT_TRUE(halvane.Start()) << halvane.Output();
    ASSERT_EQ(halvane.Exchange("<x type=\"EraseCard\"/>"), Answer("200", "注销卡成功 ", "0"));
    ASSERT_EQ(halvane.Stop(), 0);
}

struct TFaultCase {
    const char* Name;
    bool NeedsImmutable;
    // Makes the fault before the program starts.
    std::function<void(THalvaneProcess&, const TTempDir&)> Make;
    // Serves requests with the fault in place and checks answers, log and store.
    std::function<void(THalvaneProcess&, const TTempDir&)> Serve;
    // Takes the fault away again, whatever happened.
    std::function<void(THalvaneProcess&, const TTempDir&)> Undo;
};

void ExpectIssued(THalvaneProcess& halvane, const std::string& id) {
    const std::string answer = halvane.Exchange(IssueXml(id, "3", "7", false));
    EXPECT_TRUE(answer.starts_with(IssueOk)) << answer;
}

long RecordCount(THalvaneProcess& halvane) {
    const auto rows = Query(halvane.Db(), "select count(*) from T_IssueCardRecord");
    return rows.size() == 1 ? std::atol(rows[0].c_str()) : -1;
}

const TFaultCase FaultCases[] = {
    // The database file cannot be written by anyone: the store cannot keep records, cards are
    // still issued, and each failed write is logged with the database's reason.
    {"ClientDbImmutable", true,
     [](THalvaneProcess& h, const TTempDir&) {
         RunOnce(h);
         ASSERT_TRUE(SetImmutable(h.Db(), true));
     },
     [](THalvaneProcess& h, const TTempDir&) {
         ExpectIssued(h, "I1");
         EXPECT_TRUE(h.Log().Contains("readonly database") ||
                     h.Log().Contains("unable to open database file"))
             << h.LogText();
     },
     [](THalvaneProcess& h, const TTempDir&) { SetImmutable(h.Db(), false); }},

    // No file can be made in the program folder, so SQLite cannot make its write-ahead log
    // beside Client.db: the store stays closed, which the log says at start and per request.
    {"FolderImmutable", true,
     [](THalvaneProcess& h, const TTempDir& home) {
         RunOnce(h);
         ASSERT_TRUE(SetImmutable(home.Path().string(), true));
     },
     [](THalvaneProcess& h, const TTempDir&) {
         ExpectIssued(h, "F1");
         const TLog log = h.Log();
         EXPECT_TRUE(log.Contains("unable to open database file") || log.Contains("数据库未打开"))
             << h.LogText();
     },
     [](THalvaneProcess&, const TTempDir& home) { SetImmutable(home.Path().string(), false); }},

    // Another program holds the database's write lock: a write waits for it up to the busy
    // time-out, then gives up with "database is locked"; once the lock is gone, records are
    // kept again without a restart.
    {"DatabaseLockedByAnotherProcess", false,
     [](THalvaneProcess& h, const TTempDir&) { RunOnce(h); },
     [](THalvaneProcess& h, const TTempDir&) {
         sqlite3* other = nullptr;
         ASSERT_EQ(sqlite3_open(h.Db().c_str(), &other), SQLITE_OK);
         ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
         ExpectIssued(h, "L1");
         sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
         sqlite3_close(other);
         EXPECT_TRUE(h.Log().Contains("database is locked")) << h.LogText();
         ExpectIssued(h, "L2");
         EXPECT_EQ(Query(h.Db(), "select RegisterId from T_IssueCardRecord"),
                   std::vector<std::string>{"L2"});
     },
     nullptr},

    // Client.db holds bytes that are no database: the program says so at start, serves
    // without a store, and leaves the file as it was for the operator to look at.
    {"CorruptClientDb", false,
     [](THalvaneProcess& h, const TTempDir&) {
         std::string garbage(8192, '\0');
         for (size_t i = 0; i < garbage.size(); ++i)
             garbage[i] = static_cast<char>(i * 7 + 13);
         WriteFile(h.Db(), garbage);
     },
     [](THalvaneProcess& h, const TTempDir&) {
         ExpectIssued(h, "C1");
         const TLog log = h.Log();
         EXPECT_TRUE(log.Contains("file is not a database")) << h.LogText();
         EXPECT_TRUE(log.Contains("数据库未打开")) << h.LogText();
         std::string garbage(8192, '\0');
         for (size_t i = 0; i < garbage.size(); ++i)
             garbage[i] = static_cast<char>(i * 7 + 13);
         EXPECT_EQ(ReadFile(h.Db()), garbage);
     },
     nullptr},

    // Today's log cannot be written: entries are lost, which nothing else can report; the
    // requests are served as ever.
    {"LogFileImmutable", true,
     [](THalvaneProcess& h, const TTempDir&) {
         RunOnce(h);
         ASSERT_TRUE(SetImmutable(h.LogFileName(), true));
     },
     [](THalvaneProcess& h, const TTempDir&) {
         const std::string before = ReadFile(h.LogFileName());
         ExpectIssued(h, "G1");
         EXPECT_EQ(RecordCount(h), 1);
         EXPECT_EQ(ReadFile(h.LogFileName()), before);
     },
     [](THalvaneProcess& h, const TTempDir&) { SetImmutable(h.LogFileName(), false); }},

    // A client that sends its request and goes away without reading: the card is still
    // issued and recorded, the lost answer does not disturb the next client.
    {"ClientClosesBeforeTheAnswer", false, nullptr,
     [](THalvaneProcess& h, const TTempDir&) {
         {
             TLoopbackClient gone(h.Port());
             gone.Send(WithNul(IssueXml("E1", "3", "7", false)));
         }
         for (int i = 0; i < 200 && h.Log().Count("完成一次操作") < 1; ++i)
             std::this_thread::sleep_for(10ms);
         ExpectIssued(h, "E2");
         const TLog log = h.Log();
         EXPECT_EQ(log.Count("房间(7)发卡成功"), 2);
         EXPECT_EQ(log.Count("完成一次操作"), 2);
         EXPECT_EQ(RecordCount(h), 2);
     },
     nullptr},

    // A client that half-closes after its request still gets the whole answer.
    {"ClientHalfClosesAfterTheRequest", false, nullptr,
     [](THalvaneProcess& h, const TTempDir&) {
         TLoopbackClient client(h.Port());
         client.Send(WithNul(IssueXml("H1", "3", "7", false)));
         client.HalfClose();
         bool closed = false;
         const std::string answer = client.ReadAll(10s, &closed);
         EXPECT_TRUE(answer.starts_with(IssueOk)) << answer;
         EXPECT_TRUE(answer.ends_with(std::string("</DoorResponse>") + '\0')) << answer;
         EXPECT_TRUE(closed);
         EXPECT_EQ(h.Log().Count("完成一次操作"), 1);
     },
     nullptr},

    // Half-closing before the NUL ends the request unread: no answer, nothing done.
    {"ClientHalfClosesBeforeTheNul", false, nullptr,
     [](THalvaneProcess& h, const TTempDir&) {
         TLoopbackClient client(h.Port());
         client.Send(IssueXml("N1", "3", "7", false));
         client.HalfClose();
         bool closed = false;
         EXPECT_EQ(client.ReadAll(10s, &closed), "");
         EXPECT_TRUE(closed);
         EXPECT_EQ(h.Log().CountStarting("收到消息"), 0);
         EXPECT_EQ(RecordCount(h), 0);
     },
     nullptr},
};

class FaultMatrix : public testing::TestWithParam<TFaultCase> {};

TEST_P(FaultMatrix, ProgramKeepsServingAndLogsWhatHappened) {
    const TFaultCase& fault = GetParam();
    TTempDir home;
    THalvaneProcess halvane(home);
    if (fault.NeedsImmutable && !ImmutableSupported(home))
        GTEST_SKIP() << "the file system under " << home.Path()
                     << " has no immutable attribute (chattr +i); this fault cannot be made "
                        "for root here";
    halvane.Configure("", "SaveDoorlockRecord=1");
    struct TUndo {
        const TFaultCase& Fault;
        THalvaneProcess& Halvane;
        const TTempDir& Home;
        ~TUndo() {
            if (Fault.Undo)
                Fault.Undo(Halvane, Home);
        }
    } undo{fault, halvane, home};
    if (fault.Make)
        fault.Make(halvane, home);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(halvane.Start()) << halvane.Output();
    fault.Serve(halvane, home);

    // Whatever happened, the next client is served and the program stops in order.
    EXPECT_EQ(halvane.Exchange("<x type=\"EraseCard\"/>"), Answer("200", "注销卡成功 ", "0"));
    EXPECT_EQ(halvane.Stop(), 0) << halvane.Output();
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, testing::ValuesIn(FaultCases),
                         [](const testing::TestParamInfo<TFaultCase>& info) {
                             return std::string(info.param.Name);
                         });

// Every result code the encoder library can give, and codes it should never give: the answer
// is the failure of the request's type, and the log names the encoder's reason.
TEST(EncoderResultCodes, EveryCodeIsAnsweredAsAFailureAndLoggedWithItsText) {
    const std::pair<int, const char*> codes[] = {
        {-1, "请检查IC卡是否正确放置！"},
        {-2, "请检查发卡机是否正确连接！"},
        {-3, "该IC卡不能在本系统使用！"},
        {-4, "卡类型不对！"},
        {-5, "IC卡读写失败！"},
        {-6, "串口未打开！"},
        {-7, "数据卡读取完成！"},
        {-8, "无效的参数！"},
        {-9, "不支持该操作！"},
        {-10, "其他错误！"},
        {-11, "端口正在使用！"},
        {-12, "通信错误！"},
        {-13, "卡片内容不为空！"},
        {-14, "密码不对！"},
        {-15, "操作失败！"},
        {-16, "未知错误"},
        {0, "未知错误"},
        {2, "未知错误"},
        {32767, "未知错误"},
        {-32768, "未知错误"},
    };
    TTempDir home;
    THalvaneProcess halvane(home);
    halvane.Configure("", "SaveDoorlockRecord=1");
    ASSERT_TRUE(halvane.Start()) << halvane.Output();
    for (const auto& [code, text] : codes) {
        SCOPED_TRACE("result code " + std::to_string(code));
        halvane.ForceEncoderResult(code);
        EXPECT_EQ(halvane.Exchange(IssueXml("E" + std::to_string(code), "3", "7", false)),
                  Answer("500", "发卡失败", "0"));
        EXPECT_EQ(halvane.Exchange("<x type=\"ReadCard\"/>"), Answer("500", "读卡失败", "0"));
        EXPECT_EQ(halvane.Exchange("<x type=\"EraseCard\"/>"), Answer("500", "注销卡失败 ", "0"));
        const TLog log = halvane.Log();
        EXPECT_EQ(log.Count(std::string("发卡失败：") + text), 1) << "issue";
        EXPECT_EQ(log.Count(std::string("读卡失败：") + text), 1) << "read";
        EXPECT_EQ(log.Count(std::string("销卡失败：") + text), 1) << "erase";
        // Unknown codes share one text: each code's lines are counted in a fresh log.
        std::filesystem::remove(halvane.LogFileName());
    }
    halvane.ClearEncoderResult();
    const std::string answer = halvane.Exchange(IssueXml("after", "3", "7", false));
    EXPECT_TRUE(answer.starts_with(IssueOk)) << answer;
    // A failed issue is recorded with card number "0", one row per attempt.
    EXPECT_EQ(Query(halvane.Db(), "select count(*), sum(CardNo='0') from T_IssueCardRecord"),
              std::vector<std::string>{std::to_string(std::size(codes) + 1) + "|" +
                                       std::to_string(std::size(codes))});
    EXPECT_EQ(halvane.Stop(), 0);
}

} // namespace
} // namespace reliability
