#include "ScriptedPeer.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {
using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

Sys::SocketHandle NewSocket() {
    int32_t error = 0;
    const Sys::SocketHandle socket = Sys::OpenStreamSocket(false, error);
    if (socket == Sys::kNoSocket)
        throw std::runtime_error("socket failed: error " + std::to_string(error));
    return socket;
}

// Waits (bounded by deadline) until socket shows one of events or the wake-up rings; true
// for the socket.
bool WaitFor(Sys::SocketHandle socket, short events, const Sys::WakeUp* stop,
             Clock::time_point deadline) {
    for (;;) {
        Sys::PollEntry entries[2] = {
            {socket, events, 0}, {stop ? stop->WaitHandle() : Sys::kNoSocket, Sys::kReadable, 0}};
        const int ready = Sys::Poll(entries, 2, MillisLeft(deadline));
        if (ready < 0) continue;  // interrupted: look again
        return ready > 0 && entries[1].revents == 0;
    }
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
    if (stop_.WaitHandle() == Sys::kNoSocket) throw std::runtime_error("wake-up failed");
    listenFd_ = NewSocket();
    // Set on the listening socket so the accepted one starts with it (window scaling is
    // agreed during the handshake).
    if (options_.receiveBuffer > 0) Sys::SetReceiveBuffer(listenFd_, options_.receiveBuffer);
    port_ = ListenOnLoopback(listenFd_, 4);
}

ScriptedPeer::~ScriptedPeer() {
    stop_.Signal();
    if (thread_.joinable()) thread_.join();
    if (connFd_ != Sys::kNoSocket) Sys::CloseSocket(connFd_);
    if (listenFd_ != Sys::kNoSocket) Sys::CloseSocket(listenFd_);
}

void ScriptedPeer::Start() {
    thread_ = std::thread([this] { Run(); });
}

bool ScriptedPeer::WaitUntilAccepted(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return doneCv_.wait_for(lock, timeout, [this] { return accepted_ || done_; }) && accepted_;
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
    const Sys::SocketHandle probe = ConnectLoopback(port_);
    const uint16_t local = probe != Sys::kNoSocket ? Sys::LocalPort(probe) : 0;
    const bool finished = local != 0 && Finish();
    if (probe != Sys::kNoSocket) Sys::CloseSocket(probe);
    std::lock_guard<std::mutex> lock(mutex_);
    return finished && acceptedFromPort_ == local;
}

uint16_t ScriptedPeer::UnusedPort() {
    const Sys::SocketHandle socket = NewSocket();
    const uint16_t port = ListenOnLoopback(socket, 1);
    Sys::CloseSocket(socket);
    return port;
}

uint16_t ScriptedPeer::ListenOnLoopback(Sys::SocketHandle socket, int backlog) {
    int32_t error = 0;
    const uint16_t port = Sys::ListenOnLoopback(socket, 0, backlog, false, error);
    if (port == 0) throw std::runtime_error("bind/listen failed: error " + std::to_string(error));
    return port;
}

Sys::SocketHandle ScriptedPeer::ConnectLoopback(uint16_t port, int timeoutMs) {
    const Sys::SocketHandle socket = NewSocket();
    int32_t error = Sys::StartConnect(socket, Sys::LoopbackAddress(), Sys::HostToNetwork(port));
    if (error == SocketError::kInProgress || error == SocketError::kWouldBlock) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        error = WaitFor(socket, Sys::kWritable, nullptr, deadline) ? Sys::PendingError(socket)
                                                                   : SocketError::kTimedOut;
    }
    if (error == 0) return socket;
    Sys::CloseSocket(socket);
    return Sys::kNoSocket;
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
    const Clock::time_point deadline = Clock::now() + options_.stepTimeout;
    if (WaitFor(listenFd_, Sys::kReadable, &stop_, deadline)) {
        uint32_t address = 0;
        uint16_t port = 0;
        int32_t error = 0;
        connFd_ = Sys::Accept(listenFd_, true, address, port, error);
        if (connFd_ != Sys::kNoSocket) acceptedFromPort_ = Sys::NetworkToHost(port);
    }
    if (connFd_ == Sys::kNoSocket) {
        Fail("no connection accepted");
    } else {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            accepted_ = true;
        }
        doneCv_.notify_all();
        for (const Step& step : steps_) {
            if (!RunStep(step)) break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    doneCv_.notify_all();
}

