#include "FaultyRecorder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "ScriptedPeer.h"

namespace {

// A client silent this long in the middle of its request is dropped.
constexpr int kRequestWaitMs = 5000;
// The longest a connection is kept without reading from it.
constexpr int kSilenceMs = 20000;
const std::string kOkHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
const std::string kPage = "<HTML><BODY>page</BODY></HTML>\r\n";

std::string RequestTarget(const std::string& request) {
    const size_t sp1 = request.find(' ');
    if (sp1 == std::string::npos) return std::string();
    const size_t sp2 = request.find(' ', sp1 + 1);
    std::string target = request.substr(sp1 + 1, sp2 == std::string::npos ? sp2 : sp2 - sp1 - 1);
    // Through a proxy the target is the absolute URL.
    if (target.rfind("http://", 0) == 0) {
        const size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    return target;
}

size_t ContentLength(const std::string& header) {
    const std::string name = "content-length:";
    auto named = [&](size_t line) {
        for (size_t i = 0; i < name.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(header[line + i])) != name[i]) return false;
        return true;
    };
    for (size_t at = header.find("\r\n"); at != std::string::npos; at = header.find("\r\n", at + 2))
        if (header.size() - at - 2 >= name.size() && named(at + 2))
            return std::strtoul(header.c_str() + at + 17, nullptr, 10);
    return 0;
}

std::string WithLength(const std::string& page) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page;
}

}  // namespace

void FaultyRecorder::Start() {
    int32_t error = 0;
    if (stop_.WaitHandle() == Sys::kNoSocket) throw std::runtime_error("wake-up failed");
    listenFd_ = Sys::OpenStreamSocket(false, error);
    if (listenFd_ == Sys::kNoSocket) throw std::runtime_error("socket failed");
    port_ = ScriptedPeer::ListenOnLoopback(listenFd_, 16);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

FaultyRecorder::~FaultyRecorder() {
    if (listenFd_ == Sys::kNoSocket) return;
    stopping_ = true;
    stop_.Signal();
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& t : workers) t.join();
    Sys::CloseSocket(listenFd_);
}

void FaultyRecorder::SetFault(const std::string& target, Misbehaviour what, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_[target] = Rule{what, times};
}

int FaultyRecorder::Hits(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = hits_.find(target);
    return it == hits_.end() ? 0 : it->second;
}

std::vector<std::string> FaultyRecorder::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::string FaultyRecorder::HugePattern(size_t offset, size_t count) {
    // Lines of 64 bytes: a printable, position-dependent text ending in CR LF.
    std::string out;
    out.reserve(count);
    for (size_t i = offset; i < offset + count; ++i) {
        const size_t col = i % 64;
        out += col == 62 ? '\r' : col == 63 ? '\n' : static_cast<char>('A' + (i / 64 + col) % 26);
    }
    return out;
}

Misbehaviour FaultyRecorder::TakeFault(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++hits_[target];
    for (const std::string& key : {target, std::string("*")}) {
        auto it = rules_.find(key);
        if (it == rules_.end() || it->second.what == Misbehaviour::None || it->second.times == 0)
            continue;
        if (it->second.times > 0) --it->second.times;
        return it->second.what;
    }
    return Misbehaviour::None;
}

bool FaultyRecorder::WaitReadable(Sys::SocketHandle fd, int ms) const {
    Sys::PollEntry entries[2] = {{fd, Sys::kReadable, 0}, {stop_.WaitHandle(), Sys::kReadable, 0}};
    if (Sys::Poll(entries, 2, ms) <= 0) return false;
    return entries[1].revents == 0 &&
           (entries[0].revents & (Sys::kReadable | Sys::kHangUp | Sys::kError));
}

