// Every request the client sends, pinned byte for byte as the peer receives it.
#include <functional>
#include <ostream>
#include <string>

#include "HttpWireTest.h"

namespace {

using namespace std::chrono_literals;

// The peer answers every request with a complete two-byte page.
const std::string kShortAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";

struct RequestCase {
    const char* name;
    // Prepares the client; gets the peer's port and a scratch directory.
    std::function<void(THttpClient&, uint16_t port, const std::filesystem::path& dir)> setup;
    // Runs the operation; base is "http://127.0.0.1:<port>".
    std::function<void(THttpClient&, const std::string& base, const std::filesystem::path& dir)>
        act;
    // The request as sent; "{port}" stands for the peer's port.
    std::string expected;
    CmdType cmd;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const RequestCase& row, std::ostream* os) {
    *os << row.name;
}

class RequestBytes : public HttpWireTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestBytes, SentExactly) {
    const RequestCase& c = GetParam();
    ScriptedPeer peer;
    std::string expected = WithPort(c.expected, peer.Port());
    peer.Expect(expected).Send(kShortAnswer).ReceiveUntilClose();
    peer.Start();
    if (c.setup) c.setup(client, peer.Port(), dir);
    c.act(client, Base(peer), dir);
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), expected);
    EXPECT_EQ(client.Body, "ok");
    EXPECT_EQ(events, std::vector<std::string>{"success:" + std::to_string(c.cmd)});
}

void ViaProxy(THttpClient& c, uint16_t port, const std::filesystem::path&) {
    c.Proxy = "127.0.0.1";
    c.ProxyPort = port;
}

void WithCredentials(THttpClient& c, uint16_t, const std::filesystem::path&) {
    c.HeaderInfo.UserId = "user";
    c.HeaderInfo.Password = "pass";
}

// Post-data as the restore writes it: Shift-JIS, CR LF, and a NUL that must survive.
const std::string kPostFile = std::string("bExec=1&tTitle=%90V\r\n\0tail\x82\xa0", 28);

const std::string kLongPath = "/" + std::string(299, 'p');
const std::string kBigBody(70000, 'b');

const std::string kHost = "Host: 127.0.0.1\r\n";
const std::string kAuth = "Authorization: Basic dXNlcjpwYXNz\r\n";

