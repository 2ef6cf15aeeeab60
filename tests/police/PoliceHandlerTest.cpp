#include "police/BasePoliceUnit.h"
#include "police/PoliceMessageHandlerUnit.h"
#include "police/SimulatedPoliceUnit.h"
#include "shell/LogFileUnit.h"
#include "support/LoopbackClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

// The police interface as a PMS client meets it: the real listener on a free loopback port, the
// police handler and the simulated device on a temp folder.
class PoliceInterface : public testing::Test {
protected:
    void SetUp() override {
        Log = std::make_unique<TLogFile>(Dir.File("test.LOG"));
        LogFile = Log.get();
        Device = std::make_unique<TSimulatedPolice>(Dir.Path().string());
        Police = Device.get();
        Listener = std::make_unique<TRequestListener>(
            [] { return std::make_unique<TPoliceMessageHandler>(); });
        Listener->Start(0);
    }
    void TearDown() override {
        Listener.reset();
        Police = nullptr;
        LogFile = nullptr;
    }

    std::string Exchange(const std::string& request) {
        return TLoopbackClient::Exchange(Listener->Port(), request + '\0');
    }
    std::string LogText() const { return ReadFile(Dir.File("test.LOG")); }
    void WriteGuest(const std::string& text) { WriteFile(Dir.File("police-guest.txt"), text); }

    TTempDir Dir;
    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TSimulatedPolice> Device;
    std::unique_ptr<TRequestListener> Listener;
};

const std::string NoGuestReply = std::string("<PoliceResponse></PoliceResponse>\0", 34);

const char* const GuestFile = "RoomNo=0808\n"
                              "EnterTime=2026-05-01 14:30:00\n"
                              "IdCardTypeID=99\n"
                              "IdCardNo=110101199001011234\n"
                              "Name=王小明\n"
                              "Nationality=CHN\n"
                              "GenderID=1\n"
                              "SalutationID=7\n"
                              "CountryCode=156\n"
                              "ProvinceCode=11\n"
                              "Address=北京市东城区\n"
                              "Birthday=1990-01-01\n";

// The record's own IdCardTypeID and SalutationID never show; "11" and GenderID + 1 do.
const std::string GuestText =
    "<Guest><RoomNo>0808</RoomNo><EnterTime>2026-05-01 14:30:00</EnterTime>"
    "<IdCardTypeID>11</IdCardTypeID><IdCardNo>110101199001011234</IdCardNo>"
    "<Name>王小明</Name><Nationality>CHN</Nationality><GenderID>1</GenderID>"
    "<SalutationID>2</SalutationID><CountryCode>156</CountryCode>"
    "<ProvinceCode>11</ProvinceCode><Address>北京市东城区</Address>"
    "<Birthday>1990-01-01</Birthday></Guest>";

} // namespace

TEST_F(PoliceInterface, AnyRequestGetsTheCurrentGuest) {
    WriteGuest(GuestFile);
    const std::string expected = "<PoliceResponse>" + GuestText + "</PoliceResponse>" + '\0';
    for (const char* request : {"<Request type=\"GetGuest\"/>", "", "not xml at all"}) {
        SCOPED_TRACE(request);
        EXPECT_EQ(Exchange(request), expected);
    }
    // The name arrives as its UTF-8 bytes.
    EXPECT_NE(expected.find("<Name>\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E</Name>"),
              std::string::npos);
    const std::string log = LogText();
    const size_t received = log.find("收到消息: \r\nnot xml at all\r\n");
    ASSERT_NE(received, std::string::npos);
    EXPECT_NE(
        log.find("返回结果: \r\n<PoliceResponse>" + GuestText + "</PoliceResponse>\r\n", received),
        std::string::npos);
}

TEST_F(PoliceInterface, WithoutAGuestTheReplyIsEmpty) {
    EXPECT_EQ(Exchange("<Request/>"), NoGuestReply);
    EXPECT_NE(LogText().find("返回结果: \r\n<PoliceResponse></PoliceResponse>\r\n"),
              std::string::npos);
    // No device installed at all answers the same.
    WriteGuest(GuestFile);
    Police = nullptr;
    EXPECT_EQ(Exchange("<Request/>"), NoGuestReply);
}

