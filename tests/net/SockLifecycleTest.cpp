// Connection lifecycle of the transport against a scripted peer on 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "NetTestUtil.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"

using namespace std::chrono_literals;

namespace {
linger LingerOf(int fd) {
    linger lin{};
    socklen_t len = sizeof lin;
    getsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, &len);
    return lin;
}

// A resolver the test holds until it says so, counting the names it was asked for. Its
// state is shared with the worker threads, which may outlive the test.
struct GatedResolver {
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool returned = false;
        std::atomic<int> calls{0};
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    THostResolver Make() {
        return [s = state](const std::string&, std::vector<uint32_t>& out) {
            ++s->calls;
            std::unique_lock<std::mutex> lock(s->m);
            s->cv.wait_for(lock, 5s, [&] { return s->open; });
            out.push_back(htonl(INADDR_LOOPBACK));
            s->returned = true;
            s->cv.notify_all();
            return 0;
        };
    }
    void Release() {
        std::lock_guard<std::mutex> lock(state->m);
        state->open = true;
        state->cv.notify_all();
    }
    int Calls() const { return state->calls.load(); }
    // Blocks until the held lookup has given its answer (at most 5 s).
    bool WaitReturned() {
        std::unique_lock<std::mutex> lock(state->m);
        return state->cv.wait_for(lock, 5s, [&] { return state->returned; });
    }
    ~GatedResolver() { Release(); }
};

// Records what the transport reports, in order.
struct EventLog {
    std::vector<std::string> entries;
    void Attach(TSockTransport& t) {
        t.OnConnect = [this](TSockTransport*) { entries.push_back("connect"); };
        t.OnDisconnect = [this](TSockTransport*) { entries.push_back("disconnect"); };
        t.OnHostResolved = [this](TSockTransport*) { entries.push_back("resolved"); };
        t.OnConnectionFailed = [this](TSockTransport*) { entries.push_back("failed"); };
    }
    int Count(const std::string& what) const {
        return static_cast<int>(std::count(entries.begin(), entries.end(), what));
    }
};

// A transport whose own socket listens, to exercise Accept.
class ListeningTransport : public TSockTransport {
  public:
    using TSockTransport::TSockTransport;
    uint16_t Listen() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(SocketHandle(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(SocketHandle(), 4);
        socklen_t len = sizeof addr;
        getsockname(SocketHandle(), reinterpret_cast<sockaddr*>(&addr), &len);
        return ntohs(addr.sin_port);
    }
};
}  // namespace

// ------------------------------------------------------------ construction, start-up

TEST(SockLifecycle, NewObjectHoldsAnUnconnectedSocketWithResetOnClose) {
    TSockTransport t;
    EXPECT_GE(t.SocketHandle(), 0);
    EXPECT_FALSE(t.IsConnected);
    EXPECT_EQ(t.TimeOut, 0);
    EXPECT_EQ(t.ReportLevel, 0);
    EXPECT_TRUE(t.Proxy.empty());
    linger lin = LingerOf(t.SocketHandle());
    EXPECT_EQ(lin.l_onoff, 1);
    EXPECT_EQ(lin.l_linger, 0);
}

namespace {
// Every socket call fails as when the process has no descriptors left.
int NoDescriptorsLeft(int, int, int) {
    errno = EMFILE;
    return -1;
}
}  // namespace

TEST(SockLifecycle, NoSocketAtStartUpFailsConstruction) {
    TEventPump pump;
    pump.SocketFactory = NoDescriptorsLeft;
    std::string message;
    try {
        TSockTransport t(pump);
    } catch (const ESockError& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Initializaton of windows sockets failed");
}

TEST(SockLifecycle, NoFreshSocketAfterCloseIsRetriedByTheNextConnect) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Pump().SocketFactory = NoDescriptorsLeft;
    t.Disconnect();
    EXPECT_EQ(t.SocketHandle(), -1);
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "10024:Too many open files");
    t.Pump().SocketFactory = nullptr;
    ConnectLocal(t, peer.Port());
    EXPECT_TRUE(t.IsConnected);
}

// ------------------------------------------------------------ connect

