#include "SjisText.h"

#include <iconv.h>

#include <cerrno>

std::string SjisToUtf8(const std::string& sjis) {
    std::string out;
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark the rest, never lose the line.
        for (char c : sjis)
            out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : "\xEF\xBF\xBD";
        return out;
    }
    std::string in = sjis;
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // EILSEQ or a lead byte cut at the end (EINVAL): one replacement, one byte on.
            out += "\xEF\xBF\xBD";
            ++inPtr;
            --inLeft;
        }
    }
    ::iconv_close(cd);
    return out;
}
