// Fuzz target: the client reading an answer (status line, header lines, body) as a recorder
// sends it. The bytes are replayed by a peer on 127.0.0.1 that answers every connection with
// the current input and then closes, so the client reads them through its real transport.
// In the input, "{big}" stands for 70,000 bytes without a line end (a line IoBuffer cannot
// hold), which the fuzzer could not otherwise reach with short inputs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "FuzzCheck.h"
#include "HttpClient.h"

namespace {

// Answers every connection with the current reply, then closes.
class ReplayPeer {
  public:
    ReplayPeer() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        FUZZ_CHECK(listenFd_ >= 0);
        FUZZ_CHECK(bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) == 0);
        FUZZ_CHECK(listen(listenFd_, 16) == 0);
        FUZZ_CHECK(getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0);
        port_ = ntohs(addr.sin_port);
        std::thread([this] { Serve(); }).detach();
    }

    uint16_t Port() const { return port_; }

    void SetReply(std::string reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        reply_ = std::move(reply);
    }

  private:
    // Waits at most 2 s for fd to be readable.
    static bool Readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 2000) > 0;
    }

    void Serve() {
        for (;;) {
            const int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) continue;
            // The whole request first, so that closing never meets unread bytes (a reset).
            std::string request;
            char buf[4096];
            for (ssize_t n; request.find("\r\n\r\n") == std::string::npos && Readable(fd) &&
                            (n = recv(fd, buf, sizeof buf, 0)) > 0;)
                request.append(buf, static_cast<size_t>(n));
            std::unique_lock<std::mutex> lock(mutex_);
            const std::string reply = reply_;
            lock.unlock();
            for (size_t sent = 0; sent < reply.size();) {
                const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;  // the client stopped reading (an announced length)
                sent += static_cast<size_t>(n);
            }
            shutdown(fd, SHUT_WR);
            while (Readable(fd) && recv(fd, buf, sizeof buf, 0) > 0) {
            }
            close(fd);
        }
    }

    int listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    uint16_t port_ = 0;
    std::mutex mutex_;
    std::string reply_;
};

std::string Expand(std::string input) {
    for (size_t at = 0; (at = input.find("{big}", at)) != std::string::npos; at += 70000)
        input.replace(at, 5, std::string(70000, 'x'));
    return input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ReplayPeer peer;
    const std::string reply = Expand(FuzzText(data, size));
    peer.SetReply(reply);

    THttpClient client;
    client.TimeOut = 3000;
    client.OutputFileMode = false;  // the header lines into Header, not "Head.txt"
    client.Body.clear();
    int events = 0;
    client.OnSuccess = [&](CmdType) { ++events; };
    client.OnFailure = [&](CmdType) { ++events; };
    // One exchange per input: a location must not send the client anywhere else.
    client.OnRedirect = [](bool& handled) { handled = true; };

    const auto start = std::chrono::steady_clock::now();
    bool raised = false;
    try {
        client.Get("http://127.0.0.1:" + std::to_string(peer.Port()) + "/program/b_prgrm.htm");
    } catch (const Exception& e) {
        raised = true;
        FUZZ_CHECK(!e.Message.empty());
    } catch (...) {
        FUZZ_CHECK(!"only the program's own errors may leave a request");
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The peer always closes, so no read may have to wait for the time-out.
    FUZZ_CHECK(elapsed < std::chrono::milliseconds(2500));
    FUZZ_CHECK(!client.IsConnected);

    // The header lines are the answer's first bytes, exactly, and the body follows them.
    FUZZ_CHECK(reply.starts_with(client.Header));
    if (!raised) {
        FUZZ_CHECK(events <= 1);
        FUZZ_CHECK(reply.compare(client.Header.size(), client.Body.size(), client.Body) == 0);
        const std::string first = client.Header.substr(0, client.Header.find('\n') + 1);
        FUZZ_CHECK(client.ReplyCode == (first.empty() ? 0 : StatusCodeOf(first)));
    } else {
        FUZZ_CHECK(events == 0);
    }
    FUZZ_CHECK(client.RedirectLocation().size() <= kMaxHeaderValue);
    FUZZ_CHECK(client.ReceivedCookie().size() <= kMaxHeaderValue);
    return 0;
}
