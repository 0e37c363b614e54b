#include "QtText.h"

#include "SysText.h"

namespace QtText {

QString FromSjis(const std::string& sjis) {
    const std::string utf8 = Sys::SjisToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToSjis(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return Sys::Utf8ToSjis(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QString ForDisplay(const std::string& sjis) {
    std::string lines;
    lines.reserve(sjis.size());
    for (size_t i = 0; i < sjis.size(); ++i) {
        char c = sjis[i];
        if (c == '\n' || c == '\r') {
            char next = i + 1 < sjis.size() ? sjis[i + 1] : '\0';
            if ((next == '\n' || next == '\r') && next != c) ++i;
            lines += '\n';
        } else {
            lines += c;
        }
    }
    return FromSjis(lines);
}

}  // namespace QtText
