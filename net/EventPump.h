// The process's event pump. Socket notifications, finished host lookups and timer ticks reach
// their objects only inside PumpOnce, on the thread that calls it (the user-interface thread),
// so an object's flags change only at the points where it pumps. The worker threads of host
// lookups never touch an object: they fill a shared state that the pump hands over.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Delivers pending socket notifications (in the order the sockets report them), finished
// lookups and due timer ticks, then calls the application hook once.
void PumpOnce();

// The application's own event processing (the Qt program passes processEvents); may be empty.
void SetPumpHook(std::function<void()> hook);

// Where an error escaping a timer handler is shown (default: standard error). The timer goes on.
void SetPumpErrorDisplay(std::function<void(const std::string& message)> display);

// Blocks until the socket shows one of events (as for poll; fd < 0 = none), a lookup finishes,
// a timer falls due, or maxMs milliseconds pass, whichever comes first. Delivers nothing.
void WaitForActivity(int fd, short events, int maxMs);

// ---- for the classes of this folder ----

enum class TSocketEvent { Read, OutOfBand, Accept, Connect, Close };

struct TPumpNotification {
    enum Kind { SocketEvent, LookupDone } kind = SocketEvent;
    int socket = -1;  // the socket a SocketEvent is about
    TSocketEvent event = TSocketEvent::Read;
    int errorCode = 0;                // socket error table number; 0 = success
    std::vector<uint32_t> addresses;  // LookupDone: IPv4 addresses, network byte order
};

// Resolves a host name to IPv4 addresses (network byte order). Returns 0 or an error number
// of the table (11001 host not found, ...). Runs on a worker thread.
using THostResolver = std::function<int(const std::string& name, std::vector<uint32_t>& addresses)>;

// The resolver used by new lookups (getaddrinfo, IPv4). Tests inject slow or failing ones.
// Returns the previous resolver; an empty one restores the default.
THostResolver SetHostResolver(THostResolver resolver);
int DefaultHostResolver(const std::string& name, std::vector<uint32_t>& addresses);

// The sink of one object's notifications (the stand-in for a hidden notification window).
// Destroying it drops everything still addressed to it, including a running lookup's result.
class TNotificationWindow {
  public:
    using TSink = std::function<void(const TPumpNotification&)>;
    explicit TNotificationWindow(TSink sink);
    ~TNotificationWindow();
    TNotificationWindow(const TNotificationWindow&) = delete;
    TNotificationWindow& operator=(const TNotificationWindow&) = delete;

    // Registers a socket for read, out-of-band, accept, connect and close notifications.
    void WatchSocket(int fd);
    // The same for a socket that is already connected (one that Accept took).
    void WatchConnectedSocket(int fd);
    void ForgetSocket(int fd);
    // A connect is in flight on fd: its outcome arrives as a Connect notification.
    void ConnectStarted(int fd);
    // Queues a notification the platform gave synchronously, delivered by the next pump.
    void Post(TPumpNotification notification);
    // Starts an asynchronous lookup; a LookupDone notification follows. Starting another or
    // withdrawing drops the result of the one before.
    void StartLookup(const std::string& name);
    void WithdrawLookup();

    int Id() const { return id_; }

  private:
    int id_;
};

// Periodic timer ticks delivered by the pump. Returns a registration id (never 0).
int StartPumpTimer(uint32_t intervalMs, std::function<void()> tick);
void StopPumpTimer(int id);
