// URL parsing, request lines and answer-line reading, without a connection.
#include <gtest/gtest.h>

#include <string>

#include "HttpMessage.h"
#include "TestHelpers.h"

namespace {

TEST(ParseUrl, SetsHostPortPathAndUrl) {
    const std::string longPath = "/" + std::string(300, 'p');
    const struct {
        const char* name;
        std::string url, hostBefore;
        int32_t portBefore;
        std::string host;
        int32_t port;
        std::string path, urlAfter;  // urlAfter empty: the URL unchanged
    } rows[] = {
        {"FullUrl", "http://rd/program/b_prgrm.htm", "", 0, "rd", 80, "/program/b_prgrm.htm", ""},
        {"PortInUrl", "http://rd:8080/entry.htm", "", 0, "rd", 8080, "/entry.htm", ""},
        {"NoPath", "http://rd", "", 0, "rd", 80, "/", "http://rd/"},
        {"RootPath", "http://rd/", "", 0, "rd", 80, "/", ""},
        {"HttpResetsPort", "http://rd/x", "old", 8080, "rd", 80, "/x", ""},
        {"HttpUpperCaseScheme", "HTTP://rd/x", "", 81, "rd", 80, "/x", ""},
        {"RelativeKeepsHostAndPort", "/setup/setup.htm", "rd", 8080, "rd", 8080, "/setup/setup.htm",
         ""},
        {"RelativePortZeroBecomes80", "/a.htm", "rd", 0, "rd", 80, "/a.htm", ""},
        {"NoScheme", "rd2/index.htm", "rd", 8080, "rd2", 8080, "/index.htm", ""},
        {"NoSchemeWithPort", "rd2:81/i.htm", "rd", 8080, "rd2", 81, "/i.htm", ""},
        {"BareHost", "rd2", "rd", 0, "rd2", 80, "/", "rd2/"},
        {"FtpPort", "ftp://f/x", "", 0, "f", 21, "/x", ""},
        {"GopherPort", "gopher://g/x", "", 0, "g", 70, "/x", ""},
        {"EmptyHostKeepsHost", "http:///x", "rd", 0, "rd", 80, "/x", ""},
        {"PathCutTo256", "http://rd" + longPath, "", 0, "rd", 80, longPath.substr(0, 256), ""},
        {"QueryKept", "http://rd/a.cgi?x=1&y=2", "", 0, "rd", 80, "/a.cgi?x=1&y=2", ""},
        {"ShiftJisBytesInPath", "http://rd/\x90\x56.htm", "", 0, "rd", 80, "/\x90\x56.htm", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string url = r.url, host = r.hostBefore, path = "old";
        int32_t port = r.portBefore;
        ParseHttpUrl(url, host, port, path);
        EXPECT_EQ(host, r.host);
        EXPECT_EQ(port, r.port);
        EXPECT_EQ(path, r.path);
        EXPECT_EQ(url, r.urlAfter.empty() ? r.url : r.urlAfter);
    }
}

TEST(ParseUrl, RaisesWithMessage) {
    const std::string control = "URL contains a control character";
    const std::string secure = "HTTP Secure Socket is not supported";
    const std::string notNumber =
        " \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
    const struct {
        const char* name;
        std::string url, message;
    } rows[] = {
        {"Empty", "", "Empty URL"},
        {"Https", "https://rd/", secure},
        {"HttpsUpperCase", "HTTPS://rd/", secure},
        {"PortNotNumber", "http://rd:8o/x", "'8o'" + notNumber},
        {"PortLetter", "http://rd:x/", "'x'" + notNumber},
        {"HostWithLineBreak", "http://rd\r\nX-Evil: 1/x", control},
        {"PathWithLf", "http://rd/x\ny", control},
        {"Nul", std::string("http://rd/\0x", 11), control},
        {"Tab", "http://rd/\tx", control},
        {"Delete", "http://rd/\x7f", control},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string url = r.url, host = "rd", path;
        int32_t port = 0;
        try {
            ParseHttpUrl(url, host, port, path);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, r.message);
            // A port that is not a number is a conversion error, as in the rest of the program.
            EXPECT_EQ(dynamic_cast<const EConvertError*>(&e) != nullptr,
                      r.message.ends_with(notNumber));
        }
    }
}

TEST(Field, CountsEmptyRuns) {
    EXPECT_EQ(Field("a//b", '/', 1), "a");
    EXPECT_EQ(Field("a//b", '/', 2), "");
    EXPECT_EQ(Field("a//b", '/', 3), "b");
    EXPECT_EQ(Field("a//b", '/', 4), "");
    EXPECT_EQ(Field("", '/', 1), "");
}

TEST(BasicCredentials, OneLineStandardBase64) {
    EXPECT_EQ(BasicCredentials("a", "b"), "YTpi");
    // 46 bytes of "user:password": the encoder breaks after 45; the header must not.
    EXPECT_EQ(BasicCredentials(std::string(20, 'u'), std::string(25, 'p')),
              "dXV1dXV1dXV1dXV1dXV1dXV1dXU6cHBwcHBwcHBwcHBwcHBwcHBwcHBwcHBwcA==");
}

TEST(StatusCodeOf, ReadsSecondWord) {
    const struct {
        const char* name;
        std::string line;
        int16_t code;
    } rows[] = {
        {"Ok", "HTTP/1.0 200 OK\r\n", 200},
        {"NotFound", "HTTP/1.1 404 Not Found\r\n", 404},
        {"NoReasonCrLf", "HTTP/1.0 404\r\n", 404},
        {"NoReasonLf", "HTTP/1.0 500\n", 500},
        {"NotNumber", "HTTP/1.0 OK 200\r\n", 0},
        {"Hex", "HTTP/1.0 $C8 OK\r\n", 0},
        {"Signed", "HTTP/1.0 +200 OK\r\n", 0},
        {"NoBlank", "<html>\r\n", 0},
        {"DoubleBlank", "HTTP/1.0  200 OK\r\n", 0},
        {"TooBig", "HTTP/1.0 40000 X\r\n", 0},
        {"Empty", "", 0},
    };
    for (const auto& r : rows) EXPECT_EQ(StatusCodeOf(r.line), r.code) << r.name;
}

TEST(ClassifyHeaderLine, ClassifiesAndCutsValue) {
    const std::string v300(300, 'v');
    const struct {
        const char* name;
        std::string line;
        THeaderKind kind;
        std::string value;
    } rows[] = {
        {"Location", "Location: http://b/x.htm\r\n", THeaderKind::Location, "http://b/x.htm"},
        {"LocationLower", "location: /x\r\n", THeaderKind::Location, "/x"},
        {"LocationUpperLfOnly", "LOCATION: /x\n", THeaderKind::Location, "/x"},
        {"LocationNoBlank", "Location:/x\r\n", THeaderKind::Other, ""},
        {"LocationEmpty", "Location: \r\n", THeaderKind::Location, ""},
        {"CookieWithAttributes", "Set-Cookie: s=1; path=/\r\n", THeaderKind::SetCookie,
         "s=1; path=/"},
        {"CookieCutTo256", "set-cookie: " + v300 + "\r\n", THeaderKind::SetCookie,
         v300.substr(0, 256)},
        {"LocationCutTo256", "Location: " + v300 + "\r\n", THeaderKind::Location,
         v300.substr(0, 256)},
        {"ContentLength", "Content-Length: 1234\r\n", THeaderKind::ContentLength, "1234"},
        {"Other", "Content-Type: text/html\r\n", THeaderKind::Other, ""},
        {"Blank", "\r\n", THeaderKind::Other, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string value = "stale";
        EXPECT_EQ(ClassifyHeaderLine(r.line, value), r.kind);
        EXPECT_EQ(value, r.value);
    }
}

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
TEST(RequestLines, LineBreakInAValueOrUnknownCommand_Refused) {
    TRequestParams ok;
    ok.RequestUrl = "http://rd/";
    ok.RequestPath = "/";
    ok.Host = "rd";
    TRequestParams cookie = ok, host = ok, unknown = ok;
    cookie.Info.Cookie = "a=1\r\nX-Evil: 1";
    host.Host = "rd\nX: y";
    unknown.Cmd = 12;
    THeaderList lines;
    for (const TRequestParams& p : {cookie, host}) {
        EXPECT_EQ(ErrorOf<EHttpError>([&] { BuildRequestLines(lines, p); }),
                  "Request header contains a line break or NUL")
            << p.Host;
    }
    EXPECT_THROW(BuildRequestLines(lines, unknown), EHttpError);
}

}  // namespace
