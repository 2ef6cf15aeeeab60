#include "serial_link.h"

#include "result_codes.h"

namespace ostrel {
namespace {

constexpr int kWaitDataMs = 3000;
constexpr int kFirstReplyByteMs = 1000;
constexpr int kPauseAfterFailedWaitMs = 10;

SerialPort* port = nullptr;
int readTimeoutMs = 1000;

SerialPort& thePort() {
    if (port == nullptr)
        port = &platformSerialPort();
    return *port;
}

void pauseAfterFailedWait() {
    thePort().pause(kPauseAfterFailedWaitMs);
}

} // namespace

void useSerialPort(SerialPort& replacement) {
    port = &replacement;
}

bool commIsOpen() {
    return thePort().isOpen();
}

int16_t commOpen(int16_t number, const LineSettings& line) {
    if (number < 1 || number > 4)
        return rc::OutOfRange;
    // One handle only: a second open replaces the first rather than leaking it.
    thePort().close();
    readTimeoutMs = 1000;
    switch (thePort().open(number, line)) {
    case OpenStatus::Opened:
        return rc::Ok;
    case OpenStatus::NotOpened:
    case OpenStatus::OpenedUnusable:
        break;
    }
    return rc::OpenFailed;
}

int16_t commClose() {
    thePort().close();
    return rc::Ok;
}

int16_t commWrite(const uint8_t* bytes, std::size_t count) {
    if (!thePort().isOpen())
        return rc::NotOpen;
    thePort().discardInput();
    return thePort().writeAll(bytes, count) ? rc::Ok : rc::IoFailed;
}

int16_t commWaitData() {
    if (!thePort().isOpen())
        return rc::NotOpen;
    thePort().discardInput();
    readTimeoutMs = kWaitDataMs;
    switch (thePort().waitForInput(kWaitDataMs)) {
    case IoStatus::Ok:
        return rc::Ok;
    case IoStatus::TimedOut:
        pauseAfterFailedWait();
        return rc::NoAnswer;
    case IoStatus::Failed:
        break;
    }
    pauseAfterFailedWait();
    return rc::WaitFailed;
}

int16_t commAwaitReply(int replyReadTimeoutMs) {
    if (!thePort().isOpen())
        return rc::NotOpen;
    thePort().discardInput();
    readTimeoutMs = replyReadTimeoutMs;
    if (thePort().waitForInput(kFirstReplyByteMs) == IoStatus::Ok)
        return rc::Ok;
    pauseAfterFailedWait();
    return rc::WaitFailed;
}

void commSetReadTimeout(int ms) {
    readTimeoutMs = ms;
}

int16_t commReadByte(uint8_t& byte) {
    if (!thePort().isOpen())
        return rc::IoFailed;
    return thePort().readByte(byte, readTimeoutMs) == IoStatus::Ok ? rc::Ok : rc::IoFailed;
}

std::size_t commReadUntil(uint8_t* dest, std::size_t max, uint8_t stop) {
    std::size_t count = 0;
    while (count < max) {
        uint8_t byte = 0;
        if (commReadByte(byte) != rc::Ok)
            break;
        dest[count++] = byte;
        if (byte == stop)
            break;
    }
    return count;
}

} // namespace ostrel
