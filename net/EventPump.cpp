#include "EventPump.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "SocketErrors.h"

namespace {
using Clock = std::chrono::steady_clock;

// What a lookup's worker thread fills in. Shared by the worker and the pump, so a lookup that
// outlives its object (time-out, cancel, destruction) writes only into memory it co-owns.
struct LookupJob {
    std::string name;
    std::atomic<bool> done{false};
    int error = 0;
    std::vector<uint32_t> addresses;
};

struct SocketEntry {
    enum State { Idle, Connecting, Connected, Finished };
    int fd = -1;
    int window = 0;
    State state = Idle;
    // Notifications fire on a change of readiness, not on every pump while it lasts.
    bool readNotified = false;
    bool oobNotified = false;
    bool acceptNotified = false;
};

struct PendingLookup {
    int window = 0;
    std::shared_ptr<LookupJob> job;
};

struct TimerEntry {
    int id = 0;
    uint32_t interval = 0;
    Clock::time_point due;
    std::function<void()> tick;
};

struct Pump {
    std::map<int, TNotificationWindow::TSink> windows;
    std::vector<SocketEntry> sockets;
    std::deque<std::pair<int, TPumpNotification>> posted;
    std::vector<PendingLookup> lookups;
    std::vector<TimerEntry> timers;
    std::function<void()> hook;
    std::function<void(const std::string&)> errorDisplay;
    int nextId = 1;
    std::vector<pollfd> pollScratch;  // reused, so a pump allocates nothing in steady state
};

Pump& State() {
    static Pump pump;
    return pump;
}

// The pipe through which lookup workers wake a waiting pump. Made once, never closed: a
// detached worker may still write to it while the process ends.
int wakeFds[2] = {-1, -1};
// Set by a worker before it writes to the pipe, so a pump reads the pipe only when needed.
std::atomic<bool> wakePending{false};
std::once_flag wakeOnce;

void MakeWakePipe() {
    std::call_once(wakeOnce, [] {
        if (pipe2(wakeFds, O_NONBLOCK | O_CLOEXEC) != 0) wakeFds[0] = wakeFds[1] = -1;
    });
}

int WakeReadFd() {
    MakeWakePipe();
    return wakeFds[0];
}

void DrainWakePipe() {
    if (!wakePending.exchange(false, std::memory_order_acq_rel)) return;
    int fd = WakeReadFd();
    if (fd < 0) return;
    char scratch[64];
    while (read(fd, scratch, sizeof scratch) > 0) {
    }
}

std::mutex resolverMutex;
THostResolver& ResolverSlot() {
    static THostResolver resolver;
    return resolver;
}

THostResolver CurrentResolver() {
    std::lock_guard<std::mutex> lock(resolverMutex);
    THostResolver r = ResolverSlot();
    return r ? r : THostResolver(DefaultHostResolver);
}

int SocketError(int fd) {
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

void Deliver(int window, const TPumpNotification& note) {
    auto& pump = State();
    auto it = pump.windows.find(window);
    if (it == pump.windows.end() || !it->second) return;
    // A copy: the handler may destroy its own window.
    TNotificationWindow::TSink sink = it->second;
    try {
        sink(note);
    } catch (...) {
        // A notification's handler cannot hand an error to anyone; the object sees the
        // outcome through its own flags.
    }
}

bool StillWatched(int window, int fd) {
    for (const auto& s : State().sockets) {
        if (s.window == window && s.fd == fd) return true;
    }
    return false;
}

void PollSockets(std::vector<std::pair<int, TPumpNotification>>& out) {
    auto& pump = State();
    auto& fds = pump.pollScratch;
    fds.clear();
    for (const auto& s : pump.sockets) {
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
                events = 0;
                break;
        }
        fds.push_back(pollfd{s.state == SocketEntry::Finished ? -1 : s.fd, events, 0});
    }
    if (fds.empty()) return;
    int ready = poll(fds.data(), fds.size(), 0);
    if (ready <= 0) return;
    for (size_t i = 0; i < fds.size(); ++i) {
        SocketEntry& s = pump.sockets[i];
        short re = fds[i].revents;
        if (fds[i].fd < 0) continue;
        if (re & POLLNVAL) {
            s.state = SocketEntry::Finished;  // closed behind our back
            continue;
        }
        switch (s.state) {
            case SocketEntry::Idle:
                // An unconnected socket reports HUP; only a listening one offers connections.
                if ((re & POLLIN) && !(re & POLLHUP)) {
                    if (!s.acceptNotified && IsListening(s.fd)) {
                        s.acceptNotified = true;
                        out.emplace_back(s.window, SocketNote(s.fd, TSocketEvent::Accept, 0));
                    }
                } else {
                    s.acceptNotified = false;
                }
                break;
            case SocketEntry::Connecting:
                if (re & (POLLOUT | POLLERR | POLLHUP)) {
                    int code = SocketErrorFromErrno(SocketError(s.fd));
                    s.state = code == 0 ? SocketEntry::Connected : SocketEntry::Finished;
                    out.emplace_back(s.window, SocketNote(s.fd, TSocketEvent::Connect, code));
                }
                break;
            case SocketEntry::Connected:
                if (re & POLLIN) {
                    if (!s.readNotified) {
                        s.readNotified = true;
                        out.emplace_back(s.window, SocketNote(s.fd, TSocketEvent::Read, 0));
                    }
                } else {
                    s.readNotified = false;
                }
                if (re & POLLPRI) {
                    if (!s.oobNotified) {
                        s.oobNotified = true;
                        out.emplace_back(s.window, SocketNote(s.fd, TSocketEvent::OutOfBand, 0));
                    }
                } else {
                    s.oobNotified = false;
                }
                // The peer's FIN (RDHUP) or a reset (ERR/HUP): one close notification.
                if (re & (POLLRDHUP | POLLHUP | POLLERR)) {
                    int code = (re & POLLERR) ? SocketErrorFromErrno(SocketError(s.fd)) : 0;
                    s.state = SocketEntry::Finished;
                    out.emplace_back(s.window, SocketNote(s.fd, TSocketEvent::Close, code));
                }
                break;
            case SocketEntry::Finished:
                break;
        }
    }
}

void FireTimers() {
    auto& pump = State();
    if (pump.timers.empty()) return;
    Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const auto& t : pump.timers) {
        if (t.due <= now) due.push_back(t.id);
    }
    for (int id : due) {
        auto it = std::find_if(pump.timers.begin(), pump.timers.end(),
                               [id](const TimerEntry& t) { return t.id == id; });
        if (it == pump.timers.end()) continue;  // stopped by an earlier tick
        it->due += std::chrono::milliseconds(it->interval);
        if (it->due <= now) it->due = now + std::chrono::milliseconds(it->interval);
        std::function<void()> tick = it->tick;
        try {
            tick();
        } catch (const std::exception& e) {
            if (pump.errorDisplay) {
                pump.errorDisplay(e.what());
            } else {
                std::cerr << e.what() << std::endl;
            }
        } catch (...) {
            if (pump.errorDisplay) pump.errorDisplay("Timer error");
        }
    }
}

