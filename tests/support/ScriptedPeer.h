// A scripted TCP peer for tests: listens on 127.0.0.1 (ephemeral port), accepts one
// connection on its own thread and plays a script of steps. Everything it receives is
// recorded. Every wait is bounded (StepTimeout), so a broken client fails a test instead of
// hanging it.
//
//   ScriptedPeer peer;
//   peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nbody", 3).Close();
//   peer.Start();
//   ... client connects to 127.0.0.1:peer.Port() ...
//   EXPECT_TRUE(peer.Finish()) << peer.Report();
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SysSocket.h"

class ScriptedPeer {
  public:
    struct Options {
        // SO_RCVBUF of the accepted socket (0 = system default). A small receive buffer makes
        // a peer that stops reading fill up quickly.
        int receiveBuffer = 0;
        // Bound on each waiting step (expect, receive, wait for close, accept).
        std::chrono::milliseconds stepTimeout{5000};
    };

    ScriptedPeer();
    explicit ScriptedPeer(Options options);
    // Ends the script (closing the connection) and joins the thread.
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    uint16_t Port() const { return port_; }

    // --- script steps, added before Start ---
    // Receive exactly bytes.size() bytes and require them to equal bytes.
    ScriptedPeer& Expect(std::string bytes) {
        const size_t count = bytes.size();
        return Add(Step::Expect, std::move(bytes), count);
    }
    // Receive until marker has arrived (everything up to and including it is consumed).
    ScriptedPeer& ExpectUntil(std::string marker) {
        return Add(Step::ExpectUntil, std::move(marker));
    }
    // Receive exactly count bytes, whatever they are.
    ScriptedPeer& Receive(size_t count) { return Add(Step::Expect, {}, count); }
    // Send bytes, in pieces of pieceSize (0 = at once) with gap between pieces.
    ScriptedPeer& Send(std::string bytes, size_t pieceSize = 0,
                       std::chrono::milliseconds gap = std::chrono::milliseconds(0)) {
        return Add(Step::Send, std::move(bytes), pieceSize, gap);
    }
    // Send count bytes of a repeating pattern (for large bodies) as fast as the client reads;
    // made here, before Start, so no time is lost making them.
    ScriptedPeer& SendPattern(size_t count) { return Send(Pattern(0, count)); }
    ScriptedPeer& Pause(std::chrono::milliseconds duration) {
        return Add(Step::Pause, {}, 0, duration);
    }
    // Orderly close (FIN).
    ScriptedPeer& Close() { return Add(Step::Close); }
    // Abortive close (SO_LINGER 0: RST).
    ScriptedPeer& Reset() { return Add(Step::Reset); }
    // Stop reading: the script idles (without receiving) for duration, then goes on.
    ScriptedPeer& StopReading(std::chrono::milliseconds duration) { return Pause(duration); }
    // Receive (and record) until the client closes; a time-out is a failure.
    ScriptedPeer& ReceiveUntilClose() { return Add(Step::ReceiveUntilClose); }
    // Run a callback on the peer thread (e.g. to signal the test).
    ScriptedPeer& Call(std::function<void()> action) {
        return Add(Step::Call, {}, 0, {}, std::move(action));
    }

    // Starts the thread: accept one connection, then play the steps.
    void Start();
    // Waits (at most timeout) for the script to end; true when it ran without failure.
    bool Finish(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // Everything received so far.
    std::string Received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // One text for a test's failure message: the failures met (mismatch, time-out, socket
    // error) and the received bytes.
    std::string Report() const;
    // Whether a connection was accepted.
    bool Accepted() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return accepted_;
    }
    // Waits (at most timeout) until the peer has taken its connection. A client that sends
    // and resets at once needs it on Windows, which drops a connection reset before it was
    // taken (Linux still hands it over with its bytes).
    bool WaitUntilAccepted(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // For a peer started without a script, which no one should have reached: connects to it
    // and waits (bounded) until it has taken a connection. True when that was this one. The
    // listener hands out connections in the order they came, so one that came before (the
    // client's) is taken first, however late anyone looks.
    bool NoEarlierConnection();

    // A port on 127.0.0.1 where nothing listens (bound once, then released).
    static uint16_t UnusedPort();
    // The bytes SendPattern sends, from offset on (a repeating, position-dependent pattern).
    static std::string Pattern(size_t offset, size_t count);
    // Binds socket to an ephemeral port of 127.0.0.1, listens (backlog) and returns the port;
    // throws when it cannot.
    static uint16_t ListenOnLoopback(Sys::SocketHandle socket, int backlog);
    // A new (non-blocking) socket connected to 127.0.0.1:port; Sys::kNoSocket when the
    // connect is refused or not done within timeoutMs.
    static Sys::SocketHandle ConnectLoopback(uint16_t port, int timeoutMs = 5000);

  private:
    struct Step {
        enum Kind { Expect, ExpectUntil, Send, Pause, Close, Reset, ReceiveUntilClose, Call };
        Kind kind;
        std::string bytes;
        size_t count = 0;  // bytes to expect, or the piece size of a send
        std::chrono::milliseconds duration{0};
        std::function<void()> action;
    };

    ScriptedPeer& Add(Step::Kind kind, std::string bytes = {}, size_t count = 0,
                      std::chrono::milliseconds duration = {}, std::function<void()> action = {}) {
        steps_.push_back({kind, std::move(bytes), count, duration, std::move(action)});
        return *this;
    }
    void Run();
    bool RunStep(const Step& step);
    // Receives into the record; returns bytes received, 0 at close, -1 on error or time-out.
    long ReceiveSome(std::chrono::steady_clock::time_point deadline);
    bool SendAll(const char* data, size_t size);
    void Fail(const std::string& what);

    Options options_;
    Sys::SocketHandle listenFd_ = Sys::kNoSocket;
    Sys::SocketHandle connFd_ = Sys::kNoSocket;
    uint16_t port_ = 0;
    Sys::WakeUp stop_;  // wakes the thread when the peer is destroyed
    std::vector<Step> steps_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable doneCv_;
    bool done_ = false;
    bool accepted_ = false;
    uint16_t acceptedFromPort_ = 0;  // the port the accepted connection came from
    std::string received_;
    size_t consumed_ = 0;  // received_ bytes already matched by Expect steps
    std::vector<std::string> failures_;
};

namespace testsupport {

// What a raw client got from a server on 127.0.0.1 for the bytes it sent.
struct RawExchange {
    bool connected = false;
    bool reset = false;     // the connection ended with a reset
    bool timedOut = false;  // the server neither answered nor closed in time
    std::string bytes;      // everything received
};
// Connects to 127.0.0.1:port, sends request and receives until the server closes, within
// timeoutMs in all; independent of the program's own transport.
RawExchange ExchangeOnLoopback(uint16_t port, const std::string& request, int timeoutMs);

// The body of an HTTP/1.0 GET of target from 127.0.0.1:port, read until the server closes
// (within 10 s); independent of the program's own client.
std::string RawGet(int port, const std::string& target,
                   const std::string& authorization = std::string());

}  // namespace testsupport
