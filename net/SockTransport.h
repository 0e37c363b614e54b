// The socket transport under the HTTP client: one TCP connection at a time to one remote
// host, with host lookup, connect, close, a time-out, cancellation, level-gated status texts
// and the transfers on the open connection (text, lines, files, captures).
//
// Threading: every operation runs on the caller's (user-interface) thread and blocks it. While
// it waits it sleeps in its pump's waiter until something it cares about happens, then pumps
// (EventPump.h), so socket notifications, the time-out tick, finished lookups and the
// application's own events are handled. Flags such as CancelRequested or IsConnected change
// only at those pump points.
//
// Errors: ESockError with the texts below (or "<code>:<text>" from the socket error table);
// EAbortError (an ESockError) when a transfer ends by Cancel or by the time-out.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EventPump.h"
#include "SocketErrors.h"
#include "SysUtils.h"
#include "ThreadTimer.h"

// A failure of the socket transport; the message is shown to the user as it is.
class ESockError : public Exception {
  public:
    using Exception::Exception;
};

// A transfer ended by Cancel/Abort or by the time-out (which cancels).
class EAbortError : public ESockError {
  public:
    using ESockError::ESockError;
};

class TSockTransport;

using TNotifyEvent = std::function<void(TSockTransport* Sender)>;
using THandlerEvent = std::function<void(bool& Handled)>;
using TOnHostResolved = std::function<void(TSockTransport* Sender)>;
using TOnStatus = std::function<void(TSockTransport* Sender, const std::string& Status)>;

// Texts raised by the transport (exact, including the odd spellings callers may compare).
namespace SockText {
inline constexpr const char kInitFailed[] = "Initializaton of windows sockets failed";
inline constexpr const char kAlreadyConnected[] = "Already connected";
inline constexpr const char kLookupTimedOut[] = "Host Lookup Timed Out";
inline constexpr const char kLookupCanceled[] = "Host Lookup Canceled";
inline constexpr const char kLookupFailed[] = "Host Lookup Failed";
inline constexpr const char kNullRemoteAddress[] = "Null Remote Address";
inline constexpr const char kConnectTimedOut[] = "Connection Timed out";
inline constexpr const char kConnectCanceled[] = "Connection Canceled";
inline constexpr const char kConnectFailed[] = "Connection Failed";
inline constexpr const char kAcceptCanceled[] = "Accepting Canceled";
inline constexpr const char kAcceptFailed[] = "Error creating Data Connection";
inline constexpr const char kSendAborted[] = "Socket send aborted";
inline constexpr const char kReadLnAborted[] = "Socket readln aborted";
inline constexpr const char kCaptureAborted[] = "Socket capture aborted";
// A line that does not fit IoBuffer (65,536 bytes including its LF).
inline constexpr const char kLineTooLong[] =
    "Line too long: more than 65536 bytes without a line end";
// Prefixes; the offending number follows.
inline constexpr const char kTextTooLongPrefix[] = "Text too long to send (at most 65535 bytes): ";
inline constexpr const char kReplyCodeTooBigPrefix[] = "Reply code out of range (at most 32767): ";
inline constexpr const char kNegativeTimeOutPrefix[] = "TimeOut must not be negative: ";
}  // namespace SockText

class TSockTransport {
    // First, so that it outlives everything registered with it.
    std::unique_ptr<TEventPump> ownPump_;
    TEventPump* pump_;

  public:
    // With a pump of its own that waits with poll().
    TSockTransport();
    // With the pump the program (or a test) made; it must outlive the transport.
    explicit TSockTransport(TEventPump& pump);
    virtual ~TSockTransport();
    TSockTransport(const TSockTransport&) = delete;
    TSockTransport& operator=(const TSockTransport&) = delete;

    // --- connection lifecycle ---
    // Establishes the connection to Proxy/ProxyPort (or Host/Port); raises ESockError.
    virtual void Connect();
    // Closes the socket, fires OnDisconnect and makes a fresh socket for the next Connect.
    virtual void Disconnect();
    // As Cancel; descendants may add to it (the HTTP client also sets EventArrived).
    virtual void Abort();
    // Waits for a connection offered on a listening socket; returns the accepted socket.
    virtual Sys::SocketHandle Accept();
    // Sends the command as a line and reads one reply line; sets LastReply and ReplyCode.
    virtual void Transaction(const std::string& command, std::string& reply);
    // Sets CancelRequested: the running wait or transfer ends at its next check.
    void Cancel();
    // Reports text when level <= ReportLevel; errors of OnStatus are absorbed.
    void ReportStatus(uint8_t level, const std::string& text);

    // --- data transfer ---
    // Sends length bytes (0 = up to the first NUL, which must lie within 65,536 bytes).
    void SendBuffer(const char* data, uint16_t length);
    // Sends the text's bytes up to its first NUL (at most 65,535 of them).
    void Write(const std::string& text);
    // Sends the text followed by CR LF.
    void Writeln(const std::string& text);
    // One line ending in its LF, or empty when the peer closed first. Bytes after the LF stay
    // in the transport.
    void ReadLn(std::string& line);
    // Sends the whole file in blocks of at most 65,536 bytes.
    void SendFile(const std::string& fileName);
    // Creates (or empties) the file and writes every byte received until the peer closed.
    void CaptureFile(const std::string& fileName);
    // Every byte received until the peer closed, or until text reached limit (-1 = none);
    // the limit is tested before each receive.
    void CaptureString(std::string& text, int32_t limit);

