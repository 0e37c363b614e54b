// The client reading answers from a scripted peer: status, header and body sinks, events,
// cookies, redirections, time-outs and connections the server keeps open.
#include <ostream>
#include <string>

#include "HttpWireTest.h"

namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

struct AnswerCase {
    const char* name;
    std::string answer;  // sent after the request, then the peer closes
    size_t piece;        // 0 = at once
    int16_t code;
    Events events;
    std::string header;
    std::string body;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const AnswerCase& row, std::ostream* os) {
    *os << row.name;
}

class AnswerHandling : public HttpWireTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerHandling, StatusEventsHeaderAndBody) {
    const AnswerCase& c = GetParam();
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(c.answer, c.piece, 1ms).Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(client.ReplyCode, c.code);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(client.Header, c.header);
    EXPECT_EQ(client.Body, c.body);
    EXPECT_FALSE(client.IsConnected);
    EXPECT_EQ(client.HeaderInfo.Cookie, "");
}

const std::string kPage = "<html><body>\x90\x56\x8b\x4b\x97\x5c\x96\xf1</body></html>\r\n";
const std::string k200Head = "HTTP/1.0 200 OK\r\nServer: RD\r\nContent-Type: text/html\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Wire, AnswerHandling,
    ::testing::Values(AnswerCase{"Ok", k200Head + kPage, 0, 200, {"success:0"}, k200Head, kPage},
                      AnswerCase{
                          "OkInPieces", k200Head + kPage, 3, 200, {"success:0"}, k200Head, kPage},
                      AnswerCase{"OkLfLineEnds",
                                 "HTTP/1.0 200 OK\nA: b\n\nx\ny",
                                 0,
                                 200,
                                 {"success:0"},
                                 "HTTP/1.0 200 OK\nA: b\n\n",
                                 "x\ny"},
                      AnswerCase{"OkWithMatchingLength",
                                 "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nabcd",
                                 0,
                                 200,
                                 {"success:0"},
                                 "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n",
                                 "abcd"},
                      AnswerCase{"OkBodyWithNul",
                                 "HTTP/1.0 200 OK\r\n\r\n" + std::string("a\0b", 3),
                                 0,
                                 200,
                                 {"success:0"},
                                 "HTTP/1.0 200 OK\r\n\r\n",
                                 std::string("a\0b", 3)},
                      AnswerCase{"CookieOnSuccessNotKept",
                                 "HTTP/1.0 200 OK\r\nSet-Cookie: s=1\r\n\r\nb",
                                 0,
                                 200,
                                 {"success:0"},
                                 "HTTP/1.0 200 OK\r\nSet-Cookie: s=1\r\n\r\n",
                                 "b"},
                      AnswerCase{"NotFound",
                                 "HTTP/1.0 404 Not Found\r\n\r\nmissing",
                                 0,
                                 404,
                                 {"failure:0"},
                                 "HTTP/1.0 404 Not Found\r\n\r\n",
                                 "missing"},
                      AnswerCase{"ServerError",
                                 "HTTP/1.0 500 Internal Server Error\r\n\r\noops",
                                 0,
                                 500,
                                 {"failure:0"},
                                 "HTTP/1.0 500 Internal Server Error\r\n\r\n",
                                 "oops"},
                      AnswerCase{"NoReasonPhrase404",
                                 "HTTP/1.0 404\r\n\r\n",
                                 0,
                                 404,
                                 {"failure:0"},
                                 "HTTP/1.0 404\r\n\r\n",
                                 ""},
                      AnswerCase{"Unauthorized",
                                 "HTTP/1.0 401 Unauthorized\r\n\r\nlogin",
                                 0,
                                 401,
                                 {"failure:0", "auth"},
                                 "HTTP/1.0 401 Unauthorized\r\n\r\n",
                                 "login"},
                      AnswerCase{"SeeOther",
                                 "HTTP/1.0 303 See Other\r\nLocation: http://elsewhere/\r\n\r\n",
                                 0,
                                 303,
                                 {"redirect"},
                                 "HTTP/1.0 303 See Other\r\nLocation: http://elsewhere/\r\n\r\n",
                                 ""},
                      AnswerCase{"NotModified",
                                 "HTTP/1.0 304 Not Modified\r\n\r\n",
                                 0,
                                 304,
                                 {"redirect"},
                                 "HTTP/1.0 304 Not Modified\r\n\r\n",
                                 ""},
                      AnswerCase{"NoStatusLine", "", 0, 0, {"success:0"}, "", ""},
                      AnswerCase{"StatusNotNumeric",
                                 "HTTP/1.0 OK\r\n\r\nbody",
                                 0,
                                 0,
                                 {"success:0"},
                                 "HTTP/1.0 OK\r\n\r\n",
                                 "body"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpWireTest, SeeOther_NoSecondExchangeUrlKept) {
    ScriptedPeer second;
    second.Start();
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n")
        .Send("HTTP/1.0 303 See Other\r\nLocation: " + Base(second) + "/b\r\n\r\n")
        .Close();
    peer.Start();
    client.Get(Base(peer) + "/a");
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(client.RequestUrl(), Base(peer) + "/a");
    EXPECT_EQ(events, Events{"redirect"});
    EXPECT_TRUE(second.NoEarlierConnection());
}

TEST_F(HttpWireTest, BodyLargerThanOneBlock_ReceivedWhole) {
    std::string body;
    for (int i = 0; i < 50000; ++i) body += static_cast<char>('A' + i % 26) + std::string("\r\n");
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\n").Send(body, 40000).Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(client.Body.size(), body.size());
    EXPECT_EQ(client.Body, body);
}

// ---- the connection ends or stalls early ----

TEST_F(HttpWireTest, EarlyCloseInsideHeader_ErrorNoEvent) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\nContent-Ty").Close();
    peer.Start();
    client.Body = "before";
    try {
        client.Get(Base(peer) + "/");
        FAIL() << "no error";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.Message, "Connection closed before the answer was complete");
    }
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(client.Header, "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(client.Body, "before");  // the body was never reached
    EXPECT_FALSE(client.IsConnected);
}