TEST_F(PoliceInterface, SalutationFollowsGender) {
    const struct {
        const char* GenderID;
        const char* Salutation;
    } cases[] = {{"1", "2"}, {"0", "1"}, {"-1", "0"}, {"+4", "5"}, {"2147483647", "2147483648"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.GenderID);
        WriteGuest(std::string("GenderID=") + c.GenderID + "\n");
        EXPECT_NE(Exchange("").find(std::string("<GenderID>") + c.GenderID +
                                    "</GenderID><SalutationID>" + c.Salutation + "</SalutationID>"),
                  std::string::npos);
    }
}

TEST_F(PoliceInterface, GenderThatIsNoIntegerGetsNoAnswer) {
    for (const char* gender : {"", "abc", "1.5", " 1", "+-1", "99999999999"}) {
        SCOPED_TRACE(gender);
        WriteGuest(std::string("RoomNo=1\nGenderID=") + gender + "\n");
        TLoopbackClient client(Listener->Port());
        client.Send(std::string("<Request/>") + '\0');
        bool closed = false;
        EXPECT_EQ(client.ReadAll(std::chrono::seconds(10), &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_EQ(LogText().find("返回结果"), std::string::npos);
}

TEST_F(PoliceInterface, ValuesAreEscaped) {
    WriteGuest("GenderID=0\nName=A&B\nAddress=Room <5> & more\n");
    const std::string reply = Exchange("");
    EXPECT_NE(reply.find("<Name>A&amp;B</Name>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<Address>Room &lt;5&gt; &amp; more</Address>"), std::string::npos);
}

TEST(GuestToXml, FieldsTheFileLeavesOutAreEmptyElements) {
    TGuest guest;
    guest.GenderID = "0";
    EXPECT_EQ(GuestToXml(guest),
              "<Guest><RoomNo></RoomNo><EnterTime></EnterTime><IdCardTypeID>11</IdCardTypeID>"
              "<IdCardNo></IdCardNo><Name></Name><Nationality></Nationality>"
              "<GenderID>0</GenderID><SalutationID>1</SalutationID><CountryCode></CountryCode>"
              "<ProvinceCode></ProvinceCode><Address></Address><Birthday></Birthday></Guest>");
}

TEST(GuestToXml, OnlyTheThreeMarkupCharactersAreReplaced) {
    TGuest guest;
    guest.GenderID = "1";
    guest.Name = "\"O'Neil\"\t\x01";
    guest.Address = "<a&b>";
    const std::string text = GuestToXml(guest);
    EXPECT_NE(text.find("<Name>\"O'Neil\"\t\x01</Name>"), std::string::npos) << text;
    EXPECT_NE(text.find("<Address>&lt;a&amp;b&gt;</Address>"), std::string::npos) << text;
}

TEST(GuestToXml, GenderThatIsNoIntegerNamesItselfInTheError) {
    TGuest guest;
    guest.GenderID = "male";
    try {
        GuestToXml(guest);
        FAIL() << "no error";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "'male' is not a valid integer value");
    }
}

TEST(SimulatedPolice, ReadsAWindowsEditedFileAgainAtEveryCall) {
    TTempDir dir;
    TSimulatedPolice device(dir.Path().string());
    EXPECT_FALSE(device.GetGuest().has_value());
    WriteFile(dir.File("police-guest.txt"),
              "\xEF\xBB\xBFRoomNo=0101\r\nName=a=b\r\nUnknown=x\r\nno equals sign\r\n");
    std::optional<TGuest> guest = device.GetGuest();
    ASSERT_TRUE(guest.has_value());
    EXPECT_EQ(guest->RoomNo, "0101");
    EXPECT_EQ(guest->Name, "a=b");
    EXPECT_EQ(guest->GenderID, "");
    WriteFile(dir.File("police-guest.txt"), "RoomNo=0202\n");
    guest = device.GetGuest();
    ASSERT_TRUE(guest.has_value());
    EXPECT_EQ(guest->RoomNo, "0202");
    EXPECT_EQ(guest->Name, "");
}
