// Connection lifecycle of the transport against a scripted peer on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventPump.h"
#include "NetTestUtil.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"
#include "TestSystem.h"

using namespace std::chrono_literals;

namespace {
const char kNullAddress[] = "Null Remote Address";

// "on 0" for a socket whose close resets its connection, "off" for an orderly one.
std::string LingerOf(Sys::SocketHandle socket) {
    bool on = false;
    int seconds = 0;
    if (!testsupport::LingerOf(socket, on, seconds)) return "unknown";
    return on ? "on " + std::to_string(seconds) : "off";
}

// A resolver that records the names it is asked for and answers 127.0.0.1, or fails as for
// an unknown name.
THostResolver Recording(Texts& asked, bool answers) {
    return [&asked, answers](const std::string& name, std::vector<uint32_t>& out) {
        asked.push_back(name);
        if (answers) out.push_back(Sys::LoopbackAddress());
        return answers ? 0 : 11001;
    };
}

// A resolver the test holds until it says so. Its state is shared with the worker threads,
// which may outlive the test.
struct GatedResolver {
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool returned = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    THostResolver Make() {
        return [s = state](const std::string&, std::vector<uint32_t>& out) {
            std::unique_lock<std::mutex> lock(s->m);
            s->cv.wait_for(lock, 5s, [&] { return s->open; });
            out.push_back(Sys::LoopbackAddress());
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
    // Blocks until the held lookup has given its answer (at most 5 s).
    bool WaitReturned() {
        std::unique_lock<std::mutex> lock(state->m);
        return state->cv.wait_for(lock, 5s, [&] { return state->returned; });
    }
    ~GatedResolver() { Release(); }
};

// Records what the transport reports, in order, and that it names itself as the sender.
struct EventLog {
    Texts entries;
    void Attach(TSockTransport& t) {
        auto record = [this, &t](const char* what) {
            return [this, &t, what](TSockTransport* sender) {
                EXPECT_EQ(sender, &t) << what;
                entries.push_back(what);
            };
        };
        t.OnConnect = record("connect");
        t.OnDisconnect = record("disconnect");
        t.OnHostResolved = record("resolved");
        t.OnConnectionFailed = record("failed");
    }
};

// A listener whose backlog is full: further connects get no answer at all.
struct SilentListener {
    int32_t error = 0;
    Sys::SocketHandle listening = Sys::OpenStreamSocket(false, error);
    uint16_t port = ScriptedPeer::ListenOnLoopback(listening, 0);
    Sys::SocketHandle filler = ScriptedPeer::ConnectLoopback(port);
    ~SilentListener() {
        for (Sys::SocketHandle s : {filler, listening})
            if (s != Sys::kNoSocket) Sys::CloseSocket(s);
    }
};

// Every socket call fails as when the process has no descriptors left.
Sys::SocketHandle NoDescriptorsLeft(bool, int32_t& error) {
    error = SocketError::kTooManyOpen;
    return Sys::kNoSocket;
}
}  // namespace

TEST(SockLifecycle, NewObjectHoldsAResettingSocketThatDisconnectReplacesWithAnOrderlyOne) {
    auto owned = std::make_unique<TSockTransport>();
    TSockTransport& t = *owned;
    EventLog log;
    log.Attach(t);
    EXPECT_NE(t.SocketHandle(), Sys::kNoSocket);
    EXPECT_FALSE(t.IsConnected);
    EXPECT_EQ(t.TimeOut, 0);
    EXPECT_EQ(t.ReportLevel, 0);
    EXPECT_TRUE(t.Proxy.empty());
    EXPECT_EQ(LingerOf(t.SocketHandle()), "on 0");
    // Without a connection Disconnect still fires; the fresh socket closes in order.
    t.Disconnect();
    EXPECT_EQ(log.entries, Texts{"disconnect"});
    ASSERT_NE(t.SocketHandle(), Sys::kNoSocket);
    EXPECT_EQ(LingerOf(t.SocketHandle()), "off");
    // Destruction delivers no events.
    t.ReportLevel = 8;
    t.OnStatus = [&](TSockTransport*, const std::string& s) { log.entries.push_back(s); };
    owned.reset();
    EXPECT_EQ(log.entries, Texts{"disconnect"});
}

TEST(SockLifecycle, NoSocketFailsConstructionOrAfterACloseIsRetriedByTheNextConnect) {
    TEventPump failing;
    failing.SocketFactory = NoDescriptorsLeft;
    EXPECT_EQ(ErrorOf<ESockError>([&] { TSockTransport t(failing); }),
              "Initializaton of windows sockets failed");
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    t.Pump().SocketFactory = NoDescriptorsLeft;
    t.Disconnect();
    EXPECT_EQ(t.SocketHandle(), Sys::kNoSocket);
    EXPECT_EQ(ErrorOf<ESockError>([&] { ConnectLocal(t, peer.Port()); }),
              "10024:Too many open files");
    t.Pump().SocketFactory = nullptr;
    ConnectLocal(t, peer.Port());
    EXPECT_TRUE(t.IsConnected);
}

// How a row connects: its OnInvalidHost handler (none, or one that declines, grants a retry
// in vain, or puts a usable host in), and its other twists.
enum ConnectHow {
    kHandlerDeclines = 1,
    kHandlerRetries = 2,
    kHandlerFixes = 4,
    kViaProxy = 8,       // Proxy 127.0.0.1 with the peer's port (plus 0x10000)
    kSystemLookup = 16,  // the system's resolver instead of the recording one
    kRefused = 32,       // to a port where nothing listens
    kOnConnectThrows = 64,
};

struct ConnectRow {
    const char* name;
    int how;
    std::string host;
    std::string error{};  // "" = connected to the peer
    Texts asked{};        // the names the resolver was asked for
    Texts events{};
};

class SockConnect : public ::testing::TestWithParam<ConnectRow> {};

// Why the system's own lookup of "localhost" cannot be tested on this machine: the name is
// unknown (a root without /etc/hosts, some minimal containers) or not 127.0.0.1 first, where
// the peer listens. Empty when it can.
std::string SystemLookupOfLocalhostUnusable() {
    std::vector<uint32_t> addresses;
    if (const int error = DefaultHostResolver("localhost", addresses); error != 0)
        return "the system does not resolve \"localhost\" here (socket error " +
               std::to_string(error) + "; no /etc/hosts?)";
    if (addresses.front() != Sys::LoopbackAddress())
        return "the system resolves \"localhost\" to another address than 127.0.0.1 first";
    return std::string();
}

TEST_P(SockConnect, ConnectsOrFailsWithTheText) {
    const ConnectRow& row = GetParam();
    if (row.how & kSystemLookup) {
        if (const std::string why = SystemLookupOfLocalhostUnusable(); !why.empty())
            GTEST_SKIP() << why;
    }
    ScriptedPeer peer;
    peer.Start();
    TSockTransport t;
    EventLog log;
    log.Attach(t);
    Texts asked;
    if (!(row.how & kSystemLookup)) t.Pump().HostResolver = Recording(asked, row.error.empty());
    const bool hasHandler = row.how & (kHandlerDeclines | kHandlerRetries | kHandlerFixes);
    int handlerCalls = 0;
    if (hasHandler) {
        t.OnInvalidHost = [&](bool& handled) {
            ++handlerCalls;
            if (row.how & kHandlerFixes) t.Host = "127.0.0.1";
            handled = !(row.how & kHandlerDeclines);
        };
    }
    if (row.how & kOnConnectThrows) {
        t.OnConnect = [&](TSockTransport*) {
            log.entries.push_back("connect");
            throw Exception("handler broke");
        };
    }
    t.Host = row.host;
    t.Port = row.how & kRefused ? ScriptedPeer::UnusedPort() : peer.Port();
    if (row.how & kViaProxy) {
        t.Proxy = "127.0.0.1";
        t.ProxyPort = 0x10000 + t.Port;  // only the low 16 bits count
        t.Port = 1;
    }
    t.TimeOut = 3000;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf<ESockError>([&] { t.Connect(); }), row.error);
    EXPECT_LT(MillisSince(start), 1000.0);
    EXPECT_EQ(t.IsConnected, row.error.empty());
    EXPECT_EQ(t.LastEventOk, row.error.empty());
    EXPECT_FALSE(t.TimedOut);
    EXPECT_EQ(asked, row.asked);
    EXPECT_EQ(log.entries, row.events);
    EXPECT_EQ(handlerCalls, hasHandler ? 1 : 0);
    if (row.error.empty()) {
        EXPECT_EQ(t.RemoteAddress(), Sys::LoopbackAddress());
        EXPECT_EQ(t.RemotePort(), Sys::HostToNetwork(peer.Port()));
        EXPECT_TRUE(PumpUntil(t.Pump(), [&] { return peer.Accepted(); }));
    }
}

const char kName[] = "recorder.example";
const char kAllOnes[] = "255.255.255.255";

const ConnectRow kSockConnectRows[] = {
    {"DottedAddressWithoutLookup", 0, "127.0.0.1", "", {}, {"connect"}},
    {"NameIsLookedUpAndReported", 0, kName, "", {kName}, {"resolved", "connect"}},
    {"SystemLookupOfLocalhost", kSystemLookup, "localhost", "", {}, {"resolved", "connect"}},
    {"ProxyIsUsedAndHostNeverResolved", kViaProxy, kName, "", {}, {"connect"}},
    {"HostEndsAtItsFirstNul", 0, std::string("127.0.0.1\0junk", 14), "", {}, {"connect"}},
    {"InvalidHostFixedByItsHandler", kHandlerFixes, "0.0.0.0", "", {}, {"connect"}},
    {"ErrorInOnConnectIsAbsorbed", kOnConnectThrows, "127.0.0.1", "", {}, {"connect"}},
    {"AllOnesAddressIsLookedUpAsAName", 0, kAllOnes, kNullAddress, {kAllOnes}},
    {"ZeroAddress", 0, "0.0.0.0", kNullAddress},
    {"FailedLookup", 0, "no.such.host", kNullAddress, {"no.such.host"}},
    {"InvalidHostHandlerDeclines", kHandlerDeclines, "0.0.0.0", kNullAddress},
    {"InvalidHostHandlerRetriesInVain", kHandlerRetries, "0.0.0.0", kNullAddress},
    {"RefusedAfterOnConnectionFailed", kRefused, "127.0.0.1", "Connection Failed", {}, {"failed"}}};

INSTANTIATE_TEST_SUITE_P(Rows, SockConnect, ::testing::ValuesIn(kSockConnectRows), kRowName);

TEST(SockLifecycle, ConnectReportsInOrderFailsWhileConnectedAndWorksAgainAfterDisconnect) {
    ScriptedPeer first;
    first.Expect("one").Close();
    first.Start();
    ScriptedPeer second;
    second.Expect("two").Close();
    second.Start();
    TSockTransport t;
    t.ReportLevel = 8;
    Texts seen;
    t.OnStatus = [&](TSockTransport*, const std::string& s) { seen.push_back(s); };
    ConnectLocal(t, first.Port());
    ASSERT_TRUE(first.WaitUntilAccepted());
    EXPECT_EQ(seen, (Texts{"Connecting", "Resolve Host", "Timer On", "Timer Off"}));
    EXPECT_EQ(ErrorOf<ESockError>([&] { t.Connect(); }), "Already connected");
    EXPECT_TRUE(t.IsConnected);  // the connection is left alone
    t.Write("one");
    t.Disconnect();
    ConnectLocal(t, second.Port());
    t.Write("two");
    EXPECT_TRUE(first.Finish()) << first.Report();
    EXPECT_TRUE(second.Finish()) << second.Report();
}

enum class Awaited { Connect, Lookup, Accept, AcceptNotListening };

struct WaitRow {
    const char* name;
    Awaited what;
    int32_t timeOut;  // 0: a window event cancels 30 ms in
    std::string error;
    Texts events{};
};

class SockWait : public ::testing::TestWithParam<WaitRow> {};

// Each wait sleeps once, until the deadline or the window event, on a clock the test drives.
TEST_P(SockWait, EndsByTheTimeOutOrTheCancel) {
    const WaitRow& row = GetParam();
    GatedResolver gate;
    SilentListener silent;
    VirtualTimePump v;
    v.pump.HostResolver = gate.Make();
    TSockTransport t(v.pump);
    EventLog log;
    log.Attach(t);
    t.Host = row.what == Awaited::Lookup ? "slow.example" : "127.0.0.1";
    t.Port = silent.port;
    t.TimeOut = row.timeOut;
    if (row.timeOut == 0) v.pump.StartTimer(30, [&] { t.Cancel(); });
    if (row.what == Awaited::Accept) ScriptedPeer::ListenOnLoopback(t.SocketHandle(), 4);
    const auto start = v.clock.now;
    const bool accepting = row.what == Awaited::Accept || row.what == Awaited::AcceptNotListening;
    EXPECT_EQ(ErrorOf<ESockError>([&] { accepting ? (void)t.Accept() : t.Connect(); }), row.error);
    EXPECT_EQ(v.clock.now - start, std::chrono::milliseconds(row.timeOut ? row.timeOut : 30));
    // One sleep, no polling in between; an unconnected socket that reports a hang-up at all
    // times must not wake it either.
    EXPECT_EQ(v.waiter->Waits, 1);
    EXPECT_EQ(t.TimedOut, row.timeOut > 0);
    EXPECT_TRUE(t.CancelRequested);  // left set; the next Connect clears it
    EXPECT_EQ(log.entries, row.events);
    if (row.what == Awaited::Lookup) {
        // The abandoned lookup finishes later; its answer must not reach the object. The wait
        // ends on the worker's wake-up, after which a pump would deliver an answer still wanted.
        t.EventArrived = false;
        gate.Release();
        ASSERT_TRUE(gate.WaitReturned());
        v.pump.Wait(Sys::kNoSocket, 0);
        v.pump.PumpOnce();
        EXPECT_FALSE(t.EventArrived);
        EXPECT_EQ(log.entries, row.events);
    }
}

const WaitRow kSockWaitRows[] = {
    {"ConnectUnansweredTimesOut", Awaited::Connect, 10000, "Connection Timed out", {"failed"}},
    {"ConnectCancelled", Awaited::Connect, 0, "Connection Canceled", {"failed"}},
    {"LookupTimesOut", Awaited::Lookup, 10000, "Host Lookup Timed Out"},
    {"LookupCancelled", Awaited::Lookup, 0, "Host Lookup Canceled"},
    {"AcceptCancelled", Awaited::Accept, 0, "Accepting Canceled"},
    {"AcceptOnASocketThatDoesNotListenCancelled", Awaited::AcceptNotListening, 0,
     "Accepting Canceled"}};

INSTANTIATE_TEST_SUITE_P(Rows, SockWait, ::testing::ValuesIn(kSockWaitRows), kRowName);

TEST(SockLookup, NextLookupAfterATimeOutUsesItsOwnAnswerAndTheOldOneMayOutliveAll) {
    GatedResolver gate;
    {
        ScriptedPeer peer;
        peer.Start();
        VirtualTimePump v;
        TSockTransport t(v.pump);
        t.Host = "slow.example";
        t.Port = peer.Port();
        t.Pump().HostResolver = gate.Make();
        t.TimeOut = 10000;
        EXPECT_EQ(ErrorOf<ESockError>([&] { t.Connect(); }), "Host Lookup Timed Out");
        Texts asked;
        t.Pump().HostResolver = Recording(asked, true);
        // From here the answers come in real time; the clock stands still.
        v.waiter->MayJump = [] { return false; };
        const auto before = v.clock.now;
        t.Connect();
        EXPECT_EQ(v.clock.now, before);
        EXPECT_TRUE(t.IsConnected);
        EXPECT_EQ(asked, Texts{"slow.example"});
    }
    // The first worker finishes after its object and pump are gone, into state it shares.
    gate.Release();
    EXPECT_TRUE(gate.WaitReturned());
}

// A close reaches the object only in a pump, and only once nothing is left unread; reading
// on after it (the socket replaced) finds the end of the data.
TEST(SockClose, PeerCloseIsSeenWhenPumpedOnceNothingIsUnread) {
    for (const std::string unread : {"", "last words\r\n"}) {
        SCOPED_TRACE(unread);
        ScriptedPeer peer;
        peer.Send(unread).Close();
        peer.Start();
        TSockTransport t;
        EventLog log;
        log.Attach(t);
        ConnectLocal(t, peer.Port());
        ASSERT_TRUE(peer.Finish());
        t.Pump().Wait(t.SocketHandle(), Sys::kPeerClosed, t.Now() + 2000ms);
        EXPECT_TRUE(t.IsConnected);
        Texts events = {"connect"};
        EXPECT_EQ(log.entries, events);
        t.Pump().PumpOnce();
        EXPECT_EQ(t.IsConnected, !unread.empty());
        if (unread.empty()) events.push_back("disconnect");
        EXPECT_EQ(log.entries, events);
        std::string line = "junk";
        t.ReadLn(line);
        EXPECT_EQ(line, unread);
        t.ReadLn(line);
        EXPECT_EQ(line, "");
        std::string text = "junk";
        t.CaptureString(text, -1);
        EXPECT_EQ(text, "");
        t.Disconnect();  // fires (again)
        EXPECT_FALSE(t.IsConnected);
        events.push_back("disconnect");
        EXPECT_EQ(log.entries, events);
    }
}

// Disconnect reports its texts up to the level; errors of the handler are absorbed.
TEST(SockStatus, DisconnectReportsTextsUpToTheLevel) {
    const Texts both = {"Disconnecting", "Request Close Socket"};
    struct Row {
        int32_t level;
        Texts expected;
        bool handlerThrows = false;
    };
    for (const Row& row : {Row{0, {}}, Row{3, {}}, Row{-1, {}}, Row{4, {"Request Close Socket"}},
                           Row{8, both}, Row{255, both}, Row{8, both, true}}) {
        SCOPED_TRACE(row.level);
        TSockTransport t;
        t.ReportLevel = row.level;
        Texts seen;
        t.OnStatus = [&](TSockTransport* sender, const std::string& s) {
            EXPECT_EQ(sender, &t);
            seen.push_back(s);
            if (row.handlerThrows) throw Exception("display broke");
        };
        EXPECT_NO_THROW(t.Disconnect());
        EXPECT_EQ(seen, row.expected);
        EXPECT_EQ(t.StatusText, seen.empty() ? "" : seen.back());
    }
}

TEST(SockAccept, TakesTheOfferedConnection) {
    TSockTransport t;  // its own socket listens
    const Sys::SocketHandle client =
        ScriptedPeer::ConnectLoopback(ScriptedPeer::ListenOnLoopback(t.SocketHandle(), 4));
    ASSERT_NE(client, Sys::kNoSocket);
    const Sys::SocketHandle accepted = t.Accept();
    ASSERT_NE(accepted, Sys::kNoSocket);
    EXPECT_NE(accepted, t.SocketHandle());
    EXPECT_TRUE(t.IsConnected);
    EXPECT_EQ(t.RemoteAddress(), Sys::LoopbackAddress());
    int32_t error = 0;
    ASSERT_EQ(Sys::Send(client, "x", 1, error), 1);
    char c = 0;
    EXPECT_TRUE(
        PumpUntil(t.Pump(), [&] { return Sys::Receive(accepted, &c, 1, false, error) == 1; }));
    EXPECT_EQ(c, 'x');
    Sys::CloseSocket(accepted);
    Sys::CloseSocket(client);
}
