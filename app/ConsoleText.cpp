#include "ConsoleText.h"

#include <iconv.h>

#include <cerrno>

std::string SjisToUtf8(const std::string& sjis) {
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return sjis;
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(sjis.data());
    size_t inLeft = sjis.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t done = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or cut-off sequence: show a replacement character and step over one byte.
        out += "\xef\xbf\xbd";
        ++in;
        --inLeft;
    }
    ::iconv_close(cd);
    return out;
}
