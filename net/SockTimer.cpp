// The time-out of the socket transport: the timer whose ticks arrive through the pump, and
// the transport's arming, disarming and expiry.
#include <string>

#include "SockTransport.h"
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

// ---------------------------------------------------------------- the transport's time-out

void TSockTransport::TimerOn() {
    ReportStatus(8, "Timer On");
    TimedOut = false;
    if (TimeOut < 0) throw ESockError(SockText::kNegativeTimeOutPrefix + std::to_string(TimeOut));
    TimeoutTimer->SetInterval(static_cast<uint32_t>(TimeOut));
    TimeoutTimer->SetEnabled(true);
}

void TSockTransport::TimerOff() {
    ReportStatus(8, "Timer Off");
    if (TimeoutTimer) TimeoutTimer->SetEnabled(false);
}

void TSockTransport::TimerTriggered(TThreadTimer*) {
    ReportStatus(8, "Timer Triggered");
    TimerOff();
    TimedOut = true;
    EventArrived = true;
    Abort();
}
