#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "E2eFixture.h"
#include "EntryForm.h"
#include "RestoreReport.h"
#include "SysFile.h"
#include "SysUtils.h"
#include "TextSearch.h"

namespace e2e {
namespace {

class Restore : public TransferTest {
  protected:
    // Captures these reservations from an RD-X4 into the program directory, then points the
    // settings at a fresh RD-X4EX holding `stored` and returns it.
    recsim::RecorderSim& CaptureThenStartX4ex(const std::vector<recsim::Reservation>& captured,
                                              std::vector<recsim::Reservation> stored = {}) {
        StartRecorder(Mode::X4, captured);
        RecordingView captureView;
        frame.RunCapture(captureView);
        EXPECT_EQ(captureView.Messages(), Done(static_cast<int>(captured.size())));
        return StartRecorder(Mode::X4EX, std::move(stored));
    }
};

// A capture that a crash cut short after its commit marker: its pages still lie in the staging
// folder. The restore finishes the capture first and enters its reservations.
TEST_F(Restore, FinishesACaptureThatACrashCutShortFirst) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(3, 4);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    const std::string staging = dir.Path() + Texts::kStagingFolder + "/";
    std::filesystem::create_directory(staging);
    std::string marker;
    for (const std::string& name : dir.Names()) {
        if (name.rfind("ZAVOCV", 0) != 0 || name.size() != 12) continue;
        std::filesystem::rename(Saved(name), staging + name);
        marker += name + "\n";
    }
    WriteBytes(staging + "COMMIT", marker + "END\n");
    frame.RunRestore(view);
    EXPECT_EQ(x4ex.Reservations(), original);
    EXPECT_FALSE(std::filesystem::exists(staging));
    EXPECT_TRUE(std::filesystem::exists(SavedReservation(2)));
}

// Only the saved pages that are there, and of those the ticked ones when some are, are
// entered, in number order, each on its report line before the check.
TEST_F(Restore, OnlyThePagesThereAndTickedAreEnteredInNumberOrder) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(6, 9);
    CaptureThenStartX4ex(original);
    const struct {
        const char* name;
        std::optional<std::set<int>> ticked;
        std::vector<int> entered;
    } cases[] = {{"TickedThreeOneAndSeven", std::set<int>{3, 1, 7}, {1, 3}},
                 {"PagesTwoToFourGone", std::nullopt, {0, 1, 5}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.ticked)
            for (int i : {2, 3, 4}) std::filesystem::remove(SavedReservation(i));
        recsim::RecorderSim& x4ex = StartRecorder(Mode::X4EX);
        RecordingView v;
        frame.RunRestore(v, c.ticked);
        const int n = static_cast<int>(c.entered.size());
        const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
        ASSERT_EQ(posts.size(), c.entered.size());
        ASSERT_EQ(x4ex.Reservations().size(), c.entered.size());
        ASSERT_EQ(v.Messages().size(), 1u);
        const std::vector<std::string> lines = Lines(v.Messages()[0].Text);
        ASSERT_EQ(lines.size(), c.entered.size() + 2);
        std::vector<std::pair<int, int>> progress = {{0, n}};
        for (int k = 0; k < n; ++k) {
            EXPECT_EQ(x4ex.Reservations()[k], original[c.entered[k]]);
            EXPECT_EQ(posts[k].body, BuildEntryFormBody(SavedReservation(c.entered[k])) + "\r\n");
            EXPECT_EQ(lines[k].rfind(ReportPrefix(c.entered[k]), 0), 0u);
            progress.emplace_back(k + 1, n);
        }
        EXPECT_EQ(lines[n] + Texts::kLfCr, CheckLine(0, n, n));
        EXPECT_EQ(lines[n + 1], "");
        EXPECT_EQ(v.Progress, progress);
    }
}

// The list read first decides: the 31st slot is still entered, a full recorder takes
// nothing, and a list whose last link has three digits ends the restore silently.
TEST_F(Restore, ListOfAHoldingRecorderDecidesBeforeEntering) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(1, 2);
    for (int stored : {31, 32, 101}) {
        SCOPED_TRACE(stored);
        recsim::RecorderSim& x4ex =
            CaptureThenStartX4ex(original, recsim::SampleReservations(stored, 3));
        RecordingView v;
        v.Answers = {true};
        frame.RunRestore(v);
        ExpectFramed(v);
        if (stored == 31) {
            ASSERT_EQ(v.Messages().size(), 1u);
            EXPECT_EQ(v.Messages()[0].Box, MessageKind::Information);
            ASSERT_EQ(x4ex.Reservations().size(), 32u);
            EXPECT_EQ(x4ex.Reservations().back(), original[0]);
        } else if (stored == 32) {
            EXPECT_EQ(v.Questions(), std::vector<std::string>{RepeatQuestion(32)});
            EXPECT_EQ(v.Messages(), Error(Texts::kRestoreFull));
            EXPECT_EQ(Targets(x4ex), std::vector<std::string>(2, "GET /program//program.htm"));
            EXPECT_EQ(x4ex.Reservations().size(), 32u);
        } else {
            EXPECT_TRUE(v.Messages().empty());
            EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
        }
    }
}

