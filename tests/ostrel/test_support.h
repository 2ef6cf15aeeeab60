// Shared helpers of the library's device tests.
#pragma once

#include "pty_device.h"

#include <chrono>
#include <gtest/gtest.h>
#include <ostream>

namespace ostrel_test {

// Milliseconds a callable takes.
template <typename F> long long elapsedMs(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// Bytes print as hex in assertion messages.
inline std::string hex(const Bytes& b) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (uint8_t v : b) {
        if (!s.empty())
            s += ' ';
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

inline Bytes area(const uint8_t* p, std::size_t n) {
    return Bytes(p, p + n);
}

} // namespace ostrel_test
