// Door-lock requests over loopback TCP against the real listener, encoder stand-in and Client.db.
#include "DoorlockFixture.h"

#include <algorithm>

namespace {

TDateTime At(const std::string& text) {
    return *TDateTime::Parse(text);
}

std::string CardNoOf(const std::string& answer) {
    const size_t from = answer.find("<CardNo>") + 8;
    return answer.substr(from, answer.find("</CardNo>") - from);
}

// The card file's value of one key.
std::string CardValue(const std::string& card, const std::string& key) {
    const size_t from = card.find(key + "=");
    if (from == std::string::npos)
        return "";
    const size_t start = from + key.size() + 1;
    return card.substr(start, card.find('\n', start) - start);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

using MessageHandlerTest = TDoorlockFixture;

TEST_F(MessageHandlerTest, IssueReadEraseAnswerByteForByteAndLogInOrder) {
    const std::string issue = TIssueFields{}.Xml();
    EXPECT_EQ(Exchange(issue), Answer("200", "发卡成功", "2008050614011"));
    EXPECT_EQ(Exchange("<DoorRequest type=\"ReadCard\"/>"),
              Answer("200", "读卡成功", "2008050614011"));
    EXPECT_EQ(Exchange("<DoorRequest type=\"EraseCard\"/>"), Answer("200", "注销卡成功 ", "0"));
    EXPECT_EQ(Exchange("<DoorRequest type=\"ReadCard\"/>"), Answer("500", "读卡失败", "0"));

    const std::vector<std::string> expected = {
        "收到消息: \r\n" + issue,
        "执行操作->",
        "发卡结束时间:2008",
        "发卡成功,卡号为:2008050614011",
        "房间(01)发卡成功",
        "完成一次操作",
        "收到消息: \r\n<DoorRequest type=\"ReadCard\"/>",
        "执行操作->",
        "读卡成功,卡号为:2008050614011",
        "读卡成功，卡号为：2008050614011",
        "完成一次操作",
        "收到消息: \r\n<DoorRequest type=\"EraseCard\"/>",
        "执行操作->",
        "销卡成功",
        "注销卡成功",
        "完成一次操作",
        "收到消息: \r\n<DoorRequest type=\"ReadCard\"/>",
        "执行操作->",
        "读卡失败：该IC卡不能在本系统使用！",
        "读卡失败",
        "完成一次操作",
    };
    EXPECT_EQ(LogMessages(), expected);
}

TEST_F(MessageHandlerTest, SecondCodeExampleAndRequestIdNeverEchoed) {
    TIssueFields f;
    f.Building = "1";
    f.Floor = "12";
    f.Room = "5";
    EXPECT_EQ(Exchange(f.Xml()), Answer("200", "发卡成功", "20080506141125"));
    EXPECT_EQ(Exchange("<r type=\"ReadCard\"><RequestID>abc</RequestID></r>"),
              Answer("200", "读卡成功", "20080506141125"));
}

class EncoderResultTest : public TDoorlockFixture, public ::testing::WithParamInterface<int> {};

TEST_P(EncoderResultTest, EveryFailureCodeAnswers500AndLogsItsText) {
    const int code = GetParam();
    ForceResult(code);
    EXPECT_EQ(Exchange(TIssueFields{}.Xml()), Answer("500", "发卡失败", "0"));
    EXPECT_EQ(Exchange("<x type=\"ReadCard\"/>"), Answer("500", "读卡失败", "0"));
    EXPECT_EQ(Exchange("<x type=\"EraseCard\"/>"), Answer("500", "注销卡失败 ", "0"));
    const std::vector<std::string> log = LogMessages();
    EXPECT_TRUE(Contains(log, "发卡失败：" + ErrorText(code)));
    EXPECT_TRUE(Contains(log, "房间(01)发卡失败"));
    EXPECT_TRUE(Contains(log, "读卡失败：" + ErrorText(code)));
    EXPECT_TRUE(Contains(log, "销卡失败：" + ErrorText(code)));
    EXPECT_TRUE(Contains(log, "注销卡失败"));
    EXPECT_EQ(Card(), "");
}

INSTANTIATE_TEST_SUITE_P(TableAndBeyond, EncoderResultTest,
                         ::testing::Values(-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13,
                                           -14, -15, 3, 0, -16));

TEST_F(MessageHandlerTest, UnknownCodeIsLoggedAsUnknownError) {
    ForceResult(3);
    Exchange(TIssueFields{}.Xml());
    EXPECT_TRUE(Contains(LogMessages(), "发卡失败：未知错误"));
}

TEST_F(MessageHandlerTest, WithoutDeviceEveryRequestFailsAndTheRecordSaysCardZero) {
    Options->SaveDoorlockRecord = true;
    Doorlock = nullptr;
    EXPECT_EQ(Exchange(TIssueFields{}.Xml()), Answer("500", "发卡失败", "0"));
    EXPECT_EQ(Exchange("<x type=\"ReadCard\"/>"), Answer("500", "读卡失败", "0"));
    EXPECT_EQ(Exchange("<x type=\"EraseCard\"/>"), Answer("500", "注销卡失败 ", "0"));
    EXPECT_EQ(Journal(), "");
    EXPECT_EQ(Rows("select CardNo, RoomNo, GuestName from T_IssueCardRecord"),
              std::vector<std::string>{"0|000101|张三"});
}

TEST_F(MessageHandlerTest, FailedIssueIsRecordedWithCardZero) {
    Options->SaveDoorlockRecord = true;
    ForceResult(-1);
    Exchange(TIssueFields{}.Xml());
    EXPECT_EQ(Rows("select CardNo, CardType, IsCopy from T_IssueCardRecord"),
              std::vector<std::string>{"0|1|0"});
}

TEST_F(MessageHandlerTest, TypeIsTrimmedButCaseSensitive) {
    TIssueFields f;
    EXPECT_EQ(Exchange(f.Xml(" \tIssueCard \n")), Answer("200", "发卡成功", "2008050614011"));
    EXPECT_EQ(Exchange("<x type=\"  ReadCard\"/>"), Answer("200", "读卡成功", "2008050614011"));
    for (const std::string& request :
         {f.Xml("issuecard"), std::string("<x type=\"readcard\"/>"), std::string("<x/>"),
          std::string("<x type=\"Erase Card\"/>")}) {
        const size_t before = LogMessages().size();
        EXPECT_EQ(Exchange(request), "") << request;
        const std::vector<std::string> log = LogMessages();
        const std::vector<std::string> tail(log.begin() + static_cast<long>(before), log.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"收到消息: \r\n" + request, "执行操作->",
                                                  "完成一次操作"}));
    }
    EXPECT_EQ(Journal(), "MakeGuestCard 1\nReadCard 1\n");
}

