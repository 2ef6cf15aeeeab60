// TI and EM4100 transponders, the reader's CRC and EEPROM, the block command, the reader's
// version.
#include "rf_fixture.h"

#include <functional>

using namespace ostrel_test;

namespace {

using Transponder = RfReader;

const Bytes kTiData = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39};

TEST_F(Transponder, TiReadTakesTypeAndData) {
    device.answer(ok(concat({bytes({0x52}), kTiData})));
    uint8_t out[10] = {};
    uint8_t type = 0;
    EXPECT_EQ(TI0036_Read(out, &type), 1);
    EXPECT_EQ(type, 0x52);
    EXPECT_EQ(hex(area(out, 10)), hex(kTiData));
    EXPECT_EQ(hex(device.requests().at(0)), "53 01 1F 1F");
    EXPECT_EQ(hex(sFrame(concat({bytes({0x01, 0x52}), kTiData}))).substr(0, 11), "53 0C 01 52");
}

TEST_F(Transponder, TiWriteComparesTheReadBack) {
    struct Case {
        const char* name;
        Bytes readBack;
        int16_t expected;
    };
    Bytes lastDiffers = kTiData;
    lastDiffers[9] ^= 0x01;
    const Case cases[] = {
        {"read back equal", kTiData, 1},
        {"last byte differs", lastDiffers, -5},
        {"read back cut short", Bytes(kTiData.begin(), kTiData.begin() + 9), -12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        device.answer(ok(concat({bytes({0x57}), c.readBack})));
        uint8_t data[10];
        std::copy(kTiData.begin(), kTiData.end(), data);
        uint8_t type = 0;
        EXPECT_EQ(TI0036_Write(data, &type), c.expected);
        EXPECT_EQ(type, c.expected == -12 ? 0 : 0x57);
        EXPECT_EQ(hex(area(data, 10)), hex(kTiData));
        EXPECT_EQ(hex(device.requests().at(0)),
                  hex(sFrame(concat({bytes({0x1E, 0xBB, 0xEB}), kTiData, bytes({0, 3, 0})}))));
        EXPECT_EQ(device.requests()[0][1], 16);
    }
}

TEST_F(Transponder, CrcLengths) {
    uint8_t data[17] = {0xAA, 0xBB};
    uint8_t crc1 = 0;
    uint8_t crc2 = 0;
    EXPECT_EQ(TI0036_CalCRC16(data, 17, &crc1, &crc2), -8);
    EXPECT_TRUE(device.received().empty());

    device.answer(ok({0x12, 0x34}));
    EXPECT_EQ(TI0036_CalCRC16(data, 0, &crc1, &crc2), 1);
    EXPECT_EQ(crc1, 0x12);
    EXPECT_EQ(crc2, 0x34);
    device.answer(ok({0x56, 0x78}));
    EXPECT_EQ(TI0036_CalCRC16(data, 2, &crc1, &crc2), 1);
    EXPECT_EQ(crc1, 0x56);
    EXPECT_EQ(crc2, 0x78);
    device.answer(ok({0x00}));
    EXPECT_EQ(TI0036_CalCRC16(data, 16, &crc1, &crc2), -12); // second CRC byte missing
    EXPECT_EQ(crc1, 0x56);
    auto r = device.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(hex(r[0]), "53 02 20 00 20");
    EXPECT_EQ(hex(r[1]), "53 04 20 02 AA BB 87");
    EXPECT_EQ(r[2].size(), 2u + 18u + 1u);
}

TEST_F(Transponder, TiRomReadAttempts) {
    const Answer romRead = ok(concat({bytes({0x52}), kTiData}));
    struct Case {
        const char* name;
        uint8_t attempts;
        std::vector<Answer> replies;
        int16_t expected;
        std::vector<uint8_t> commands; // command byte of each request
    };
    const Case cases[] = {
        {"first read times out", 3, {Answer{}, romRead, ok({0, 0})}, 1, {0x1F, 0x1F, 0x20}},
        {"wrong type", 3, {ok(concat({bytes({0x57}), kTiData}))}, -4, {0x1F}},
        {"crc never zero",
         2,
         {romRead, ok({0x00, 0x01}), romRead, ok({0x01, 0x00})},
         -3,
         {0x1F, 0x20, 0x1F, 0x20}},
        {"crc request fails", 3, {romRead, status(0x82)}, -2, {0x1F, 0x20}},
        {"every read fails", 2, {status(0x83), status(0x83)}, -3, {0x1F, 0x1F}},
        {"no attempts", 0, {}, -3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        for (const Answer& a : c.replies)
            device.answer(a);
        uint8_t out[10] = {};
        EXPECT_EQ(TI0034_ReadRom(out, c.attempts), c.expected);
        std::vector<uint8_t> commands;
        for (const Bytes& r : device.requests())
            commands.push_back(r.at(2));
        EXPECT_EQ(commands, c.commands);
        if (c.expected == 1) {
            EXPECT_EQ(hex(area(out, 10)), hex(kTiData));
        }
    }
}

TEST_F(Transponder, CrcIsComputedOverTheTenBytesRead) {
    device.answer(ok(concat({bytes({0x52}), kTiData})));
    device.answer(ok({0, 0}));
    uint8_t out[10] = {};
    EXPECT_EQ(TI0034_ReadRom(out, 1), 1);
    EXPECT_EQ(hex(device.requests().at(1)), hex(sFrame(concat({bytes({0x20, 0x0A}), kTiData}))));
}

TEST_F(Transponder, Em4100AndEeprom) {
    device.answer(ok({0xE1, 0xE2, 0xE3, 0xE4}));
    uint8_t rom[4] = {};
    EXPECT_EQ(EM4100_ReadRom(rom), 1);
    EXPECT_EQ(hex(area(rom, 4)), "E1 E2 E3 E4");

    device.answer(ok());
    const uint8_t value = 0x7A;
    EXPECT_EQ(eeWriteByte(0x01, 0x02, &value), 1);

    device.answer(ok({0x7A}));
    uint8_t read = 0;
    EXPECT_EQ(eeReadByte(0x01, 0x02, &read), 1);
    EXPECT_EQ(read, 0x7A);

    auto r = device.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(hex(r[0]), "53 01 23 23");
    EXPECT_EQ(hex(r[1]), "53 04 14 01 02 7A 91");
    EXPECT_EQ(hex(r[2]), "53 03 15 01 02 18");
}

TEST_F(Transponder, BlockCommand) {
    struct Case {
        const char* name;
        uint8_t type;
        uint8_t block;
        Answer reply;
        int16_t expected;
        const char* request; // nullptr: nothing may be sent
        const char* data;
    };
    const Case cases[] = {
        {"write", 2, 1, ok(), 0, "53 06 24 01 D0 D1 D2 D3 6B", "D0 D1 D2 D3"},
        {"read", 3, 7, ok({0xB0, 0xB1, 0xB2, 0xB3}), 0, "53 02 28 07 2F", "B0 B1 B2 B3"},
        {"read refused", 3, 2, status(0x85), -5, "53 02 28 02 2A", "D0 D1 D2 D3"},
        // Status 0 is no success even though success is 0 here.
        {"write, status 0", 2, 0, status(0x00), -12, "53 06 24 00 D0 D1 D2 D3 6A", "D0 D1 D2 D3"},
        {"read, status 0x80", 3, 0, status(0x80), -12, "53 02 28 00 28", "D0 D1 D2 D3"},
        {"type 4", 4, 1, {}, -9, nullptr, "D0 D1 D2 D3"},
        {"type 4, block 9", 4, 9, {}, -9, nullptr, "D0 D1 D2 D3"},
        {"read block 8", 3, 8, {}, -8, nullptr, "D0 D1 D2 D3"},
        {"write block 8", 2, 8, {}, -8, nullptr, "D0 D1 D2 D3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyDevice device;
        AT88RF256_12_OpenCommPort(1);
        device.answer(c.reply);
        uint8_t data[4] = {0xD0, 0xD1, 0xD2, 0xD3};
        EXPECT_EQ(Command57(1, 2, 3, 4, c.type, c.block, data), c.expected);
        EXPECT_EQ(hex(area(data, 4)), c.data);
        auto r = device.requests();
        if (c.request == nullptr) {
            EXPECT_TRUE(r.empty());
        } else {
            ASSERT_EQ(r.size(), 1u);
            EXPECT_EQ(hex(r[0]), c.request);
        }
    }
}

TEST_F(Transponder, ReaderVersion) {
    const char* notConnected = "CE B4 C1 AC BD D3 00";
    struct Case {
        const char* name;
        Answer reply;
        int16_t expected;
        const char* out;
    };
    const Case cases[] = {
        {"answered", ok({'V', '2', '.', '1', '0'}), 1, "56 32 2E 31 30 EE EE"},
        {"status 0", status(0x00), 0, notConnected},
        {"status 0x85", status(0x85), -5, notConnected},
        {"short answer", ok({'V', '2'}), -12, notConnected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.answer(c.reply);
        uint8_t out[7];
        std::fill(std::begin(out), std::end(out), 0xEE);
        EXPECT_EQ(GetRfRwVersion_1(out), c.expected);
        EXPECT_EQ(hex(area(out, 7)), c.out);
    }
    for (const Bytes& r : device.requests())
        EXPECT_EQ(hex(r), "53 01 0A 0A");

    AT88RF256_12_CloseCommPort();
    uint8_t out[7] = {};
    EXPECT_EQ(GetRfRwVersion_1(out), -6);
    EXPECT_EQ(hex(area(out, 7)), notConnected);
}

TEST(Version, LibraryVersionNeedsNoPort) {
    AT88RF256_12_CloseCommPort();
    char out[64];
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(GetRfDllVersion_0(out), 1);
    EXPECT_STREQ(out, "V1.01 5/5/2002 (Pelvor.dll)");
    EXPECT_EQ(out[28], '#');
}

} // namespace