// An entry the recorder keeps failing ends the restore with the entry failure box after its
// 21 tries; a refused one ends it at once with one box.
TEST_F(Restore, FailedEntryEndsTheRestore) {
    for (int status : {500, 403}) {
        SCOPED_TRACE(status);
        recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(2, 2));
        x4ex.SetErrorStatus(Seg(x4ex) + "/entry.htm", status);
        RecordingView v;
        frame.RunRestore(v);
        Messages expected(21, {MessageKind::Error, Texts::kFailPost});
        expected.push_back({MessageKind::Confirmation, Texts::kRestoreEntryFailed});
        if (status == 403)
            expected = Error(Url(Seg(x4ex) + "/entry.htm") + Texts::kLfCr + Texts::kLoginRefused);
        EXPECT_EQ(v.Messages(), expected);
        EXPECT_EQ(Posts(x4ex).size(), status == 403 ? 1u : 21u);
        EXPECT_EQ(ctx.LoginRefused, status == 403);
        EXPECT_TRUE(x4ex.Reservations().empty());
        ExpectFramed(v);
    }
}

TEST_F(Restore, CommunicationFailureAtTheTenthFileShowsOnlyTheFailure) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(12, 8);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    const std::string listTarget = Seg(x4ex) + "/program.htm";
    int lists = 0;
    view.OnStatus = [&](const std::string& status) {
        if (status == Fetching(Url(listTarget)) && ++lists == 9)  // the first list has no segment
            x4ex.SetDropConnection(listTarget, true);
    };
    frame.RunRestore(view);

    EXPECT_EQ(view.Messages(), Error(Url(listTarget) + Texts::kLfCr + Texts::kRestoreCommFailed));
    EXPECT_EQ(x4ex.Reservations(),
              std::vector<recsim::Reservation>(original.begin(), original.begin() + 9));
    ExpectFramed(view);
}

TEST_F(Restore, BadProxyPortStopsBeforeAnyRequest) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(1, 2));
    ctx.Settings.Proxy = "127.0.0.1";
    ctx.Settings.ProxyPort = "";
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(), Error(ConvertErrorMessage("") + Texts::kLfCr));
    EXPECT_TRUE(x4ex.Requests().empty());
    ExpectFramed(view);
}

TEST_F(Restore, UnreadablePageNamesPathAndLastAddress) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(2, 2));
    std::filesystem::permissions(SavedReservation(1), std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::remove);
    std::string bytes;
    if (Sys::TryReadWholeFile(SavedReservation(1), bytes) == Sys::ReadStatus::Ok)
        GTEST_SKIP() << "the page stays readable (root, or no read right to take away here)";
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(), Error(FileOpenErrorMessage(SavedReservation(1)) + Texts::kLfCr +
                                     Url(Seg(x4ex) + "/entry.htm")));
    EXPECT_EQ(x4ex.Reservations().size(), 1u);
}

// A stop ends the restore once the answer on its way is in: the entries answered are
// reported, the rest named as not entered, and the list read afterwards shows exactly the
// entered ones. A stop on the box of a page that does not arrive leaves its reservation out.
TEST_F(Restore, StopEndsAfterTheCurrentAnswer) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(3, 14);
    CaptureThenStartX4ex(original);
    const struct {
        const char* name;
        int stopAt;  // pressed as the n-th entry is sent (0: as the list is first read)
        bool failingSelector,
            failingList;  // or on the first box of the second selector, of the list
        int entered;
    } cases[] = {
        {"WhileTheListIsFirstRead", 0, false, false, 0},
        {"WhileTheFirstEntryIsSent", 1, false, false, 1},
        {"WhileTheSecondEntryIsSent", 2, false, false, 2},
        {"WhileTheLastEntryIsSent", 3, false, false, 3},  // nothing is left to stop
        {"OnTheBoxOfTheSecondSelector", -1, true, false, 1},
        {"OnTheBoxOfTheFirstList", -1, false, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recsim::RecorderSim& x4ex = StartRecorder(Mode::X4EX);
        const std::string list0 = "/program//program.htm";
        const std::string selector = Seg(x4ex) + "/b_proginfo.htm?1";
        if (c.failingList) x4ex.SetErrorStatus(list0, 500);
        RecordingView v;
        int sent = 0;
        v.OnStatus = [&](const std::string& status) {
            if (c.failingSelector && status == Fetching(Url(selector)))
                x4ex.SetErrorStatus(selector, 500);
            if (status == Sending(Url(Seg(x4ex) + "/entry.htm"))) ++sent;
            if (sent == c.stopAt && (c.stopAt > 0 || status == Fetching(Url(list0)))) v.Stop = true;
        };
        v.OnMessage = [&](MessageKind kind, const std::string&) {
            if (kind == MessageKind::Error) v.Stop = true;
        };
        frame.RunRestore(v);

        EXPECT_EQ(x4ex.Reservations(),
                  std::vector<recsim::Reservation>(original.begin(), original.begin() + c.entered));
        EXPECT_EQ(Posts(x4ex).size(), static_cast<size_t>(c.entered));
        ExpectFramed(v);
        Messages boxes = v.Messages();
        if (c.stopAt < 0) {
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes[0], (RecordingView::Message{MessageKind::Error, Texts::kFailGet}));
            boxes.erase(boxes.begin());
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Box, MessageKind::Information);
        std::vector<int> left;
        for (int i = c.entered; i < 3; ++i) left.push_back(i);
        // A list that cannot be read gives no check line.
        const std::string tail = (left.empty() ? "" : StoppedLine(left)) +
                                 (c.failingList ? "" : CheckLine(0, c.entered, c.entered));
        std::string report = boxes[0].Text;
        for (int i = 0; i < c.entered; ++i) {
            EXPECT_EQ(report.rfind(ReportPrefix(i), 0), 0u) << report;
            report.erase(0, report.find(Texts::kLfCr) + 2);
        }
        EXPECT_EQ(report, tail);
        if (!c.failingList) continue;
        EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET " + list0});
    }
}

