// Measures the socket transport (its pump waiting with poll()) against local peers and prints:
//  - 1,000 short answers, each on its own connection as the recorder serves them;
//  - the capture of a 10 MB body beside a plain blocking receive loop, runs interleaved;
//  - CPU per wall time while a recorder answers every request after 250 ms;
//  - CPU per wall time while a peer sends one byte every 100 ms;
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
#include "TransportMeasures.h"

using bench::Clock;
using namespace std::chrono_literals;

namespace {
using bench::Seconds;

// CPU time of the calling thread (the transport's thread; the peers run on their own).
double ThreadCpuSeconds() {
    return bench::CpuSeconds(RUSAGE_THREAD);
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

double TransportCapture(size_t size, const std::string& expected, bool& intact) {
    ScriptedPeer peer;
    peer.SendPattern(size).Close();
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
    peer.Finish();
    return static_cast<double>(body.size()) / wall;
}

// The same body read by a plain blocking recv loop: what this machine's loopback allows.
double RawCapture(size_t size) {
    ScriptedPeer peer;
    peer.SendPattern(size).Close();
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
    double rate = static_cast<double>(body.size()) / Seconds(Clock::now() - start);
    close(s);
    peer.Finish();
    return rate;
}

void LargeBody() {
    const size_t kSize = 10u << 20;
    const int kRuns = 9;
    std::string expected = ScriptedPeer::Pattern(0, kSize);
    std::vector<double> rates, raw;
    bool intact = true;
    // Interleaved, so that whatever else the machine does falls on both alike.
    for (int run = 0; run < kRuns; ++run) {
        raw.push_back(RawCapture(kSize));
        rates.push_back(TransportCapture(kSize, expected, intact));
    }
    std::sort(rates.begin(), rates.end());
    std::sort(raw.begin(), raw.end());
    double median = rates[kRuns / 2], rawMedian = raw[kRuns / 2];
    std::printf("10 MB capture:   median %.0f MB/s (best %.0f, worst %.0f), %s\n", median / 1e6,
                rates.back() / 1e6, rates.front() / 1e6, intact ? "bytes intact" : "BYTES DIFFER");
    std::printf("raw recv loop:   median %.0f MB/s (best %.0f); capture = %.2f x raw\n",
                rawMedian / 1e6, raw.back() / 1e6, median / rawMedian);
}

// A recorder that answers every request after 250 ms: the transport sleeps while it waits.
void RecorderWaitCpu() {
    const int kRequests = 8;
    double wall = 0, cpu = 0;
    int ok = 0;
    for (int i = 0; i < kRequests; ++i) {
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n")
            .Pause(250ms)
            .Send("HTTP/1.0 200 OK\r\n\r\n<html>page</html>")
            .Close();
        peer.Start();
        TSockTransport t;
        t.Host = "127.0.0.1";
        t.Port = peer.Port();
        t.TimeOut = 10000;
        Clock::time_point start = Clock::now();
        double cpuStart = ThreadCpuSeconds();
        t.Connect();
        t.Writeln("GET /program/b_prgrm.htm HTTP/1.0");
        t.Writeln("");
        std::string status, blank, body;
        t.ReadLn(status);
        t.ReadLn(blank);
        t.CaptureString(body, -1);
        t.Disconnect();
        wall += Seconds(Clock::now() - start);
        cpu += ThreadCpuSeconds() - cpuStart;
        if (status == "HTTP/1.0 200 OK\r\n" && body == "<html>page</html>") ++ok;
        peer.Finish();
    }
    std::printf("250 ms answers:  %d of %d correct in %.2f s, CPU %.4f s = %.3f%% of wall time\n",
                ok, kRequests, wall, cpu, 100.0 * cpu / wall);
}

}  // namespace

int main() {
    ShortAnswers();
    LargeBody();
    RecorderWaitCpu();
    {
        TSockTransport t;
        bench::SlowPeerCpu(t);
    }
    {
        TSockTransport t;
        bench::LineDelay(t);
    }
    return 0;
}
