// Time that a test drives: a clock that moves only when told, and a waiter that, instead of
// sleeping until a deadline with nothing to do, moves that clock to it, so time-outs end at
// once and exactly on time. And time that runs faster than the wall clock, for real peers
// that meet time-outs of the program's size.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "EventPump.h"
#include "SysSocket.h"

struct ManualClock {
    std::chrono::milliseconds now{1000000};
    TClock Fn() {
        return [this] { return now; };
    }
};

class ClockJumpWaiter : public TWaiter {
  public:
    explicit ClockJumpWaiter(ManualClock& clock) : clock_(clock) {}
    // A wait without a deadline sleeps in Sys::Poll, bounded so that a broken test cannot
    // hang. While MayJump says the peer still has something to say, the wait sleeps in short
    // real slices, asking again after each.
    void Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) override {
        ++Waits;
        if (timeoutMs < 0) {
            Sys::Poll(sockets, 5000);
            return;
        }
        for (int slept = 0; MayJump && !MayJump() && slept < 5000; slept += 5) {
            if (Sys::Poll(sockets, 5) > 0) return;
        }
        if (Sys::Poll(sockets, 0) > 0) return;
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

// Sleeps a deadline's time divided by speed (rounded up, so the fast clock has passed it).
class FastWaiter : public TWaiter {
  public:
    explicit FastWaiter(int speed) : speed_(speed) {}
    void Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) override {
        Sys::Poll(sockets, timeoutMs < 0 ? -1 : (timeoutMs + speed_ - 1) / speed_);
    }

  private:
    int speed_;
};

// A pump whose clock runs speed times as fast as the wall clock: a time-out of the program's
// 10 s ends after 10 s / speed of real time and weighs 10 s wherever the clock is read.
struct FastTimePump {
    explicit FastTimePump(int speed) : pump(std::make_unique<FastWaiter>(speed)) {
        const auto origin = std::chrono::steady_clock::now();
        pump.SetClock([origin, speed] {
            const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - origin);
            return std::chrono::milliseconds(1000000) + real * speed;
        });
    }
    TEventPump pump;
};
