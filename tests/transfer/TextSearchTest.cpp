#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "BoxText.h"
#include "TextSearch.h"

using namespace std::string_literals;

namespace {

TEST(SjisPos, FindsFirstOccurrenceOnCharacterBoundary) {
    // 予 is 97 5C, 表 is 95 5C, あ is 82 A0: their second bytes look like "\" and a lead byte.
    const struct {
        const char* name;
        std::string pattern;
        std::string text;
        int expected;
    } cases[] = {
        {"FoundAtStart", "abc", "abcabc", 1},
        {"FirstOfSeveral", "abc", "xxabcabc", 3},
        {"AtTheVeryEnd", "bc", "abc", 2},
        {"Absent", "abd", "abcabc", 0},
        {"CaseMatters", "ABC", "abc", 0},
        {"EmptyPatternFoundNowhere", "", "abc", 0},
        {"EmptyText", "a", "", 0},
        {"PatternLongerThanText", "abcd", "abc", 0},
        {"BackslashAsSecondByteSkipped", "\\", "\x97\x5c", 0},
        {"BackslashAfterDoubleByte", "\\", "\x97\x5c\\", 3},
        {"MarkerStartingOnSecondByteSkipped", "\\\">\")", "\x95\x5c\">\")", 0},
        {"MarkerAfterSecondByteFound", "\\\">\")", "\x95\x5c\\\">\")", 3},
        {"LeadLikeSecondByteSkipped", "\xa0\x82", "\x82\xa0\x82\xa0", 0},
        {"DoubleBytePattern", "\x97\x5c\x96\xf1", "\x90\x56\x8b\x4b\x97\x5c\x96\xf1", 5},
        {"DoubleBytePatternNotInsideOtherCharacters", "\x4b\x97", "\x90\x56\x8b\x4b\x97\x5c", 0},
        {"SingleByteKatakanaIsNoLeadByte", "\xb2", "\xb1\xb2", 2},
        {"ByteA0IsNoLeadByte", "a", "\xa0"s + "a", 2},
        {"BytesFDToFFAreNoLeadBytes", "a", "\xfd\xfe\xff"s + "a", 4},
        {"LeadBytesAtBothEndsOfRanges", "a", "\x81"s + "a\x9f" + "a\xe0" + "a\xfc" + "aa", 9},
        {"LoneLeadByteAtEnd", "\x82", "a\x82", 2},
        {"TextEndsAtNul", "b", "a\0b"s, 0},
        {"MatchBeforeNul", "a", "xa\0a"s, 2},
        {"PatternEndsAtNul", "a\0zz"s, "xa", 2},
        {"MarkerSpanningNulNotFound", "ab", "a\0b"s, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SjisPos(c.pattern, c.text), c.expected) << c.name;
}

// The search against a plain walk over the characters, on every text of up to seven bytes
// made of lead bytes, second-byte look-alikes and plain letters, from every start.
TEST(SjisFind, SameAsAWalkOverTheCharacters) {
    const std::string alphabet = "\x81\xe0\x5c"s + "a\xa0";
    const std::string patterns[] = {"a",        "\x81",  "\x5c",       "\x81\x81",
                                    "\x81\x5c", "a\x81", "\xe0"s + "a"};
    auto walk = [](std::string_view text, std::string_view pattern, size_t from) {
        for (size_t i = from; i + pattern.size() <= text.size();) {
            if (text.compare(i, pattern.size(), pattern) == 0) return i;
            i += IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        }
        return std::string_view::npos;
    };
    std::string text;
    std::function<void()> each = [&] {
        for (const std::string& pattern : patterns)
            for (size_t from = 0; from <= text.size(); ++from)
                ASSERT_EQ(SjisFind(text, pattern, from), walk(text, pattern, from))
                    << testing::PrintToString(text) << " " << testing::PrintToString(pattern)
                    << " from " << from;
        if (text.size() == 7) return;
        for (char c : alphabet) {
            text.push_back(c);
            each();
            text.pop_back();
            if (testing::Test::HasFatalFailure()) return;
        }
    };
    each();
}

TEST(IsSjisLeadByte, RangesExactly) {
    for (int c = 0; c < 256; ++c) {
        bool lead = (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
        EXPECT_EQ(IsSjisLeadByte(static_cast<unsigned char>(c)), lead) << c;
    }
}

TEST(SjisReplaceAll, ReplacesEveryOccurrence) {
    const struct {
        const char* name;
        std::string text;
        std::string from;
        std::string to;
        bool ignoreCase;
        std::string expected;
    } cases[] = {
        {"AllOccurrences", "<input type=\"password\"><input type=\"password\">",
         "type=\"password\"", "type=\"text\"", false, "<input type=\"text\"><input type=\"text\">"},
        {"CaseSensitiveByDefault", "TYPE=\"PASSWORD\"", "type=\"password\"", "type=\"text\"", false,
         "TYPE=\"PASSWORD\""},
        {"NoRescanOfReplacement", "aaa", "a", "aa", false, "aaaaaa"},
        {"LeftToRight", "aaaa", "aa", "b", false, "bb"},
        {"OverlapTakenFromLeft", "aaa", "aa", "b", false, "ba"},
        {"EmptyFromLeavesText", "abc", "", "x", false, "abc"},
        {"ToEmptyRemoves", "a&b&c", "&", "", false, "abc"},
        {"SecondByteNeverMatched", "\x97\x5c\\", "\\", "/", false, "\x97\x5c/"},
        {"NulKept", "a\0a"s, "a", "b", false, "b\0b"s},
        {"IgnoreCaseFoldsAscii", "x\\R\\Ny\\r\\nz\\r\\N", "\\r\\n", "", true, "xyz"},
        {"IgnoreCaseKeepsSecondBytesExact", "\x83\x41", "\x83\x61", "!", true, "\x83\x41"},
        {"IgnoreCaseMatchesDoubleByteExactly", "a\x83\x41", "A\x83\x41", "!", true, "!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SjisReplaceAll(c.text, c.from, c.to, c.ignoreCase), c.expected) << c.name;
}

TEST(ClipForBox, CutsOnACharacterBoundaryWithEllipsis) {
    // 予 is 97 5C; … is 81 63.
    const struct {
        const char* name;
        std::string text;
        size_t maxChars;
        std::string expected;
    } cases[] = {
        {"ShortKept", "abc", 3, "abc"},
        {"LongCutWithEllipsis", "abcd", 3, "abc\x81\x63"},
        {"DoubleByteCountsAsOne", "a\x97\x5c\x97\x5c", 3, "a\x97\x5c\x97\x5c"},
        {"CutAfterWholeDoubleByte", "ab\x97\x5c\x97\x5c", 3, "ab\x97\x5c\x81\x63"},
        {"DanglingLeadByteKept", "ab\x97", 3, "ab\x97"},
        {"DefaultBoundIs1000", std::string(1001, 'x'), kMaxBoxChars,
         std::string(1000, 'x') + "\x81\x63"},
        {"ExactlyTheBoundKept", std::string(1000, 'x'), kMaxBoxChars, std::string(1000, 'x')},
    };
    for (const auto& c : cases) EXPECT_EQ(ClipForBox(c.text, c.maxChars), c.expected) << c.name;
}

}  // namespace
