// The program's Shift-JIS texts as a terminal shows them: UTF-8, which is what every desktop
// terminal of today expects. Used only where a text leaves for standard output or error.
#pragma once

#include <string>

// Converts code page 932 bytes to UTF-8. A byte that is no valid Shift-JIS becomes U+FFFD and
// the rest of the text still follows; nothing is cut short.
std::string SjisToUtf8(const std::string& sjis);
