// The capture and the restore against recorders that misbehave on one page: each case ends
// with the message the user is told, within the time the time-out allows, and leaves every
// saved page either whole (what the recorder sent, with CR LF line ends) or exactly as it
// was before.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BoxText.h"
#include "FaultSupport.h"
#include "FaultyRecorder.h"
#include "RecorderSim.h"
#include "RestoreReport.h"
#include "TestHelpers.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"
#include "VirtualTime.h"

namespace fault {
namespace {

constexpr char kSegment[] = "SEG1";
constexpr int kCount = 3;
// Recorder pages are a few kilobytes; a smaller bound than the program's keeps the cases
// with endless answers quick (the client cases run with the program's bounds).
constexpr size_t kMaxBodyBytes = 4u << 20;
// The user's credentials: only the recorder the user named may see them.
constexpr char kUser[] = "user";
constexpr char kPassword[] = "pass";
// The client runs with the program's 10-second time-out. An attempt ended by it counts as a
// slow one and ends the fetch loop: a case that counts 21 attempts has seen every one fail at
// once, and a case that ends within one time-out waited for none. Cases marked "program
// clock" run the client on a clock that goes faster by the ratio: the time-out ends after
// 400 ms and weighs like the program's 10 s in the fetch loop; such a case takes at most that
// time-out, plus the other pages and a loaded machine.
constexpr int kProgramTimeOutMs = 10000;
constexpr int kTimeOutMs = 400;
constexpr int kOneTimeOut = kTimeOutMs + 3000;

const std::string kListFrame = "/program/b_prgrm.htm";
const std::string kList = std::string("/program/") + kSegment + "/program.htm";
const std::string kPage = std::string("/program/") + kSegment + "/proginfo.htm";
const std::string kSetup = "/setup/setup.htm";
const std::string kChannel = "/setup/ch_set.htm";
const std::string kEntry = std::string("/program/") + kSegment + "/entry.htm";
std::string Selector(int i) {
    return std::string("/program/") + kSegment + "/b_proginfo.htm?" + std::to_string(i);
}

using M = Misbehaviour;
using K = MessageKind;
constexpr const char* kTooLong = Texts::kAnswerTooLong;

std::string OldContent(const std::string& name) {
    return "old " + name + " from an earlier capture\r\n";
}

class FaultFixture : public testing::Test {
  protected:
    FaultFixture() {
        ctx.SetProgramDir(dir.Path());
        ctx.HttpClient1.TimeOut = kProgramTimeOutMs;
        ctx.HttpClient1.MaxBodyBytes = kMaxBodyBytes;
        ctx.Settings.User = kUser;
        ctx.Settings.Password = kPassword;
    }

    // A simulated recorder behind a faulty front; the settings point at the front.
    static recsim::Options Recorder(recsim::Mode mode) {
        recsim::Options options;
        options.mode = mode;
        options.segment = kSegment;
        options.readTimeoutMs = 2000;
        return options;
    }
    // The entry form page of reservation i as the capture saves it.
    static std::string SavedPage(int port, int i) {
        RawGet(port, Selector(i));
        return SavedForm(RawGet(port, kPage));
    }
    void StartRecorder(recsim::Mode mode, std::vector<recsim::Reservation> reservations) {
        sim = std::make_unique<recsim::RecorderSim>(Recorder(mode));
        sim->SetReservations(std::move(reservations));
        sim->Start();
        front = std::make_unique<FaultyRecorder>(sim->Port());
        front->Start();
        elsewhere = std::make_unique<FaultyRecorder>(sim->Port());
        elsewhere->Start();
        front->RedirectPort = elsewhere->Port();
        ctx.Settings.Host = "127.0.0.1:" + std::to_string(front->Port());
    }

    // Runs the transfer against the case's fault (a status the simulator answers, or a
    // misbehaviour of the front; on the program's clock, the client's time-out weighs like the
    // program's). The target sees the case's attempts, and the transfer ends within its bound
    // and leaves no connection open.
    template <class Case>
    void RunWith(const Case& c, const std::function<void()>& transfer) {
        if (c.httpStatus != 0)
            sim->SetErrorStatus(c.target, c.httpStatus, c.times);
        else
            front->SetFault(c.target, c.what, c.times);
        if (c.programClock) ctx.HttpClient1.UsePump(programTime.pump);
        const Clock::time_point start = Clock::now();
        transfer();
        EXPECT_LE(MillisSince(start), c.programClock ? kOneTimeOut : kProgramTimeOutMs - 1);
        EXPECT_EQ(front->Hits(c.target), c.expectedHits);
        EXPECT_FALSE(ctx.HttpClient1.IsConnected);
    }