// The check compares the list afterwards with the list before plus what the recorder said
// it took: a recorder that loses an entry it answered is caught. The same report, with the
// time and the recorder, is kept in the file beside the program.
TEST_F(Restore, LastLineComparesTheCounts) {
    const struct {
        const char* name;
        int storedBefore, lost;
    } cases[] = {{"Empty", 0, 0}, {"Holding", 2, 0}, {"LosingOne", 0, 1}, {"LosingAll", 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Saved(Texts::kRestoreReportFile));
        recsim::RecorderSim& x4ex = CaptureThenStartX4ex(
            recsim::SampleReservations(3, 17), recsim::SampleReservations(c.storedBefore, 40));
        x4ex.SetLoseEntries(c.lost);
        RecordingView v;
        v.Answers = {true};
        frame.RunRestore(v);

        ASSERT_EQ(v.Messages().size(), 1u);
        const std::string report = v.Messages()[0].Text;
        const std::string check = CheckLine(c.storedBefore, 3, c.storedBefore + 3 - c.lost);
        EXPECT_NE(check.find(c.lost == 0 ? Texts::kCheckMatch : Texts::kCheckMismatch),
                  std::string::npos);
        ASSERT_GE(report.size(), check.size());
        EXPECT_EQ(report.substr(report.size() - check.size()), check);
        EXPECT_EQ(x4ex.Reservations().size(), static_cast<size_t>(c.storedBefore + 3 - c.lost));
        const std::string file = ReadBytes(Saved(Texts::kRestoreReportFile));
        const std::string title = " " + ctx.Settings.Host + " " + Texts::kReportBlockTitle + "\r\n";
        ASSERT_GT(file.size(), 19u);
        EXPECT_TRUE(std::regex_match(file.substr(0, 19),
                                     std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})")));
        EXPECT_EQ(file.substr(19), title + SjisReplaceAll(report, Texts::kLfCr, "\r\n") + "\r\n");
    }
}

// A second restore would enter every reservation again: the user is asked first, and only
// Yes goes on; its report is kept after the first one's in the report file.
TEST_F(Restore, RepeatedRestoreAsksBeforeEnteringAgain) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(2, 30));
    frame.RunRestore(view);
    EXPECT_TRUE(view.Questions().empty());
    const std::string first = ReadBytes(Saved(Texts::kRestoreReportFile));
    for (bool goOn : {false, true}) {
        SCOPED_TRACE(goOn ? "Yes" : "No");
        x4ex.ClearRequests();
        RecordingView again;
        again.Answers = {goOn};
        frame.RunRestore(again);
        EXPECT_EQ(again.Questions(), std::vector<std::string>{RepeatQuestion(2)});
        EXPECT_EQ(x4ex.Reservations().size(), goOn ? 4u : 2u);
        EXPECT_EQ(Posts(x4ex).size(), goOn ? 2u : 0u);
        ExpectFramed(again);
        if (!goOn) {
            // No: nothing after the first look at the list, and no box.
            EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
            EXPECT_TRUE(again.Messages().empty());
            EXPECT_EQ(ReadBytes(Saved(Texts::kRestoreReportFile)), first);
            continue;
        }
        ASSERT_EQ(again.Messages().size(), 1u);
        const std::string report = again.Messages()[0].Text;
        EXPECT_EQ(report.substr(report.size() - CheckLine(2, 2, 4).size()), CheckLine(2, 2, 4));
        const std::string both = ReadBytes(Saved(Texts::kRestoreReportFile));
        EXPECT_EQ(both.rfind(first, 0), 0u);
        EXPECT_GT(both.size(), first.size() + 19);
    }
}

}  // namespace
}  // namespace e2e
