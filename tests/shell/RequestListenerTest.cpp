#include "shell/RequestListenerUnit.h"
#include "support/LoopbackClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Records what reached it and answers "[" + text + "]" + NUL; frees itself visibly.
struct TProbe {
    std::mutex Lock;
    std::vector<std::string> Texts;
    std::atomic<int> Created{0}, Destroyed{0};
    std::atomic<int> HoldMs{0};

    size_t TextCount() {
        std::lock_guard guard(Lock);
        return Texts.size();
    }
};

class TEchoHandler : public TMessageHandler {
public:
    explicit TEchoHandler(TProbe& probe) : Probe_(probe) { ++Probe_.Created; }
    ~TEchoHandler() override { ++Probe_.Destroyed; }
    void HandleMessage(TConnection& connection, const std::string& text) override {
        {
            std::lock_guard guard(Probe_.Lock);
            Probe_.Texts.push_back(text);
        }
        if (Probe_.HoldMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(Probe_.HoldMs.load()));
        if (text == "throw")
            throw std::runtime_error("handler failed");
        std::string answer = "[" + text + "]";
        answer.push_back('\0');
        connection.Write(answer);
    }

private:
    TProbe& Probe_;
};

class RequestListener : public testing::Test {
protected:
    void StartWith(TListenerLimits limits = {}) {
        Listener = std::make_unique<TRequestListener>(
            [this] { return std::make_unique<TEchoHandler>(Probe); }, limits);
        Listener->Start(0);
    }
    void SetUp() override { StartWith(); }
    uint16_t Port() const { return Listener->Port(); }

    std::string Answer(const std::string& text) { return "[" + text + "]" + std::string(1, '\0'); }

    TProbe Probe;
    std::unique_ptr<TRequestListener> Listener;
};

} // namespace

TEST_F(RequestListener, FramingCases) {
    const std::string max(TRequestListener::MaxRequestBytes, 'a');
    struct {
        const char* Name;
        std::string Sent;
        std::string Expected;
    } cases[] = {
        {"plain", std::string("<x type=\"ReadCard\"/>\0", 21), Answer("<x type=\"ReadCard\"/>")},
        {"exactly the limit", max + '\0', Answer(max)},
        {"one byte over the limit", max + "a" + '\0', ""},
        {"NUL first", std::string("\0rest", 5), Answer("")},
        {"bytes after the NUL", std::string("one\0two\0", 8), Answer("one")},
        {"invalid UTF-8", std::string("ab\xC3(\0", 5), Answer("")},
        {"Chinese text", std::string("房间\0", 7), Answer("房间")},
        {"handler throws", std::string("throw\0", 6), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TLoopbackClient::Exchange(Port(), c.Sent), c.Expected);
    }
}

TEST_F(RequestListener, ClientClosingBeforeTheNulGetsNoCallAndTheHandlerIsFreed) {
    {
        TLoopbackClient client(Port());
        client.Send("no terminator");
        client.HalfClose();
        bool closed = false;
        EXPECT_EQ(client.ReadAll(5s, &closed), "");
        EXPECT_TRUE(closed);
    }
    EXPECT_TRUE(Listener->Stop(5000ms));
    EXPECT_EQ(Probe.TextCount(), 0u);
    EXPECT_EQ(Probe.Created, 1);
    EXPECT_EQ(Probe.Destroyed, 1);
}

TEST_F(RequestListener, HandlerIsFreedBeforeTheConnectionCloses) {
    TLoopbackClient client(Port());
    client.Send(std::string("x\0", 2));
    bool closed = false;
    client.ReadAll(5s, &closed);
    ASSERT_TRUE(closed);
    EXPECT_EQ(Probe.Destroyed, 1);
}

TEST_F(RequestListener, ServerSendsNothingBeforeTheRequest) {
    TLoopbackClient client(Port());
    bool closed = true;
    EXPECT_EQ(client.ReadAll(300ms, &closed), "");
    EXPECT_FALSE(closed);
    client.Send(std::string("late\0", 5));
    EXPECT_EQ(client.ReadAll(), Answer("late"));
}