    std::string Url(const std::string& path) const { return "http://" + ctx.Settings.Host + path; }

    // Every file either holds what it held before or the whole page the recorder serves,
    // and no other file (a half-written or temporary one) is left in the directory.
    void ExpectWholeOrOld(const std::map<std::string, std::string>& whole,
                          const std::set<std::string>& expectedNew) {
        for (const auto& [name, page] : whole) {
            const std::string path = dir.Path() + name;
            const std::string bytes = ReadBytes(path);
            if (expectedNew.count(name))
                EXPECT_EQ(bytes, page) << name << " is not the whole page";
            else
                EXPECT_EQ(bytes, OldContent(name)) << name << " was touched";
        }
        std::set<std::string> allowed = {"Reserv.txt", Texts::kCaptureTimeFile};
        for (const auto& entry : whole) allowed.insert(entry.first);
        // The set a capture replaced, and nothing else, is kept as the backup.
        if (!expectedNew.empty()) {
            allowed.insert(Texts::kBackupFolder);
            for (const auto& [name, page] : whole)
                EXPECT_EQ(ReadBytes(dir.Path() + Texts::kBackupFolder + "/" + name),
                          OldContent(name));
        }
        for (const std::string& name : dir.Names())
            EXPECT_TRUE(allowed.count(name)) << "stray file " << name;
    }

    TempDir dir;
    FastTimePump programTime{kProgramTimeOutMs / kTimeOutMs};  // before the client using it
    TransferSession ctx;
    TransferFrame frame{ctx};
    RecordingView view;
    std::unique_ptr<recsim::RecorderSim> sim;
    std::unique_ptr<FaultyRecorder> front;
    // Another server on another port, where RedirectElsewhere sends the client.
    std::unique_ptr<FaultyRecorder> elsewhere;

    // Whatever the recorder sent, every request stays well-formed and nothing of a
    // recorder's own reaches another server: credentials go to the recorder the user named
    // and to no other, a cookie to none but the server that set it, no bare CR anywhere,
    // and the header file stays within the header bound.
    void ExpectRequestsClean() {
        const std::string auth = "\r\nAuthorization: Basic dXNlcjpwYXNz\r\n";
        for (const std::string& request : front->Requests()) {
            EXPECT_NE(request.find(auth), std::string::npos) << request.substr(0, 80);
            EXPECT_EQ(request.find("X-Injected"), std::string::npos);
        }
        for (const std::string& request : elsewhere->Requests()) {
            EXPECT_EQ(request.find("Authorization:"), std::string::npos);
            EXPECT_EQ(request.find("Cookie:"), std::string::npos);
        }
        for (const auto& list : {front->Requests(), elsewhere->Requests()})
            for (const std::string& request : list)
                for (size_t cr = request.find('\r'); cr != std::string::npos;
                     cr = request.find('\r', cr + 1))
                    EXPECT_EQ(request[cr + 1], '\n') << "bare CR in a request";
        std::error_code ec;
        const auto headSize = std::filesystem::file_size(Texts::kHeaderFile, ec);
        if (!ec) {
            EXPECT_LE(headSize, ctx.HttpClient1.MaxHeaderBytes);
        }
    }
};

// ---------------------------------------------------------------- capture

struct CaptureCase {
    const char* name;
    Misbehaviour what;
    std::string target;
    int times;          // -1: every request of the target
    int httpStatus;     // instead of a misbehaviour: the recorder answers this status
    bool programClock;  // the attempt ends by the time-out and weighs like the program's
    int expectedHits;   // requests of the target
    // The page named in the failure box; empty when the capture completes.
    std::string failsAt;
    int getFailedBoxes;             // "RDからの取得に失敗しました" boxes before the end
    bool othersUnanswered = false;  // every other page closed without an answer
    const char* failure = fault::kCaptureFailed;  // the failure box's text after the address
};

class CaptureFault : public FaultFixture, public testing::WithParamInterface<CaptureCase> {
  protected:
    // The whole pages of the recorder, as a clean capture saves them.
    std::map<std::string, std::string> WholePages() {
        std::map<std::string, std::string> pages;
        const int port = sim->Port();
        pages["ZAVOCVRV.HTM"] = SavedForm(RawGet(port, kList));
        for (int i = 0; i < kCount; ++i)
            pages["ZAVOCV0" + std::to_string(i) + ".HTM"] = SavedPage(port, i);
        std::string setup = SavedForm(RawGet(port, kSetup));
        for (size_t at; (at = setup.find("type=\"password\"")) != std::string::npos;)
            setup.replace(at, 15, "type=\"text\"");
        pages["ZAVOCVST.HTM"] = setup;
        pages["ZAVOCVCH.HTM"] = SavedForm(RawGet(port, kChannel));
        return pages;
    }
};

TEST_P(CaptureFault, EndsWithItsMessageInTimeAndLeavesPagesWholeOrOld) {
    const CaptureCase& c = GetParam();
    StartRecorder(recsim::Mode::X4, recsim::SampleReservations(kCount, 11));
    const std::map<std::string, std::string> whole = WholePages();
    for (const auto& [name, page] : whole) WriteBytes(dir.Path() + name, OldContent(name));
    if (c.othersUnanswered) front->SetFault("*", Misbehaviour::NoAnswer);
    RunWith(c, [&] { frame.RunCapture(view); });

    std::vector<RecordingView::Message> expected(
        static_cast<size_t>(c.getFailedBoxes),
        RecordingView::Message{MessageKind::Error, kGetFailed});
    if (c.failsAt.empty())
        expected.push_back({MessageKind::Information, Texts::CaptureDoneMessage(kCount)});
    else
        expected.push_back({MessageKind::Error, ClipForBox(Url(c.failsAt)) + kLfCr + c.failure});
    EXPECT_EQ(view.Messages(), expected);
    // The status line names the page being fetched, clipped like a box.
    const std::vector<std::string> statuses = view.Statuses();
    if (!c.failsAt.empty()) {
        EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                            ClipForBox(Url(c.failsAt)) + Texts::kStatusFetching),
                  statuses.end());
    }
    for (const std::string& status : statuses) EXPECT_LE(status.size(), 2 * kMaxBoxChars + 32);
    ExpectRequestsClean();
    // The frame always ends with the default cursor and an empty status line.
    ASSERT_FALSE(view.Cursors().empty());
    EXPECT_FALSE(view.Cursors().back());
    ASSERT_FALSE(view.Statuses().empty());
    EXPECT_EQ(view.Statuses().back(), "");

