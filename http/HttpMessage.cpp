#include "HttpMessage.h"

#include <sstream>

#include "UUEncoder.h"

namespace {
std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// A line as ReadLn hands it over ends in LF or CR LF; the values are read without it.
std::string WithoutLineEnd(const std::string& line) {
    size_t end = line.size();
    if (end > 0 && line[end - 1] == '\n') --end;
    if (end > 0 && line[end - 1] == '\r') --end;
    return line.substr(0, end);
}

std::string From(const std::string& text, size_t offset, size_t maxLength) {
    if (offset >= text.size()) return std::string();
    return text.substr(offset, maxLength);
}

}  // namespace

bool HasControlByte(const std::string& text) {
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return true;
    }
    return false;
}

bool SameHost(const std::string& a, const std::string& b) {
    return LowerAscii(a) == LowerAscii(b);
}

std::string Field(const std::string& text, char sep, int n) {
    size_t start = 0;
    for (int i = 1; i < n; ++i) {
        size_t next = text.find(sep, start);
        if (next == std::string::npos) return std::string();
        start = next + 1;
    }
    size_t end = text.find(sep, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string MethodWord(CmdType cmd) {
    static const char* const kWords[] = {"GET ",    "OPTIONS ", "HEAD ",   "POST ",
                                         "PUT ",    "PATCH ",   "COPY ",   "MOVE ",
                                         "DELETE ", "LINK ",    "UNLINK ", "TRACE "};
    return cmd < std::size(kWords) ? kWords[cmd] : "";
}

bool CommandHasBody(CmdType cmd) {
    switch (cmd) {
        case HttpCmd::Post:
        case HttpCmd::Put:
        case HttpCmd::Patch:
        case HttpCmd::Link:
        case HttpCmd::Unlink:
        case HttpCmd::Trace:
            return true;
        default:
            return false;
    }
}

void ParseHttpUrl(std::string& url, std::string& host, int32_t& port, std::string& path) {
    if (url.empty()) throw EHttpError(kEmptyUrl);
    // A line break in a URL would end up inside the request line and let whoever wrote
    // the URL (a typed host field, a redirecting server) add header lines of their own.
    if (HasControlByte(url)) throw EHttpError(kControlCharInUrl);
    if (port == 0) port = 80;

    const bool hasAuthority = url.find("//") != std::string::npos;
    std::string newPath;
    if (hasAuthority) {
        size_t slash = std::string::npos;
        for (int i = 0, from = 0; i < 3; ++i) {
            slash = url.find('/', static_cast<size_t>(from));
            if (slash == std::string::npos) break;
            from = static_cast<int>(slash) + 1;
        }
        if (slash != std::string::npos) newPath = url.substr(slash);
    } else if (size_t slash = url.find('/'); slash != std::string::npos) {
        newPath = url.substr(slash);
    }
    if (newPath.size() > kMaxHeaderValue) newPath.resize(kMaxHeaderValue);
    path = newPath;

    if (url.find(':') != std::string::npos) {
        std::string scheme = LowerAscii(Field(url, ':', 1));
        if (scheme == "gopher")
            port = 70;
        else if (scheme == "ftp")
            port = 21;
        else if (scheme == "https")
            throw EHttpError(kHttpsNotSupported);
        else
            port = 80;
    }

    std::string hostPart;
    if (hasAuthority)
        hostPart = Field(url, '/', 3);
    else if (url[0] != '/')
        hostPart = Field(url, '/', 1);
    if (size_t colon = hostPart.find(':'); colon != std::string::npos) {
        port = StrToInt(Field(hostPart, ':', 2));
        hostPart.resize(colon);
    }
    if (!hostPart.empty()) host = hostPart;

    if (path.empty()) {
        path = "/";
        url += "/";
    }
}

std::string BasicCredentials(const std::string& user, const std::string& password) {
    std::stringstream input(user + ":" + password);
    std::stringstream output;
    TUUProcessor encoder;
    encoder.Method = uuMime;
    encoder.InputStream = &input;
    encoder.OutputStream = &output;
    encoder.Encode();
    // The encoder breaks its lines after every 45 input bytes (a multiple of three, so no
    // padding inside); joined again they are the one Base64 value a header line can carry.
    std::string value;
    for (std::string line; std::getline(output, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        value += line;
    }
    return value;
}

void BuildRequestLines(THeaderList& lines, const TRequestParams& p) {
    std::string method = MethodWord(p.Cmd);
    if (method.empty()) throw EHttpError("Unknown request method " + std::to_string(p.Cmd));
    lines.Clear();

    std::string target = p.RequestPath;
    if (!p.Proxy.empty()) {
        // A proxy needs the absolute form; a relative URL is completed from Host and Port.
        if (p.RequestUrl.find("//") != std::string::npos)
            target = p.RequestUrl;
        else
            target = "http://" + p.Host + (p.Port == 80 ? "" : ":" + std::to_string(p.Port)) +
                     p.RequestPath;
    }
    lines.Add(method + target + " HTTP/1.0");
    if (!p.Proxy.empty()) {
        lines.Add("Proxy-Connection: Keep-Alive");
        lines.Add("Host: " + p.Host);
    }
    lines.SetHeader("Host", p.Host);
    lines.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
    lines.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
    if (!p.Info.LocalProgram.empty()) lines.SetHeader("User-Agent", p.Info.LocalProgram);
    if (!p.Info.LocalMailAddress.empty()) lines.SetHeader("From", p.Info.LocalMailAddress);
    if (!p.Info.Cookie.empty()) lines.SetHeader("Cookie", p.Info.Cookie);
    if (!p.Info.Referer.empty()) lines.SetHeader("Referer", p.Info.Referer);
    if (!p.Info.UserId.empty() && !p.Info.Password.empty())
        lines.SetHeader("Authorization",
                        "Basic " + BasicCredentials(p.Info.UserId, p.Info.Password));
    lines.Add("Content-type: application/x-www-form-urlencoded");
    if (p.Cmd == HttpCmd::Copy || p.Cmd == HttpCmd::Move) lines.Add("URI-header: " + p.LinkTarget);
    if (p.Cmd == HttpCmd::Link || p.Cmd == HttpCmd::Unlink) lines.Add("Link: " + p.LinkTarget);
    if (p.ContentLength) lines.Add("Content-Length: " + std::to_string(*p.ContentLength));

    // Values come from settings, callers and earlier answers; none may end a line early.
    for (int i = 0; i < lines.Count(); ++i)
        if (lines[i].find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            throw EHttpError(kControlCharInHeader);
}

int16_t StatusCodeOf(const std::string& statusLine) {
    std::string word = Field(WithoutLineEnd(statusLine), ' ', 2);
    if (word.empty() || word.size() > 5) return 0;
    int32_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value > INT16_MAX ? 0 : static_cast<int16_t>(value);
}

THeaderKind ClassifyHeaderLine(const std::string& line, std::string& value) {
    std::string name = UpperAscii(Field(line, ' ', 1));
    std::string text = WithoutLineEnd(line);
    if (name == "SET-COOKIE:") {
        value = From(text, 12, kMaxHeaderValue);
        return THeaderKind::SetCookie;
    }
    if (name == "LOCATION:") {
        value = From(text, 10, kMaxHeaderValue);
        return THeaderKind::Location;
    }
    if (name == "CONTENT-LENGTH:") {
        value = From(text, 16, std::string::npos);
        return THeaderKind::ContentLength;
    }
    value.clear();
    return THeaderKind::Other;
}

std::optional<int32_t> ParseContentLength(const std::string& value) {
    size_t end = value.find_last_not_of(" \t");
    if (end == std::string::npos) return std::nullopt;
    int64_t length = 0;
    for (size_t i = 0; i <= end; ++i) {
        char c = value[i];
        if (c < '0' || c > '9') return std::nullopt;
        length = length * 10 + (c - '0');
        if (length > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(length);
}
