// Every request the client sends, pinned byte for byte as the peer receives it.
#include <functional>
#include <map>
#include <string>

#include "HttpWireTest.h"

namespace {

using namespace HttpCmd;

// The peer answers every request with a complete two-byte page, and a HEAD with only the
// header, announcing a length; it keeps the connection open, so the client must stop there.
const std::string kShortAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
const std::string kHeadAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n";

// Runs cmd on url; data is the body, the post-data file or the target where cmd takes one.
void Send(THttpClient& c, CmdType cmd, const std::string& url, const std::string& data) {
    using OneArg = void (THttpClient::*)(const std::string&);
    using TwoArgs = void (THttpClient::*)(const std::string&, const std::string&);
    static const std::map<CmdType, OneArg> kUrlOnly = {{Get, &THttpClient::Get},
                                                       {Options, &THttpClient::Options},
                                                       {Head, &THttpClient::Head},
                                                       {Delete, &THttpClient::Delete}};
    static const std::map<CmdType, TwoArgs> kWithData = {
        {Post, &THttpClient::Post},     {Put, &THttpClient::Put},    {Patch, &THttpClient::Patch},
        {Copy, &THttpClient::Copy},     {Move, &THttpClient::Move},  {Link, &THttpClient::Link},
        {Unlink, &THttpClient::Unlink}, {Trace, &THttpClient::Trace}};
    if (kUrlOnly.count(cmd) != 0)
        (c.*kUrlOnly.at(cmd))(url);
    else
        (c.*kWithData.at(cmd))(url, data);
}

// What a row prepares: the peer as proxy, the user's credentials, data as a post-data file.
enum With { kDirect = 0, kProxy = 1, kUser = 2, kFile = 4 };

struct RequestCase {
    const char* name;
    CmdType cmd;
    std::string url;       // "{base}" stands for "http://127.0.0.1:<port>"
    std::string data;      // with kFile, the file's bytes
    std::string expected;  // the request as sent; "{port}" stands for the peer's port
    int with = kDirect;
    // Further preparation, given the peer's port.
    std::function<void(THttpClient&, uint16_t)> setup = nullptr;
    std::string urlAfter = "";  // RequestUrl afterwards, when not url
};

class RequestBytes : public HttpWireTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestBytes, SentExactly) {
    const RequestCase& c = GetParam();
    ScriptedPeer peer;
    const std::string expected = WithPort(c.expected, peer.Port());
    const bool head = c.cmd == Head;
    peer.Expect(expected).Send(head ? kHeadAnswer : kShortAnswer).ReceiveUntilClose();
    peer.Start();
    client.Body = "old";
    client.Proxy = c.with & kProxy ? "127.0.0.1" : "";
    client.ProxyPort = peer.Port();
    client.HeaderInfo.UserId = c.with & kUser ? "user" : "";
    client.HeaderInfo.Password = c.with & kUser ? "pass" : "";
    client.OutputFileMode = c.with & kFile;
    client.Header = (dir / "Head.txt").string();
    const std::string file = (dir / "Reserv.txt").string();
    if (c.with & kFile) WriteBytes(file, c.data);
    if (c.setup) c.setup(client, peer.Port());
    const std::string url = Replaced(c.url, "{base}", Base(peer));
    const auto start = std::chrono::steady_clock::now();
    Send(client, c.cmd, url, c.with & kFile ? file : c.data);
    EXPECT_LT(MillisSince(start), 2000.0);
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), expected);
    EXPECT_EQ(client.Body, head ? "" : "ok");
    EXPECT_EQ(events, std::vector<std::string>{"success:" + std::to_string(c.cmd)});
    EXPECT_EQ(client.RequestUrl(),
              c.urlAfter.empty() ? url : Replaced(c.urlAfter, "{base}", Base(peer)));
}

// Post-data as the restore writes it: Shift-JIS, CR LF, and a NUL that must survive.
const std::string kPostFile = std::string("bExec=1&tTitle=%90V\r\n\0tail\x82\xa0", 28);

const std::string kLongPath = "/" + std::string(299, 'p');
const std::string kBigBody(70000, 'b');

const std::string kHost = "Host: 127.0.0.1\r\n";
const std::string kAuth = "Authorization: Basic dXNlcjpwYXNz\r\n";
// The lines of a direct request without credentials or cookie.
const std::string kLines = kHost + kAcceptLines + kTypeLine;
const std::string kViaProxy = "Proxy-Connection: Keep-Alive\r\nHost: rd\r\n";
// The lines of a request through the proxy without credentials.
const std::string kProxyLines = kViaProxy + kAcceptLines + kTypeLine;

