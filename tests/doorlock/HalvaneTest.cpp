// The encoder adapter against the real libtarnel.so: card numbers, error texts, code checks.
#include "DoorlockFixture.h"

#include <algorithm>

namespace {

TDateTime At(const char* text) {
    return *TDateTime::Parse(text);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class HalvaneTest : public TDoorlockFixture {
protected:
    bool Issue(const std::string& building, const std::string& floor, const std::string& room,
               int64_t& cardNo, bool copy = false) {
        const TDateTime start = At("2008-05-06 14:35:27"), end = At("2008-05-08 12:00:00");
        return Device->IssueCard("R1", building, floor, room, "Guest", start, start, end, end, copy,
                                 cardNo);
    }
};

struct TCardNumberCase {
    const char *Building, *Floor, *Room;
    int64_t CardNo;
    const char* CardFile;
};

class HalvaneCardNumberTest : public HalvaneTest,
                              public ::testing::WithParamInterface<TCardNumberCase> {};

TEST_P(HalvaneCardNumberTest, IssuedCardCarriesStartHourAndCodesAndReadsBackTheSame) {
    const TCardNumberCase& c = GetParam();
    int64_t issued = 0;
    ASSERT_TRUE(Issue(c.Building, c.Floor, c.Room, issued));
    EXPECT_EQ(issued, c.CardNo);
    EXPECT_EQ(Card(), c.CardFile);

    int64_t read = 0;
    ASSERT_TRUE(Device->ReadCard(read));
    EXPECT_EQ(read, c.CardNo);

    const std::vector<std::string> expected = {"发卡结束时间:2008",
                                               "发卡成功,卡号为:" + std::to_string(c.CardNo),
                                               "读卡成功,卡号为:" + std::to_string(c.CardNo)};
    EXPECT_EQ(LogMessages(), expected);
    EXPECT_EQ(Journal(), "MakeGuestCard 1\nReadCard 1\n");
}

INSTANTIATE_TEST_SUITE_P(
    Examples, HalvaneCardNumberTest,
    ::testing::Values(
        TCardNumberCase{"00", "01", "01", 2008050614011,
                        "building=0\nfloor=1\nroom=1\ncopy=0\nstart=2008-05-06 14:35\n"
                        "end=2008-05-08 12:00\n"},
        TCardNumberCase{"1", "12", "5", 20080506141125,
                        "building=1\nfloor=12\nroom=5\ncopy=0\nstart=2008-05-06 14:35\n"
                        "end=2008-05-08 12:00\n"},
        // Leading blanks and a plus sign are part of the integer forms.
        TCardNumberCase{" 1", "+12", "5", 20080506141125,
                        "building=1\nfloor=12\nroom=5\ncopy=0\nstart=2008-05-06 14:35\n"
                        "end=2008-05-08 12:00\n"},
        // The largest codes whose number still fits 64 bits.
        TCardNumberCase{"999", "999", "999", 2008050614999999999,
                        "building=999\nfloor=999\nroom=999\ncopy=0\nstart=2008-05-06 14:35\n"
                        "end=2008-05-08 12:00\n"}));

TEST_F(HalvaneTest, CopyFlagReachesTheCard) {
    int64_t cardNo = 0;
    ASSERT_TRUE(Issue("0", "1", "1", cardNo, true));
    EXPECT_NE(Card().find("copy=1\n"), std::string::npos);
}

struct TBadCodeCase {
    const char *Building, *Floor, *Room, *Why;
};

class HalvaneBadCodeTest : public HalvaneTest,
                           public ::testing::WithParamInterface<TBadCodeCase> {};

// Codes are checked before the encoder is touched: no card is written for them.
TEST_P(HalvaneBadCodeTest, RefusedBeforeTheEncoderWithTheReasonLogged) {
    const TBadCodeCase& c = GetParam();
    int64_t cardNo = 42;
    EXPECT_THROW(Issue(c.Building, c.Floor, c.Room, cardNo), std::invalid_argument);
    EXPECT_EQ(cardNo, 42);
    EXPECT_EQ(Journal(), "");
    EXPECT_EQ(Card(), "");
    const std::vector<std::string> log = LogMessages();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], c.Why);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, HalvaneBadCodeTest,
    ::testing::Values(TBadCodeCase{"abc", "1", "1", "发卡失败：楼号\"abc\"不是0到32767之间的整数"},
                      TBadCodeCase{"", "1", "1", "发卡失败：楼号\"\"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "1 ", "1", "发卡失败：楼层\"1 \"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "+-1", "1", "发卡失败：楼层\"+-1\"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "1.5", "1", "发卡失败：楼层\"1.5\"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "1", "-1", "发卡失败：房号\"-1\"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "1", "32768",
                                   "发卡失败：房号\"32768\"不是0到32767之间的整数"},
                      TBadCodeCase{"0", "1", "99999999999",
                                   "发卡失败：房号\"99999999999\"不是0到32767之间的整数"},
                      TBadCodeCase{"32767", "32767", "1",
                                   "发卡失败：卡号200805061432767327671超出64位整数的范围"}));

