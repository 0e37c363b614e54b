#include "QtText.h"

#include <iconv.h>

#include <cerrno>

namespace {

// One iconv conversion descriptor for a call; closed on every way out.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in; for every input sequence that cannot be converted, onBad(in, pos) returns
    // how many bytes to skip and appends its replacement to out.
    template <class OnBad>
    void Run(const std::string& in, std::string& out, OnBad onBad) {
        size_t pos = 0;
        char buffer[1024];
        while (pos < in.size()) {
            char* src = const_cast<char*>(in.data() + pos);
            size_t srcLeft = in.size() - pos;
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            int err = errno;
            out.append(buffer, static_cast<size_t>(dst - buffer));
            pos = static_cast<size_t>(src - in.data());
            if (r != static_cast<size_t>(-1)) continue;
            if (err == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
            ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            pos += onBad(in, pos, out);
        }
    }

  private:
    iconv_t cd_;
};

size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

namespace QtText {

QString FromSjis(const std::string& sjis) {
    std::string utf8;
    Converter conv("UTF-8", "CP932");
    if (!conv.Ok()) return QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size()));
    conv.Run(sjis, utf8, [](const std::string&, size_t, std::string& out) -> size_t {
        out += "\xEF\xBF\xBD";  // U+FFFD for the one byte that does not decode
        return 1;
    });
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToSjis(const QString& text) {
    QByteArray bytes = text.toUtf8();
    std::string utf8(bytes.constData(), static_cast<size_t>(bytes.size()));
    std::string sjis;
    Converter conv("CP932", "UTF-8");
    if (!conv.Ok()) return utf8;
    conv.Run(utf8, sjis, [](const std::string& in, size_t pos, std::string& out) -> size_t {
        out += '?';
        size_t n = Utf8Length(static_cast<unsigned char>(in[pos]));
        return pos + n <= in.size() ? n : in.size() - pos;
    });
    return sjis;
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