INSTANTIATE_TEST_SUITE_P(
    Wire, RequestBytes,
    ::testing::Values(
        RequestCase{
            "Get", nullptr,
            [](THttpClient& c, const std::string& base, auto&) {
                c.Get(base + "/program/b_prgrm.htm");
            },
            "GET /program/b_prgrm.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n", 0},
        RequestCase{"GetWithCredentials", WithCredentials,
                    [](THttpClient& c, const std::string& base, auto&) { c.Get(base + "/a.htm"); },
                    "GET /a.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kAuth + kTypeLine + "\r\n",
                    0},
        RequestCase{"GetLongCredentialsOneLine",
                    [](THttpClient& c, uint16_t, auto&) {
                        c.HeaderInfo.UserId = std::string(30, 'u');
                        c.HeaderInfo.Password = std::string(20, 'p');
                    },
                    [](THttpClient& c, const std::string& base, auto&) { c.Get(base + "/"); },
                    "GET / HTTP/1.0\r\n" + kHost + kAcceptLines +
                        "Authorization: Basic "
                        "dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1OnBwcHBwcHBwcHBwcHBwcHBwcHBw\r\n" +
                        kTypeLine + "\r\n",
                    0},
        RequestCase{
            "GetWithCookie",
            [](THttpClient& c, uint16_t, auto&) { c.HeaderInfo.Cookie = "sid=42"; },
            [](THttpClient& c, const std::string& base, auto&) { c.Get(base + "/"); },
            "GET / HTTP/1.0\r\n" + kHost + kAcceptLines + "Cookie: sid=42\r\n" + kTypeLine + "\r\n",
            0},
        RequestCase{"GetNoPathRequestsRoot", nullptr,
                    [](THttpClient& c, const std::string& base, auto&) {
                        c.Get(base);
                        EXPECT_EQ(c.RequestUrl(), base + "/");
                    },
                    "GET / HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n", 0},
        RequestCase{"GetPathCutTo256", nullptr,
                    [](THttpClient& c, const std::string& base, auto&) { c.Get(base + kLongPath); },
                    "GET " + kLongPath.substr(0, 256) + " HTTP/1.0\r\n" + kHost + kAcceptLines +
                        kTypeLine + "\r\n",
                    0},
        RequestCase{"GetRelativeReusesHostAndPort",
                    [](THttpClient& c, uint16_t port, auto&) {
                        c.Host = "127.0.0.1";
                        c.Port = port;
                    },
                    [](THttpClient& c, const std::string&, auto&) { c.Get("/setup/setup.htm"); },
                    "GET /setup/setup.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n",
                    0},
        RequestCase{"GetViaProxy", ViaProxy,
                    [](THttpClient& c, const std::string&, auto&) {
                        c.Get("http://rd/program/b_prgrm.htm");
                    },
                    "GET http://rd/program/b_prgrm.htm HTTP/1.0\r\n"
                    "Proxy-Connection: Keep-Alive\r\nHost: rd\r\n" +
                        kAcceptLines + kTypeLine + "\r\n",
                    0},
        RequestCase{
            "GetViaProxyLongPathKeepsFullUrl", ViaProxy,
            [](THttpClient& c, const std::string&, auto&) { c.Get("http://rd" + kLongPath); },
            "GET http://rd" + kLongPath +
                " HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: rd\r\n" + kAcceptLines +
                kTypeLine + "\r\n",
            0},
        RequestCase{"GetViaProxyWithCredentials",
                    [](THttpClient& c, uint16_t port, const std::filesystem::path& d) {
                        ViaProxy(c, port, d);
                        WithCredentials(c, port, d);
                    },
                    [](THttpClient& c, const std::string&, auto&) { c.Get("http://rd:81/x"); },
                    "GET http://rd:81/x HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: rd\r\n" +
                        kAcceptLines + kAuth + kTypeLine + "\r\n",
                    0},
        RequestCase{"GetViaProxyEmptyHost",
                    [](THttpClient& c, uint16_t port, const std::filesystem::path& d) {
                        ViaProxy(c, port, d);
                        c.Host = "";
                    },
                    [](THttpClient& c, const std::string&, auto&) { c.Get("/x.htm"); },
                    "GET http:///x.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n" +
                        kAcceptLines + kTypeLine + "\r\n",
                    0},
        RequestCase{"GetViaProxyRelativeUrlMadeAbsolute",
                    [](THttpClient& c, uint16_t port, const std::filesystem::path& d) {
                        ViaProxy(c, port, d);
                        c.Host = "rd";
                        c.Port = 8080;
                    },
                    [](THttpClient& c, const std::string&, auto&) { c.Get("/x.htm"); },
                    "GET http://rd:8080/x.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
                    "Host: rd\r\n" +
                        kAcceptLines + kTypeLine + "\r\n",
                    0},
        RequestCase{"PostFile",
                    [](THttpClient& c, uint16_t port, const std::filesystem::path& d) {
                        WithCredentials(c, port, d);
                        c.OutputFileMode = true;
                        c.Header = (d / "Head.txt").string();
                        WriteBytes(d / "Reserv.txt", kPostFile);
                    },
                    [](THttpClient& c, const std::string& base, const std::filesystem::path& d) {
                        c.Post(base + "/entry.htm", (d / "Reserv.txt").string());
                    },
                    "POST /entry.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kAuth + kTypeLine +
                        "Content-Length: 28\r\n\r\n" + kPostFile,
                    3},
        RequestCase{"PostFileViaProxy",
                    [](THttpClient& c, uint16_t port, const std::filesystem::path& d) {
                        ViaProxy(c, port, d);
                        c.OutputFileMode = true;
                        c.Header = (d / "Head.txt").string();
                        WriteBytes(d / "Reserv.txt", kPostFile);
                    },
                    [](THttpClient& c, const std::string&, const std::filesystem::path& d) {
                        c.Post("http://rd/entry.htm", (d / "Reserv.txt").string());
                    },
                    "POST http://rd/entry.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
                    "Host: rd\r\n" +
                        kAcceptLines + kTypeLine + "Content-Length: 28\r\n\r\n" + kPostFile,
                    3},
        RequestCase{
            "PostEmptyFile",
            [](THttpClient& c, uint16_t, const std::filesystem::path& d) {
                c.OutputFileMode = true;
                c.Header = (d / "Head.txt").string();
                WriteBytes(d / "empty.txt", "");
            },
            [](THttpClient& c, const std::string& base, const std::filesystem::path& d) {
                c.Post(base + "/e", (d / "empty.txt").string());
            },
            "POST /e HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "Content-Length: 0\r\n\r\n",
            3},
        RequestCase{
            "PostStringFormEncoded", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Post(base + "/e", "a b&c"); },
            "POST /e HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Content-Length: 7\r\n\r\na+b%26c",
            3},
        RequestCase{
            "PostStringViaProxy", ViaProxy,
            [](THttpClient& c, const std::string&, auto&) { c.Post("http://rd/e", "x=\x82\xa0"); },
            "POST http://rd/e HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: rd\r\n" +
                kAcceptLines + kTypeLine + "Content-Length: 10\r\n\r\nx%3D%82%A0",
            3},
        RequestCase{
            "PostEmptyString", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Post(base + "/e", ""); },
            "POST /e HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "Content-Length: 0\r\n\r\n",
            3},
        RequestCase{"PutStringWithNulSentWhole", nullptr,
                    [](THttpClient& c, const std::string& base, auto&) {
                        c.Put(base + "/p", std::string("a\0b", 3));
                    },
                    "PUT /p HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                        "Content-Length: 3\r\n\r\n" + std::string("a\0b", 3),
                    4},
        RequestCase{
            "PutStringBeyondOneSendBlock", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Put(base + "/p", kBigBody); },
            "PUT /p HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Content-Length: 70000\r\n\r\n" + kBigBody,
            4},
        RequestCase{
            "Patch", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Patch(base + "/p", "a b"); },
            "PATCH /p HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Content-Length: 3\r\n\r\na b",
            5},
        RequestCase{
            "Trace", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Trace(base + "/", "t"); },
            "TRACE / HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Content-Length: 1\r\n\r\nt",
            11},
        RequestCase{"Options", nullptr,
                    [](THttpClient& c, const std::string& base, auto&) { c.Options(base + "/"); },
                    "OPTIONS / HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n", 1},
        RequestCase{"Delete", nullptr,
                    [](THttpClient& c, const std::string& base, auto&) { c.Delete(base + "/d"); },
                    "DELETE /d HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n", 8},
        RequestCase{
            "Copy",
            nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Copy(base + "/a", "/b"); },
            "COPY /a HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "URI-header: /b\r\n\r\n",
            6},
        RequestCase{
            "Move",
            nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Move(base + "/a", "/b"); },
            "MOVE /a HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "URI-header: /b\r\n\r\n",
            7},
        RequestCase{
            "LinkSendsAnnouncedBody", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Link(base + "/a", "<b>"); },
            "LINK /a HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Link: <b>\r\nContent-Length: 8\r\n\r\nSend.dat",
            9},
        RequestCase{
            "Unlink", nullptr,
            [](THttpClient& c, const std::string& base, auto&) { c.Unlink(base + "/a", "<b>"); },
            "UNLINK /a HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine +
                "Link: <b>\r\nContent-Length: 8\r\n\r\nSend.dat",
            10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpWireTest, Head_ServerKeepsConnectionOpen_ReturnsWithoutBodyRead) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n");
    peer.ReceiveUntilClose();
    peer.Start();
    client.Body = "old";
    auto start = std::chrono::steady_clock::now();
    client.Head(Base(peer) + "/");
    EXPECT_LT(SecondsSince(start), 2.0);
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), "HEAD / HTTP/1.0\r\n" + kHost + kAcceptLines + kTypeLine + "\r\n");
    EXPECT_EQ(client.Body, "");
    EXPECT_EQ(events, std::vector<std::string>{"success:2"});
}

