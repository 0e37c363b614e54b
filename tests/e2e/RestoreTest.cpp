#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "E2eFixture.h"
#include "EntryForm.h"
#include "RestoreReport.h"
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

    static std::vector<recsim::LoggedRequest> Posts(const recsim::RecorderSim& sim) {
        std::vector<recsim::LoggedRequest> out;
        for (const recsim::LoggedRequest& r : sim.Requests())
            if (r.method == "POST") out.push_back(r);
        return out;
    }

    // The report line of one entered reservation, whatever the recorder answered.
    static std::string ReportPrefix(int number) {
        return std::string(number < 10 ? "0" : "") + std::to_string(number) +
               Texts::kReportSeparator;
    }

    // The lines of a report without their LF CR; the last is what follows the last LF CR.
    static std::vector<std::string> Lines(const std::string& report) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = report.find(Texts::kLfCr, start)) != std::string::npos;
             start = end + 2)
            lines.push_back(report.substr(start, end - start));
        lines.push_back(report.substr(start));
        return lines;
    }
};

class RestoreRoundTrip : public Restore, public testing::WithParamInterface<int> {};

TEST_P(RestoreRoundTrip, EveryCapturedReservationArrivesIntact) {
    const int count = GetParam();
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(count, 21);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(), original);
    ExpectFramed(view);
    // The first list is read before any segment is known; the list is read once more before
    // the first entry and after each, to count the reservations. Each post carries the entry
    // form body of its saved page and a CR LF.
    const std::string list0 = Url("/program//program.htm");
    const std::string list = Url(Seg(x4ex) + "/program.htm");
    const std::string entry = Url(Seg(x4ex) + "/entry.htm");
    std::vector<std::string> targets(2, "GET /program//program.htm");
    std::vector<std::string> statuses = {Fetching(list0), Parsing(list0), Fetching(list0),
                                         Parsing(list0)};
    std::vector<std::pair<int, int>> progress = {{0, count}};
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    ASSERT_EQ(posts.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string selector = Seg(x4ex) + "/b_proginfo.htm?" + std::to_string(i);
        targets.insert(targets.end(),
                       {"GET /program/b_prgrm.htm", "GET " + selector,
                        "POST " + Seg(x4ex) + "/entry.htm", "GET " + Seg(x4ex) + "/program.htm"});
        statuses.insert(statuses.end(),
                        {Fetching(Url("/program/b_prgrm.htm")),
                         Parsing(Url("/program/b_prgrm.htm")), Fetching(Url(selector)),
                         Sending(entry), Parsing(entry), Fetching(list), Parsing(list)});
        progress.emplace_back(i + 1, count);
        const std::string body = BuildEntryFormBody(SavedReservation(i)) + "\r\n";
        EXPECT_EQ(posts[i].body, body);
        EXPECT_NE(
            posts[i].rawHeader.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
    }
    statuses.push_back("");
    EXPECT_EQ(Targets(x4ex), targets);
    EXPECT_EQ(view.Statuses(), statuses);
    EXPECT_EQ(view.Progress, progress);
    EXPECT_EQ(ReadBytes(ctx.PostDataPath), posts.back().body);

    // One line per reservation: number, separator, answer, LF CR; then the check.
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].Box, MessageKind::Information);
    const std::vector<std::string> lines = Lines(view.Messages()[0].Text);
    ASSERT_EQ(lines.size(), static_cast<size_t>(count + 2));
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(lines[i].rfind(ReportPrefix(i), 0), 0u) << lines[i];
        const std::string answer = lines[i].substr(ReportPrefix(i).size());
        EXPECT_FALSE(answer.empty());
        EXPECT_EQ(answer.find("\\r\\n"), std::string::npos);
    }
    EXPECT_EQ(lines[count] + Texts::kLfCr, CheckLine(0, count, count));
    EXPECT_EQ(lines[count + 1], "");
}

// 32 fills both recorders: the RD-X4's list then has no new-reservation link.
INSTANTIATE_TEST_SUITE_P(Reservations, RestoreRoundTrip, testing::Values(1, 6, 32));

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
    EXPECT_TRUE(Exists(SavedReservation(2)));
}

