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
        std::atomic<int> calls{0};
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    THostResolver Make() {
        return [s = state](const std::string&, std::vector<uint32_t>& out) {
            ++s->calls;
            std::unique_lock<std::mutex> lock(s->m);
            s->cv.wait_for(lock, 5s, [&] { return s->open; });
            out.push_back(htonl(INADDR_LOOPBACK));
            return 0;
        };
    }
    void Release() {
        std::lock_guard<std::mutex> lock(state->m);
        state->open = true;
        state->cv.notify_all();
    }
    int Calls() const { return state->calls.load(); }
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

TEST(SockLifecycle, TwoObjectsShareOneSocketLibraryStartUp) {
    int32_t users = SocketUserCount();
    ASSERT_EQ(users, 0) << "another test leaked a transport";
    int32_t starts = SocketLibraryStartCount();
    auto first = std::make_unique<TSockTransport>();
    EXPECT_TRUE(SocketLibraryStarted());
    auto second = std::make_unique<TSockTransport>();
    EXPECT_EQ(SocketUserCount(), 2);
    EXPECT_EQ(SocketLibraryStartCount(), starts + 1);
    first.reset();
    EXPECT_EQ(SocketUserCount(), 1);
    EXPECT_TRUE(SocketLibraryStarted());
    second.reset();
    EXPECT_EQ(SocketUserCount(), 0);
    EXPECT_FALSE(SocketLibraryStarted());
}

namespace {
// Makes every socket call fail as when the process has no descriptors left.
class ScopedFailingSockets {
  public:
    ScopedFailingSockets()
        : previous_(SetSocketFactory([](int, int, int) {
              errno = EMFILE;
              return -1;
          })) {}
    ~ScopedFailingSockets() { SetSocketFactory(previous_); }

  private:
    TSocketFactory previous_;
};
}  // namespace

TEST(SockLifecycle, NoSocketAtStartUpFailsConstructionAndIsNotCounted) {
    ASSERT_EQ(SocketUserCount(), 0);
    ScopedFailingSockets failing;
    std::string message;
    try {
        TSockTransport t;
    } catch (const ESockError& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Initializaton of windows sockets failed");
    EXPECT_EQ(SocketUserCount(), 0);
    EXPECT_FALSE(SocketLibraryStarted());
}

TEST(SockLifecycle, NoFreshSocketAfterCloseIsRetriedByTheNextConnect) {
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    {
        ScopedFailingSockets failing;
        t.Disconnect();
        EXPECT_EQ(t.SocketHandle(), -1);
        t.Host = "127.0.0.1";
        t.Port = peer.Port();
        EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "10024:Too many open files");
    }
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
    ScopedResolver resolver([&](const std::string&, std::vector<uint32_t>&) {
        ++calls;
        return 11001;
    });
    ConnectLocal(t, peer.Port());
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"connect"}));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(t.RemoteAddress(), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(t.RemotePort(), htons(peer.Port()));
    EXPECT_TRUE(t.LastEventOk);
    EXPECT_TRUE(PumpUntil([&] { return peer.Accepted(); }));
}

