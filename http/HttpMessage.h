// The parts of an HTTP/1.0 exchange that need no connection: the command codes, the
// optional request values, URL parsing, the request lines, and the reading of status and
// header lines. THttpClient runs them; tests pin them byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "HeaderList.h"
#include "SysUtils.h"

// The request method of an operation, passed to OnSuccess and OnFailure.
using CmdType = uint8_t;
namespace HttpCmd {
inline constexpr CmdType Get = 0, Options = 1, Head = 2, Post = 3, Put = 4, Patch = 5, Copy = 6,
                         Move = 7, Delete = 8, Link = 9, Unlink = 10, Trace = 11;
}

// Optional request values; each non-empty one adds a request line. UserId and Password
// together give the Basic authorization line. Cookie is also taken from a redirection.
class THeaderInfo {
  public:
    std::string LocalMailAddress, LocalProgram, Cookie, Referer, UserId, Password;
};

// A request the client refuses to send, or a URL it cannot use.
class EHttpError : public Exception {
  public:
    using Exception::Exception;
};

// The error texts of the request side.
inline constexpr char kEmptyUrl[] = "Empty URL";
inline constexpr char kHttpsNotSupported[] = "HTTP Secure Socket is not supported";
inline constexpr char kControlCharInUrl[] = "URL contains a control character";
inline constexpr char kControlCharInHeader[] = "Request header contains a line break or NUL";
// The server closed the connection inside the header or before the announced body length.
inline constexpr char kAnswerIncomplete[] = "Connection closed before the answer was complete";

// An answer longer than the client takes; the address follows the text.
inline constexpr char kHeaderTooLong[] = "Answer header too long from ";
inline constexpr char kBodyTooLong[] = "Answer body too long from ";

// An answer refused at the client's bounds (an endless or huge header or body): asking the
// same server again would only bring the same flood.
class EAnswerTooLong : public EHttpError {
  public:
    using EHttpError::EHttpError;
};

// Paths are cut to this many characters; so are the cookie and location values received.
inline constexpr size_t kMaxHeaderValue = 256;

// The n-th (from 1) run of `text` between occurrences of `sep`, empty runs included; a
// field beyond the last is empty.
std::string Field(const std::string& text, char sep, int n);

// True when text holds a byte below 0x20 or DEL: such a text must not reach a request line.
bool HasControlByte(const std::string& text);

// Whether two hosts name the same server: ASCII letters compare without regard to case.
bool SameHost(const std::string& a, const std::string& b);

// "GET ", "POST ", ...; empty for a code without a method.
std::string MethodWord(CmdType cmd);
// Whether the command carries a body (and so a Content-Length line).
bool CommandHasBody(CmdType cmd);

// Takes the request URL apart. `port` 0 becomes 80; a scheme sets the port (http 80,
// ftp 21, gopher 70) before a port written in the URL is read; a URL without a host part
// keeps `host`; a URL without a path gets "/" appended. `path` is the target used without
// a proxy, cut to 256 characters. Raises EHttpError for an empty URL, one with a control
// byte, or "https", and EConvertError for a port that is not a number; in that case the
// values may be partly updated, as the steps before the error left them.
void ParseHttpUrl(std::string& url, std::string& host, int32_t& port, std::string& path);

// The value of the Basic authorization line: Base64 of user ":" password on one line.
std::string BasicCredentials(const std::string& user, const std::string& password);

// Everything BuildRequestLines needs to know about one exchange.
struct TRequestParams {
    CmdType Cmd = HttpCmd::Get;
    std::string Proxy;
    std::string RequestUrl;   // as completed by ParseHttpUrl
    std::string RequestPath;  // as set by ParseHttpUrl
    std::string Host;
    int32_t Port = 80;
    THeaderInfo Info;
    std::string LinkTarget;                   // Copy, Move, Link, Unlink
    std::optional<uint64_t> ContentLength{};  // set for the commands that carry a body
};

// Clears `lines` and fills them in wire order: request line, proxy lines, Host, both
// Accept lines, User-Agent, From, Cookie, Referer, Authorization, Content-type, the link
// line and Content-Length. Raises EHttpError when a line would hold CR, LF or NUL.
void BuildRequestLines(THeaderList& lines, const TRequestParams& params);

// The status code of a status line: its second blank-separated word as a decimal number
// (the line end is not part of it); 0 when it is not a number or does not fit 16 bits.
int16_t StatusCodeOf(const std::string& statusLine);

// The header lines the answer reading keeps.
enum class THeaderKind { Other, SetCookie, Location, ContentLength };

// Classifies an answer header line by its first blank-separated word, whatever its case,
// and returns its value without the line end: cookie and location values cut to 256
// characters, a Content-Length value as received.
THeaderKind ClassifyHeaderLine(const std::string& line, std::string& value);

// The body length an answer announced: digits only, as they fit 31 bits; empty otherwise.
std::optional<int32_t> ParseContentLength(const std::string& value);
