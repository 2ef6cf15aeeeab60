// The magnetic-card encoder and the ZT2330: command sequences, handshakes, the closing
// "C30", the ZT2330's EOT and cancel.
#include "ostrel.h"
#include "test_support.h"

#include <map>
#include <memory>
#include <string>

using namespace ostrel_test;

namespace {

const Bytes kAck = {0x06, 0x0D};
const Bytes kNak = {0x15, 0x0D};

Bytes polled(std::string_view answerText) {
    return concat({bytes({0x02, 'P'}), text(answerText), bytes({0x0D})});
}

// Plays the encoder: every framed command is acknowledged (or gets its scripted
// acknowledgement), and the ENQ poll that follows gets the command's scripted answer.
class Encoder {
public:
    explicit Encoder(PtyDevice& device) {
        device.answerAlways([this](const Bytes& request) -> Answer {
            if (request[0] == 0x05) {
                auto it = polls.find(last_);
                return {{it != polls.end() ? it->second : polled("0000000")}};
            }
            last_ = std::string(request.begin() + 1, request.end() - 3);
            auto it = acks.find(last_);
            return {{it != acks.end() ? it->second : kAck}};
        });
    }
    std::map<std::string, Bytes> acks;
    std::map<std::string, Bytes> polls;

private:
    std::string last_;
};

// The framed commands sent, as text; ENQ polls appear as "?", anything else as hex.
std::vector<std::string> commandsOf(const PtyDevice& device) {
    std::vector<std::string> out;
    for (const Bytes& r : device.requests()) {
        if (r[0] == 0x02)
            out.emplace_back(r.begin() + 1, r.end() - 3);
        else if (r == Bytes{0x05, 0x0D})
            out.emplace_back("?");
        else
            out.push_back(hex(r));
    }
    return out;
}

class MagCard : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MG_OpenCommPort(1), 1); }
    void TearDown() override { MG_CloseCommPort(); }

    std::vector<std::string> commands() const { return commandsOf(device); }

    PtyDevice device;
    Encoder encoder{device};
};

using Strings = std::vector<std::string>;

TEST_F(MagCard, CardReadSequence) {
    struct Case {
        const char* name;
        std::map<std::string, Bytes> acks;
        std::map<std::string, Bytes> polls;
        int16_t expected;
        Strings commands;
        const char* out;
    };
    const char* untouched = "EE EE EE EE EE EE";
    const Case cases[] = {
        {"card read",
         {},
         {{"C63", bytes({0x02, 0x50, 0x43, 0x36, 0x33, 0x30, 0x31, 0x32, 0x33, 0x34, 0x0D})}},
         1,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "?", "C30", "?"},
         "31 32 33 34 0D EE"},
        {"status shows R",
         {},
         {{"C10", bytes({0x02, 0x50, 0x30, 0x30, 0x30, 0x30, 0x30, 0x52, 0x0D})}},
         -1,
         {"C0232403000000", "?", "C10", "?"},
         untouched},
        {"R beyond offset 7 is no refusal",
         {},
         {{"C10", polled("000000R")}},
         1,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "?", "C30", "?"},
         "30 30 30 0D EE EE"},
        {"read not acknowledged",
         {{"C63", kNak}},
         {},
         -5,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "C30", "?"},
         untouched},
        {"read answer without STX P",
         {},
         {{"C63", bytes({0x02, 'N', 0x0D})}},
         -5,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "?", "C30", "?"},
         untouched},
        {"first command not acknowledged",
         {{"C0232403000000", kNak}},
         {},
         -5,
         {"C0232403000000"},
         untouched},
        {"closing command refused",
         {{"C30", kNak}},
         {{"C63", polled("000012")}},
         1,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "?", "C30"},
         "31 32 0D EE EE EE"},
        {"answer shorter than its header",
         {},
         {{"C63", polled("")}},
         1,
         {"C0232403000000", "?", "C10", "?", "C20", "?", "C63", "?", "C30", "?"},
         untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        Encoder encoder(device);
        encoder.acks = c.acks;
        encoder.polls = c.polls;
        MG_OpenCommPort(1);
        uint8_t out[64];
        std::fill(std::begin(out), std::end(out), 0xEE);
        EXPECT_EQ(MG_CardRead(out, 0), c.expected);
        EXPECT_EQ(hex(area(out, 6)), c.out);
        EXPECT_EQ(commandsOf(device), c.commands);
    }
}

TEST_F(MagCard, FramesOnTheWire) {
    const uint8_t data[57] = {};
    std::vector<uint8_t> full(57, '7');
    EXPECT_EQ(MG_CardWrite(full.data(), 57), 1);
    auto r = device.requests();
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(hex(r[0]), hex(mgFrame(text("C0232403000000"))));
    EXPECT_EQ(hex(r[1]), "05 0D");
    EXPECT_EQ(hex(r[2]), "02 43 31 30 03 41 0D");
    EXPECT_EQ(hex(r[4]), "02 43 32 30 03 42 0D");
    EXPECT_EQ(r[6].size(), 64u);
    EXPECT_EQ(hex(r[6]), hex(mgFrame(concat({text("C73"), full}))));
    EXPECT_EQ(hex(r[8]), hex(mgFrame(text("C30"))));

    EXPECT_EQ(MG_CardWrite(data, 58), -8);
    EXPECT_EQ(device.requests().size(), 10u);
}