TEST(SockLifecycle, NameIsLookedUpAndReported) {
    ScriptedPeer peer;
    peer.Start();
    std::vector<std::string> asked;
    ScopedResolver resolver([&](const std::string& name, std::vector<uint32_t>& out) {
        asked.push_back(name);
        out.push_back(htonl(INADDR_LOOPBACK));
        return 0;
    });
    TSockTransport t;
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
    ScopedResolver resolver([&](const std::string&, std::vector<uint32_t>&) {
        ++calls;
        return 11001;
    });
    TSockTransport t;
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
    ScopedResolver resolver([&](const std::string& name, std::vector<uint32_t>&) {
        asked.push_back(name);
        return 11001;
    });
    TSockTransport t;
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
    ScopedResolver resolver([](const std::string&, std::vector<uint32_t>&) { return 11001; });
    TSockTransport t;
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

TEST(SockLifecycle, ConnectWithoutAnswerTimesOut) {
    SilentListener silent;
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuMillis();
    EXPECT_EQ(SockErrorOf([&] { ConnectLocal(t, silent.port, 150); }), "Connection Timed out");
    double ms = MillisSince(start);
    EXPECT_GE(ms, 140.0);
    EXPECT_LT(ms, 600.0);
    EXPECT_LT(CpuMillis() - cpuStart, ms * 0.3);  // no spinning while waiting
    EXPECT_TRUE(t.TimedOut);
    EXPECT_TRUE(t.CancelRequested);  // left set; the next Connect clears it
    EXPECT_EQ(log.entries, (std::vector<std::string>{"failed"}));
}

TEST(SockLifecycle, ConnectCancelledFromThePump) {
    SilentListener silent;
    TSockTransport t;
    int pumps = 0;
    ScopedPumpHook hook([&] {
        if (++pumps == 5) t.Cancel();
    });
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

TEST(SockLookup, LookupTimesOutAndItsLateAnswerIsDropped) {
    GatedResolver gate;
    ScopedResolver resolver(gate.Make());
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    t.Host = "slow.example";
    t.TimeOut = 100;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuMillis();
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Timed Out");
    double ms = MillisSince(start);
    double cpuMs = CpuMillis() - cpuStart;
    EXPECT_GE(ms, 95.0);
    EXPECT_LT(ms, 600.0);
    // The wait blocks between pumps instead of spinning.
    EXPECT_LT(cpuMs, ms * 0.3);
    EXPECT_TRUE(t.TimedOut);
    EXPECT_EQ(log.Count("failed"), 0);
    // The abandoned lookup finishes later; its answer must not reach the object.
    t.EventArrived = false;
    gate.Release();
    PumpFor(50);
    EXPECT_FALSE(t.EventArrived);
    EXPECT_EQ(log.Count("resolved"), 0);
}

TEST(SockLookup, LookupCancelledFromThePump) {
    GatedResolver gate;
    ScopedResolver resolver(gate.Make());
    TSockTransport t;
    t.Host = "slow.example";
    t.TimeOut = 0;
    int pumps = 0;
    ScopedPumpHook hook([&] {
        if (++pumps == 3) t.Cancel();
    });
    EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Canceled");
    gate.Release();
}

TEST(SockLookup, ObjectDestroyedWhileItsLookupRunsIsSafe) {
    GatedResolver gate;
    ScopedResolver resolver(gate.Make());
    {
        auto t = std::make_unique<TSockTransport>();
        t->Host = "slow.example";
        t->TimeOut = 30;
        EXPECT_EQ(SockErrorOf([&] { t->Connect(); }), "Host Lookup Timed Out");
    }
    // The worker finishes after its object is gone; the pump drops the answer.
    gate.Release();
    EXPECT_TRUE(PumpUntil([&] { return gate.Calls() == 1; }));
    PumpFor(30);
}

TEST(SockLookup, NextLookupAfterATimeOutUsesItsOwnAnswer) {
    GatedResolver gate;
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Host = "slow.example";
    t.Port = peer.Port();
    {
        ScopedResolver resolver(gate.Make());
        t.TimeOut = 50;
        EXPECT_EQ(SockErrorOf([&] { t.Connect(); }), "Host Lookup Timed Out");
    }
    ScopedResolver fast([](const std::string&, std::vector<uint32_t>& out) {
        out.push_back(htonl(INADDR_LOOPBACK));
        return 0;
    });
    t.TimeOut = 2000;
    t.Connect();
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
    EXPECT_TRUE(PumpUntil([&] { return log.Count("disconnect") == 1; }));
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
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(disconnects, 0);
    PumpOnce();
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
    PumpFor(30);
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
    EXPECT_TRUE(PumpUntil([&] { return recv(accepted, &c, 1, MSG_DONTWAIT) == 1; }));
    EXPECT_EQ(c, 'x');
    close(accepted);
    close(client);
}

TEST(SockAccept, CancelledWhileWaiting) {
    ListeningTransport t;
    t.Listen();
    int pumps = 0;
    ScopedPumpHook hook([&] {
        if (++pumps == 3) t.Cancel();
    });
    EXPECT_EQ(SockErrorOf([&] { t.Accept(); }), "Accepting Canceled");
    EXPECT_TRUE(t.CancelRequested);
}

TEST(SockAccept, WaitOnASocketThatDoesNotListenDoesNotSpin) {
    TSockTransport t;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuMillis();
    ScopedPumpHook hook([&] {
        if (MillisSince(start) > 100.0) t.Cancel();
    });
    EXPECT_EQ(SockErrorOf([&] { t.Accept(); }), "Accepting Canceled");
    EXPECT_LT(CpuMillis() - cpuStart, MillisSince(start) * 0.3);
}
