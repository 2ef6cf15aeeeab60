// Port handling and the S-frame link, through a scripted device on a pseudo-terminal.
#include "ostrel.h"
#include "test_support.h"

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

using namespace ostrel_test;

namespace {

class Link : public ::testing::Test {
protected:
    void SetUp() override { AT88RF256_12_CloseCommPort(); }
    void TearDown() override { AT88RF256_12_CloseCommPort(); }
};

int16_t beep() {
    return AT88RF256_12_Beep(0x01);
}

// ---- Port handling ----

struct OpenCase {
    const char* name;
    std::function<int16_t()> open;
    int16_t expected;
    int16_t beepAfter; // -6 when nothing may have been opened
};

TEST_F(Link, OpenArgumentsAndDevices) {
    const OpenCase cases[] = {
        {"RF port 0", [] { return AT88RF256_12_OpenCommPort(0); }, -8, -6},
        {"RF port 5", [] { return AT88RF256_12_OpenCommPort(5); }, -8, -6},
        {"RF port -1", [] { return AT88RF256_12_OpenCommPort(-1); }, -8, -6},
        {"MG port 0", [] { return MG_OpenCommPort(0); }, -8, -6},
        {"ZT2330 port 5", [] { return MG_ZT2330_OpenCommPort(5); }, -8, -6},
        {"index 4", [] { return InitCommDev(4); }, 0, -6},
        {"index 255", [] { return InitCommDev(255); }, 0, -6},
        {"missing device",
         [] {
             ::setenv("OSTREL_COM3", "/nonexistent/ttyOSTREL", 1);
             return AT88RF256_12_OpenCommPort(3);
         },
         -11, -6},
        {"missing device by index",
         [] {
             ::setenv("OSTREL_COM3", "/nonexistent/ttyOSTREL", 1);
             return InitCommDev(2);
         },
         0, -6},
        // Opened but no serial line: held until closed, and exchanges fail on it.
        {"not a terminal",
         [] {
             ::setenv("OSTREL_COM3", "/dev/null", 1);
             return MG_OpenCommPort(3);
         },
         -11, -12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AT88RF256_12_CloseCommPort();
        EXPECT_EQ(c.open(), c.expected);
        EXPECT_EQ(beep(), c.beepAfter);
    }
}

TEST_F(Link, EveryDeviceCallNeedsAnOpenPort) {
    PtyDevice device;
    uint8_t area[2049] = {};
    uint8_t type = 0;
    const std::pair<const char*, std::function<int16_t()>> calls[] = {
        {"Beep", [] { return beep(); }},
        {"ReadPage", [&] { return AT88RF256_12_ReadPage(area, 1); }},
        {"WriteData", [&] { return AT88RF256_12_WriteData(area, 0, 8); }},
        {"ReadDataCard", [&] { return AT88RF256_12_ReadDataCard(area); }},
        {"TI0036_Read", [&] { return TI0036_Read(area, &type); }},
        {"TI0034_ReadRom", [&] { return TI0034_ReadRom(area, 3); }},
        {"Command57", [&] { return Command57(0, 0, 0, 0, 3, 1, area); }},
        {"MG_CardRead", [&] { return MG_CardRead(area, 0); }},
        {"MG_CardWrite", [&] { return MG_CardWrite(area, 4); }},
        {"MG_ZT2330_CardRead", [&] { return MG_ZT2330_CardRead(area, 0); }},
        {"MG_ZT2330_CardWrite", [&] { return MG_ZT2330_CardWrite(area, 4); }},
    };
    auto expectAllRefused = [&](const char* when) {
        for (const auto& [name, call] : calls) {
            SCOPED_TRACE(std::string(when) + ": " + name);
            EXPECT_EQ(call(), -6);
        }
    };
    expectAllRefused("before open");
    ASSERT_EQ(AT88RF256_12_OpenCommPort(1), 1);
    EXPECT_EQ(AT88RF256_12_CloseCommPort(), 1);
    EXPECT_EQ(AT88RF256_12_CloseCommPort(), 1);
    EXPECT_EQ(MG_CloseCommPort(), 1);
    EXPECT_EQ(MG_ZT2330_CloseCommPort(), 1);
    EXPECT_EQ(CloseCommDev(7), 0);
    expectAllRefused("after close");
    EXPECT_TRUE(device.received().empty());
}

TEST_F(Link, PortHeldByAnotherProgramIsRefused) {
    PtyDevice device;
    int holder = ::open(device.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(AT88RF256_12_OpenCommPort(1), -11);
    EXPECT_EQ(beep(), -6);
    ::close(holder);
    EXPECT_EQ(AT88RF256_12_OpenCommPort(1), 1);
}

TEST_F(Link, OpeningAgainReleasesTheEarlierPort) {
    PtyDevice first(1);
    PtyDevice second(2);
    ASSERT_EQ(AT88RF256_12_OpenCommPort(1), 1);
    ASSERT_EQ(MG_OpenCommPort(2), 1);
    int probe = ::open(first.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(probe, 0);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0) << "port 1 still held";
    ::close(probe);
    // The exchange now goes to port 2 only.
    second.answer(sFrame({0x01}));
    EXPECT_EQ(beep(), 1);
    EXPECT_TRUE(first.received().empty());
    EXPECT_EQ(second.requests().size(), 1u);
}

struct LineCase {
    const char* name;
    std::function<int16_t()> open;
    speed_t speed;
    tcflag_t size;
    bool parity;
    bool twoStopBits;
};

TEST_F(Link, EachFamilyGetsItsLineSettingsOnARawLine) {
    const LineCase cases[] = {
        {"RF", [] { return AT88RF256_12_OpenCommPort(1); }, B2400, CS8, false, false},
        {"RF by index", [] { return static_cast<int16_t>(InitCommDev(0) + 1); }, B2400, CS8, false,
         false},
        {"encoder", [] { return MG_OpenCommPort(1); }, B9600, CS8, false, false},
        {"ZT2330", [] { return MG_ZT2330_OpenCommPort(1); }, B9600, CS7, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        int fd = ::open(device.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        // Start from a cooked line so that every raw flag has to be switched off.
        termios cooked{};
        ASSERT_EQ(::tcgetattr(fd, &cooked), 0);
        cooked.c_iflag |= IXON | IXOFF | ICRNL | INLCR;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_lflag |= ECHO | ICANON | ISIG;
        ASSERT_EQ(::tcsetattr(fd, TCSANOW, &cooked), 0);

        ASSERT_EQ(c.open(), 1);
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        ::close(fd);
        EXPECT_EQ(::cfgetospeed(&t), c.speed);
        EXPECT_EQ(::cfgetispeed(&t), c.speed);
        // A pseudo-terminal forces 8 data bits without parity whatever it is asked for, so
        // the data bits and parity of the 7E2 line cannot be seen here.
        if (c.size == CS8) {
            EXPECT_EQ(t.c_cflag & CSIZE, c.size);
            EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parity);
        }
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
        AT88RF256_12_CloseCommPort();
    }
}

// ---- S frames ----

class SFrame : public Link {
protected:
    void SetUp() override {
        Link::SetUp();
        ASSERT_EQ(AT88RF256_12_OpenCommPort(1), 1);
    }
    PtyDevice device;
};

struct ReplyCase {
    const char* name;
    Answer reply;
    int16_t expected;
    int expectedByte; // eeReadByte's output, -1 when it must stay untouched
};

TEST_F(SFrame, RepliesToAByteRead) {
    const ReplyCase cases[] = {
        {"plain", {{sFrame({0x01, 0xAB})}}, 1, 0xAB},
        {"garbage before S", {{concat({bytes({0x00, 0xFF}), sFrame({0x01, 0xAB})})}}, 1, 0xAB},
        {"longer reply than needed", {{sFrame({0x01, 0xAB, 0x11, 0x22})}}, 1, 0xAB},
        {"paced at 2400 baud", {{sFrame({0x01, 0x5A}), 25, byteTimeUs(2400)}}, 1, 0x5A},
        {"in two bursts", {{bytes({0x53, 0x02}), 25}, {bytes({0x01, 0x7E, 0x7F}), 150}}, 1, 0x7E},
        {"sum off by one", {{bytes({0x53, 0x02, 0x01, 0xAB, 0xAD})}}, -12, -1},
        {"status 0", {{sFrame({0x00, 0xAB})}}, 0, -1},
        {"status 0x80", {{sFrame({0x80, 0xAB})}}, 0, -1},
        {"status 2", {{sFrame({0x02, 0xAB})}}, -2, -1},
        {"status 0x85", {{sFrame({0x85})}}, -5, -1},
        {"status 0xFF", {{sFrame({0xFF})}}, -127, -1},
        {"LEN 0", {{bytes({0x53, 0x00, 0x00})}}, -12, -1},
        {"LEN 59 fits", {{sFrame(concat({bytes({0x01, 0x42}), Bytes(57, 0x33)}))}}, 1, 0x42},
        {"LEN 60 too long", {{sFrame(concat({bytes({0x01, 0x42}), Bytes(58, 0x33)}))}}, -12, -1},
        {"status without the field", {{sFrame({0x01})}}, -12, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.answer(c.reply);
        uint8_t out = 0xEE;
        EXPECT_EQ(eeReadByte(0x01, 0x02, &out), c.expected);
        EXPECT_EQ(out, c.expectedByte < 0 ? 0xEE : c.expectedByte);
        // Let a refused reply's remaining bytes arrive; the next request purges them.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    for (const Bytes& request : device.requests())
        EXPECT_EQ(hex(request), "53 03 15 01 02 18");
    EXPECT_EQ(device.requests().size(), std::size(cases));
}

TEST_F(SFrame, ReplyBytesPassTheLineUntouched) {
    // XON, XOFF, CR, LF, DEL and a byte with the top bit set.
    device.answer(sFrame({0x01, 0x11, 0x13, 0x0D, 0x0A}));
    device.answer(sFrame({0x01, 0x11, 0x13, 0x0D, 0x0A}));
    uint8_t out[4] = {};
    EXPECT_EQ(AT88RF256_12_ReadPage(out, 0), 1);
    EXPECT_EQ(hex(area(out, 4)), "11 13 0D 0A");
    device.answer(sFrame({0x01, 0x7F, 0x80, 0xFF, 0x00, 0x11}));
    EXPECT_EQ(EM4100_ReadRom(out), 1);
    EXPECT_EQ(hex(area(out, 4)), "7F 80 FF 00");
}

TEST_F(SFrame, OneBytePayloadAndReaderCommands) {
    device.answerAlways([](const Bytes&) { return Answer{{sFrame({0x01})}}; });
    EXPECT_EQ(AT88RF256_12_PowerOn(), 1);
    EXPECT_EQ(AT88RF256_12_PowerOff(), 1);
    EXPECT_EQ(AT88RF256_12_Beep(0x9C), 1);
    auto r = device.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(hex(r[0]), "53 01 0C 0C");
    EXPECT_EQ(hex(r[1]), "53 01 0D 0D");
    EXPECT_EQ(hex(r[2]), "53 02 0B 9C A7");
}

TEST_F(SFrame, BytesReceivedBeforeTheRequestAreDiscarded) {
    // A whole valid reply that arrived unasked must not be taken for the answer.
    device.inject(sFrame({0x01, 0x11}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    device.silence();
    EXPECT_EQ(beep(), -2);
}

TEST_F(SFrame, SilenceAndStalledRepliesTimeOut) {
    struct Case {
        const char* name;
        std::function<int16_t()> call;
        Answer reply;
        int16_t expected;
        long long minMs, maxMs;
    };
    uint8_t out[4] = {};
    const Case cases[] = {
        // The first byte is awaited 1000 ms whatever the command's own time-out.
        {"silence, 1 s command", [] { return beep(); }, {}, -2, 900, 2500},
        {"silence, 3 s command", [&] { return EM4100_ReadRom(out); }, {}, -2, 900, 2500},
        // After the first byte each byte may take the command's time-out, then -12.
        {"stalled after S", [] { return beep(); }, {{bytes({0x53})}}, -12, 900, 2500},
        {"only garbage", [] { return beep(); }, {{bytes({0x00, 0x01})}}, -12, 900, 2500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.answer(c.reply);
        int16_t result = 0;
        long long ms = elapsedMs([&] { result = c.call(); });
        EXPECT_EQ(result, c.expected);
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
    }
}

TEST_F(SFrame, HungUpLineFailsTheTransmission) {
    device.hangUp();
    EXPECT_EQ(beep(), -12);
}

} // namespace