struct TDelayCase {
    int Delay, Delay2;
    const char *Start, *End, *CardNo;
};

class DelayTest : public TDoorlockFixture, public ::testing::WithParamInterface<TDelayCase> {};

// Check-in 14:00 and check-out 12:00, shifted by the settings, on the card and in the record.
TEST_P(DelayTest, ShiftsReachTheCardAndTheRecord) {
    const TDelayCase& c = GetParam();
    Options->DelayMinutes = c.Delay;
    Options->DelayMinutes2 = c.Delay2;
    Options->SaveDoorlockRecord = true;
    TIssueFields f;
    f.InTime = "14:00:00";
    EXPECT_EQ(Exchange(f.Xml()), Answer("200", "发卡成功", c.CardNo));
    EXPECT_EQ(CardValue(Card(), "start"), c.Start);
    EXPECT_EQ(CardValue(Card(), "end"), c.End);
    EXPECT_EQ(
        Rows("select LastCheckInTime, CheckInTime, CheckOutTime from T_IssueCardRecord"),
        std::vector<std::string>{std::string(c.Start) + ":00|" + c.Start + ":00|" + c.End + ":00"});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DelayTest,
    ::testing::Values(TDelayCase{0, 0, "2008-05-06 14:00", "2008-05-08 12:00", "2008050614011"},
                      TDelayCase{10, 30, "2008-05-06 13:50", "2008-05-08 12:30", "2008050613011"},
                      TDelayCase{-15, -45, "2008-05-06 14:15", "2008-05-08 11:15", "2008050614011"},
                      // Shifts cross midnight like any other time.
                      TDelayCase{900, 720, "2008-05-05 23:00", "2008-05-09 00:00",
                                 "2008050523011"}));