    // A capture replaces the saved set as a whole or not at all.
    std::set<std::string> newFiles;
    for (const auto& [name, page] : whole)
        if (c.failsAt.empty()) newFiles.insert(name);
    ExpectWholeOrOld(whole, newFiles);
}

// The address built from a list frame page whose segment is 1 MB without a "/".
const std::string kHugeSegmentList = "/program/" + std::string(1u << 20, 'S') + "/program.htm";

const std::vector<CaptureCase> kCaptureCases = {
    {"ResetInBodyOnce", M::ResetInBody, kPage, 1, 0, false, kCount + 1, "", 0},
    {"ResetInBodyAlways", M::ResetInBody, kPage, -1, 0, false, 21, kPage, 0},
    {"GarbageStatusLine", M::GarbageStatus, kList, -1, 0, false, 21, kList, 0},
    {"EmptyStatusLine", M::EmptyStatusLine, kSetup, -1, 0, false, 21, kSetup, 0},
    {"ClosedWithoutAnswerOnce", M::NoAnswer, kChannel, 1, 0, false, 2, "", 0},
    {"ClosedWithoutAnswerAlways", M::NoAnswer, kChannel, -1, 0, false, 21, kChannel, 0},
    {"NoLengthNeverCloses", M::NoLengthNoClose, kListFrame, -1, 0, true, 1, kListFrame, 0},
    {"OneBytePerSecond", M::OneBytePerSecond, Selector(1), -1, 0, true, 1, Selector(1), 0},
    {"AcceptsNeverAnswers", M::AcceptNoAnswer, kSetup, -1, 0, true, 1, kSetup, 0},
    {"Status500Once", M::None, kPage, 1, 500, false, kCount + 1, "", 1},
    {"Status500Always", M::None, Selector(2), -1, 500, false, 21, Selector(2), 21},
    // Hostile answers: each ends with the failure box, in bounded time and memory, or is
    // survived without a trace in later requests. An answer refused for its size is not asked
    // for again.
    {"EndlessHeader", M::EndlessHeader, kList, -1, 0, false, 1, kList, 0, false, kTooLong},
    {"EndlessBody", M::EndlessBody, kChannel, -1, 0, false, 1, kChannel, 0, false, kTooLong},
    {"HugeAnnouncedLength", M::HugeLengthBody, kSetup, -1, 0, false, 1, kSetup, 0, false, kTooLong},
    {"HugeSegmentAddressClipped", M::SegmentWithoutSlash, kListFrame, -1, 0, false, 1,
     kHugeSegmentList, 0, true},
    {"PoisonedCookieDropped", M::PoisonedCookie, kListFrame, 1, 0, false, 2, "", 0},
    {"RedirectElsewhereWithoutCredentials", M::RedirectElsewhere, kPage, 1, 0, false, kCount, "",
     0}};
