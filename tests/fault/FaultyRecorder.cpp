#include "FaultyRecorder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

// A client silent this long in the middle of its request is dropped.
constexpr int kRequestWaitMs = 5000;
// The longest a connection is kept without reading from it.
constexpr int kSilenceMs = 20000;

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
    std::string lower = header;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::strtoul(header.c_str() + at + 17, nullptr, 10);
}

void Linger0(int fd) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

}  // namespace

FaultyRecorder::FaultyRecorder(int upstreamPort) : upstreamPort_(upstreamPort) {}

FaultyRecorder::~FaultyRecorder() {
    Stop();
}

void FaultyRecorder::Start() {
    if (pipe(stopPipe_) != 0) throw std::runtime_error("pipe failed");
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

void FaultyRecorder::Stop() {
    if (stopPipe_[1] < 0) return;
    stopping_ = true;
    const char wake = 1;
    [[maybe_unused]] ssize_t n = write(stopPipe_[1], &wake, 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& t : workers) t.join();
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    stopPipe_[0] = stopPipe_[1] = -1;
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

bool FaultyRecorder::WaitReadable(int fd, int ms) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, ms) <= 0) return false;
    return !(fds[1].revents & POLLIN) && (fds[0].revents & (POLLIN | POLLHUP | POLLERR));
}

