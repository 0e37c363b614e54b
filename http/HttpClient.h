// The program's HTTP/1.0 client. Each operation runs one transaction synchronously on the
// caller's thread: parse the URL, build the request lines, connect (to the proxy when one is
// set), send, read the answer into Header and Body (strings or files), fire the events,
// close, and follow a redirection. While it waits the transport pumps the process's events,
// so the handlers run inside the call.
//
// Errors: EHttpError for a URL or request the client refuses (before connecting) and for an
// answer cut short, EAnswerTooLong (an EHttpError) for one longer than its bounds, EConvertError
// for a port that is not a number, EFOpenError/EFCreateError for the request and body files,
// ESockError/EAbortError from the transport. The header file is a diagnostic copy: it is written
// when it can be, never through a symbolic link, and never raises. An HTTP error status is never an
// exception: it is reported through OnFailure. No event fires for an exchange that raises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "HeaderList.h"
#include "HttpMessage.h"
#include "SockTransport.h"

class THttpClient : public TSockTransport {
  public:
    // A transaction stops after this many exchanges, however many redirections follow.
    static constexpr int kMaxExchanges = 5;
    // A recorder's pages are a few kilobytes; an answer beyond these is broken or hostile.
    static constexpr size_t kDefaultMaxHeaderBytes = 1u << 20;
    static constexpr size_t kDefaultMaxBodyBytes = 64u << 20;

    THttpClient();
    ~THttpClient() override;

    // InputFileMode off: the last answer's body. On: the name of the file that receives it.
    std::string Body = "Default.htm";
    // OutputFileMode off: the last answer's status and header lines, each with its line
    // end. On: the name of the file that receives them.
    std::string Header = "Head.txt";
    THeaderInfo HeaderInfo;
    // Where the answer's body goes: the file named by Body (true) or Body itself (false).
    bool InputFileMode = false;
    // True: header lines go to the file named by Header, and the data argument of Post, Put,
    // Patch and Trace names the file whose bytes form the request body (Post does not
    // form-encode it). False: Header holds the lines, the data is the body text itself.
    bool OutputFileMode = false;
    // The most bytes an answer's status and header lines (all together) and its body may
    // take. A longer answer raises EAnswerTooLong naming the address; the header sink never
    // receives more than MaxHeaderBytes.
    size_t MaxHeaderBytes = kDefaultMaxHeaderBytes;
    size_t MaxBodyBytes = kDefaultMaxBodyBytes;

    // Fired after the request lines are built, before connecting.
    TNotifyEvent OnAboutToSend;
    // Fired after an answer with status 401 (the client does not retry by itself).
    TNotifyEvent OnAuthenticationNeeded;
    // Status below 300 (0 included) / 400 and above, with the command code; fired once the
    // body is stored, before the connection is closed.
    std::function<void(CmdType Cmd)> OnSuccess, OnFailure;
    // Fired for a 3xx answer before any further exchange; Handled = true ends the
    // transaction.
    std::function<void(bool& Handled)> OnRedirect;

    virtual void Options(const std::string& url);
    virtual void Get(const std::string& url);
    // Form-encodes data first unless OutputFileMode is on (then data is a file name).
    virtual void Post(const std::string& url, const std::string& data);
    virtual void Put(const std::string& url, const std::string& data);
    virtual void Head(const std::string& url);
    virtual void Patch(const std::string& url, const std::string& data);
    virtual void Delete(const std::string& url);
    virtual void Trace(const std::string& url, const std::string& data);
    virtual void Copy(const std::string& url, const std::string& target);
    virtual void Move(const std::string& url, const std::string& target);
    // Link and Unlink send "Send.dat" (or, with OutputFileMode, that file's bytes) as body.
    virtual void Link(const std::string& url, const std::string& target);
    virtual void Unlink(const std::string& url, const std::string& target);

    // Ends a pending lookup wait and cancels the running transfer (without the "Abort"
    // report of the transport's own Abort). The time-out calls it too.
    void Abort() override;

    // The request URL as completed by parsing or replaced by a redirection.
    const std::string& RequestUrl() const { return requestUrl_; }
    // The request target used without a proxy.
    const std::string& RequestPath() const { return requestPath_; }
    // The request lines of the last exchange. The Authorization line goes only to the host
    // and port the operation was called with, a received cookie only to the host and port
    // that set it: a redirection elsewhere is followed without them.
    const THeaderList& RequestHeader() const { return headerList_; }
    // The location (and cookie) lines of the last answer, without their line ends. A value
    // holding a control byte is dropped as it arrives (it could only forge request lines):
    // a redirection without a usable location then ends the transaction.
    const std::string& RedirectLocation() const { return redirectLocation_; }
    const std::string& ReceivedCookie() const { return receivedCookie_; }
    CmdType Command() const { return cmd_; }

  protected:
    // One or more exchanges of a request and its answer.
    virtual void RunTransaction();
    virtual void ParseUrl();
    virtual void BuildRequestHeader();
    virtual void ReadResponseHeader();
    virtual void SendRequest();

  private:
    void Start(CmdType cmd, const std::string& url);
    void ReceiveBody();
    void ClassifyAnswer();
    // Redirection, cookie and 401 handling; true when another exchange follows.
    bool AfterExchange(int exchange);
    // Sends bytes as they are, NULs included, in blocks the transport accepts.
    void SendBytes(const std::string& bytes);
    // "http://host:port/path" of the running exchange, for the error messages.
    std::string Address() const;

    std::string requestPath_;
    THeaderList headerList_;
    std::string redirectLocation_;
    std::string receivedCookie_;
    std::string sendData_;
    std::string linkTarget_;
    std::string requestUrl_;
    CmdType cmd_ = HttpCmd::Get;
    bool lengthAnnounced_ = false;
    bool locationRefused_ = false;
    // Where the operation was called to go: the only place credentials are sent.
    std::string userHost_;
    int32_t userPort_ = 0;
    // The cookie taken from a redirection and the host and port that set it.
    std::string cookieValue_, cookieHost_;
    int32_t cookiePort_ = 0;
};
