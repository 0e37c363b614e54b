// The HTTP client on its own against misbehaving recorders: the error each fault raises (the
// message the transfer drops and retries on), how long it takes at most, what the client
// keeps of the answer, and that no event announces a page that did not arrive whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "FaultyRecorder.h"
#include "HttpClient.h"
#include "TestHelpers.h"

namespace fault {
namespace {

using M = Misbehaviour;
constexpr int kTimeOutMs = 500;
// Scheduling slack on a loaded machine: a wait may end this much after its time-out.
constexpr int kSlackMs = 1500;

class ClientFault : public testing::Test {
  protected:
    ClientFault() {
        recorder.Start();
        client.TimeOut = kTimeOutMs;
        client.OnSuccess = [this](CmdType cmd) { successes += cmd == HttpCmd::Get ? 1 : 100; };
        client.OnFailure = [this](CmdType) { ++failures; };
    }

    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(recorder.Port()) + "/program/b_prgrm.htm";
    }

    // Runs the request; returns the message of the error it raised (empty when none).
    std::string Run(const std::function<void()>& request) {
        const Clock::time_point start = Clock::now();
        std::string error;
        try {
            request();
        } catch (const EAbortError& e) {
            error = "abort:" + e.Message;
        } catch (const ESockError& e) {
            error = "sock:" + e.Message;
        } catch (const Exception& e) {
            error = "other:" + e.Message;
        }
        took = MillisSince(start);
        return error;
    }
    std::string Get() {
        return Run([this] { client.Get(Url()); });
    }

    FaultyRecorder recorder;
    THttpClient client;
    int successes = 0;
    int failures = 0;
    double took = 0;
};

TEST_F(ClientFault, ResetInBody_RaisesResetAtOnceAndKeepsWhatArrived) {
    recorder.FixedPage = std::string(4000, 'x') + "\r\n";
    recorder.SetFault("*", M::ResetInBody);
    const std::string error = Get();
    // The reset ends the exchange as an error: the reset itself, or, when the transport takes
    // it for the close it also is, an answer short of its announced length. A reset that
    // overtakes every byte leaves an empty answer without status, which no caller takes for
    // a page. In no case is the half page announced as a page.
    if (error.empty()) {
        EXPECT_EQ(client.ReplyCode, 0);
        EXPECT_EQ(client.Header, "");
        EXPECT_EQ(client.Body, "");
    } else {
        EXPECT_TRUE(error == "sock:10054:Connection reset by peer" ||
                    error == "other:Connection closed before the answer was complete")
            << error;
        EXPECT_EQ(successes + failures, 0);
    }
    EXPECT_LT(took, kSlackMs);
    // At most the half that was sent before the reset, byte for byte.
    EXPECT_LE(client.Body.size(), recorder.FixedPage.size() / 2);
    EXPECT_EQ(client.Body, recorder.FixedPage.substr(0, client.Body.size()));
    EXPECT_FALSE(client.IsConnected);
}

// Answers without a usable status, and answers that never end. A status line that is none
// counts as an answer without status (the transfers ignore it, see the transfer cases); it is
// never an HTTP error. An answer ended by the time-out is no page, however much of it came,
// and fires no event.
constexpr char kFixed[] = "(the recorder's fixed page)";

struct BrokenCase {
    const char* name;
    Misbehaviour what;
    std::string error;
    bool timedOut;  // ends by the time-out (else at once)
    int replyCode;
    const char* header;
    const char* body;  // kFixed: the page the recorder serves
    int successes;
};

class BrokenAnswer : public ClientFault, public testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenAnswer, EndsWithItsErrorInTimeAndKeepsItsAnswer) {
    const BrokenCase& c = GetParam();
    recorder.SetFault("*", c.what);
    EXPECT_EQ(Get(), c.error);
    EXPECT_GE(took, c.timedOut ? kTimeOutMs - 50 : 0);
    EXPECT_LE(took, c.timedOut ? kTimeOutMs + kSlackMs : kSlackMs);
    EXPECT_EQ(client.ReplyCode, c.replyCode);
    EXPECT_EQ(client.Header, c.header);
    EXPECT_EQ(client.Body, c.body == kFixed ? recorder.FixedPage : std::string(c.body));
    EXPECT_EQ(successes, c.successes);
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(client.CancelRequested);
    EXPECT_FALSE(client.IsConnected);
}

// The page the faulty recorder sends after a broken status line.
constexpr char kPage[] = "<HTML><BODY>page</BODY></HTML>\r\n";
const std::string kLineTimedOut = "abort:Socket readln aborted";

