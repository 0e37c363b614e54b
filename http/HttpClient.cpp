#include "HttpClient.h"

#include <algorithm>
#include <chrono>

#include "SysFile.h"
#include "UrlEncoder.h"

namespace {
// A single send of the transport takes at most this many bytes.
constexpr size_t kMaxSendBlock = 65535;

bool IsRedirection(int code) {
    return code >= 300 && code <= 399;
}

// Writes a received block to an open sink file; a full disk must not pass silently.
void WriteOrRaise(Sys::File& file, const std::string& bytes, const std::string& name) {
    if (!file.WriteAll(bytes)) throw EFCreateError(FileCreateErrorMessage(name));
}

Sys::File CreateSinkFile(const std::string& name) {
    Sys::FileOpen how;
    how.access = Sys::FileAccess::Write;
    how.creation = Sys::FileCreation::CreateOrTruncate;
    Sys::File file = Sys::OpenFile(name, how);
    if (!file.Valid()) throw EFCreateError(FileCreateErrorMessage(name));
    return file;
}

// The header file is a diagnostic copy that nobody reads back: it is written when it can
// be and never fails an exchange. It lies in the current directory, which may be shared,
// so a symbolic link planted under its name is refused rather than followed, and anything
// but a regular file (a FIFO would block) is left alone. The lines may carry the recorder's
// session cookie, so the file is the owner's alone, like the saved pages.
class THeaderFile {
  public:
    explicit THeaderFile(const std::string& name) {
        Sys::FileOpen how;
        how.access = Sys::FileAccess::Write;
        how.creation = Sys::FileCreation::OpenOrCreate;
        how.ownerOnly = true;
        how.noFollow = true;
        // Not emptied here: the new lines overwrite the old ones and only what is left of a
        // longer old copy is cut at the end. Emptying a file and writing it again makes the
        // file system push it to the disk at close, a wait at every request.
        file_ = Sys::OpenFile(name, how);
        if (file_.Valid() && !file_.NarrowToOwner())
            file_ = Sys::File();  // a copy others could read is not written at all
    }
    THeaderFile(const THeaderFile&) = delete;
    THeaderFile& operator=(const THeaderFile&) = delete;
    ~THeaderFile() { Close(); }

    // A write that fails (a full disk) ends the copy; the exchange goes on.
    void Write(const std::string& bytes) {
        if (!file_.Valid()) return;
        if (file_.WriteAll(bytes))
            written_ += static_cast<long long>(bytes.size());
        else
            Close();
    }
    void Close() {
        if (!file_.Valid()) return;
        // Best effort, like the rest: a copy that cannot be cut keeps a longer tail.
        if (file_.Size() > written_) file_.Truncate(written_);
        file_.Close();
    }

  private:
    Sys::File file_;
    long long written_ = 0;
};

// The read limit that lets CaptureString show a body longer than maxBytes: it stops once
// one byte more has arrived. An announced shorter length stays the limit.
int32_t BodyReadLimit(int32_t announced, size_t maxBytes) {
    const int64_t capped = std::min<int64_t>(static_cast<int64_t>(maxBytes), INT32_MAX - 1) + 1;
    if (announced >= 0 && announced < capped) return announced;
    return static_cast<int32_t>(capped);
}
}  // namespace

THttpClient::THttpClient() = default;
THttpClient::~THttpClient() = default;

void THttpClient::Start(CmdType cmd, const std::string& url) {
    requestUrl_ = url;
    cmd_ = cmd;
    RunTransaction();
}

void THttpClient::Options(const std::string& url) {
    Start(HttpCmd::Options, url);
}
void THttpClient::Get(const std::string& url) {
    Start(HttpCmd::Get, url);
}
void THttpClient::Head(const std::string& url) {
    Start(HttpCmd::Head, url);
}
void THttpClient::Delete(const std::string& url) {
    Start(HttpCmd::Delete, url);
}

void THttpClient::Post(const std::string& url, const std::string& data) {
    if (OutputFileMode) {
        sendData_ = data;
    } else {
        TUrlEncoder encoder;
        encoder.InputString = data;
        sendData_ = encoder.Encode();
    }
    Start(HttpCmd::Post, url);
}

void THttpClient::Put(const std::string& url, const std::string& data) {
    sendData_ = data;
    Start(HttpCmd::Put, url);
}

void THttpClient::Patch(const std::string& url, const std::string& data) {
    sendData_ = data;
    Start(HttpCmd::Patch, url);
}

void THttpClient::Trace(const std::string& url, const std::string& data) {
    sendData_ = data;
    Start(HttpCmd::Trace, url);
}

