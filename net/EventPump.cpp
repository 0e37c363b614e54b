#include "EventPump.h"

#include <algorithm>

namespace {
using Sys::kError;
using Sys::kHangUp;
using Sys::kInvalid;
using Sys::kPeerClosed;
using Sys::kReadable;
using Sys::kUrgent;
using Sys::kWritable;

TPumpNotification SocketNote(Sys::SocketHandle fd, TSocketEvent event, int code) {
    TPumpNotification n;
    n.kind = TPumpNotification::SocketEvent;
    n.socket = fd;
    n.event = event;
    n.errorCode = code;
    return n;
}
}  // namespace

std::chrono::milliseconds SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void TPollWaiter::Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) {
    // An interruption just ends the wait; the pump step that follows finds out what there is.
    Sys::Poll(sockets, timeoutMs);
}

TEventPump::TEventPump(std::unique_ptr<TWaiter> waiter)
    : waiter_(waiter ? std::move(waiter) : std::make_unique<TPollWaiter>()),
      clock_(SteadyNow),
      wake_(std::make_shared<TWakeChannel>()) {}

TEventPump::~TEventPump() = default;

void TEventPump::SetClock(TClock clock) {
    clock_ = clock ? std::move(clock) : TClock(SteadyNow);
}

int TEventPump::AddSink(TSink sink) {
    int id = nextId_++;
    sinks_.emplace_back(id, std::move(sink));
    return id;
}

void TEventPump::RemoveSink(int sink) {
    std::erase_if(sinks_, [sink](const auto& s) { return s.first == sink; });
    std::erase_if(sockets_, [sink](const SocketEntry& s) { return s.sink == sink; });
    std::erase_if(posted_, [sink](const auto& p) { return p.first == sink; });
    WithdrawLookup(sink);
}

void TEventPump::WatchSocket(int sink, Sys::SocketHandle fd, bool connected) {
    // A descriptor number can come back after a close outside our knowledge; it is new now.
    std::erase_if(sockets_, [fd](const SocketEntry& s) { return s.fd == fd; });
    std::erase_if(posted_, [&](const auto& p) { return p.first == sink && p.second.socket == fd; });
    SocketEntry entry;
    entry.fd = fd;
    entry.sink = sink;
    entry.state = connected ? SocketEntry::Connected : SocketEntry::Idle;
    sockets_.push_back(entry);
}

void TEventPump::ForgetSocket(int sink, Sys::SocketHandle fd) {
    std::erase_if(sockets_, [&](const SocketEntry& s) { return s.sink == sink && s.fd == fd; });
    std::erase_if(posted_, [&](const auto& p) { return p.first == sink && p.second.socket == fd; });
}

void TEventPump::ConnectStarted(int sink, Sys::SocketHandle fd) {
    for (auto& s : sockets_) {
        if (s.sink == sink && s.fd == fd) {
            s.state = SocketEntry::Connecting;
            s.readNotified = s.oobNotified = s.acceptNotified = false;
        }
    }
}

void TEventPump::Post(int sink, TPumpNotification notification) {
    if (notification.kind == TPumpNotification::SocketEvent &&
        notification.event == TSocketEvent::Connect) {
        // The connect ended at once; nothing more will come from this attempt.
        for (auto& s : sockets_) {
            if (s.sink == sink && s.fd == notification.socket) s.state = SocketEntry::Finished;
        }
    }
    posted_.emplace_back(sink, std::move(notification));
}

void TEventPump::Deliver(int sink, const TPumpNotification& note) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [sink](const auto& s) { return s.first == sink; });
    if (it == sinks_.end() || !it->second) return;
    // A copy: the handler may remove its own sink.
    TSink handler = it->second;
    try {
        handler(note);
    } catch (...) {
        // A notification's handler cannot hand an error to anyone; the object sees the
        // outcome through its own flags.
    }
}

short TEventPump::InterestOf(const SocketEntry& s) const {
    switch (s.state) {
        case SocketEntry::Idle:
            // An unconnected socket reports a hang-up at once; only a listening one offers
            // connections, and asking it of any other would end every wait at once.
            return !s.acceptNotified && Sys::IsListening(s.fd) ? kReadable : 0;
        case SocketEntry::Connecting:
            return kWritable;
        case SocketEntry::Connected:
            return static_cast<short>((s.readNotified ? 0 : kReadable) |
                                      (s.oobNotified ? 0 : kUrgent) | kPeerClosed);
        case SocketEntry::Finished:
            break;
    }
    return 0;
}

