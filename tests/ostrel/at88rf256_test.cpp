// AT88RF256-12 commands: request bytes, replies taken, retries counted in frames.
#include "rf_fixture.h"

#include <algorithm>
#include <functional>

using namespace ostrel_test;

namespace {

using At88 = RfReader;

TEST_F(At88, ReadPageReadsTwiceAndTakesAgreeingData) {
    const Bytes a = {0x11, 0x22, 0x33, 0x44};
    const Bytes b = {0x55, 0x66, 0x77, 0x88};
    const Bytes c = {0x99, 0xAA, 0xBB, 0xCC};
    struct Case {
        const char* name;
        std::vector<Answer> replies;
        int16_t expected;
        std::size_t frames;
        Bytes out;
    };
    const Case cases[] = {
        {"reads agree", {ok(a), ok(a)}, 1, 2, a},
        {"second read differs once", {ok(a), ok(b), ok(c), ok(c)}, 1, 4, c},
        {"reads never agree", {ok(a), ok(b), ok(a), ok(b), ok(a), ok(b)}, -5, 6, a},
        {"second read fails", {ok(b), status(0x83)}, -3, 2, b},
        {"first read fails", {status(0x02)}, -2, 1, {0xEE, 0xEE, 0xEE, 0xEE}},
        {"reply without data", {ok({0x11})}, -12, 1, {0xEE, 0xEE, 0xEE, 0xEE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        for (const Answer& r : c.replies)
            device.answer(r);
        uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_EQ(AT88RF256_12_ReadPage(out, 3), c.expected);
        EXPECT_EQ(hex(area(out, 4)), hex(c.out));
        auto requests = device.requests();
        EXPECT_EQ(requests.size(), c.frames);
        for (const Bytes& r : requests)
            EXPECT_EQ(hex(r), "53 02 02 34 36");
    }
}

TEST_F(At88, ReplyOfTheWorkedExample) {
    device.answer(bytes({0x53, 0x05, 0x01, 0x11, 0x22, 0x33, 0x44, 0xAB}));
    device.answer(bytes({0x53, 0x05, 0x01, 0x11, 0x22, 0x33, 0x44, 0xAB}));
    uint8_t out[4] = {};
    EXPECT_EQ(AT88RF256_12_ReadPage(out, 3), 1);
    EXPECT_EQ(hex(area(out, 4)), "11 22 33 44");
}

TEST_F(At88, OutOfRangeSendsNothing) {
    uint8_t data[64] = {};
    const std::pair<const char*, std::function<int16_t()>> calls[] = {
        {"ReadPage 8", [&] { return AT88RF256_12_ReadPage(data, 8); }},
        {"ReadPage 255", [&] { return AT88RF256_12_ReadPage(data, 255); }},
        {"WritePage 7", [&] { return AT88RF256_12_WritePage(data, 7); }},
        {"ReadData from 8", [&] { return AT88RF256_12_ReadData(data, 8, 4); }},
        {"WriteData from 7", [&] { return AT88RF256_12_WriteData(data, 7, 1); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(), -8);
    }
    EXPECT_TRUE(device.received().empty());
}

TEST_F(At88, WritePageRetriesOnce) {
    struct Case {
        const char* name;
        std::vector<Answer> replies;
        int16_t expected;
        std::size_t frames;
    };
    const Case cases[] = {
        {"first attempt succeeds", {ok()}, 1, 1},
        {"second attempt succeeds", {status(0x83), ok()}, 1, 2},
        {"bad frame, then success", {{{bytes({0x53, 0x01, 0x01, 0x00})}}, ok()}, 1, 2},
        {"both fail, last failure counts", {status(0x83), status(0x84)}, -4, 2},
    };
    const uint8_t data[4] = {0xA1, 0xB2, 0xC3, 0xD4};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        for (const Answer& r : c.replies)
            device.answer(r);
        EXPECT_EQ(AT88RF256_12_WritePage(data, 2), c.expected);
        auto requests = device.requests();
        EXPECT_EQ(requests.size(), c.frames);
        for (const Bytes& r : requests)
            EXPECT_EQ(hex(r), "53 06 01 28 A1 B2 C3 D4 13");
    }
}

TEST_F(At88, SingleCommandRequestsAndTheirRetries) {
    const uint8_t three[3] = {0x10, 0x20, 0x30};
    const uint8_t four[4] = {0x01, 0x02, 0x03, 0x04};
    struct Case {
        const char* name;
        std::function<int16_t()> call;
        const char* request;
        std::size_t framesOnFailure;
    };
    const Case cases[] = {
        {"WriteLockByte", [] { return AT88RF256_12_WriteLockByte(0x05); },
         "53 06 03 0C 85 55 55 55 93", 1},
        {"WriteConfigurationBits", [&] { return AT88RF256_12_WriteConfigurationBits(three); },
         "53 06 04 4C 55 10 20 30 05", 1},
        {"CheckPassword", [&] { return AT88RF256_12_CheckPassword(four); },
         "53 06 07 70 01 02 03 04 81", 1},
        {"DisableChip", [] { return AT88RF256_12_DisableChip(); }, "53 02 06 60 66", 1},
        {"WritePassword", [&] { return AT88RF256_12_WritePassword(four); },
         "53 06 05 1C 01 02 03 04 2B", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            PtyDevice device;
            AT88RF256_12_OpenCommPort(1);
            device.answer(ok());
            EXPECT_EQ(c.call(), 1);
            auto requests = device.requests();
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(hex(requests[0]), c.request);
        }
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        device.answerAlways([](const Bytes&) { return status(0x02); });
        EXPECT_EQ(c.call(), -2);
        EXPECT_EQ(device.requests().size(), c.framesOnFailure);
    }
}

TEST_F(At88, WritePasswordRetriesAfterAFailedReply) {
    const uint8_t pw[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    device.answer(bytes({0x53, 0x01, 0x01, 0x02})); // bad sum
    device.answer(ok());
    EXPECT_EQ(AT88RF256_12_WritePassword(pw), 1);
    EXPECT_EQ(device.requests().size(), 2u);
}

TEST_F(At88, WritePasswordGivesUpAtOnceWhenTheRequestCannotBeSent) {
    const uint8_t pw[4] = {};
    device.hangUp();
    long long ms = elapsedMs([&] { EXPECT_EQ(AT88RF256_12_WritePassword(pw), -12); });
    EXPECT_LT(ms, 500);
}

TEST_F(At88, WriteDataGoesPageByPage) {
    struct Case {
        const char* name;
        uint8_t start;
        uint8_t length;
        int16_t expected;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        {"two whole pages", 1, 8, 1, {"53 06 01 18 00 01 02 03 1F", "53 06 01 28 04 05 06 07 3F"}},
        {"partial last page is padded with 00",
         0,
         6,
         1,
         {"53 06 01 08 00 01 02 03 0F", "53 06 01 18 04 05 00 00 22"}},
        {"runs past page 6",
         5,
         12,
         -8,
         {"53 06 01 58 00 01 02 03 5F", "53 06 01 68 04 05 06 07 7F"}},
        {"nothing to write", 0, 0, 1, {}},
    };
    uint8_t data[16];
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<uint8_t>(i);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        device.answerAlways([](const Bytes&) { return ok(); });
        EXPECT_EQ(AT88RF256_12_WriteData(data, c.start, c.length), c.expected);
        std::vector<std::string> got;
        for (const Bytes& r : device.requests())
            got.push_back(hex(r));
        EXPECT_EQ(got, c.requests);
    }
}

TEST_F(At88, WriteDataStopsAtTheFirstFailedPage) {
    device.answer(ok());
    device.answer(status(0x84));
    device.answer(status(0x84));
    const uint8_t data[12] = {};
    EXPECT_EQ(AT88RF256_12_WriteData(data, 0, 12), -4);
    EXPECT_EQ(device.requests().size(), 3u); // page 0, page 1 twice, never page 2
}

TEST_F(At88, ReadDataReturnsWholePages) {
    // Each page answers with its own number in every byte.
    device.answerAlways([](const Bytes& request) {
        uint8_t page = request[3] >> 4;
        return ok({page, page, page, page});
    });
    uint8_t out[12];
    std::fill(std::begin(out), std::end(out), 0xEE);
    EXPECT_EQ(AT88RF256_12_ReadData(out, 1, 8), 1);
    EXPECT_EQ(hex(area(out, 12)), "01 01 01 01 02 02 02 02 EE EE EE EE");
    EXPECT_EQ(device.requests().size(), 4u);

    std::fill(std::begin(out), std::end(out), 0xEE);
    EXPECT_EQ(AT88RF256_12_ReadData(out, 6, 5), 1); // rounded up to two pages
    EXPECT_EQ(hex(area(out, 12)), "06 06 06 06 07 07 07 07 EE EE EE EE");

    EXPECT_EQ(AT88RF256_12_ReadData(out, 7, 8), -8); // page 8 is refused before it is sent
    EXPECT_EQ(hex(area(out, 4)), "07 07 07 07");
    EXPECT_EQ(device.requests().size(), 10u);
    EXPECT_EQ(AT88RF256_12_ReadData(out, 0, 0), 1);
    EXPECT_EQ(device.requests().size(), 10u);
}

TEST_F(At88, ReadRomPadsWithZeros) {
    device.answerAlways([](const Bytes&) { return ok({0xC1, 0xC2, 0xC3, 0xC4}); });
    uint8_t out[8];
    std::fill(std::begin(out), std::end(out), 0xEE);
    EXPECT_EQ(AT88RF256_12_ReadRom(out), 1);
    EXPECT_EQ(hex(area(out, 8)), "C1 C2 C3 C4 00 00 00 00");
    EXPECT_EQ(hex(device.requests().at(0)), "53 02 02 74 76");
}

Bytes cardAnswer(const Bytes& data, int sumOffset = 0) {
    Bytes out{0x53};
    uint8_t sum = 0;
    for (uint8_t b : data) {
        out.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    out.push_back(static_cast<uint8_t>(sum + sumOffset));
    return out;
}

TEST_F(At88, ReadDataCardTransfersTheWholeCard) {
    Bytes data(2048);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    struct Case {
        const char* name;
        Answer answer;
        int16_t expected;
    };
    const Case cases[] = {
        {"whole card", {{cardAnswer(data)}}, 1},
        {"wrong sum", {{cardAnswer(data, 1)}}, -12},
        {"no S first", {{concat({bytes({0x00}), cardAnswer(data)})}}, -12},
        {"silence", {}, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        device.answer(c.answer);
        std::vector<uint8_t> out(2049, 0xEE);
        EXPECT_EQ(AT88RF256_12_ReadDataCard(out.data()), c.expected);
        if (c.expected == 1) {
            EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
            EXPECT_EQ(out[2048], cardAnswer(data).back());
        }
        ASSERT_EQ(device.requests().size(), 1u);
        EXPECT_EQ(hex(device.requests()[0]), "53 01 09 09");
    }
}

} // namespace
