// S frames of the RF reader/writer: 'S', LEN, payload, SUM in both directions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

inline constexpr uint8_t kSFrameStart = 0x53;
inline constexpr std::size_t kMaxRequestPayload = 57;
inline constexpr std::size_t kMaxReplyPayload = 59;

// Low 8 bits of the sum of the bytes.
uint8_t byteSum(const uint8_t* bytes, std::size_t count);

// Sends the payload as one S frame. Result of commWrite.
int16_t sendSFrame(const uint8_t* payload, std::size_t n);

// Receives one S reply, each byte after the first within timeoutSeconds. The status byte
// (0..255) with the reply in replyPayload(); -2, -6 or -12.
int16_t receiveSFrame(int timeoutSeconds);

// Receives one reply and judges it as sExchange does.
int16_t receiveSReply(int timeoutSeconds, std::size_t fieldsNeeded = 0);

// One request and its reply. 1 when the reader reports status 1 and its reply carries at
// least fieldsNeeded fields after the status; -12 when it carries fewer; -(status & 0x7F)
// for another status; otherwise the failure of the transmission or reception.
int16_t sExchange(const uint8_t* payload, std::size_t n, int timeoutSeconds,
                  std::size_t fieldsNeeded = 0);

// The last reply's payload: [0] is the status, fields follow from [1].
const uint8_t* replyPayload();

} // namespace ostrel