    // The pump this transport waits and pumps with, and the clock of all its time-outs.
    TEventPump& Pump() { return *pump_; }
    std::chrono::milliseconds Now() const { return pump_->Now(); }
    // Moves the socket and the time-out to another pump; only between operations.
    void UsePump(TEventPump& pump);

    // --- properties ---
    std::string Host;
    int32_t Port = 0;
    int32_t TimeOut = 0;  // milliseconds; 0 = no time-out
    int32_t ReportLevel = 0;
    std::string Proxy;
    int32_t ProxyPort = 0;

    // --- events (skipped when empty) ---
    TNotifyEvent OnDisconnect;
    TNotifyEvent OnConnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;
    TNotifyEvent OnPacketRecvd;
    TNotifyEvent OnPacketSent;

    // --- state ---
    bool IsConnected = false;
    bool CancelRequested = false;
    int32_t SentTotal = 0;
    int32_t ReceivedTotal = 0;
    int32_t AnnouncedLength = 0;  // kept here for the HTTP client
    std::string LastReply;
    int16_t ReplyCode = 0;
    std::string StatusText;
    bool TimedOut = false;
    bool EventArrived = false;
    bool LastEventOk = false;

    // The current socket (Sys::kNoSocket = none) and where Connect connects (network byte
    // order).
    Sys::SocketHandle SocketHandle() const { return socketHandle_; }
    uint32_t RemoteAddress() const { return remoteAddress_; }
    uint16_t RemotePort() const { return remotePort_; }

  protected:
    // Disarms the time-out on every way out of the scope that armed it.
    struct TTimerGuard {
        TSockTransport& transport;
        ~TTimerGuard() { transport.TimerOff(); }
    };
    // Arms the time-out with TimeOut (a running countdown is not restarted).
    void TimerOn();
    void TimerOff();
    // The timer's tick: disarms, sets TimedOut and EventArrived, then Abort().
    void TimerTriggered(TThreadTimer* sender);
    // Resolves Proxy (or Host) into RemoteAddress.
    void ResolveHost();
    // Closes the socket; unless being destroyed fires OnDisconnect and makes a fresh socket.
    void RequestCloseSocket();
    // True when at least one unread byte waits in the transport.
    bool DataAvailable();
    // Raises ESockError for the last socket error unless it is tolerated (or <= 10000).
    void CheckSocketError(uint16_t tolerated, std::string& message);
    // "<code>:<text>", "Unknown Error No. <code>" or empty for 0.
    void LookupErrorMessage(uint16_t code, std::string& text);
    // One notification delivered by the pump.
    void HandleSocketEvent(const TPumpNotification& notification);
    void InitializeSockets();

    std::vector<char> IoBuffer;      // 65,536 data bytes + a NUL
    std::vector<char> LookupBuffer;  // 1,024 bytes: the addresses of the last lookup
    bool BeingDestroyed = false;
    std::unique_ptr<TThreadTimer> TimeoutTimer;

  private:
    TSockTransport(std::unique_ptr<TEventPump> own, TEventPump* pump);
    void Attach();
    Sys::SocketHandle CreateSocket(bool withLinger);
    // Sleeps until the socket shows events (as for Sys::Poll; 0 = not waiting on the socket),
    // anything else the pump watches happens, or the deadline passes; then pumps once.
    void WaitAndPump(short events, std::optional<std::chrono::milliseconds> deadline = {});
    // One receive into at (peek leaves the bytes in the transport): the bytes received, 0 when
    // the data has ended (the peer closed, or the socket was replaced after its close), or -1
    // when nothing is there yet. Any other failure raises ESockError.
    long long Receive(char* at, size_t size, bool peek);
    // One send: the bytes taken (0 ends a send early) or -1 while the transport is full. Any
    // other failure raises ESockError.
    long long SendSome(const char* data, size_t size);
    // Records the error number of a failed socket call and raises unless it is would-block.
    void RaiseUnlessWouldBlock(int32_t code);
    // A cancel or time-out ends the operation: clears CancelRequested, raises EAbortError(text).
    void EndIfCancelled(const char* text);
    [[noreturn]] static void RaiseTextTooLong(size_t count);
    // The receive loop of both captures: until the peer closes, the connection is gone,
    // a cancel or time-out, or full() says enough; every block goes to sink.
    void ReceiveUntilClosed(const std::function<bool()>& full,
                            const std::function<void(const char*, size_t)>& sink);
    // Sends from data until done, 0 taken, or cancel; waits (pumping) while the socket is full.
    // stallLimitMs > 0 ends a wait without progress by the time-out. Returns the bytes taken.
    size_t SendLoop(const char* data, size_t length, bool countAndNotify, int32_t stallLimitMs);

    Sys::SocketHandle socketHandle_ = Sys::kNoSocket;
    uint32_t remoteAddress_ = 0;
    uint16_t remotePort_ = 0;
    bool destroying_ = false;  // no status text or OnDisconnect reaches a handler
    bool acceptOffered_ = false;
    int32_t lastError_ = 0;  // table number of the last failed socket call
    // Set when the peer reset the connection (a close reported with an error). The reset
    // may be noticed by the pump, which then closes the socket, before the reader gets to
    // it; the reader must still end with the reset's error, never as at an orderly close,
    // or a cut page would pass for a whole one. Cleared by the next Connect.
    int32_t peerResetError_ = 0;
    void RaiseIfPeerReset() const;
    size_t lookupCount_ = 0;  // addresses of the last lookup held in LookupBuffer
    std::unique_ptr<TNotificationWindow> window_;
};
