#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// One accepted client as a handler sees it.
class TConnection {
public:
    virtual ~TConnection() = default;
    // Writes every byte or throws std::system_error; handlers' SendResponse swallow that.
    virtual void Write(std::string_view bytes) = 0;
};

// The contract of the three interface handlers: one object per connection, one request each.
class TMessageHandler {
public:
    virtual ~TMessageHandler() = default;
    // text is the decoded request: valid UTF-8, or empty when the bytes were not.
    virtual void HandleMessage(TConnection& connection, const std::string& text) = 0;
};

using THandlerFactory = std::function<std::unique_ptr<TMessageHandler>()>;

struct TListenerLimits {
    // A request must arrive whole within this time; 0 or less waits for ever.
    int ReadTimeoutSeconds = 30;
    // Connections beyond this many open at once are closed at once; 0 or less means no cap.
    int MaxConnections = 64;
};

// The TCP listener: one socket on all IPv4 addresses, one thread per connection, one
// NUL-terminated request per connection, the connection closed after its handler has run.
// Plain POSIX sockets rather than Asio: each connection thread blocks in its own read with a
// deadline and is woken by shutdown() at stop, which is all this protocol needs.
class TRequestListener {
public:
    static constexpr size_t MaxRequestBytes = 16384;

    TRequestListener(THandlerFactory factory, TListenerLimits limits = {});
    // Stops the listener and waits, without a bound, until every connection thread has ended:
    // what the handlers use may be freed once the listener is gone.
    ~TRequestListener();

    TRequestListener(const TRequestListener&) = delete;
    TRequestListener& operator=(const TRequestListener&) = delete;

    // Binds and listens; throws std::runtime_error with a text for the operator on failure.
    // Port 0 picks a free port (tests); Port() tells which.
    void Start(int port);
    // Closes the listening socket and every open connection, then waits up to `wait` for the
    // connection threads. Answers false when some are still running after that.
    bool Stop(std::chrono::milliseconds wait = std::chrono::milliseconds(5000));

    bool Active() const;
    uint16_t Port() const { return Port_; }
    size_t OpenConnections() const;

private:
    void AcceptLoop();
    // Hands a new connection to a waiting connection thread, or starts one; false when no
    // thread could be had for it.
    bool StartSession(uint64_t id, int fd);
    static void* RunWorker(void* start);
    void WorkerLoop(uint64_t id, int fd);
    void Serve(uint64_t id, int fd);
    void WaitForAllConnections();
    void JoinFinished();

    struct TSession {
        int Fd;
        // Until the request has arrived whole; such a session may give way to a newcomer.
        bool Reading = true;
        bool Evicted = false;
        std::chrono::steady_clock::time_point Since = std::chrono::steady_clock::now();
    };
    // Shuts down the longest-waiting connection that has sent no whole request for a while, so
    // that clients which connect and send nothing cannot hold every place; false when none has.
    bool EvictIdleSession();

    THandlerFactory Factory_;
    TListenerLimits Limits_;
    uint16_t Port_ = 0;
    int ListenFd_ = -1;
    int WakeFd_ = -1;
    std::thread AcceptThread_;

    mutable std::mutex Lock_;
    std::condition_variable Idle_;      // Open_ became empty, or a thread ended
    std::map<uint64_t, TSession> Open_; // connections being served
    // Each connection has a thread of its own for as long as it is served; a thread that has
    // finished one waits a while for the next instead of ending, since starting a thread costs
    // more than serving a request. A new connection goes to the thread that waited least.
    struct TWaitingWorker {
        std::condition_variable Wake;
        uint64_t Id = 0;
        int Fd = -1; // the connection handed over, or -1
    };
    std::vector<TWaitingWorker*> Waiting_;
    size_t Workers_ = 0;
    std::vector<pthread_t> Finished_; // threads that have ended but are not joined yet
    uint64_t NextId_ = 0;
    bool Stopping_ = false;
};