TEST(SockLifecycle, DottedAddressConnectsWithoutLookup) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    int calls = 0;
    THostResolver resolver([&](const std::string&, std::vector<uint32_t>&) {
        ++calls;
        return 11001;
    });
    t.Pump().HostResolver = resolver;
    ConnectLocal(t, peer.Port());
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"connect"}));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(t.RemoteAddress(), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(t.RemotePort(), htons(peer.Port()));
    EXPECT_TRUE(t.LastEventOk);
    EXPECT_TRUE(PumpUntil(t.Pump(), [&] { return peer.Accepted(); }));
}

TEST(SockLifecycle, NameIsLookedUpAndReported) {
    ScriptedPeer peer;
    peer.Start();
    std::vector<std::string> asked;
    THostResolver resolver([&](const std::string& name, std::vector<uint32_t>& out) {
        asked.push_back(name);
        out.push_back(htonl(INADDR_LOOPBACK));
        return 0;
    });
    TSockTransport t;
    t.Pump().HostResolver = resolver;
    EventLog log;
    log.Attach(t);
    t.Host = "recorder.example";
    t.Port = peer.Port();
    t.TimeOut = 2000;
    t.Connect();
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(asked, (std::vector<std::string>{"recorder.example"}));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"resolved", "connect"}));
}

TEST(SockLifecycle, RealLookupOfLocalhostConnects) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Host = "localhost";
    t.Port = peer.Port();
    t.TimeOut = 3000;
    t.Connect();
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(t.RemoteAddress(), htonl(INADDR_LOOPBACK));
}

TEST(SockLifecycle, ProxyIsUsedAndHostNeverResolved) {
    ScriptedPeer peer;
    peer.Start();
    int calls = 0;
    THostResolver resolver([&](const std::string&, std::vector<uint32_t>&) {
        ++calls;
        return 11001;
    });
    TSockTransport t;
    t.Pump().HostResolver = resolver;
    t.Host = "recorder.example";
    t.Port = 1;
    t.Proxy = "127.0.0.1";
    t.ProxyPort = 0x10000 + peer.Port();  // only the low 16 bits count
    t.TimeOut = 2000;
    t.Connect();
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(t.RemotePort(), htons(peer.Port()));
}

TEST(SockLifecycle, AllOnesAddressIsLookedUpAsAName) {
    std::vector<std::string> asked;
    THostResolver resolver([&](const std::string& name, std::vector<uint32_t>&) {
        asked.push_back(name);
        return 11001;
    });
    TSockTransport t;
    t.Pump().HostResolver = resolver;
    t.Host = "255.255.255.255";
    t.TimeOut = 2000;
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, (std::vector<std::string>{"255.255.255.255"}));
}

TEST(SockLifecycle, HostEndsAtItsFirstNul) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Host = std::string("127.0.0.1\0junk", 14);
    t.Port = peer.Port();
    t.TimeOut = 2000;
    t.Connect();
    EXPECT_TRUE(t.IsConnected);
}

TEST(SockLifecycle, ErrorInOnConnectIsAbsorbed) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    int calls = 0;
    t.OnConnect = [&](TSockTransport*) {
        ++calls;
        throw Exception("handler broke");
    };
    EXPECT_NO_THROW(ConnectLocal(t, peer.Port()));
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(calls, 1);
}

TEST(SockLifecycle, ZeroAddressIsNullRemoteAddress) {
    TSockTransport t;
    t.Host = "0.0.0.0";
    t.Port = 80;
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Null Remote Address");
    EXPECT_FALSE(t.IsConnected);
}

TEST(SockLifecycle, FailedLookupBecomesNullRemoteAddress) {
    THostResolver resolver([](const std::string&, std::vector<uint32_t>&) { return 11001; });
    TSockTransport t;
    t.Pump().HostResolver = resolver;
    EventLog log;
    log.Attach(t);
    t.Host = "no.such.host";
    t.TimeOut = 2000;
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Null Remote Address");
    EXPECT_FALSE(t.LastEventOk);
    EXPECT_EQ(log.Count("resolved"), 0);
    EXPECT_EQ(log.Count("failed"), 0);
}

TEST(SockLifecycle, InvalidHostHandlerIsAskedOnceAndMayFixTheHost) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Host = "0.0.0.0";
    t.Port = peer.Port();
    t.TimeOut = 2000;
    int asked = 0;
    t.OnInvalidHost = [&](bool& handled) {
        ++asked;
        t.Host = "127.0.0.1";
        handled = true;
    };
    t.Connect();
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(asked, 1);
}