TEST_F(HttpWireTest, EarlyCloseBeforeAnnouncedLength_ErrorPartialBodyKept) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc").Close();
    peer.Start();
    EXPECT_THROW(client.Get(Base(peer) + "/"), EHttpError);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(client.Body, "abc");
}

TEST_F(HttpWireTest, EarlyCloseWithoutLength_BodyToTheClose) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\n<html>cut").Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    EXPECT_EQ(events, Events{"success:0"});
    EXPECT_EQ(client.Body, "<html>cut");
}

TEST_F(HttpWireTest, TimeOutDuringBody_AbortErrorPartInBodyNoEvent) {
    UseVirtualTime();
    client.TimeOut = 10000;
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n")
        .Send("HTTP/1.0 200 OK\r\n\r\npart")
        .Call(Quiet())
        .Pause(2000ms)
        .Send("rest");
    peer.Start();
    const auto start = virt.clock.now;
    try {
        client.Get(Base(peer) + "/");
        FAIL() << "no error";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket capture aborted");
    }
    EXPECT_EQ(virt.clock.now - start, 10000ms);
    EXPECT_EQ(client.Body, "part");
    EXPECT_EQ(client.Header, "HTTP/1.0 200 OK\r\n\r\n");
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(client.IsConnected);
    EXPECT_FALSE(client.CancelRequested);
}

TEST_F(HttpWireTest, TimeOutDuringHeader_AbortErrorBodyUntouched) {
    UseVirtualTime();
    client.TimeOut = 10000;
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\nX-Slow").Call(Quiet()).Pause(2000ms);
    peer.Start();
    client.Body = "before";
    try {
        client.Get(Base(peer) + "/");
        FAIL() << "no error";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket readln aborted");
    }
    EXPECT_EQ(client.Body, "before");
    EXPECT_EQ(client.Header, "HTTP/1.0 200 OK\r\n");
    EXPECT_TRUE(events.empty());
}

