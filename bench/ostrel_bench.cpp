// Ostrel against the wire: a device on a pseudo-terminal takes in every byte at the line's
// rate, answers after a fixed pause and sends every byte at the line's rate. A call can take no
// less than the wire time of its bytes both ways plus the device's pauses; the figure is the
// measured time of the call divided by that.
//
// Usage: ostrel_bench [--reps N] [--pause-ms P]

#include "ostrel.h"

#include <pty.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iostream>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct TChunk {
    int PauseUs;
    Bytes Data;
};
using TAnswer = std::vector<TChunk>;

constexpr uint8_t Stx = 0x02, Etx = 0x03, Eot = 0x04, Enq = 0x05, Ack = 0x06, Cr = 0x0D;

Bytes SFrame(const Bytes& payload) {
    Bytes out{0x53, static_cast<uint8_t>(payload.size())};
    uint8_t sum = 0;
    for (uint8_t b : payload) {
        out.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    out.push_back(sum);
    return out;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

void SleepUntil(int64_t ns) {
    timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The device. It models the receiving UART: a byte counts as received one byte time after the
// line became free for it, however early the pseudo-terminal delivered it.
class TPacedDevice {
public:
    TPacedDevice(int baud, int bitsPerByte, std::function<TAnswer(const Bytes&)> responder)
        : ByteNs_(int64_t(bitsPerByte) * 1000000000 / baud), Responder_(std::move(responder)) {
        char name[256];
        if (::openpty(&Master_, &Slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::setenv("OSTREL_COM1", name, 1);
        Thread_ = std::thread([this] { Run(); });
    }
    ~TPacedDevice() {
        Stop_ = true;
        Thread_.join();
        ::close(Master_);
        ::close(Slave_);
    }

    int64_t ByteNs() const { return ByteNs_; }
    // Bytes both ways and pauses since the last call, as the wire time they need.
    int64_t TakeWireNs() {
        std::lock_guard guard(Lock_);
        const int64_t ns = (BytesIn_ + BytesOut_) * ByteNs_ + PauseNs_;
        LastBytes_ = BytesIn_ + BytesOut_;
        BytesIn_ = BytesOut_ = PauseNs_ = 0;
        return ns;
    }
    int64_t LastBytes() const { return LastBytes_; }

private:
    static size_t RequestLength(const Bytes& p) {
        if (p.empty())
            return 0;
        switch (p[0]) {
        case 0x53:
            return p.size() >= 2 && p.size() >= p[1] + 3u ? p[1] + 3u : 0;
        case Stx:
            for (size_t i = 1; i < p.size(); ++i)
                if (p[i] == Etx)
                    return p.size() >= i + 3 ? i + 3 : 0;
            return 0;
        case Enq:
            return p.size() >= 2 ? 2 : 0;
        case '/':
            if (p.size() >= 5 && Bytes(p.begin(), p.begin() + 5) == Text("/WR1/"))
                return p.size() >= 10 ? 10 : 0;
            return p.size() >= 5 ? 5 : 0;
        default:
            return 1;
        }
    }

    void Run() {
        prctl(PR_SET_TIMERSLACK, 1UL); // the pacing needs sleeps accurate to microseconds
        Bytes pending;
        int64_t lineFree = 0;
        while (!Stop_) {
            pollfd p{Master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || (p.revents & POLLIN) == 0)
                continue;
            uint8_t buffer[512];
            const ssize_t n = ::read(Master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const int64_t arrived = NowNs();
            for (ssize_t i = 0; i < n; ++i) {
                lineFree = std::max(arrived, lineFree) + ByteNs_;
                pending.push_back(buffer[i]);
                {
                    std::lock_guard guard(Lock_);
                    ++BytesIn_;
                }
                if (const size_t length = RequestLength(pending)) {
                    const Bytes request(pending.begin(), pending.begin() + length);
                    pending.erase(pending.begin(), pending.begin() + length);
                    lineFree = Play(Responder_(request), lineFree);
                }
            }
        }
    }

    // Sends each byte at the moment its last bit would have arrived; answers when the line is
    // free again.
    int64_t Play(const TAnswer& answer, int64_t from) {
        int64_t t = from;
        for (const TChunk& chunk : answer) {
            t += int64_t(chunk.PauseUs) * 1000;
            {
                std::lock_guard guard(Lock_);
                PauseNs_ += int64_t(chunk.PauseUs) * 1000;
                BytesOut_ += static_cast<int64_t>(chunk.Data.size());
            }
            for (uint8_t b : chunk.Data) {
                t += ByteNs_;
                SleepUntil(t);
                while (::write(Master_, &b, 1) != 1 && errno == EINTR) {
                }
            }
        }
        return std::max(t, NowNs());
    }

    int64_t ByteNs_;
    std::function<TAnswer(const Bytes&)> Responder_;
    int Master_ = -1, Slave_ = -1;
    std::atomic<bool> Stop_{false};
    std::mutex Lock_;
    int64_t BytesIn_ = 0, BytesOut_ = 0, PauseNs_ = 0, LastBytes_ = 0;
    std::thread Thread_;
};

struct TResult {
    double Ratio;
    double MeasuredMs;
    double WireMs;
    int64_t Bytes;
};

// Runs `call` reps times; the ratio of the summed times, so that short and long calls weigh as
// they take.
TResult Measure(TPacedDevice& device, int reps, const std::function<int16_t()>& call,
                const char* name) {
    device.TakeWireNs();
    int64_t measured = 0, wire = 0;
    for (int i = 0; i < reps; ++i) {
        const auto start = Clock::now();
        const int16_t r = call();
        measured +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        // The device may still be counting the last bytes it sent.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        wire += device.TakeWireNs();
        if (r != 1)
            throw std::runtime_error(std::string(name) + " answered " + std::to_string(r));
    }
    return {double(measured) / wire, measured / 1e6 / reps, wire / 1e6 / reps, device.LastBytes()};
}

void Row(const std::string& what, const TResult& r) {
    const bool met = r.Ratio <= 1.03;
    std::printf("| Ostrel %s: measured / (wire + pauses) | %.2f / %.2f ms = %.3f | ≤ 1.03 | %s |\n",
                what.c_str(), r.MeasuredMs, r.WireMs, r.Ratio, met ? "met" : "**missed**");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    int reps = 5;
    int pauseMs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--reps")
            reps = std::max(1, std::atoi(argv[i + 1]));
        else if (name == "--pause-ms")
            pauseMs = std::max(1, std::atoi(argv[i + 1]));
    }
    const int pauseUs = pauseMs * 1000;
    try {
        // The RF reader/writer: 2400 baud 8N1.
        Bytes card(2048);
        for (size_t i = 0; i < card.size(); ++i)
            card[i] = static_cast<uint8_t>(i * 7 + 3);
        Bytes cardAnswer{0x53};
        uint8_t sum = 0;
        for (uint8_t b : card) {
            cardAnswer.push_back(b);
            sum = static_cast<uint8_t>(sum + b);
        }
        cardAnswer.push_back(sum);
        {
            TPacedDevice rf(2400, 10, [&](const Bytes& request) -> TAnswer {
                switch (request[2]) {
                case 0x02:
                    return {{pauseUs, SFrame({0x01, 0x11, 0x22, 0x33, 0x44})}};
                case 0x09:
                    return {{pauseUs, cardAnswer}};
                default:
                    return {{pauseUs, SFrame({0x01})}};
                }
            });
            if (AT88RF256_12_OpenCommPort(1) != 1)
                throw std::runtime_error("AT88RF256_12_OpenCommPort failed");
            uint8_t page[4];
            Row("AT88RF256_12_ReadPage",
                Measure(
                    rf, reps, [&] { return AT88RF256_12_ReadPage(page, 3); },
                    "AT88RF256_12_ReadPage"));
            const Bytes data(28, 0x5A);
            Row("AT88RF256_12_WriteData (28 bytes)",
                Measure(
                    rf, reps, [&] { return AT88RF256_12_WriteData(data.data(), 0, 28); },
                    "AT88RF256_12_WriteData"));
            std::vector<uint8_t> out(2049);
            const TResult whole = Measure(
                rf, std::max(1, reps / 5), [&] { return AT88RF256_12_ReadDataCard(out.data()); },
                "AT88RF256_12_ReadDataCard");
            Row("AT88RF256_12_ReadDataCard (" + std::to_string(whole.Bytes) +
                    " bytes on the wire at 2400 baud)",
                whole);
            AT88RF256_12_CloseCommPort();
        }
        {
            // The magnetic-card encoder: 9600 baud 8N1, every command acknowledged, then polled.
            TPacedDevice mg(9600, 10, [&](const Bytes& request) -> TAnswer {
                static std::string last;
                if (request[0] == Enq) {
                    const std::string text =
                        last == "C63" ? "PC630;1234567890123456=2512101000000000?" : "P0000000";
                    Bytes answer = Text(text);
                    answer.insert(answer.begin(), Stx);
                    answer.push_back(Cr);
                    return {{pauseUs, answer}};
                }
                last = std::string(request.begin() + 1, request.end() - 3);
                return {{pauseUs, {Ack, Cr}}};
            });
            if (MG_OpenCommPort(1) != 1)
                throw std::runtime_error("MG_OpenCommPort failed");
            uint8_t out[64];
            Row("MG_CardRead", Measure(
                                   mg, reps, [&] { return MG_CardRead(out, 0); }, "MG_CardRead"));
            MG_CloseCommPort();
        }
        {
            // The ZT2330: 9600 baud 7E2, the write announcement unanswered, the data frame
            // acknowledged and, once written, confirmed with EOT.
            TPacedDevice zt(9600, 11, [&](const Bytes& request) -> TAnswer {
                if (request[0] != Stx)
                    return {};
                return {{pauseUs, {Ack, Cr}}, {pauseUs, {Eot}}};
            });
            if (MG_ZT2330_OpenCommPort(1) != 1)
                throw std::runtime_error("MG_ZT2330_OpenCommPort failed");
            const Bytes track = Text(";1234567890123456=2512101000000000?");
            Row("MG_ZT2330_CardWrite",
                Measure(
                    zt, reps,
                    [&] {
                        return MG_ZT2330_CardWrite(track.data(),
                                                   static_cast<uint8_t>(track.size()));
                    },
                    "MG_ZT2330_CardWrite"));
            MG_ZT2330_CloseCommPort();
        }
    } catch (const std::exception& e) {
        std::cerr << "ostrel_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
