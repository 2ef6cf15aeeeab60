#include "MemberFixture.h"

#include <vector>

namespace {

// A device that remembers how it was called and hands out what the test set, null included.
class TRecordingMember : public TBaseMember {
public:
    void ShowOptionDialog() override {}
    void OpenPort() override {}
    void ClosePort() override {}
    void Beep() override {}
    bool WriteCard(std::string, std::string, std::string, std::string, int) override {
        return false;
    }
    bool ReadCard(bool Flag, const char*& CardNo, const char*& Password, const char*& ExpireDate,
                  const char*& GuestName, const char*& Score, int Channel) override {
        Calls.push_back({Flag, Channel});
        CardNo = CardNoOut;
        Password = PasswordOut;
        ExpireDate = nullptr;
        GuestName = nullptr;
        Score = nullptr;
        return Result;
    }

    struct TCall {
        bool Flag;
        int Channel;
    };
    std::vector<TCall> Calls;
    const char* CardNoOut = nullptr;
    const char* PasswordOut = nullptr;
    bool Result = true;
};

const char* const ReadCardFile = "CardNo=8001\nPassword=pw9\nExpireDate=2027-12-31\n"
                                 "GuestName=张三丰\nScore=120\n";

std::string FullReadAnswer() {
    return MemberAnswer("200", "读卡成功", "8001", "2027-12-31", "张三丰", "120", "pw9");
}

} // namespace

TEST_F(MemberInterface, WriteSuccessAnswersAndStoresTheCard) {
    EXPECT_EQ(Exchange(WriteRequest("123", "<Channel>11</Channel>")),
              MemberAnswer("200", "写卡成功", "123"));
    EXPECT_EQ(CardFile(), "CardNo=123\nSecondValue=second\nThirdValue=third\nFourthValue=fourth\n"
                          "Channel=11\n");
    EXPECT_NE(LogText().find("写卡成功,卡号为:123\r\n"), std::string::npos);
}

TEST_F(MemberInterface, WriteChannelFromTheSixthChild) {
    const struct {
        const char* Extra;
        const char* Channel;
    } cases[] = {
        {"", "-1"},
        {"<Channel>11</Channel>", "11"},
        {"<Channel>abc</Channel>", "-1"},
        {"<Channel>-1</Channel>", "-1"},
        {"<Channel>+7</Channel>", "7"},
        {"<Channel></Channel>", "-1"},
        {"<Channel>99999999999</Channel>", "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Extra);
        ASSERT_EQ(Exchange(WriteRequest("5", c.Extra)), MemberAnswer("200", "写卡成功", "5"));
        EXPECT_NE(CardFile().find(std::string("\nChannel=") + c.Channel + "\n"), std::string::npos)
            << CardFile();
    }
}

TEST_F(MemberInterface, WriteFailureKeepsTheRequestCardNumber) {
    WriteFile(Dir.File("member-result"), "0\n");
    EXPECT_EQ(Exchange(WriteRequest("123")), MemberAnswer("500", "写卡失败", "123"));
    EXPECT_NE(LogText().find("写卡失败,卡号为:123\r\n"), std::string::npos);
    EXPECT_EQ(CardFile(), "");
}

TEST_F(MemberInterface, ReadSuccessAnswersEveryFieldWithPasswordLast) {
    WriteFile(Dir.File("member-card.txt"), ReadCardFile);
    const std::string answer = Exchange(ReadRequest("0"));
    EXPECT_EQ(answer, FullReadAnswer());
    // The guest name travels as its own UTF-8 bytes.
    EXPECT_NE(answer.find("<GuestName>\xE5\xBC\xA0\xE4\xB8\x89\xE4\xB8\xB0</GuestName>"),
              std::string::npos);
    const std::string log = LogText();
    const size_t cardLine = log.find("CardNo1:8001\r\n");
    ASSERT_NE(cardLine, std::string::npos);
    EXPECT_NE(log.find("读卡成功，卡号为：8001\r\n", cardLine), std::string::npos);
}

TEST_F(MemberInterface, ReadFailureAnswersNothingButTheResult) {
    // No card file at all, then a card the device refuses to read.
    EXPECT_EQ(Exchange(ReadRequest("0")), MemberAnswer("500", "读卡失败", ""));
    WriteFile(Dir.File("member-card.txt"), ReadCardFile);
    WriteFile(Dir.File("member-result"), "0");
    EXPECT_EQ(Exchange(ReadRequest("1")), MemberAnswer("500", "读卡失败", ""));
    EXPECT_NE(LogText().find("CardNo1:\r\n"), std::string::npos);
    EXPECT_NE(LogText().find("读卡失败\r\n"), std::string::npos);
    // Any other content of the result file lets the device work again.
    WriteFile(Dir.File("member-result"), "1");
    EXPECT_EQ(Exchange(ReadRequest("0")), FullReadAnswer());
}

TEST_F(MemberInterface, WithoutDeviceEveryCardOperationFails) {
    MemberCard = nullptr;
    EXPECT_EQ(Exchange(WriteRequest("123")), MemberAnswer("500", "写卡失败", "123"));
    EXPECT_EQ(Exchange(ReadRequest("1", "<Channel>11</Channel>")),
              MemberAnswer("500", "读卡失败", ""));
    const std::string log = LogText();
    EXPECT_NE(log.find("写卡失败,卡号为:123\r\n"), std::string::npos);
    EXPECT_NE(log.find("CardNo1:\r\n"), std::string::npos);
}

TEST_F(MemberInterface, ReadFlagAndChannelReachTheDevice) {
    TRecordingMember recorder;
    recorder.CardNoOut = "77";
    MemberCard = &recorder;
    const struct {
        const char* Flag;
        const char* Extra;
        bool ExpectedFlag;
        int ExpectedChannel;
    } cases[] = {
        {"1", "", true, -1},   {"0", "", false, -1},         {"2", "", false, -1},
        {"-1", "", false, -1}, {"1", "<C>11</C>", true, 11}, {"0", "<C>abc</C>", false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Flag) + c.Extra);
        recorder.Calls.clear();
        EXPECT_EQ(Exchange(ReadRequest(c.Flag, c.Extra)), MemberAnswer("200", "读卡成功", "77"));
        ASSERT_EQ(recorder.Calls.size(), 1u);
        EXPECT_EQ(recorder.Calls[0].Flag, c.ExpectedFlag);
        EXPECT_EQ(recorder.Calls[0].Channel, c.ExpectedChannel);
    }
}

