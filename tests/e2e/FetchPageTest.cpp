#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "E2eFixture.h"
#include "VirtualTime.h"

namespace e2e {
namespace {

using recsim::Mode;
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
}

TEST(TransferSessionSetup, ProgramDirAlwaysEndsWithSlash) {
    TransferSession ctx;
    ctx.SetProgramDir("/opt/zavo");
    EXPECT_EQ(ctx.ProgramDir, "/opt/zavo/");
    EXPECT_EQ(ctx.PostDataPath, "/opt/zavo/Reserv.txt");
    ctx.SetProgramDir("/opt/zavo/");
    EXPECT_EQ(ctx.ProgramDir, "/opt/zavo/");
    EXPECT_EQ(ctx.PostDataPath, "/opt/zavo/Reserv.txt");
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

class FetchPage : public TransferTest {
  protected:
    // A port on 127.0.0.1 where nothing listens: connections are refused at once.
    RefusingPort refusing;

    // Puts the client's pump on a clock that moves only when a request is about to be sent,
    // by step: every attempt is reckoned to take step. Counts the attempts.
    void FakeClock(milliseconds step) {
        auto now = std::make_shared<milliseconds>(1'000'000);
        ctx.HttpClient1.Pump().SetClock([now] { return *now; });
        ctx.HttpClient1.OnAboutToSend = [this, now, step](TSockTransport*) {
            ++attempts;
            *now += step;
        };
    }

    int attempts = 0;
};

TEST_F(FetchPage, AnsweredGetIsOneRequestWithTheBodyKept) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4);
    ctx.HttpClient1.InputFileMode = true;  // switched off again by the fetch loop
    ctx.FetchPage(false, Url("/setup/ch_set.htm"));
    EXPECT_TRUE(ctx.RequestSucceeded);
    EXPECT_FALSE(ctx.HttpClient1.InputFileMode);
    EXPECT_EQ(Targets(sim), std::vector<std::string>{"GET /setup/ch_set.htm"});
    EXPECT_EQ(ctx.HttpClient1.Body, RawGet(sim.Port(), "/setup/ch_set.htm"));
}

// A post-data file that cannot be read is the disk's fault: its error comes out at once and
// nothing is sent, so no box blames the recorder.
TEST_F(FetchPage, UnreadablePostDataFileRaisesItsErrorWithoutARequest) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4EX);
    ctx.PostDataPath = Saved("missing/Reserv.txt");
    EXPECT_THROW(ctx.FetchPage(true, Url("/program/x/entry.htm")), EFOpenError);
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_FALSE(ctx.RequestSucceeded);
}

// A page that does not arrive whole is asked for 21 times in all.
TEST_F(FetchPage, PageThatDoesNotArriveIsAskedTwentyOneTimes) {
    const struct {
        const char* name;
        void (*spoil)(recsim::RecorderSim&);
    } cases[] = {
        {"ErrorStatus",
         [](recsim::RecorderSim& sim) { sim.SetErrorStatus("/setup/ch_set.htm", 404); }},
        {"ClosedWithoutAnswer",
         [](recsim::RecorderSim& sim) { sim.SetDropConnection("/setup/ch_set.htm", true); }},
        {"BodyCutShort",
         [](recsim::RecorderSim& sim) {
             sim.SetFault("/setup/ch_set.htm", recsim::Fault::CutBody);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recsim::RecorderSim& sim = StartRecorder(Mode::X4);
        c.spoil(sim);
        ctx.FetchPage(false, Url("/setup/ch_set.htm"));
        EXPECT_FALSE(ctx.RequestSucceeded);
        EXPECT_EQ(Targets(sim), std::vector<std::string>(21, "GET /setup/ch_set.htm"));
    }
}

TEST_F(FetchPage, ErrorStatusThatClearsIsAskedUntilAnswered) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4);
    sim.SetErrorStatus("/setup/ch_set.htm", 503, 20);
    ctx.FetchPage(false, Url("/setup/ch_set.htm"));
    EXPECT_TRUE(ctx.RequestSucceeded);
    EXPECT_EQ(sim.Requests().size(), 21u);
}

struct ClockCase {
    const char* name;
    long long stepMs;  // how far the clock moves between two readings
    int attempts;
    // ctest lists the case by its name rather than its bytes.
    friend void PrintTo(const ClockCase& c, std::ostream* os) { *os << c.name; }
};

class FetchPageClock : public FetchPage, public testing::WithParamInterface<ClockCase> {};

TEST_P(FetchPageClock, SlowFailedAttemptEndsTheLoop) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4);
    sim.SetFault("/program/b_prgrm.htm", recsim::Fault::Reset);
    FakeClock(milliseconds(GetParam().stepMs));
    ctx.FetchPage(false, Url("/program/b_prgrm.htm"));
    EXPECT_FALSE(ctx.RequestSucceeded);
    EXPECT_EQ(attempts, GetParam().attempts);
}

INSTANTIATE_TEST_SUITE_P(Elapsed, FetchPageClock,
                         testing::Values(ClockCase{"Instant", 0, 21},
                                         ClockCase{"FourPointNineCountsAsFour", 4900, 21},
                                         ClockCase{"JustUnderFive", 4999, 21},
                                         ClockCase{"FiveSeconds", 5000, 1},
                                         ClockCase{"TenSeconds", 10000, 1},
                                         ClockCase{"ClockGoingBackFiveSeconds", -5000, 1}),
                         [](const testing::TestParamInfo<ClockCase>& i) { return i.param.name; });

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

TEST_F(FetchPage, PostSendsThePostDataFileAndKeepsTheAnswer) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4EX);
    const std::string entry = "/program/" + sim.Segment() + "/entry.htm";
    const std::string body = "bExec=ON&title_name=A%20B&lVoice=1&end_form=0\r\n";
    WriteBytes(ctx.PostDataPath, body);
    ctx.FetchPage(true, Url(entry));
    EXPECT_TRUE(ctx.RequestSucceeded);
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].method, "POST");
    EXPECT_EQ(sim.Requests()[0].body, body);
    // Whatever the recorder thinks of a post without a chosen slot, its answer page is kept.
    EXPECT_TRUE(ctx.HttpClient1.Body.find("msg=\"") != std::string::npos ||
                ctx.HttpClient1.Body.find("alert(\"") != std::string::npos)
        << ctx.HttpClient1.Body;
}

}  // namespace
}  // namespace e2e
