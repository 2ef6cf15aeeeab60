// The magnetic-card devices' link: STX text ETX BCC CR frames, the encoder's ACK and ENQ
// poll, the ZT2330's ACK and EOT, and its unframed slash commands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kEnq = 0x05;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kCr = 0x0D;

inline constexpr std::size_t kMgWorkArea = 64;
inline constexpr std::size_t kMaxMgText = kMgWorkArea - 4;

// Sends the n (at most 60) bytes of text at buf as a frame, expects ACK, polls with ENQ CR
// and expects STX 'P'. On 1 buf holds the answer up to and including its CR (answerLength
// bytes, all received). 1, -1, -2, -5, -6 or -8 (text too long, nothing sent).
int16_t mgExchange(uint8_t* buf, std::size_t n, std::size_t& answerLength);

// Sends the n (at most 60) data bytes as a frame, expects ACK and then EOT within five
// answers; cancels the transfer when EOT does not come. 1, -1, -2, -5, -6 or -8.
int16_t ztExchange(const uint8_t* data, std::size_t n);

// Sends the bytes unframed and waits for an answer byte. Result of commWaitData.
int16_t ztCommand(const uint8_t* bytes, std::size_t count);

} // namespace ostrel
