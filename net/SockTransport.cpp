#include "SockTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kIoSize = 65536;  // data bytes of IoBuffer; one more holds a NUL
constexpr size_t kLookupSize = 1024;
constexpr int kWaitSliceMs = 2;

int32_t gSocketUserCount = 0;
bool gLibraryStarted = false;
int32_t gLibraryStarts = 0;

// POSIX sockets need no library start-up; the counter keeps the start/stop pairing that
// callers and tests observe.
void StartSocketLibrary() {
    gLibraryStarted = true;
    ++gLibraryStarts;
}
void StopSocketLibrary() {
    gLibraryStarted = false;
}

void ReleaseSocketUser() {
    if (--gSocketUserCount == 0) StopSocketLibrary();
}

int32_t AddWrapping(int32_t total, size_t n) {
    return static_cast<int32_t>(static_cast<uint32_t>(total) + static_cast<uint32_t>(n));
}

// Every transfer arms the time-out at its start and disarms it on every way out.
class TimerScope {
  public:
    explicit TimerScope(std::function<void()> off) : off_(std::move(off)) {}
    ~TimerScope() { off_(); }
    TimerScope(const TimerScope&) = delete;
    TimerScope& operator=(const TimerScope&) = delete;

  private:
    std::function<void()> off_;
};

TSocketFactory& SocketFactorySlot() {
    static TSocketFactory factory;
    return factory;
}

int MakeSocket(int domain, int type, int protocol) {
    const TSocketFactory& factory = SocketFactorySlot();
    return factory ? factory(domain, type, protocol) : socket(domain, type, protocol);
}
}  // namespace

TSocketFactory SetSocketFactory(TSocketFactory factory) {
    TSocketFactory previous = std::move(SocketFactorySlot());
    SocketFactorySlot() = std::move(factory);
    return previous;
}

int32_t SocketUserCount() {
    return gSocketUserCount;
}
bool SocketLibraryStarted() {
    return gLibraryStarted;
}
int32_t SocketLibraryStartCount() {
    return gLibraryStarts;
}

// ---------------------------------------------------------------- TThreadTimer

TThreadTimer::TThreadTimer() = default;

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    UpdateTimer();
}

void TThreadTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TTimerEvent handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
    if (timerId_ != 0) {
        StopPumpTimer(timerId_);
        timerId_ = 0;
    }
    if (interval_ != 0 && enabled_ && onTimer_) {
        timerId_ = StartPumpTimer(interval_, [this] { Tick(); });
    }
}

void TThreadTimer::Tick() {
    // A copy: the handler may replace OnTimer.
    TTimerEvent handler = onTimer_;
    if (handler) handler(this);
}

// ---------------------------------------------------------------- construction

TSockTransport::TSockTransport() : IoBuffer(kIoSize + 1, 0), LookupBuffer(kLookupSize, 0) {
    window_ = std::make_unique<TNotificationWindow>(
        [this](const TPumpNotification& n) { HandleSocketEvent(n); });
    TimeoutTimer = std::make_unique<TThreadTimer>();
    TimeoutTimer->SetEnabled(false);
    TimeoutTimer->SetOnTimer([this](TThreadTimer* sender) { TimerTriggered(sender); });
    InitializeSockets();
}

void TSockTransport::InitializeSockets() {
    ReportStatus(8, "Initializing Winsock");
    if (++gSocketUserCount == 1) StartSocketLibrary();
    socketHandle_ = CreateSocket(true);
    if (socketHandle_ < 0) {
        ReleaseSocketUser();
        throw ESockError(SockText::kInitFailed);
    }
    counted_ = true;
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
    if (counted_) ReleaseSocketUser();
}

int TSockTransport::CreateSocket(bool withLinger) {
    // Only the socket made at start-up resets its connection on close; the fresh ones
    // made after each close end their connections in order.
    int fd = MakeSocket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        withLinger ? IPPROTO_TCP : 0);
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

// ---------------------------------------------------------------- time-out

