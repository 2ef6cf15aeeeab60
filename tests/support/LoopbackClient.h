#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

// A PMS-like client on loopback: connect, send bytes, read until the server closes.
class TLoopbackClient {
public:
    explicit TLoopbackClient(uint16_t port) {
        Fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(Fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(Fd_);
            throw std::runtime_error("connect failed");
        }
    }
    ~TLoopbackClient() {
        if (Fd_ >= 0)
            ::close(Fd_);
    }
    TLoopbackClient(const TLoopbackClient&) = delete;
    TLoopbackClient& operator=(const TLoopbackClient&) = delete;

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t n = ::send(Fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return; // the server may have closed already; the answer tells the rest
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    void HalfClose() { ::shutdown(Fd_, SHUT_WR); }

    // Everything the server sends until it closes; `closed` tells whether it did so in time.
    std::string ReadAll(std::chrono::milliseconds timeout = std::chrono::seconds(10),
                        bool* closed = nullptr) {
        std::string data;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{Fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                if (closed)
                    *closed = false;
                return data;
            }
            char buffer[4096];
            ssize_t n = ::recv(Fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                if (closed)
                    *closed = true;
                return data;
            }
            data.append(buffer, static_cast<size_t>(n));
        }
    }

    // One whole exchange: request bytes, then everything until the server closes.
    static std::string Exchange(uint16_t port, std::string_view bytes) {
        TLoopbackClient client(port);
        client.Send(bytes);
        return client.ReadAll();
    }

private:
    int Fd_ = -1;
};
