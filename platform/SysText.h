// Shift-JIS (code page 932) text leaving the program for a world that reads Unicode, and
// coming back: a terminal, a CSV file, a widget. iconv on POSIX, the code page 932 calls on
// Windows; both give the same characters for every code both accept.
#pragma once

#include <string>

namespace Sys {

// Code page 932 bytes to UTF-8; the whole string, NULs included. A byte that begins no valid
// character becomes U+FFFD and the text goes on with the next byte: nothing is cut short or
// swallowed.
std::string SjisToUtf8(const std::string& sjis);

// UTF-8 to code page 932. A character Shift-JIS cannot hold becomes '?' (no look-alike is
// put in its place), and so does every byte of broken UTF-8.
std::string Utf8ToSjis(const std::string& utf8);

}  // namespace Sys
