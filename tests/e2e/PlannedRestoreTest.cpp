// The restore's plan against the simulator: into an RD-X4EX that already holds 29, exactly the
// planned reservations are posted; a dry run reads the list once and posts nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "E2eFixture.h"
#include "EntryForm.h"
#include "RestorePlan.h"
#include "RestoreReport.h"
#include "SavedSet.h"

namespace e2e {
namespace {

// "YYYYMMDD", as the simulator's date list writes its values.
std::string SimDate(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

// Six reservations: tomorrow 20:00-21:00; two days ago (gone by); Monday to Friday; tomorrow
// 20:30-22:30 (overlapping the first); daily 03:00; Saturdays 06:00. The recorders' date lists
// start two days ago.
std::vector<recsim::Reservation> PlanSample(std::chrono::sys_days today) {
    const std::string tomorrow = SimDate(today + std::chrono::days{1});
    const std::string first = SimDate(today - std::chrono::days{2});
    std::vector<recsim::Reservation> six = recsim::SampleReservations(6, 5, first);
    const char* const times[] = {"20:00-21:00", "20:00-21:00", "08:00-08:45",
                                 "20:30-22:30", "03:00-04:00", "06:00-07:00"};
    const std::string dates[] = {tomorrow, first, "MF", tomorrow, "D", "W6"};
    for (size_t i = 0; i < six.size(); ++i) {
        const std::string t = times[i];
        six[i].date = dates[i];
        six[i].start_hour = t.substr(0, 2);
        six[i].start_minute = t.substr(3, 2);
        six[i].end_hour = t.substr(6, 2);
        six[i].end_minute = t.substr(9, 2);
    }
    return six;
}

// Also keeps what each plan sends and whether it was a dry run.
struct PlanView : RecordingView {
    std::vector<std::pair<std::vector<int>, bool>> Plans;
    void ShowPlan(const RestorePlan& plan, bool dryRun) override {
        Plans.emplace_back(plan.ToSend(), dryRun);
    }
};

class PlannedRestore : public TransferTest {
  protected:
    // PlanSample captured; then an RD-X4EX holding 29: of the five not gone by, three fit.
    recsim::RecorderSim& CaptureThenStartX4ex() {
        // A set captured before the program kept its time has none.
        EXPECT_EQ(SavedSet::CaptureDay(dir.Path()), std::nullopt);
        firstDate = SimDate(today - std::chrono::days{2});
        StartRecorder(Mode::X4, six);
        RecordingView captured;
        frame.RunCapture(captured);
        EXPECT_EQ(captured.Messages(), Done(6));
        EXPECT_EQ(SavedSet::CaptureDay(dir.Path()), today);
        return StartRecorder(Mode::X4EX, recsim::SampleReservations(29, 8, firstDate));
    }
    const std::chrono::sys_days today = LocalToday();
    const std::vector<recsim::Reservation> six = PlanSample(today);
};

TEST_F(PlannedRestore, PostsExactlyThePlannedReservations) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex();
    PlanView v;
    v.Answers = {true};
    frame.RunRestore(v, RestoreChoice());

    const std::vector<int> sent = {0, 2, 3};
    EXPECT_EQ(v.Plans, (std::vector<std::pair<std::vector<int>, bool>>{{sent, false}}));
    const std::string noRoom =
        Texts::kAskNoRoom + ("5" + std::string(Texts::kListSeparator)) + "6" + Texts::kLfCr;
    EXPECT_EQ(v.Questions(), std::vector<std::string>{RepeatQuestion(29, noRoom)});
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    const std::vector<recsim::Reservation> held = x4ex.Reservations();
    ASSERT_EQ(posts.size(), sent.size());
    ASSERT_EQ(held.size(), 32u);
    for (size_t k = 0; k < sent.size(); ++k) {
        EXPECT_EQ(posts[k].body, BuildEntryFormBody(SavedReservation(sent[k])) + "\r\n");
        EXPECT_EQ(held[29 + k], six[static_cast<size_t>(sent[k])]);
    }
    // The report names what was left out and why, before the count's check.
    ASSERT_EQ(v.Messages().size(), 1u);
    const std::vector<std::string> lines = Lines(v.Messages()[0].Text);
    ASSERT_EQ(lines.size(), 3u + 3 + 1);
    EXPECT_EQ(lines[3], Texts::kLeftOutPast + std::string("01"));
    EXPECT_EQ(lines[4], Texts::kLeftOutNoRoom + ("04" + std::string(Texts::kListSeparator)) + "05");
    EXPECT_EQ(lines[5] + Texts::kLfCr, CheckLine(29, 3, 32));
}

TEST_F(PlannedRestore, DryRunReadsTheListOnceAndPostsNothing) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex();
    PlanView v;
    RestoreChoice dry;
    dry.DryRun = true;
    frame.RunRestore(v, dry);
    EXPECT_EQ(v.Plans, (std::vector<std::pair<std::vector<int>, bool>>{{{0, 2, 3}, true}}));
    EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
    EXPECT_TRUE(v.Questions().empty());
    EXPECT_TRUE(v.Messages().empty());
    EXPECT_FALSE(std::filesystem::exists(Saved(Texts::kPostDataFile)));
    EXPECT_EQ(x4ex.Reservations().size(), 29u);
}

}  // namespace
}  // namespace e2e
