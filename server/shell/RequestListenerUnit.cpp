#include "RequestListenerUnit.h"

#include "Utf8Unit.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

class TSocketConnection final : public TConnection {
public:
    explicit TSocketConnection(int fd) : Fd_(fd) {}
    void Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::send(Fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw std::system_error(errno, std::generic_category(), "send");
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }

private:
    int Fd_;
};

// Reads up to the first NUL. Returns false when the client closes first, the limit passes
// without a NUL, the deadline passes or the listener shuts the socket down.
bool ReadRequest(int fd, int timeoutSeconds, std::string& request) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    request.clear();
    for (;;) {
        int waitMs = -1;
        if (timeoutSeconds > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            waitMs = static_cast<int>(left.count());
        }
        // The request has nearly always arrived by the time this thread runs: the wait is only
        // entered when nothing is there yet.
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, waitMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            continue;
        }
        if (n <= 0)
            return false;
        const size_t got = static_cast<size_t>(n);
        if (const void* nul = std::memchr(buffer, 0, got)) {
            const size_t before = static_cast<size_t>(static_cast<const char*>(nul) - buffer);
            if (request.size() + before > TRequestListener::MaxRequestBytes)
                return false;
            request.append(buffer, before);
            return true; // what followed the NUL is dropped unread
        }
        if (request.size() + got > TRequestListener::MaxRequestBytes)
            return false;
        request.append(buffer, got);
    }
}

// Takes what the client sent beyond its request, so that closing sends FIN rather than a reset
// that could destroy the answer still on its way to the client.
void DiscardPendingInput(int fd) {
    char buffer[4096];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

} // namespace

TRequestListener::TRequestListener(THandlerFactory factory, TListenerLimits limits)
    : Factory_(std::move(factory)), Limits_(limits) {}

TRequestListener::~TRequestListener() {
    Stop(std::chrono::milliseconds(0));
    WaitForAllConnections();
    {
        std::unique_lock guard(Lock_);
        for (TWaitingWorker* worker : Waiting_)
            worker->Wake.notify_one();
        Idle_.wait(guard, [this] { return Workers_ == 0; });
    }
    JoinFinished();
}

void TRequestListener::JoinFinished() {
    std::vector<pthread_t> finished;
    {
        std::lock_guard guard(Lock_);
        finished.swap(Finished_);
    }
    for (pthread_t thread : finished)
        ::pthread_join(thread, nullptr);
}

bool TRequestListener::Active() const {
    std::lock_guard guard(Lock_);
    return ListenFd_ >= 0;
}

size_t TRequestListener::OpenConnections() const {
    std::lock_guard guard(Lock_);
    return Open_.size();
}

void TRequestListener::Start(int port) {
    if (port < 0 || port > 65535)
        throw std::runtime_error("Invalid port number " + std::to_string(port));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("Could not create socket: ") + std::strerror(errno));
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 15) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("Could not bind socket to port " + std::to_string(port) + ": " +
                                 std::strerror(error));
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    Port_ = ntohs(address.sin_port);
    WakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (WakeFd_ < 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(std::string("Could not start the listener: ") +
                                 std::strerror(error));
    }
    {
        std::lock_guard guard(Lock_);
        ListenFd_ = fd;
        Stopping_ = false;
    }
    AcceptThread_ = std::thread([this] { AcceptLoop(); });
}

