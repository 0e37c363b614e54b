// Shift-JIS text leaving the program for a world that reads UTF-8: a terminal, a CSV file.
#pragma once

#include <string>

// Converts code page 932 bytes to UTF-8. A byte that is no valid Shift-JIS becomes U+FFFD and
// the rest of the text still follows; nothing is cut short.
std::string SjisToUtf8(const std::string& sjis);
