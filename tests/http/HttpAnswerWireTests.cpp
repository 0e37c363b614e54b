// The client reading answers from a scripted peer: status, header and body sinks, events,
// cookies, redirections, time-outs and connections the server keeps open.
#include <string>

#include "HttpWireTest.h"
#include "TestSystem.h"

namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

struct AnswerCase {
    const char* name;
    std::string header, body;  // sent after the request, then the peer closes
    int16_t code;
    Events events;
    size_t piece = 0;       // 0 = at once
    bool keptOpen = false;  // the peer waits for the client to close instead
};

class AnswerHandling : public HttpWireTest, public ::testing::WithParamInterface<AnswerCase> {};

// Every answer is taken into strings and into files, the header file holding a longer stale
// copy. Also: the success handler sees the whole body, and only a success is reported at
// level 2, after its event.
TEST_P(AnswerHandling, StatusEventsHeaderBodyAndReports) {
    const AnswerCase& c = GetParam();
    const std::string head = (dir / "Head.txt").string(), body = (dir / "Default.htm").string();
    client.ReportLevel = 2;
    std::vector<std::string> reports;
    client.OnStatus = [&](TSockTransport*, const std::string& text) {
        reports.push_back(text + (events.empty() ? " before" : " after"));
    };
    std::string seen;
    client.OnSuccess = [&](CmdType cmd) {
        seen = client.InputFileMode ? ReadBytes(body) : client.Body;
        events.push_back("success:" + std::to_string(cmd));
    };
    for (const bool toFiles : {false, true}) {
        SCOPED_TRACE(toFiles ? "into files" : "into strings");
        events.clear();
        reports.clear();
        seen.clear();
        client.OutputFileMode = client.InputFileMode = toFiles;
        client.Header = toFiles ? head : "stale";
        client.Body = toFiles ? body : "stale";
        const std::string staleHead = "stale header longer than the new one\r\n\r\n" + c.header;
        WriteBytes(head, staleHead);
        ASSERT_TRUE(!Sys::kHasFileModes || testsupport::SetMode(head, 0644));
        WriteBytes(body, "stale");
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n").Send(c.header + c.body, c.piece, 1ms);
        c.keptOpen ? peer.ReceiveUntilClose() : peer.Close();
        peer.Start();
        const auto start = std::chrono::steady_clock::now();
        client.Get(Base(peer) + "/");
        EXPECT_LT(MillisSince(start), 2000.0);  // a kept-open answer ends at its announced length
        ASSERT_TRUE(peer.Finish()) << peer.Report();
        EXPECT_EQ(client.RequestUrl(), Base(peer) + "/");  // a 303 or 304 is not followed
        EXPECT_EQ(client.ReplyCode, c.code);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(client.Header, toFiles ? head : c.header);  // a file's name is kept
        EXPECT_EQ(client.Body, toFiles ? body : c.body);
        EXPECT_EQ(ReadBytes(head), toFiles ? c.header : staleHead);
        // It may hold a session cookie: once written, the owner's alone.
        EXPECT_FILE_MODE(head, toFiles ? 0600u : 0644u);
        EXPECT_EQ(ReadBytes(body), toFiles ? c.body : "stale");
        const bool success = c.events == Events{"success:0"};
        EXPECT_EQ(seen, success ? c.body : "");
        EXPECT_EQ(reports, success ? Events{"Transaction Completed after"} : Events{});
        EXPECT_FALSE(client.IsConnected);
        EXPECT_EQ(client.HeaderInfo.Cookie, "");
    }
}

const std::string kPage = "<html><body>\x90\x56\x8b\x4b\x97\x5c\x96\xf1</body></html>\r\n";
const std::string k200Head = "HTTP/1.0 200 OK\r\nServer: RD\r\nContent-Type: text/html\r\n\r\n";
const std::string kOk = "HTTP/1.0 200 OK\r\n\r\n";
const Events kSuccess{"success:0"}, kFailure{"failure:0"}, kRedirect{"redirect"};
// 150,000 bytes, more than one block of the reader.
const std::string kLargeBody = [] {
    std::string body;
    for (int i = 0; i < 50000; ++i) body += static_cast<char>('A' + i % 26) + std::string("\r\n");
    return body;
}();

