// Helpers shared by the transport tests: bounded pumping and recording of events.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "EventPump.h"
#include "SockTransport.h"

// Pumps (waiting at most 2 ms between pumps) until done() or maxMs passed; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int maxMs = 2000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        WaitForActivity(-1, 0, 2);
        PumpOnce();
    }
}

// Pumps for a while, to let notifications that should not come have their chance.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

inline double MillisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// CPU time of the whole process so far, in milliseconds.
inline double CpuMillis() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Installs a pump hook for one test and removes it again.
class ScopedPumpHook {
  public:
    explicit ScopedPumpHook(std::function<void()> hook) { SetPumpHook(std::move(hook)); }
    ~ScopedPumpHook() { SetPumpHook(nullptr); }
};

// Installs a resolver for one test and restores the previous one.
class ScopedResolver {
  public:
    explicit ScopedResolver(THostResolver resolver)
        : previous_(SetHostResolver(std::move(resolver))) {}
    ~ScopedResolver() { SetHostResolver(previous_); }

  private:
    THostResolver previous_;
};

// Connects t to 127.0.0.1:port with a short time-out.
inline void ConnectLocal(TSockTransport& t, uint16_t port, int32_t timeOut = 2000) {
    t.Host = "127.0.0.1";
    t.Port = port;
    t.TimeOut = timeOut;
    t.Connect();
}

// Runs f and returns the message of the ESockError it raised ("" when none).
template <typename F>
std::string SockErrorOf(F&& f) {
    try {
        f();
    } catch (const ESockError& e) {
        return e.Message;
    }
    return "";
}
