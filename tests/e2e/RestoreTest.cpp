#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "E2eFixture.h"
#include "EntryForm.h"
#include "SysUtils.h"

namespace e2e {
namespace {

using recsim::Mode;

class Restore : public TransferTest {
  protected:
    // Captures these reservations from an RD-X4 into the program directory, then points the
    // settings at a fresh RD-X4EX holding `stored` and returns it.
    recsim::RecorderSim& CaptureThenStartX4ex(const std::vector<recsim::Reservation>& captured,
                                              std::vector<recsim::Reservation> stored = {}) {
        StartRecorder(Mode::X4, captured);
        RecordingView captureView;
        frame.RunCapture(captureView);
        EXPECT_EQ(captureView.Messages(),
                  (Messages{{MessageKind::Information,
                             Texts::CaptureDoneMessage(static_cast<int>(captured.size()))}}));
        return StartRecorder(Mode::X4EX, std::move(stored));
    }

    std::string Seg(const recsim::RecorderSim& sim) const { return "/program/" + sim.Segment(); }

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
};

class RestoreRoundTrip : public Restore, public testing::WithParamInterface<int> {};

TEST_P(RestoreRoundTrip, EveryCapturedReservationArrivesIntact) {
    const int count = GetParam();
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(count, 21);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(), original);
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].Box, MessageKind::Information);
    // One line per reservation: number, separator, answer, LF CR.
    std::string report = view.Messages()[0].Text;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(report.rfind(ReportPrefix(i), 0), 0u) << report;
        const size_t end = report.find(Texts::kLfCr);
        ASSERT_NE(end, std::string::npos);
        const std::string answer =
            report.substr(ReportPrefix(i).size(), end - ReportPrefix(i).size());
        EXPECT_FALSE(answer.empty());
        EXPECT_EQ(answer.find("\\r\\n"), std::string::npos);
        report.erase(0, end + 2);
    }
    EXPECT_EQ(report, "");
    ExpectFramed(view);
}

// 32 fills both recorders: the RD-X4's list then has no new-reservation link.
INSTANTIATE_TEST_SUITE_P(Reservations, RestoreRoundTrip, testing::Values(1, 6, 32));

TEST_F(Restore, RequestsFollowTheEntrySequence) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(2, 4);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    frame.RunRestore(view);

    // The first list is read before any segment is known.
    EXPECT_EQ(Targets(x4ex),
              (std::vector<std::string>{
                  "GET /program//program.htm", "GET /program/b_prgrm.htm",
                  "GET " + Seg(x4ex) + "/b_proginfo.htm?0", "POST " + Seg(x4ex) + "/entry.htm",
                  "GET " + Seg(x4ex) + "/program.htm", "GET /program/b_prgrm.htm",
                  "GET " + Seg(x4ex) + "/b_proginfo.htm?1", "POST " + Seg(x4ex) + "/entry.htm"}));
    // Each post carries the entry form body of its saved page and a CR LF.
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    ASSERT_EQ(posts.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const std::string body = BuildEntryFormBody(SavedReservation(i)) + "\r\n";
        EXPECT_EQ(posts[i].body, body);
        EXPECT_NE(
            posts[i].rawHeader.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
    }
    EXPECT_EQ(ReadBytes(ctx.PostDataPath), BuildEntryFormBody(SavedReservation(1)) + "\r\n");

    const std::string list0 = Url("/program//program.htm");
    const std::string frame = Url("/program/b_prgrm.htm");
    const std::string entry = Url(Seg(x4ex) + "/entry.htm");
    const std::vector<std::string> statuses = view.Statuses();
    ASSERT_GE(statuses.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(statuses.begin(), statuses.begin() + 7),
              (std::vector<std::string>{
                  Fetching(list0), Parsing(list0), Fetching(frame), Parsing(frame),
                  Fetching(Url(Seg(x4ex) + "/b_proginfo.htm?0")), Sending(entry), Parsing(entry)}));
    EXPECT_EQ(statuses.back(), "");
}

TEST_F(Restore, PagesZeroOneAndFiveGiveThreeReportLines) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(6, 9);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    for (int i : {2, 3, 4}) std::filesystem::remove(SavedReservation(i));
    frame.RunRestore(view);

    EXPECT_EQ(x4ex.Reservations(),
              (std::vector<recsim::Reservation>{original[0], original[1], original[5]}));
    ASSERT_EQ(view.Messages().size(), 1u);
    const std::string report = view.Messages()[0].Text;
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = report.find(Texts::kLfCr, start)) != std::string::npos;
         start = end + 2)
        lines.push_back(report.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u) << report;
    EXPECT_EQ(lines[0].rfind(ReportPrefix(0), 0), 0u);
    EXPECT_EQ(lines[1].rfind(ReportPrefix(1), 0), 0u);
    EXPECT_EQ(lines[2].rfind(ReportPrefix(5), 0), 0u);
    EXPECT_EQ(report.size(), lines[0].size() + lines[1].size() + lines[2].size() + 6);
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
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(), (Messages{{MessageKind::Error, Texts::kRestoreFull}}));
    EXPECT_EQ(Targets(x4ex), std::vector<std::string>{"GET /program//program.htm"});
    EXPECT_EQ(x4ex.Reservations().size(), 32u);
    ExpectFramed(view);
}

TEST_F(Restore, ThirtyFirstSlotIsStillEntered) {
    const std::vector<recsim::Reservation> stored = recsim::SampleReservations(31, 3);
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(1, 2);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original, stored);
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

    Messages expected = Repeat({MessageKind::Error, Texts::kFailPost}, 21);
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

    EXPECT_EQ(view.Messages(), (Messages{{MessageKind::Error, Url(listTarget) + Texts::kLfCr +
                                                                  Texts::kRestoreCommFailed}}));
    EXPECT_EQ(x4ex.Reservations(),
              std::vector<recsim::Reservation>(original.begin(), original.begin() + 9));
    ExpectFramed(view);
}

TEST_F(Restore, BadProxyPortStopsBeforeAnyRequest) {
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(recsim::SampleReservations(1, 2));
    ctx.Settings.Proxy = "127.0.0.1";
    ctx.Settings.ProxyPort = "";
    frame.RunRestore(view);
    EXPECT_EQ(view.Messages(),
              (Messages{{MessageKind::Error, ConvertErrorMessage("") + Texts::kLfCr}}));
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
    EXPECT_EQ(view.Messages(),
              (Messages{{MessageKind::Error, FileOpenErrorMessage(SavedReservation(1)) +
                                                 Texts::kLfCr + Url(Seg(x4ex) + "/entry.htm")}}));
    EXPECT_EQ(x4ex.Reservations().size(), 1u);
}

TEST_F(Restore, SecondRestoreEntersEverythingAgain) {
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(1, 30);
    recsim::RecorderSim& x4ex = CaptureThenStartX4ex(original);
    frame.RunRestore(view);
    frame.RunRestore(view);
    EXPECT_EQ(x4ex.Reservations().size(), 2u);
    EXPECT_EQ(Posts(x4ex).size(), 2u);
}

}  // namespace
}  // namespace e2e
