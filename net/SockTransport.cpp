// The connection lifecycle: construction, status and error texts, notifications, lookup,
// connect, close, cancel and accept. The time-out is in SockTimer.cpp, the transfers in
// SockTransfer.cpp.
#include "SockTransport.h"

#include <algorithm>
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
    if (socketHandle_ != Sys::kNoSocket && IsConnected) {
        window_->WatchConnectedSocket(socketHandle_);
    } else if (socketHandle_ != Sys::kNoSocket) {
        window_->WatchSocket(socketHandle_);
    }
    // Last: the old pump may be the one this object made, and nothing refers to it now.
    if (ownPump_.get() != pump_) ownPump_.reset();
}

void TSockTransport::InitializeSockets() {
    ReportStatus(8, "Initializing Winsock");
    if (!Sys::StartSockets()) throw ESockError(SockText::kInitFailed);
    socketHandle_ = CreateSocket(true);
    if (socketHandle_ == Sys::kNoSocket) throw ESockError(SockText::kInitFailed);
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
        // The socket is released by its close even when that reports an error.
    }
}

Sys::SocketHandle TSockTransport::CreateSocket(bool withLinger) {
    // Only the socket made at start-up resets its connection on close; the fresh ones
    // made after each close end their connections in order.
    const auto& factory = pump_->SocketFactory;
    int32_t error = 0;
    const Sys::SocketHandle fd =
        factory ? factory(withLinger, error) : Sys::OpenStreamSocket(withLinger, error);
    if (fd == Sys::kNoSocket) {
        lastError_ = error;
        return Sys::kNoSocket;
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
    int32_t error = 0;
    return Sys::Receive(socketHandle_, &probe, 1, true, error) > 0;
}

// ---------------------------------------------------------------- waiting

void TSockTransport::WaitAndPump(short events, std::optional<std::chrono::milliseconds> deadline) {
    pump_->Wait(events != 0 ? socketHandle_ : Sys::kNoSocket, events, deadline);
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

    if (uint32_t parsed = 0; Sys::ParseIpv4(name, parsed)) {
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

    remotePort_ = Sys::HostToNetwork(static_cast<uint16_t>(Proxy.empty() ? Port : ProxyPort));
    EventArrived = false;
    LastEventOk = true;

    if (socketHandle_ == Sys::kNoSocket) {
        // The fresh socket after the last close could not be made then; try again now.
        socketHandle_ = CreateSocket(false);
        if (socketHandle_ == Sys::kNoSocket) RaiseUnlessWouldBlock(lastError_);
    }

    const int32_t err = Sys::StartConnect(socketHandle_, remoteAddress_, remotePort_);
    switch (err) {
        case 0:
        case SocketError::kInProgress:
        case SocketError::kWouldBlock:
        case SocketError::kInterrupted:
            window_->ConnectStarted(socketHandle_);
            break;
        case SocketError::kConnectionRefused:
        case SocketError::kConnectionReset:
        case SocketError::kConnectionAborted:
        case SocketError::kTimedOut: {
            // The answer of the remote end, even when it came at once (a local port): it is
            // reported as the connect notification, like every other outcome of a connect.
            TPumpNotification note;
            note.socket = socketHandle_;
            note.event = TSocketEvent::Connect;
            note.errorCode = err;
            window_->Post(note);
            break;
        }
        default: {
            RaiseUnlessWouldBlock(err);
            window_->ConnectStarted(socketHandle_);
            break;
        }
    }

    TimerOn();
    {
        TTimerGuard timer{*this};
        while (!(IsConnected || TimedOut || CancelRequested || !LastEventOk))
            WaitAndPump(Sys::kWritable);
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
    if (socketHandle_ == Sys::kNoSocket) return;
    const Sys::SocketHandle fd = socketHandle_;
    if (window_) window_->ForgetSocket(fd);
    const int32_t err = Sys::CloseSocket(fd);
    // The close releases the socket even when it reports an error, so the object always goes
    // on with a fresh socket.
    socketHandle_ = Sys::kNoSocket;
    if (!BeingDestroyed) socketHandle_ = CreateSocket(false);
    if (err != 0) RaiseUnlessWouldBlock(err);
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

Sys::SocketHandle TSockTransport::Accept() {
    ReportStatus(4, "Accepting");
    for (;;) {
        // The offered connection ends the wait too; nothing else would.
        // Not on the socket: one that is not listening reports a hang-up at once.
        while (!EventArrived && !CancelRequested && !acceptOffered_) WaitAndPump(0);
        if (CancelRequested) throw ESockError(SockText::kAcceptCanceled);
        if (!LastEventOk) throw ESockError(SockText::kAcceptFailed);
        acceptOffered_ = false;
        uint32_t peerAddress = 0;
        uint16_t peerPort = 0;
        int32_t error = 0;
        const Sys::SocketHandle fd = Sys::Accept(socketHandle_, true, peerAddress, peerPort, error);
        if (fd == Sys::kNoSocket) {
            RaiseUnlessWouldBlock(error);
            if (EventArrived) return Sys::kNoSocket;
            continue;  // the offer was withdrawn before we took it: wait for the next
        }
        window_->WatchConnectedSocket(fd);
        remoteAddress_ = peerAddress;
        remotePort_ = peerPort;
        if (CancelRequested) {
            window_->ForgetSocket(fd);
            Sys::CloseSocket(fd);
            EndIfCancelled(SockText::kSendAborted);
        }
        return fd;
    }
}
