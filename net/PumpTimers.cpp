// The timers of the event pump: due times on the pump's clock, ticks delivered by PumpOnce.
#include <algorithm>
#include <exception>
#include <iostream>

#include "EventPump.h"

void TEventPump::ReportTimerError(const std::string& message) {
    if (ShowTimerError) {
        ShowTimerError(message);
    } else {
        std::cerr << message << std::endl;
    }
}

int TEventPump::StartTimer(uint32_t intervalMs, std::function<void()> tick) {
    TimerEntry t;
    t.id = nextId_++;
    t.interval = intervalMs;
    t.due = Now() + std::chrono::milliseconds(intervalMs);
    t.tick = std::move(tick);
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

void TEventPump::StopTimer(int id) {
    std::erase_if(timers_, [id](const TimerEntry& t) { return t.id == id; });
}

std::optional<std::chrono::milliseconds> TEventPump::NextTimerDue() const {
    std::optional<std::chrono::milliseconds> next;
    for (const auto& t : timers_) {
        if (!next || t.due < *next) next = t.due;
    }
    return next;
}

void TEventPump::FireTimers() {
    if (timers_.empty()) return;
    const std::chrono::milliseconds now = Now();
    std::vector<int> due;
    for (const auto& t : timers_) {
        if (t.due <= now) due.push_back(t.id);
    }
    for (int id : due) {
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [id](const TimerEntry& t) { return t.id == id; });
        if (it == timers_.end()) continue;  // stopped by an earlier tick
        const std::chrono::milliseconds interval(it->interval);
        // One tick however late; the next one keeps the rhythm unless that is past too.
        it->due += interval;
        if (it->due <= now) it->due = now + interval;
        std::function<void()> tick = it->tick;
        try {
            tick();
        } catch (const std::exception& e) {
            ReportTimerError(e.what());
        } catch (...) {
            ReportTimerError(kUnknownTimerError);
        }
    }
}
