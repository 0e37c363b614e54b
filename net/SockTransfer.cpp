// The transfers on the open connection: block, text and file sends, line reads, captures.
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "SockTransport.h"

namespace {
constexpr size_t kIoSize = 65536;  // data bytes of IoBuffer; one more holds a NUL

int32_t AddWrapping(int32_t total, size_t n) {
    return static_cast<int32_t>(static_cast<uint32_t>(total) + static_cast<uint32_t>(n));
}
}  // namespace

// ---------------------------------------------------------------- the socket calls

ssize_t TSockTransport::Receive(char* at, size_t size, bool peek) {
    for (;;) {
        ssize_t n = recv(socketHandle_, at, size, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        int32_t code = SocketErrorFromErrno(errno);
        // The peer closed and the socket was replaced: the end of the data.
        if (code == SocketError::kNotConnected) return 0;
        RaiseUnlessWouldBlock(code);
        return -1;
    }
}

ssize_t TSockTransport::SendSome(const char* data, size_t size) {
    for (;;) {
        ssize_t n = send(socketHandle_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        RaiseUnlessWouldBlock(SocketErrorFromErrno(errno));
        return -1;
    }
}

// ---------------------------------------------------------------- the ways out

void TSockTransport::EndIfCancelled(const char* text) {
    if (!CancelRequested) return;
    // Cleared first, so the object can be used again at once.
    CancelRequested = false;
    throw EAbortError(text);
}

void TSockTransport::RaiseTextTooLong(size_t count) {
    throw ESockError(SockText::kTextTooLongPrefix + std::to_string(count) + " bytes");
}

// ---------------------------------------------------------------- sending

size_t TSockTransport::SendLoop(const char* data, size_t length, bool countAndNotify,
                                int32_t stallLimitMs) {
    size_t offset = 0;
    std::chrono::milliseconds lastProgress = Now();
    while (offset < length && !CancelRequested) {
        ssize_t n = SendSome(data + offset, length - offset);
        if (n == 0) break;
        if (n > 0) {
            offset += static_cast<size_t>(n);
            lastProgress = Now();
            if (countAndNotify) {
                SentTotal = AddWrapping(SentTotal, static_cast<size_t>(n));
                if (OnPacketSent) OnPacketSent(this);
                pump_->PumpOnce();
            }
            continue;
        }
        // The peer is not taking data. Wait for room while the time-out and Cancel stay
        // alive, instead of retrying the send in a tight loop.
        std::optional<std::chrono::milliseconds> stallDeadline;
        if (stallLimitMs > 0) {
            stallDeadline = lastProgress + std::chrono::milliseconds(stallLimitMs);
            if (Now() >= *stallDeadline) {
                TimedOut = true;
                CancelRequested = true;
                break;
            }
        }
        WaitAndPump(POLLOUT, stallDeadline);
    }
    return offset;
}

void TSockTransport::SendBuffer(const char* data, uint16_t length) {
    ReportStatus(4, "Sending Buffer");
    TimerOn();
    TTimerGuard timer{*this};
    if (!CancelRequested) {
        size_t count = length;
        if (count == 0) {
            const void* nul = std::memchr(data, 0, kIoSize);
            count = nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : kIoSize;
            if (count > 65535) {
                RaiseTextTooLong(count);
            }
        }
        SendLoop(data, count, false, 0);
    }
    EndIfCancelled(SockText::kSendAborted);
}

void TSockTransport::Write(const std::string& text) {
    ReportStatus(8, "Write");
    size_t count = std::min(text.find('\0'), text.size());
    if (count > 65535) {
        RaiseTextTooLong(count);
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
    auto cannotRead = [&] { return EFOpenError(FileOpenErrorMessage(fileName)); };
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) throw cannotRead();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    while (!CancelRequested) {
        size_t size = std::fread(IoBuffer.data(), 1, kIoSize, file);
        if (size == 0) {
            if (std::ferror(file)) throw cannotRead();
            break;
        }
        // No time-out bounds the whole file; a peer that takes nothing for TimeOut does.
        size_t sent = SendLoop(IoBuffer.data(), size, true, TimeOut);
        if (sent < size && !CancelRequested) break;  // the transport took 0 bytes
        if (size < kIoSize && std::feof(file)) break;
    }
    closer.reset();
    EndIfCancelled(SockText::kSendAborted);
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
    TTimerGuard timer{*this};
    bool found = false;
    size_t lineEnd = 0;  // position of the LF in IoBuffer
    do {
        if (consumed >= kIoSize) throw ESockError(SockText::kLineTooLong);
        char* at = IoBuffer.data() + consumed;
        // Peek first, so nothing beyond the line's LF is taken out of the transport.
        ssize_t n = Receive(at, kIoSize - consumed, true);
        if (n == 0) {
            // The peer closed: the bytes of an unfinished line are dropped.
            RaiseIfPeerReset();
            return;
        }
        if (n < 0) {
            WaitAndPump(POLLIN);
            continue;
        }
        // Bytes before `consumed` were searched in earlier passes.
        if (const void* lf = std::memchr(at, '\n', static_cast<size_t>(n))) {
            lineEnd = static_cast<size_t>(static_cast<const char*>(lf) - IoBuffer.data());
            found = true;
            break;
        }
        ssize_t got = Receive(at, static_cast<size_t>(n), false);
        if (got > 0) consumed += static_cast<size_t>(got);
        pump_->PumpOnce();
    } while (!CancelRequested);

    EndIfCancelled(SockText::kReadLnAborted);
    if (!found) return;
    while (consumed < lineEnd + 1) {
        ssize_t got = Receive(IoBuffer.data() + consumed, lineEnd + 1 - consumed, false);
        if (got < 0) return;
        // The peeked bytes are gone (the connection broke in between).
        if (got == 0) RaiseUnlessWouldBlock(SocketError::kNotConnected);
        consumed += static_cast<size_t>(got);
    }
    line.assign(IoBuffer.data(), consumed);
}

void TSockTransport::ReceiveUntilClosed(const std::function<bool()>& full,
                                        const std::function<void(const char*, size_t)>& sink) {
    while (!CancelRequested) {
        if (full()) break;
        ssize_t n = Receive(IoBuffer.data(), kIoSize, false);
        if (n == 0) {
            RaiseIfPeerReset();
            break;
        }
        if (n < 0) {
            WaitAndPump(POLLIN);
            continue;
        }
        sink(IoBuffer.data(), static_cast<size_t>(n));
        ReceivedTotal = AddWrapping(ReceivedTotal, static_cast<size_t>(n));
        if (OnPacketRecvd) OnPacketRecvd(this);
        TimerOn();
        pump_->PumpOnce();
    }
}

void TSockTransport::CaptureFile(const std::string& fileName) {
    ReportStatus(8, "CaptureFile");
    ReceivedTotal = 0;
    TimerOn();
    TTimerGuard timer{*this};
    auto cannotWrite = [&] { return EFCreateError(FileCreateErrorMessage(fileName)); };
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) throw cannotWrite();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    ReceiveUntilClosed([] { return false; },
                       [&](const char* data, size_t n) {
                           if (std::fwrite(data, 1, n, file) != n) throw cannotWrite();
                       });
    // A full disk shows up at the latest when the last block is flushed.
    if (std::fclose(closer.release()) != 0) throw cannotWrite();
    EndIfCancelled(SockText::kSendAborted);
}

void TSockTransport::CaptureString(std::string& text, int32_t limit) {
    ReportStatus(8, "Capture String");
    text.clear();
    ReceivedTotal = 0;
    TimerOn();
    TTimerGuard timer{*this};
    // The limit is tested before each receive, so the text may pass it by one block.
    ReceiveUntilClosed([&] { return limit != -1 && static_cast<int64_t>(text.size()) >= limit; },
                       [&](const char* data, size_t n) { text.append(data, n); });
    EndIfCancelled(SockText::kCaptureAborted);
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