void FinishLookups() {
    auto& pump = State();
    if (pump.lookups.empty()) return;
    std::vector<PendingLookup> finished;
    for (auto it = pump.lookups.begin(); it != pump.lookups.end();) {
        if (it->job->done.load(std::memory_order_acquire)) {
            finished.push_back(*it);
            it = pump.lookups.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& f : finished) {
        TPumpNotification n;
        n.kind = TPumpNotification::LookupDone;
        n.errorCode = f.job->error;
        n.addresses = f.job->addresses;
        Deliver(f.window, n);
    }
}
}  // namespace

void PumpOnce() {
    auto& pump = State();
    DrainWakePipe();

    std::deque<std::pair<int, TPumpNotification>> posted;
    posted.swap(pump.posted);
    for (const auto& [window, note] : posted) Deliver(window, note);

    std::vector<std::pair<int, TPumpNotification>> notes;
    PollSockets(notes);
    for (const auto& [window, note] : notes) {
        // An earlier notification's handler may have closed this socket.
        if (StillWatched(window, note.socket)) Deliver(window, note);
    }

    FinishLookups();
    FireTimers();

    if (pump.hook) {
        std::function<void()> hook = pump.hook;
        hook();
    }
}

void SetPumpHook(std::function<void()> hook) {
    State().hook = std::move(hook);
}

void SetPumpErrorDisplay(std::function<void(const std::string&)> display) {
    State().errorDisplay = std::move(display);
}

void WaitForActivity(int fd, short events, int maxMs) {
    auto& pump = State();
    int timeout = maxMs;
    if (!pump.timers.empty()) {
        Clock::time_point now = Clock::now();
        for (const auto& t : pump.timers) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(t.due - now).count();
            if (left < timeout) timeout = static_cast<int>(std::max<long long>(left, 0));
        }
    }
    // Something is due already: the pump that follows delivers it.
    if (!pump.posted.empty() || timeout <= 0) return;
    pollfd fds[2];
    nfds_t count = 0;
    int wake = WakeReadFd();
    if (wake >= 0) fds[count++] = pollfd{wake, POLLIN, 0};
    if (fd >= 0) fds[count++] = pollfd{fd, events, 0};
    // A wake-up byte written after the last pump read the pipe: let the next pump take it,
    // or every later wait would return at once.
    if (poll(fds, count, timeout) > 0 && wake >= 0 && (fds[0].revents & POLLIN)) {
        wakePending.store(true, std::memory_order_release);
    }
}

