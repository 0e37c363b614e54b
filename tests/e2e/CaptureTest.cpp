#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "E2eFixture.h"
#include "EntryForm.h"
#include "RestoreReport.h"
#include "SockTransport.h"
#include "SysUtils.h"
#include "TextSearch.h"

namespace e2e {
namespace {

using namespace std::string_literals;

class Capture : public TransferTest {};

class RoundTrip : public TransferTest, public testing::WithParamInterface<int> {};

// Capture from an RD-X4, then restore into an RD-X4EX. Neither a header copy that cannot be
// written (it is for diagnosis only) nor a port text without a proxy fails a capture, and a
// second start while it runs starts nothing.
TEST_P(RoundTrip, CaptureSavesEveryPageAndRestoreEntersEveryReservation) {
    const int count = GetParam();
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(count, 7);
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, original, "admin", "pa:ss");
    ctx.HttpClient1.Header = Saved("no-such-folder/Head.txt");
    ctx.Settings.ProxyPort = "not a port";
    RecordingView second;
    view.OnStatus = [&](const std::string&) {
        if (view.Statuses().size() > 1) return;
        EXPECT_TRUE(frame.Busy());
        frame.RunCapture(second);
        frame.RunRestore(second);
    };
    frame.RunCapture(view);

    EXPECT_TRUE(second.Events.empty());
    EXPECT_EQ(view.Messages(), Done(count));
    ExpectFramed(view);
    const std::vector<std::string> targets = ExpectedTargets(sim, count);
    EXPECT_EQ(Targets(sim), targets);
    // The status line names each page as it is fetched (the list frame and the list also as
    // they are read); once the list has told the count, progress is page k of all.
    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> progress;
    for (size_t i = 0; i < targets.size(); ++i) {
        statuses.push_back(Fetching(Url(targets[i].substr(4))));
        if (i < 2) statuses.push_back(Parsing(Url(targets[i].substr(4))));
        if (i > 0) progress.emplace_back(i + 1, targets.size());
    }
    statuses.push_back("");
    EXPECT_EQ(view.Statuses(), statuses);
    EXPECT_EQ(view.Progress, progress);
    // Exactly the set, each file its owner's only (the setup page holds the passwords); no
    // staging folder left, and no backup of a set that was not there.
    std::set<std::string> names = {"ZAVOCVRV.HTM", "ZAVOCVST.HTM", "ZAVOCVCH.HTM",
                                   Texts::kCaptureTimeFile};
    for (int i = 0; i < count; ++i) names.insert(Texts::ReservationPageFile(i));
    EXPECT_EQ(dir.Names(), names);
    for (const std::string& name : names) EXPECT_FILE_MODE(Saved(name), 0600u) << name;

    // Each saved file holds the page as the recorder serves it, with CR LF line ends.
    const std::string auth = "Basic YWRtaW46cGE6c3M=";  // admin:pa:ss
    sim.ClearRequests();
    EXPECT_EQ(ReadBytes(Saved("ZAVOCVRV.HTM")),
              SavedForm(RawGet(sim.Port(), Seg(sim) + "/program.htm", auth)));
    for (int i = 0; i < count; ++i) {
        RawGet(sim.Port(), Seg(sim) + "/b_proginfo.htm?" + std::to_string(i), auth);
        const std::string page = SavedForm(RawGet(sim.Port(), Seg(sim) + "/proginfo.htm", auth));
        EXPECT_EQ(ReadBytes(SavedReservation(i)), page) << "reservation " << i;
    }
    const std::string setup = SavedForm(RawGet(sim.Port(), "/setup/setup.htm", auth));
    ASSERT_NE(SjisPos("type=\"password\"", setup), 0) << "the recorder's setup page has passwords";
    EXPECT_EQ(ReadBytes(Saved("ZAVOCVST.HTM")),
              SjisReplaceAll(setup, "type=\"password\"", "type=\"text\""));
    EXPECT_EQ(ReadBytes(Saved("ZAVOCVCH.HTM")),
              SavedForm(RawGet(sim.Port(), "/setup/ch_set.htm", auth)));