void TRequestListener::AcceptLoop() {
    for (;;) {
        pollfd p[2] = {{ListenFd_, POLLIN, 0}, {WakeFd_, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        const int client = ::accept4(ListenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            // Out of descriptors the pending client stays queued and the socket stays readable:
            // pause instead of spinning until connections end. Any other error is a client that
            // left before it was accepted.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pollfd wake{WakeFd_, POLLIN, 0};
                ::poll(&wake, 1, 100);
            }
            continue;
        }
        JoinFinished();
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard guard(Lock_);
        // Sessions already told to go are leaving and hold no place.
        const auto holding = std::count_if(Open_.begin(), Open_.end(),
                                           [](const auto& entry) { return !entry.second.Evicted; });
        const bool full = Limits_.MaxConnections > 0 && holding >= Limits_.MaxConnections;
        if (Stopping_ || (full && !EvictIdleSession())) {
            ::close(client);
            continue;
        }
        // The session is registered under the lock before its thread can finish and look
        // itself up.
        const uint64_t id = NextId_++;
        if (!StartSession(id, client))
            ::close(client); // no thread could be started for it
    }
}

namespace {

// Connection threads run one handler and little else. With the default 8 MB stacks the C
// library could keep only a few for reuse, so most connections mapped a fresh stack and unmapped
// it again (a TLB flush on every core each time); stacks this size are all kept. The handlers
// use a few KB: pugixml parses without recursion and SQLite's deepest path stays far below.
constexpr size_t ConnectionStackBytes = 512 * 1024;

// How long a connection thread waits for its next connection before it ends.
constexpr auto WorkerIdleTime = std::chrono::seconds(10);

} // namespace

namespace {

struct TWorkerStart {
    TRequestListener* Listener;
    uint64_t Id;
    int Fd;
};

} // namespace

bool TRequestListener::StartSession(uint64_t id, int fd) {
    // Called with Lock_ held, so the session is registered before any thread can finish it.
    Open_.emplace(id, TSession{fd});
    if (!Waiting_.empty()) {
        TWaitingWorker* worker = Waiting_.back();
        Waiting_.pop_back();
        worker->Id = id;
        worker->Fd = fd;
        worker->Wake.notify_one();
        return true;
    }
    auto* start = new (std::nothrow) TWorkerStart{this, id, fd};
    pthread_attr_t attributes;
    pthread_t thread;
    bool started = start && ::pthread_attr_init(&attributes) == 0;
    if (started) {
        ::pthread_attr_setstacksize(&attributes, ConnectionStackBytes);
        started = ::pthread_create(&thread, &attributes, RunWorker, start) == 0;
        ::pthread_attr_destroy(&attributes);
    }
    if (!started) {
        delete start;
        Open_.erase(id);
        return false;
    }
    ++Workers_;
    return true;
}

void* TRequestListener::RunWorker(void* argument) {
    const std::unique_ptr<TWorkerStart> start(static_cast<TWorkerStart*>(argument));
    start->Listener->WorkerLoop(start->Id, start->Fd);
    return nullptr;
}

void TRequestListener::WorkerLoop(uint64_t id, int fd) {
    for (;;) {
        Serve(id, fd);
        std::unique_lock guard(Lock_);
        TWaitingWorker me;
        if (!Stopping_) {
            Waiting_.push_back(&me);
            me.Wake.wait_for(guard, WorkerIdleTime, [&] { return me.Fd >= 0 || Stopping_; });
        }
        if (me.Fd < 0) {
            // Nobody handed a connection over: leave the waiting list and end.
            std::erase(Waiting_, &me);
            Finished_.push_back(::pthread_self());
            --Workers_;
            Idle_.notify_all();
            return;
        }
        id = me.Id;
        fd = me.Fd;
    }
}

void TRequestListener::Serve(uint64_t id, int fd) {
    try {
        std::unique_ptr<TMessageHandler> handler = Factory_();
        std::string request;
        bool read = handler && ReadRequest(fd, Limits_.ReadTimeoutSeconds, request);
        {
            std::lock_guard guard(Lock_);
            TSession& session = Open_.at(id);
            session.Reading = false;
            // Given away to a newcomer while its last bytes came in: its socket is shut, and a
            // card written now could never be answered.
            if (session.Evicted)
                read = false;
        }
        if (read) {
            TSocketConnection connection(fd);
            handler->HandleMessage(connection, DecodeRequestText(request));
        }
        // The handler goes before the connection closes, in every case.
    } catch (...) {
        // A failed request ends its connection without an answer; the handler has logged what
        // it could.
    }
    DiscardPendingInput(fd);
    std::lock_guard guard(Lock_);
    ::close(fd);
    Open_.erase(id);
    if (Open_.empty())
        Idle_.notify_all();
}

bool TRequestListener::EvictIdleSession() {
    // A PMS client sends its request as soon as it is connected; one that has sent nothing whole
    // for this long while every place is taken is the one to go.
    constexpr auto IdleGrace = std::chrono::seconds(1);
    const auto now = std::chrono::steady_clock::now();
    TSession* oldest = nullptr;
    for (auto& [id, session] : Open_)
        if (session.Reading && !session.Evicted && now - session.Since >= IdleGrace &&
            (!oldest || session.Since < oldest->Since))
            oldest = &session;
    if (!oldest)
        return false;
    // Its thread sees the shutdown at once, closes the socket and leaves; the place it frees
    // is counted as free from now.
    ::shutdown(oldest->Fd, SHUT_RDWR);
    oldest->Evicted = true;
    return true;
}

bool TRequestListener::Stop(std::chrono::milliseconds wait) {
    std::unique_lock guard(Lock_);
    if (ListenFd_ >= 0) {
        Stopping_ = true;
        const uint64_t wake = 1;
        [[maybe_unused]] ssize_t n = ::write(WakeFd_, &wake, sizeof wake);
        guard.unlock();
        AcceptThread_.join();
        guard.lock();
        ::close(ListenFd_);
        ::close(WakeFd_);
        ListenFd_ = WakeFd_ = -1;
    }
    Stopping_ = true;
    for (auto& [id, session] : Open_)
        ::shutdown(session.Fd, SHUT_RDWR);
    for (TWaitingWorker* worker : Waiting_)
        worker->Wake.notify_one(); // waiting threads end
    const bool idle = Idle_.wait_for(guard, wait, [this] { return Open_.empty(); });
    guard.unlock();
    JoinFinished();
    return idle;
}

void TRequestListener::WaitForAllConnections() {
    std::unique_lock guard(Lock_);
    Idle_.wait(guard, [this] { return Open_.empty(); });
}
