// TI and EM4100 transponders, the reader's CRC-16 and EEPROM, and the block command.
#include "ostrel.h"
#include "result_codes.h"
#include "s_frame.h"

#include <cstring>

using namespace ostrel;

namespace {

constexpr uint8_t kTiTypeRom = 0x52; // 'R'
constexpr std::size_t kTiBlock = 10;
constexpr uint8_t kMaxCrcLength = 16;
constexpr uint8_t kLastBlock = 7;

} // namespace

extern "C" {

int16_t OSTREL_CALL TI0036_Read(uint8_t* out10, uint8_t* type) {
    const uint8_t payload[] = {0x1F};
    int16_t r = sExchange(payload, sizeof payload, 2, 1 + kTiBlock);
    if (r != rc::Ok)
        return r;
    *type = replyPayload()[1];
    std::memcpy(out10, replyPayload() + 2, kTiBlock);
    return rc::Ok;
}

int16_t OSTREL_CALL TI0036_Write(uint8_t* data10, uint8_t* type) {
    uint8_t payload[16] = {0x1E, 0xBB, 0xEB};
    std::memcpy(payload + 3, data10, kTiBlock);
    payload[13] = 0x00;
    payload[14] = 0x03;
    payload[15] = 0x00;
    int16_t r = sExchange(payload, sizeof payload, 3, 1 + kTiBlock);
    if (r != rc::Ok)
        return r;
    *type = replyPayload()[1];
    return std::memcmp(replyPayload() + 2, payload + 3, kTiBlock) == 0 ? rc::Ok : rc::Mismatch;
}

int16_t OSTREL_CALL TI0036_CalCRC16(const uint8_t* data, uint8_t n, uint8_t* crc1, uint8_t* crc2) {
    if (n > kMaxCrcLength)
        return rc::OutOfRange;
    uint8_t payload[2 + kMaxCrcLength] = {0x20, n};
    if (n > 0)
        std::memcpy(payload + 2, data, n);
    int16_t r = sExchange(payload, 2u + n, 1, 2);
    if (r != rc::Ok)
        return r;
    *crc1 = replyPayload()[1];
    *crc2 = replyPayload()[2];
    return rc::Ok;
}

int16_t OSTREL_CALL TI0034_ReadRom(uint8_t* out10, uint8_t attempts) {
    for (unsigned made = 0; made < attempts; ++made) {
        uint8_t type = 0;
        int16_t r = TI0036_Read(out10, &type);
        if (r == rc::NotOpen)
            return r;
        if (r != rc::Ok)
            continue;
        if (type != kTiTypeRom)
            return rc::WrongType;
        uint8_t crc1 = 0;
        uint8_t crc2 = 0;
        r = TI0036_CalCRC16(out10, kTiBlock, &crc1, &crc2);
        if (r != rc::Ok)
            return r;
        if (crc1 == 0 && crc2 == 0)
            return rc::Ok;
    }
    return rc::CrcAttemptsUsed;
}

int16_t OSTREL_CALL EM4100_ReadRom(uint8_t* out4) {
    const uint8_t payload[] = {0x23};
    int16_t r = sExchange(payload, sizeof payload, 3, 4);
    if (r == rc::Ok)
        std::memcpy(out4, replyPayload() + 1, 4);
    return r;
}

int16_t OSTREL_CALL eeWriteByte(uint8_t a1, uint8_t a2, const uint8_t* value) {
    const uint8_t payload[] = {0x14, a1, a2, *value};
    return sExchange(payload, sizeof payload, 1);
}

int16_t OSTREL_CALL eeReadByte(uint8_t a1, uint8_t a2, uint8_t* out) {
    const uint8_t payload[] = {0x15, a1, a2};
    int16_t r = sExchange(payload, sizeof payload, 1, 1);
    if (r == rc::Ok)
        *out = replyPayload()[1];
    return r;
}

int16_t OSTREL_CALL Command57(uint8_t, uint8_t, int32_t, uint8_t, uint8_t type, uint8_t block,
                              uint8_t* data4) {
    if (type != 2 && type != 3)
        return rc::BadOperation;
    if (block > kLastBlock)
        return rc::OutOfRange;
    int16_t r;
    if (type == 2) {
        const uint8_t payload[] = {0x24, block, data4[0], data4[1], data4[2], data4[3]};
        r = sExchange(payload, sizeof payload, 3);
    } else {
        const uint8_t payload[] = {0x28, block};
        r = sExchange(payload, sizeof payload, 3, 4);
        if (r == rc::Ok)
            std::memcpy(data4, replyPayload() + 1, 4);
    }
    if (r == rc::Ok)
        return rc::BlockOk;
    // Success is 0 here, so a reader status of 0 or 0x80 (otherwise reported as 0) must
    // not pass for it.
    return r == 0 ? rc::IoFailed : r;
}

} // extern "C"