    recsim::RecorderSim& x4ex = StartRecorder(Mode::X4EX);
    RecordingView restored;
    frame.RunRestore(restored);
    ExpectFramed(restored);
    if (count == 0) {  // no saved page: nothing is sent, and the report is empty
        EXPECT_EQ(restored.Messages(), (Messages{{MessageKind::Information, ""}}));
        EXPECT_TRUE(x4ex.Requests().empty());
        return;
    }
    EXPECT_EQ(x4ex.Reservations(), original);
    // The first list is read before any segment is known; the list is read once more before
    // the first entry and after each, to count the reservations. Each post carries the entry
    // form body of its saved page and a CR LF.
    const std::string list0 = Url("/program//program.htm");
    const std::string list = Url(Seg(x4ex) + "/program.htm");
    const std::string entry = Url(Seg(x4ex) + "/entry.htm");
    std::vector<std::string> asked(2, "GET /program//program.htm");
    std::vector<std::string> shown = {Fetching(list0), Parsing(list0), Fetching(list0),
                                      Parsing(list0)};
    std::vector<std::pair<int, int>> counted = {{0, count}};
    const std::vector<recsim::LoggedRequest> posts = Posts(x4ex);
    ASSERT_EQ(posts.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string selector = Seg(x4ex) + "/b_proginfo.htm?" + std::to_string(i);
        asked.insert(asked.end(),
                     {"GET /program/b_prgrm.htm", "GET " + selector,
                      "POST " + Seg(x4ex) + "/entry.htm", "GET " + Seg(x4ex) + "/program.htm"});
        shown.insert(shown.end(), {Fetching(Url("/program/b_prgrm.htm")),
                                   Parsing(Url("/program/b_prgrm.htm")), Fetching(Url(selector)),
                                   Sending(entry), Parsing(entry), Fetching(list), Parsing(list)});
        counted.emplace_back(i + 1, count);
        const std::string body = BuildEntryFormBody(SavedReservation(i)) + "\r\n";
        EXPECT_EQ(posts[i].body, body);
        EXPECT_NE(
            posts[i].rawHeader.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
    }
    shown.push_back("");
    EXPECT_EQ(Targets(x4ex), asked);
    EXPECT_EQ(restored.Statuses(), shown);
    EXPECT_EQ(restored.Progress, counted);
    EXPECT_EQ(ReadBytes(ctx.PostDataPath), posts.back().body);

    // One line per reservation: number, separator, answer, LF CR; then the check.
    ASSERT_EQ(restored.Messages().size(), 1u);
    EXPECT_EQ(restored.Messages()[0].Box, MessageKind::Information);
    const std::vector<std::string> lines = Lines(restored.Messages()[0].Text);
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

// 32 is a full RD-X4 and fills the RD-X4EX: the RD-X4's list has no new-reservation link, and
// its last link belongs to the 32nd reservation, which must be captured too.
INSTANTIATE_TEST_SUITE_P(Reservations, RoundTrip, testing::Values(0, 1, 3, 6, 31, 32));

// A recapture from a smaller recorder asks first; No keeps everything as it was, Yes leaves
// exactly the new set (the later pages of the earlier one go) and the earlier set as backup.
TEST_F(Capture, SmallerRecaptureAsksAndReplacesOnlyOnYes) {
    StartRecorder(Mode::X4, recsim::SampleReservations(10, 11));
    frame.RunCapture(view);
    const auto earlier = Snapshot(dir.Path());
    ASSERT_EQ(earlier.size(), 14u);
    sims.back()->SetReservations(recsim::SampleReservations(4, 12));
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        RecordingView answer;
        answer.Answers = {yes};
        frame.RunCapture(answer);
        EXPECT_EQ(answer.Questions(),
                  std::vector<std::string>{Texts::SmallerCaptureQuestion(4, 10)});
        ExpectFramed(answer);
        if (!yes) {
            EXPECT_TRUE(answer.Messages().empty());
            EXPECT_EQ(Snapshot(dir.Path()), earlier);
            EXPECT_EQ(dir.Names().size(), 14u) << "no staging or backup folder";
        } else {
            EXPECT_EQ(answer.Messages(), Done(4));
            const auto now = Snapshot(dir.Path());
            EXPECT_EQ(now.size(), 8u);
            for (int i = 4; i < 10; ++i)
                EXPECT_FALSE(std::filesystem::exists(SavedReservation(i))) << i;
            EXPECT_NE(now.at("ZAVOCV00.HTM"), earlier.at("ZAVOCV00.HTM"));
            EXPECT_EQ(Snapshot(dir.Path() + Texts::kBackupFolder), earlier);
        }
    }
    // A capture that holds as many reservations as the set asks nothing.
    RecordingView same;
    frame.RunCapture(same);
    EXPECT_TRUE(same.Questions().empty());
    EXPECT_EQ(same.Messages(), Done(4));
    // An empty recorder, as after the upgrade, is asked about too; unanswered, the default No
    // keeps the set.
    const auto four = Snapshot(dir.Path());
    sims.back()->SetReservations({});
    RecordingView empty;
    frame.RunCapture(empty);
    EXPECT_EQ(empty.Questions(), std::vector<std::string>{Texts::SmallerCaptureQuestion(0, 4)});
    EXPECT_EQ(Snapshot(dir.Path()), four);
}

// A failure or a stop at any page leaves every saved file as it was and nothing new beside it.
// A stop pressed while a page is on its way lets that page arrive and asks for no other.
TEST_F(Capture, FailureOrStopAtAnyPageLeavesTheSavedSetByteIdentical) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, recsim::SampleReservations(3, 5));
    frame.RunCapture(view);
    const auto earlier = Snapshot(dir.Path());
    const std::set<std::string> names = dir.Names();
    sim.SetReservations(recsim::SampleReservations(5, 6));
    const std::vector<std::string> all = ExpectedTargets(sim, 5);
    // The recorder answers with an error or closes without answering, the view throws, or
    // the user presses stop: while the page is on its way, or on the first error box.
    enum class How { HttpError, Drop, Abort, StopButton, StopOnBox };
    struct Case {
        const char* name;
        int atStatus;  // the n-th " 取得中…" status (1-based): the page where it happens
        How how;
    };
    std::vector<Case> cases = {
        {"ListFrame", 1, How::HttpError},      {"List", 2, How::HttpError},
        {"Selector", 3, How::HttpError},       {"Page", 8, How::HttpError},
        {"Setup", 13, How::HttpError},         {"ClosedAtPage", 6, How::Drop},
        {"AbortAtChannel", 14, How::Abort},    {"AbortAtPage", 6, How::Abort},
        {"AbortAtList", 2, How::Abort},        {"StopOnBoxAtFrame", 1, How::StopOnBox},
        {"StopOnBoxAtPage", 8, How::StopOnBox}};
    for (int k = 1; k <= 14; ++k) cases.push_back({"StopButton", k, How::StopButton});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " at " << c.atStatus);
        RecordingView v;
        v.Answers = {true};  // were it asked, the capture would replace the set
        int fetching = 0;
        std::string failing, target;
        v.OnMessage = [&](MessageKind, const std::string&) { v.Stop = c.how == How::StopOnBox; };
        v.OnStatus = [&](const std::string& status) {
            if (!IsFetching(status) || ++fetching != c.atStatus) return;
            if (c.how == How::Abort) throw EAbortError("stopped");
            if (c.how == How::StopButton) {
                v.Stop = true;
                return;
            }
            failing = status.substr(0, status.find(' '));
            target = failing.substr(failing.find('/', 7));
            // Each attempt fails (only the first for a stop on its box), then the recorder is well.
            if (c.how == How::Drop) sim.SetDropConnection(target, true);
            if (c.how != How::Drop)
                sim.SetErrorStatus(target, 500, c.how == How::StopOnBox ? 1 : 21);
        };
        sim.ClearRequests();
        frame.RunCapture(v);
        if (c.how == How::Drop) sim.SetDropConnection(target, false);
        ExpectFramed(v);
        EXPECT_TRUE(v.Questions().empty());
        EXPECT_EQ(Snapshot(dir.Path()), earlier);
        EXPECT_EQ(dir.Names(), names);
        if (c.how == How::StopButton || c.how == How::StopOnBox) {
            Messages expected = {{MessageKind::Information, Texts::kCaptureStopped}};
            if (c.how == How::StopOnBox)
                expected.insert(expected.begin(), {MessageKind::Error, Texts::kFailGet});
            EXPECT_EQ(v.Messages(), expected);
            EXPECT_EQ(Targets(sim),
                      std::vector<std::string>(all.begin(), all.begin() + c.atStatus));
        } else if (c.how == How::Abort) {
            ASSERT_FALSE(v.Messages().empty());
            EXPECT_EQ(v.Messages().back().Box, MessageKind::Error);
        } else {
            // Every attempt at the failing page, and nothing after it.
            std::vector<std::string> asked(all.begin(), all.begin() + c.atStatus - 1);
            asked.insert(asked.end(), 21, "GET " + target);
            EXPECT_EQ(Targets(sim), asked);
            Messages expected(c.how == How::HttpError ? 21 : 0,
                              {MessageKind::Error, Texts::kFailGet});
            expected.push_back(
                {MessageKind::Error, failing + Texts::kLfCr + Texts::kCaptureFailed});
            EXPECT_EQ(v.Messages(), expected);
        }
    }
}