struct TCopyCase {
    const char* Text;
    bool Copy;
};

class CopyFlagTest : public TDoorlockFixture, public ::testing::WithParamInterface<TCopyCase> {};

TEST_P(CopyFlagTest, PositionTenDecidesTheCopyFlag) {
    TIssueFields f;
    f.IsCopy = GetParam().Text;
    ASSERT_EQ(Exchange(f.Xml()), Answer("200", "发卡成功", "2008050614011"));
    EXPECT_EQ(CardValue(Card(), "copy"), GetParam().Copy ? "1" : "0");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CopyFlagTest,
    ::testing::Values(TCopyCase{"1", true}, TCopyCase{"True", true}, TCopyCase{"true", true},
                      TCopyCase{"TRUE", true}, TCopyCase{"-2", true}, TCopyCase{"0.5", true},
                      TCopyCase{"0", false}, TCopyCase{"False", false}, TCopyCase{"false", false},
                      TCopyCase{"", false}, TCopyCase{"yes", false}, TCopyCase{"0.0", false},
                      TCopyCase{" 1", true}, TCopyCase{"+1", true}, TCopyCase{"nan", false}));

class NativeDatabaseTest : public TDoorlockFixture {
protected:
    void SetUp() override {
        TDoorlockFixture::SetUp();
        Options->UseNativeDoorlockDb = true;
        Options->SaveDoorlockRecord = true;
        Options->DelayMinutes = 5;
    }
    TDateTime RoomTime(const std::string& room) {
        const std::vector<std::string> rows =
            Rows("select LastCheckInTime from T_Room where RoomNo='" + room + "'");
        return rows.size() == 1 ? At(rows[0]) : TDateTime();
    }
};

// A new check-in starts the stay now (less DelayMinutes); the requested check-in only reaches
// the record.
TEST_F(NativeDatabaseTest, NewCheckInStartsTheStayNowAndStoresIt) {
    const TDateTime before = TDateTime::Now().IncMinute(-5).IncMilliseconds(-1000);
    const std::string answer = Exchange(TIssueFields{}.Xml());
    const TDateTime after = TDateTime::Now().IncMinute(-5);
    ASSERT_EQ(answer.substr(0, 70), Answer("200", "发卡成功", "").substr(0, 70));

    const TDateTime stay = RoomTime("000101");
    EXPECT_GE(stay, before);
    EXPECT_LE(stay, after);
    EXPECT_EQ(CardValue(Card(), "start"), stay.Format().substr(0, 16));
    const TDateParts p = stay.Decode();
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04d%02d%02d%02d011", p.Year, p.Month, p.Day, p.Hour);
    EXPECT_EQ(CardNoOf(answer), expected);
    EXPECT_EQ(Rows("select LastCheckInTime, CheckInTime, IsCopy from T_IssueCardRecord"),
              std::vector<std::string>{stay.Format() + "|2008-05-06 14:30:00|0"});
    EXPECT_TRUE(Contains(LogMessages(), "新建房间000101"));
}

