// The result codes every export reports; host programs test for these exact values.
#pragma once

#include <cstdint>

namespace ostrel::rc {

inline constexpr int16_t Ok = 1;
inline constexpr int16_t BlockOk = 0;          // success of Command57
inline constexpr int16_t NoAnswer = -1;        // nothing within 3000 ms; encoder status 'R'
inline constexpr int16_t WaitFailed = -2;      // no first reply byte, or a failed wait
inline constexpr int16_t CrcAttemptsUsed = -3; // TI0034_ReadRom
inline constexpr int16_t WrongType = -4;       // TI0034_ReadRom
inline constexpr int16_t Mismatch = -5;        // no ACK / STX 'P' / EOT; read-back differs
inline constexpr int16_t NotOpen = -6;
inline constexpr int16_t OutOfRange = -8;
inline constexpr int16_t BadOperation = -9; // Command57
inline constexpr int16_t OpenFailed = -11;
inline constexpr int16_t IoFailed = -12;

// What a reader status other than 1 is reported as.
inline int16_t fromStatus(int status) {
    return static_cast<int16_t>(-(status & 0x7F));
}

} // namespace ostrel::rc
