#include "Utf8Unit.h"

#include <cstdint>

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const uint8_t lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int length;
        // The second byte's range excludes overlong forms, surrogates and code points past
        // U+10FFFF (RFC 3629, section 4).
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i < length; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += length;
    }
    return true;
}

std::string DecodeRequestText(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : std::string();
}
