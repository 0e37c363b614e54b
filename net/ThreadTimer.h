// The time-out timer of a socket object: periodic ticks delivered by its pump's step.
#pragma once

#include <cstdint>
#include <functional>

#include "EventPump.h"

class TThreadTimer;
using TTimerEvent = std::function<void(TThreadTimer* Sender)>;

// Ticks arrive only through the pump's step. The setters act only on a change, so arming a
// running timer does not restart its countdown.
class TThreadTimer {
  public:
    explicit TThreadTimer(TEventPump& pump) : pump_(pump) {}
    ~TThreadTimer();
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t value);
    const TTimerEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TTimerEvent handler);

  private:
    // Stops the ticks, then restarts them when Interval != 0, Enabled and OnTimer is set.
    void UpdateTimer();
    void Tick();

    TEventPump& pump_;
    bool enabled_ = true;
    uint32_t interval_ = 1000;
    TTimerEvent onTimer_;
    int timerId_ = 0;  // registration with the pump; 0 = not running
};
