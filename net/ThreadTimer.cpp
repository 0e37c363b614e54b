// The timer whose ticks arrive through the pump's step.
#include "ThreadTimer.h"

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    UpdateTimer();
}

void TThreadTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TTimerEvent handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
    if (timerId_ != 0) {
        pump_.StopTimer(timerId_);
        timerId_ = 0;
    }
    if (interval_ != 0 && enabled_ && onTimer_) {
        timerId_ = pump_.StartTimer(interval_, [this] { Tick(); });
    }
}

void TThreadTimer::Tick() {
    // A copy: the handler may replace OnTimer.
    TTimerEvent handler = onTimer_;
    if (handler) handler(this);
}
