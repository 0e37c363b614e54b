// Shift-JIS to and from UTF-8 at the program's edges: a bad byte costs one replacement and
// nothing else, and no look-alike ever stands in for a character Shift-JIS lacks.
#include <gtest/gtest.h>

#include <string>

#include "SysText.h"

namespace {

using namespace std::string_literals;

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

TEST(SysText, SjisToUtf8ReplacesEachBadByteAndKeepsTheRest) {
    const struct {
        const char* name;
        std::string sjis, utf8;
    } rows[] = {
        {"Valid", "a\x97\x5c\x96\xf1", "a\xE4\xBA\x88\xE7\xB4\x84"},  // a予約
        {"LeadByteAtTheEnd", "a\x82", "a" + kReplacement},
        {"LeadByteBeforeABlank", "\x82\x20", kReplacement + " "},
        {"ByteWithoutAnyCharacter", "\xFF", kReplacement},
        {"ValidCharacterAfterABadByte", "\xFF\x82\xA0", kReplacement + "\xE3\x81\x82"},  // あ
        {"NulKept", "a\0b"s, "a\0b"s},
    };
    for (const auto& row : rows) EXPECT_EQ(Sys::SjisToUtf8(row.sjis), row.utf8) << row.name;
}

TEST(SysText, Utf8ToSjisPutsOneQuestionMarkForWhatItCannotHold) {
    const struct {
        const char* name;
        std::string utf8, sjis;
    } rows[] = {
        {"Valid", "a\xE4\xBA\x88\xE7\xB4\x84", "a\x97\x5c\x96\xf1"},
        {"AccentedLetterHasNoLookAlike", "\xC3\xA9", "?"},  // é
        {"CharacterBeyondTheBasicPlane", "\xF0\x9F\x98\x80z", "?z"},
        {"StrayContinuationByte", "\x80z", "?z"},
        {"ByteThatBeginsNoCharacter", "\xFFz", "?z"},
        {"LeadByteWithoutItsContinuation", "\xC3(", "?("},
        {"NulKept", "a\0b"s, "a\0b"s},
    };
    for (const auto& row : rows) EXPECT_EQ(Sys::Utf8ToSjis(row.utf8), row.sjis) << row.name;
}

}  // namespace