TEST_F(Restore, PagesZeroOneAndFiveGiveThreeReportLines) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(6, 9);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    for (int i : {2, 3, 4}) std::filesystem::remove(SavedReservation(i));
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(),
              (std::vector<recsim::Reservation>{original[0], original[1], original[5]}));
    ASSERT_EQ(view.Messages().size(), 1u);
    const std::vector<std::string> lines = Lines(view.Messages()[0].Text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind(ReportPrefix(0), 0), 0u);
    EXPECT_EQ(lines[1].rfind(ReportPrefix(1), 0), 0u);
    EXPECT_EQ(lines[2].rfind(ReportPrefix(5), 0), 0u);
    EXPECT_EQ(lines[3] + Texts::kLfCr, CheckLine(0, 3, 3));
    EXPECT_EQ(lines[4], "");
}

TEST_F(Restore, NoSavedPageSendsNothingAndShowsAnEmptyReport) {
    recsim::RecorderSim& x4ex = StartRecorder(Mode::X4EX);
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(), (Messages{{MessageKind::Information, ""}}));
    EXPECT_TRUE(x4ex.Requests().empty());
    ExpectFramed(view);
}

TEST_F(Restore, FullRecorderStopsBeforeEntering) {
    recsim::RecorderSim& x4ex =
        CaptureThenStartX4ex(recsim::SampleReservations(1, 2), recsim::SampleReservations(32, 3));
    view.Answers = {true};
    frame.RunRestore(view);
    EXPECT_EQ(view.Questions(), std::vector<std::string>{RepeatQuestion(32)});
    EXPECT_EQ(view.Messages(), Error(Texts::kRestoreFull));
    EXPECT_EQ(Targets(x4ex), std::vector<std::string>(2, "GET /program//program.htm"));
    EXPECT_EQ(x4ex.Reservations().size(), 32u);
    ExpectFramed(view);
}

TEST_F(Restore, ThirtyFirstSlotIsStillEntered) {
    const std::vector<recsim::Reservation> stored = recsim::SampleReservations(31, 3);
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(1, 2);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original, stored);
    view.Answers = {true};
    frame.RunRestore(view);
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].Box, MessageKind::Information);
    ASSERT_EQ(x4ex.Reservations().size(), 32u);
    EXPECT_EQ(x4ex.Reservations().back(), original[0]);
}

TEST_F(Restore, ThreeDigitLinkEndsSilentlyWithoutReport) {
    recsim::RecorderSim& x4ex =
        CaptureThenStartX4ex(recsim::SampleReservations(1, 2), recsim::SampleReservations(101, 3));
    frame.RunRestore(view);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
    ExpectFramed(view);
}

TEST_F(Restore, FailedPostEndsWithTheEntryFailureBox) {
    CaptureThenStartX4ex(recsim::SampleReservations(2, 2));
    recsim::RecorderSim& x4ex = *sims.back();
    x4ex.SetErrorStatus(Seg(x4ex) + "/entry.htm", 500);
    frame.RunRestore(view);

    Messages expected(21, {MessageKind::Error, Texts::kFailPost});
    expected.push_back({MessageKind::Confirmation, Texts::kRestoreEntryFailed});
    EXPECT_EQ(view.Messages(), expected);
    EXPECT_EQ(Posts(x4ex).size(), 21u);
    EXPECT_TRUE(x4ex.Reservations().empty());
    ExpectFramed(view);
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
    if (access(SavedReservation(1).c_str(), R_OK) == 0)
        GTEST_SKIP() << "running with rights to read anyway";
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(), Error(FileOpenErrorMessage(SavedReservation(1)) + Texts::kLfCr +
                                     Url(Seg(x4ex) + "/entry.htm")));
    EXPECT_EQ(x4ex.Reservations().size(), 1u);
}

// Stop pressed while the n-th entry is sent (0: while the list is first read): that entry
// is answered and reported, the rest are named as not entered, and the list read afterwards
// shows exactly the entered ones.
class RestoreStopped : public Restore, public testing::WithParamInterface<int> {};

