// The connection lifecycle: construction, status and error texts, notifications, lookup,
// connect, close, cancel and accept. The time-out is in SockTimer.cpp, the transfers in
// SockTransfer.cpp.
#include "SockTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr size_t kIoSize = 65536;  // data bytes of IoBuffer; one more holds a NUL
constexpr size_t kLookupSize = 1024;
}  // namespace

// ---------------------------------------------------------------- construction

TSockTransport::TSockTransport() : TSockTransport(std::make_unique<TEventPump>(), nullptr) {}

TSockTransport::TSockTransport(TEventPump& pump) : TSockTransport(nullptr, &pump) {}

TSockTransport::TSockTransport(std::unique_ptr<TEventPump> own, TEventPump* pump)
    : ownPump_(std::move(own)),
      pump_(pump ? pump : ownPump_.get()),
      IoBuffer(kIoSize + 1, 0),
      LookupBuffer(kLookupSize, 0) {
    Attach();
    InitializeSockets();
}

void TSockTransport::Attach() {
    window_ = std::make_unique<TNotificationWindow>(
        *pump_, [this](const TPumpNotification& n) { HandleSocketEvent(n); });
    TimeoutTimer = std::make_unique<TThreadTimer>(*pump_);
    TimeoutTimer->SetEnabled(false);
    TimeoutTimer->SetOnTimer([this](TThreadTimer* sender) { TimerTriggered(sender); });
}

void TSockTransport::UsePump(TEventPump& pump) {
    if (&pump == pump_) return;
    TimeoutTimer.reset();
    window_.reset();
    pump_ = &pump;
    Attach();
    if (socketHandle_ >= 0 && IsConnected) {
        window_->WatchConnectedSocket(socketHandle_);
    } else if (socketHandle_ >= 0) {
        window_->WatchSocket(socketHandle_);
    }
    // Last: the old pump may be the one this object made, and nothing refers to it now.
    if (ownPump_.get() != pump_) ownPump_.reset();
}

void TSockTransport::InitializeSockets() {
    ReportStatus(8, "Initializing Winsock");
    socketHandle_ = CreateSocket(true);
    if (socketHandle_ < 0) throw ESockError(SockText::kInitFailed);
}

TSockTransport::~TSockTransport() {
    destroying_ = true;
    TSockTransport::Abort();
    Cancel();
    TimeoutTimer.reset();
    // Drops a lookup still running: its worker finishes into state it owns, not into us.
    window_.reset();
    BeingDestroyed = true;
    try {
        RequestCloseSocket();
    } catch (...) {
        // The descriptor is released by close() even when it reports an error.
    }
}