const std::vector<BrokenCase> kBrokenCases = {
    {"GarbageStatusLine", M::GarbageStatus, "", false, 0,
     "\x8e\x80\x01garbage\xff\r\nContent-Type: text/html\r\n\r\n", kPage, 1},
    {"EmptyStatusLine", M::EmptyStatusLine, "", false, 0, "\r\nHTTP/1.0 200 OK\r\n\r\n", kPage, 1},
    {"ClosedWithoutAnswer", M::NoAnswer, "", false, 0, "", "", 1},
    {"NoLengthNeverCloses", M::NoLengthNoClose, "abort:Socket capture aborted", true, 200,
     "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n", kFixed, 0},
    // One byte a second: the status line ends by the time-out. No body was read: Body
    // keeps what it held (the fetch loop empties it before a GET).
    {"OneBytePerSecond", M::OneBytePerSecond, kLineTimedOut, true, 0, "", "Default.htm", 0},
    {"AcceptsNeverAnswers", M::AcceptNoAnswer, kLineTimedOut, true, 0, "", "Default.htm", 0}};
INSTANTIATE_TEST_SUITE_P(Recorder, BrokenAnswer, testing::ValuesIn(kBrokenCases), kRowName);

// Bytes that keep coming do not keep the client waiting: the time-out bounds the whole
// body, not the silence between its pieces.
TEST_F(ClientFault, TrickleInBody_TimeOutBoundsTheWholeBody) {
    recorder.FixedPage = std::string(400, 'y');
    recorder.TrickleGapMs = 5;
    recorder.SetFault("*", M::OneBytePerSecond);
    client.TimeOut = 1500;
    const std::string error = Get();
    // The header (about 80 bytes) arrives within the time-out, the 400-byte body cannot.
    EXPECT_EQ(error, "abort:Socket capture aborted");
    EXPECT_LE(took, 1500 + kSlackMs);
    EXPECT_LT(client.Body.size(), recorder.FixedPage.size());
    EXPECT_EQ(client.Body, recorder.FixedPage.substr(0, client.Body.size()));
}

// Answers without end: the client stops at its bounds (the program's own) with a message
// naming the address, keeps no more than the bound, and announces nothing.
struct EndlessCase {
    const char* name;
    Misbehaviour what;
    const char* error;  // followed by the address
};

class EndlessAnswer : public ClientFault, public testing::WithParamInterface<EndlessCase> {};

TEST_P(EndlessAnswer, StopsAtItsBoundNamingTheAddress) {
    const EndlessCase& c = GetParam();
    client.TimeOut = 20000;
    recorder.SetFault("*", c.what);
    EXPECT_EQ(Get(), std::string("other:") + c.error + Url());
    EXPECT_LE(client.Header.size(), THttpClient::kDefaultMaxHeaderBytes);
    // The body read stops at most one receive block past its bound.
    EXPECT_LE(client.Body.size(), THttpClient::kDefaultMaxBodyBytes + 65537);
    EXPECT_LT(took, 10000);
    EXPECT_EQ(successes + failures, 0);
    EXPECT_FALSE(client.IsConnected);
}

const std::vector<EndlessCase> kEndlessCases = {
    {"Header", M::EndlessHeader, kHeaderTooLong},
    {"Body", M::EndlessBody, kBodyTooLong},
    {"AnnouncedHugeBody", M::HugeLengthBody, kBodyTooLong}};
INSTANTIATE_TEST_SUITE_P(Recorder, EndlessAnswer, testing::ValuesIn(kEndlessCases), kRowName);

TEST_F(ClientFault, AfterEachFault_TheNextRequestSucceeds) {
    for (M what : {M::ResetInBody, M::GarbageStatus, M::NoLengthNoClose, M::AcceptNoAnswer,
                   M::EndlessHeader, M::EndlessBody}) {
        recorder.SetFault("*", what, 1);
        Get();
        successes = failures = 0;
        EXPECT_EQ(Get(), "") << static_cast<int>(what);
        EXPECT_EQ(client.ReplyCode, 200);
        EXPECT_EQ(successes, 1);
        EXPECT_EQ(client.Body, recorder.FixedPage);
    }
}

// A post whose body is large enough to still be on its way when the recorder gives up: it
// closes (the close meets unread bytes and turns into a reset; the send fails with it, and a
// broken pipe must never end the process), or it stops reading (the send ends by the
// time-out).
TEST_F(ClientFault, RecorderGivesUpDuringPostBody_SocketErrorOrTimeOutNoSignal) {
    const TempDir dir;
    client.OutputFileMode = true;
    client.Header = dir.Path() + "Head.txt";
    WriteBytes(dir.Path() + "Reserv.txt", std::string(16u << 20, 'p'));
    const struct {
        Misbehaviour what;
        std::vector<std::string> errors;  // one of them
    } cases[] = {
        {M::CloseDuringPostBody,
         {"sock:10054:Connection reset by peer", "sock:10053:Software caused connection abort"}},
        {M::StopReadingBody, {"abort:Socket send aborted"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.what));
        recorder.SetFault("*", c.what);
        const std::string error = Run([&] { client.Post(Url(), dir.Path() + "Reserv.txt"); });
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), error), c.errors.end()) << error;
        EXPECT_LT(took, kTimeOutMs + kSlackMs);
        EXPECT_EQ(successes + failures, 0);
        EXPECT_FALSE(client.CancelRequested);
        EXPECT_FALSE(client.IsConnected);
    }
    EXPECT_LT(recorder.PartialBodyBytes(), 16u << 20);
}

}  // namespace
}  // namespace fault