const RequestCase kRequests[] = {
    {"Get", Get, "{base}/program/b_prgrm.htm", "",
     "GET /program/b_prgrm.htm HTTP/1.0\r\n" + kLines + "\r\n"},
    {"GetWithCredentials", Get, "{base}/a.htm", "",
     "GET /a.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kAuth + kTypeLine + "\r\n", kUser},
    {"GetLongCredentialsOneLine", Get, "{base}/", "",
     "GET / HTTP/1.0\r\n" + kHost + kAcceptLines +
         "Authorization: Basic "
         "dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1OnBwcHBwcHBwcHBwcHBwcHBwcHBw\r\n" +
         kTypeLine + "\r\n",
     kDirect,
     [](THttpClient& c, uint16_t) {
         c.HeaderInfo.UserId = std::string(30, 'u');
         c.HeaderInfo.Password = std::string(20, 'p');
     }},
    {"GetWithCookie", Get, "{base}/", "",
     "GET / HTTP/1.0\r\n" + kHost + kAcceptLines + "Cookie: sid=42\r\n" + kTypeLine + "\r\n",
     kDirect, [](THttpClient& c, uint16_t) { c.HeaderInfo.Cookie = "sid=42"; }},
    {"GetNoPathRequestsRoot", Get, "{base}", "", "GET / HTTP/1.0\r\n" + kLines + "\r\n", kDirect,
     nullptr, "{base}/"},
    {"GetPathCutTo256", Get, "{base}" + kLongPath, "",
     "GET " + kLongPath.substr(0, 256) + " HTTP/1.0\r\n" + kLines + "\r\n"},
    {"GetRelativeReusesHostAndPort", Get, "/setup/setup.htm", "",
     "GET /setup/setup.htm HTTP/1.0\r\n" + kLines + "\r\n", kDirect,
     [](THttpClient& c, uint16_t port) {
         c.Host = "127.0.0.1";
         c.Port = port;
     }},
    {"GetViaProxy", Get, "http://rd/program/b_prgrm.htm", "",
     "GET http://rd/program/b_prgrm.htm HTTP/1.0\r\n" + kProxyLines + "\r\n", kProxy},
    {"GetViaProxyLongPathKeepsFullUrl", Get, "http://rd" + kLongPath, "",
     "GET http://rd" + kLongPath + " HTTP/1.0\r\n" + kProxyLines + "\r\n", kProxy},
    {"GetViaProxyWithCredentials", Get, "http://rd:81/x", "",
     "GET http://rd:81/x HTTP/1.0\r\n" + kViaProxy + kAcceptLines + kAuth + kTypeLine + "\r\n",
     kProxy | kUser},
    {"GetViaProxyEmptyHost", Get, "/x.htm", "",
     "GET http:///x.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n" + kAcceptLines + kTypeLine +
         "\r\n",
     kProxy, [](THttpClient& c, uint16_t) { c.Host = ""; }},
    {"GetViaProxyRelativeUrlMadeAbsolute", Get, "/x.htm", "",
     "GET http://rd:8080/x.htm HTTP/1.0\r\n" + kProxyLines + "\r\n", kProxy,
     [](THttpClient& c, uint16_t) {
         c.Host = "rd";
         c.Port = 8080;
     }},
    {"PostFile", Post, "{base}/entry.htm", kPostFile,
     "POST /entry.htm HTTP/1.0\r\n" + kHost + kAcceptLines + kAuth + kTypeLine +
         "Content-Length: 28\r\n\r\n" + kPostFile,
     kUser | kFile},
    {"PostFileViaProxy", Post, "http://rd/entry.htm", kPostFile,
     "POST http://rd/entry.htm HTTP/1.0\r\n" + kProxyLines + "Content-Length: 28\r\n\r\n" +
         kPostFile,
     kProxy | kFile},
    {"PostEmptyFile", Post, "{base}/e", "",
     "POST /e HTTP/1.0\r\n" + kLines + "Content-Length: 0\r\n\r\n", kFile},
    {"PostStringFormEncoded", Post, "{base}/e", "a b&c",
     "POST /e HTTP/1.0\r\n" + kLines + "Content-Length: 7\r\n\r\na+b%26c"},
    {"PostStringViaProxy", Post, "http://rd/e", "x=\x82\xa0",
     "POST http://rd/e HTTP/1.0\r\n" + kProxyLines + "Content-Length: 10\r\n\r\nx%3D%82%A0",
     kProxy},
    {"PostEmptyString", Post, "{base}/e", "",
     "POST /e HTTP/1.0\r\n" + kLines + "Content-Length: 0\r\n\r\n"},
    {"PutStringWithNulSentWhole", Put, "{base}/p", std::string("a\0b", 3),
     "PUT /p HTTP/1.0\r\n" + kLines + "Content-Length: 3\r\n\r\n" + std::string("a\0b", 3)},
    {"PutStringBeyondOneSendBlock", Put, "{base}/p", kBigBody,
     "PUT /p HTTP/1.0\r\n" + kLines + "Content-Length: 70000\r\n\r\n" + kBigBody},
    {"Patch", Patch, "{base}/p", "a b",
     "PATCH /p HTTP/1.0\r\n" + kLines + "Content-Length: 3\r\n\r\na b"},
    {"Trace", Trace, "{base}/", "t",
     "TRACE / HTTP/1.0\r\n" + kLines + "Content-Length: 1\r\n\r\nt"},
    {"HeadReturnsWithoutReadingTheBody", Head, "{base}/", "",
     "HEAD / HTTP/1.0\r\n" + kLines + "\r\n"},
    {"Options", Options, "{base}/", "", "OPTIONS / HTTP/1.0\r\n" + kLines + "\r\n"},
    {"Delete", Delete, "{base}/d", "", "DELETE /d HTTP/1.0\r\n" + kLines + "\r\n"},
    {"Copy", Copy, "{base}/a", "/b", "COPY /a HTTP/1.0\r\n" + kLines + "URI-header: /b\r\n\r\n"},
    {"Move", Move, "{base}/a", "/b", "MOVE /a HTTP/1.0\r\n" + kLines + "URI-header: /b\r\n\r\n"},
    {"LinkSendsAnnouncedBody", Link, "{base}/a", "<b>",
     "LINK /a HTTP/1.0\r\n" + kLines + "Link: <b>\r\nContent-Length: 8\r\n\r\nSend.dat"},
    {"Unlink", Unlink, "{base}/a", "<b>",
     "UNLINK /a HTTP/1.0\r\n" + kLines + "Link: <b>\r\nContent-Length: 8\r\n\r\nSend.dat"},
};

INSTANTIATE_TEST_SUITE_P(Wire, RequestBytes, ::testing::ValuesIn(kRequests), kRowName);

// The transaction is stopped in OnAboutToSend, before it connects.
TEST_F(HttpWireTest, HttpSchemeResetsPortTo80_UrlWithoutSchemeKeepsIt) {
    struct Stop {};
    std::string lines;
    client.OnAboutToSend = [&](TSockTransport*) {
        lines = client.RequestHeader().Text();
        throw Stop{};
    };
    client.Port = 8080;
    client.Host = "old";
    EXPECT_THROW(client.Get("http://rd/x"), Stop);
    EXPECT_EQ(lines, "GET /x HTTP/1.0\r\nHost: rd\r\n" + kAcceptLines + kTypeLine);
    EXPECT_EQ(client.Port, 80);
    EXPECT_EQ(client.Host, "rd");
    client.Port = 8080;
    client.Host = "old";
    EXPECT_THROW(client.Get("rd/index.htm"), Stop);
    EXPECT_EQ(client.Port, 8080);
    EXPECT_EQ(client.Host, "rd");
    EXPECT_EQ(client.RequestPath(), "/index.htm");
}

struct RefusedCase {
    const char* name;
    std::string url;
    std::string message;
    std::string referer = "";
};

class RefusedBeforeConnecting : public HttpWireTest,
                                public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedBeforeConnecting, RaisesWithoutConnectOrEvent) {
    ScriptedPeer peer;
    peer.Start();
    int aboutToSend = 0;
    client.OnAboutToSend = [&](TSockTransport*) { ++aboutToSend; };
    client.Host = "127.0.0.1";
    client.Port = peer.Port();
    client.HeaderInfo.Referer = GetParam().referer;
    EXPECT_EQ(ErrorOf<Exception>([&] { client.Get(WithPort(GetParam().url, peer.Port())); }),
              GetParam().message);
    EXPECT_EQ(aboutToSend, 0);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
    EXPECT_TRUE(peer.NoEarlierConnection());
}

