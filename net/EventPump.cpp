#include "EventPump.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "HostLookup.h"
#include "SocketErrors.h"

namespace {
int PendingError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return err;
}

bool IsListening(int fd) {
    int on = 0;
    socklen_t len = sizeof on;
    return getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &on, &len) == 0 && on != 0;
}

TPumpNotification SocketNote(int fd, TSocketEvent event, int code) {
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

void TPollWaiter::Wait(std::vector<pollfd>& fds, int timeoutMs) {
    // EINTR just ends the wait; the pump step that follows finds out what there is.
    poll(fds.data(), fds.size(), timeoutMs);
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

void TEventPump::WatchSocket(int sink, int fd, bool connected) {
    // A descriptor number can come back after a close outside our knowledge; it is new now.
    std::erase_if(sockets_, [fd](const SocketEntry& s) { return s.fd == fd; });
    std::erase_if(posted_, [&](const auto& p) { return p.first == sink && p.second.socket == fd; });
    SocketEntry entry;
    entry.fd = fd;
    entry.sink = sink;
    entry.state = connected ? SocketEntry::Connected : SocketEntry::Idle;
    sockets_.push_back(entry);
}

void TEventPump::ForgetSocket(int sink, int fd) {
    std::erase_if(sockets_, [&](const SocketEntry& s) { return s.sink == sink && s.fd == fd; });
    std::erase_if(posted_, [&](const auto& p) { return p.first == sink && p.second.socket == fd; });
}

void TEventPump::ConnectStarted(int sink, int fd) {
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
            return !s.acceptNotified && IsListening(s.fd) ? POLLIN : 0;
        case SocketEntry::Connecting:
            return POLLOUT;
        case SocketEntry::Connected:
            return static_cast<short>((s.readNotified ? 0 : POLLIN) |
                                      (s.oobNotified ? 0 : POLLPRI) | POLLRDHUP);
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
                events = POLLIN;
                break;
            case SocketEntry::Connecting:
                events = POLLOUT;
                break;
            case SocketEntry::Connected:
                events = POLLIN | POLLPRI | POLLRDHUP;
                break;
            case SocketEntry::Finished:
                break;
        }
        fds.push_back(pollfd{s.state == SocketEntry::Finished ? -1 : s.fd, events, 0});
    }
    if (fds.empty() || poll(fds.data(), fds.size(), 0) <= 0) return;
    auto& out = noteScratch_;
    out.clear();
    for (size_t i = 0; i < fds.size(); ++i) {
        SocketEntry& s = sockets_[i];
        short re = fds[i].revents;
        if (fds[i].fd < 0) continue;
        if (re & POLLNVAL) {
            s.state = SocketEntry::Finished;  // closed behind our back
            continue;
        }
        switch (s.state) {
            case SocketEntry::Idle:
                if ((re & POLLIN) && !(re & POLLHUP)) {
                    if (!s.acceptNotified && IsListening(s.fd)) {
                        s.acceptNotified = true;
                        out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Accept, 0));
                    }
                } else {
                    s.acceptNotified = false;
                }
                break;
            case SocketEntry::Connecting:
                if (re & (POLLOUT | POLLERR | POLLHUP)) {
                    int code = SocketErrorFromErrno(PendingError(s.fd));
                    s.state = code == 0 ? SocketEntry::Connected : SocketEntry::Finished;
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Connect, code));
                }
                break;
            case SocketEntry::Connected:
                if ((re & POLLIN) && !s.readNotified) {
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::Read, 0));
                }
                s.readNotified = (re & POLLIN) != 0;
                if ((re & POLLPRI) && !s.oobNotified) {
                    out.emplace_back(s.sink, SocketNote(s.fd, TSocketEvent::OutOfBand, 0));
                }
                s.oobNotified = (re & POLLPRI) != 0;
                // The peer's FIN (RDHUP) or a reset (ERR/HUP): one close notification.
                if (re & (POLLRDHUP | POLLHUP | POLLERR)) {
                    int code = (re & POLLERR) ? SocketErrorFromErrno(PendingError(s.fd)) : 0;
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

void TEventPump::AddWaitFd(int fd, short events) {
    if (fd < 0 || events == 0) return;
    for (auto& p : waitScratch_) {
        if (p.fd == fd) {
            p.events = static_cast<short>(p.events | events);
            return;
        }
    }
    waitScratch_.push_back(pollfd{fd, events, 0});
}

void TEventPump::Wait(int fd, short events, std::optional<std::chrono::milliseconds> deadline) {
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
    const int wakeFd = wake_->ReadFd();
    AddWaitFd(wakeFd, POLLIN);
    AddWaitFd(fd, events);
    for (const auto& s : sockets_) AddWaitFd(s.fd, InterestOf(s));
    waiter_->Wait(waitScratch_, timeoutMs);
    // A wake-up byte written after the last pump emptied the pipe: let the next pump take it,
    // or every later wait would return at once.
    for (const auto& p : waitScratch_) {
        if (p.fd == wakeFd && (p.revents & POLLIN)) wake_->MarkPending();
    }
}
