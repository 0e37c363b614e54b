// A misbehaving recorder for the fault tests: a server on 127.0.0.1 that answers every
// request like the recorder simulator behind it (it relays the request there and the answer
// back), except for the targets given a fault, where it misbehaves the way a broken
// recorder, a flaky network or an overloaded device would. Without a simulator behind it,
// every normal request gets a fixed page.
//
// Each connection is served on its own thread; the destructor ends every one of them, so no
// test can hang on a connection the client left open.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "SysSocket.h"

enum class Misbehaviour {
    None,
    ResetInBody,          // the status, the header and half the body, then a reset (RST)
    GarbageStatus,        // a status line that is no status line, then a page
    EmptyStatusLine,      // a first line that is empty (CR LF alone), then a page
    NoAnswer,             // the request read, the connection closed without a byte
    HugeBody,             // status 200 and a body of HugeBodySize bytes, then a close
    HugeLineFeeds,        // as HugeBody, the body all bare line feeds (one empty line each)
    NoLengthNoClose,      // the answer without a length, then the connection kept open
    OneBytePerSecond,     // the answer one byte at a time, TrickleGapMs apart
    CloseDuringPostBody,  // the header and a few bytes of the body read, then a close
    StopReadingBody,      // the header and a few bytes of the body read, then silence
    AcceptNoAnswer,       // the request read, then silence until the client gives up
    EndlessHeader,        // a status line, then header lines without end at full speed
    EndlessBody,          // status 200, a header, then a body without end at full speed
    HugeLengthBody,       // as EndlessBody, announcing a length of 2 GB
    PoisonedCookie,       // a redirection to the same page carrying a cookie with a bare CR
    RedirectElsewhere,    // a redirection to the same page on RedirectPort
    SegmentWithoutSlash,  // a list frame page whose segment is 1 MB without any "/"
    HugeEntryAnswer,      // an entry answer whose message is HugeMessage()
};

class FaultyRecorder {
  public:
    // upstreamPort: the simulator behind; 0 = none (normal requests get FixedPage).
    explicit FaultyRecorder(int upstreamPort = 0) : upstreamPort_(upstreamPort) {}
    ~FaultyRecorder();  // stops

    // The page answered to normal requests when there is no simulator behind.
    std::string FixedPage = "<HTML><BODY>fixed page</BODY></HTML>\r\n";
    size_t HugeBodySize = 100u * 1024u * 1024u;
    int TrickleGapMs = 1000;
    // Where RedirectElsewhere sends the client (another server on 127.0.0.1).
    int RedirectPort = 0;

    void Start();
    int Port() const { return port_; }

    // target: path and query as requested ("/setup/setup.htm"), or "*" for every request.
    // times > 0: only the next `times` requests of the target misbehave.
    void SetFault(const std::string& target, Misbehaviour what, int times = -1);
    // Requests of that target seen so far, misbehaved or not.
    int Hits(const std::string& target) const;
    // The header of every request received, in order.
    std::vector<std::string> Requests() const;
    // Bytes of request bodies received on connections that misbehaved mid-body.
    size_t PartialBodyBytes() const { return partialBody_; }
    // 1 MB of "あ": the message HugeEntryAnswer answers with.
    static std::string HugeMessage() {
        std::string text;
        for (int i = 0; i < (1 << 19); ++i) text += "\x82\xa0";
        return text;
    }
    // The bytes of the body HugeBody sends, from offset on.
    static std::string HugePattern(size_t offset, size_t count);

  private:
    struct Rule {
        Misbehaviour what = Misbehaviour::None;
        int times = -1;
    };
    void AcceptLoop();
    void Serve(Sys::SocketHandle fd);
    Misbehaviour TakeFault(const std::string& target);
    // The simulator's answer to the request, or FixedPage as an answer.
    std::string NormalAnswer(const std::string& request);
    // Waits until fd is readable, the stop flag is raised or ms pass; true when readable.
    bool WaitReadable(Sys::SocketHandle fd, int ms) const;
    // Appends what one receive brings once fd is readable within ms; false at a close.
    bool Read(Sys::SocketHandle fd, std::string& into, int ms) const;
    bool Send(Sys::SocketHandle fd, std::string_view bytes) const;
    // Waits (bounded by the destructor) until the client closes.
    void WaitForClientClose(Sys::SocketHandle fd) const;

    int upstreamPort_;
    Sys::SocketHandle listenFd_ = Sys::kNoSocket;
    int port_ = 0;
    Sys::WakeUp stop_;
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> partialBody_{0};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::map<std::string, Rule> rules_;
    std::map<std::string, int> hits_;
    std::vector<std::string> requests_;
};