INSTANTIATE_TEST_SUITE_P(Recorder, CaptureFault, testing::ValuesIn(kCaptureCases), kRowName);

// Without the program's clock every attempt that the time-out ends is quick enough to be
// retried: the worst case is 21 time-outs in a row, and no more.
TEST_F(FaultFixture, Capture_NeverClosingRecorder_WaitsAtMost21TimeOuts) {
    StartRecorder(recsim::Mode::X4, recsim::SampleReservations(1, 3));
    ctx.HttpClient1.TimeOut = 150;
    front->SetFault(kListFrame, Misbehaviour::NoLengthNoClose);

    const Clock::time_point start = Clock::now();
    frame.RunCapture(view);
    const double took = MillisSince(start);

    EXPECT_EQ(front->Hits(kListFrame), 21);
    EXPECT_GE(took, 21 * 150);
    EXPECT_LE(took, 21 * 150 + 4000);
    EXPECT_EQ(view.Messages(), (std::vector<RecordingView::Message>{
                                   {K::Error, Url(kListFrame) + kLfCr + kCaptureFailed}}));
    EXPECT_TRUE(dir.Names().empty());
}

// The client lives as long as the program: a cookie one recorder handed over stays with it,
// and goes to none but that recorder, also in a later transfer from another host and port.
TEST_F(FaultFixture, Capture_CookieOfOneRecorderNeverSentToAnotherInALaterTransfer) {
    StartRecorder(recsim::Mode::X4, recsim::SampleReservations(1, 3));
    front->SetFault(kListFrame, Misbehaviour::RedirectElsewhere, 1);
    frame.RunCapture(view);
    const std::vector<std::string> first = front->Requests();
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first.back().find("\r\nCookie: sid=2\r\n"), std::string::npos);
    ExpectRequestsClean();

    const size_t earlier = elsewhere->Requests().size();
    ctx.Settings.Host = "127.0.0.1:" + std::to_string(elsewhere->Port());
    RecordingView later;
    frame.RunCapture(later);
    EXPECT_EQ(
        later.Messages(),
        (std::vector<RecordingView::Message>{{K::Information, Texts::CaptureDoneMessage(1)}}));
    const std::vector<std::string> requests = elsewhere->Requests();
    ASSERT_GT(requests.size(), earlier);
    for (size_t i = earlier; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].find("Cookie:"), std::string::npos) << requests[i];
        EXPECT_NE(requests[i].find("\r\nAuthorization: Basic dXNlcjpwYXNz\r\n"), std::string::npos);
    }
}

// ---------------------------------------------------------------- restore

struct RestoreCase {
    const char* name;
    Misbehaviour what;
    std::string target;
    int times;
    int httpStatus;
    bool programClock;
    int expectedHits;
    // The box that ends the restore: the report (Information), the communication failure
    // naming failsAt (Error), or the entry failure (Confirmation).
    MessageKind end;
    std::string failsAt;
    size_t entered;           // reservations the recorder holds afterwards
    int getFailedBoxes;       // before the end
    bool hugeAnswer = false;  // the recorder answers each entry with a 1 MB message
    const char* failure = fault::kRestoreCommFailed;  // an error box's text after the address
};

class RestoreFault : public FaultFixture, public testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreFault, EndsWithItsMessageInTimeAndEntersEachReservationAtMostOnce) {
    const RestoreCase& c = GetParam();
    // The saved pages come from an RD-X4 holding the reservations.
    const std::vector<recsim::Reservation> originals = recsim::SampleReservations(kCount, 5);
    {
        recsim::RecorderSim old(Recorder(recsim::Mode::X4));
        old.SetReservations(originals);
        old.Start();
        for (int i = 0; i < kCount; ++i)
            WriteBytes(dir.Path() + "ZAVOCV0" + std::to_string(i) + ".HTM",
                       SavedPage(old.Port(), i));
    }
    StartRecorder(recsim::Mode::X4EX, {});
    RunWith(c, [&] { frame.RunRestore(view); });

