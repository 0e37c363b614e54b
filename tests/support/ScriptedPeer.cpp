#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {
using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes.substr(0, 200)) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32 || c >= 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (bytes.size() > 200) out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return out;
}
}  // namespace

ScriptedPeer::ScriptedPeer() : ScriptedPeer(Options{}) {}

ScriptedPeer::ScriptedPeer(Options options) : options_(options) {
    if (pipe2(stopPipe_, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket failed");
    int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Set on the listening socket so the accepted one starts with it (window scaling is
    // agreed during the handshake).
    if (options_.receiveBuffer > 0) {
        setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &options_.receiveBuffer,
                   sizeof options_.receiveBuffer);
    }
    port_ = ListenOnLoopback(listenFd_, 4);
}

ScriptedPeer::~ScriptedPeer() {
    char one = 1;
    (void)!write(stopPipe_[1], &one, 1);
    if (thread_.joinable()) thread_.join();
    if (connFd_ >= 0) close(connFd_);
    if (listenFd_ >= 0) close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

void ScriptedPeer::Start() {
    thread_ = std::thread([this] { Run(); });
}

bool ScriptedPeer::Finish(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!doneCv_.wait_for(lock, timeout, [this] { return done_; })) {
        failures_.push_back("script did not finish in time");
        return false;
    }
    return failures_.empty();
}

std::string ScriptedPeer::Report() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostringstream out;
    for (const auto& f : failures_) out << "peer: " << f << "\n";
    out << "peer received: \"" << Printable(received_) << "\"";
    return out.str();
}

bool ScriptedPeer::NoEarlierConnection() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(port_);
    sockaddr_in local{};
    socklen_t len = sizeof local;
    const bool connected = probe >= 0 &&
                           connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                           getsockname(probe, reinterpret_cast<sockaddr*>(&local), &len) == 0;
    const bool finished = connected && Finish();
    if (probe >= 0) close(probe);
    std::lock_guard<std::mutex> lock(mutex_);
    return finished && acceptedFromPort_ == ntohs(local.sin_port);
}

uint16_t ScriptedPeer::UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const uint16_t port = ListenOnLoopback(fd, 1);
    close(fd);
    return port;
}

sockaddr_in ScriptedPeer::Loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

uint16_t ScriptedPeer::ListenOnLoopback(int fd, int backlog) {
    sockaddr_in addr = Loopback(0);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error(std::string("bind/listen failed: ") + std::strerror(errno));
    }
    return ntohs(addr.sin_port);
}

std::string ScriptedPeer::Pattern(size_t offset, size_t count) {
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i) {
        size_t pos = offset + i;
        // Position-dependent, so a lost or repeated block shows; never LF or NUL.
        out[i] = static_cast<char>('A' + (pos % 23) + ((pos / 4096) % 3));
    }
    return out;
}

void ScriptedPeer::Fail(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.push_back(what);
}

void ScriptedPeer::Run() {
    Clock::time_point deadline = Clock::now() + options_.stepTimeout;
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    int ready = poll(fds, 2, MillisLeft(deadline));
    if (ready > 0 && (fds[0].revents & POLLIN)) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        connFd_ = accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC);
        if (connFd_ >= 0) acceptedFromPort_ = ntohs(from.sin_port);
    }
    if (connFd_ < 0) {
        Fail("no connection accepted");
    } else {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            accepted_ = true;
        }
        for (const Step& step : steps_) {
            if (!RunStep(step)) break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    doneCv_.notify_all();
}

long ScriptedPeer::ReceiveSome(Clock::time_point deadline) {
    if (connFd_ < 0) return -1;
    pollfd fds[2] = {{connFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, MillisLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (fds[1].revents & POLLIN)) return -1;
        char buffer[65536];
        ssize_t n = recv(connFd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        // The client's start-up socket closes with a reset: for the script that is its close.
        if (n < 0 && errno == ECONNRESET) return 0;
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buffer, static_cast<size_t>(n));
        }
        return n;
    }
}

