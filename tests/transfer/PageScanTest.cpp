#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "PageScan.h"

namespace {

using std::string_literals::operator""s;

struct SegmentCase {
    const char* name;
    std::string page;
    bool found;
    std::string segment;  // expected; "KEEP" stays when not found
    // ctest lists the case by its name rather than its bytes.
    friend void PrintTo(const SegmentCase& c, std::ostream* os) { *os << c.name; }
};

class SegmentSearch : public testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentSearch, FindsTheSegmentBeforeProgramHtm) {
    const SegmentCase& c = GetParam();
    std::string segment = "KEEP";
    EXPECT_EQ(FindProgramSegment(c.page, segment), c.found);
    EXPECT_EQ(segment, c.segment);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SegmentSearch,
    testing::Values(SegmentCase{"FramePath", "<frame src=\"/program/A1B2/program.htm\" name=\"l\">",
                                true, "A1B2"},
                    SegmentCase{"FirstOfTwo", "x/S1/program.htm y/S2/program.htm", true, "S1"},
                    SegmentCase{"NoSlashBefore", "abc/program.htm", true, "abc"},
                    SegmentCase{"AtStart", "/program.htm", true, ""},
                    SegmentCase{"SlashDirectlyBefore", "/program//program.htm", true, ""},
                    SegmentCase{"Absent", "<html>no frame</html>", false, "KEEP"},
                    SegmentCase{"CaseMatters", "/program/X/PROGRAM.HTM", false, "KEEP"},
                    SegmentCase{"AfterNul", "\0/program/X/program.htm"s, false, "KEEP"},
                    SegmentCase{"DoubleByteInSegment", "/program/\x83\x5c\x83\x74/program.htm",
                                true, "\x83\x5c\x83\x74"}),
    [](const testing::TestParamInfo<SegmentCase>& info) { return info.param.name; });

struct LinkCase {
    const char* name;
    std::string page;
    bool ok;
    std::string slot;  // expected; "KEEP" stays when no link is read
    // ctest lists the case by its name rather than its bytes.
    friend void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
};

class LinkScan : public testing::TestWithParam<LinkCase> {};

TEST_P(LinkScan, TakesTheLastLinkNumber) {
    const LinkCase& c = GetParam();
    std::string slot = "KEEP";
    EXPECT_EQ(ScanReservationLinks(c.page, slot), c.ok);
    EXPECT_EQ(slot, c.slot);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LinkScan,
    testing::Values(
        LinkCase{"NoLink", "<html></html>", true, "KEEP"},
        LinkCase{"OneDigit", "<a href=\"b_proginfo.htm?3\">x</a>", true, "3"},
        LinkCase{"LastOfSeveral",
                 "<a href=\"b_proginfo.htm?0\">a</a><a href=\"b_proginfo.htm?1\">b</a>"
                 "<a href=\"b_proginfo.htm?12\">new</a>",
                 true, "12"},
        LinkCase{"NextLinkTooClose", "b_proginfo.htm?1\"b_proginfo.htm?2\"", true, "1"},
        LinkCase{"ThreeDigits", "<a href=\"b_proginfo.htm?0\">a</a><a href=\"b_proginfo.htm?123\">",
                 false, "0"},
        LinkCase{"AtTheVeryEnd", "b_proginfo.htm?", false, "KEEP"},
        LinkCase{"OneCharNoQuoteAtEnd", "b_proginfo.htm?5", false, "KEEP"},
        LinkCase{"QuoteAfterOneCharAtEnd", "b_proginfo.htm?5\"", true, "5"},
        LinkCase{"NotADigit", "b_proginfo.htm?A\"", true, "A"},
        LinkCase{"EmptyNumber", "b_proginfo.htm?\"x\"", true, "\"x"},
        LinkCase{"NulEndsThePage", "b_proginfo.htm?4\"\0b_proginfo.htm?7\""s, true, "4"},
        // 0x83 0x62 is one double-byte character: the link cannot start on its second byte.
        LinkCase{"SecondByteNotAMatch",
                 "\x83"
                 "b_proginfo.htm?5\"",
                 true, "KEEP"}),
    [](const testing::TestParamInfo<LinkCase>& info) { return info.param.name; });

struct AnswerCase {
    const char* name;
    std::string page;
    std::string answer;
    // ctest lists the case by its name rather than its bytes.
    friend void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }
};

class AnswerExtraction : public testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerExtraction, TakesTheRecordersMessage) {
    EXPECT_EQ(ExtractEntryAnswer(GetParam().page), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, AnswerExtraction,
    testing::Values(AnswerCase{"Msg", "<script>var msg=\"OK\\r\\nDone\";</script>", "OKDone"},
                    AnswerCase{"Alert", "<script>alert(\"full\\r\\n\");</script>", "full"},
                    AnswerCase{"MsgWinsOverEarlierAlert", "alert(\"A\"); msg=\"M\";", "M"},
                    AnswerCase{"Neither", "<html>thanks</html>", ""},
                    AnswerCase{"NoClosingQuote", "msg=\"unterminated", ""},
                    AnswerCase{"EmptyMessage", "msg=\"\"", ""},
                    AnswerCase{"UpperCaseEscapeRemoved", "msg=\"a\\R\\nb\\r\\Nc\"", "abc"},
                    AnswerCase{"RealLineBreakKept", "msg=\"a\r\nb\"", "a\r\nb"},
                    // 予 is 0x97 0x5C: its second byte is no backslash of an escape sequence.
                    AnswerCase{"SecondByteBackslashKept", "msg=\"\x97\x5cr\\n\"", "\x97\x5cr\\n"},
                    AnswerCase{"NulEndsThePage", "msg=\"ab\0cd\""s, ""}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

}  // namespace