// What a crash left is dealt with before the next capture touches the set: a staging folder
// with its commit marker is carried through (its set becomes the one this capture replaces),
// one without it is removed.
TEST_F(Capture, StagingLeftByACrashIsSettledBeforeTheNextCapture) {
    StartRecorder(Mode::X4, recsim::SampleReservations(2, 5));
    const std::string staging = dir.Path() + Texts::kStagingFolder + "/";
    for (bool committed : {false, true}) {
        SCOPED_TRACE(committed);
        std::filesystem::remove_all(dir.Path() + Texts::kBackupFolder);
        std::map<std::string, std::string> before, crashed;
        for (int i = 0; i < 3; ++i) before[Texts::ReservationPageFile(i)] = "before\r\n";
        for (int i = 0; i < 6; ++i) crashed[Texts::ReservationPageFile(i)] = "crashed\r\n";
        for (const auto& [name, bytes] : before) WriteBytes(Saved(name), bytes);
        std::filesystem::create_directory(staging);
        std::string marker;
        for (const auto& [name, bytes] : crashed) {
            WriteBytes(staging + name, bytes);
            marker += name + "\n";
        }
        if (committed) WriteBytes(staging + "COMMIT", marker + "END\n");
        RecordingView v;
        v.Answers = {true};  // the crashed set is larger: replace it
        frame.RunCapture(v);
        EXPECT_EQ(v.Messages(), Done(2));
        EXPECT_EQ(v.Questions(),
                  std::vector<std::string>{Texts::SmallerCaptureQuestion(2, committed ? 6 : 3)});
        EXPECT_EQ(dir.Names(), (std::set<std::string>{
                                   "ZAVOCV00.HTM", "ZAVOCV01.HTM", "ZAVOCVRV.HTM", "ZAVOCVST.HTM",
                                   "ZAVOCVCH.HTM", Texts::kCaptureTimeFile, Texts::kBackupFolder}));
        EXPECT_EQ(Snapshot(dir.Path() + Texts::kBackupFolder), committed ? crashed : before);
    }
}

