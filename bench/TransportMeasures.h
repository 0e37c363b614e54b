// What the transport benches measure alike, on whichever pump the transport waits with: the
// CPU a slow peer costs and the delay from a line's arrival to the return of ReadLn.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SockTransport.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of the calling thread (RUSAGE_THREAD) or of the whole process (RUSAGE_SELF).
inline double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Connects t (not yet connected) to a local peer on the loopback with a 10 s time-out.
inline void ConnectTo(TSockTransport& t, const ScriptedPeer& peer) {
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 10000;
    t.Connect();
}

// A peer that sends one byte every 100 ms: the CPU the transport's thread spends meanwhile.
inline void SlowPeerCpu(TSockTransport& t) {
    using namespace std::chrono_literals;
    ScriptedPeer peer;
    peer.Send(std::string(30, 's'), 1, 100ms).Close();
    peer.Start();
    ConnectTo(t, peer);
    std::string body;
    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_THREAD);
    t.CaptureString(body, -1);
    const double wall = Seconds(Clock::now() - start);
    const double cpu = CpuSeconds(RUSAGE_THREAD) - cpuStart;
    std::printf("slow peer:       %zu bytes in %.2f s, CPU %.4f s = %.3f%% of wall time\n",
                body.size(), wall, cpu, 100.0 * cpu / wall);
}

// 100 lines at irregular pauses: how long after each line was sent ReadLn returns it.
inline void LineDelay(TSockTransport& t) {
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
    ConnectTo(t, peer);
    std::vector<double> delays;
    for (int i = 0; i < kLines; ++i) {
        std::string line;
        t.ReadLn(line);
        const Clock::time_point got = Clock::now();
        if (line != "HTTP/1.0 200 OK\r\n") {
            std::printf("ReadLn delay:    WRONG LINE %d\n", i);
            return;
        }
        delays.push_back(1000.0 * Seconds(got - sent[i]));
    }
    peer.Finish();
    std::sort(delays.begin(), delays.end());
    std::printf("ReadLn delay:    median %.3f ms, 99th %.3f ms, max %.3f ms over %d lines\n",
                delays[delays.size() / 2], delays[delays.size() * 99 / 100], delays.back(), kLines);
}

}  // namespace bench
