// The restore's plan end to end: a capture from the simulated RD-X4, then a restore into a
// simulated RD-X4EX that already holds reservations. Exactly the planned reservations are
// posted; a dry run posts nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConsoleTransfer.h"
#include "EntryForm.h"
#include "PlanSample.h"
#include "RecorderSim.h"
#include "RecordingView.h"
#include "RestorePlan.h"
#include "RestoreReport.h"
#include "SavedSet.h"
#include "SysFile.h"
#include "SysText.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace {

using std::chrono::days;
using std::chrono::sys_days;

// A view that also keeps every plan it is shown.
struct PlanView : RecordingView {
    std::vector<std::vector<int>> Sent;
    std::vector<bool> DryRuns;
    void ShowPlan(const RestorePlan& plan, bool dryRun) override {
        Sent.push_back(plan.ToSend());
        DryRuns.push_back(dryRun);
    }
};

class PlannedRestore : public testing::Test {
  protected:
    PlannedRestore() {
        ctx.SetProgramDir(dir);
        ctx.HttpClient1.TimeOut = 2000;
    }
    ~PlannedRestore() override { Sys::RemoveTree(dir); }

    // A recorder whose date list starts two days ago, so that one saved date has gone by.
    recsim::RecorderSim& Start(recsim::Mode mode, std::vector<recsim::Reservation> stored) {
        recsim::Options options;
        options.mode = mode;
        options.firstDate = PlanFirstDate(today);
        options.readTimeoutMs = 2000;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        sims.back()->SetReservations(std::move(stored));
        sims.back()->Start();
        ctx.Settings.Host = "127.0.0.1:" + std::to_string(sims.back()->Port());
        return *sims.back();
    }

    // The six of PlanSample, captured into dir.
    std::vector<recsim::Reservation> Capture() {
        const std::vector<recsim::Reservation> six = PlanSample(today);
        Start(recsim::Mode::X4, six);
        RecordingView captured;
        frame.RunCapture(captured);
        EXPECT_EQ(captured.Messages(),
                  (std::vector<RecordingView::Message>{
                      {MessageKind::Information, Texts::CaptureDoneMessage(6)}}));
        EXPECT_EQ(SavedSet::CaptureDay(dir), today);
        return six;
    }

    const sys_days today = LocalToday();
    const std::string dir = Sys::MakeTempFolder("zavo-plan-e2e-");
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    TransferSession ctx;
    TransferFrame frame{ctx};
};

struct ConsoleRun {
    int Status = -1;
    std::string Out, Err;
};

std::string ReadBack(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
}

// The command line in this process, its two streams caught.
ConsoleRun RunCommand(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"zavoconv"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ConsoleRun run;
    run.Status = RunWithoutWindow(ParseCommandLine(argv), out, err);
    run.Out = ReadBack(out);
    run.Err = ReadBack(err);
    return run;
}

std::vector<recsim::LoggedRequest> Posts(const recsim::RecorderSim& sim) {
    std::vector<recsim::LoggedRequest> posts;
    for (const recsim::LoggedRequest& r : sim.Requests())
        if (r.method == "POST") posts.push_back(r);
    return posts;
}

// The RD-X4EX holds 29: of the five that have not gone by, the first three fit. Those three
// are posted, in number order, and nothing else; the question and the report name the others.
TEST_F(PlannedRestore, PostsExactlyThePlannedReservations) {
    const std::vector<recsim::Reservation> six = Capture();
    recsim::RecorderSim& x4ex =
        Start(recsim::Mode::X4EX, recsim::SampleReservations(29, 8, PlanFirstDate(today)));
    PlanView view;
    view.Answers = {true};
    frame.RunRestore(view, RestoreChoice());

    EXPECT_EQ(view.Sent, (std::vector<std::vector<int>>{{0, 2, 3}}));
    EXPECT_EQ(view.DryRuns, std::vector<bool>{false});
    const std::string noRoom =
        Texts::kAskNoRoom + ("5" + std::string(Texts::kListSeparator)) + "6" + Texts::kLfCr;
    EXPECT_EQ(view.Questions(), std::vector<std::string>{RepeatQuestion(29, noRoom)});
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    ASSERT_EQ(posts.size(), 3u);
    const int sent[] = {0, 2, 3};
    for (size_t k = 0; k < 3; ++k) {
        const std::string page = dir + Texts::ReservationPageFile(sent[k]);
        EXPECT_EQ(posts[k].body, BuildEntryFormBody(page) + "\r\n") << sent[k];
    }
    const std::vector<recsim::Reservation> held = x4ex.Reservations();
    ASSERT_EQ(held.size(), 32u);
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(held[29 + k], six[static_cast<size_t>(sent[k])]);
    // The overlap is sent as planned; the recorder says so in its answer.
    ASSERT_EQ(view.Messages().size(), 1u);
    const std::string report = view.Messages()[0].Text;
    EXPECT_NE(report.find(std::string("03") + Texts::kReportSeparator), std::string::npos);
    const std::string closing = std::string(Texts::kLeftOutPast) + "01" + Texts::kLfCr +
                                Texts::kLeftOutNoRoom + "04" + Texts::kListSeparator + "05" +
                                Texts::kLfCr + CheckLine(29, 3, 32);
    ASSERT_GE(report.size(), closing.size());
    EXPECT_EQ(report.substr(report.size() - closing.size()), closing);
}

// --dry-run reads the RD-X4EX's list once, prints the plan and ends with 0: nothing is posted
// and the post-data file is not written. `list` shows the same notes beside the numbers.
TEST_F(PlannedRestore, DryRunPostsNothing) {
    Capture();
    recsim::RecorderSim& x4ex =
        Start(recsim::Mode::X4EX, recsim::SampleReservations(29, 8, PlanFirstDate(today)));
    const ConsoleRun run =
        RunCommand({"restore", "--dry-run", "--data-dir", dir, "--host", ctx.Settings.Host});
    EXPECT_EQ(run.Status, kExitOk) << run.Err;
    std::vector<std::string> targets;
    for (const recsim::LoggedRequest& r : x4ex.Requests())
        targets.push_back(r.method + " " + r.target);
    EXPECT_EQ(targets, std::vector<std::string>{"GET /program//program.htm"});
    EXPECT_EQ(x4ex.Reservations().size(), 29u);
    EXPECT_FALSE(Sys::Exists(dir + Texts::kPostDataFile));
    const RestorePlan plan =
        MakeRestorePlan(ReadReservationTable(dir), SavedSetFacts(dir, 29), PlanChoice());
    EXPECT_EQ(plan.ToSend(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(run.Out, Sys::SjisToUtf8(PlanText(plan)));

    const ConsoleRun list = RunCommand({"list", "--data-dir", dir});
    EXPECT_EQ(list.Status, kExitOk);
    for (const char* line : {"\n1           ", "\n2     過去  ", "\n4     重複(1)  "})
        EXPECT_NE(list.Out.find(line), std::string::npos) << line << list.Out;
    EXPECT_EQ(RunCommand({"list", "--dry-run"}).Status, kExitUsage);
}

}  // namespace
