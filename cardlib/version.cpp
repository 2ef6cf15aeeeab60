// The library's own version text and the RF reader/writer's version.
#include "ostrel.h"
#include "result_codes.h"
#include "s_frame.h"

#include <cstring>

using namespace ostrel;

namespace {

constexpr char kVersion[] = "V1.01 5/5/2002 (Pelvor.dll)";
// "未连接" ("not connected") in the GBK code page, with its NUL; hosts show it as it is.
constexpr uint8_t kNotConnected[] = {0xCE, 0xB4, 0xC1, 0xAC, 0xBD, 0xD3, 0x00};
constexpr std::size_t kReaderVersionBytes = 5;

} // namespace

extern "C" {

int16_t OSTREL_CALL GetRfDllVersion_0(char* out) {
    std::memcpy(out, kVersion, sizeof kVersion);
    return rc::Ok;
}

int16_t OSTREL_CALL GetRfRwVersion_1(uint8_t* out7) {
    const uint8_t payload[] = {0x0A};
    int16_t r = sExchange(payload, sizeof payload, 1, kReaderVersionBytes);
    if (r == rc::Ok)
        std::memcpy(out7, replyPayload() + 1, kReaderVersionBytes);
    else
        std::memcpy(out7, kNotConnected, sizeof kNotConnected);
    return r;
}

} // extern "C"