// ---- lookups ----

int DefaultHostResolver(const std::string& name, std::vector<uint32_t>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc != 0) return SocketErrorFromLookup(rc);
    for (addrinfo* a = result; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        }
    }
    freeaddrinfo(result);
    return addresses.empty() ? 11004 : 0;
}

THostResolver SetHostResolver(THostResolver resolver) {
    std::lock_guard<std::mutex> lock(resolverMutex);
    THostResolver previous = std::move(ResolverSlot());
    ResolverSlot() = std::move(resolver);
    return previous;
}

// ---- notification windows ----

TNotificationWindow::TNotificationWindow(TSink sink) : id_(State().nextId++) {
    State().windows[id_] = std::move(sink);
}

TNotificationWindow::~TNotificationWindow() {
    auto& pump = State();
    pump.windows.erase(id_);
    std::erase_if(pump.sockets, [this](const SocketEntry& s) { return s.window == id_; });
    std::erase_if(pump.posted, [this](const auto& p) { return p.first == id_; });
    // The worker keeps its own reference to the job and finishes into it unobserved.
    std::erase_if(pump.lookups, [this](const PendingLookup& l) { return l.window == id_; });
}

void TNotificationWindow::WatchSocket(int fd) {
    auto& pump = State();
    ForgetSocket(fd);
    // A descriptor number can come back after a close outside our knowledge; it is new now.
    std::erase_if(pump.sockets, [fd](const SocketEntry& s) { return s.fd == fd; });
    SocketEntry entry;
    entry.fd = fd;
    entry.window = id_;
    pump.sockets.push_back(entry);
}

void TNotificationWindow::WatchConnectedSocket(int fd) {
    WatchSocket(fd);
    State().sockets.back().state = SocketEntry::Connected;
}

void TNotificationWindow::ForgetSocket(int fd) {
    auto& pump = State();
    std::erase_if(pump.sockets,
                  [&](const SocketEntry& s) { return s.window == id_ && s.fd == fd; });
    std::erase_if(pump.posted,
                  [&](const auto& p) { return p.first == id_ && p.second.socket == fd; });
}

void TNotificationWindow::ConnectStarted(int fd) {
    for (auto& s : State().sockets) {
        if (s.window == id_ && s.fd == fd) {
            s.state = SocketEntry::Connecting;
            s.readNotified = s.oobNotified = s.acceptNotified = false;
        }
    }
}

void TNotificationWindow::Post(TPumpNotification notification) {
    auto& pump = State();
    if (notification.kind == TPumpNotification::SocketEvent &&
        notification.event == TSocketEvent::Connect) {
        // The connect ended at once; nothing more will come from this attempt.
        for (auto& s : pump.sockets) {
            if (s.window == id_ && s.fd == notification.socket) s.state = SocketEntry::Finished;
        }
    }
    pump.posted.emplace_back(id_, std::move(notification));
}

void TNotificationWindow::StartLookup(const std::string& name) {
    WithdrawLookup();
    auto job = std::make_shared<LookupJob>();
    job->name = name;
    MakeWakePipe();
    THostResolver resolver = CurrentResolver();
    try {
        std::thread([job, resolver] {
            int error = 11003;
            try {
                error = resolver(job->name, job->addresses);
            } catch (...) {
                job->addresses.clear();
            }
            job->error = error;
            job->done.store(true, std::memory_order_release);
            wakePending.store(true, std::memory_order_release);
            if (wakeFds[1] >= 0) {
                char one = 1;
                (void)!write(wakeFds[1], &one, 1);
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread for the lookup: it fails like a lookup the resolver could not serve.
        job->error = 11002;
        job->done.store(true, std::memory_order_release);
    }
    State().lookups.push_back(PendingLookup{id_, job});
}

void TNotificationWindow::WithdrawLookup() {
    std::erase_if(State().lookups, [this](const PendingLookup& l) { return l.window == id_; });
}

// ---- timers ----

int StartPumpTimer(uint32_t intervalMs, std::function<void()> tick) {
    auto& pump = State();
    TimerEntry t;
    t.id = pump.nextId++;
    t.interval = intervalMs;
    t.due = Clock::now() + std::chrono::milliseconds(intervalMs);
    t.tick = std::move(tick);
    pump.timers.push_back(std::move(t));
    return pump.timers.back().id;
}

void StopPumpTimer(int id) {
    std::erase_if(State().timers, [id](const TimerEntry& t) { return t.id == id; });
}