const std::string kControl = "URL contains a control character";

const RefusedCase kRefused[] = {
    {"EmptyUrl", "", "Empty URL"},
    {"Https", "https://127.0.0.1:{port}/", "HTTP Secure Socket is not supported"},
    {"HostWithLineBreak", "http://127.0.0.1:{port}\r\nX-Injected: 1/", kControl},
    {"PathWithLineBreak", "/a\r\nX-Injected: 1", kControl},
    {"PortNotNumber", "http://127.0.0.1:8o/",
     "'8o' \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1"},
    {"HeaderValueWithLineBreak", "http://127.0.0.1:{port}/",
     "Request header contains a line break or NUL", "http://r/\r\nX-Injected: 1"},
};

INSTANTIATE_TEST_SUITE_P(Wire, RefusedBeforeConnecting, ::testing::ValuesIn(kRefused), kRowName);

TEST_F(HttpWireTest, PostFileMissing_FileOpenErrorBeforeConnecting) {
    ScriptedPeer peer;
    peer.Start();
    client.OutputFileMode = true;
    const std::string missing = (dir / "Reserv.txt").string();
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { client.Post(Base(peer) + "/entry.htm", missing); }),
              FileOpenErrorMessage(missing));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(peer.NoEarlierConnection());
}

TEST_F(HttpWireTest, ConnectionRefused_SocketErrorNoEvent) {
    client.TimeOut = 2000;
    EXPECT_EQ(ErrorOf<ESockError>([&] {
                  client.Get(WithPort("http://127.0.0.1:{port}/", ScriptedPeer::UnusedPort()));
              }),
              "Connection Failed");
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
}

}  // namespace
