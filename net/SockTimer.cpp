// The time-out of the socket transport: its arming, disarming and expiry.
#include <string>

#include "SockTransport.h"

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