TEST(SockLifecycle, InvalidHostHandlerDecliningOrFailingTwiceGivesNullRemoteAddress) {
    TSockTransport t;
    t.Host = "0.0.0.0";
    int asked = 0;
    t.OnInvalidHost = [&](bool&) { ++asked; };  // leaves Handled false
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 1);

    asked = 0;
    t.OnInvalidHost = [&](bool& handled) {
        ++asked;
        handled = true;  // grants a retry but the host stays unusable
    };
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 1);
}

TEST(SockLifecycle, RefusedConnectIsConnectionFailedAfterOnConnectionFailed) {
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    t.OnConnectionFailed = [&](TSockTransport* sender) {
        EXPECT_EQ(sender, &t);
        log.entries.push_back("failed");
    };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SockErrorOf([&] { ConnectLocal(t, ScriptedPeer::UnusedPort()); }),
              "Connection Failed");
    EXPECT_LT(MillisSince(start), 1000.0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"failed"}));
    EXPECT_FALSE(t.IsConnected);
    EXPECT_FALSE(t.LastEventOk);
    EXPECT_FALSE(t.TimedOut);
}

namespace {
// A listener whose backlog is full: further connects get no answer at all.
struct SilentListener {
    int listenFd = -1;
    int filler = -1;
    uint16_t port = 0;
    SilentListener() {
        listenFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listenFd, 0);
        socklen_t len = sizeof addr;
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        filler = socket(AF_INET, SOCK_STREAM, 0);
        connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ~SilentListener() {
        close(filler);
        close(listenFd);
    }
};
}  // namespace