void TSockTransport::TimerOn() {
    ReportStatus(8, "Timer On");
    TimedOut = false;
    if (TimeOut < 0) throw ESockError(SockText::kNegativeTimeOutPrefix + std::to_string(TimeOut));
    TimeoutTimer->SetInterval(static_cast<uint32_t>(TimeOut));
    TimeoutTimer->SetEnabled(true);
}

void TSockTransport::TimerOff() {
    ReportStatus(8, "Timer Off");
    if (TimeoutTimer) TimeoutTimer->SetEnabled(false);
}

void TSockTransport::TimerTriggered(TThreadTimer*) {
    ReportStatus(8, "Timer Triggered");
    TimerOff();
    TimedOut = true;
    EventArrived = true;
    Abort();
}

void TSockTransport::WaitAndPump(short events) {
    WaitForActivity(socketHandle_, events, kWaitSliceMs);
    PumpOnce();
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
    TimerScope timer([this] { TimerOff(); });
    EventArrived = false;
    lookupCount_ = 0;
    window_->StartLookup(name);
    // Not on the socket: an unconnected one reports a hang-up at once and would spin the wait.
    while (!(EventArrived || TimedOut || CancelRequested)) {
        WaitForActivity(-1, 0, kWaitSliceMs);
        PumpOnce();
    }
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
        if (socketHandle_ < 0) {
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
        }
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
            lastError_ = SocketErrorFromErrno(err);
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
            window_->ConnectStarted(socketHandle_);
            break;
        }
    }

    TimerOn();
    {
        TimerScope timer([this] { TimerOff(); });
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
    if (err != 0 && err != EINTR) {
        lastError_ = SocketErrorFromErrno(err);
        std::string message;
        CheckSocketError(SocketError::kWouldBlock, message);
    }
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
        while (!EventArrived && !CancelRequested && !acceptOffered_) {
            WaitForActivity(-1, 0, kWaitSliceMs);
            PumpOnce();
        }
        if (CancelRequested) throw ESockError(SockText::kAcceptCanceled);
        if (!LastEventOk) throw ESockError(SockText::kAcceptFailed);
        acceptOffered_ = false;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = accept4(socketHandle_, reinterpret_cast<sockaddr*>(&peer), &len,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            lastError_ = SocketErrorFromErrno(errno);
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
            if (EventArrived) return -1;
            continue;  // the offer was withdrawn before we took it: wait for the next
        }
        window_->WatchConnectedSocket(fd);
        remoteAddress_ = peer.sin_addr.s_addr;
        remotePort_ = peer.sin_port;
        if (CancelRequested) {
            CancelRequested = false;
            window_->ForgetSocket(fd);
            close(fd);
            throw EAbortError(SockText::kSendAborted);
        }
        return fd;
    }
}

// ---------------------------------------------------------------- sending

size_t TSockTransport::SendLoop(const char* data, size_t length, bool countAndNotify,
                                int32_t stallLimitMs) {
    using Clock = std::chrono::steady_clock;
    size_t offset = 0;
    Clock::time_point lastProgress = Clock::now();
    while (offset < length && !CancelRequested) {
        ssize_t n =
            send(socketHandle_, data + offset, length - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == 0) break;
        if (n > 0) {
            offset += static_cast<size_t>(n);
            lastProgress = Clock::now();
            if (countAndNotify) {
                SentTotal = AddWrapping(SentTotal, static_cast<size_t>(n));
                if (OnPacketSent) OnPacketSent(this);
                PumpOnce();
            }
            continue;
        }
        if (errno == EINTR) continue;
        lastError_ = SocketErrorFromErrno(errno);
        std::string message;
        CheckSocketError(SocketError::kWouldBlock, message);
        // The peer is not taking data. Wait for room while the time-out and Cancel stay
        // alive, instead of retrying the send in a tight loop.
        if (stallLimitMs > 0 &&
            Clock::now() - lastProgress >= std::chrono::milliseconds(stallLimitMs)) {
            TimedOut = true;
            CancelRequested = true;
            break;
        }
        WaitAndPump(POLLOUT);
    }
    return offset;
}