const AnswerCase kAnswers[] = {
    {"Ok", k200Head, kPage, 200, kSuccess},
    {"OkInPieces", k200Head, kPage, 200, kSuccess, 3},
    {"OkLfLineEnds", "HTTP/1.0 200 OK\nA: b\n\n", "x\ny", 200, kSuccess},
    {"OkWithMatchingLength", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n", "abcd", 200, kSuccess},
    {"OkBodyWithNul", kOk, std::string("a\0b", 3), 200, kSuccess},
    {"BodyLargerThanOneBlock_ReceivedWhole", kOk, kLargeBody, 200, kSuccess, 40000},
    {"EarlyCloseWithoutLength_BodyToTheClose", kOk, "<html>cut", 200, kSuccess},
    {"CookieOnSuccessNotKept", "HTTP/1.0 200 OK\r\nSet-Cookie: s=1\r\n\r\n", "b", 200, kSuccess},
    {"NotFound", "HTTP/1.0 404 Not Found\r\n\r\n", "missing", 404, kFailure},
    {"ServerError", "HTTP/1.0 500 Internal Server Error\r\n\r\n", "oops", 500, kFailure},
    {"NoReasonPhrase404", "HTTP/1.0 404\r\n\r\n", "", 404, kFailure},
    {"Unauthorized", "HTTP/1.0 401 Unauthorized\r\n\r\n", "login", 401, {"failure:0", "auth"}},
    {"SeeOther", "HTTP/1.0 303 See Other\r\nLocation: http://elsewhere/\r\n\r\n", "", 303,
     kRedirect},
    {"NotModified", "HTTP/1.0 304 Not Modified\r\n\r\n", "", 304, kRedirect},
    {"NoStatusLine", "", "", 0, kSuccess},
    {"StatusNotNumeric", "HTTP/1.0 OK\r\n\r\n", "body", 0, kSuccess},
    // The server keeps the connection open: the client stops at the announced length.
    {"KeptOpenWithLength", "HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\n", "hello world", 200,
     kSuccess, 7, true},
    {"KeptOpenLowerCaseLengthName", "HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\n", "hello", 200,
     kSuccess, 7, true},
    {"KeptOpenZeroLength", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", "", 200, kSuccess, 7,
     true},
    {"KeptOpenViaProxyKeepAlive",
     "HTTP/1.0 200 OK\r\nProxy-Connection: Keep-Alive\r\nContent-Length: 3\r\n\r\n", "abc", 200,
     kSuccess, 7, true},
};

INSTANTIATE_TEST_SUITE_P(Wire, AnswerHandling, ::testing::ValuesIn(kAnswers), kRowName);

struct BrokenCase {
    const char* name;
    std::string answer;
    bool closes;      // the peer closes after the answer; otherwise it goes quiet
    bool bodyToFile;  // else Body held "before"
    std::string error;
    std::string header, body;
    std::chrono::milliseconds perLine{0};  // what each line read takes on the client's clock
};

class BrokenAnswer : public HttpWireTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenAnswer, ErrorNoEventPartKept) {
    const BrokenCase& c = GetParam();
    UseVirtualTime();
    client.TimeOut = 10000;
    const std::string file = (dir / "b.htm").string();
    client.InputFileMode = c.bodyToFile;
    client.Body = c.bodyToFile ? file : "before";
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(c.answer);
    // A quiet peer waits for the client to give up and close its end.
    c.closes ? peer.Close() : peer.Call([this] { quiet = true; }).ReceiveUntilClose();
    peer.Start();
    client.ReportLevel = 8;
    client.OnStatus = [&](TSockTransport*, const std::string& status) {
        if (status == "ReadLn") virt.clock.now += c.perLine;
    };
    const auto start = virt.clock.now;
    const auto get = [&] { client.Get(Base(peer) + "/"); };
    // An early close is an HTTP error, a peer gone quiet an abort; any other error fails here.
    EXPECT_EQ(c.closes ? ErrorOf<EHttpError>(get) : ErrorOf<EAbortError>(get), c.error);
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(virt.clock.now - start, c.closes ? 0ms : 10000ms);
    // Only waiting for a quiet peer jumps the clock, not reading lines slowly.
    EXPECT_EQ(virt.waiter->Jumps == 0, c.closes || c.perLine > 0ms);
    EXPECT_EQ(client.Header, c.header);
    EXPECT_EQ(c.bodyToFile ? ReadBytes(file) : client.Body, c.body);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
    EXPECT_FALSE(client.CancelRequested);
}