// Stops a transaction in OnAboutToSend (before connecting) and returns the request lines.
std::string RequestWithoutConnecting(THttpClient& client, const std::function<void()>& act) {
    struct Stop {};
    std::string lines;
    client.OnAboutToSend = [&](TSockTransport*) {
        lines = client.RequestHeader().Text();
        throw Stop{};
    };
    EXPECT_THROW(act(), Stop);
    client.OnAboutToSend = nullptr;
    return lines;
}

TEST_F(HttpWireTest, HttpScheme_ResetsPortTo80) {
    client.Port = 8080;
    client.Host = "old";
    std::string lines = RequestWithoutConnecting(client, [&] { client.Get("http://rd/x"); });
    EXPECT_EQ(client.Port, 80);
    EXPECT_EQ(client.Host, "rd");
    EXPECT_EQ(lines, "GET /x HTTP/1.0\r\nHost: rd\r\n" + kAcceptLines + kTypeLine);
}

TEST_F(HttpWireTest, UrlWithoutScheme_KeepsPort) {
    client.Port = 8080;
    RequestWithoutConnecting(client, [&] { client.Get("rd/index.htm"); });
    EXPECT_EQ(client.Port, 8080);
    EXPECT_EQ(client.Host, "rd");
    EXPECT_EQ(client.RequestPath(), "/index.htm");
}