TEST_F(HalvaneTest, LargestCodeIsAccepted) {
    int64_t cardNo = 0;
    ASSERT_TRUE(Issue("0", "0", "32767", cardNo));
    EXPECT_EQ(cardNo, 20080506140032767);
}

TEST_F(HalvaneTest, ErrorTextCoversTheTableAndNothingElse) {
    const std::vector<std::string> table = {"请检查IC卡是否正确放置！",
                                            "请检查发卡机是否正确连接！",
                                            "该IC卡不能在本系统使用！",
                                            "卡类型不对！",
                                            "IC卡读写失败！",
                                            "串口未打开！",
                                            "数据卡读取完成！",
                                            "无效的参数！",
                                            "不支持该操作！",
                                            "其他错误！",
                                            "端口正在使用！",
                                            "通信错误！",
                                            "卡片内容不为空！",
                                            "密码不对！",
                                            "操作失败！"};
    for (int code = -1; code >= -15; --code)
        EXPECT_EQ(ErrorText(code), table[static_cast<size_t>(-code - 1)]) << code;
    for (int code : {3, 0, 2, -16, 32767, -32768})
        EXPECT_EQ(ErrorText(code), "未知错误") << code;
}

TEST_F(HalvaneTest, OpenPortLogsSuccessOrTheEncodersReason) {
    EXPECT_TRUE(Device->OpenPort());
    ForceResult(-6);
    EXPECT_FALSE(Device->OpenPort());
    EXPECT_TRUE(Device->ClosePort()); // closing never fails, also after a failed open
    const std::vector<std::string> expected = {"系统初始化成功", "端口初始化失败: 串口未打开！"};
    EXPECT_EQ(LogMessages(), expected);
    EXPECT_EQ(Journal(), "MakeCardOpenPort 1\nMakeCardOpenPort -6\n");
}

TEST_F(HalvaneTest, ReadingABlankCardFails) {
    int64_t cardNo = 42;
    EXPECT_FALSE(Device->ReadCard(cardNo));
    EXPECT_EQ(cardNo, 42);
    EXPECT_TRUE(Contains(LogMessages(), "读卡失败：该IC卡不能在本系统使用！"));
}

TEST_F(HalvaneTest, EraseLeavesABlankCard) {
    int64_t cardNo = 0;
    ASSERT_TRUE(Issue("0", "1", "1", cardNo));
    EXPECT_TRUE(Device->EraseCard());
    EXPECT_EQ(Card(), "");
    EXPECT_FALSE(Device->ReadCard(cardNo));
    EXPECT_TRUE(Contains(LogMessages(), "销卡成功"));
}

// A card from elsewhere may hold values that make no card number: the read fails, with a reason,
// instead of the request ending without an answer.
TEST_F(HalvaneTest, ForeignCardWithNegativeCodeOrBadStartReadsAsFailure) {
    WriteFile(Dir.File("tarnel-card.txt"), "building=-1\nfloor=1\nroom=1\ncopy=0\n"
                                           "start=2008-05-06 14:35\nend=2008-05-08 12:00\n");
    int64_t cardNo = 42;
    EXPECT_FALSE(Device->ReadCard(cardNo));
    EXPECT_EQ(cardNo, 42);
    EXPECT_TRUE(Contains(LogMessages(), "读卡失败：卡上的房间代码无效"));
}

TEST_F(HalvaneTest, BaseDeviceDoesNothingAndLeavesTheCardNumber) {
    TBaseDoorlock base;
    int64_t cardNo = 42;
    const TDateTime t = At("2008-05-06 14:35");
    EXPECT_FALSE(base.OpenPort());
    EXPECT_FALSE(base.ClosePort());
    EXPECT_FALSE(base.IssueCard("", "0", "1", "1", "", t, t, t, t, false, cardNo));
    EXPECT_FALSE(base.ReadCard(cardNo));
    EXPECT_FALSE(base.EraseCard());
    EXPECT_EQ(cardNo, 42);
    EXPECT_EQ(Journal(), "");
}

// A subclass's beep sounds after each successful operation, not after a failed one.
TEST_F(HalvaneTest, BeepIsCalledThroughTheSubclassAfterSuccess) {
    struct TBeepingHalvane : THalvane {
        int Beeps = 0;
        void Beep() override { ++Beeps; }
    } device;
    int64_t cardNo = 0;
    const TDateTime t = At("2008-05-06 14:35");
    ASSERT_TRUE(device.IssueCard("", "0", "1", "1", "", t, t, t, t, false, cardNo));
    ASSERT_TRUE(device.ReadCard(cardNo));
    ASSERT_TRUE(device.EraseCard());
    EXPECT_FALSE(device.ReadCard(cardNo));
    EXPECT_EQ(device.Beeps, 3);
}

} // namespace
