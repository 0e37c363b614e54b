#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "E2eFixture.h"
#include "VirtualTime.h"

namespace e2e {
namespace {

using std::chrono::milliseconds;

TEST(TransferSessionSetup, ConfiguresTheClientAsTheTransfersNeed) {
    TransferSession ctx;
    EXPECT_EQ(ctx.HttpClient1.Port, 0);
    EXPECT_EQ(ctx.HttpClient1.TimeOut, 10000);
    EXPECT_EQ(ctx.HttpClient1.ReportLevel, 0);
    EXPECT_EQ(ctx.HttpClient1.Body, "Default.htm");
    EXPECT_EQ(ctx.HttpClient1.Header, "Head.txt");
    EXPECT_FALSE(ctx.HttpClient1.InputFileMode);
    EXPECT_TRUE(ctx.HttpClient1.OutputFileMode);
    EXPECT_EQ(ctx.HttpClient1.ProxyPort, 0);
    EXPECT_TRUE(ctx.HttpClient1.Proxy.empty());
    ASSERT_TRUE(ctx.HttpClient1.OnSuccess);
    ASSERT_TRUE(ctx.HttpClient1.OnFailure);
    ctx.HttpClient1.ReplyCode = 200;
    ctx.HttpClient1.OnSuccess(3);
    EXPECT_TRUE(ctx.RequestSucceeded);
    // The program directory always ends with a slash.
    for (const char* programDir : {"/opt/zavo", "/opt/zavo/"}) {
        ctx.SetProgramDir(programDir);
        EXPECT_EQ(ctx.ProgramDir, "/opt/zavo/");
        EXPECT_EQ(ctx.PostDataPath, "/opt/zavo/Reserv.txt");
    }
}

// Only an answered GET or POST whose body is as long as announced (when announced) is a page.
TEST(HttpClient1Success, OnlyGetAndPostWithAWholeAnswerSetTheFlag) {
    const struct {
        int replyCode;
        int32_t announced;
        std::string body;
        bool page;
    } cases[] = {{200, 0, "", true},    {200, 0, "abc", true},  {200, 3, "abc", true},
                 {200, 2, "abc", true}, {200, 4, "abc", false}, {200, 1, "", false},
                 {0, 0, "", false}};  // no status line
    for (const auto& c : cases) {
        TransferSession ctx;
        ctx.HttpClient1.ReplyCode = c.replyCode;
        ctx.HttpClient1.AnnouncedLength = c.announced;
        ctx.HttpClient1.Body = c.body;
        for (int cmd = 0; cmd < 256; ++cmd) {
            ctx.RequestSucceeded = false;
            ctx.HttpClient1Success(static_cast<CmdType>(cmd));
            EXPECT_EQ(ctx.RequestSucceeded, c.page && (cmd == 0 || cmd == 3))
                << "command code " << cmd << ", status " << c.replyCode << ", " << c.announced
                << " / " << c.body;
        }
        // A set flag is never cleared by the handler.
        ctx.RequestSucceeded = true;
        ctx.HttpClient1Success(1);
        EXPECT_TRUE(ctx.RequestSucceeded);
    }
}

class FetchPage : public TransferTest {};

// An answered GET or POST is one request whose answer is kept; a POST sends the post-data file.
// One that cannot be read is the disk's fault: its error comes out at once and nothing is
// sent, so no box blames the recorder.
TEST_F(FetchPage, AnsweredGetAndPostAreOneRequestEachWithTheAnswerKept) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4EX);
    const std::string postData = ctx.PostDataPath;
    ctx.PostDataPath = Saved("missing/Reserv.txt");
    EXPECT_THROW(ctx.FetchPage(true, Url("/program/x/entry.htm")), EFOpenError);
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_FALSE(ctx.RequestSucceeded);
    ctx.PostDataPath = postData;
    ctx.HttpClient1.InputFileMode = true;  // switched off again by the fetch loop
    ctx.FetchPage(false, Url("/setup/ch_set.htm"));
    EXPECT_TRUE(ctx.RequestSucceeded);
    EXPECT_FALSE(ctx.HttpClient1.InputFileMode);
    EXPECT_EQ(ctx.HttpClient1.Body, RawGet(sim.Port(), "/setup/ch_set.htm"));
    const std::string body = "bExec=ON&title_name=A%20B&lVoice=1&end_form=0\r\n";
    WriteBytes(ctx.PostDataPath, body);
    ctx.FetchPage(true, Url(Seg(sim) + "/entry.htm"));
    EXPECT_TRUE(ctx.RequestSucceeded);
    // The second GET is this test's own.
    EXPECT_EQ(Targets(sim),
              (std::vector<std::string>{"GET /setup/ch_set.htm", "GET /setup/ch_set.htm",
                                        "POST " + Seg(sim) + "/entry.htm"}));
    EXPECT_EQ(sim.Requests().back().body, body);
    // Whatever the recorder thinks of a post without a chosen slot, its answer page is kept.
    EXPECT_TRUE(ctx.HttpClient1.Body.find("msg=\"") != std::string::npos ||
                ctx.HttpClient1.Body.find("alert(\"") != std::string::npos)
        << ctx.HttpClient1.Body;
}

