// URL parsing, request lines and answer-line reading, without a connection.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "HttpMessage.h"

namespace {

struct UrlRow {
    const char* name;
    std::string url;
    std::string hostBefore;
    int32_t portBefore;
    std::string host;
    int32_t port;
    std::string path;
    std::string urlAfter;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const UrlRow& row, std::ostream* os) {
    *os << row.name;
}

class ParseUrlTable : public ::testing::TestWithParam<UrlRow> {};

TEST_P(ParseUrlTable, SetsHostPortPathAndUrl) {
    const UrlRow& r = GetParam();
    std::string url = r.url, host = r.hostBefore, path = "old";
    int32_t port = r.portBefore;
    ParseHttpUrl(url, host, port, path);
    EXPECT_EQ(host, r.host);
    EXPECT_EQ(port, r.port);
    EXPECT_EQ(path, r.path);
    EXPECT_EQ(url, r.urlAfter);
}

const std::string kLongPath = "/" + std::string(300, 'p');

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseUrlTable,
    ::testing::Values(
        UrlRow{"FullUrl", "http://rd/program/b_prgrm.htm", "", 0, "rd", 80, "/program/b_prgrm.htm",
               "http://rd/program/b_prgrm.htm"},
        UrlRow{"PortInUrl", "http://rd:8080/entry.htm", "", 0, "rd", 8080, "/entry.htm",
               "http://rd:8080/entry.htm"},
        UrlRow{"NoPath", "http://rd", "", 0, "rd", 80, "/", "http://rd/"},
        UrlRow{"RootPath", "http://rd/", "", 0, "rd", 80, "/", "http://rd/"},
        UrlRow{"HttpResetsPort", "http://rd/x", "old", 8080, "rd", 80, "/x", "http://rd/x"},
        UrlRow{"HttpUpperCaseScheme", "HTTP://rd/x", "", 81, "rd", 80, "/x", "HTTP://rd/x"},
        UrlRow{"RelativeKeepsHostAndPort", "/setup/setup.htm", "rd", 8080, "rd", 8080,
               "/setup/setup.htm", "/setup/setup.htm"},
        UrlRow{"RelativePortZeroBecomes80", "/a.htm", "rd", 0, "rd", 80, "/a.htm", "/a.htm"},
        UrlRow{"NoScheme", "rd2/index.htm", "rd", 8080, "rd2", 8080, "/index.htm", "rd2/index.htm"},
        UrlRow{"NoSchemeWithPort", "rd2:81/i.htm", "rd", 8080, "rd2", 81, "/i.htm", "rd2:81/i.htm"},
        UrlRow{"BareHost", "rd2", "rd", 0, "rd2", 80, "/", "rd2/"},
        UrlRow{"FtpPort", "ftp://f/x", "", 0, "f", 21, "/x", "ftp://f/x"},
        UrlRow{"GopherPort", "gopher://g/x", "", 0, "g", 70, "/x", "gopher://g/x"},
        UrlRow{"EmptyHostKeepsHost", "http:///x", "rd", 0, "rd", 80, "/x", "http:///x"},
        UrlRow{"PathCutTo256", "http://rd" + kLongPath, "", 0, "rd", 80, kLongPath.substr(0, 256),
               "http://rd" + kLongPath},
        UrlRow{"QueryKept", "http://rd/a.cgi?x=1&y=2", "", 0, "rd", 80, "/a.cgi?x=1&y=2",
               "http://rd/a.cgi?x=1&y=2"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadUrlRow {
    const char* name;
    std::string url;
    std::string message;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const BadUrlRow& row, std::ostream* os) {
    *os << row.name;
}

class ParseUrlErrors : public ::testing::TestWithParam<BadUrlRow> {};

TEST_P(ParseUrlErrors, RaisesWithMessage) {
    std::string url = GetParam().url, host = "rd", path;
    int32_t port = 0;
    try {
        ParseHttpUrl(url, host, port, path);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseUrlErrors,
    ::testing::Values(
        BadUrlRow{"Empty", "", "Empty URL"},
        BadUrlRow{"Https", "https://rd/", "HTTP Secure Socket is not supported"},
        BadUrlRow{"HttpsUpperCase", "HTTPS://rd/", "HTTP Secure Socket is not supported"},
        BadUrlRow{"PortNotNumber", "http://rd:8o/x",
                  "'8o' \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9"
                  "\x82\xf1"},
        BadUrlRow{"HostWithLineBreak", "http://rd\r\nX-Evil: 1/x",
                  "URL contains a control character"},
        BadUrlRow{"PathWithLf", "http://rd/x\ny", "URL contains a control character"},
        BadUrlRow{"Nul", std::string("http://rd/\0x", 11), "URL contains a control character"},
        BadUrlRow{"Tab", "http://rd/\tx", "URL contains a control character"},
        BadUrlRow{"Delete", "http://rd/\x7f", "URL contains a control character"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseUrl, PortNotNumber_IsConvertError) {
    std::string url = "http://rd:x/", host, path;
    int32_t port = 0;
    EXPECT_THROW(ParseHttpUrl(url, host, port, path), EConvertError);
}

TEST(ParseUrl, ShiftJisBytesInPath_Accepted) {
    std::string url = "http://rd/\x90\x56.htm", host, path;
    int32_t port = 0;
    ParseHttpUrl(url, host, port, path);
    EXPECT_EQ(path, "/\x90\x56.htm");
}

TEST(Field, CountsEmptyRuns) {
    EXPECT_EQ(Field("a//b", '/', 1), "a");
    EXPECT_EQ(Field("a//b", '/', 2), "");
    EXPECT_EQ(Field("a//b", '/', 3), "b");
    EXPECT_EQ(Field("a//b", '/', 4), "");
    EXPECT_EQ(Field("", '/', 1), "");
}

TEST(BasicCredentials, LongCredentials_OneLineStandardBase64) {
    // 46 bytes of "user:password": the encoder breaks after 45; the header must not.
    std::string user(20, 'u'), password(25, 'p');
    std::string value = BasicCredentials(user, password);
    EXPECT_EQ(value.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(value,
              "dXV1dXV1dXV1dXV1dXV1dXV1dXU6cHBwcHBwcHBwcHBwcHBwcHBwcHBwcHBw"
              "cA==");
}

TEST(BasicCredentials, ShortCredentials) {
    EXPECT_EQ(BasicCredentials("a", "b"), "YTpi");
}

struct StatusRow {
    const char* name;
    std::string line;
    int16_t code;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const StatusRow& row, std::ostream* os) {
    *os << row.name;
}

class StatusCodeTable : public ::testing::TestWithParam<StatusRow> {};

TEST_P(StatusCodeTable, ReadsSecondWord) {
    EXPECT_EQ(StatusCodeOf(GetParam().line), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusCodeTable,
                         ::testing::Values(StatusRow{"Ok", "HTTP/1.0 200 OK\r\n", 200},
                                           StatusRow{"NotFound", "HTTP/1.1 404 Not Found\r\n", 404},
                                           StatusRow{"NoReasonCrLf", "HTTP/1.0 404\r\n", 404},
                                           StatusRow{"NoReasonLf", "HTTP/1.0 500\n", 500},
                                           StatusRow{"NotNumber", "HTTP/1.0 OK 200\r\n", 0},
                                           StatusRow{"Hex", "HTTP/1.0 $C8 OK\r\n", 0},
                                           StatusRow{"Signed", "HTTP/1.0 +200 OK\r\n", 0},
                                           StatusRow{"NoBlank", "<html>\r\n", 0},
                                           StatusRow{"DoubleBlank", "HTTP/1.0  200 OK\r\n", 0},
                                           StatusRow{"TooBig", "HTTP/1.0 40000 X\r\n", 0},
                                           StatusRow{"Empty", "", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct HeaderRow {
    const char* name;
    std::string line;
    THeaderKind kind;
    std::string value;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const HeaderRow& row, std::ostream* os) {
    *os << row.name;
}

class HeaderLineTable : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(HeaderLineTable, ClassifiesAndCutsValue) {
    std::string value = "stale";
    EXPECT_EQ(ClassifyHeaderLine(GetParam().line, value), GetParam().kind);
    EXPECT_EQ(value, GetParam().value);
}

const std::string k300(300, 'v');

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderLineTable,
    ::testing::Values(
        HeaderRow{"Location", "Location: http://b/x.htm\r\n", THeaderKind::Location,
                  "http://b/x.htm"},
        HeaderRow{"LocationLower", "location: /x\r\n", THeaderKind::Location, "/x"},
        HeaderRow{"LocationUpperLfOnly", "LOCATION: /x\n", THeaderKind::Location, "/x"},
        HeaderRow{"LocationNoBlank", "Location:/x\r\n", THeaderKind::Other, ""},
        HeaderRow{"LocationEmpty", "Location: \r\n", THeaderKind::Location, ""},
        HeaderRow{"CookieWithAttributes", "Set-Cookie: s=1; path=/\r\n", THeaderKind::SetCookie,
                  "s=1; path=/"},
        HeaderRow{"CookieCutTo256", "set-cookie: " + k300 + "\r\n", THeaderKind::SetCookie,
                  k300.substr(0, 256)},
        HeaderRow{"LocationCutTo256", "Location: " + k300 + "\r\n", THeaderKind::Location,
                  k300.substr(0, 256)},
        HeaderRow{"ContentLength", "Content-Length: 1234\r\n", THeaderKind::ContentLength, "1234"},
        HeaderRow{"Other", "Content-Type: text/html\r\n", THeaderKind::Other, ""},
        HeaderRow{"Blank", "\r\n", THeaderKind::Other, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ContentLength, OnlyDigitsCount) {
    EXPECT_EQ(ParseContentLength("1234"), 1234);
    EXPECT_EQ(ParseContentLength("0"), 0);
    EXPECT_EQ(ParseContentLength("12 "), 12);
    EXPECT_EQ(ParseContentLength(""), std::nullopt);
    EXPECT_EQ(ParseContentLength("-1"), std::nullopt);
    EXPECT_EQ(ParseContentLength("12a"), std::nullopt);
    EXPECT_EQ(ParseContentLength("99999999999"), std::nullopt);
}

// The request lines themselves are pinned on the wire (HttpRequestWireTests); here only
// the refusals that stop a request before it is built.
TRequestParams Params(CmdType cmd, std::string url, std::string path, std::string host) {
    TRequestParams p;
    p.Cmd = cmd;
    p.RequestUrl = std::move(url);
    p.RequestPath = std::move(path);
    p.Host = std::move(host);
    return p;
}

TEST(RequestLines, ValueWithLineBreak_Refused) {
    THeaderList lines;
    TRequestParams p = Params(0, "http://rd/", "/", "rd");
    p.Info.Cookie = "a=1\r\nX-Evil: 1";
    EXPECT_THROW(BuildRequestLines(lines, p), EHttpError);
    p = Params(0, "http://rd/", "/", "rd\nX: y");
    try {
        BuildRequestLines(lines, p);
        FAIL() << "no error";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.Message, "Request header contains a line break or NUL");
    }
}

TEST(RequestLines, UnknownCommand_Refused) {
    THeaderList lines;
    EXPECT_THROW(BuildRequestLines(lines, Params(12, "http://rd/", "/", "rd")), EHttpError);
}

}  // namespace