void THttpClient::Copy(const std::string& url, const std::string& target) {
    linkTarget_ = target;
    Start(HttpCmd::Copy, url);
}

void THttpClient::Move(const std::string& url, const std::string& target) {
    linkTarget_ = target;
    Start(HttpCmd::Move, url);
}

void THttpClient::Link(const std::string& url, const std::string& target) {
    linkTarget_ = target;
    sendData_ = "Send.dat";
    Start(HttpCmd::Link, url);
}

void THttpClient::Unlink(const std::string& url, const std::string& target) {
    linkTarget_ = target;
    sendData_ = "Send.dat";
    Start(HttpCmd::Unlink, url);
}

void THttpClient::Abort() {
    EventArrived = true;
    Cancel();
}

void THttpClient::RunTransaction() {
    for (int exchange = 1;; ++exchange) {
        ParseUrl();
        if (exchange == 1) {
            userHost_ = Host;
            userPort_ = Port;
        }
        BuildRequestHeader();
        if (OnAboutToSend) OnAboutToSend(this);
        try {
            Connect();
            SendRequest();
            ReplyCode = 0;
            ReadResponseHeader();
            ReceiveBody();
            ClassifyAnswer();
        } catch (...) {
            // The error that ended the exchange is the one the caller must see.
            try {
                Disconnect();
            } catch (...) {
            }
            throw;
        }
        Disconnect();
        if (!AfterExchange(exchange)) return;
    }
}

void THttpClient::ParseUrl() {
    ParseHttpUrl(requestUrl_, Host, Port, requestPath_);
}

void THttpClient::BuildRequestHeader() {
    TRequestParams params;
    params.Cmd = cmd_;
    params.Proxy = Proxy;
    params.RequestUrl = requestUrl_;
    params.RequestPath = requestPath_;
    params.Host = Host;
    params.Port = Port;
    params.Info = HeaderInfo;
    // Another server reached by a redirection gets neither the user's credentials nor a
    // cookie that a different server set.
    if (!(SameHost(Host, userHost_) && Port == userPort_)) {
        params.Info.UserId.clear();
        params.Info.Password.clear();
    }
    if (!cookieHost_.empty() && HeaderInfo.Cookie == cookieValue_ &&
        !(SameHost(Host, cookieHost_) && Port == cookiePort_)) {
        params.Info.Cookie.clear();
    }
    params.LinkTarget = linkTarget_;
    if (CommandHasBody(cmd_)) {
        if (OutputFileMode) {
            const Sys::File file = Sys::OpenFile(sendData_, Sys::FileOpen{});
            const long long size = file.Valid() ? file.Size() : -1;
            if (size < 0) throw EFOpenError(FileOpenErrorMessage(sendData_));
            params.ContentLength = static_cast<uint64_t>(size);
        } else {
            params.ContentLength = sendData_.size();
        }
    }
    BuildRequestLines(headerList_, params);
}

std::string THttpClient::Address() const {
    return "http://" + Host + (Port == 80 ? "" : ":" + std::to_string(Port)) + requestPath_;
}

void THttpClient::SendBytes(const std::string& bytes) {
    for (size_t offset = 0; offset < bytes.size(); offset += kMaxSendBlock) {
        size_t count = std::min(kMaxSendBlock, bytes.size() - offset);
        SendBuffer(bytes.data() + offset, static_cast<uint16_t>(count));
    }
}

void THttpClient::SendRequest() {
    std::string text = headerList_.Text();
    // The header holds no NUL (the request lines refuse one), so only its size can keep it
    // from going out in one Write.
    if (text.size() <= kMaxSendBlock)
        Write(text);
    else
        SendBytes(text);
    Writeln("");
    if (!CommandHasBody(cmd_)) return;
    // The body goes out whole, NUL bytes included, so it always matches the Content-Length
    // line sent with it.
    if (OutputFileMode)
        SendFile(sendData_);
    else
        SendBytes(sendData_);
}