// A page that does not arrive whole is asked for again, 21 times in all.
TEST_F(FetchPage, PageThatDoesNotArriveIsAskedTwentyOneTimes) {
    const struct {
        const char* name;
        int status, times;  // an error status the recorder answers with, so many times
        bool drop;          // the recorder closes without answering
        recsim::Fault fault;
        bool page;  // the last attempt brings the page
    } cases[] = {
        {"ErrorStatus", 404, -1, false, recsim::Fault::None, false},
        {"ClosedWithoutAnswer", 0, 0, true, recsim::Fault::None, false},
        {"BodyCutShort", 0, 0, false, recsim::Fault::CutBody, false},
        {"ErrorStatusThatClears", 503, 20, false, recsim::Fault::None, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recsim::RecorderSim& sim = StartRecorder(Mode::X4);
        if (c.status != 0) sim.SetErrorStatus("/setup/ch_set.htm", c.status, c.times);
        if (c.drop) sim.SetDropConnection("/setup/ch_set.htm", true);
        if (c.fault != recsim::Fault::None) sim.SetFault("/setup/ch_set.htm", c.fault);
        ctx.FetchPage(false, Url("/setup/ch_set.htm"));
        EXPECT_EQ(ctx.RequestSucceeded, c.page);
        EXPECT_EQ(Targets(sim), std::vector<std::string>(21, "GET /setup/ch_set.htm"));
    }
}

// A failed attempt that took 5 seconds or more ends the loop; 4.9 seconds count as 4.
TEST_F(FetchPage, SlowFailedAttemptEndsTheLoop) {
    const struct {
        const char* name;
        long long stepMs;  // how far the clock moves between two readings
        int attempts;
    } cases[] = {{"Instant", 0, 21},          {"FourPointNineCountsAsFour", 4900, 21},
                 {"JustUnderFive", 4999, 21}, {"FiveSeconds", 5000, 1},
                 {"TenSeconds", 10000, 1},    {"ClockGoingBackFiveSeconds", -5000, 1}};
    int attempts = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartRecorder(Mode::X4).SetFault("/program/b_prgrm.htm", recsim::Fault::Reset);
        // The clock moves only as a request is about to be sent: every attempt takes the step.
        auto now = std::make_shared<milliseconds>(1'000'000);
        ctx.HttpClient1.Pump().SetClock([now] { return *now; });
        attempts = 0;
        ctx.HttpClient1.OnAboutToSend = [&](TSockTransport*) {
            ++attempts;
            *now += milliseconds(c.stepMs);
        };
        ctx.FetchPage(false, Url("/program/b_prgrm.htm"));
        EXPECT_FALSE(ctx.RequestSucceeded);
        EXPECT_EQ(attempts, c.attempts);
    }
}

TEST_F(FetchPage, SilentRecorderEndsAfterOneTimedOutAttempt) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4);
    sim.SetFault("/program/b_prgrm.htm", recsim::Fault::Hang);
    // The program's time-out, on a clock that jumps to it: the attempt takes 10 s there.
    VirtualTimePump v;
    TransferSession session;  // after v, whose pump it uses
    session.HttpClient1.UsePump(v.pump);
    // Time moves on once the recorder has the request and says nothing more.
    v.waiter->MayJump = [&] { return !sim.Requests().empty(); };
    const milliseconds start = v.clock.now;
    session.FetchPage(false, Url("/program/b_prgrm.htm"));
    EXPECT_FALSE(session.RequestSucceeded);
    EXPECT_EQ(v.clock.now - start, milliseconds(10000));
    EXPECT_EQ(Targets(sim), std::vector<std::string>{"GET /program/b_prgrm.htm"});
}

// A refused connection is retried at once, on the real clock; a failed GET empties the body,
// a failed POST keeps it.
TEST_F(FetchPage, RefusedConnectionIsRetriedAndFailsWithoutAPage) {
    const RefusingPort refusing;  // connections are refused at once
    ctx.Settings.Host = refusing.Host();
    int tries = 0;
    ctx.HttpClient1.OnAboutToSend = [&](TSockTransport*) { ++tries; };
    WriteBytes(ctx.PostDataPath, "bExec=ON&lVoice=1&end_form=0\r\n");
    ctx.HttpClient1.Body = "previous answer";
    ctx.FetchPage(true, Url("/program/x/entry.htm"));
    EXPECT_FALSE(ctx.RequestSucceeded);
    EXPECT_EQ(ctx.HttpClient1.Body, "previous answer");
    EXPECT_EQ(tries, 21);
    const milliseconds start = ctx.HttpClient1.Now();
    ctx.FetchPage(false, Url("/program/b_prgrm.htm"));
    EXPECT_FALSE(ctx.RequestSucceeded);
    EXPECT_EQ(ctx.HttpClient1.Body, "");
    EXPECT_EQ(tries, 42);
    EXPECT_LT((ctx.HttpClient1.Now() - start).count(), 5000);
}

}  // namespace
}  // namespace e2e