bool FaultyRecorder::Send(Sys::SocketHandle fd, std::string_view bytes) const {
    while (!bytes.empty()) {
        if (stopping_) return false;
        Sys::PollEntry entries[2] = {{fd, Sys::kWritable, 0},
                                     {stop_.WaitHandle(), Sys::kReadable, 0}};
        if (Sys::Poll(entries, 2, 1000) <= 0 || entries[1].revents != 0) continue;
        int32_t error = 0;
        const long long n = Sys::Send(fd, bytes.data(), bytes.size(), error);
        if (n < 0 && error == SocketError::kWouldBlock) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool FaultyRecorder::Read(Sys::SocketHandle fd, std::string& into, int ms) const {
    char buf[65536];
    for (;;) {
        if (!WaitReadable(fd, ms)) return false;
        int32_t error = 0;
        const long long n = Sys::Receive(fd, buf, sizeof buf, false, error);
        if (n < 0 && error == SocketError::kWouldBlock) continue;
        if (n > 0) into.append(buf, static_cast<size_t>(n));
        return n > 0;
    }
}

void FaultyRecorder::WaitForClientClose(Sys::SocketHandle fd) const {
    while (!stopping_) {
        std::string ignored;
        if (WaitReadable(fd, 1000) && !Read(fd, ignored, 0)) return;
    }
}

void FaultyRecorder::AcceptLoop() {
    while (!stopping_) {
        if (!WaitReadable(listenFd_, 1000)) continue;
        uint32_t address = 0;
        uint16_t port = 0;
        int32_t error = 0;
        // Non-blocking, so that a send to a client that stopped reading never outlasts a stop.
        const Sys::SocketHandle fd = Sys::Accept(listenFd_, true, address, port, error);
        if (fd == Sys::kNoSocket) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        workers_.emplace_back([this, fd] {
            Serve(fd);
            Sys::CloseSocket(fd);
        });
    }
}

std::string FaultyRecorder::NormalAnswer(const std::string& request) {
    if (upstreamPort_ == 0) return WithLength(FixedPage);
    const Sys::SocketHandle up =
        ScriptedPeer::ConnectLoopback(static_cast<uint16_t>(upstreamPort_));
    std::string answer;
    if (up == Sys::kNoSocket) return answer;
    if (Send(up, request))
        while (Read(up, answer, 15000)) {
        }
    Sys::CloseSocket(up);
    return answer;
}

void FaultyRecorder::Serve(Sys::SocketHandle fd) {
    std::string request;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestWaitMs);
    while (request.find("\r\n\r\n") == std::string::npos && Clock::now() < deadline &&
           Read(fd, request, 100)) {
    }
    const size_t headerEnd = request.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return;
    const size_t wanted = headerEnd + 4 + ContentLength(request.substr(0, headerEnd + 2));
    const Misbehaviour what = TakeFault(RequestTarget(request));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request.substr(0, headerEnd + 4));
    }
    if (what == Misbehaviour::CloseDuringPostBody || what == Misbehaviour::StopReadingBody) {
        partialBody_ += request.size() - (headerEnd + 4);
        // Neither reads nor writes until the end (or a long bound): a recorder that stalls.
        Sys::PollEntry stop{stop_.WaitHandle(), Sys::kReadable, 0};
        if (what == Misbehaviour::StopReadingBody) Sys::Poll(&stop, 1, kSilenceMs);
        // Unread body bytes turn the close into a reset, as a recorder that gives up does.
        return;
    }
    while (request.size() < wanted && Read(fd, request, kRequestWaitMs)) {
    }
    std::string answer;
    switch (what) {
        case Misbehaviour::ResetInBody: {
            const std::string whole = NormalAnswer(request);
            const size_t bodyStart = whole.find("\r\n\r\n");
            const size_t cut = bodyStart == std::string::npos
                                   ? whole.size() / 2
                                   : bodyStart + 4 + (whole.size() - bodyStart - 4) / 2;
            Send(fd, std::string_view(whole).substr(0, cut));
            // Let the bytes reach the client before the reset overtakes them.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            Sys::SetResetOnClose(fd);
            return;
        }
        case Misbehaviour::HugeBody:
        case Misbehaviour::HugeLineFeeds:
            if (!Send(fd, kOkHead)) return;
            for (size_t sent = 0; sent < HugeBodySize; sent += 1 << 20) {
                const size_t n = std::min<size_t>(1 << 20, HugeBodySize - sent);
                if (!Send(fd, what == Misbehaviour::HugeBody ? HugePattern(sent, n)
                                                             : std::string(n, '\n')))
                    return;
            }
            return;
        case Misbehaviour::NoLengthNoClose: {
            const std::string whole = NormalAnswer(request);
            const size_t bodyStart = whole.find("\r\n\r\n");
            if (Send(fd, kOkHead + (bodyStart == std::string::npos ? kPage
                                                                   : whole.substr(bodyStart + 4))))
                WaitForClientClose(fd);
            return;
        }
        case Misbehaviour::OneBytePerSecond:
            for (char c : NormalAnswer(request)) {
                std::string ignored;
                // The client gives up by closing: stop at once when it does.
                if (!Send(fd, {&c, 1}) ||
                    (WaitReadable(fd, TrickleGapMs) && !Read(fd, ignored, 0)) || stopping_)
                    return;
            }
            return;
        case Misbehaviour::AcceptNoAnswer:
            return WaitForClientClose(fd);
        case Misbehaviour::EndlessHeader: {
            std::string filler;
            for (int i = 0; i < 64; ++i) filler += "X-Filler: " + std::string(1000, 'h') + "\r\n";
            // Until the client gives up (its close makes a send fail) or the test stops.
            if (Send(fd, "HTTP/1.0 200 OK\r\n"))
                while (Send(fd, filler)) {
                }
            return;
        }
        case Misbehaviour::EndlessBody:
        case Misbehaviour::HugeLengthBody: {
            const std::string chunk = HugePattern(0, 1 << 16);
            if (Send(fd, what == Misbehaviour::EndlessBody
                             ? kOkHead
                             : "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n"))
                while (Send(fd, chunk)) {
                }
            return;
        }
        case Misbehaviour::None:
            answer = NormalAnswer(request);
            break;
        case Misbehaviour::GarbageStatus:
            // No blank in it, so no second word that could pass for a status code.
            answer = "\x8e\x80\x01garbage\xff\r\nContent-Type: text/html\r\n\r\n" + kPage;
            break;
        case Misbehaviour::EmptyStatusLine:
            answer = "\r\nHTTP/1.0 200 OK\r\n\r\n" + kPage;
            break;
        case Misbehaviour::PoisonedCookie:
            answer = "HTTP/1.0 302 Found\r\nSet-Cookie: sid=1\rX-Injected: 1\r\nLocation: " +
                     RequestTarget(request) + "\r\n\r\n";
            break;
        case Misbehaviour::RedirectElsewhere:
            answer = "HTTP/1.0 302 Found\r\nSet-Cookie: sid=2\r\nLocation: http://127.0.0.1:" +
                     std::to_string(RedirectPort) + RequestTarget(request) + "\r\n\r\n";
            break;
        case Misbehaviour::HugeEntryAnswer:
            answer = WithLength("<script>var msg=\"" + HugeMessage() + "\";</script>");
            break;
        case Misbehaviour::SegmentWithoutSlash:
            answer = WithLength(std::string(1u << 20, 'S') + "/program.htm");
            break;
        case Misbehaviour::NoAnswer:
        case Misbehaviour::CloseDuringPostBody:
        case Misbehaviour::StopReadingBody:
            break;
    }
    Send(fd, answer);
}
