#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConsoleTransfer.h"

namespace {

// "不明なオプションです", "値が必要です", "余分な引数です"
const std::string kUnknown =
    "\x95\x73\x96\xbe\x82\xc8\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xc5\x82\xb7";
const std::string kNeedsValue = "\x92\x6c\x82\xaa\x95\x4b\x97\x76\x82\xc5\x82\xb7";
const std::string kExtra = "\x97\x5d\x95\xaa\x82\xc8\x88\xf8\x90\x94\x82\xc5\x82\xb7";

struct ParseCase {
    const char* name;
    std::vector<std::string> args;  // after the program name
    CommandAction action;
    std::string dataDir;
    std::string error;
    std::vector<std::string> toolkit;  // after the program name
};

const ParseCase kCases[] = {
    {"NoArguments", {}, CommandAction::Window, "", "", {}},
    {"Help", {"--help"}, CommandAction::Help, "", "", {}},
    {"ShortHelp", {"-h"}, CommandAction::Help, "", "", {}},
    {"Version", {"--version"}, CommandAction::Version, "", "", {}},
    {"DataDirSeparate", {"--data-dir", "/d"}, CommandAction::Window, "/d", "", {}},
    {"DataDirJoined", {"--data-dir=/d x"}, CommandAction::Window, "/d x", "", {}},
    {"DataDirLastWins", {"--data-dir=/a", "--data-dir", "/b"}, CommandAction::Window, "/b", "", {}},
    {"DataDirMissing", {"--data-dir"}, CommandAction::Usage, "", "--data-dir: " + kNeedsValue, {}},
    {"DataDirEmpty", {"--data-dir="}, CommandAction::Usage, "", "--data-dir: " + kNeedsValue, {}},
    {"Unknown", {"--bogus"}, CommandAction::Usage, "", "--bogus: " + kUnknown, {}},
    {"UnknownWithValue", {"--bogus=1"}, CommandAction::Usage, "", "--bogus: " + kUnknown, {}},
    {"FlagWithValue", {"--help=1"}, CommandAction::Usage, "", "--help=1: " + kUnknown, {}},
    {"UnknownShort", {"-x"}, CommandAction::Usage, "", "-x: " + kUnknown, {}},
    {"FirstFromTheLeftDecides",
     {"--bogus", "--help"},
     CommandAction::Usage,
     "",
     "--bogus: " + kUnknown,
     {}},
    {"HelpBeforeMistake", {"--version", "--bogus"}, CommandAction::Version, "", "", {}},
    {"OneCommandWordOnly", {"capture", "list"}, CommandAction::Usage, "", "list: " + kExtra, {}},
    {"NotACommandWord", {"backup"}, CommandAction::Usage, "", "backup: " + kExtra, {}},
    {"OptionOfAnotherCommand",
     {"list", "--host", "h"},
     CommandAction::Usage,
     "",
     "--host: " + kUnknown,
     {}},
    {"TransferOptionWithoutCommand",
     {"--host=h"},
     CommandAction::Usage,
     "",
     "--host: " + kUnknown,
     {}},
    {"NoPasswordOption",
     {"capture", "--password=x"},
     CommandAction::Usage,
     "",
     "--password: " + kUnknown,
     {}},
    {"ToolkitOptionNotForCommands",
     {"list", "-platform", "offscreen"},
     CommandAction::Usage,
     "",
     "-platform: " + kUnknown,
     {}},
    {"DoubleDashEndsOptions", {"--", "--help"}, CommandAction::Usage, "", "--help: " + kExtra, {}},
    {"ToolkitOptionsHandedOn",
     {"-platform", "offscreen", "--data-dir", "/d", "-reverse"},
     CommandAction::Window,
     "/d",
     "",
     {"-platform", "offscreen", "-reverse"}},
    {"ToolkitOptionWithoutValue",
     {"-style"},
     CommandAction::Usage,
     "",
     "-style: " + kNeedsValue,
     {}},
};

class ParseCommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, ActionValuesAndError) {
    const ParseCase& c = GetParam();
    std::vector<std::string> args{"/usr/bin/zavoconv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandLine result = ParseCommandLine(args);
    EXPECT_EQ(result.Action, c.action);
    EXPECT_EQ(result.DataDir, c.dataDir);
    EXPECT_EQ(result.Error, c.error);
    if (c.action == CommandAction::Window) {
        std::vector<std::string> toolkit{"/usr/bin/zavoconv"};
        toolkit.insert(toolkit.end(), c.toolkit.begin(), c.toolkit.end());
        EXPECT_EQ(result.ToolkitArgs, toolkit);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseCommandLineTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The commands and what their options carry.
TEST(ParseCommandLine, CommandsAndTheirOptions) {
    struct {
        std::vector<std::string> args;
        ConsoleCommand command;
        std::string host, user, proxy, proxyPort, only, dataDir;
        bool csv, yes;
    } cases[] = {
        {{"capture"}, ConsoleCommand::Capture, "", "", "", "", "", "", false, false},
        {{"--data-dir", "/d", "capture", "--host", "rd", "--user=u", "--proxy", "p", "--proxy-port",
          "8080", "-y"},
         ConsoleCommand::Capture,
         "rd",
         "u",
         "p",
         "8080",
         "",
         "/d",
         false,
         true},
        {{"restore", "--only", "1,3,5-9", "--yes"},
         ConsoleCommand::Restore,
         "",
         "",
         "",
         "",
         "1,3,5-9",
         "",
         false,
         true},
        {{"list", "--csv", "--data-dir=/x"},
         ConsoleCommand::List,
         "",
         "",
         "",
         "",
         "",
         "/x",
         true,
         false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"zavoconv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandLine r = ParseCommandLine(args);
        SCOPED_TRACE(args[1]);
        EXPECT_EQ(r.Action, CommandAction::Console);
        EXPECT_EQ(r.Error, "");
        EXPECT_EQ(r.Command, c.command);
        EXPECT_EQ(r.Host, c.host);
        EXPECT_EQ(r.User, c.user);
        EXPECT_EQ(r.Proxy, c.proxy);
        EXPECT_EQ(r.ProxyPort, c.proxyPort);
        EXPECT_EQ(r.Only, c.only);
        EXPECT_EQ(r.DataDir, c.dataDir);
        EXPECT_EQ(r.Csv, c.csv);
        EXPECT_EQ(r.Yes, c.yes);
    }
}

TEST(UsageText, ListsOnlyTheOptionsThatWork) {
    // 使い方: zavoconv [capture | restore | list] [オプション]
    const std::string firstLine =
        "\x8e\x67\x82\xa2\x95\xfb: zavoconv [capture | restore | list] "
        "[\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\n";
    std::string usage = UsageText();
    EXPECT_EQ(usage.compare(0, firstLine.size(), firstLine), 0);
    for (const char* line :
         {"\n  capture           ", "\n  restore           ", "\n  list              ",
          "\n  --host HOST       ", "\n  --only LIST       ", "\n  -y, --yes         ",
          "\n  --data-dir DIR    ", "\n  -h, --help        ", "\n  --version         "})
        EXPECT_NE(usage.find(line), std::string::npos) << line;
    // An option of some commands names them; the password has no option at all.
    EXPECT_NE(usage.find(" [restore]\n"), std::string::npos);
    EXPECT_EQ(usage.find("--password"), std::string::npos);
    EXPECT_EQ(VersionText(), "zavoconv 2.0.0\n");
}

// --only counts as the viewer does (1 to 32) and gives file numbers (0 to 31).
TEST(ParseOnlyList, RangesAndMistakes) {
    struct {
        const char* text;
        bool ok;
        std::set<int> files;
    } cases[] = {
        {"1", true, {0}},
        {"1,3,5-7", true, {0, 2, 4, 5, 6}},
        {"32,1-2,2", true, {31, 0, 1}},
        {"", false, {}},
        {"0", false, {}},
        {"33", false, {}},
        {"5-3", false, {}},
        {"1,", false, {}},
        {"1 ,2", false, {}},
        {"-1", false, {}},
        {"0001", false, {}},
    };
    for (const auto& c : cases) {
        std::set<int> files;
        EXPECT_EQ(ParseOnlyList(c.text, files), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(files, c.files) << c.text;
        }
    }
}

}  // namespace