bool ScriptedPeer::SendAll(const char* data, size_t size) {
    Clock::time_point deadline = Clock::now() + options_.stepTimeout;
    size_t offset = 0;
    while (offset < size) {
        pollfd fds[2] = {{connFd_, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
        int ready = poll(fds, 2, MillisLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (fds[1].revents & POLLIN)) {
            Fail("send did not complete in time");
            return false;
        }
        ssize_t n = send(connFd_, data + offset, size - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            Fail(std::string("send failed: ") + std::strerror(errno));
            return false;
        }
        offset += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedPeer::RunStep(const Step& step) {
    Clock::time_point deadline = Clock::now() + options_.stepTimeout;
    auto available = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.size() - consumed_;
    };
    auto waitFor = [&](const std::function<bool()>& enough, const std::string& what) {
        while (!enough()) {
            long n = ReceiveSome(deadline);
            if (n <= 0) {
                Fail(what + (n == 0 ? ": the client closed first" : ": timed out"));
                return false;
            }
        }
        return true;
    };
    auto pauseFor = [this](std::chrono::milliseconds d) {
        pollfd stop{stopPipe_[0], POLLIN, 0};
        return poll(&stop, 1, static_cast<int>(d.count())) == 0;
    };

    switch (step.kind) {
        case Step::Expect: {
            // Receive(count) compares nothing; Expect(bytes) compares what came.
            const std::string what = step.bytes.empty() ? std::to_string(step.count) + " bytes"
                                                        : "\"" + Printable(step.bytes) + "\"";
            if (!waitFor([&] { return available() >= step.count; }, "expected " + what)) {
                return false;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            std::string got = received_.substr(consumed_, step.count);
            consumed_ += step.count;
            if (!step.bytes.empty() && got != step.bytes) {
                failures_.push_back("expected " + what + " but got \"" + Printable(got) + "\"");
                return false;
            }
            return true;
        }
        case Step::ExpectUntil: {
            size_t found = std::string::npos;
            auto has = [&] {
                std::lock_guard<std::mutex> lock(mutex_);
                found = received_.find(step.bytes, consumed_);
                return found != std::string::npos;
            };
            if (!waitFor(has, "expected \"" + Printable(step.bytes) + "\"")) return false;
            std::lock_guard<std::mutex> lock(mutex_);
            consumed_ = found + step.bytes.size();
            return true;
        }
        case Step::Send: {
            size_t piece = step.count == 0 ? step.bytes.size() : step.count;
            for (size_t at = 0; at < step.bytes.size(); at += piece) {
                if (at > 0 && step.duration.count() > 0 && !pauseFor(step.duration)) return false;
                if (!SendAll(step.bytes.data() + at, std::min(piece, step.bytes.size() - at))) {
                    return false;
                }
            }
            return true;
        }
        case Step::Pause:
            return pauseFor(step.duration);
        case Step::Close: {
            // Take in what the client already sent (one read, so a client that keeps sending
            // cannot hold the close back), so the close is a FIN and not a reset.
            char buffer[65536];
            ssize_t n = recv(connFd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.append(buffer, static_cast<size_t>(n));
            }
            close(connFd_);
            connFd_ = -1;
            return true;
        }
        case Step::Reset: {
            linger lin{1, 0};
            setsockopt(connFd_, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
            close(connFd_);
            connFd_ = -1;
            return true;
        }
        case Step::ReceiveUntilClose: {
            for (;;) {
                long n = ReceiveSome(deadline);
                if (n == 0) break;
                if (n < 0) {
                    Fail("the client did not close in time");
                    return false;
                }
            }
            std::lock_guard<std::mutex> lock(mutex_);
            consumed_ = received_.size();
            return true;
        }
        case Step::Call:
            if (step.action) step.action();
            return true;
    }
    return true;
}