TEST_F(Capture, ThreeDigitLinkEndsSilentlyAfterTheList) {
    // More reservations than any recorder holds: the list's link 100 has three digits.
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, recsim::SampleReservations(101, 6));
    frame.RunCapture(view);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(Targets(sim), (std::vector<std::string>{"GET /program/b_prgrm.htm",
                                                      "GET " + Seg(sim) + "/program.htm"}));
    EXPECT_TRUE(dir.Names().empty());
    ExpectFramed(view);
}

// A refused login is not asked again: some devices lock the account after a few tries.
TEST_F(Capture, RefusedLoginEndsAtOnceWithOneBox) {
    for (int status : {401, 403}) {
        SCOPED_TRACE(status);
        recsim::RecorderSim& sim = StartRecorder(Mode::X4, {}, "admin", "secret");
        if (status == 401) ctx.Settings.Password = "wrong";
        if (status == 403) sim.SetErrorStatus("*", status);
        RecordingView v;
        frame.RunCapture(v);
        EXPECT_EQ(v.Messages(),
                  Error(Url("/program/b_prgrm.htm") + Texts::kLfCr + Texts::kLoginRefused));
        EXPECT_EQ(Targets(sim), std::vector<std::string>{"GET /program/b_prgrm.htm"});
        EXPECT_TRUE(ctx.LoginRefused);
        EXPECT_FALSE(std::filesystem::exists(Saved("ZAVOCVRV.HTM")));
        ExpectFramed(v);
    }
}