void TEventPump::PollSockets() {
    auto& fds = pollScratch_;
    fds.clear();
    for (const auto& s : sockets_) {
        short events = 0;
        switch (s.state) {
            case SocketEntry::Idle:
                events = kReadable;
                break;
            case SocketEntry::Connecting:
                events = kWritable;
                break;
            case SocketEntry::Connected:
                events = kReadable | kUrgent | kPeerClosed;
                break;
            case SocketEntry::Finished:
                break;
        }
        fds.push_back(
            Sys::PollEntry{s.state == SocketEntry::Finished ? Sys::kNoSocket : s.fd, events, 0});
    }
    if (fds.empty() || Sys::Poll(fds, 0) <= 0) return;
    auto& out = noteScratch_;
    out.clear();
    for (size_t i = 0; i < fds.size(); ++i) {
        SocketEntry& s = sockets_[i];
        short re = fds[i].revents;
        if (fds[i].handle == Sys::kNoSocket) continue;
        if (re & kInvalid) {
            s.state = SocketEntry::Finished;  // closed behind our back
            continue;
        }
        switch (s.state) {
            case SocketEntry::Idle:
                if ((re & kReadable) && !(re & kHangUp)) {
                    if (!s.acceptNotified && Sys::IsListening(s.fd)) {
                        s.acceptNotified = true;
                        out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Accept, 0));
                    }
                } else {
                    s.acceptNotified = false;
                }
                break;
            case SocketEntry::Connecting:
                if (re & (kWritable | kError | kHangUp)) {
                    int code = Sys::PendingError(s.fd);
                    s.state = code == 0 ? SocketEntry::Connected : SocketEntry::Finished;
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Connect, code));
                }
                break;
            case SocketEntry::Connected:
                if ((re & kReadable) && !s.readNotified) {
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Read, 0));
                }
                s.readNotified = (re & kReadable) != 0;
                if ((re & kUrgent) && !s.oobNotified) {
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::OutOfBand, 0));
                }
                s.oobNotified = (re & kUrgent) != 0;
                // The peer's FIN (PeerClosed, or HangUp where the system has no such mark) or
                // a reset (Error/HangUp): one close notification.
                if (re & (kPeerClosed | kHangUp | kError)) {
                    int code = (re & kError) ? Sys::PendingError(s.fd) : 0;
                    // Windows marks a reset with the error bit alone and leaves no error on
                    // the socket; it is the reset all the same.
                    if ((re & kError) && code == 0) code = SocketError::kConnectionReset;
                    s.state = SocketEntry::Finished;
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Close, code));
                }
                break;
            case SocketEntry::Finished:
                break;
        }
    }
    // Moved out first: a handler may pump again.
    std::vector<std::pair<int, TPumpNotification>> notes;
    notes.swap(out);
    for (const auto& [sink, note] : notes) {
        // An earlier notification's handler may have closed this socket.
        bool watched = std::any_of(sockets_.begin(), sockets_.end(), [&](const SocketEntry& s) {
            return s.sink == sink && s.fd == note.socket;
        });
        if (watched) Deliver(sink, note);
    }
    if (noteScratch_.empty()) noteScratch_.swap(notes);
}

void TEventPump::PumpOnce() {
    wake_->Drain();
    if (!posted_.empty()) {
        std::vector<std::pair<int, TPumpNotification>> posted;
        posted.swap(posted_);
        for (const auto& [sink, note] : posted) Deliver(sink, note);
    }
    PollSockets();
    FinishLookups();
    FireTimers();
    waiter_->ServePending();
    if (OnPump) {
        std::function<void()> hook = OnPump;
        hook();
    }
}

void TEventPump::AddWaitFd(Sys::SocketHandle fd, short events) {
    if (fd == Sys::kNoSocket || events == 0) return;
    for (auto& p : waitScratch_) {
        if (p.handle == fd) {
            p.events = static_cast<short>(p.events | events);
            return;
        }
    }
    waitScratch_.push_back(Sys::PollEntry{fd, events, 0});
}

void TEventPump::Wait(Sys::SocketHandle fd, short events,
                      std::optional<std::chrono::milliseconds> deadline) {
    // Something is due already: the pump step that follows delivers it.
    if (!posted_.empty()) return;
    std::optional<std::chrono::milliseconds> due = NextTimerDue();
    if (deadline && (!due || *deadline < *due)) due = deadline;
    int timeoutMs = -1;
    if (due) {
        long long left = (*due - Now()).count();
        if (left <= 0) return;
        timeoutMs = static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    waitScratch_.clear();
    const Sys::SocketHandle wakeFd = wake_->WaitHandle();
    AddWaitFd(wakeFd, kReadable);
    AddWaitFd(fd, events);
    for (const auto& s : sockets_) AddWaitFd(s.fd, InterestOf(s));
    waiter_->Wait(waitScratch_, timeoutMs);
    // A wake-up rung after the last pump emptied it: let the next pump take it, or every later
    // wait would return at once.
    for (const auto& p : waitScratch_) {
        if (p.handle == wakeFd && (p.revents & kReadable)) wake_->MarkPending();
    }
}

// ---------------------------------------------------------------- lookups

void TEventPump::StartLookup(int sink, const std::string& name) {
    WithdrawLookup(sink);
    lookups_.push_back(PendingLookup{sink, StartLookupJob(name, HostResolver, wake_)});
}

void TEventPump::WithdrawLookup(int sink) {
    // The worker keeps its own reference to the job and finishes into it unobserved.
    std::erase_if(lookups_, [sink](const PendingLookup& l) { return l.sink == sink; });
}

void TEventPump::FinishLookups() {
    if (lookups_.empty()) return;
    std::vector<PendingLookup> finished;
    std::erase_if(lookups_, [&](const PendingLookup& l) {
        if (!l.job->done.load(std::memory_order_acquire)) return false;
        finished.push_back(l);
        return true;
    });
    for (const auto& f : finished) {
        TPumpNotification n;
        n.kind = TPumpNotification::LookupDone;
        n.errorCode = f.job->error;
        n.addresses = f.job->addresses;
        Deliver(f.sink, n);
    }
}
