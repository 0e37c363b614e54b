// The event pump. Socket notifications, finished host lookups and timer ticks reach their
// objects only inside PumpOnce, on the thread that calls it (the user-interface thread), so
// an object's flags change only at the points where it pumps. The worker threads of host
// lookups never touch an object: they fill a shared state that the pump hands over.
//
// The program makes one pump (with its own waiter, which serves the windows while it sleeps)
// and hands it to its transports; a transport made without one keeps a private pump that
// waits with the system's poll. Nothing here is process-wide.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HostLookup.h"
#include "SysSocket.h"

// Milliseconds on a monotonic scale. Every time-out of the transport reads the pump's clock,
// so tests can drive time instead of waiting for it.
using TClock = std::function<std::chrono::milliseconds()>;
std::chrono::milliseconds SteadyNow();

// How a pump sleeps. Wait blocks until one of the sockets shows one of its events (as for
// Sys::Poll) or timeoutMs passes (-1 = no limit), whichever comes first, and marks in revents
// what woke it; it delivers nothing itself. The list holds each socket once.
class TWaiter {
  public:
    virtual ~TWaiter() = default;
    virtual void Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) = 0;
    // Called once per pump step: the application's own pending events (none for poll).
    virtual void ServePending() {}
};

// Waits with one Sys::Poll call: for tests, tools and benchmarks, which have no windows.
class TPollWaiter : public TWaiter {
  public:
    void Wait(std::vector<Sys::PollEntry>& sockets, int timeoutMs) override;
};

enum class TSocketEvent { Read, OutOfBand, Accept, Connect, Close };

struct TPumpNotification {
    enum Kind { SocketEvent, LookupDone } kind = SocketEvent;
    Sys::SocketHandle socket = Sys::kNoSocket;  // the socket a SocketEvent is about
    TSocketEvent event = TSocketEvent::Read;
    int errorCode = 0;                // socket error table number; 0 = success
    std::vector<uint32_t> addresses;  // LookupDone: IPv4 addresses, network byte order
};

class TEventPump {
  public:
    // Without a waiter the pump waits with poll().
    explicit TEventPump(std::unique_ptr<TWaiter> waiter = nullptr);
    ~TEventPump();
    TEventPump(const TEventPump&) = delete;
    TEventPump& operator=(const TEventPump&) = delete;

    // Delivers pending socket notifications (in the order the sockets report them), finished
    // lookups and due timer ticks, then lets the waiter serve the application and calls
    // OnPump.
    void PumpOnce();
    // Blocks until the socket shows one of events (fd < 0 = none), a watched socket has news,
    // a lookup finishes, a timer falls due, or the deadline (on Now()) passes. Delivers
    // nothing: the caller pumps next.
    void Wait(Sys::SocketHandle socket, short events,
              std::optional<std::chrono::milliseconds> deadline = {});

    // The clock of every deadline; SteadyNow unless a test drives its own.
    std::chrono::milliseconds Now() const { return clock_(); }
    void SetClock(TClock clock);
    TWaiter& Waiter() { return *waiter_; }

    // Called at the end of every pump step (tests act at pump points through it); may be empty.
    std::function<void()> OnPump;
    // Where an error escaping a timer handler is shown (default: standard error): its text,
    // or kUnknownTimerError for something thrown that is no exception. The timer goes on.
    std::function<void(const std::string& message)> ShowTimerError;
    static constexpr const char kUnknownTimerError[] = "Unknown error in a timer handler";
    // The resolver of lookups started from now on; empty = DefaultHostResolver.
    THostResolver HostResolver;
    // How the transports of this pump make a stream socket (Sys::OpenStreamSocket when
    // empty); tests make the start-up fail with it.
    std::function<Sys::SocketHandle(bool resetOnClose, int32_t& error)> SocketFactory;