long ScriptedPeer::ReceiveSome(Clock::time_point deadline) {
    if (connFd_ == Sys::kNoSocket) return -1;
    for (;;) {
        if (!WaitFor(connFd_, Sys::kReadable, &stop_, deadline)) return -1;
        char buffer[65536];
        int32_t error = 0;
        const long long n = Sys::Receive(connFd_, buffer, sizeof buffer, false, error);
        if (n < 0 && error == SocketError::kWouldBlock) continue;
        // The client's start-up socket closes with a reset: for the script that is its close.
        if (n < 0 && error == SocketError::kConnectionReset) return 0;
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buffer, static_cast<size_t>(n));
        }
        return static_cast<long>(n);
    }
}

bool ScriptedPeer::SendAll(const char* data, size_t size) {
    const Clock::time_point deadline = Clock::now() + options_.stepTimeout;
    size_t offset = 0;
    while (offset < size) {
        if (!WaitFor(connFd_, Sys::kWritable, &stop_, deadline)) {
            Fail("send did not complete in time");
            return false;
        }
        int32_t error = 0;
        const long long n = Sys::Send(connFd_, data + offset, size - offset, error);
        if (n < 0) {
            if (error == SocketError::kWouldBlock) continue;
            Fail("send failed: error " + std::to_string(error));
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
        Sys::PollEntry stop{stop_.WaitHandle(), Sys::kReadable, 0};
        return Sys::Poll(&stop, 1, static_cast<int>(d.count())) == 0;
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
            int32_t error = 0;
            const long long n = Sys::Receive(connFd_, buffer, sizeof buffer, false, error);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.append(buffer, static_cast<size_t>(n));
            }
            Sys::CloseSocket(connFd_);
            connFd_ = Sys::kNoSocket;
            return true;
        }
        case Step::Reset: {
            Sys::SetResetOnClose(connFd_);
            Sys::CloseSocket(connFd_);
            connFd_ = Sys::kNoSocket;
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

namespace testsupport {

RawExchange ExchangeOnLoopback(uint16_t port, const std::string& request, int timeoutMs) {
    RawExchange answer;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const Sys::SocketHandle socket = ScriptedPeer::ConnectLoopback(port, timeoutMs);
    if (socket == Sys::kNoSocket) return answer;
    answer.connected = true;
    int32_t error = 0;
    for (size_t sent = 0; sent < request.size();) {
        if (!WaitFor(socket, Sys::kWritable, nullptr, deadline)) break;
        const long long n = Sys::Send(socket, request.data() + sent, request.size() - sent, error);
        if (n < 0 && error != SocketError::kWouldBlock) break;
        if (n > 0) sent += static_cast<size_t>(n);
    }
    char buffer[8192];
    for (;;) {
        if (!WaitFor(socket, Sys::kReadable, nullptr, deadline)) {
            answer.timedOut = true;
            break;
        }
        const long long n = Sys::Receive(socket, buffer, sizeof buffer, false, error);
        if (n < 0 && error == SocketError::kWouldBlock) continue;
        if (n < 0) answer.reset = error == SocketError::kConnectionReset;
        if (n <= 0) break;
        answer.bytes.append(buffer, static_cast<size_t>(n));
    }
    Sys::CloseSocket(socket);
    return answer;
}

std::string RawGet(int port, const std::string& target, const std::string& authorization) {
    std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!authorization.empty()) request += "Authorization: " + authorization + "\r\n";
    request += "\r\n";
    const RawExchange answer = ExchangeOnLoopback(static_cast<uint16_t>(port), request, 10000);
    if (!answer.connected) throw std::runtime_error("connect failed");
    const size_t end = answer.bytes.find("\r\n\r\n");
    if (answer.timedOut || end == std::string::npos)
        throw std::runtime_error("no header end from " + target);
    return answer.bytes.substr(end + 4);
}

}  // namespace testsupport