TEST_F(MemberInterface, NullOutputsReadAsEmpty) {
    TRecordingMember recorder;
    MemberCard = &recorder;
    EXPECT_EQ(Exchange(ReadRequest("0")), MemberAnswer("200", "读卡成功", ""));
    // A failed read logs the number the device set but does not answer it.
    recorder.CardNoOut = "55";
    recorder.PasswordOut = "secret";
    recorder.Result = false;
    EXPECT_EQ(Exchange(ReadRequest("0")), MemberAnswer("500", "读卡失败", ""));
    EXPECT_NE(LogText().find("CardNo1:55\r\n"), std::string::npos);
}

TEST_F(MemberInterface, RequestsWithoutAnAnswer) {
    TRecordingMember recorder;
    MemberCard = &recorder;
    const char* const requests[] = {
        "<Request type=\"readmembercard\"><A/><Flag>1</Flag></Request>",
        "<Request type=\"ReadCard\"><A/><Flag>1</Flag></Request>",
        "<Request><A/><Flag>1</Flag></Request>",
        "<Request type=\"ReadMemberCard\"><A/><Flag></Flag></Request>",
        "<Request type=\"ReadMemberCard\"><A/><Flag>yes</Flag></Request>",
        "<Request type=\"ReadMemberCard\"><A/></Request>",
        "<Request type=\"WriteMemberCard\"><A/><CardNo>1</CardNo><B/><C/></Request>",
        "not xml",
        "",
    };
    for (const char* request : requests) {
        SCOPED_TRACE(request);
        TLoopbackClient client(Listener->Port());
        client.Send(std::string(request) + '\0');
        bool closed = false;
        EXPECT_EQ(client.ReadAll(std::chrono::seconds(10), &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_TRUE(recorder.Calls.empty());
    // Only the received lines stand in the log.
    const std::string log = LogText();
    EXPECT_EQ(log.find("CardNo1:"), std::string::npos);
    EXPECT_EQ(log.find("卡号为"), std::string::npos);
    EXPECT_NE(log.find("收到消息: \r\nnot xml\r\n"), std::string::npos);
}

TEST_F(MemberInterface, TypeIsTrimmedOfBlanksAndControlCharacters) {
    WriteFile(Dir.File("member-card.txt"), ReadCardFile);
    EXPECT_EQ(Exchange("<R type=\" ReadMemberCard \"><A/><F>0</F></R>"), FullReadAnswer());
    EXPECT_EQ(Exchange("<R type=\"&#9;WriteMemberCard&#10;\"><A/><N>9</N><B/><C/><D/></R>"),
              MemberAnswer("200", "写卡成功", "9"));
}

TEST_F(MemberInterface, ValuesAreEscapedInTheAnswer) {
    // The request carries the characters as references; the answer must stay well-formed XML.
    EXPECT_EQ(Exchange(WriteRequest("A&amp;B&lt;C&gt;")),
              MemberAnswer("200", "写卡成功", "A&amp;B&lt;C&gt;"));
    EXPECT_NE(CardFile().find("CardNo=A&B<C>\n"), std::string::npos);
    WriteFile(Dir.File("member-card.txt"), "CardNo=1<2\nGuestName=Smith & Sons\n");
    EXPECT_EQ(Exchange(ReadRequest("0")),
              MemberAnswer("200", "读卡成功", "1&lt;2", "", "Smith &amp; Sons"));
}