TEST_F(NativeDatabaseTest, CopyReusesTheStoredStartAndLeavesTheRoomAlone) {
    Store->AddRoom("000101", At("2008-05-06 14:35:27"));
    TIssueFields copy;
    copy.IsCopy = "1";
    copy.Guest = "李四";
    EXPECT_EQ(Exchange(copy.Xml()), Answer("200", "发卡成功", "2008050614011"));
    EXPECT_EQ(Exchange(copy.Xml()), Answer("200", "发卡成功", "2008050614011"));
    EXPECT_EQ(CardValue(Card(), "start"), "2008-05-06 14:35");
    EXPECT_EQ(Rows("select RoomNo, LastCheckInTime from T_Room"),
              std::vector<std::string>{"000101|2008-05-06 14:35:27"});
    EXPECT_EQ(Rows("select LastCheckInTime, IsCopy, GuestName from T_IssueCardRecord"),
              std::vector<std::string>(2, "2008-05-06 14:35:27|1|李四"));
}

TEST_F(NativeDatabaseTest, NewCheckInReplacesTheStayAndCopiesFollowIt) {
    Store->AddRoom("000101", At("2008-05-01 08:00:00"));
    const std::string first = Exchange(TIssueFields{}.Xml());
    TIssueFields copy;
    copy.IsCopy = "true";
    const std::string second = Exchange(copy.Xml());
    EXPECT_EQ(CardNoOf(first), CardNoOf(second));
    EXPECT_GT(RoomTime("000101"), At("2008-05-01 08:00:00"));
    EXPECT_EQ(Rows("select count(*) from T_Room"), std::vector<std::string>{"1"});
}

TEST_F(NativeDatabaseTest, CopyForUnknownRoomAddsItEvenWhenTheEncoderFails) {
    ForceResult(-2);
    TIssueFields copy;
    copy.IsCopy = "1";
    EXPECT_EQ(Exchange(copy.Xml()), Answer("500", "发卡失败", "0"));
    const TDateTime stay = RoomTime("000101");
    EXPECT_FALSE(stay.IsZero());
    EXPECT_EQ(Rows("select CardNo, LastCheckInTime from T_IssueCardRecord"),
              std::vector<std::string>{"0|" + stay.Format()});
    const std::vector<std::string> log = LogMessages();
    EXPECT_TRUE(Contains(log, "新建房间000101"));
    EXPECT_TRUE(Contains(log, "发卡失败：请检查发卡机是否正确连接！"));
}

TEST_F(NativeDatabaseTest, FailedNewCheckInLeavesTheStoredStay) {
    Store->AddRoom("000101", At("2008-05-01 08:00:00"));
    ForceResult(-1);
    Exchange(TIssueFields{}.Xml());
    EXPECT_EQ(RoomTime("000101"), At("2008-05-01 08:00:00"));
}

TEST_F(MessageHandlerTest, OtherDateFormsAndLayoutsAreAccepted) {
    struct TCase {
        const char *InDate, *InTime, *Start;
    };
    for (const TCase& c : {TCase{"2008-05-06", "14:35", "2008-05-06 14:35"},
                           TCase{"2008-5-6", "9:05:00", "2008-05-06 09:05"},
                           TCase{"2008-05-06T14:35:00", "", "2008-05-06 14:35"}}) {
        TIssueFields f;
        f.InDate = c.InDate;
        f.InTime = c.InTime;
        EXPECT_NE(Exchange(f.Xml()), "") << c.InDate << " " << c.InTime;
        EXPECT_EQ(CardValue(Card(), "start"), c.Start);
    }
    // White space, comments and a declaration between the fields; fields beyond 10 ignored.
    const std::string pretty =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Req type=\"IssueCard\">\n  <a/>\n"
        "  <!-- id --><b>R</b>\n  <c>0</c>\n  <d>2</d>\n  <e>3</e>\n  <f>A &amp; B</f>\n"
        "  <g>2008-05-06</g>\n  <h>10:00:00</h>\n  <i>2008-05-07</i>\n  <j>12:00:00</j>\n"
        "  <k>0</k>\n  <l>ignored</l>\n</Req>";
    Options->SaveDoorlockRecord = true;
    EXPECT_EQ(Exchange(pretty), Answer("200", "发卡成功", "2008050610023"));
    EXPECT_EQ(Rows("select RoomNo, GuestName from T_IssueCardRecord"),
              std::vector<std::string>{"023|A & B"});
}

