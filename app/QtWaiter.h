// The program's waiter: while the transport waits for the recorder, the process sleeps in a
// nested Qt event loop, woken by the sockets (through socket notifiers) or by the deadline
// (a single-shot timer), so the windows are repainted and their timers fire meanwhile.
#pragma once

#include "EventPump.h"

class TQtWaiter : public TWaiter {
  public:
    void Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) override;
    // Window events that arrived while the transport was busy without waiting.
    void ServePending() override;
};
