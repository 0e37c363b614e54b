// The transfers on the open connection: block, text and file sends, line reads, captures.
#include <cstring>

#include "SockTransport.h"
#include "SysFile.h"

namespace {
constexpr size_t kIoSize = 65536;  // data bytes of IoBuffer; one more holds a NUL

int32_t AddWrapping(int32_t total, size_t n) {
    return static_cast<int32_t>(static_cast<uint32_t>(total) + static_cast<uint32_t>(n));
}
}  // namespace

// ---------------------------------------------------------------- the socket calls

long long TSockTransport::Receive(char* at, size_t size, bool peek) {
    int32_t code = 0;
    const long long n = Sys::Receive(socketHandle_, at, size, peek, code);
    if (n >= 0) return n;
    // The peer closed and the socket was replaced: the end of the data.
    if (code == SocketError::kNotConnected) return 0;
    RaiseUnlessWouldBlock(code);
    return -1;
}

long long TSockTransport::SendSome(const char* data, size_t size) {
    int32_t code = 0;
    const long long n = Sys::Send(socketHandle_, data, size, code);
    if (n >= 0) return n;
    RaiseUnlessWouldBlock(code);
    return -1;
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
        const long long n = SendSome(data + offset, length - offset);
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
        WaitAndPump(Sys::kWritable, stallDeadline);
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
    Sys::File file = Sys::OpenFile(fileName, Sys::FileOpen{});
    if (!file.Valid()) throw cannotRead();
    while (!CancelRequested) {
        const long long read = file.Read(IoBuffer.data(), kIoSize);
        if (read < 0) throw cannotRead();
        if (read == 0) break;
        const size_t size = static_cast<size_t>(read);
        // No time-out bounds the whole file; a peer that takes nothing for TimeOut does.
        size_t sent = SendLoop(IoBuffer.data(), size, true, TimeOut);
        if (sent < size && !CancelRequested) break;  // the transport took 0 bytes
    }
    file.Close();
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
        const long long n = Receive(at, kIoSize - consumed, true);
        if (n == 0) {
            // The peer closed: the bytes of an unfinished line are dropped.
            RaiseIfPeerReset();
            return;
        }
        if (n < 0) {
            WaitAndPump(Sys::kReadable);
            continue;
        }
        // Bytes before `consumed` were searched in earlier passes.
        if (const void* lf = std::memchr(at, '\n', static_cast<size_t>(n))) {
            lineEnd = static_cast<size_t>(static_cast<const char*>(lf) - IoBuffer.data());
            found = true;
            break;
        }
        const long long got = Receive(at, static_cast<size_t>(n), false);
        if (got > 0) consumed += static_cast<size_t>(got);
        pump_->PumpOnce();
    } while (!CancelRequested);

    EndIfCancelled(SockText::kReadLnAborted);
    if (!found) return;
    while (consumed < lineEnd + 1) {
        const long long got = Receive(IoBuffer.data() + consumed, lineEnd + 1 - consumed, false);
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
        const long long n = Receive(IoBuffer.data(), kIoSize, false);
        if (n == 0) {
            RaiseIfPeerReset();
            break;
        }
        if (n < 0) {
            WaitAndPump(Sys::kReadable);
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
    Sys::FileOpen how;
    how.access = Sys::FileAccess::Write;
    how.creation = Sys::FileCreation::CreateOrTruncate;
    Sys::File file = Sys::OpenFile(fileName, how);
    if (!file.Valid()) throw cannotWrite();
    ReceiveUntilClosed([] { return false; },
                       [&](const char* data, size_t n) {
                           if (!file.WriteAll(data, n)) throw cannotWrite();
                       });
    // A full disk shows up at the latest when the file is closed.
    if (!file.Close()) throw cannotWrite();
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
