// The HTTP side: answers as HTTP/1.0 with a close, the request log, authentication and the
// fault options, and the command line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <tuple>

#include "RecorderSim.h"
#include "SimClient.h"
#include "StateFile.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "TestProcess.h"

using simtest::Exchange;
using simtest::GetRequest;

namespace {

using Clock = std::chrono::steady_clock;

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.SetReservations(recsim::SampleReservations(3, 4));
        sim.Start();
    }
    recsim::RecorderSim sim{recsim::Options{}};
};

}  // namespace

TEST_F(ServerTest, AnswersHttp10AndCloses) {
    const simtest::RawAnswer a = Exchange(sim.Port(), GetRequest("/program/b_prgrm.htm"));
    EXPECT_FALSE(a.timedOut);  // the server closed after the answer
    EXPECT_FALSE(a.reset);
    EXPECT_EQ(a.Header().rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_NE(a.Header().find("Content-Type: text/html; charset=Shift_JIS\r\n"), std::string::npos);
    EXPECT_NE(a.Header().find("Content-Length: " + std::to_string(a.Body().size()) + "\r\n"),
              std::string::npos);
}

TEST_F(ServerTest, RequestLogHoldsTheExactBytes) {
    const std::string request =
        "GET /setup/ch_set.htm HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
    Exchange(sim.Port(), request);
    const std::string post = simtest::PostRequest("/nowhere?x=1", "a=1&b=2\r\n");
    Exchange(sim.Port(), post);
    // Through a proxy the request line carries the whole URL.
    const std::string proxied = GetRequest("http://127.0.0.1:1/program/b_prgrm.htm");
    Exchange(sim.Port(), proxied);
    const auto log = sim.Requests();
    ASSERT_EQ(log.size(), 3u);
    const auto fields = [](const recsim::LoggedRequest& r) {
        return std::tuple(r.method, r.target, r.rawHeader, r.body, r.status);
    };
    EXPECT_EQ(fields(log[0]), std::tuple("GET", "/setup/ch_set.htm", request, "", 200));
    EXPECT_EQ(fields(log[1]), std::tuple("POST", "/nowhere?x=1", post.substr(0, post.size() - 9),
                                         "a=1&b=2\r\n", 404));
    EXPECT_EQ(fields(log[2]), std::tuple("GET", "/program/b_prgrm.htm", proxied, "", 200));
    sim.ClearRequests();
    EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(ServerTest, MalformedRequestsAnswered) {
    const std::pair<std::string, int> cases[] = {{"garbage\r\n\r\n", 400},
                                                 {"GET nopath HTTP/1.0\r\n\r\n", 400},
                                                 {"DELETE / HTTP/1.0\r\n\r\n", 501},
                                                 {GetRequest("/nothing.htm"), 404}};
    for (const auto& [request, status] : cases)
        EXPECT_EQ(Exchange(sim.Port(), request).Status(), status) << request;
    const auto head = Exchange(sim.Port(), "HEAD /setup/setup.htm HTTP/1.0\r\n\r\n");
    EXPECT_EQ(head.Status(), 200);
    EXPECT_EQ(head.Body(), "");
}

TEST(AuthTest, BasicAuthenticationWhenUserAndPasswordSet) {
    recsim::Options o;
    o.user = "admin";
    o.password = "pa:ss";
    recsim::RecorderSim sim{o};
    sim.Start();
    const auto none = Exchange(sim.Port(), GetRequest("/program/b_prgrm.htm"));
    EXPECT_EQ(none.Status(), 401);
    EXPECT_NE(none.Header().find("WWW-Authenticate: Basic realm=\"RD-X4\"\r\n"), std::string::npos);
    // "admin:pa:ss" and "admin:wrong" in Base64.
    const std::pair<std::string, int> cases[] = {{"Authorization: Basic YWRtaW46cGE6c3M=\r\n", 200},
                                                 {"authorization: basic YWRtaW46cGE6c3M=\r\n", 200},
                                                 {"Authorization: Basic YWRtaW46d3Jvbmc=\r\n", 401},
                                                 {"Authorization: Basic !!!\r\n", 401}};
    for (const auto& [header, status] : cases)
        EXPECT_EQ(Exchange(sim.Port(), GetRequest("/program/b_prgrm.htm", header)).Status(), status)
            << header;
}

TEST_F(ServerTest, ErrorStatusForATarget) {
    const std::string setup = "/setup/setup.htm";
    const auto statuses = [this](const std::string& target, int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) out.push_back(simtest::GetStatus(sim.Port(), target));
        return out;
    };
    sim.SetErrorStatus(setup, 503);
    EXPECT_EQ(statuses(setup, 2), (std::vector<int>{503, 503}));
    EXPECT_EQ(statuses("/setup/ch_set.htm", 1), std::vector<int>{200});
    sim.SetErrorStatus(setup, 0);
    EXPECT_EQ(statuses(setup, 1), std::vector<int>{200});
    // Limited to a number of requests, then answered normally again.
    sim.SetErrorStatus(setup, 500, 2);
    EXPECT_EQ(statuses(setup, 3), (std::vector<int>{500, 500, 200}));
    sim.SetErrorStatus("*", 404);
    EXPECT_EQ(statuses("/program/b_prgrm.htm", 1), std::vector<int>{404});
    // The selector answered with an error selects nothing.
    const std::string selector = "/program/" + sim.Segment() + "/b_proginfo.htm?2";
    sim.SetErrorStatus(selector, 500);
    EXPECT_EQ(statuses(selector, 1), std::vector<int>{500});
    EXPECT_EQ(sim.Selected(), -1);
}

TEST_F(ServerTest, DroppedResetAndCutAnswers) {
    sim.SetDropConnection("/setup/setup.htm", true);
    const auto dropped = Exchange(sim.Port(), GetRequest("/setup/setup.htm"));
    EXPECT_TRUE(dropped.connected);
    EXPECT_FALSE(dropped.timedOut);
    EXPECT_EQ(dropped.bytes, "");
    EXPECT_EQ(sim.Requests().back().status, 0);
    sim.SetDropConnection("/setup/setup.htm", false);
    EXPECT_EQ(simtest::GetStatus(sim.Port(), "/setup/setup.htm"), 200);

    sim.SetFault("/setup/setup.htm", recsim::Fault::Reset);
    const auto reset = Exchange(sim.Port(), GetRequest("/setup/setup.htm"));
    EXPECT_EQ(reset.bytes, "");
    EXPECT_TRUE(reset.reset);

    sim.SetFault("/setup/ch_set.htm", recsim::Fault::CutBody);
    const auto cut = Exchange(sim.Port(), GetRequest("/setup/ch_set.htm"));
    EXPECT_EQ(cut.Status(), 200);
    const size_t announced =
        std::stoul(cut.Header().substr(cut.Header().find("Content-Length: ") + 16));
    EXPECT_EQ(cut.Body().size(), announced / 2);
}

TEST_F(ServerTest, HangingRequestDoesNotBlockOthersOrStop) {
    sim.SetFault("/setup/setup.htm", recsim::Fault::Hang);
    std::thread hung([this] {
        const auto a = Exchange(sim.Port(), GetRequest("/setup/setup.htm"), 400);
        EXPECT_TRUE(a.timedOut);
        EXPECT_EQ(a.bytes, "");
    });
    const auto start = Clock::now();
    EXPECT_EQ(simtest::GetStatus(sim.Port(), "/setup/ch_set.htm"), 200);
    EXPECT_LT(MillisSince(start), 300);
    hung.join();
    // Another one left hanging: Stop must still end promptly.
    const size_t before = sim.Requests().size();
    std::thread late([this] { Exchange(sim.Port(), GetRequest("/setup/setup.htm"), 3000); });
    // Stopped only once the request is in and hanging.
    const auto bound = Clock::now() + std::chrono::seconds(2);
    while (sim.Requests().size() == before && Clock::now() < bound)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GT(sim.Requests().size(), before);
    const auto stopStart = Clock::now();
    sim.Stop();
    EXPECT_LT(MillisSince(stopStart), 1000);
    late.join();
}

TEST_F(ServerTest, SlowBodyAndLatency) {
    const std::string fast = Exchange(sim.Port(), GetRequest("/setup/ch_set.htm")).Body();
    ASSERT_GT(fast.size(), 1000u);
    sim.SetSlowBody(int(fast.size()) * 2);  // about half a second
    auto start = Clock::now();
    const auto slow = Exchange(sim.Port(), GetRequest("/setup/ch_set.htm"));
    EXPECT_GE(MillisSince(start), 350);
    EXPECT_EQ(slow.Body(), fast);
    sim.SetSlowBody(0);
    sim.SetLatency(300);
    start = Clock::now();
    EXPECT_EQ(simtest::GetStatus(sim.Port(), "/setup/ch_set.htm"), 200);
    EXPECT_GE(MillisSince(start), 300);
    sim.SetLatency(0);
    start = Clock::now();
    EXPECT_EQ(simtest::GetStatus(sim.Port(), "/setup/ch_set.htm"), 200);
    EXPECT_LT(MillisSince(start), 300);
}

TEST_F(ServerTest, SilentClientDroppedAfterTheReadTimeOut) {
    recsim::Options o;
    o.readTimeoutMs = 200;
    recsim::RecorderSim quick{o};
    quick.Start();
    const auto start = Clock::now();
    const auto a = Exchange(quick.Port(), "GET /setup/setup.htm HTTP/1.0\r\n", 3000);
    EXPECT_FALSE(a.timedOut);
    EXPECT_EQ(a.bytes, "");
    EXPECT_LT(MillisSince(start), 2000);
}

TEST(LifecycleTest, StopIsIdempotentAndThePortCanBeReused) {
    recsim::RecorderSim first{recsim::Options{}};
    first.Start();
    const int port = first.Port();
    EXPECT_GT(port, 0);
    first.Stop();
    first.Stop();
    recsim::Options o;
    o.port = port;
    recsim::RecorderSim second{o};
    second.Start();
    EXPECT_EQ(second.Port(), port);
    EXPECT_EQ(simtest::GetStatus(port, "/program/b_prgrm.htm"), 200);
    recsim::RecorderSim clash{o};
    EXPECT_THROW(clash.Start(), std::runtime_error);
}

// The command line: the first line names the port, requests are answered, the state file is
// written, and both requests to end (a Ctrl-C, and the system's at a shutdown) end it
// cleanly.
TEST(CommandLineTest, ServesUntilTerminated) {
    using testsupport::ChildProcess;
    for (bool (ChildProcess::*end)() : {&ChildProcess::Terminate, &ChildProcess::Interrupt}) {
        const testsupport::TempDir dir;
        const std::string state = dir.File("state.txt");
        ChildProcess sim({RECORDER_SIM_EXE,
                          {"--mode", "x4ex", "--seed", "5", "--count", "3", "--first-date",
                           "20261201", "--state", state, "--quiet"}});
        ASSERT_TRUE(sim.WaitForOutput("\n", std::chrono::seconds(5))) << sim.Out();
        int port = 0;
        ASSERT_EQ(std::sscanf(sim.Out().c_str(), "listening on 127.0.0.1:%d", &port), 1)
            << sim.Out();
        const std::string page = simtest::Fetch(port, "/program//program.htm");
        EXPECT_NE(page.find("b_proginfo.htm?3\""), std::string::npos);
        // Wine delivers no console Ctrl-Break to another process (Windows does, to a child
        // of the same console); there the request cannot be sent, and it is said so.
        if (!(sim.*end)()) GTEST_SKIP() << "this system sends no Ctrl-C to another process";
        const testsupport::ProcessResult result = sim.Wait();
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<recsim::Reservation> stored;
        ASSERT_TRUE(recsim::LoadStateFile(state, stored));
        EXPECT_EQ(stored, recsim::SampleReservations(3, 5));
    }
}

TEST(CommandLineTest, BadArgumentsExitWithUsage) {
    for (const std::string args : {"--port 1", "--mode x5", "--mode x4 --port x",
                                   "--mode x4 --user u", "--mode x4 --bogus"}) {
        const testsupport::ProcessResult result =
            testsupport::RunProcess({RECORDER_SIM_EXE, testsupport::Words(args)});
        EXPECT_TRUE(result.started) << args;
        EXPECT_EQ(result.status, 2) << args;
    }
}
