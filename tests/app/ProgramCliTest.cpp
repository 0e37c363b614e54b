// The built program on its command line, without a display: what it prints where, and its
// exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "RecorderSim.h"
#include "SysFile.h"
#include "SysPath.h"
#include "SysText.h"
#include "TestFiles.h"
#include "TestProcess.h"
#include "Texts.h"

namespace {

using namespace testsupport;
using Sys::SjisToUtf8;

struct RunResult {
    int Status = -1;
    std::string Out, Err;
};

// Runs the program with no display in its environment, so that creating a window would fail,
// and with nothing on its input; ends it after 10 s. args: its words, split at blanks.
// password: the ZAVOCONV_PASSWORD it finds (none when not given).
RunResult RunProgram(const std::string& args,
                     const std::optional<std::string>& password = std::nullopt) {
    ProcessRun run{ZAVOCONV_PROGRAM, Words(args)};
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        run.env.emplace_back(name, std::nullopt);
    run.env.emplace_back("ZAVOCONV_PASSWORD", password);
    const ProcessResult result = RunProcess(run);
    return {result.status, result.out, result.err};
}

// UTF-8, as a terminal shows it.
const std::string kUsageLine = "使い方: zavoconv [capture | restore | list] [オプション]\n";

struct CliCase {
    const char* name;
    std::string args;
    int status;
    std::string outStart;  // what standard output begins with
    std::string errStart;  // what standard error begins with
};

const CliCase kCases[] = {
    {"Help", "--help", 0, kUsageLine, ""},
    {"HelpAfterDataDir", "--data-dir /nonexistent -h", 0, kUsageLine, ""},
    {"Version", "--version", 0, "zavoconv 2.0.0\n", ""},
    {"UnknownOption", "--bogus", 2, "", "zavoconv: --bogus: 不明なオプションです\n" + kUsageLine},
    {"MissingValue", "--data-dir", 2, "", "zavoconv: --data-dir: "},
    {"CommandWordTwice", "capture restore", 2, "", "zavoconv: restore: "},
    // Wrong input of a command: its message, exit 2, and the data folder is never created.
    {"OnlyOutOfRange", "restore --data-dir /tmp/zavo-cli-never/d --only 0-3", 2, "",
     "zavoconv: --only: "},
    {"OnlyMalformed", "restore --data-dir /tmp/zavo-cli-never/d --only 1,,2", 2, "",
     "zavoconv: --only: "},
    {"HostWithControlByte", "capture --data-dir /tmp/zavo-cli-never/d --host a\tb", 2, "",
     "zavoconv: --host: "},
};

TEST(ProgramCli, StatusAndOutputs) {
    for (const CliCase& c : kCases) {
        SCOPED_TRACE(c.name);
        RunResult run = RunProgram(c.args);
        EXPECT_EQ(run.Status, c.status);
        EXPECT_EQ(run.Out.substr(0, c.outStart.size()), c.outStart);
        EXPECT_EQ(run.Err.substr(0, c.errStart.size()), c.errStart);
        // Each answer goes to one stream only.
        EXPECT_TRUE(c.status == 0 ? run.Err.empty() : run.Out.empty()) << run.Out << run.Err;
        EXPECT_FALSE(std::filesystem::exists("/tmp/zavo-cli-never"));
    }
}

bool Contains(const std::string& text, const char* sjis) {
    return text.find(SjisToUtf8(sjis)) != std::string::npos;
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The main job without a window, against the simulator: a refused login, a capture, the
// table, a restore refused and allowed, and a smaller capture refused.
TEST(ProgramCliTransfers, CaptureListRestoreAgainstTheSimulator) {
    TempDir data;
    recsim::Options x4Options;
    x4Options.mode = recsim::Mode::X4;
    x4Options.user = "u";
    x4Options.password = "pw";
    recsim::RecorderSim x4(x4Options);
    x4.SetReservations(recsim::SampleReservations(3, 5));
    x4.Start();
    const std::string folder = " --data-dir " + data.Path();
    const std::string atX4 =
        folder + " --host 127.0.0.1:" + std::to_string(x4.Port()) + " --user u";

    RunResult run = RunProgram("capture" + atX4, "wrong");
    EXPECT_EQ(run.Status, 3) << run.Err;
    EXPECT_TRUE(Contains(run.Err, Texts::kLoginRefused)) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(data.File("ZAVOCVRV.HTM")));

    run = RunProgram("capture" + atX4, "pw");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, SjisToUtf8(std::string(Texts::kCaptureDone) + "\n" +
                                  Texts::kCaptureSavedCount1 + "3" + Texts::kCountSuffix + "\n"));
    // One progress line per page: the list's two, three reservations of two, setup, channels.
    EXPECT_EQ(LineCount(run.Err), 2u + 3 * 2 + 2) << run.Err;
    EXPECT_NE(run.Err.find("[10/10] "), std::string::npos) << run.Err;
    for (const char* name : {"ZAVOCVRV.HTM", "ZAVOCV00.HTM", "ZAVOCV02.HTM", "ZAVOCVST.HTM"})
        EXPECT_TRUE(std::filesystem::exists(data.File(name))) << name;
    // The log in the data folder: each request with its status and outcome, never the password.
    const std::string log = ReadBytes(data.File("zavoconv.log"));
    const std::string x4Url = "http://127.0.0.1:" + std::to_string(x4.Port());
    EXPECT_NE(log.find(" GET " + x4Url + "/program/b_prgrm.htm 401 login refused\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" GET " + x4Url + "/setup/ch_set.htm 200 ok\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("pw"), std::string::npos);
    EXPECT_FILE_MODE(data.File("zavoconv.log"), 0600u);

    run = RunProgram("list" + folder);
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(LineCount(run.Out), 1u + 1 + 3) << run.Out;  // the count, the heading, the rows
    EXPECT_TRUE(Contains(run.Out, Texts::kColPlan)) << run.Out;
    run = RunProgram("list --csv" + folder);
    EXPECT_EQ(LineCount(run.Out), 1u + 3) << run.Out;

    recsim::Options exOptions;
    exOptions.mode = recsim::Mode::X4EX;
    recsim::RecorderSim x4ex(exOptions);
    x4ex.SetReservations(recsim::SampleReservations(1, 9));
    x4ex.Start();
    const std::string atX4ex = folder + " --host 127.0.0.1:" + std::to_string(x4ex.Port());
    // A dry run reads the list once and posts nothing: a line per reservation, the summary.
    run = RunProgram("restore --dry-run" + atX4ex);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(LineCount(run.Out), 3u + 1) << run.Out;
    EXPECT_TRUE(Contains(run.Out, Texts::kPlanSummarySend)) << run.Out;
    EXPECT_EQ(x4ex.Requests().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(data.File(Texts::kPostDataFile)));
    // It already holds one: without --yes the question is answered No and nothing is sent.
    run = RunProgram("restore" + atX4ex);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Err, Texts::kRestoreHolds3)) << run.Err;
    EXPECT_EQ(x4ex.Reservations().size(), 1u);
    // None of the numbers picked is saved: said, with the folder, and nothing is sent.
    run = RunProgram("restore --yes --only 4-32" + atX4ex);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "zavoconv: " + SjisToUtf8(Texts::kNothingToRestore) + "\n" +
                           SjisToUtf8(Texts::kDataFolderCaption) + Sys::ForDisplay(data.Path()) +
                           "\n");
    EXPECT_EQ(x4ex.Reservations().size(), 1u);
    run = RunProgram("restore --yes --only 1,3" + atX4ex);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(x4ex.Reservations().size(), 3u);
    // A line per reservation entered, then the check.
    EXPECT_EQ(LineCount(run.Out), 2u + 1) << run.Out;
    EXPECT_TRUE(Contains(run.Out, Texts::kCheckMatch)) << run.Out;

    // A recorder with fewer reservations: refused by default, the saved set stays whole.
    x4.SetReservations(recsim::SampleReservations(1, 5));
    const std::string page = ReadBytes(data.File("ZAVOCV02.HTM"));
    run = RunProgram("capture" + atX4, "pw");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(ReadBytes(data.File("ZAVOCV02.HTM")), page);
}

}  // namespace