TEST_F(RequestListener, IdleClientIsClosedAfterTheReadTimeOut) {
    Listener.reset();
    StartWith({.ReadTimeoutSeconds = 1, .MaxConnections = 64});
    TLoopbackClient idle(Port());
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    EXPECT_EQ(idle.ReadAll(10s, &closed), "");
    EXPECT_TRUE(closed);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 8s);
    EXPECT_EQ(Probe.TextCount(), 0u);
}

TEST_F(RequestListener, ConnectionsOverTheCapAreClosedAndServingGoesOn) {
    Listener.reset();
    StartWith({.ReadTimeoutSeconds = 0, .MaxConnections = 2});
    auto first = std::make_unique<TLoopbackClient>(Port());
    auto second = std::make_unique<TLoopbackClient>(Port());
    // Give the listener time to count both before the third arrives.
    for (int i = 0; i < 100 && Listener->OpenConnections() < 2; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(Listener->OpenConnections(), 2u);

    TLoopbackClient third(Port());
    third.Send(std::string("over\0", 5));
    bool closed = false;
    EXPECT_EQ(third.ReadAll(5s, &closed), "");
    EXPECT_TRUE(closed);

    first.reset();
    for (int i = 0; i < 100 && Listener->OpenConnections() > 1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(TLoopbackClient::Exchange(Port(), std::string("after\0", 6)), Answer("after"));
}

TEST_F(RequestListener, ManyClientsAtOnceEachGetTheirOwnAnswer) {
    constexpr int Clients = 48;
    std::vector<std::future<bool>> results;
    for (int i = 0; i < Clients; ++i)
        results.push_back(std::async(std::launch::async, [this, i] {
            const std::string text = "request " + std::to_string(i);
            return TLoopbackClient::Exchange(Port(), text + '\0') == Answer(text);
        }));
    for (auto& r : results)
        EXPECT_TRUE(r.get());
}

TEST_F(RequestListener, StopClosesIdleConnectionsAndReportsBusyOnes) {
    const uint16_t port = Port();
    TLoopbackClient idle(port);
    Probe.HoldMs = 1500;
    TLoopbackClient busy(Port());
    busy.Send(std::string("slow\0", 5));
    for (int i = 0; i < 200 && Probe.TextCount() == 0; ++i)
        std::this_thread::sleep_for(10ms);

    EXPECT_FALSE(Listener->Stop(200ms)); // the busy handler outlasts the wait
    bool closed = false;
    EXPECT_EQ(idle.ReadAll(2s, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_FALSE(Listener->Active());
    Listener.reset(); // waits for the busy one
    EXPECT_EQ(Probe.Destroyed, Probe.Created);
    EXPECT_THROW(TLoopbackClient client(port), std::runtime_error);
}

TEST(RequestListenerStart, PortInUseAndInvalidPortsAreReported) {
    TRequestListener first([] { return nullptr; });
    first.Start(0);
    TRequestListener second([] { return nullptr; });
    try {
        second.Start(first.Port());
        FAIL() << "bind should fail";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("Address already in use"), std::string::npos);
    }
    EXPECT_FALSE(second.Active());
    TRequestListener third([] { return nullptr; });
    EXPECT_THROW(third.Start(70000), std::runtime_error);
    EXPECT_THROW(third.Start(-1), std::runtime_error);
}

TEST_F(RequestListener, ConnectionThreadsAreReusedNotPiledUp) {
    auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    const auto before = threads();
    constexpr int Clients = 8, Rounds = 50;
    std::vector<std::future<bool>> results;
    for (int c = 0; c < Clients; ++c)
        results.push_back(std::async(std::launch::async, [this] {
            for (int i = 0; i < Rounds; ++i)
                if (TLoopbackClient::Exchange(Port(), std::string("x\0", 2)) != Answer("x"))
                    return false;
            return true;
        }));
    for (auto& r : results)
        EXPECT_TRUE(r.get());
    results.clear(); // joins the clients' threads
    // The clients' own threads have ended; what remains are connection threads waiting for the
    // next connection, at most one for each connection that was open at once.
    EXPECT_LE(threads(), before + 2 * Clients);
    Listener.reset();
    EXPECT_EQ(threads(), before - 1); // the accept thread went too
}
