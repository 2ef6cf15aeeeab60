#include "pty_device.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace ostrel_test {

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes sFrame(const Bytes& payload) {
    Bytes out{0x53, static_cast<uint8_t>(payload.size())};
    uint8_t sum = 0;
    for (uint8_t b : payload) {
        out.push_back(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    out.push_back(sum);
    return out;
}

Bytes mgFrame(const Bytes& textBytes) {
    Bytes out{0x02};
    uint8_t bcc = 0x03;
    for (uint8_t b : textBytes) {
        out.push_back(b);
        bcc ^= b;
    }
    out.push_back(0x03);
    out.push_back(bcc);
    out.push_back(0x0D);
    return out;
}

PtyDevice::PtyDevice(int port) {
    char name[256];
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    slavePath_ = name;
    // The slave stays open here too, so the master never sees a hang-up between the
    // library's opens and closes.
    ::setenv(("OSTREL_COM" + std::to_string(port)).c_str(), slavePath_.c_str(), 1);
    thread_ = std::thread([this] { run(); });
}

PtyDevice::~PtyDevice() {
    hangUp();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyDevice::hangUp() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable())
        thread_.join();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyDevice::inject(const Bytes& b) {
    play(Answer{Chunk{b, 0, 0}});
}

void PtyDevice::answer(Answer a) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(a));
}

void PtyDevice::answerAlways(std::function<Answer(const Bytes&)> responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<Bytes> PtyDevice::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

Bytes PtyDevice::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::size_t PtyDevice::answersLeft() const {
    std::lock_guard lock(mutex_);
    return answers_.size();
}

std::size_t PtyDevice::requestLength() const {
    const Bytes& p = pending_;
    if (p.empty())
        return 0;
    switch (p[0]) {
    case 0x53: // S frame
        return p.size() >= 2 && p.size() >= p[1] + 3u ? p[1] + 3u : 0;
    case 0x02: // STX text ETX BCC CR
        for (std::size_t i = 1; i < p.size(); ++i) {
            if (p[i] == 0x03)
                return p.size() >= i + 3 ? i + 3 : 0;
        }
        return 0;
    case 0x05: // ENQ CR
        return p.size() >= 2 ? 2 : 0;
    case '/': // slash command; the write announcement carries five more bytes
        if (p.size() >= 5 && Bytes(p.begin(), p.begin() + 5) == text("/WR1/"))
            return p.size() >= 10 ? 10 : 0;
        return p.size() >= 5 ? 5 : 0;
    default:
        return 1;
    }
}

void PtyDevice::play(const Answer& a) {
    for (const Chunk& c : a) {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs));
        for (uint8_t b : c.bytes) {
            while (::write(master_, &b, 1) != 1 && errno == EINTR) {
            }
            if (c.gapUs > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(c.gapUs));
        }
    }
}

void PtyDevice::run() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0)
            continue;
        uint8_t buf[512];
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            continue;
        std::vector<Answer> toPlay;
        {
            std::lock_guard lock(mutex_);
            received_.insert(received_.end(), buf, buf + n);
            pending_.insert(pending_.end(), buf, buf + n);
            while (std::size_t len = requestLength()) {
                Bytes request(pending_.begin(), pending_.begin() + len);
                pending_.erase(pending_.begin(), pending_.begin() + len);
                requests_.push_back(request);
                if (!answers_.empty()) {
                    toPlay.push_back(std::move(answers_.front()));
                    answers_.pop_front();
                } else if (responder_) {
                    toPlay.push_back(responder_(request));
                }
            }
        }
        for (const Answer& a : toPlay)
            play(a);
    }
}

} // namespace ostrel_test
