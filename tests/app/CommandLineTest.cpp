#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConsoleTransfer.h"
#include "TestFiles.h"

namespace {

using enum CommandAction;
using enum ConsoleCommand;
using Args = std::vector<std::string>;

// "不明なオプションです", "値が必要です", "余分な引数です"
const std::string kUnknown =
    "\x95\x73\x96\xbe\x82\xc8\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93\x82\xc5\x82\xb7";
const std::string kNeedsValue = "\x92\x6c\x82\xaa\x95\x4b\x97\x76\x82\xc5\x82\xb7";
const std::string kExtra = "\x97\x5d\x95\xaa\x82\xc8\x88\xf8\x90\x94\x82\xc5\x82\xb7";

struct ParseCase {
    const char* name;
    Args args;  // after the program name
    CommandAction action;
    std::string dataDir;
    std::string error;
    Args toolkit = {};  // after the program name
};

const ParseCase kCases[] = {
    {"NoArguments", {}, Window, "", ""},
    {"Help", {"--help"}, Help, "", ""},
    {"ShortHelp", {"-h"}, Help, "", ""},
    {"Version", {"--version"}, Version, "", ""},
    {"DataDirSeparate", {"--data-dir", "/d"}, Window, "/d", ""},
    {"DataDirJoined", {"--data-dir=/d x"}, Window, "/d x", ""},
    {"DataDirLastWins", {"--data-dir=/a", "--data-dir", "/b"}, Window, "/b", ""},
    {"DataDirMissing", {"--data-dir"}, Usage, "", "--data-dir: " + kNeedsValue},
    {"DataDirEmpty", {"--data-dir="}, Usage, "", "--data-dir: " + kNeedsValue},
    {"Unknown", {"--bogus"}, Usage, "", "--bogus: " + kUnknown},
    {"UnknownWithValue", {"--bogus=1"}, Usage, "", "--bogus: " + kUnknown},
    {"FlagWithValue", {"--help=1"}, Usage, "", "--help=1: " + kUnknown},
    {"UnknownShort", {"-x"}, Usage, "", "-x: " + kUnknown},
    {"FirstFromTheLeftDecides", {"--bogus", "--help"}, Usage, "", "--bogus: " + kUnknown},
    {"HelpBeforeMistake", {"--version", "--bogus"}, Version, "", ""},
    {"OneCommandWordOnly", {"capture", "list"}, Usage, "", "list: " + kExtra},
    {"NotACommandWord", {"backup"}, Usage, "", "backup: " + kExtra},
    {"OptionOfAnotherCommand", {"list", "--host", "h"}, Usage, "", "--host: " + kUnknown},
    {"TransferOptionWithoutCommand", {"--host=h"}, Usage, "", "--host: " + kUnknown},
    {"NoPasswordOption", {"capture", "--password=x"}, Usage, "", "--password: " + kUnknown},
    {"ToolkitOptionNotForCommands", Args{"list", "-platform", "offscreen"}, Usage, "",
     "-platform: " + kUnknown},
    {"DoubleDashEndsOptions", {"--", "--help"}, Usage, "", "--help: " + kExtra},
    {"ToolkitOptionsHandedOn", Args{"-platform", "offscreen", "--data-dir", "/d", "-reverse"},
     Window, "/d", "", Args{"-platform", "offscreen", "-reverse"}},
    {"ToolkitOptionWithoutValue", {"-style"}, Usage, "", "-style: " + kNeedsValue},
};

TEST(ParseCommandLine, ActionValuesAndError) {
    for (const ParseCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Args args{"/usr/bin/zavoconv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CommandLine result = ParseCommandLine(args);
        EXPECT_EQ(result.Action, c.action);
        EXPECT_EQ(result.DataDir, c.dataDir);
        EXPECT_EQ(result.Error, c.error);
        if (c.action == Window) {
            Args toolkit{"/usr/bin/zavoconv"};
            toolkit.insert(toolkit.end(), c.toolkit.begin(), c.toolkit.end());
            EXPECT_EQ(result.ToolkitArgs, toolkit);
        }
    }
}

// The commands and what their options carry.
TEST(ParseCommandLine, CommandsAndTheirOptions) {
    struct {
        Args args;
        ConsoleCommand command;
        Args values;  // host, user, proxy, proxy port, only, data folder
        bool csv, yes;
    } cases[] = {
        {{"capture"}, Capture, {"", "", "", "", "", ""}, false, false},
        {Args{"--data-dir", "/d", "capture", "--host", "rd", "--user=u", "--proxy", "p",
              "--proxy-port", "8080", "-y"},
         Capture, Args{"rd", "u", "p", "8080", "", "/d"}, false, true},
        {Args{"restore", "--only", "1,3,5-9", "--yes"}, Restore,
         Args{"", "", "", "", "1,3,5-9", ""}, false, true},
        {{"list", "--csv", "--data-dir=/x"}, List, {"", "", "", "", "", "/x"}, true, false},
    };
    for (const auto& c : cases) {
        Args args{"zavoconv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandLine r = ParseCommandLine(args);
        SCOPED_TRACE(args[1]);
        EXPECT_EQ(r.Action, Console);
        EXPECT_EQ(r.Error, "");
        EXPECT_EQ(r.Command, c.command);
        EXPECT_EQ((std::vector{r.Host, r.User, r.Proxy, r.ProxyPort, r.Only, r.DataDir}), c.values);
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

// Minus signs as the manual page writes them ("\-\-host").
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

// The manual page describes every command and option of the usage, each with its value,
// and no option the program does not know; and the password's variable.
TEST(UsageText, ManualPageDescribesTheSameCommandsAndOptions) {
    const std::string page = testsupport::ReadBytes(ZAVO_MANUAL_PAGE);
    std::set<std::string> usageOptions;
    std::istringstream usage(UsageText());
    for (std::string line; std::getline(usage, line);) {
        if (line.rfind("  ", 0) != 0) continue;
        // "  -y, --yes         ..." or "  --host HOST       ..." or "  capture           ..."
        std::istringstream names(line.substr(2, line.find("  ", 2) - 2));
        std::vector<std::string> words;
        for (std::string word; names >> word;) words.push_back(word);
        std::string item;
        if (words[0][0] != '-') {
            item = ".B " + words[0];
        } else if (words[0].back() == ',') {  // "-y, --yes"
            item = ".BR " + Roff(words[0].substr(0, words[0].size() - 1)) + " \", \" " +
                   Roff(words[1]);
        } else if (words.size() == 2) {  // "--host HOST"
            item = ".BI " + Roff(words[0]) + " \" " + words[1] + "\"";
        } else {
            item = ".B " + Roff(words[0]);
        }
        EXPECT_NE(page.find(".TP\n" + item + "\n"), std::string::npos) << item;
        for (std::string word : words) {
            if (word[0] != '-') continue;
            if (word.back() == ',') word.pop_back();
            usageOptions.insert(word);
        }
    }
    // Every option the page names: a minus or two and a word, standing alone ("\-platform",
    // a Qt option, is not one of the program's).
    std::string plain = page;
    for (size_t at; (at = plain.find("\\-")) != std::string::npos;) plain.erase(at, 1);
    std::set<std::string> pageOptions;
    static const std::regex option(R"((?:^|[\s(\[])(--[a-z][a-z-]*|-[a-z])(?![a-z]))");
    for (std::sregex_iterator it(plain.begin(), plain.end(), option), end; it != end; ++it)
        pageOptions.insert((*it)[1]);
    EXPECT_EQ(pageOptions, usageOptions);
    EXPECT_EQ(usageOptions.size(), 13u);
    EXPECT_NE(UsageText().find(" ZAVOCONV_PASSWORD "), std::string::npos);
    EXPECT_NE(page.find(".SH ENVIRONMENT\n.TP\n.B ZAVOCONV_PASSWORD\n"), std::string::npos);
}

// --only counts as the viewer does (1 to 32) and gives file numbers (0 to 31).
TEST(ParseOnlyList, RangesAndMistakes) {
    const std::pair<const char*, std::set<int>> good[] = {
        {"1", {0}}, {"1,3,5-7", {0, 2, 4, 5, 6}}, {"32,1-2,2", {31, 0, 1}}};
    for (const auto& [text, expected] : good) {
        std::set<int> files;
        EXPECT_TRUE(ParseOnlyList(text, files)) << text;
        EXPECT_EQ(files, expected) << text;
    }
    for (const char* text : {"", "0", "33", "5-3", "1,", "1 ,2", "-1", "0001"}) {
        std::set<int> files;
        EXPECT_FALSE(ParseOnlyList(text, files)) << text;
    }
}

}  // namespace