    // ---- for the classes of this folder ----
    using TSink = std::function<void(const TPumpNotification&)>;
    int AddSink(TSink sink);
    // Drops the sink and everything still addressed to it, including a running lookup's result.
    void RemoveSink(int sink);
    void WatchSocket(int sink, Sys::SocketHandle socket, bool connected);
    void ForgetSocket(int sink, Sys::SocketHandle socket);
    void ConnectStarted(int sink, Sys::SocketHandle socket);
    void Post(int sink, TPumpNotification notification);
    void StartLookup(int sink, const std::string& name);
    void WithdrawLookup(int sink);
    // Periodic ticks delivered by PumpOnce; returns a registration id (never 0).
    int StartTimer(uint32_t intervalMs, std::function<void()> tick);
    void StopTimer(int id);

  private:
    struct SocketEntry {
        enum State { Idle, Connecting, Connected, Finished };
        Sys::SocketHandle fd = Sys::kNoSocket;
        int sink = 0;
        State state = Idle;
        // Notifications fire on a change of readiness, not on every pump while it lasts.
        bool readNotified = false;
        bool oobNotified = false;
        bool acceptNotified = false;
    };
    struct PendingLookup {
        int sink = 0;
        std::shared_ptr<TLookupJob> job;
    };
    struct TimerEntry {
        int id = 0;
        uint32_t interval = 0;
        std::chrono::milliseconds due{0};
        std::function<void()> tick;
    };

    void Deliver(int sink, const TPumpNotification& note);
    void PollSockets();
    // The events of a watched socket that would bring a notification it has not had yet.
    short InterestOf(const SocketEntry& s) const;
    void FinishLookups();
    void FireTimers();
    void ReportTimerError(const std::string& message);
    std::optional<std::chrono::milliseconds> NextTimerDue() const;
    void AddWaitFd(Sys::SocketHandle socket, short events);

    std::unique_ptr<TWaiter> waiter_;
    TClock clock_;
    std::vector<std::pair<int, TSink>> sinks_;
    std::vector<SocketEntry> sockets_;
    std::vector<std::pair<int, TPumpNotification>> posted_;
    std::vector<PendingLookup> lookups_;
    std::vector<TimerEntry> timers_;
    std::shared_ptr<TWakeChannel> wake_;
    int nextId_ = 1;
    // Reused, so a pump step allocates nothing in steady state.
    std::vector<Sys::PollEntry> pollScratch_;
    std::vector<Sys::PollEntry> waitScratch_;
    std::vector<std::pair<int, TPumpNotification>> noteScratch_;
};

// The sink of one object's notifications (the stand-in for a hidden notification window).
// Destroying it drops everything still addressed to it, including a running lookup's result.
class TNotificationWindow {
  public:
    TNotificationWindow(TEventPump& pump, TEventPump::TSink sink)
        : pump_(pump), id_(pump.AddSink(std::move(sink))) {}
    ~TNotificationWindow() { pump_.RemoveSink(id_); }
    TNotificationWindow(const TNotificationWindow&) = delete;
    TNotificationWindow& operator=(const TNotificationWindow&) = delete;

    // Registers a socket for read, out-of-band, accept, connect and close notifications.
    void WatchSocket(Sys::SocketHandle s) { pump_.WatchSocket(id_, s, false); }
    // The same for a socket that is already connected (one that Accept took).
    void WatchConnectedSocket(Sys::SocketHandle s) { pump_.WatchSocket(id_, s, true); }
    void ForgetSocket(Sys::SocketHandle s) { pump_.ForgetSocket(id_, s); }
    // A connect is in flight on the socket: its outcome arrives as a Connect notification.
    void ConnectStarted(Sys::SocketHandle s) { pump_.ConnectStarted(id_, s); }
    // Queues a notification the platform gave synchronously, delivered by the next pump.
    void Post(TPumpNotification n) { pump_.Post(id_, std::move(n)); }
    // Starts an asynchronous lookup; a LookupDone notification follows. Starting another or
    // withdrawing drops the result of the one before.
    void StartLookup(const std::string& name) { pump_.StartLookup(id_, name); }
    void WithdrawLookup() { pump_.WithdrawLookup(id_); }

  private:
    TEventPump& pump_;
    int id_;
};