bool FaultyRecorder::SendAll(int fd, const char* data, size_t size) const {
    while (size > 0) {
        if (stopping_) return false;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, 1000) <= 0 || (fds[1].revents & POLLIN)) continue;
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void FaultyRecorder::WaitForClientClose(int fd) const {
    char buf[4096];
    while (!stopping_) {
        if (!WaitReadable(fd, 1000)) continue;
        if (recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
}

void FaultyRecorder::WaitWithoutReading() const {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    poll(&stop, 1, kSilenceMs);
}

void FaultyRecorder::AcceptLoop() {
    while (!stopping_) {
        if (!WaitReadable(listenFd_, 1000)) continue;
        const int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

std::string FaultyRecorder::NormalAnswer(const std::string& request) {
    if (upstreamPort_ == 0)
        return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
               std::to_string(FixedPage.size()) + "\r\n\r\n" + FixedPage;
    const int up = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(upstreamPort_));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(up, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        SendAll(up, request.data(), request.size())) {
        char buf[65536];
        while (WaitReadable(up, 15000)) {
            const ssize_t n = recv(up, buf, sizeof buf, 0);
            if (n <= 0) break;
            answer.append(buf, static_cast<size_t>(n));
        }
    }
    close(up);
    return answer;
}

void FaultyRecorder::Serve(int fd) {
    std::string request;
    char buf[65536];
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestWaitMs);
    while (request.find("\r\n\r\n") == std::string::npos && Clock::now() < deadline &&
           WaitReadable(fd, 100)) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }
    const size_t headerEnd = request.find("\r\n\r\n");
    if (headerEnd == std::string::npos) {
        close(fd);
        return;
    }
    const size_t bodyLength = ContentLength(request.substr(0, headerEnd + 2));
    const size_t wanted = headerEnd + 4 + bodyLength;
    const Misbehaviour what = TakeFault(RequestTarget(request));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request.substr(0, headerEnd + 4));
    }

    if (what == Misbehaviour::CloseDuringPostBody || what == Misbehaviour::StopReadingBody) {
        partialBody_ += request.size() - (headerEnd + 4);
        if (what == Misbehaviour::StopReadingBody) WaitWithoutReading();
        // Unread body bytes turn the close into a reset, as a recorder that gives up does.
        close(fd);
        return;
    }
    while (request.size() < wanted && WaitReadable(fd, kRequestWaitMs)) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }

    const std::string kPage = "<HTML><BODY>page</BODY></HTML>\r\n";
    switch (what) {
        case Misbehaviour::None: {
            const std::string answer = NormalAnswer(request);
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::ResetInBody: {
            const std::string answer = NormalAnswer(request);
            const size_t bodyStart = answer.find("\r\n\r\n");
            const size_t cut = bodyStart == std::string::npos
                                   ? answer.size() / 2
                                   : bodyStart + 4 + (answer.size() - bodyStart - 4) / 2;
            SendAll(fd, answer.data(), cut);
            // Let the bytes reach the client before the reset overtakes them.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            Linger0(fd);
            break;
        }
        case Misbehaviour::GarbageStatus: {
            // No blank in it, so no second word that could pass for a status code.
            const std::string answer =
                "\x8e\x80\x01garbage\xff\r\nContent-Type: text/html\r\n\r\n" + kPage;
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::EmptyStatusLine: {
            const std::string answer = "\r\nHTTP/1.0 200 OK\r\n\r\n" + kPage;
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::NoAnswer:
            break;
        case Misbehaviour::HugeBody: {
            const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
            if (!SendAll(fd, head.data(), head.size())) break;
            constexpr size_t kChunk = 1 << 20;
            for (size_t sent = 0; sent < HugeBodySize; sent += kChunk) {
                const std::string chunk = HugePattern(sent, std::min(kChunk, HugeBodySize - sent));
                if (!SendAll(fd, chunk.data(), chunk.size())) break;
            }
            break;
        }
        case Misbehaviour::NoLengthNoClose: {
            std::string answer = NormalAnswer(request);
            const size_t bodyStart = answer.find("\r\n\r\n");
            std::string body =
                bodyStart == std::string::npos ? kPage : answer.substr(bodyStart + 4);
            answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
            if (SendAll(fd, answer.data(), answer.size())) WaitForClientClose(fd);
            break;
        }
        case Misbehaviour::OneBytePerSecond: {
            const std::string answer = NormalAnswer(request);
            for (char c : answer) {
                if (!SendAll(fd, &c, 1)) break;
                // The client gives up by closing: stop at once when it does.
                if (WaitReadable(fd, TrickleGapMs)) {
                    if (recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0) break;
                }
                if (stopping_) break;
            }
            break;
        }
        case Misbehaviour::AcceptNoAnswer:
            WaitForClientClose(fd);
            break;
        case Misbehaviour::EndlessHeader: {
            std::string head = "HTTP/1.0 200 OK\r\n";
            const std::string filler = "X-Filler: " + std::string(1000, 'h') + "\r\n";
            for (int i = 0; i < 64; ++i) head += filler;
            if (!SendAll(fd, head.data(), 17)) break;
            // Until the client gives up (its close makes a send fail) or the test stops.
            while (SendAll(fd, head.data() + 17, head.size() - 17)) {
            }
            break;
        }
        case Misbehaviour::EndlessBody:
        case Misbehaviour::HugeLengthBody: {
            const std::string head = what == Misbehaviour::EndlessBody
                                         ? "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                         : "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n";
            if (!SendAll(fd, head.data(), head.size())) break;
            const std::string chunk = HugePattern(0, 1 << 16);
            while (SendAll(fd, chunk.data(), chunk.size())) {
            }
            break;
        }
        case Misbehaviour::PoisonedCookie:
        case Misbehaviour::RedirectElsewhere: {
            const std::string target = RequestTarget(request);
            const std::string answer =
                what == Misbehaviour::PoisonedCookie
                    ? "HTTP/1.0 302 Found\r\nSet-Cookie: sid=1\rX-Injected: 1\r\nLocation: " +
                          target + "\r\n\r\n"
                    : "HTTP/1.0 302 Found\r\nSet-Cookie: sid=2\r\nLocation: http://127.0.0.1:" +
                          std::to_string(RedirectPort) + target + "\r\n\r\n";
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::HugeEntryAnswer: {
            const std::string page = "<script>var msg=\"" + HugeMessage() + "\";</script>";
            const std::string answer =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" +
                page;
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::SegmentWithoutSlash: {
            const std::string page = std::string(1u << 20, 'S') + "/program.htm";
            const std::string answer =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" +
                page;
            SendAll(fd, answer.data(), answer.size());
            break;
        }
        case Misbehaviour::CloseDuringPostBody:
        case Misbehaviour::StopReadingBody:
            break;
    }
    close(fd);
}
