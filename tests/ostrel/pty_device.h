// A scripted card reader/writer on the far end of a pseudo-terminal. The library under
// test opens the slave through $OSTREL_COMn; the device reads whole requests from the
// master, records them, and plays back scripted answers like hardware: only after the
// request has arrived, after a short pause, one byte at a time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ostrel_test {

using Bytes = std::vector<uint8_t>;

// One burst of an answer: pause, then the bytes one write at a time.
struct Chunk {
    Bytes bytes;
    // Long enough that the library has finished sending and purged its input before the
    // answer arrives even on a busy machine, as a device on a slow line would be.
    int delayMs = 25;
    int gapUs = 0; // pause between bytes; bitTimeUs(baud) * 10 paces at the line's rate
};

using Answer = std::vector<Chunk>;

inline int byteTimeUs(int baud) {
    return 10 * 1000000 / baud;
}

Bytes bytes(std::initializer_list<int> values);
Bytes text(std::string_view s);
Bytes concat(std::initializer_list<Bytes> parts);

// An S frame: 'S', LEN, payload, SUM.
Bytes sFrame(const Bytes& payload);
// An MG frame: STX text ETX BCC CR.
Bytes mgFrame(const Bytes& textBytes);

class PtyDevice {
public:
    // Opens a pty pair and points $OSTREL_COM<port> at its slave.
    explicit PtyDevice(int port = 1);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // Queues the answer to the next request that has none yet; an empty answer is silence.
    void answer(Answer a);
    void answer(Bytes b, int delayMs = 25) { answer(Answer{Chunk{std::move(b), delayMs, 0}}); }
    void silence() { answer(Answer{}); }
    // Answers every request that finds the queue empty.
    void answerAlways(std::function<Answer(const Bytes& request)> responder);

    // Complete requests received so far, in order.
    std::vector<Bytes> requests() const;
    // Every byte the library sent.
    Bytes received() const;
    std::size_t answersLeft() const;

    // Sends bytes at once, unasked.
    void inject(const Bytes& b);

    // Closes the master: the library's writes and reads on the slave fail from now on.
    void hangUp();

    const std::string& path() const { return slavePath_; }

private:
    void run();
    void play(const Answer& a);
    // Length of the complete request at the start of pending_, 0 if incomplete.
    std::size_t requestLength() const;

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::function<Answer(const Bytes&)> responder_;
    std::vector<Bytes> requests_;
    Bytes received_;
    Bytes pending_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace ostrel_test