TEST_F(MagCard, CardWriteReportsItsWriteCommand) {
    encoder.acks["C73AB"] = kNak;
    const uint8_t data[2] = {'A', 'B'};
    EXPECT_EQ(MG_CardWrite(data, 2), -5);
    EXPECT_EQ(commands(),
              (Strings{"C0232403000000", "?", "C10", "?", "C20", "?", "C73AB", "C30", "?"}));
}

TEST_F(MagCard, NoAnswerWithinThreeSeconds) {
    device.answerAlways([](const Bytes&) { return Answer{}; });
    uint8_t out[64] = {};
    int16_t result = 0;
    long long ms = elapsedMs([&] { result = MG_CardRead(out, 0); });
    EXPECT_EQ(result, -1);
    EXPECT_GE(ms, 2900);
    EXPECT_LE(ms, 4500);
    EXPECT_EQ(device.requests().size(), 1u);
}

TEST(MagCardNoPort, ClearNeedsNoPort) {
    MG_CloseCommPort();
    EXPECT_EQ(MG_CLE(), 1);
}

// ---- ZT2330 ----

class Zt2330 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MG_ZT2330_OpenCommPort(1), 1); }
    void TearDown() override { MG_ZT2330_CloseCommPort(); }
    PtyDevice device;
};

const Bytes kWriteAnnouncement = {'/', 'W', 'R', '1', '/', 0xFF, 0x03, 0x13, 0x06, 0x0D};

TEST_F(Zt2330, CardRead) {
    device.answer(bytes({0x06})); // to "/CL0/"
    device.answer(
        {{bytes({0x06}), 25}, // to "/RD1/", purged by the library
         {concat({text("xy"), bytes({0x02}), text(";1234?"), bytes({0x0D, 0x55})}), 150}});
    uint8_t out[64];
    std::fill(std::begin(out), std::end(out), 0xEE);
    EXPECT_EQ(MG_ZT2330_CardRead(out, 0), 1);
    EXPECT_EQ(hex(area(out, 8)), "3B 31 32 33 34 3F 0D EE");
    auto r = device.requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(hex(r[0]), "2F 43 4C 30 2F");
    EXPECT_EQ(hex(r[1]), "2F 52 44 31 2F");
}

TEST_F(Zt2330, CardWriteHandshake) {
    const Bytes data = text(";0123456789?");
    struct Case {
        const char* name;
        Answer answer;
        int16_t expected;
        bool cancelled;
        long long minMs, maxMs;
    };
    auto spaced = [](Bytes b) {
        Answer a{{kAck}};
        for (uint8_t v : b)
            a.push_back({Bytes{v}, 150});
        return a;
    };
    const Case cases[] = {
        {"ACK then EOT", {{kAck}, {bytes({0x04}), 150}}, 1, false, 0, 1500},
        {"EOT after other bytes", spaced({0x30, 0x31, 0x04}), 1, false, 0, 1500},
        {"five bytes without EOT", spaced({0x30, 0x31, 0x32, 0x33, 0x34}), -5, true, 0, 2500},
        {"no ACK", {{kNak}}, -5, false, 0, 1500},
        {"ACK then nothing", {{kAck}}, -1, false, 2900, 4500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        MG_ZT2330_OpenCommPort(1);
        device.silence(); // the announcement awaits no answer
        device.answer(c.answer);
        device.answer(bytes({0x06})); // to a cancel
        int16_t result = 0;
        long long ms = elapsedMs([&] { result = MG_ZT2330_CardWrite(data.data(), data.size()); });
        EXPECT_EQ(result, c.expected);
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
        auto r = device.requests();
        ASSERT_GE(r.size(), 2u);
        EXPECT_EQ(hex(r[0]), hex(kWriteAnnouncement));
        EXPECT_EQ(hex(r[1]), hex(mgFrame(data)));
        EXPECT_EQ(r.size(), c.cancelled ? 3u : 2u);
        if (c.cancelled) {
            EXPECT_EQ(hex(r[2]), "2F 43 4C 30 2F");
        }
    }
}

TEST_F(Zt2330, CardWriteLengthLimit) {
    std::vector<uint8_t> data(61, '5');
    EXPECT_EQ(MG_ZT2330_CardWrite(data.data(), 61), -8);
    EXPECT_TRUE(device.received().empty());
    device.silence();
    device.answer({{kAck}, {bytes({0x04}), 150}});
    EXPECT_EQ(MG_ZT2330_CardWrite(data.data(), 60), 1);
    auto r = device.requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].size(), 64u);
}

} // namespace