struct RefusedCase {
    const char* name;
    std::string url;
    std::string message;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const RefusedCase& row, std::ostream* os) {
    *os << row.name;
}

class RefusedBeforeConnecting : public HttpWireTest,
                                public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedBeforeConnecting, RaisesWithoutConnectOrEvent) {
    ScriptedPeer peer;
    peer.Start();
    int aboutToSend = 0;
    client.OnAboutToSend = [&](TSockTransport*) { ++aboutToSend; };
    client.Host = "127.0.0.1";
    client.Port = peer.Port();
    std::string url = WithPort(GetParam().url, peer.Port());
    try {
        client.Get(url);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, GetParam().message);
    }
    EXPECT_EQ(aboutToSend, 0);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
    EXPECT_TRUE(peer.NoEarlierConnection());
}

INSTANTIATE_TEST_SUITE_P(
    Wire, RefusedBeforeConnecting,
    ::testing::Values(
        RefusedCase{"EmptyUrl", "", "Empty URL"},
        RefusedCase{"Https", "https://127.0.0.1:{port}/", "HTTP Secure Socket is not supported"},
        RefusedCase{"HostWithLineBreak", "http://127.0.0.1:{port}\r\nX-Injected: 1/",
                    "URL contains a control character"},
        RefusedCase{"PathWithLineBreak", "/a\r\nX-Injected: 1", "URL contains a control character"},
        RefusedCase{"PortNotNumber", "http://127.0.0.1:8o/",
                    "'8o' \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9"
                    "\x82\xf1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpWireTest, HeaderValueWithLineBreak_RefusedBeforeConnecting) {
    ScriptedPeer peer;
    peer.Start();
    client.HeaderInfo.Referer = "http://r/\r\nX-Injected: 1";
    EXPECT_THROW(client.Get(Base(peer) + "/"), EHttpError);
    EXPECT_TRUE(peer.NoEarlierConnection());
}

TEST_F(HttpWireTest, PostFileMissing_FileOpenErrorBeforeConnecting) {
    ScriptedPeer peer;
    peer.Start();
    client.OutputFileMode = true;
    std::string missing = (dir / "Reserv.txt").string();
    try {
        client.Post(Base(peer) + "/entry.htm", missing);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, FileOpenErrorMessage(missing));
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(peer.NoEarlierConnection());
}

TEST_F(HttpWireTest, ConnectionRefused_SocketErrorNoEvent) {
    client.TimeOut = 2000;
    try {
        client.Get("http://127.0.0.1:" + std::to_string(ScriptedPeer::UnusedPort()) + "/");
        FAIL() << "no error";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message, "Connection Failed");
    }
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
}

}  // namespace