TEST_F(HttpWireTest, HeaderTricklingShortLines_EndsByTheTimeOutAsAWhole) {
    UseVirtualTime();
    client.TimeOut = 300;
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += "X: 1\r\n";
    ScriptedPeer peer;
    // The blank line never comes.
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n" + lines).Call(Quiet()).Pause(2000ms);
    peer.Start();
    // Every line takes 60 ms, well within the time-out of one line; the fifth ends the header.
    int lineReads = 0;
    client.ReportLevel = 8;
    client.OnStatus = [&](TSockTransport*, const std::string& status) {
        if (status != "ReadLn") return;
        ++lineReads;
        virt.clock.now += 60ms;
    };
    try {
        client.Get(Base(peer) + "/");
        FAIL() << "no error";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket readln aborted");
    }
    EXPECT_EQ(lineReads, 5);
    EXPECT_EQ(virt.waiter->Jumps, 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(HttpWireTest, KeptOpenWithoutLength_ReadsUntilTimeOut) {
    UseVirtualTime();
    client.TimeOut = 10000;
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n")
        .Send("HTTP/1.0 200 OK\r\n\r\nwhole body")
        .Call(Quiet())
        .ReceiveUntilClose();
    peer.Start();
    EXPECT_THROW(client.Get(Base(peer) + "/"), EAbortError);
    ASSERT_TRUE(peer.Finish()) << peer.Report();  // the client closed its end
    EXPECT_EQ(client.Body, "whole body");
    EXPECT_TRUE(events.empty());
}

struct KeptOpenCase {
    const char* name;
    bool bodyToFile;
    std::string answer;
    std::string body;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const KeptOpenCase& row, std::ostream* os) {
    *os << row.name;
}

class KeptOpenWithLength : public HttpWireTest,
                           public ::testing::WithParamInterface<KeptOpenCase> {};

TEST_P(KeptOpenWithLength, EndsAtAnnouncedLength) {
    const KeptOpenCase& c = GetParam();
    client.TimeOut = 5000;
    client.InputFileMode = c.bodyToFile;
    if (c.bodyToFile) client.Body = (dir / "body.htm").string();
    ScriptedPeer peer;
    // The peer sends its answer and then waits for the client to close.
    peer.ExpectUntil("\r\n\r\n").Send(c.answer, 7, 1ms).ReceiveUntilClose();
    peer.Start();
    auto start = std::chrono::steady_clock::now();
    client.Get(Base(peer) + "/");
    EXPECT_LT(SecondsSince(start), 2.0);
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(events, Events{"success:0"});
    if (c.bodyToFile)
        EXPECT_EQ(ReadBytes(dir / "body.htm"), c.body);
    else
        EXPECT_EQ(client.Body, c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, KeptOpenWithLength,
    ::testing::Values(
        KeptOpenCase{"String", false, "HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\nhello world",
                     "hello world"},
        KeptOpenCase{"LowerCaseName", false, "HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\nhello",
                     "hello"},
        KeptOpenCase{"ZeroLength", false, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        KeptOpenCase{"File", true, "HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\nhello world",
                     "hello world"},
        KeptOpenCase{"ViaProxyKeepAlive", false,
                     "HTTP/1.0 200 OK\r\nProxy-Connection: Keep-Alive\r\nContent-Length: 3\r\n\r\n"
                     "abc",
                     "abc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpWireTest, AbortFromPacketHandler_AbortErrorThenUsableAgain) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nfirst").Pause(1000ms).Close();
    peer.Start();
    client.OnPacketRecvd = [this](TSockTransport*) { client.Abort(); };
    EXPECT_THROW(client.Get(Base(peer) + "/"), EAbortError);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(client.Body, "first");

    client.OnPacketRecvd = nullptr;
    ScriptedPeer next;
    next.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nsecond").Close();
    next.Start();
    client.Get(Base(next) + "/");
    EXPECT_EQ(client.Body, "second");
    EXPECT_EQ(events, Events{"success:0"});
}

// ---- header and body files ----

TEST_F(HttpWireTest, FileSinks_HeaderAndBodyWrittenNamesKept) {
    client.OutputFileMode = true;
    client.InputFileMode = true;
    client.Header = (dir / "Head.txt").string();
    client.Body = (dir / "Default.htm").string();
    WriteBytes(dir / "Head.txt", "stale header that is longer than the new one\r\n\r\n");
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(k200Head + kPage).Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    EXPECT_EQ(ReadBytes(dir / "Head.txt"), k200Head);
    EXPECT_EQ(ReadBytes(dir / "Default.htm"), kPage);
    EXPECT_EQ(client.Header, (dir / "Head.txt").string());
    EXPECT_EQ(client.Body, (dir / "Default.htm").string());
    EXPECT_EQ(events, Events{"success:0"});
}

// The header file is a diagnostic copy: one that cannot be written, or a symbolic link
// planted under its name, never costs the page, and the link's target stays untouched.
TEST_F(HttpWireTest, HeaderFileUnwritableOrLink_PageArrivesLinkTargetUntouched) {
    client.OutputFileMode = true;
    WriteBytes(dir / "victim", "keep me");
    std::filesystem::create_symlink(dir / "victim", dir / "Head.txt");
    for (const std::filesystem::path& header :
         {dir / "no-such-dir" / "Head.txt", dir / "Head.txt"}) {
        client.Header = header.string();
        events.clear();
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n").Send(k200Head + kPage).Close();
        peer.Start();
        client.Get(Base(peer) + "/");
        EXPECT_EQ(client.Body, kPage) << header;
        EXPECT_EQ(events, Events{"success:0"}) << header;
    }
    EXPECT_EQ(ReadBytes(dir / "victim"), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Head.txt"));
}

TEST_F(HttpWireTest, BodyFileCannotBeCreated_CreateErrorNoEvent) {
    client.InputFileMode = true;
    client.Body = (dir / "no-such-dir" / "b.htm").string();
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(k200Head + kPage).Close();
    peer.Start();
    EXPECT_THROW(client.Get(Base(peer) + "/"), EFCreateError);
    EXPECT_TRUE(events.empty());
}

TEST_F(HttpWireTest, TimeOutDuringBodyToFile_PartKeptInFile) {
    UseVirtualTime();
    client.TimeOut = 10000;
    client.InputFileMode = true;
    client.Body = (dir / "b.htm").string();
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\npart").Call(Quiet()).Pause(2000ms);
    peer.Start();
    EXPECT_THROW(client.Get(Base(peer) + "/"), EAbortError);
    EXPECT_EQ(ReadBytes(dir / "b.htm"), "part");
    EXPECT_TRUE(events.empty());
}

// ---- redirections and cookies ----

std::string RedirectTo(const std::string& location, const std::string& extra = "") {
    return "HTTP/1.0 302 Found\r\n" + extra + "Location: " + location + "\r\n\r\nmoved";
}

// A cookie from a redirection goes back only to the server (host and port) that set it
// (SecondExchange.AbsolutePath_SameHostAndPort), in no request to another server; the
// user's credentials go only where the operation was sent.
TEST_F(HttpWireTest, Found_CookieOnlyToItsServerCredentialsOnlyToTheUsersServer) {
    client.HeaderInfo.UserId = "u";
    client.HeaderInfo.Password = "p";
    const std::string auth = "Authorization: Basic dTpw\r\n";
    ScriptedPeer elsewhere, first;
    const std::string cookie = "s=2; path=/; expires=Wed, 09 Dec 2026 10:00:00 GMT";
    first.ExpectUntil("\r\n\r\n")
        .Send(RedirectTo(Base(elsewhere) + "/c.htm",
                         "Set-Cookie: s=1\r\nset-cookie: " + cookie + "\r\n"))
        .Close();
    const std::string elsewhereRequest =
        "GET /c.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAcceptLines + kTypeLine + "\r\n";
    elsewhere.Expect(elsewhereRequest).Send("HTTP/1.0 200 OK\r\n\r\nthere").Close();
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
    later.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nlater").Close();
    later.Start();
    client.Get(Base(later) + "/d.htm");
    ASSERT_TRUE(later.Finish()) << later.Report();
    EXPECT_EQ(later.Received().find("Cookie:"), std::string::npos);
    EXPECT_NE(later.Received().find(auth), std::string::npos);
}

TEST_F(HttpWireTest, MovedPermanently_FollowedWithHeaderNameInAnyCase) {
    ScriptedPeer second, first;
    first.ExpectUntil("\r\n\r\n")
        .Send("HTTP/1.0 301 Moved\r\nLOCATION: " + Base(second) + "/x\r\n\r\n")
        .Close();
    second.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nthere").Close();
    first.Start();
    second.Start();
    client.Get(Base(first) + "/");
    EXPECT_EQ(client.Body, "there");
    EXPECT_EQ(events, (Events{"redirect", "success:0"}));
}

// Runs one redirecting answer with OnRedirect handling it, so no second exchange follows.
class HandledRedirect : public HttpWireTest {
  protected:
    void Run(const std::string& answer) {
        handleRedirect = true;
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n").Send(answer).Close();
        peer.Start();
        base = Base(peer);
        client.Get(base + "/a.htm");
        ASSERT_TRUE(peer.Finish()) << peer.Report();
    }
    std::string base;
};

TEST_F(HandledRedirect, HandledTrue_NoSecondExchangeUrlIsLocation) {
    Run(RedirectTo("http://elsewhere/x.htm", "Set-Cookie: c=1\r\n"));
    EXPECT_EQ(events, Events{"redirect"});
    EXPECT_EQ(client.RequestUrl(), "http://elsewhere/x.htm");
    EXPECT_EQ(client.Body, "moved");
    EXPECT_EQ(client.HeaderInfo.Cookie, "c=1");
}

TEST_F(HandledRedirect, CookieOver256Characters_Cut) {
    std::string longCookie = "k=" + std::string(300, 'v');
    Run(RedirectTo("/x", "Set-Cookie: " + longCookie + "\r\n"));
    EXPECT_EQ(client.HeaderInfo.Cookie, longCookie.substr(0, 256));
}

TEST_F(HandledRedirect, LocationOver256Characters_Cut) {
    std::string location = "http://h/" + std::string(300, 'l');
    Run(RedirectTo(location));
    EXPECT_EQ(client.RedirectLocation(), location.substr(0, 256));
    EXPECT_EQ(client.RequestUrl(), location.substr(0, 256));
}

TEST_F(HandledRedirect, CookieWithoutBlankAfterColon_NotRecognised) {
    Run(RedirectTo("/x", "Set-Cookie:s=1\r\n"));
    EXPECT_EQ(client.HeaderInfo.Cookie, "");
}

// Stops the second exchange in OnAboutToSend, before it connects, and records it.
class SecondExchange : public HttpWireTest {
  protected:
    struct Stop {};
    void Run(const std::string& answer) {
        client.OnAboutToSend = [this](TSockTransport*) {
            if (++exchanges == 2) {
                url = client.RequestUrl();
                request = client.RequestHeader().Text();
                throw Stop{};
            }
        };
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n").Send(answer).Close();
        peer.Start();
        port = peer.Port();
        EXPECT_THROW(client.Get(Base(peer) + "/dir/a.htm"), Stop);
        ASSERT_TRUE(peer.Finish()) << peer.Report();
    }
    int exchanges = 0;
    uint16_t port = 0;
    std::string url, request;
};

TEST_F(SecondExchange, LocationWithoutBlank_GoesToRootOfSameServer) {
    Run("HTTP/1.0 302 Found\r\nLocation:http://elsewhere/\r\n\r\n");
    EXPECT_EQ(client.RedirectLocation(), "");
    EXPECT_EQ(url, WithPort("http://127.0.0.1:{port}/", port));
    EXPECT_EQ(client.Port, port);
    EXPECT_EQ(request, "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAcceptLines + kTypeLine);
}

TEST_F(SecondExchange, PageNameOnly_SameServerAndPort) {
    Run(RedirectTo("next.htm"));
    EXPECT_EQ(url, WithPort("http://127.0.0.1:{port}/next.htm", port));
    EXPECT_EQ(client.Port, port);
}

TEST_F(SecondExchange, AbsolutePath_SameHostAndPort) {
    Run(RedirectTo("/other/b.htm", "Set-Cookie: id=7\r\n"));
    EXPECT_EQ(url, "/other/b.htm");
    EXPECT_EQ(client.Host, "127.0.0.1");
    EXPECT_EQ(client.Port, port);
    EXPECT_EQ(request, "GET /other/b.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAcceptLines +
                           "Cookie: id=7\r\n" + kTypeLine);
}

// ReadLn splits at LF only, so a lone CR stays inside a value. Such a location or cookie is
// dropped as it arrives: no further exchange, and nothing poisons a later request.
TEST_F(SecondExchange, LocationOrCookieWithControlByte_DroppedNoSecondExchange) {
    Run(RedirectTo("/x", "Set-Cookie: good=1\r\n") + "\r\n");
    ASSERT_EQ(client.HeaderInfo.Cookie, "good=1");
    exchanges = 0;
    events.clear();
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n")
        .Send(
            "HTTP/1.0 302 Found\r\nSet-Cookie: s=1\rX-Injected: 1\r\n"
            "Location: /x\rX-Injected: 1\r\n\r\n")
        .Close();
    peer.Start();
    client.Get(Base(peer) + "/a.htm");
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(exchanges, 1);
    EXPECT_EQ(events, Events{"redirect"});
    EXPECT_EQ(client.RedirectLocation(), "");
    EXPECT_EQ(client.ReceivedCookie(), "");
    EXPECT_EQ(client.HeaderInfo.Cookie, "good=1");
    EXPECT_EQ(client.RequestUrl(), Base(peer) + "/a.htm");
}

TEST_F(HttpWireTest, RedirectLoop_StopsAfterFiveExchanges) {
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<ScriptedPeer>());
    for (int i = 0; i < 5; ++i) {
        peers[i]->ExpectUntil("\r\n\r\n").Send(RedirectTo(Base(*peers[i + 1]) + "/")).Close();
        peers[i]->Start();
    }
    peers[5]->Start();
    client.Get(Base(*peers[0]) + "/");
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(peers[i]->Finish()) << i << peers[i]->Report();
    EXPECT_TRUE(peers[5]->NoEarlierConnection());
    EXPECT_EQ(client.ReplyCode, 302);
    EXPECT_EQ(events, Events(5, "redirect"));
    EXPECT_EQ(client.RequestUrl(), Base(*peers[5]) + "/");
}

// ---- status reports and the client's own Abort ----

TEST_F(HttpWireTest, Success_ReportsTransactionCompletedAtLevel2) {
    client.ReportLevel = 2;
    std::vector<std::string> reports;
    client.OnStatus = [&](TSockTransport*, const std::string& text) {
        reports.push_back(text + (events.empty() ? " before" : " after"));
    };
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nx").Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    EXPECT_EQ(reports, std::vector<std::string>{"Transaction Completed after"});
}

TEST_F(HttpWireTest, Failure_NoTransactionCompletedReport) {
    client.ReportLevel = 2;
    std::vector<std::string> reports;
    client.OnStatus = [&](TSockTransport*, const std::string& text) { reports.push_back(text); };
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 404 Not Found\r\n\r\n").Close();
    peer.Start();
    client.Get(Base(peer) + "/");
    EXPECT_TRUE(reports.empty());
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

TEST_F(HttpWireTest, AboutToSend_OncePerExchangeWithClientAsSender) {
    ScriptedPeer second, first;
    first.ExpectUntil("\r\n\r\n").Send(RedirectTo(Base(second) + "/b")).Close();
    second.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 200 OK\r\n\r\nb").Close();
    first.Start();
    second.Start();
    std::vector<std::string> urls;
    client.OnAboutToSend = [&](TSockTransport* sender) {
        EXPECT_EQ(sender, &client);
        EXPECT_FALSE(client.IsConnected);
        urls.push_back(client.RequestUrl());
    };
    client.Get(Base(first) + "/a");
    EXPECT_EQ(urls, (std::vector<std::string>{Base(first) + "/a", Base(second) + "/b"}));
}

TEST_F(HttpWireTest, SuccessHandler_SeesWholeBody) {
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(k200Head + kPage, 5, 1ms).Close();
    peer.Start();
    std::string seen;
    client.OnSuccess = [&](CmdType) { seen = client.Body; };
    client.Get(Base(peer) + "/");
    EXPECT_EQ(seen, kPage);
}

}  // namespace