    ASSERT_EQ(view.Messages().size(), static_cast<size_t>(c.getFailedBoxes) + 1);
    for (int i = 0; i < c.getFailedBoxes; ++i)
        EXPECT_EQ(view.Messages()[static_cast<size_t>(i)],
                  (RecordingView::Message{K::Error, kGetFailed}));
    const RecordingView::Message last = view.Messages().back();
    EXPECT_EQ(last.Box, c.end);
    if (c.end == K::Information) {
        // The box shows the start of a long answer only.
        const std::string answer =
            c.hugeAnswer ? ClipForBox(FaultyRecorder::HugeMessage()) : kRegistered;
        std::string report;
        for (int i = 0; i < kCount; ++i)
            report += "0" + std::to_string(i) + kReportSeparator + answer + kLfCr;
        // Every post was answered; the list read afterwards shows what the recorder took.
        report += CheckLine(0, kCount, static_cast<int>(c.entered));
        EXPECT_EQ(last.Text, report);
        // The report file keeps every answer whole.
        const std::string kept = ReadBytes(dir.Path() + Texts::kRestoreReportFile);
        const std::string whole = c.hugeAnswer ? FaultyRecorder::HugeMessage() : kRegistered;
        for (int i = 0; i < kCount; ++i)
            EXPECT_NE(kept.find("0" + std::to_string(i) + kReportSeparator + whole + "\r\n"),
                      std::string::npos)
                << i;
    } else if (c.end == K::Error) {
        EXPECT_EQ(last.Text, ClipForBox(Url(c.failsAt)) + kLfCr + c.failure);
    } else {
        EXPECT_EQ(last.Text, kEntryFailed);
    }

    // The recorder holds the first reservations, in order, each once.
    const std::vector<recsim::Reservation> held = sim->Reservations();
    ASSERT_EQ(held.size(), c.entered);
    for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(held[i].title, originals[i].title);
    // The saved pages are read, never written.
    for (int i = 0; i < kCount; ++i)
        EXPECT_TRUE(dir.Names().count("ZAVOCV0" + std::to_string(i) + ".HTM"));
}

const std::vector<RestoreCase> kRestoreCases = {
    {"CloseDuringPostBodyOnce", M::CloseDuringPostBody, kEntry, 1, 0, false, kCount + 1,
     K::Information, "", kCount, 0},
    {"CloseDuringPostBodyAlways", M::CloseDuringPostBody, kEntry, -1, 0, false, 21, K::Confirmation,
     "", 0, 0},
    {"EntryNeverAnswered", M::AcceptNoAnswer, kEntry, -1, 0, true, 1, K::Confirmation, "", 0, 0},
    // The list is read before the segment is known, at "/program//program.htm": the
    // later two, the one retry and the check after the last entry come here.
    {"ResetInListBodyOnce", M::ResetInBody, kList, 1, 0, false, kCount + 1, K::Information, "",
     kCount, 0},
    {"GarbageStatusOnListFrame", M::GarbageStatus, kListFrame, -1, 0, false, 21, K::Error,
     kListFrame, 0, 0},
    {"OneBytePerSecondOnSelector", M::OneBytePerSecond, Selector(1), -1, 0, true, 1, K::Error,
     Selector(1), 1, 0},
    {"Status500OnceOnSelector", M::None, Selector(0), 1, 500, false, 2, K::Information, "", kCount,
     1},
    {"HugeEntryAnswerClipped", M::HugeEntryAnswer, kEntry, -1, 0, false, kCount, K::Information, "",
     0, 0, true},
    // An answer refused for its size ends the restore at once: a POST asked again would
    // enter its reservation twice.
    {"EndlessEntryAnswer", M::EndlessBody, kEntry, -1, 0, false, 1, K::Error, kEntry, 0, 0, false,
     kTooLong},
    {"EndlessHeaderOnListFrame", M::EndlessHeader, kListFrame, -1, 0, false, 1, K::Error,
     kListFrame, 0, 0, false, kTooLong}};
INSTANTIATE_TEST_SUITE_P(Recorder, RestoreFault, testing::ValuesIn(kRestoreCases), kRowName);

}  // namespace
}  // namespace fault