const std::string kCaptureAborted = "Socket capture aborted";

std::string Repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
}

const BrokenCase kBroken[] = {
    {"EarlyCloseInsideHeader", "HTTP/1.0 200 OK\r\nContent-Ty", true, false, kAnswerIncomplete,
     "HTTP/1.0 200 OK\r\n", "before"},
    {"EarlyCloseBeforeAnnouncedLength", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", true,
     false, kAnswerIncomplete, "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n", "abc"},
    {"TimeOutDuringHeader", "HTTP/1.0 200 OK\r\nX-Slow", false, false, "Socket readln aborted",
     "HTTP/1.0 200 OK\r\n", "before"},
    {"TimeOutDuringBody", kOk + "part", false, false, kCaptureAborted, kOk, "part"},
    {"TimeOutDuringBodyToFile", kOk + "part", false, true, kCaptureAborted, kOk, "part"},
    {"KeptOpenWithoutLength_ReadsUntilTimeOut", kOk + "whole body", false, false, kCaptureAborted,
     kOk, "whole body"},
    // Every line takes 2 s, well within the time-out of one line, and the blank line never
    // comes: the header as a whole ends by the time-out, at the fifth line.
    {"HeaderTricklingShortLines_EndsByTheTimeOutAsAWhole",
     "HTTP/1.0 200 OK\r\n" + Repeat("X: 1\r\n", 30), false, false, "Socket readln aborted",
     "HTTP/1.0 200 OK\r\n" + Repeat("X: 1\r\n", 4), "before", 2000ms},
};

INSTANTIATE_TEST_SUITE_P(Wire, BrokenAnswer, ::testing::ValuesIn(kBroken), kRowName);

TEST_F(HttpWireTest, AbortFromPacketHandler_AbortErrorThenUsableAgain) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(kOk + "first").Pause(1000ms).Close();
    peer.Start();
    client.OnPacketRecvd = [this](TSockTransport*) { client.Abort(); };
    EXPECT_THROW(client.Get(Base(peer) + "/"), EAbortError);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(client.Body, "first");

    client.OnPacketRecvd = nullptr;
    GetFrom(kOk + "second");
    EXPECT_EQ(client.Body, "second");
    EXPECT_EQ(events, kSuccess);
}

// The header file is a diagnostic copy: one that cannot be written, or a symbolic link
// planted under its name, never costs the page, and the link's target stays untouched.
TEST_F(HttpWireTest, HeaderFileUnwritableOrLink_PageArrivesBodyFileUncreatable_Error) {
    client.OutputFileMode = true;
    const std::string victim = (dir / "victim").string(), link = (dir / "Head.txt").string();
    WriteBytes(victim, "keep me");
    std::vector<std::string> headers = {(dir / "no-such-dir" / "Head.txt").string()};
    const bool linked = testsupport::MakeSymlink(victim, link);
    if (linked) headers.push_back(link);
    for (const std::string& header : headers) {
        client.Header = header;
        events.clear();
        GetFrom(k200Head + kPage);
        EXPECT_EQ(client.Body, kPage) << header;
        EXPECT_EQ(events, kSuccess) << header;
    }
    EXPECT_EQ(ReadBytes(victim), "keep me");
    EXPECT_EQ(std::filesystem::is_symlink(link), linked);
    client.Header = (dir / "New.txt").string();
    GetFrom(k200Head + kPage);
    EXPECT_TRUE(Sys::Exists(client.Header));
    EXPECT_FILE_MODE(client.Header, 0600u);  // created owner-only
    // A body file that cannot be created is an error, and no event.
    client.InputFileMode = true;
    client.Body = (dir / "no-such-dir" / "b.htm").string();
    events.clear();
    EXPECT_THROW(GetFrom(k200Head + kPage), EFCreateError);
    EXPECT_TRUE(events.empty());
    if (!linked) GTEST_SKIP() << "no symbolic link can be planted here";
}

std::string RedirectTo(const std::string& location, const std::string& extra = "") {
    return "HTTP/1.0 302 Found\r\n" + extra + "Location: " + location + "\r\n\r\nmoved";
}

