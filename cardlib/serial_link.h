// The port that all exports share and the byte-level primitives over it: open and close,
// transmit, wait for an answer, read one byte under the time-out in force.
#pragma once

#include "serial_port.h"

#include <cstddef>
#include <cstdint>

namespace ostrel {

inline constexpr LineSettings kRfLine{2400, 8, Parity::None, 1};
inline constexpr LineSettings kMgLine{9600, 8, Parity::None, 1};
inline constexpr LineSettings kZtLine{9600, 7, Parity::Even, 2};

// Replaces the backend the link talks to (the platform port by default); for fuzzing.
void useSerialPort(SerialPort& port);

bool commIsOpen();
// 1, -8 (number not 1..4, nothing opened) or -11. A port open before is closed first.
int16_t commOpen(int16_t number, const LineSettings& line);
// Always 1.
int16_t commClose();
// Discards pending input and sends all bytes. 1, -6 or -12.
int16_t commWrite(const uint8_t* bytes, std::size_t count);
// Discards pending input and waits up to 3000 ms for an answer byte; later reads wait
// up to 3000 ms each. 1, -1 (time-out), -2 (failed wait) or -6.
int16_t commWaitData();
// As commWaitData, but for RF replies: waits up to 1000 ms for the first byte and lets
// later reads wait readTimeoutMs each. 1, -2 or -6.
int16_t commAwaitReply(int readTimeoutMs);
// Changes the time-out of the reads that follow.
void commSetReadTimeout(int ms);
// Reads one byte under the time-out in force; stores nothing unless the result is 1.
// 1 or -12.
int16_t commReadByte(uint8_t& byte);
// Reads into dest until a byte equal to stop has been stored, max bytes have arrived or a
// read fails; returns how many bytes arrived. Answers of the magnetic-card devices end
// there: nothing after a failed read is trusted.
std::size_t commReadUntil(uint8_t* dest, std::size_t max, uint8_t stop);

} // namespace ostrel
