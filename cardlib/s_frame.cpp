#include "s_frame.h"

#include "result_codes.h"
#include "serial_link.h"

#include <cstring>

namespace ostrel {
namespace {

// Shared by all S-frame operations, as the reply overwrites the request.
uint8_t frameBuffer[kMaxReplyPayload + 1];
std::size_t replyLength = 0;

} // namespace

uint8_t byteSum(const uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

int16_t sendSFrame(const uint8_t* payload, std::size_t n) {
    uint8_t frame[kMaxRequestPayload + 3];
    if (n == 0 || n > kMaxRequestPayload)
        return rc::OutOfRange;
    frame[0] = kSFrameStart;
    frame[1] = static_cast<uint8_t>(n);
    std::memcpy(frame + 2, payload, n);
    frame[2 + n] = byteSum(payload, n);
    return commWrite(frame, n + 3);
}

int16_t receiveSFrame(int timeoutSeconds) {
    replyLength = 0;
    int16_t r = commAwaitReply(timeoutSeconds * 1000);
    if (r != rc::Ok)
        return r;
    uint8_t byte = 0;
    do {
        if (commReadByte(byte) != rc::Ok)
            return rc::IoFailed;
    } while (byte != kSFrameStart);
    uint8_t len = 0;
    if (commReadByte(len) != rc::Ok)
        return rc::IoFailed;
    // A reply must carry its status byte, and must fit the frame buffer.
    if (len == 0 || len > kMaxReplyPayload)
        return rc::IoFailed;
    for (std::size_t i = 0; i <= len; ++i) {
        if (commReadByte(frameBuffer[i]) != rc::Ok)
            return rc::IoFailed;
    }
    if (byteSum(frameBuffer, len) != frameBuffer[len])
        return rc::IoFailed;
    replyLength = len;
    return frameBuffer[0];
}

int16_t sExchange(const uint8_t* payload, std::size_t n, int timeoutSeconds,
                  std::size_t fieldsNeeded) {
    int16_t r = sendSFrame(payload, n);
    if (r != rc::Ok)
        return r;
    return receiveSReply(timeoutSeconds, fieldsNeeded);
}

int16_t receiveSReply(int timeoutSeconds, std::size_t fieldsNeeded) {
    int16_t r = receiveSFrame(timeoutSeconds);
    if (r < 0)
        return r;
    if (r != 1)
        return rc::fromStatus(r);
    // Fields the reader did not send are never handed out as data.
    if (replyLength - 1 < fieldsNeeded)
        return rc::IoFailed;
    return rc::Ok;
}

const uint8_t* replyPayload() {
    return frameBuffer;
}

} // namespace ostrel
