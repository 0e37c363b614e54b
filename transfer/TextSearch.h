// Searching and replacing in Shift-JIS byte strings. Every page the recorder sends is
// scanned with these; nothing parses HTML.
#pragma once

#include <string>

#include "Sjis.h"

// 1-based position of the first occurrence of pattern in text, or 0 when there is none.
// Bytes compare exactly (case matters); a match never starts on the second byte of a
// double-byte character; text and pattern both end at their first NUL. An empty pattern
// is found nowhere.
int SjisPos(const std::string& pattern, const std::string& text);

// Every occurrence of from in text replaced by to, left to right, without rescanning what
// was put in; like SjisPos a match never starts on a second byte. With ignoreCase the
// ASCII letters compare without regard to case. An empty from leaves text as it is. The
// whole text is processed, NUL bytes included.
std::string SjisReplaceAll(const std::string& text, const std::string& from, const std::string& to,
                           bool ignoreCase = false);