void TSockTransport::SendBuffer(const char* data, uint16_t length) {
    ReportStatus(4, "Sending Buffer");
    TimerOn();
    TimerScope timer([this] { TimerOff(); });
    if (!CancelRequested) {
        size_t count = length;
        if (count == 0) {
            const void* nul = std::memchr(data, 0, kIoSize);
            count = nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : kIoSize;
            if (count > 65535) {
                throw ESockError(SockText::kTextTooLongPrefix + std::to_string(count) + " bytes");
            }
        }
        SendLoop(data, count, false, 0);
    }
    if (CancelRequested) {
        CancelRequested = false;
        throw EAbortError(SockText::kSendAborted);
    }
}

void TSockTransport::Write(const std::string& text) {
    ReportStatus(8, "Write");
    size_t count = std::min(text.find('\0'), text.size());
    if (count > 65535) {
        throw ESockError(SockText::kTextTooLongPrefix + std::to_string(count) + " bytes");
    }
    std::memcpy(IoBuffer.data(), text.data(), count);
    IoBuffer[count] = '\0';
    SendBuffer(IoBuffer.data(), 0);
}

void TSockTransport::Writeln(const std::string& text) {
    ReportStatus(8, "Writeln");
    Write(text + "\r\n");
}

void TSockTransport::SendFile(const std::string& fileName) {
    ReportStatus(8, "SendFile");
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) throw EFOpenError(FileOpenErrorMessage(fileName));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    while (!CancelRequested) {
        size_t size = std::fread(IoBuffer.data(), 1, kIoSize, file);
        if (size == 0) {
            if (std::ferror(file)) throw EFOpenError(FileOpenErrorMessage(fileName));
            break;
        }
        // No time-out bounds the whole file; a peer that takes nothing for TimeOut does.
        size_t sent = SendLoop(IoBuffer.data(), size, true, TimeOut);
        if (sent < size && !CancelRequested) break;  // the transport took 0 bytes
        if (size < kIoSize && std::feof(file)) break;
    }
    closer.reset();
    if (CancelRequested) {
        CancelRequested = false;
        throw EAbortError(SockText::kSendAborted);
    }
}

// ---------------------------------------------------------------- receiving

void TSockTransport::RaiseIfPeerReset() const {
    if (peerResetError_ != 0) throw ESockError(SocketErrorMessage(peerResetError_));
}

void TSockTransport::ReadLn(std::string& line) {
    ReportStatus(8, "ReadLn");
    line.clear();
    size_t consumed = 0;
    TimerOn();
    TimerScope timer([this] { TimerOff(); });
    bool found = false;
    size_t lineEnd = 0;  // position of the LF in IoBuffer
    do {
        if (consumed >= kIoSize) throw ESockError(SockText::kLineTooLong);
        char* at = IoBuffer.data() + consumed;
        // Peek first, so nothing beyond the line's LF is taken out of the transport.
        ssize_t n = recv(socketHandle_, at, kIoSize - consumed, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0) {
            // The peer closed: the bytes of an unfinished line are dropped.
            RaiseIfPeerReset();
            return;
        }
        if (n > 0) {
            // Bytes before `consumed` were searched in earlier passes.
            if (const void* lf = std::memchr(at, '\n', static_cast<size_t>(n))) {
                lineEnd = static_cast<size_t>(static_cast<const char*>(lf) - IoBuffer.data());
                found = true;
                break;
            }
            ssize_t got = recv(socketHandle_, at, static_cast<size_t>(n), MSG_DONTWAIT);
            if (got > 0) {
                consumed += static_cast<size_t>(got);
            } else if (got < 0 && errno != EINTR) {
                lastError_ = SocketErrorFromErrno(errno);
                std::string message;
                CheckSocketError(SocketError::kWouldBlock, message);
            }
            PumpOnce();
        } else {
            if (errno == EINTR) continue;
            lastError_ = SocketErrorFromErrno(errno);
            // The peer closed and the socket was replaced: the end of the data.
            if (lastError_ == SocketError::kNotConnected) break;
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
            WaitAndPump(POLLIN);
        }
    } while (!CancelRequested);

    if (CancelRequested) {
        CancelRequested = false;
        throw EAbortError(SockText::kReadLnAborted);
    }
    if (!found) {
        RaiseIfPeerReset();
        return;
    }
    while (consumed < lineEnd + 1) {
        ssize_t got =
            recv(socketHandle_, IoBuffer.data() + consumed, lineEnd + 1 - consumed, MSG_DONTWAIT);
        if (got > 0) {
            consumed += static_cast<size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            // The peeked bytes are gone (the connection broke in between).
            lastError_ = got == 0 ? SocketError::kNotConnected : SocketErrorFromErrno(errno);
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
            return;
        }
    }
    line.assign(IoBuffer.data(), consumed);
}