TEST(SockLifecycle, ConnectWithoutAnswerTimesOutOnTheClock) {
    SilentListener silent;
    VirtualTimePump v;
    TSockTransport t(v.pump);
    EventLog log;
    log.Attach(t);
    const auto start = v.clock.now;
    EXPECT_EQ(SockErrorOf([&] { ConnectLocal(t, silent.port, 10000); }), "Connection Timed out");
    EXPECT_EQ(v.clock.now - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(v.waiter->Waits, 1);  // one sleep until the deadline, no polling in between
    EXPECT_TRUE(t.TimedOut);
    EXPECT_TRUE(t.CancelRequested);  // left set; the next Connect clears it
    EXPECT_EQ(log.entries, (std::vector<std::string>{"failed"}));
}

TEST(SockLifecycle, ConnectCancelledByAWindowEventWhileItWaits) {
    SilentListener silent;
    VirtualTimePump v;
    TSockTransport t(v.pump);
    v.pump.StartTimer(30, [&] { t.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { ConnectLocal(t, silent.port, 0); }), "Connection Canceled");
    EXPECT_TRUE(t.CancelRequested);
    EXPECT_FALSE(t.TimedOut);
}

TEST(SockLifecycle, ConnectWhileConnectedLeavesTheConnectionAlone) {
    ScriptedPeer peer;
    peer.Expect("still here").Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Already connected");
    EXPECT_TRUE(t.IsConnected);
    t.Write("still here");
    EXPECT_TRUE(peer.Finish()) << peer.Report();
}

// ------------------------------------------------------------ lookups that do not finish

TEST(SockLookup, LookupTimesOutOnTheClockAndItsLateAnswerIsDropped) {
    GatedResolver gate;
    VirtualTimePump v;
    TSockTransport t(v.pump);
    v.pump.HostResolver = gate.Make();
    EventLog log;
    log.Attach(t);
    t.Host = "slow.example";
    t.TimeOut = 10000;
    const auto start = v.clock.now;
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Timed Out");
    EXPECT_EQ(v.clock.now - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(v.waiter->Waits, 1);
    EXPECT_TRUE(t.TimedOut);
    EXPECT_EQ(log.Count("failed"), 0);
    // The abandoned lookup finishes later; its answer must not reach the object. The wait
    // ends on the worker's wake-up, after which a pump would deliver an answer still wanted.
    t.EventArrived = false;
    gate.Release();
    ASSERT_TRUE(gate.WaitReturned());
    v.pump.Wait(-1, 0);
    v.pump.PumpOnce();
    EXPECT_FALSE(t.EventArrived);
    EXPECT_EQ(log.Count("resolved"), 0);
}

TEST(SockLookup, LookupCancelledByAWindowEventWhileItWaits) {
    GatedResolver gate;
    VirtualTimePump v;
    TSockTransport t(v.pump);
    v.pump.HostResolver = gate.Make();
    t.Host = "slow.example";
    t.TimeOut = 0;
    v.pump.StartTimer(30, [&] { t.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Canceled");
    gate.Release();
}

TEST(SockLookup, ObjectAndItsPumpDestroyedWhileTheirLookupRunsIsSafe) {
    GatedResolver gate;
    {
        VirtualTimePump v;
        v.pump.HostResolver = gate.Make();
        TSockTransport t(v.pump);
        t.Host = "slow.example";
        t.TimeOut = 30;
        EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Timed Out");
    }
    // The worker finishes after its object and pump are gone, into state it shares.
    gate.Release();
    EXPECT_TRUE(gate.WaitReturned());
}

TEST(SockLookup, NextLookupAfterATimeOutUsesItsOwnAnswer) {
    GatedResolver gate;
    ScriptedPeer peer;
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    t.Host = "slow.example";
    t.Port = peer.Port();
    t.Pump().HostResolver = gate.Make();
    t.TimeOut = 10000;
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Timed Out");
    t.Pump().HostResolver = [](const std::string&, std::vector<uint32_t>& out) {
        out.push_back(htonl(INADDR_LOOPBACK));
        return 0;
    };
    // From here the answers come in real time; the clock stands still.
    v.waiter->MayJump = [] { return false; };
    const auto before = v.clock.now;
    t.Connect();
    EXPECT_EQ(v.clock.now, before);
    EXPECT_TRUE(t.IsConnected);
    gate.Release();
}

// ------------------------------------------------------------ close

TEST(SockClose, DisconnectWithoutConnectionStillFiresAndReplacesTheSocket) {
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    t.Disconnect();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"disconnect"}));
    ASSERT_GE(t.SocketHandle(), 0);
    // The fresh socket closes in order (no linger).
    EXPECT_EQ(LingerOf(t.SocketHandle()).l_onoff, 0);
}

TEST(SockClose, PeerCloseWithNothingUnreadFiresOnDisconnectThenDisconnectFiresAgain) {
    ScriptedPeer peer;
    peer.Close();
    peer.Start();
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    ConnectLocal(t, peer.Port());
    EXPECT_TRUE(PumpUntil(t.Pump(), [&] { return log.Count("disconnect") == 1; }));
    EXPECT_FALSE(t.IsConnected);
    t.Disconnect();
    EXPECT_EQ(log.Count("disconnect"), 2);
}

TEST(SockClose, PeerCloseIsSeenOnlyWhenPumped) {
    ScriptedPeer peer;
    peer.Close();
    peer.Start();
    TSockTransport t;
    int disconnects = 0;
    t.OnDisconnect = [&](TSockTransport*) { ++disconnects; };
    ConnectLocal(t, peer.Port());
    ASSERT_TRUE(peer.Finish());
    // The close has reached the socket; only a pump hands it to the object.
    t.Pump().Wait(t.SocketHandle(), POLLRDHUP, t.Now() + 2000ms);
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(disconnects, 0);
    t.Pump().PumpOnce();
    EXPECT_FALSE(t.IsConnected);
    EXPECT_EQ(disconnects, 1);
}

TEST(SockClose, PeerCloseWithDataUnreadKeepsTheConnectionUntilRead) {
    ScriptedPeer peer;
    peer.Send("last words\r\n").Close();
    peer.Start();
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    ConnectLocal(t, peer.Port());
    ASSERT_TRUE(peer.Finish());
    // The close has reached the socket and a pump has seen it.
    t.Pump().Wait(t.SocketHandle(), POLLRDHUP, t.Now() + 2000ms);
    t.Pump().PumpOnce();
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(log.Count("disconnect"), 0);
    std::string line;
    t.ReadLn(line);
    EXPECT_EQ(line, "last words\r\n");
    t.ReadLn(line);
    EXPECT_EQ(line, "");
    t.Disconnect();
    EXPECT_FALSE(t.IsConnected);
    EXPECT_EQ(log.Count("disconnect"), 1);
}

TEST(SockClose, ConnectAfterDisconnectWorksOnTheFreshSocket) {
    ScriptedPeer first;
    first.Expect("one").Close();
    first.Start();
    ScriptedPeer second;
    second.Expect("two").Close();
    second.Start();
    TSockTransport t;
    ConnectLocal(t, first.Port());
    t.Write("one");
    t.Disconnect();
    ConnectLocal(t, second.Port());
    t.Write("two");
    EXPECT_TRUE(first.Finish()) << first.Report();
    EXPECT_TRUE(second.Finish()) << second.Report();
}

TEST(SockClose, DestructionDeliversNoEvents) {
    std::vector<std::string> seen;
    {
        TSockTransport t;
        t.ReportLevel = 8;
        t.OnStatus = [&](TSockTransport*, const std::string& s) { seen.push_back(s); };
        t.OnDisconnect = [&](TSockTransport*) { seen.push_back("disconnect"); };
        seen.clear();
    }
    EXPECT_TRUE(seen.empty());
}

// ------------------------------------------------------------ status reporting

struct LevelRow {
    int32_t level;
    std::vector<std::string> expected;
};

class SockReportLevel : public ::testing::TestWithParam<LevelRow> {};

TEST_P(SockReportLevel, DisconnectReportsTextsUpToTheLevel) {
    TSockTransport t;
    t.ReportLevel = GetParam().level;
    std::vector<std::string> seen;
    t.OnStatus = [&](TSockTransport* sender, const std::string& s) {
        EXPECT_EQ(sender, &t);
        seen.push_back(s);
    };
    t.Disconnect();
    EXPECT_EQ(seen, GetParam().expected);
    if (!seen.empty()) {
        EXPECT_EQ(t.StatusText, seen.back());
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, SockReportLevel,
                         ::testing::Values(LevelRow{0, {}}, LevelRow{3, {}}, LevelRow{-1, {}},
                                           LevelRow{4, {"Request Close Socket"}},
                                           LevelRow{8, {"Disconnecting", "Request Close Socket"}},
                                           LevelRow{255,
                                                    {"Disconnecting", "Request Close Socket"}}));

TEST(SockStatus, HandlerErrorsAreAbsorbed) {
    TSockTransport t;
    t.ReportLevel = 8;
    t.OnStatus = [](TSockTransport*, const std::string&) { throw Exception("display broke"); };
    EXPECT_NO_THROW(t.Disconnect());
    EXPECT_EQ(t.StatusText, "Request Close Socket");
}

TEST(SockStatus, ConnectReportsInOrder) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.ReportLevel = 8;
    std::vector<std::string> seen;
    t.OnStatus = [&](TSockTransport*, const std::string& s) { seen.push_back(s); };
    ConnectLocal(t, peer.Port());
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Connecting", "Resolve Host", "Timer On", "Timer Off"}));
}

// ------------------------------------------------------------ time-out control

TEST(SockTimeOut, NegativeTimeOutFailsWhenArmed) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    t.TimeOut = -5;
    std::string line;
    EXPECT_EQ(SockErrorOf([&] { t.ReadLn(line); }), "TimeOut must not be negative: -5");
}