// A cookie from a redirection goes back only to the server (host and port) that set it
// (SecondExchange.AbsolutePath_SameHostAndPort), in no request to another server; the
// user's credentials go only where the operation was sent.
TEST_F(HttpWireTest, Found_CookieOnlyToItsServerCredentialsOnlyToTheUsersServer) {
    client.HeaderInfo.UserId = "u";
    client.HeaderInfo.Password = "p";
    ScriptedPeer elsewhere, first;
    const std::string cookie = "s=2; path=/; expires=Wed, 09 Dec 2026 10:00:00 GMT";
    first.ExpectUntil("\r\n\r\n")
        .Send(RedirectTo(Base(elsewhere) + "/c.htm",
                         "Set-Cookie: s=1\r\nset-cookie: " + cookie + "\r\n"))
        .Close();
    const std::string elsewhereRequest =
        "GET /c.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAcceptLines + kTypeLine + "\r\n";
    elsewhere.Expect(elsewhereRequest).Send(kOk + "there").Close();
    first.Start();
    elsewhere.Start();

    client.Get(Base(first) + "/a.htm");
    ASSERT_TRUE(first.Finish()) << first.Report();
    ASSERT_TRUE(elsewhere.Finish()) << elsewhere.Report();
    EXPECT_EQ(elsewhere.Received(), elsewhereRequest);
    EXPECT_EQ(client.Body, "there");
    EXPECT_EQ(client.HeaderInfo.Cookie, cookie);
    EXPECT_EQ(events, (Events{"redirect", "success:0"}));

    ScriptedPeer later;
    later.ExpectUntil("\r\n\r\n").Send(kOk + "later").Close();
    later.Start();
    client.Get(Base(later) + "/d.htm");
    ASSERT_TRUE(later.Finish()) << later.Report();
    EXPECT_EQ(later.Received().find("Cookie:"), std::string::npos);
    EXPECT_NE(later.Received().find("Authorization: Basic dTpw\r\n"), std::string::npos);
}

struct HandledCase {
    const char* name;
    std::string location, cookieLine;  // the answer's
    std::string locationKept, cookieKept;
};

class HandledRedirect : public HttpWireTest, public ::testing::WithParamInterface<HandledCase> {};

// OnRedirect handles the answer: no second exchange, the URL is the location.
TEST_P(HandledRedirect, NoSecondExchangeUrlIsLocation) {
    const HandledCase& c = GetParam();
    handleRedirect = true;
    GetFrom(RedirectTo(c.location, c.cookieLine), "/a.htm");
    EXPECT_EQ(events, kRedirect);
    EXPECT_EQ(client.Body, "moved");
    EXPECT_EQ(client.RedirectLocation(), c.locationKept);
    EXPECT_EQ(client.RequestUrl(), c.locationKept);
    EXPECT_EQ(client.HeaderInfo.Cookie, c.cookieKept);
}

const std::string kLongCookie = "k=" + std::string(300, 'v');
const std::string kLongLocation = "http://h/" + std::string(300, 'l');

const HandledCase kHandled[] = {
    {"Absolute", "http://elsewhere/x.htm", "Set-Cookie: c=1\r\n", "http://elsewhere/x.htm", "c=1"},
    {"CookieOver256Characters_Cut", "/x", "Set-Cookie: " + kLongCookie + "\r\n", "/x",
     kLongCookie.substr(0, 256)},
    {"LocationOver256Characters_Cut", kLongLocation, "", kLongLocation.substr(0, 256), ""},
    {"CookieWithoutBlankAfterColon_NotRecognised", "/x", "Set-Cookie:s=1\r\n", "/x", ""},
};

INSTANTIATE_TEST_SUITE_P(Wire, HandledRedirect, ::testing::ValuesIn(kHandled), kRowName);

// Stops the second exchange in OnAboutToSend, before it connects, and records it.
class SecondExchange : public HttpWireTest {
  protected:
    struct Stop {};
    void Run(const std::string& answer) {
        client.OnAboutToSend = [this](TSockTransport*) {
            if (++exchanges < 2) return;
            url = client.RequestUrl();
            request = client.RequestHeader().Text();
            throw Stop{};
        };
        EXPECT_THROW(GetFrom(answer, "/dir/a.htm"), Stop);
    }
    int exchanges = 0;
    std::string url, request;
};