void TSockTransport::ReceiveUntilClosed(const std::function<bool()>& full,
                                        const std::function<void(const char*, size_t)>& sink) {
    while (!CancelRequested) {
        if (full()) break;
        ssize_t n = recv(socketHandle_, IoBuffer.data(), kIoSize, MSG_DONTWAIT);
        if (n > 0) {
            sink(IoBuffer.data(), static_cast<size_t>(n));
            ReceivedTotal = AddWrapping(ReceivedTotal, static_cast<size_t>(n));
            if (OnPacketRecvd) OnPacketRecvd(this);
            TimerOn();
            PumpOnce();
        } else if (n == 0) {
            RaiseIfPeerReset();
            break;
        } else {
            if (errno == EINTR) continue;
            lastError_ = SocketErrorFromErrno(errno);
            if (lastError_ == SocketError::kNotConnected) {
                RaiseIfPeerReset();
                break;
            }
            std::string message;
            CheckSocketError(SocketError::kWouldBlock, message);
            WaitAndPump(POLLIN);
        }
    }
}

void TSockTransport::CaptureFile(const std::string& fileName) {
    ReportStatus(8, "CaptureFile");
    ReceivedTotal = 0;
    TimerOn();
    TimerScope timer([this] { TimerOff(); });
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) throw EFCreateError(FileCreateErrorMessage(fileName));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    ReceiveUntilClosed([] { return false; },
                       [&](const char* data, size_t n) {
                           if (std::fwrite(data, 1, n, file) != n) {
                               throw EFCreateError(FileCreateErrorMessage(fileName));
                           }
                       });
    // A full disk shows up at the latest when the last block is flushed.
    if (std::fclose(closer.release()) != 0) throw EFCreateError(FileCreateErrorMessage(fileName));
    if (CancelRequested) {
        CancelRequested = false;
        throw EAbortError(SockText::kSendAborted);
    }
}

void TSockTransport::CaptureString(std::string& text, int32_t limit) {
    ReportStatus(8, "Capture String");
    text.clear();
    ReceivedTotal = 0;
    TimerOn();
    TimerScope timer([this] { TimerOff(); });
    // The limit is tested before each receive, so the text may pass it by one block.
    ReceiveUntilClosed([&] { return limit != -1 && static_cast<int64_t>(text.size()) >= limit; },
                       [&](const char* data, size_t n) { text.append(data, n); });
    if (CancelRequested) {
        CancelRequested = false;
        throw EAbortError(SockText::kCaptureAborted);
    }
}

void TSockTransport::Transaction(const std::string& command, std::string& reply) {
    ReportStatus(8, "Transaction");
    ReplyCode = 0;
    Writeln(command);
    std::string line;
    ReadLn(line);
    LastReply = line;
    if (!LastReply.empty()) {
        ReportStatus(1, LastReply);
        size_t digits = 0;
        while (digits < LastReply.size() && digits < 10 && LastReply[digits] >= '0' &&
               LastReply[digits] <= '9') {
            ++digits;
        }
        if (digits > 0) {
            int64_t value = std::stoll(LastReply.substr(0, digits));
            if (value > 32767) {
                throw ESockError(SockText::kReplyCodeTooBigPrefix + LastReply.substr(0, digits));
            }
            ReplyCode = static_cast<int16_t>(value);
        }
    }
    reply = LastReply;
}
