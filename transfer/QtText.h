// Conversion between the program's Shift-JIS byte strings and the widgets' QString, done only
// at the widget boundary. Nothing here ever throws or cuts a text short: a byte that is no
// valid Shift-JIS shows as U+FFFD, a character Shift-JIS cannot hold becomes "?".
#pragma once

#include <QString>
#include <string>

namespace QtText {

// Shift-JIS (code page 932) bytes to a QString; the whole string is converted, NULs included.
QString FromSjis(const std::string& sjis);

// A QString to Shift-JIS bytes.
std::string ToSjis(const QString& text);

// A message text made for the recorder's conventions (LF CR between lines) as a widget shows
// it: LF CR, CR LF and a lone CR each become one LF.
QString ForDisplay(const std::string& sjis);

}  // namespace QtText
