// The halvane program as an operator or a service manager runs it: a process with its own
// program folder, serving on loopback, stopped by a signal.

#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <regex>

using namespace std::chrono_literals;

namespace {

bool WaitUntilAccepting(uint16_t port, TChildProcess& process) {
    for (int i = 0; i < 500; ++i) {
        try {
            TLoopbackClient probe(port);
            return true;
        } catch (const std::runtime_error&) {
            if (process.Wait(20ms) != -1)
                return false;
        }
    }
    return false;
}

std::string LogText(const TTempDir& home) {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(home.Path()))
        if (entry.path().extension() == ".LOG")
            text += ReadFile(entry.path().string());
    return text;
}

class Program : public testing::Test {
protected:
    std::unique_ptr<TChildProcess> Start(std::vector<std::string> args) {
        args.insert(args.begin(), "--headless");
        return std::make_unique<TChildProcess>(
            HALVANE_BIN, args,
            std::map<std::string, std::string>{{"HALVANE_HOME", Home.Path().string()},
                                               {"TARNEL_SIM_DIR", Home.Path().string()}});
    }
    // Starts on a free port written to Option.ini in `form` (e.g. "0x%X").
    std::unique_ptr<TChildProcess> StartOnFreePort(const char* key = "DoorlockPortNo",
                                                   const char* form = "%u",
                                                   std::vector<std::string> args = {}) {
        Port = FreePort();
        char value[32];
        std::snprintf(value, sizeof value, form, Port);
        WriteFile(Home.File("Option.ini"),
                  std::string("[SysOption]\r\n") + key + "=" + value + "\r\n");
        auto process = Start(std::move(args));
        EXPECT_TRUE(WaitUntilAccepting(Port, *process)) << process->Output();
        return process;
    }

    TTempDir Home;
    uint16_t Port = 0;
};

} // namespace

TEST_F(Program, ServesOnTheHexPortFromOptionIniAndStopsOnSigterm) {
    auto process = StartOnFreePort("doorlockportno", "0x%X");
    const std::string iniBefore = ReadFile(Home.File("Option.ini"));

    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_EQ(process->Output(), "门锁接口监听服务器已经启动...\n接口监听服务器已经停止。\n");
    EXPECT_EQ(ReadFile(Home.File("Option.ini")), iniBefore); // settings are never written back
    EXPECT_THROW(TLoopbackClient client(Port), std::runtime_error);
}

TEST_F(Program, DollarHexPortAndSigintStopTheSameWay) {
    auto process = StartOnFreePort("DoorlockPortNo", "$%x");
    process->Signal(SIGINT);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_NE(process->Output().find("接口监听服务器已经停止。"), std::string::npos);
}

TEST_F(Program, WithoutOptionIniServesOnPort8886AndCreatesNoSettingsFile) {
    auto process = Start({});
    ASSERT_TRUE(WaitUntilAccepting(8886, *process)) << process->Output();
    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(Home.File("Option.ini")));
    // The log is named after the start day and lives in the program folder.
    const auto now = std::chrono::system_clock::now();
    const time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    char name[16];
    std::strftime(name, sizeof name, "%Y%m%d.LOG", &local);
    EXPECT_TRUE(std::filesystem::exists(Home.File(name)) ||
                !LogText(Home).empty()); // a start just before midnight names the day before
}

TEST_F(Program, PortInUseEndsHeadlessRunWithAnError) {
    const uint16_t port = FreePort();
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    WriteFile(Home.File("Option.ini"),
              "[SysOption]\nDoorlockPortNo=" + std::to_string(port) + "\n");

    auto process = Start({});
    EXPECT_EQ(process->Wait(), 1);
    EXPECT_NE(process->Output().find("门锁接口监听服务器已经启动..."), std::string::npos);
    EXPECT_NE(process->Output().find("Address already in use"), std::string::npos);
    ::close(blocker);
}