// A location without a blank after its colon is not recognised: the second exchange goes to
// the root of the same server. A page name or an absolute path keeps the host and port.
TEST_F(SecondExchange, SameServer_RootPageNameOrAbsolutePath) {
    const struct {
        std::string answer, location, url, path, cookieLine{};
    } rows[] = {
        {"HTTP/1.0 302 Found\r\nLocation:http://elsewhere/\r\n\r\n", "", "http://127.0.0.1:{port}/",
         "/"},
        {RedirectTo("next.htm"), "next.htm", "http://127.0.0.1:{port}/next.htm", "/next.htm"},
        {RedirectTo("/other/b.htm", "Set-Cookie: id=7\r\n"), "/other/b.htm", "/other/b.htm",
         "/other/b.htm", "Cookie: id=7\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        exchanges = 0;
        Run(row.answer);
        EXPECT_EQ(client.RedirectLocation(), row.location);
        EXPECT_EQ(url, WithPort(row.url, peerPort));
        EXPECT_EQ(client.Host, "127.0.0.1");
        EXPECT_EQ(client.Port, peerPort);
        EXPECT_EQ(request, "GET " + row.path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAcceptLines +
                               row.cookieLine + kTypeLine);
    }
}

// ReadLn splits at LF only, so a lone CR stays inside a value. Such a location or cookie is
// dropped as it arrives: no further exchange, and nothing poisons a later request.
TEST_F(SecondExchange, LocationOrCookieWithControlByte_DroppedNoSecondExchange) {
    Run(RedirectTo("/x", "Set-Cookie: good=1\r\n") + "\r\n");
    ASSERT_EQ(client.HeaderInfo.Cookie, "good=1");
    exchanges = 0;
    events.clear();
    GetFrom(
        "HTTP/1.0 302 Found\r\nSet-Cookie: s=1\rX-Injected: 1\r\n"
        "Location: /x\rX-Injected: 1\r\n\r\n",
        "/a.htm");
    EXPECT_EQ(exchanges, 1);
    EXPECT_EQ(events, kRedirect);
    EXPECT_EQ(client.RedirectLocation(), "");
    EXPECT_EQ(client.ReceivedCookie(), "");
    EXPECT_EQ(client.HeaderInfo.Cookie, "good=1");
    EXPECT_EQ(client.RequestUrl(), peerBase + "/a.htm");
}

// The first answer is a 301 naming its location in capitals. OnAboutToSend comes once per
// exchange, before connecting, with the client as sender.
TEST_F(HttpWireTest, RedirectLoop_StopsAfterFiveExchanges) {
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<ScriptedPeer>());
    std::vector<std::string> expectedUrls;
    for (int i = 0; i < 5; ++i) {
        const std::string next = Base(*peers[i + 1]) + "/";
        peers[i]
            ->ExpectUntil("\r\n\r\n")
            .Send(i == 0 ? "HTTP/1.0 301 Moved\r\nLOCATION: " + next + "\r\n\r\n"
                         : RedirectTo(next))
            .Close();
        peers[i]->Start();
        expectedUrls.push_back(Base(*peers[i]) + "/");
    }
    peers[5]->Start();
    std::vector<std::string> urls;
    client.OnAboutToSend = [&](TSockTransport* sender) {
        EXPECT_EQ(sender, &client);
        EXPECT_FALSE(client.IsConnected);
        urls.push_back(client.RequestUrl());
    };
    client.Get(Base(*peers[0]) + "/");
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(peers[i]->Finish()) << i << peers[i]->Report();
    EXPECT_TRUE(peers[5]->NoEarlierConnection());
    EXPECT_EQ(urls, expectedUrls);
    EXPECT_EQ(client.ReplyCode, 302);
    EXPECT_EQ(events, Events(5, "redirect"));
    EXPECT_EQ(client.RequestUrl(), Base(*peers[5]) + "/");
}

TEST(HttpClientAbort, SetsEventArrivedAndCancelsWithoutAbortReport) {
    THttpClient client;
    client.ReportLevel = 8;
    std::vector<std::string> reports;
    client.OnStatus = [&](TSockTransport*, const std::string& text) { reports.push_back(text); };
    client.Abort();
    EXPECT_TRUE(client.EventArrived);
    EXPECT_TRUE(client.CancelRequested);
    EXPECT_EQ(reports, std::vector<std::string>{"Canceling"});
}

}  // namespace