// ------------------------------------------------------------ accept

TEST(SockAccept, TakesTheOfferedConnection) {
    ListeningTransport t;
    uint16_t port = t.Listen();
    int client = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    int accepted = t.Accept();
    ASSERT_GE(accepted, 0);
    EXPECT_NE(accepted, t.SocketHandle());
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(t.RemoteAddress(), htonl(INADDR_LOOPBACK));
    ASSERT_EQ(send(client, "x", 1, 0), 1);
    char c = 0;
    EXPECT_TRUE(PumpUntil(t.Pump(), [&] { return recv(accepted, &c, 1, MSG_DONTWAIT) == 1; }));
    EXPECT_EQ(c, 'x');
    close(accepted);
    close(client);
}

TEST(SockAccept, CancelledWhileWaiting) {
    VirtualTimePump v;
    ListeningTransport t(v.pump);
    t.Listen();
    v.pump.StartTimer(30, [&] { t.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { t.Accept(); }), "Accepting Canceled");
    EXPECT_TRUE(t.CancelRequested);
    EXPECT_EQ(v.waiter->Waits, 1);
}

TEST(SockAccept, WaitOnASocketThatDoesNotListenDoesNotSpin) {
    VirtualTimePump v;
    TSockTransport t(v.pump);
    v.pump.StartTimer(100, [&] { t.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { t.Accept(); }), "Accepting Canceled");
    // Its unconnected socket reports a hang-up at all times; the wait must not wake on it.
    EXPECT_EQ(v.waiter->Waits, 1);
}
