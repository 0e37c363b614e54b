// Measures the socket transport against local peers and prints:
//  - 1,000 short answers, each on its own connection as the recorder serves them;
//  - the capture of a 10 MB body (bytes per second);
//  - CPU seconds per wall second while a peer sends one byte every 100 ms;
//  - the delay from a line's arrival to the return of ReadLn.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedPeer.h"
#include "SockTransport.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {
double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of the calling thread (the transport's thread; the peers run on their own).
double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Serves `count` connections: reads the request head, answers a short page, closes.
class ShortAnswerServer {
  public:
    explicit ShortAnswerServer(int count) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 64);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this, count] { Serve(count); });
    }
    ~ShortAnswerServer() {
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
    }
    uint16_t Port() const { return port_; }

  private:
    void Serve(int count) {
        static const char kAnswer[] =
            "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>OK</body></html>";
        for (int i = 0; i < count; ++i) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                head.append(buf, static_cast<size_t>(n));
            }
            send(c, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
            close(c);
        }
    }
    int fd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

void ShortAnswers() {
    const int kCount = 1000;
    ShortAnswerServer server(kCount);
    TSockTransport t;
    t.Host = "127.0.0.1";
    t.Port = server.Port();
    t.TimeOut = 10000;
    int ok = 0;
    Clock::time_point start = Clock::now();
    double cpuStart = ThreadCpuSeconds();
    for (int i = 0; i < kCount; ++i) {
        t.Connect();
        t.Writeln("GET /program/b_prgrm.htm HTTP/1.0");
        t.Writeln("");
        std::string status, blank, header, body;
        t.ReadLn(status);
        t.ReadLn(header);
        t.ReadLn(blank);
        t.CaptureString(body, -1);
        t.Disconnect();
        if (status == "HTTP/1.0 200 OK\r\n" && blank == "\r\n" && body.size() == 28) ++ok;
    }
    double wall = Seconds(Clock::now() - start);
    double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf(
        "short answers:   %d of %d correct in %.3f s = %.0f answers/s (%.3f ms each), "
        "CPU %.2f s/s\n",
        ok, kCount, wall, kCount / wall, 1000.0 * wall / kCount, cpu / wall);
}

void LargeBody() {
    const size_t kSize = 10u << 20;
    std::vector<double> rates;
    std::string expected = ScriptedPeer::Pattern(0, kSize);
    bool intact = true;
    for (int run = 0; run < 5; ++run) {
        ScriptedPeer peer;
        peer.SendPattern(kSize).Close();
        peer.Start();
        TSockTransport t;
        t.Host = "127.0.0.1";
        t.Port = peer.Port();
        t.TimeOut = 10000;
        t.Connect();
        std::string body;
        Clock::time_point start = Clock::now();
        t.CaptureString(body, -1);
        double wall = Seconds(Clock::now() - start);
        intact = intact && body == expected;
        rates.push_back(static_cast<double>(body.size()) / wall);
        peer.Finish();
    }
    std::sort(rates.begin(), rates.end());
    std::printf("10 MB capture:   median %.0f MB/s, best %.0f MB/s, worst %.0f MB/s (%s)\n",
                rates[2] / 1e6, rates[4] / 1e6, rates[0] / 1e6,
                intact ? "bytes intact" : "BYTES DIFFER");
}

// The same body read by a plain blocking recv loop: what this machine's loopback allows.
void RawBaseline() {
    const size_t kSize = 10u << 20;
    std::vector<double> rates;
    for (int run = 0; run < 5; ++run) {
        ScriptedPeer peer;
        peer.SendPattern(kSize).Close();
        peer.Start();
        int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(peer.Port());
        connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        std::string body;
        std::vector<char> buffer(65536);
        Clock::time_point start = Clock::now();
        ssize_t n;
        while ((n = recv(s, buffer.data(), buffer.size(), 0)) > 0) {
            body.append(buffer.data(), static_cast<size_t>(n));
        }
        rates.push_back(static_cast<double>(body.size()) / Seconds(Clock::now() - start));
        close(s);
        peer.Finish();
    }
    std::sort(rates.begin(), rates.end());
    std::printf("raw recv loop:   median %.0f MB/s, best %.0f MB/s (baseline of this machine)\n",
                rates[2] / 1e6, rates[4] / 1e6);
}

void SlowPeerCpu() {
    ScriptedPeer peer;
    peer.Send(std::string(30, 's'), 1, 100ms).Close();
    peer.Start();
    TSockTransport t;
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 10000;
    t.Connect();
    std::string body;
    Clock::time_point start = Clock::now();
    double cpuStart = ThreadCpuSeconds();
    t.CaptureString(body, -1);
    double wall = Seconds(Clock::now() - start);
    double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("slow peer:       %zu bytes in %.2f s, CPU %.4f s = %.2f%% of wall time\n",
                body.size(), wall, cpu, 100.0 * cpu / wall);
}

void LineDelay() {
    const int kLines = 100;
    std::vector<Clock::time_point> sent(kLines);
    ScriptedPeer peer;
    for (int i = 0; i < kLines; ++i) {
        peer.Pause(std::chrono::milliseconds(3 + (i * 7) % 11))
            .Call([&sent, i] { sent[i] = Clock::now(); })
            .Send("HTTP/1.0 200 OK\r\n");
    }
    peer.Close();
    peer.Start();
    TSockTransport t;
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 10000;
    t.Connect();
    std::vector<double> delays;
    for (int i = 0; i < kLines; ++i) {
        std::string line;
        t.ReadLn(line);
        Clock::time_point got = Clock::now();
        if (line != "HTTP/1.0 200 OK\r\n") {
            std::printf("line delay:      WRONG LINE %d\n", i);
            return;
        }
        delays.push_back(1000.0 * Seconds(got - sent[i]));
    }
    peer.Finish();
    std::sort(delays.begin(), delays.end());
    std::printf("ReadLn delay:    median %.3f ms, 99th %.3f ms, max %.3f ms over %d lines\n",
                delays[delays.size() / 2], delays[delays.size() * 99 / 100], delays.back(), kLines);
}
}  // namespace

int main() {
    ShortAnswers();
    LargeBody();
    RawBaseline();
    SlowPeerCpu();
    LineDelay();
    return 0;
}
