// Searching and replacing in Shift-JIS byte strings. Every page the recorder sends is
// scanned with these; nothing parses HTML.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Sjis.h"

// 1-based position of the first occurrence of pattern in text, or 0 when there is none.
// Bytes compare exactly (case matters); a match never starts on the second byte of a
// double-byte character; text and pattern both end at their first NUL. An empty pattern
// is found nowhere.
int SjisPos(const std::string& pattern, const std::string& text);

// 0-based index of the first occurrence of pattern in text at or after from, or npos. The
// walk over the characters starts at from as if a character began there (so a search
// from where an earlier match ended behaves like a search of the text cut off there).
// Neither text nor pattern is cut at a NUL; an empty pattern is found nowhere.
size_t SjisFind(std::string_view text, std::string_view pattern, size_t from = 0);

// Every occurrence of from in text replaced by to, left to right, without rescanning what
// was put in; like SjisPos a match never starts on a second byte. With ignoreCase the
// ASCII letters compare without regard to case. An empty from leaves text as it is. The
// whole text is processed, NUL bytes included.
std::string SjisReplaceAll(const std::string& text, const std::string& from, const std::string& to,
                           bool ignoreCase = false);
