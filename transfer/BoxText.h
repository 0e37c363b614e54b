// Texts a recorder supplies (its answers, addresses built from its pages) go into message
// boxes, and a recorder can send megabytes: a box laid out around such a text freezes the
// window for minutes. A box therefore shows only the start of such a text; the whole text
// stays with the caller (for a saved report, say).
#pragma once

#include <cstddef>
#include <string>

// About what a message box can show and a user can read.
inline constexpr size_t kMaxBoxChars = 1000;

// The text itself when it has at most maxChars characters (a double-byte Shift-JIS
// character counts as one); otherwise its first maxChars characters followed by "…"
// (0x81 0x63). The cut never falls inside a double-byte character.
std::string ClipForBox(const std::string& sjis, size_t maxChars = kMaxBoxChars);