void THttpClient::ReadResponseHeader() {
    redirectLocation_.clear();
    receivedCookie_.clear();
    locationRefused_ = false;
    AnnouncedLength = 0;
    lengthAnnounced_ = false;

    std::optional<THeaderFile> file;
    if (OutputFileMode)
        file.emplace(Header);
    else
        Header.clear();
    // An endless header would otherwise fill the memory or the disk: what the sink takes is
    // bounded, and a header that passes the bound is no answer.
    size_t headerBytes = 0;
    auto sink = [&](const std::string& line) {
        headerBytes += line.size();
        if (headerBytes > MaxHeaderBytes) throw EAnswerTooLong(kHeaderTooLong + Address());
        if (OutputFileMode)
            file->Write(line);
        else
            Header += line;
    };

    // Each line read is bounded by the time-out; the header as a whole is too, or a server
    // trickling short lines would keep us waiting without end.
    const std::chrono::milliseconds start = Now();
    auto checkDeadline = [&] {
        if (TimeOut > 0 && Now() - start >= std::chrono::milliseconds(TimeOut)) {
            throw EAbortError(SockText::kReadLnAborted);
        }
    };

    std::string line;
    ReadLn(line);
    if (!line.empty()) ReplyCode = StatusCodeOf(line);
    sink(line);
    do {
        checkDeadline();
        ReadLn(line);
        std::string value;
        switch (ClassifyHeaderLine(line, value)) {
            case THeaderKind::SetCookie:
                // A cookie goes back in a request line: one with a control byte would break
                // every later request, so it is never taken.
                if (!HasControlByte(value)) receivedCookie_ = value;
                break;
            case THeaderKind::Location:
                locationRefused_ = HasControlByte(value);
                redirectLocation_ = locationRefused_ ? std::string() : value;
                break;
            case THeaderKind::ContentLength: {
                std::optional<int32_t> length = ParseContentLength(value);
                lengthAnnounced_ = length.has_value();
                AnnouncedLength = length.value_or(0);
                break;
            }
            case THeaderKind::Other:
                break;
        }
        sink(line);
    } while (!(line.empty() || line == "\n" || line == "\r\n"));
    // A status line whose header never reached its blank line is a cut answer, not a page.
    if (line.empty() && ReplyCode != 0) throw EHttpError(kAnswerIncomplete);
}

void THttpClient::ReceiveBody() {
    // An answer to HEAD has no body, and a server that keeps the connection open after an
    // announced length sends no more: in both cases waiting for its close would only end by
    // the time-out.
    const bool noBody = cmd_ == HttpCmd::Head;
    const int32_t limit = noBody ? 0 : (lengthAnnounced_ ? AnnouncedLength : -1);
    const int32_t readLimit = BodyReadLimit(limit, MaxBodyBytes);
    auto checkLength = [&](size_t received) {
        if (received > MaxBodyBytes) throw EAnswerTooLong(kBodyTooLong + Address());
        if (limit > 0 && received < static_cast<size_t>(limit)) throw EHttpError(kAnswerIncomplete);
    };
    if (!InputFileMode) {
        Body.clear();
        if (!noBody) CaptureString(Body, readLimit);
        checkLength(Body.size());
        return;
    }
    Sys::File file = CreateSinkFile(Body);
    std::string received;
    try {
        if (!noBody) CaptureString(received, readLimit);
    } catch (...) {
        // What arrived before the error stays in the file, as with a capture to the close.
        file.WriteAll(received);
        throw;
    }
    checkLength(received.size());
    WriteOrRaise(file, received, Body);
    if (!file.Close()) throw EFCreateError(FileCreateErrorMessage(Body));
}

void THttpClient::ClassifyAnswer() {
    const int code = ReplyCode;
    if (code < 300) {
        if (OnSuccess) OnSuccess(cmd_);
        ReportStatus(2, "Transaction Completed");
    } else if (code <= 302) {
        if (!locationRefused_) requestUrl_ = redirectLocation_;
    } else if (code >= 400) {
        if (OnFailure) OnFailure(cmd_);
    }
}

bool THttpClient::AfterExchange(int exchange) {
    const int code = ReplyCode;
    if (IsRedirection(code)) {
        // Only a redirecting answer hands over a cookie; it is sent with every later request.
        if (!receivedCookie_.empty()) {
            HeaderInfo.Cookie = cookieValue_ = receivedCookie_;
            cookieHost_ = Host;
            cookiePort_ = Port;
        }
        if (OnRedirect) {
            bool handled = false;
            OnRedirect(handled);
            if (handled) return false;
        }
        // A location without any "/" names a page on the same server (an empty one its root);
        // the port goes with it, since "http:" would otherwise reset it to 80.
        if (!locationRefused_ && requestUrl_.find('/') == std::string::npos)
            requestUrl_ = "http://" + Host + (Port == 80 ? "" : ":" + std::to_string(Port)) + "/" +
                          requestUrl_;
    }
    if (code == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded(this);
    // 303 to 399 bring no new address: asking again would only repeat the same answer.
    // A location refused for its control bytes leads nowhere.
    return code >= 300 && code <= 302 && !locationRefused_ && exchange < kMaxExchanges;
}