TEST_P(RestoreStopped, EndsAfterTheCurrentAnswer) {
    const int stopAt = GetParam();
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(3, 14);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    const std::string entry = Url(Seg(x4ex) + "/entry.htm");
    int sent = 0;
    view.OnStatus = [&](const std::string& status) {
        if (status == Sending(entry)) ++sent;
        if (sent == stopAt && (stopAt > 0 || status == Fetching(Url("/program//program.htm"))))
            view.Stop = true;
    };
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(),
              std::vector<recsim::Reservation>(original.begin(), original.begin() + stopAt));
    EXPECT_EQ(Posts(x4ex).size(), static_cast<size_t>(stopAt));
    ASSERT_EQ(view.Messages().size(), 1u);
    std::string report = view.Messages()[0].Text;
    std::vector<int> left;
    for (int i = stopAt; i < 3; ++i) left.push_back(i);
    const std::string tail = (left.empty() ? "" : StoppedLine(left)) + CheckLine(0, stopAt, stopAt);
    for (int i = 0; i < stopAt; ++i) {
        EXPECT_EQ(report.rfind(ReportPrefix(i), 0), 0u) << report;
        report.erase(0, report.find(Texts::kLfCr) + 2);
    }
    EXPECT_EQ(report, tail);
    ExpectFramed(view);
}

// 3: pressed during the last entry, after which nothing is left to stop.
INSTANTIATE_TEST_SUITE_P(Stages, RestoreStopped, testing::Values(0, 1, 2, 3));

TEST_F(Restore, StopDuringTheRetriesOfAPageLeavesThatReservationOut) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(2, 15);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    const std::string selector = Seg(x4ex) + "/b_proginfo.htm?1";
    view.OnStatus = [&](const std::string& status) {
        if (status == Fetching(Url(selector))) x4ex.SetErrorStatus(selector, 500);
    };
    view.OnMessage = [&](MessageKind kind, const std::string&) {
        if (kind == MessageKind::Error) view.Stop = true;
    };
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(), std::vector<recsim::Reservation>{original[0]});
    const Messages messages = view.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], (RecordingView::Message{MessageKind::Error, Texts::kFailGet}));
    const std::string tail = StoppedLine({1}) + CheckLine(0, 1, 1);
    EXPECT_EQ(messages[1].Text.rfind(ReportPrefix(0), 0), 0u);
    EXPECT_EQ(messages[1].Text.substr(messages[1].Text.size() - tail.size()), tail);
}

TEST_F(Restore, StopWhileTheFirstListIsAskedForAgainEntersNothing) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(2, 16));
    x4ex.SetErrorStatus("/program//program.htm", 500);
    view.OnMessage = [&](MessageKind kind, const std::string&) {
        if (kind == MessageKind::Error) view.Stop = true;
    };
    frame.RunRestore(view);

    EXPECT_EQ(view.Messages(), (Messages{{MessageKind::Error, Texts::kFailGet},
                                         {MessageKind::Information, StoppedLine({0, 1})}}));
    EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
    EXPECT_TRUE(x4ex.Reservations().empty());
    ExpectFramed(view);
}

TEST_F(Restore, OnlyTheTickedReservationsArePostedInNumberOrder) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(5, 16);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    frame.RunRestore(view, std::set<int>{3, 1, 7});

    EXPECT_EQ(x4ex.Reservations(), (std::vector<recsim::Reservation>{original[1], original[3]}));
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].body, BuildEntryFormBody(SavedReservation(1)) + "\r\n");
    EXPECT_EQ(posts[1].body, BuildEntryFormBody(SavedReservation(3)) + "\r\n");
    ASSERT_EQ(view.Messages().size(), 1u);
    const std::string report = view.Messages()[0].Text;
    EXPECT_EQ(report.rfind(ReportPrefix(1), 0), 0u);
    EXPECT_NE(report.find(Texts::kLfCr + ReportPrefix(3)), std::string::npos);
    EXPECT_EQ(view.Progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
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

TEST_F(Restore, RefusedEntryEndsAtOnceWithOneBox) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(2, 19));
    x4ex.SetErrorStatus(Seg(x4ex) + "/entry.htm", 403);
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(),
              Error(Url(Seg(x4ex) + "/entry.htm") + Texts::kLfCr + Texts::kLoginRefused));
    EXPECT_EQ(Posts(x4ex).size(), 1u);
    EXPECT_TRUE(ctx.LoginRefused);
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
