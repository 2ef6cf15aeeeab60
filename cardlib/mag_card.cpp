// Card reads and writes with the magnetic-card encoder and the ZT2330 reader/writer.
#include "mg_frame.h"
#include "ostrel.h"
#include "result_codes.h"
#include "serial_link.h"

#include <cstring>
#include <string_view>

using namespace ostrel;

namespace {

constexpr std::string_view kPrepare = "C0232403000000";
constexpr std::string_view kStatus = "C10";
constexpr std::string_view kReady = "C20";
constexpr std::string_view kRead = "C63";
constexpr std::string_view kWrite = "C73";
constexpr std::string_view kFinish = "C30";
constexpr std::size_t kAnswerTextOffset = 6;
constexpr std::size_t kStatusOffset = 7;
constexpr std::size_t kMaxCardWrite = kMaxMgText - kWrite.size();
constexpr std::size_t kStxSearch = 8;

constexpr uint8_t kZtCancel[] = {'/', 'C', 'L', '0', '/'};
constexpr uint8_t kZtRead[] = {'/', 'R', 'D', '1', '/'};
constexpr uint8_t kZtWrite[] = {'/', 'W', 'R', '1', '/', 0xFF, 0x03, 0x13, 0x06, 0x0D};

struct Answer {
    uint8_t bytes[kMgWorkArea];
    std::size_t length = 0;
};

// Sends text, optionally followed by data, with mgExchange.
int16_t mgCommand(std::string_view text, Answer& answer, const uint8_t* data = nullptr,
                  std::size_t n = 0) {
    std::memcpy(answer.bytes, text.data(), text.size());
    if (n > 0)
        std::memcpy(answer.bytes + text.size(), data, n);
    return mgExchange(answer.bytes, text.size() + n, answer.length);
}

int16_t mgStatus() {
    Answer answer;
    int16_t r = mgCommand(kStatus, answer);
    if (r != rc::Ok)
        return r;
    // Answers end at their first CR, so a byte at offset 7 lies before it.
    if (answer.length > kStatusOffset && answer.bytes[kStatusOffset] == 'R')
        return rc::NoAnswer;
    return rc::Ok;
}

// The steps every encoder card operation starts with.
int16_t mgPrepare() {
    Answer answer;
    int16_t r = mgCommand(kPrepare, answer);
    if (r != rc::Ok)
        return r;
    r = mgStatus();
    if (r != rc::Ok)
        return r;
    return mgCommand(kReady, answer);
}

void mgFinish() {
    Answer answer;
    mgCommand(kFinish, answer);
}

} // namespace

extern "C" {

int16_t OSTREL_CALL MG_CardRead(uint8_t* out64, int32_t /*unused*/) {
    int16_t r = mgPrepare();
    if (r != rc::Ok)
        return r;
    Answer answer;
    r = mgCommand(kRead, answer);
    if (r == rc::Ok && answer.length > kAnswerTextOffset)
        std::memcpy(out64, answer.bytes + kAnswerTextOffset, answer.length - kAnswerTextOffset);
    mgFinish();
    return r;
}

int16_t OSTREL_CALL MG_CardWrite(const uint8_t* data, uint8_t n) {
    if (n > kMaxCardWrite)
        return rc::OutOfRange;
    int16_t r = mgPrepare();
    if (r != rc::Ok)
        return r;
    Answer answer;
    r = mgCommand(kWrite, answer, data, n);
    mgFinish();
    return r;
}

int16_t OSTREL_CALL MG_CLE(void) {
    return rc::Ok;
}

int16_t OSTREL_CALL MG_ZT2330_CardRead(uint8_t* out64, int32_t /*unused*/) {
    int16_t r = ztCommand(kZtCancel, sizeof kZtCancel);
    if (r != rc::Ok)
        return r;
    r = ztCommand(kZtRead, sizeof kZtRead);
    if (r != rc::Ok)
        return r;
    // Whatever the device said to the read command is purged here; the card data follow.
    r = commWaitData();
    if (r != rc::Ok)
        return r;
    uint8_t work[kMgWorkArea];
    std::size_t got = commReadUntil(work, kStxSearch, kStx);
    if (got == kStxSearch || (got > 0 && work[got - 1] == kStx)) {
        got = commReadUntil(work, kMgWorkArea, kCr);
        std::memcpy(out64, work, got);
    }
    return rc::Ok;
}

int16_t OSTREL_CALL MG_ZT2330_CardWrite(const uint8_t* data, uint8_t n) {
    if (n > kMaxMgText)
        return rc::OutOfRange;
    commWrite(kZtWrite, sizeof kZtWrite);
    return ztExchange(data, n);
}

} // extern "C"
