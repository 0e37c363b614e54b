// Helpers shared by the transport tests: bounded pumping, connecting, and the text of an error.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "EventPump.h"
#include "SockTransport.h"
#include "TestHelpers.h"
#include "VirtualTime.h"

using Texts = std::vector<std::string>;

// Pumps until done() or maxMs of real time passed; returns done(). Between pumps it sleeps
// until the pump has something (or the bound passes), as the transport's own waits do.
inline bool PumpUntil(TEventPump& pump, const std::function<bool()>& done, int maxMs = 2000) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    for (;;) {
        if (done()) return true;
        auto left =
            std::chrono::ceil<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pump.Wait(Sys::kNoSocket, 0, pump.Now() + left);
        pump.PumpOnce();
    }
}

// Connects t to 127.0.0.1:port with a short time-out.
inline void ConnectLocal(TSockTransport& t, uint16_t port, int32_t timeOut = 2000) {
    t.Host = "127.0.0.1";
    t.Port = port;
    t.TimeOut = timeOut;
    t.Connect();
}
