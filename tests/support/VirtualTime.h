// Time that a test drives: a clock that moves only when told, and a waiter that, instead of
// sleeping until a deadline with nothing to do, moves that clock to it, so time-outs end at
// once and exactly on time.
#pragma once

#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "EventPump.h"

struct ManualClock {
    std::chrono::milliseconds now{1000000};
    TClock Fn() {
        return [this] { return now; };
    }
};

class ClockJumpWaiter : public TWaiter {
  public:
    explicit ClockJumpWaiter(ManualClock& clock) : clock_(clock) {}
    // A wait without a deadline sleeps in poll(), bounded so that a broken test cannot hang.
    // While MayJump says the peer still has something to say, the wait sleeps in short real
    // slices, asking again after each.
    void Wait(std::vector<pollfd>& fds, int timeoutMs) override {
        ++Waits;
        if (timeoutMs < 0) {
            poll(fds.data(), fds.size(), 5000);
            return;
        }
        for (int slept = 0; MayJump && !MayJump() && slept < 5000; slept += 5) {
            if (poll(fds.data(), fds.size(), 5) > 0) return;
        }
        if (poll(fds.data(), fds.size(), 0) > 0) return;
        clock_.now += std::chrono::milliseconds(timeoutMs);
        ++Jumps;
    }
    std::function<bool()> MayJump;
    int Waits = 0;
    int Jumps = 0;

  private:
    ManualClock& clock_;
};

// A pump on a manual clock.
struct VirtualTimePump {
    ManualClock clock;
    ClockJumpWaiter* waiter = new ClockJumpWaiter(clock);
    TEventPump pump{std::unique_ptr<TWaiter>(waiter)};
    VirtualTimePump() { pump.SetClock(clock.Fn()); }
};
