// Serial port backend on POSIX termios; time-outs are poll() time-outs.
#include "serial_port.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ostrel {
namespace {

using Clock = std::chrono::steady_clock;

speed_t speedOf(int baud) {
    switch (baud) {
    case 2400:
        return B2400;
    case 9600:
        return B9600;
    default:
        return B9600;
    }
}

// Milliseconds left until deadline, never negative.
int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Polls fd for events until the deadline, restarting after signals.
// Returns the revents, or 0 when the deadline passed.
short pollUntil(int fd, short events, Clock::time_point deadline, bool forever) {
    for (;;) {
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, forever ? -1 : remainingMs(deadline));
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return POLLERR;
    }
}

class PosixSerialPort final : public SerialPort {
public:
    OpenStatus open(int number, const LineSettings& line) override {
        char envName[16];
        std::snprintf(envName, sizeof envName, "OSTREL_COM%d", number);
        const char* named = std::getenv(envName);
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "/dev/ttyS%d", number - 1);
        const char* path = (named != nullptr && named[0] != '\0') ? named : fallback;

        int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return OpenStatus::NotOpened;
        // The port is ours alone, as a Windows COM handle opened without sharing would be:
        // the advisory lock keeps out other users of this library (even root), TIOCEXCL
        // keeps out other unprivileged programs.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return OpenStatus::NotOpened;
        }
        ::ioctl(fd, TIOCEXCL);
        fd_ = fd;

        termios tio{};
        if (::tcgetattr(fd, &tio) != 0)
            return OpenStatus::OpenedUnusable;
        // Fully raw: reply bytes such as 0x11, 0x13 and 0x0D must pass untouched.
        tio.c_iflag &=
            ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
        tio.c_oflag &= ~OPOST;
        tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
        tio.c_cflag |= CREAD | CLOCAL;
        tio.c_cflag |= line.dataBits == 7 ? CS7 : CS8;
        if (line.parity == Parity::Even)
            tio.c_cflag |= PARENB;
        if (line.stopBits == 2)
            tio.c_cflag |= CSTOPB;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, speedOf(line.baud)) != 0 ||
            ::cfsetospeed(&tio, speedOf(line.baud)) != 0 || ::tcsetattr(fd, TCSANOW, &tio) != 0)
            return OpenStatus::OpenedUnusable;
        return OpenStatus::Opened;
    }

    bool isOpen() const override { return fd_ >= 0; }

    void close() override {
        if (fd_ < 0)
            return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }

    bool writeAll(const uint8_t* bytes, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            ssize_t n = ::write(fd_, bytes + done, count - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                short ev = pollUntil(fd_, POLLOUT, Clock::time_point{}, true);
                if ((ev & POLLOUT) == 0)
                    return false;
                continue;
            }
            return false;
        }
        // write() returns while the bytes still wait in the output queue; the answer may
        // only be awaited once they have left.
        while (::tcdrain(fd_) != 0 && errno == EINTR) {
        }
        return true;
    }

    void discardInput() override { ::tcflush(fd_, TCIFLUSH); }

    IoStatus waitForInput(int timeoutMs) override {
        short ev =
            pollUntil(fd_, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs), false);
        if (ev & POLLIN)
            return IoStatus::Ok;
        return ev == 0 ? IoStatus::TimedOut : IoStatus::Failed;
    }

    IoStatus readByte(uint8_t& byte, int timeoutMs) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            uint8_t got = 0;
            ssize_t n = ::read(fd_, &got, 1);
            if (n == 1) {
                byte = got;
                return IoStatus::Ok;
            }
            if (n == 0)
                return IoStatus::Failed;
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return IoStatus::Failed;
            short ev = pollUntil(fd_, POLLIN, deadline, false);
            if (ev == 0)
                return IoStatus::TimedOut;
            if ((ev & POLLIN) == 0)
                return IoStatus::Failed;
        }
    }

private:
    int fd_ = -1;
};

PosixSerialPort thePort;

} // namespace

SerialPort& platformSerialPort() {
    return thePort;
}

} // namespace ostrel