// Requests that cannot be served end without an answer and without touching the encoder.
TEST_F(MessageHandlerTest, MalformedRequestsGetNoAnswerAndWriteNoCard) {
    std::vector<std::pair<std::string, std::string>> requests;
    requests.emplace_back("empty", "");
    requests.emplace_back("no XML", "IssueCard please");
    requests.emplace_back("cut off", "<DoorRequest type=\"IssueCard\"><a>");
    requests.emplace_back("invalid UTF-8", "<x type=\"ReadCard\">\xC3\x28</x>");
    std::string ten = TIssueFields{}.Xml();
    ten.replace(ten.find("<IsCopy>"), std::string("<IsCopy>0</IsCopy>").size(), "");
    requests.emplace_back("ten fields", ten);
    auto with = [](auto change) {
        TIssueFields f;
        change(f);
        return f.Xml();
    };
    requests.emplace_back("bad date", with([](TIssueFields& f) { f.InDate = "2008-02-30"; }));
    requests.emplace_back("bad time", with([](TIssueFields& f) { f.OutTime = "25:00:00"; }));
    requests.emplace_back("no date", with([](TIssueFields& f) { f.OutDate = ""; }));
    requests.emplace_back("text code", with([](TIssueFields& f) { f.Building = "A"; }));
    requests.emplace_back("negative code", with([](TIssueFields& f) { f.Floor = "-1"; }));
    requests.emplace_back("code beyond 16 bits", with([](TIssueFields& f) { f.Room = "70000"; }));
    requests.emplace_back("number beyond 64 bits", with([](TIssueFields& f) {
                              f.Building = "30000";
                              f.Floor = "30000";
                          }));
    for (const auto& [what, request] : requests) {
        TLoopbackClient client(Port());
        client.Send(request + std::string(1, '\0'));
        bool closed = false;
        EXPECT_EQ(client.ReadAll(std::chrono::seconds(10), &closed), "") << what;
        EXPECT_TRUE(closed) << what;
    }
    EXPECT_EQ(Journal(), "");
    EXPECT_EQ(Card(), "");
    const std::vector<std::string> log = LogMessages();
    EXPECT_FALSE(Contains(log, "完成一次操作"));
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& m) { return m.starts_with("收到消息: \r\n"); }),
              static_cast<long>(requests.size()));
    // The refused codes say why.
    EXPECT_TRUE(Contains(log, "发卡失败：楼号\"A\"不是0到32767之间的整数"));
    EXPECT_TRUE(Contains(log, "发卡失败：卡号200805061430000300001超出64位整数的范围"));
}

// Whatever the store wrote before a request was refused stays.
TEST_F(MessageHandlerTest, RoomAddedForARefusedCopyStays) {
    Options->UseNativeDoorlockDb = true;
    TIssueFields f;
    f.IsCopy = "1";
    f.Room = "x1";
    EXPECT_EQ(Exchange(f.Xml()), "");
    EXPECT_EQ(Rows("select RoomNo from T_Room"), std::vector<std::string>{"0001x1"});
    EXPECT_EQ(Journal(), "");
}

// The answer goes to a client that has already gone: the handler still finishes its work.
TEST_F(MessageHandlerTest, ClientGoneBeforeTheAnswerStillCompletes) {
    {
        TLoopbackClient client(Port());
        client.Send(TIssueFields{}.Xml() + std::string(1, '\0'));
    }
    for (int i = 0; i < 200 && !Contains(LogMessages(), "完成一次操作"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(Contains(LogMessages(), "完成一次操作"));
    EXPECT_EQ(Journal(), "MakeGuestCard 1\n");
}

} // namespace