// A capture that cannot begin shows one box naming the cause and saves nothing.
TEST_F(Capture, FailureBeforeAnyPageIsOneBoxNamingItsCause) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, recsim::SampleReservations(2, 1));
    const std::string recorder = ctx.Settings.Host;
    const RefusingPort refusing;
    const std::string missing = dir.Path() + "missing/";
    const struct {
        const char* name;
        std::string host, proxy, proxyPort, programDir, message;
    } cases[] = {
        // A proxy port that is no number: no address was built yet, so the message is
        // followed by the line break alone.
        {"LettersAsProxyPort", recorder, "127.0.0.1", "abc", dir.Path(),
         ConvertErrorMessage("abc") + Texts::kLfCr},
        {"EmptyProxyPort", recorder, "127.0.0.1", "", dir.Path(),
         ConvertErrorMessage("") + Texts::kLfCr},
        {"TrailingLetterInProxyPort", recorder, "127.0.0.1", "80x", dir.Path(),
         ConvertErrorMessage("80x") + Texts::kLfCr},
        // A program directory the capture cannot write to is named before anything is fetched.
        {"FolderThatCannotBeCreated", recorder, "", "", missing,
         Texts::CannotCreateFolderMessage(missing + Texts::kStagingFolder) + Texts::kLfCr},
        {"RefusedConnection", refusing.Host(), "", "", dir.Path(),
         "http://" + refusing.Host() + "/program/b_prgrm.htm" + Texts::kLfCr +
             Texts::kCaptureFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ctx.Settings.Host = c.host;
        ctx.Settings.Proxy = c.proxy;
        ctx.Settings.ProxyPort = c.proxyPort;
        ctx.SetProgramDir(c.programDir);
        RecordingView v;
        frame.RunCapture(v);
        EXPECT_EQ(v.Messages(), Error(c.message));
        EXPECT_TRUE(sim.Requests().empty());
        EXPECT_FALSE(std::filesystem::exists(Saved("ZAVOCVRV.HTM")));
        ExpectFramed(v);
    }
}

TEST_F(Capture, ThroughAProxyTheRequestLineCarriesTheWholeAddress) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, recsim::SampleReservations(1, 2));
    ctx.Settings.Host = "rd-x4";
    ctx.Settings.Proxy = "127.0.0.1";
    ctx.Settings.ProxyPort = std::to_string(sim.Port());
    frame.RunCapture(view);
    EXPECT_EQ(view.Messages(), Done(1));
    ASSERT_EQ(sim.Requests().size(), 6u);
    EXPECT_EQ(
        sim.Requests()[0].rawHeader.rfind(
            "GET http://rd-x4/program/b_prgrm.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n", 0),
        0u);
    EXPECT_TRUE(std::filesystem::exists(SavedReservation(0)));
}

TEST_F(Capture, FailedSaveLeavesTheOldFileWhole) {
    recsim::RecorderSim& sim = StartRecorder(Mode::X4, recsim::SampleReservations(20, 1));
    WriteBytes(Saved("ZAVOCVRV.HTM"), "old list\r\n");
    // A file size limit makes the write of the list fail half-way, for root too; the
    // header file of each answer stays well below it.
    constexpr size_t kLimit = 1500;
    ASSERT_GT(SavedForm(RawGet(sim.Port(), Seg(sim) + "/program.htm")).size(), kLimit);
    sim.ClearRequests();
    {
        const testsupport::FileSizeLimit limit(kLimit);
        ASSERT_TRUE(limit.Ok());
        frame.RunCapture(view);
    }

    // The message names the file that could not be written: the list, in the staging folder.
    EXPECT_EQ(view.Messages(),
              Error(FileCreateErrorMessage(Saved(Texts::kStagingFolder + "/ZAVOCVRV.HTM"s)) +
                    Texts::kLfCr + Url(Seg(sim) + "/program.htm")));
    EXPECT_EQ(ReadBytes(Saved("ZAVOCVRV.HTM")), "old list\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"ZAVOCVRV.HTM"}) << "no temporary file left";
    ExpectFramed(view);
}

}  // namespace
}  // namespace e2e
