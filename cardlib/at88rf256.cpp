// AT88RF256-12 chips through the RF reader/writer: pages, lock, configuration, password,
// the whole-card transfer, and the reader's beeper and power switching.
#include "ostrel.h"
#include "result_codes.h"
#include "s_frame.h"
#include "serial_link.h"

#include <cstring>

using namespace ostrel;

namespace {

constexpr int kChipTimeout = 3;
constexpr int kReaderTimeout = 1;
constexpr uint8_t kLastPage = 7;
constexpr uint8_t kLastWritablePage = 6;
constexpr int kWriteAttempts = 2;
constexpr int kReadAttempts = 3;
constexpr std::size_t kCardBytes = 2048;

int16_t readPageOnce(uint8_t page, uint8_t* out4) {
    const uint8_t payload[] = {0x02, static_cast<uint8_t>(page * 16 + 0x04)};
    int16_t r = sExchange(payload, sizeof payload, kChipTimeout, 4);
    if (r == rc::Ok)
        std::memcpy(out4, replyPayload() + 1, 4);
    return r;
}

int16_t single(const uint8_t* payload, std::size_t n, int timeoutSeconds) {
    return sExchange(payload, n, timeoutSeconds);
}

} // namespace

extern "C" {

int16_t OSTREL_CALL AT88RF256_12_ReadPage(uint8_t* out4, uint8_t page) {
    if (page > kLastPage)
        return rc::OutOfRange;
    // A page counts as read when two reads in a row agree; a weak field can garble one.
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        uint8_t first[4];
        uint8_t second[4];
        int16_t r = readPageOnce(page, first);
        if (r != rc::Ok)
            return r;
        std::memcpy(out4, first, 4);
        r = readPageOnce(page, second);
        if (r != rc::Ok)
            return r;
        if (std::memcmp(first, second, 4) == 0)
            return rc::Ok;
    }
    return rc::Mismatch;
}

int16_t OSTREL_CALL AT88RF256_12_WritePage(const uint8_t* in4, uint8_t page) {
    if (page > kLastWritablePage)
        return rc::OutOfRange;
    const uint8_t payload[] = {
        0x01, static_cast<uint8_t>(page * 16 + 0x08), in4[0], in4[1], in4[2], in4[3]};
    int16_t r = rc::Ok;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        r = sExchange(payload, sizeof payload, kChipTimeout);
        if (r == rc::Ok)
            break;
    }
    return r;
}

int16_t OSTREL_CALL AT88RF256_12_ReadData(uint8_t* out, uint8_t start_page, uint8_t length) {
    for (unsigned k = 0; k < length; k += 4) {
        uint8_t page[4];
        int16_t r = AT88RF256_12_ReadPage(page, static_cast<uint8_t>(start_page + k / 4));
        if (r != rc::Ok)
            return r;
        std::memcpy(out + k, page, 4);
    }
    return rc::Ok;
}

int16_t OSTREL_CALL AT88RF256_12_WriteData(const uint8_t* in, uint8_t start_page, uint8_t length) {
    uint8_t page[4];
    unsigned fill = 0;
    uint8_t current = start_page;
    for (unsigned i = 0; i < length; ++i) {
        page[fill] = in[i];
        if (fill == 3) {
            int16_t r = AT88RF256_12_WritePage(page, current);
            if (r != rc::Ok)
                return r;
            fill = 0;
            ++current;
        } else {
            ++fill;
        }
    }
    if (fill != 0) {
        // The rest of a partial last page is written as 00, never as bytes of another page.
        std::memset(page + fill, 0, 4 - fill);
        int16_t r = AT88RF256_12_WritePage(page, current);
        if (r != rc::Ok)
            return r;
    }
    return rc::Ok;
}

int16_t OSTREL_CALL AT88RF256_12_WriteLockByte(uint8_t lock) {
    const uint8_t payload[] = {0x03, 0x0C, static_cast<uint8_t>(lock | 0x80), 0x55, 0x55, 0x55};
    return single(payload, sizeof payload, kChipTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_WriteConfigurationBits(const uint8_t* in3) {
    const uint8_t payload[] = {0x04, 0x4C, 0x55, in3[0], in3[1], in3[2]};
    return single(payload, sizeof payload, kChipTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_WritePassword(const uint8_t* in4) {
    const uint8_t payload[] = {0x05, 0x1C, in4[0], in4[1], in4[2], in4[3]};
    int16_t r = rc::Ok;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        r = sendSFrame(payload, sizeof payload);
        if (r != rc::Ok)
            return r;
        r = receiveSReply(kChipTimeout);
        if (r == rc::Ok)
            break;
    }
    return r;
}

int16_t OSTREL_CALL AT88RF256_12_CheckPassword(const uint8_t* in4) {
    const uint8_t payload[] = {0x07, 0x70, in4[0], in4[1], in4[2], in4[3]};
    return single(payload, sizeof payload, kChipTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_DisableChip(void) {
    const uint8_t payload[] = {0x06, 0x60};
    return single(payload, sizeof payload, kChipTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_ReadRom(uint8_t* out8) {
    std::memset(out8 + 4, 0, 4);
    return AT88RF256_12_ReadPage(out8, kLastPage);
}

int16_t OSTREL_CALL AT88RF256_12_ReadDataCard(uint8_t* out2049) {
    if (!commIsOpen())
        return rc::NotOpen;
    const uint8_t payload[] = {0x09};
    int16_t r = sendSFrame(payload, sizeof payload);
    if (r != rc::Ok)
        return r;
    r = commAwaitReply(1000);
    if (r != rc::Ok)
        return r;
    // The transfer has its own framing: 'S', 2048 data bytes and their sum, no length.
    if (commReadByte(out2049[0]) != rc::Ok || out2049[0] != kSFrameStart)
        return rc::IoFailed;
    commSetReadTimeout(30000);
    for (std::size_t i = 0; i <= kCardBytes; ++i) {
        if (commReadByte(out2049[i]) != rc::Ok)
            return rc::IoFailed;
    }
    return byteSum(out2049, kCardBytes) == out2049[kCardBytes] ? rc::Ok : rc::IoFailed;
}

int16_t OSTREL_CALL AT88RF256_12_Beep(uint8_t value) {
    const uint8_t payload[] = {0x0B, value};
    return single(payload, sizeof payload, kReaderTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_PowerOn(void) {
    const uint8_t payload[] = {0x0C};
    return single(payload, sizeof payload, kReaderTimeout);
}

int16_t OSTREL_CALL AT88RF256_12_PowerOff(void) {
    const uint8_t payload[] = {0x0D};
    return single(payload, sizeof payload, kReaderTimeout);
}

} // extern "C"
