#include <windows.h>

#include "SysText.h"
#include "Win32Util.h"

namespace Sys {

namespace {

constexpr UINT kShiftJis = 932;
constexpr size_t kRun = 16384;

// Converts bytes that must all be valid Shift-JIS; false when one is not.
bool StrictToUtf16(const char* data, size_t size, std::wstring& out) {
    const int n = ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, data,
                                        static_cast<int>(size), nullptr, 0);
    if (n <= 0) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, data, static_cast<int>(size),
                          out.data() + at, n);
    return true;
}

// The length of the character that starts at i: two bytes for a lead byte (0x81-0x9F,
// 0xE0-0xFC) with a byte after it, one otherwise.
size_t CharLength(const std::string& text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && i + 1 < text.size() ? 2 : 1;
}

// UTF-16 to code page 932 without best fit, '?' for what it cannot hold.
std::string StrictToSjis(const std::wstring& text) {
    const char unknown = '?';
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                        0, &unknown, nullptr);
    if (n <= 0) return std::string(text.size(), '?');
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), n,
                          &unknown, nullptr);
    return bytes;
}

std::wstring BackToUtf16(const std::string& bytes) {
    std::wstring wide;
    if (!bytes.empty() && !StrictToUtf16(bytes.data(), bytes.size(), wide)) return L"\xFFFD";
    return wide;
}

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
    // Runs that are valid convert in one call. A run holding a bad sequence goes character by
    // character: the system's own replacement (U+30FB) would swallow the byte after a bad
    // lead byte, where the program shows U+FFFD for that one byte and goes on with the next.
    std::wstring wide;
    wide.reserve(sjis.size());
    size_t i = 0;
    while (i < sjis.size()) {
        size_t end = i;
        while (end < sjis.size() && end - i < kRun) end += CharLength(sjis, end);
        if (!StrictToUtf16(sjis.data() + i, end - i, wide)) {
            for (size_t k = i; k < end;) {
                const size_t length = CharLength(sjis, k);
                if (StrictToUtf16(sjis.data() + k, length, wide)) {
                    k += length;
                } else {
                    wide += L'\xFFFD';
                    ++k;
                }
            }
        }
        i = end;
    }
    return Win32::Narrow(wide);
}

std::string Utf8ToSjis(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::wstring run;
    auto flush = [&] {
        if (run.empty()) return;
        // No best fit: a character Shift-JIS lacks becomes '?', never a look-alike. What the
        // call gives is read back, so that no system that fits anyway gets past: a run that
        // does not come back whole goes again a character at a time.
        const std::string bytes = StrictToSjis(run);
        if (BackToUtf16(bytes) == run) {
            out += bytes;
        } else {
            for (wchar_t c : run) {
                const std::wstring one(1, c);
                const std::string b = StrictToSjis(one);
                out += BackToUtf16(b) == one ? b : std::string("?");
            }
        }
        run.clear();
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // The character's length by its lead byte, when its continuation bytes follow.
        size_t length = lead < 0x80    ? 1
                        : lead >= 0xF5 ? 0
                        : lead >= 0xF0 ? 4
                        : lead >= 0xE0 ? 3
                        : lead >= 0xC2 ? 2
                                       : 0;
        if (length > 1 && i + length > utf8.size()) length = 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; length > 1 && k < length; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) length = 0;
            code = (code << 6) | (c & 0x3F);
        }
        if (length == 0) {
            // Broken UTF-8 is given up one byte at a time; the next byte starts afresh.
            flush();
            out += '?';
            ++i;
            continue;
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code >= 0x10000) {
            // A whole character that is no character, or one beyond the first plane, which
            // Shift-JIS does not reach: one '?' for all of it.
            flush();
            out += '?';
        } else {
            run += static_cast<wchar_t>(code);
        }
        i += length;
    }
    flush();
    return out;
}

}  // namespace Sys
