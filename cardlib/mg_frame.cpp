#include "mg_frame.h"

#include "result_codes.h"
#include "serial_link.h"

#include <cstring>

namespace ostrel {
namespace {

constexpr int kEotTries = 5;
constexpr uint8_t kCancel[] = {'/', 'C', 'L', '0', '/'};

// Builds STX text ETX BCC CR in frame; returns the frame's length.
std::size_t buildFrame(uint8_t* frame, const uint8_t* text, std::size_t n) {
    uint8_t bcc = 0;
    frame[0] = kStx;
    for (std::size_t i = 0; i < n; ++i) {
        frame[1 + i] = text[i];
        bcc ^= text[i];
    }
    frame[1 + n] = kEtx;
    frame[2 + n] = static_cast<uint8_t>(bcc ^ kEtx);
    frame[3 + n] = kCr;
    return n + 4;
}

} // namespace

int16_t mgExchange(uint8_t* buf, std::size_t n, std::size_t& answerLength) {
    answerLength = 0;
    if (n > kMaxMgText)
        return rc::OutOfRange;
    uint8_t work[kMgWorkArea];
    // A failed transmission shows as a failed wait for the answer.
    commWrite(work, buildFrame(work, buf, n));
    int16_t r = commWaitData();
    if (r != rc::Ok)
        return r;
    std::size_t got = commReadUntil(work, kMgWorkArea, kCr);
    if (got == 0 || work[0] != kAck)
        return rc::Mismatch;

    const uint8_t poll[] = {kEnq, kCr};
    commWrite(poll, sizeof poll);
    r = commWaitData();
    if (r != rc::Ok)
        return r;
    got = commReadUntil(work, kMgWorkArea, kCr);
    if (got < 2 || work[0] != kStx || work[1] != 'P')
        return rc::Mismatch;
    std::memcpy(buf, work, got);
    answerLength = got;
    return rc::Ok;
}

int16_t ztExchange(const uint8_t* data, std::size_t n) {
    if (n > kMaxMgText)
        return rc::OutOfRange;
    uint8_t work[kMgWorkArea];
    commWrite(work, buildFrame(work, data, n));
    int16_t r = commWaitData();
    if (r != rc::Ok)
        return r;
    std::size_t got = commReadUntil(work, 2, kCr);
    if (got == 0 || work[0] != kAck)
        return rc::Mismatch;
    for (int attempt = 0; attempt < kEotTries; ++attempt) {
        r = commWaitData();
        if (r != rc::Ok)
            return r;
        uint8_t byte = 0;
        if (commReadByte(byte) == rc::Ok && byte == kEot)
            return rc::Ok;
    }
    ztCommand(kCancel, sizeof kCancel);
    return rc::Mismatch;
}

int16_t ztCommand(const uint8_t* bytes, std::size_t count) {
    commWrite(bytes, count);
    return commWaitData();
}

} // namespace ostrel
