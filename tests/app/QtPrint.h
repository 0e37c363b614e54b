// Qt values in GoogleTest: readable failure output, and Qt text from a UTF-8 literal.
#pragma once

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// The text of a UTF-8 literal, for comparing with what a widget shows.
inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
