#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "EntryForm.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "TestHelpers.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using testsupport::ReadBytes;

// Each data/NAME.htm is a saved reservation page; data/NAME.body holds the exact bytes
// of the form body it must give. Adding a case is adding the two files.
TEST(EntryForm, SavedPagesGiveTheirBodies) {
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(ZAVO_ENTRY_PAGES_DIR)) {
        if (entry.path().extension() != ".htm") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++pages;
        fs::path body = entry.path();
        EXPECT_EQ(BuildEntryFormBody(entry.path().string()),
                  ReadBytes(body.replace_extension(".body").string()));
    }
    // Guards against a data folder that lost its files: the cases would silently shrink.
    EXPECT_GE(pages, 20);
}

TEST(EntryForm, MissingPageRaisesOpenError) {
    const std::string path = (fs::temp_directory_path() / "no-such-dir" / "ZAVOCV00.HTM").string();
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { BuildEntryFormBody(path); }), FileOpenErrorMessage(path));
}

TEST(EntryFormText, BodyMatches) {
    // Short pages written inline, for rules that need no full form around them.
    const struct {
        const char* name;
        std::string page;
        std::string body;
    } cases[] = {
        {"Empty", "", "bExec=&lVoice=1&end_form=0"},
        {"CheckBoxAtEndOfText", "name=\"bExec\"", "bExec=&lVoice=1&end_form=0"},
        {"CheckedCaseMatters", "name=\"bExec\" CHECKED", "bExec=&lVoice=1&end_form=0"},
        {"AnyOneByteBeforeChecked", "name=\"bExec\"\tchecked>", "bExec=ON&lVoice=1&end_form=0"},
        {"TitleWithoutEnd", "value=\\\"abc\">", "bExec=&lVoice=1&end_form=0"},
        {"TitleIsFirstScriptValueWithoutCheckBox", "value=\\\"A\\\">\") value=\\\"B\\\">\")",
         "bExec=&title_name=A&lVoice=1&end_form=0"},
        {"TitleTakenAfterCheckBox",
         "value=\\\"A\\\">\") name=\"bExec\" checked value=\\\"B\\\">\")",
         "bExec=ON&title_name=B&lVoice=1&end_form=0"},
        {"SelectionValueUnchanged", "name=\"genre\"><OPTION value=\"a&%\" selected></select>",
         "bExec=&genre=a&%&lVoice=1&end_form=0"},
        {"SelectionValueBeyondKeptBytes",
         "name=\"genre\"><OPTION value=\"abcde\" selected></select>", "bExec=&lVoice=1&end_form=0"},
        {"SelectionWithoutEndTag", "name=\"genre\"><OPTION value=\"3\" selected>",
         "bExec=&lVoice=1&end_form=0"},
        {"SelectionWithoutClosingQuote", "name=\"genre\"> value=\"3 selected</select>",
         "bExec=&lVoice=1&end_form=0"},
        {"DateKeepsTwentyThreeBytes",
         "name=\"date\"><OPTION value=\"2026120800\" selected></select>",
         "bExec=&date=2026120800&lVoice=1&end_form=0"},
        // Without its blank the start time's marker is found further on, in the end time.
        {"TimeMarkerNeedsItsBlanks",
         "name=\"start_hour\" value=\"21\" name=\"end_hour\" value =\"23\"",
         "bExec=&start_hour=23&lVoice=1&end_form=0"},
        {"TimeValues",
         "name=\"start_hour\" value =\"21\" name=\"start_minute\" value =\"05\" "
         "name=\"end_hour\" value = \"23\" name=\"end_minute\" value = \"59\"",
         "bExec=&start_hour=21&start_minute=05&end_hour=23&end_minute=59&lVoice=1&end_form=0"},
        {"DetailNeedsUpperCaseScriptEnd", "</script>\r\nabc</textarea>",
         "bExec=&lVoice=1&end_form=0"},
        {"DetailSkipsTwoBytesAfterScript", "</SCRIPT>xyabc</textarea>",
         "bExec=&detail=abc&lVoice=1&end_form=0"},
        {"DetailAtEndOfText", "</SCRIPT>", "bExec=&detail=&lVoice=1&end_form=0"},
        {"DetailKeepsLineBreaks", "</SCRIPT>\r\na b\r\n\r\nc</textarea>",
         "bExec=&detail=a%20b\r\n\r\nc&lVoice=1&end_form=0"},
        {"TextEndsAtNul", "name=\"bExec\" checked\0</SCRIPT>\r\nx</textarea>"s,
         "bExec=ON&lVoice=1&end_form=0"},
    };
    for (const auto& c : cases) EXPECT_EQ(BuildEntryFormBodyFromText(c.page), c.body) << c.name;
}

struct ConvertCase {
    const char* name;
    std::string in;
    std::string out;
};

const ConvertCase kDecodeCases[] = {
    {"Quot", "&quot;a&quot;", "\"a\""},
    {"Amp", "a&amp;b", "a&b"},
    {"LtGt", "&lt;b&gt;", "<b>"},
    {"Nbsp", "a&nbsp;b", "a b"},
    {"AmpLtDecodedOnce", "&amp;lt;&amp;gt;&amp;nbsp;", "&lt;&gt;&nbsp;"},
    {"AmpQuotDecodedOnce", "&amp;quot;", "&quot;"},
    {"AmpAmpDecodedOnce", "&amp;amp;", "&amp;"},
    {"CaseMatters", "&QUOT;&Amp;&LT;", "&QUOT;&Amp;&LT;"},
    {"OthersUntouched", "&copy;&#34;&#x22;&apos;", "&copy;&#34;&#x22;&apos;"},
    {"ShiftJisUntouched", "\x97\x5c&amp;\x95\x5c", "\x97\x5c&\x95\x5c"},
    {"Incomplete", "&amp &lt", "&amp &lt"},
};

TEST(DecodeEntities, Decodes) {
    for (const ConvertCase& c : kDecodeCases) EXPECT_EQ(DecodeEntities(c.in), c.out) << c.name;
}

const ConvertCase kEncodeCases[] = {
    {"Blank", "a b", "a%20b"},
    {"Specials", "*#%<>", "%2A%23%25%3C%3E"},
    {"PlusEscaped", "A+B", "A%2BB"},
    {"CopiedAsIs", "&=?/\"\\'()-_.~!$,;:@[]{}|^`", "&=?/\"\\'()-_.~!$,;:@[]{}|^`"},
    {"ControlsCopied", "\r\n\t\x01", "\r\n\t\x01"},
    {"NulCopied", "a\0b"s, "a\0b"s},
    {"HighBytesUpperCase", "\x80\xab\xff", "%80%AB%FF"},
    {"SecondBytesBelow80Copied", "\x97\x5c\x96\xf1\x83\x65", "%97\\%96%F1%83e"},
    {"Empty", "", ""},
};

TEST(PercentEncode, Encodes) {
    for (const ConvertCase& c : kEncodeCases) EXPECT_EQ(PercentEncode(c.in), c.out) << c.name;
}

TEST(PercentEncode, EveryByteByTheRule) {
    const std::string escaped = " #%*+<>";
    for (int c = 0; c < 256; ++c) {
        std::string in(1, static_cast<char>(c));
        char expected[4];
        std::snprintf(expected, sizeof expected, "%%%02X", c);
        bool escape = c >= 0x80 || escaped.find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(PercentEncode(in), escape ? std::string(expected) : in) << c;
    }
}

}  // namespace