TEST_F(Program, CommandLine) {
    struct {
        std::vector<std::string> Args;
        int Status;
        const char* Output;
    } cases[] = {
        {{"--help"}, 0, "Usage: halvane"},
        {{"--version"}, 0, "halvane 1.0.0.0"},
        {{"--mode", "bogus"}, 2, "--mode takes doorlock, police or member"},
        {{"--home"}, 2, "--home needs a folder"},
        {{"--frobnicate"}, 2, "unknown argument '--frobnicate'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.front());
        TChildProcess process(HALVANE_BIN, c.Args);
        EXPECT_EQ(process.Wait(), c.Status);
        EXPECT_NE(process.Output().find(c.Output), std::string::npos) << process.Output();
    }
}

TEST_F(Program, HomeOptionWinsOverTheEnvironment) {
    TTempDir other;
    Port = FreePort();
    WriteFile(other.File("Option.ini"),
              "[SysOption]\nDoorlockPortNo=" + std::to_string(Port) + "\n");
    auto process = Start({"--home", other.Path().string()});
    ASSERT_TRUE(WaitUntilAccepting(Port, *process)) << process->Output();
    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_FALSE(LogText(other).empty());
    EXPECT_TRUE(LogText(Home).empty());
}

TEST_F(Program, DoorlockCardIssuedThroughTheProgramReadsBackWithTheSameNumber) {
    auto process = StartOnFreePort();
    const std::string issue =
        std::string(
            "<Request type=\"IssueCard\"><RequestID>7</RequestID><RegisterId>R1</RegisterId>"
            "<Building>1</Building><Floor>12</Floor><Room>5</Room><Guest>张三</Guest>"
            "<InDate>2008-05-06</InDate><InTime>14:35:00</InTime>"
            "<OutDate>2008-05-08</OutDate><OutTime>12:00:00</OutTime><Copy>0</Copy>"
            "</Request>") +
        '\0';
    const std::string issued = TLoopbackClient::Exchange(Port, issue);
    EXPECT_EQ(issued, std::string("<DoorResponse><RequestID></RequestID><ResultCode>200"
                                  "</ResultCode><ResultMessage>发卡成功</ResultMessage><CardNo>"
                                  "20080506141125</CardNo></DoorResponse>") +
                          '\0');
    const std::string read =
        TLoopbackClient::Exchange(Port, std::string("<x type=\"ReadCard\"/>") + '\0');
    EXPECT_NE(read.find("<CardNo>20080506141125</CardNo>"), std::string::npos) << read;
    const std::string erased =
        TLoopbackClient::Exchange(Port, std::string("<x type=\" EraseCard \"/>") + '\0');
    EXPECT_NE(erased.find("<ResultMessage>注销卡成功 </ResultMessage>"), std::string::npos);

    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    const std::string log = LogText(Home);
    EXPECT_NE(log.find("系统初始化成功\r\n"), std::string::npos);
    EXPECT_NE(log.find("发卡成功,卡号为:20080506141125\r\n"), std::string::npos);
    EXPECT_NE(log.find("注销卡成功\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Home.File("Client.db")));
}

TEST_F(Program, EncoderThatCannotOpenIsOnlyLogged) {
    WriteFile(Home.File("tarnel-result"), "-6");
    auto process = StartOnFreePort();
    const std::string answer =
        TLoopbackClient::Exchange(Port, std::string("<x type=\"ReadCard\"/>") + '\0');
    EXPECT_NE(answer.find("<ResultCode>500</ResultCode><ResultMessage>读卡失败</ResultMessage>"),
              std::string::npos);
    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_NE(LogText(Home).find("端口初始化失败: 串口未打开！\r\n"), std::string::npos);
}

TEST_F(Program, PoliceModeServesTheSimulatedGuestOnItsPort) {
    WriteFile(Home.File("police-guest.txt"),
              "RoomNo=0101\nEnterTime=2008-05-06 14:35:00\nIdCardNo=110\nName=李四\n"
              "Nationality=CHN\nGenderID=1\nCountryCode=86\nProvinceCode=11\nAddress=北京 & 天津\n"
              "Birthday=1980-01-01\n");
    auto process = StartOnFreePort("PolicePortNo", "%u", {"--mode", "police"});
    const std::string answer = TLoopbackClient::Exchange(Port, std::string("anything") + '\0');
    EXPECT_EQ(answer,
              std::string("<PoliceResponse><Guest><RoomNo>0101</RoomNo><EnterTime>2008-05-06 "
                          "14:35:00</EnterTime><IdCardTypeID>11</IdCardTypeID><IdCardNo>110"
                          "</IdCardNo><Name>李四</Name><Nationality>CHN</Nationality><GenderID>1"
                          "</GenderID><SalutationID>2</SalutationID><CountryCode>86</CountryCode>"
                          "<ProvinceCode>11</ProvinceCode><Address>北京 &amp; 天津</Address>"
                          "<Birthday>1980-01-01</Birthday></Guest></PoliceResponse>") +
                  '\0');
    std::filesystem::remove(Home.File("police-guest.txt"));
    EXPECT_EQ(TLoopbackClient::Exchange(Port, std::string(1, '\0')),
              std::string("<PoliceResponse></PoliceResponse>") + '\0');
    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_EQ(process->Output(), "公安接口监听服务器已经启动...\n接口监听服务器已经停止。\n");
}

TEST_F(Program, MemberModeReadsAndWritesTheSimulatedCard) {
    WriteFile(Home.File("member-card.txt"),
              "CardNo=8001\nPassword=pw9\nExpireDate=2027-12-31\nGuestName=王五\nScore=120\n");
    auto process = StartOnFreePort("MemberPortNo", "%u", {"--mode", "member"});
    const std::string read = TLoopbackClient::Exchange(
        Port,
        std::string("<Request type=\"ReadMemberCard\"><RegisterID/><Flag>0</Flag></Request>") +
            '\0');
    EXPECT_NE(read.find("<ResultCode>200</ResultCode>"), std::string::npos) << read;
    EXPECT_NE(read.find("<GuestName>王五</GuestName>"), std::string::npos) << read;
    process->Signal(SIGTERM);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_EQ(process->Output(), "会员卡接口监听服务器已经启动...\n接口监听服务器已经停止。\n");
}

TEST_F(Program, WindowedProgramClosesOnSigtermWithoutThePasswordPrompt) {
    Port = FreePort();
    WriteFile(Home.File("Option.ini"),
              "[SysOption]\nDoorlockPortNo=" + std::to_string(Port) + "\n");
    TChildProcess process(HALVANE_BIN, {},
                          {{"HALVANE_HOME", Home.Path().string()},
                           {"TARNEL_SIM_DIR", Home.Path().string()},
                           {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_TRUE(WaitUntilAccepting(Port, process)) << process.Output();
    EXPECT_NE(TLoopbackClient::Exchange(Port, std::string("<x type=\"ReadCard\"/>") + '\0')
                  .find("<ResultMessage>读卡失败</ResultMessage>"),
              std::string::npos); // the stand-in's card is blank
    process.Signal(SIGTERM);
    EXPECT_EQ(process.Wait(), 0) << process.Output();
    EXPECT_THROW(TLoopbackClient client(Port), std::runtime_error);
}
