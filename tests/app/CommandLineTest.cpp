#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"

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
    {"NoCommandWordsYet", {"capture"}, CommandAction::Usage, "", "capture: " + kExtra, {}},
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

TEST(UsageText, ListsOnlyTheOptionsThatWork) {
    // 使い方: zavoconv [オプション]
    const std::string firstLine =
        "\x8e\x67\x82\xa2\x95\xfb: zavoconv [\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\n";
    std::string usage = UsageText();
    EXPECT_EQ(usage.compare(0, firstLine.size(), firstLine), 0);
    for (const char* option :
         {"\n  --data-dir DIR  ", "\n  -h, --help      ", "\n  --version       "})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    for (const char* absent : {"capture", "restore", "list", "--host"})
        EXPECT_EQ(usage.find(absent), std::string::npos) << absent;
    EXPECT_EQ(VersionText(), "zavoconv 2.0.0\n");
}

}  // namespace
