// The built program on its command line, without a display: what it prints where, and its
// exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "TempDir.h"

namespace {

struct RunResult {
    int Status = -1;
    std::string Out, Err;
};

// Runs the program with no display in its environment, so that creating a window would fail;
// ends it after 10 s.
RunResult RunProgram(const std::string& args) {
    TempDir dir;
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 " ZAVOCONV_PROGRAM " " +
        args + " </dev/null >" + dir.File("out") + " 2>" + dir.File("err");
    int status = std::system(command.c_str());
    RunResult run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = ReadBytes(dir.File("out"));
    run.Err = ReadBytes(dir.File("err"));
    return run;
}

// 使い方: zavoconv [オプション]  (UTF-8, as a terminal shows it)
const std::string kUsageLine =
    "\xe4\xbd\xbf\xe3\x81\x84\xe6\x96\xb9: zavoconv [\xe3\x82\xaa"
    "\xe3\x83\x97\xe3\x82\xb7\xe3\x83\xa7\xe3\x83\xb3]\n";

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
    // --bogus: 不明なオプションです
    {"UnknownOption",
     {"--bogus"},
     2,
     "",
     "zavoconv: --bogus: \xe4\xb8\x8d\xe6\x98\x8e\xe3\x81\xaa\xe3\x82\xaa\xe3\x83\x97\xe3\x82\xb7"
     "\xe3\x83\xa7\xe3\x83\xb3\xe3\x81\xa7\xe3\x81\x99\n" +
         kUsageLine},
    {"MissingValue", "--data-dir", 2, "", "zavoconv: --data-dir: "},
    {"CommandWord", "capture", 2, "", "zavoconv: capture: "},
};

class ProgramCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(ProgramCli, StatusAndOutputs) {
    const CliCase& c = GetParam();
    RunResult run = RunProgram(c.args);
    EXPECT_EQ(run.Status, c.status);
    EXPECT_EQ(run.Out.substr(0, c.outStart.size()), c.outStart);
    EXPECT_EQ(run.Err.substr(0, c.errStart.size()), c.errStart);
    // Each answer goes to one stream only.
    EXPECT_TRUE(c.status == 0 ? run.Err.empty() : run.Out.empty()) << run.Out << run.Err;
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramCli, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