int TSockTransport::CreateSocket(bool withLinger) {
    // Only the socket made at start-up resets its connection on close; the fresh ones
    // made after each close end their connections in order.
    const int type = SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC;
    const int protocol = withLinger ? IPPROTO_TCP : 0;
    const auto& factory = pump_->SocketFactory;
    int fd = factory ? factory(AF_INET, type, protocol) : socket(AF_INET, type, protocol);
    if (fd < 0) {
        lastError_ = SocketErrorFromErrno(errno);
        return -1;
    }
    if (withLinger) {
        linger lin{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
    }
    if (window_) window_->WatchSocket(fd);
    return fd;
}

void TSockTransport::RaiseUnlessWouldBlock(int32_t code) {
    lastError_ = code;
    std::string message;
    CheckSocketError(SocketError::kWouldBlock, message);
}

// ---------------------------------------------------------------- status and errors

void TSockTransport::ReportStatus(uint8_t level, const std::string& text) {
    try {
        if (static_cast<int32_t>(level) > ReportLevel) return;
        StatusText = text;
        if (!destroying_ && OnStatus) OnStatus(this, StatusText);
    } catch (...) {
        // A status display must never break the operation that reports.
    }
}

void TSockTransport::CheckSocketError(uint16_t tolerated, std::string& message) {
    int32_t e = lastError_;
    if (e != tolerated && e > 10000) {
        LookupErrorMessage(static_cast<uint16_t>(e), message);
        throw ESockError(message);
    }
    message.clear();
}

void TSockTransport::LookupErrorMessage(uint16_t code, std::string& text) {
    ReportStatus(8, "Looking Up Error Message" + text);
    text = SocketErrorMessage(code);
}

// ---------------------------------------------------------------- notifications

void TSockTransport::HandleSocketEvent(const TPumpNotification& n) {
    try {
        LastEventOk = n.errorCode == 0;
        if (n.kind == TPumpNotification::LookupDone) {
            lookupCount_ = 0;
            if (LastEventOk) {
                size_t count = std::min(n.addresses.size(), kLookupSize / 4);
                std::memcpy(LookupBuffer.data(), n.addresses.data(), count * 4);
                lookupCount_ = count;
            }
            EventArrived = true;
            return;
        }
        switch (n.event) {
            case TSocketEvent::Read:
            case TSocketEvent::OutOfBand:
                break;
            case TSocketEvent::Accept:
                IsConnected = true;
                acceptOffered_ = true;
                break;
            case TSocketEvent::Connect:
                if (LastEventOk) {
                    IsConnected = true;
                    if (OnConnect) OnConnect(this);
                }
                break;
            case TSocketEvent::Close:
                if (n.socket != socketHandle_) break;
                if (n.errorCode != 0) peerResetError_ = n.errorCode;
                // Unread data stays readable; the reader meets the end after it.
                if (!DataAvailable()) RequestCloseSocket();
                break;
        }
    } catch (...) {
        // Nobody waits for a notification's handler; its errors are absorbed.
    }
}

bool TSockTransport::DataAvailable() {
    ReportStatus(8, "Data Available");
    // Peeks into a byte of its own: IoBuffer may hold the line that ReadLn is assembling.
    char probe = 0;
    return recv(socketHandle_, &probe, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

// ---------------------------------------------------------------- waiting

void TSockTransport::WaitAndPump(short events, std::optional<std::chrono::milliseconds> deadline) {
    pump_->Wait(events != 0 ? socketHandle_ : -1, events, deadline);
    pump_->PumpOnce();
}

// ---------------------------------------------------------------- lookup and connect

void TSockTransport::ResolveHost() {
    ReportStatus(8, "Resolve Host");
    const std::string& source = Proxy.empty() ? Host : Proxy;
    // The name ends at its first NUL, as it would in IoBuffer.
    std::string name = source.substr(0, std::min(source.find('\0'), kIoSize));
    std::memcpy(IoBuffer.data(), name.data(), name.size());
    IoBuffer[name.size()] = '\0';

    in_addr_t parsed = inet_addr(name.c_str());
    if (parsed != INADDR_NONE) {
        remoteAddress_ = parsed;
        return;
    }
    remoteAddress_ = 0;
    TimerOn();
    TTimerGuard timer{*this};
    EventArrived = false;
    lookupCount_ = 0;
    window_->StartLookup(name);
    // Not on the socket: an unconnected one reports a hang-up at once and would spin the wait.
    while (!(EventArrived || TimedOut || CancelRequested)) WaitAndPump(0);
    if (TimedOut || CancelRequested) {
        // A late answer must not end a later lookup early with this one's address.
        window_->WithdrawLookup();
    }
    if (TimedOut) throw ESockError(SockText::kLookupTimedOut);
    if (CancelRequested) throw ESockError(SockText::kLookupCanceled);
    if (!LastEventOk) throw ESockError(SockText::kLookupFailed);
    if (lookupCount_ > 0) std::memcpy(&remoteAddress_, LookupBuffer.data(), 4);
    if (OnHostResolved) OnHostResolved(this);
}

void TSockTransport::Connect() {
    ReportStatus(8, "Connecting");
    CancelRequested = false;
    peerResetError_ = 0;
    if (IsConnected) throw ESockError(SockText::kAlreadyConnected);

    int retries = 0;
    for (;;) {
        try {
            ResolveHost();
        } catch (const ESockError& e) {
            // A failed lookup only leaves the address empty; the caller hears about it
            // as "Null Remote Address" (or asks OnInvalidHost for another name).
            if (e.Message != SockText::kLookupFailed) throw;
        }
        if (remoteAddress_ != 0) break;
        if (retries > 0 || !OnInvalidHost) throw ESockError(SockText::kNullRemoteAddress);
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled) throw ESockError(SockText::kNullRemoteAddress);
        ++retries;
    }

    remotePort_ = htons(static_cast<uint16_t>(Proxy.empty() ? Port : ProxyPort));
    EventArrived = false;
    LastEventOk = true;

    if (socketHandle_ < 0) {
        // The fresh socket after the last close could not be made then; try again now.
        socketHandle_ = CreateSocket(false);
        if (socketHandle_ < 0) RaiseUnlessWouldBlock(lastError_);
    }

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = remotePort_;
    addr.sin_addr.s_addr = remoteAddress_;
    int rc = connect(socketHandle_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int err = rc == 0 ? 0 : errno;
    switch (err) {
        case 0:
        case EINPROGRESS:
        case EAGAIN:
        case EINTR:
            window_->ConnectStarted(socketHandle_);
            break;
        case ECONNREFUSED:
        case ECONNRESET:
        case ECONNABORTED:
        case ETIMEDOUT: {
            // The answer of the remote end, even when it came at once (a local port): it is
            // reported as the connect notification, like every other outcome of a connect.
            TPumpNotification note;
            note.socket = socketHandle_;
            note.event = TSocketEvent::Connect;
            note.errorCode = SocketErrorFromErrno(err);
            window_->Post(note);
            break;
        }
        default: {
            RaiseUnlessWouldBlock(SocketErrorFromErrno(err));
            window_->ConnectStarted(socketHandle_);
            break;
        }
    }

    TimerOn();
    {
        TTimerGuard timer{*this};
        while (!(IsConnected || TimedOut || CancelRequested || !LastEventOk)) WaitAndPump(POLLOUT);
    }
    if (!TimedOut && !CancelRequested && LastEventOk) return;
    if (OnConnectionFailed) OnConnectionFailed(this);
    if (TimedOut) throw ESockError(SockText::kConnectTimedOut);
    if (CancelRequested) throw ESockError(SockText::kConnectCanceled);
    throw ESockError(SockText::kConnectFailed);
}

// ---------------------------------------------------------------- close, cancel, accept

void TSockTransport::RequestCloseSocket() {
    ReportStatus(4, "Request Close Socket");
    IsConnected = false;
    if (socketHandle_ < 0) return;
    int fd = socketHandle_;
    if (window_) window_->ForgetSocket(fd);
    int rc = close(fd);
    int err = rc == 0 ? 0 : errno;
    // close() releases the descriptor even when it reports an error, so the object always
    // goes on with a fresh socket.
    socketHandle_ = -1;
    if (!BeingDestroyed) socketHandle_ = CreateSocket(false);
    if (err != 0 && err != EINTR) RaiseUnlessWouldBlock(SocketErrorFromErrno(err));
    if (!destroying_ && OnDisconnect) OnDisconnect(this);
}

void TSockTransport::Disconnect() {
    ReportStatus(8, "Disconnecting");
    RequestCloseSocket();
}

void TSockTransport::Cancel() {
    ReportStatus(8, "Canceling");
    CancelRequested = true;
}

void TSockTransport::Abort() {
    ReportStatus(8, "Abort");
    Cancel();
}

int TSockTransport::Accept() {
    ReportStatus(4, "Accepting");
    for (;;) {
        // The offered connection ends the wait too; nothing else would.
        // Not on the socket: one that is not listening reports a hang-up at once.
        while (!EventArrived && !CancelRequested && !acceptOffered_) WaitAndPump(0);
        if (CancelRequested) throw ESockError(SockText::kAcceptCanceled);
        if (!LastEventOk) throw ESockError(SockText::kAcceptFailed);
        acceptOffered_ = false;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = accept4(socketHandle_, reinterpret_cast<sockaddr*>(&peer), &len,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            RaiseUnlessWouldBlock(SocketErrorFromErrno(errno));
            if (EventArrived) return -1;
            continue;  // the offer was withdrawn before we took it: wait for the next
        }
        window_->WatchConnectedSocket(fd);
        remoteAddress_ = peer.sin_addr.s_addr;
        remotePort_ = peer.sin_port;
        if (CancelRequested) {
            window_->ForgetSocket(fd);
            close(fd);
            EndIfCancelled(SockText::kSendAborted);
        }
        return fd;
    }
}
