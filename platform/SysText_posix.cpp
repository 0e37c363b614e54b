#include <iconv.h>

#include <cerrno>

#include "SysText.h"

namespace Sys {

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

    // Converts in; for every input sequence that cannot be converted, onBad(in, pos, out)
    // appends its replacement to out and returns how many bytes to skip.
    template <class OnBad>
    void Run(const std::string& in, std::string& out, OnBad onBad) {
        size_t pos = 0;
        char buffer[4096];
        while (pos < in.size()) {
            char* src = const_cast<char*>(in.data() + pos);
            size_t srcLeft = in.size() - pos;
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            const int err = errno;
            out.append(buffer, static_cast<size_t>(dst - buffer));
            pos = static_cast<size_t>(src - in.data());
            if (r != static_cast<size_t>(-1) || err == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
            ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            pos += onBad(in, pos, out);
        }
    }

  private:
    iconv_t cd_;
};

// The bytes of the UTF-8 character at pos: its lead byte's length when the continuation bytes
// follow, else 1 (broken UTF-8 is given up a byte at a time, and the next byte starts afresh).
size_t Utf8Length(const std::string& in, size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(in[pos]);
    const size_t n = lead >= 0xF5 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
    if (pos + n > in.size()) return 1;
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(in[pos + i]) & 0xC0) != 0x80) return 1;
    return n;
}

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
    std::string out;
    out.reserve(sjis.size() + sjis.size() / 2);
    Converter conv("UTF-8", "CP932");
    if (!conv.Ok()) {
        // No converter: keep ASCII, mark the rest, never lose the line.
        for (char c : sjis)
            out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : "\xEF\xBF\xBD";
        return out;
    }
    conv.Run(sjis, out, [](const std::string&, size_t, std::string& text) -> size_t {
        text += "\xEF\xBF\xBD";  // U+FFFD for the one byte that does not decode
        return 1;
    });
    return out;
}

std::string Utf8ToSjis(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    Converter conv("CP932", "UTF-8");
    if (!conv.Ok()) {
        for (char c : utf8) out += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
        return out;
    }
    conv.Run(utf8, out, [](const std::string& in, size_t pos, std::string& text) -> size_t {
        text += '?';
        return Utf8Length(in, pos);
    });
    return out;
}

}  // namespace Sys
