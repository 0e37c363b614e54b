#include <gtest/gtest.h>

#include <string>

#include "PageScan.h"

namespace {

using std::string_literals::operator""s;

TEST(SegmentSearch, FindsTheSegmentBeforeProgramHtm) {
    const struct {
        const char* name;
        std::string page;
        bool found;
        std::string segment;  // expected; "KEEP" stays when not found
    } cases[] = {
        {"FramePath", "<frame src=\"/program/A1B2/program.htm\" name=\"l\">", true, "A1B2"},
        {"FirstOfTwo", "x/S1/program.htm y/S2/program.htm", true, "S1"},
        {"NoSlashBefore", "abc/program.htm", true, "abc"},
        {"AtStart", "/program.htm", true, ""},
        {"SlashDirectlyBefore", "/program//program.htm", true, ""},
        {"Absent", "<html>no frame</html>", false, "KEEP"},
        {"CaseMatters", "/program/X/PROGRAM.HTM", false, "KEEP"},
        {"AfterNul", "\0/program/X/program.htm"s, false, "KEEP"},
        {"DoubleByteInSegment", "/program/\x83\x5c\x83\x74/program.htm", true, "\x83\x5c\x83\x74"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string segment = "KEEP";
        EXPECT_EQ(FindProgramSegment(c.page, segment), c.found);
        EXPECT_EQ(segment, c.segment);
    }
}

TEST(LinkScan, TakesTheLastLinkNumber) {
    const struct {
        const char* name;
        std::string page;
        bool ok;
        std::string slot;  // expected; "KEEP" stays when no link is read
    } cases[] = {
        {"NoLink", "<html></html>", true, "KEEP"},
        {"OneDigit", "<a href=\"b_proginfo.htm?3\">x</a>", true, "3"},
        {"LastOfSeveral",
         "<a href=\"b_proginfo.htm?0\">a</a><a href=\"b_proginfo.htm?1\">b</a>"
         "<a href=\"b_proginfo.htm?12\">new</a>",
         true, "12"},
        {"NextLinkTooClose", "b_proginfo.htm?1\"b_proginfo.htm?2\"", true, "1"},
        {"ThreeDigits", "<a href=\"b_proginfo.htm?0\">a</a><a href=\"b_proginfo.htm?123\">", false,
         "0"},
        {"AtTheVeryEnd", "b_proginfo.htm?", false, "KEEP"},
        {"OneCharNoQuoteAtEnd", "b_proginfo.htm?5", false, "KEEP"},
        {"QuoteAfterOneCharAtEnd", "b_proginfo.htm?5\"", true, "5"},
        {"NotADigit", "b_proginfo.htm?A\"", true, "A"},
        {"EmptyNumber", "b_proginfo.htm?\"x\"", true, "\"x"},
        {"NulEndsThePage", "b_proginfo.htm?4\"\0b_proginfo.htm?7\""s, true, "4"},
        // 0x83 0x62 is one double-byte character: the link cannot start on its second byte.
        {"SecondByteNotAMatch", "\x83"s + "b_proginfo.htm?5\"", true, "KEEP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string slot = "KEEP";
        EXPECT_EQ(ScanReservationLinks(c.page, slot), c.ok);
        EXPECT_EQ(slot, c.slot);
    }
}

TEST(AnswerExtraction, TakesTheRecordersMessage) {
    const struct {
        const char* name;
        std::string page;
        std::string answer;
    } cases[] = {
        {"Msg", "<script>var msg=\"OK\\r\\nDone\";</script>", "OKDone"},
        {"Alert", "<script>alert(\"full\\r\\n\");</script>", "full"},
        {"MsgWinsOverEarlierAlert", "alert(\"A\"); msg=\"M\";", "M"},
        {"Neither", "<html>thanks</html>", ""},
        {"NoClosingQuote", "msg=\"unterminated", ""},
        {"EmptyMessage", "msg=\"\"", ""},
        {"UpperCaseEscapeRemoved", "msg=\"a\\R\\nb\\r\\Nc\"", "abc"},
        {"RealLineBreakKept", "msg=\"a\r\nb\"", "a\r\nb"},
        // 予 is 0x97 0x5C: its second byte is no backslash of an escape sequence.
        {"SecondByteBackslashKept", "msg=\"\x97\x5cr\\n\"", "\x97\x5cr\\n"},
        {"NulEndsThePage", "msg=\"ab\0cd\""s, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractEntryAnswer(c.page), c.answer) << c.name;
}

}  // namespace
