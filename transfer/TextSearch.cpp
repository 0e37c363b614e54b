#include "TextSearch.h"

#include <cstring>
#include <string_view>

namespace {

std::string_view UpToNul(const std::string& s) {
    return std::string_view(s.data(), std::strlen(s.c_str()));
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Length of the character that starts at i: 2 for a lead byte with its second byte, else 1.
size_t CharLength(std::string_view text, size_t i) {
    return (IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// Whether pattern stands at position i of text. With ignoreCase only single-byte letters
// fold: the second byte of a double-byte character (which may lie in 'A'-'Z') is compared
// exactly, or ア and ヂ-like pairs would be taken for one another.
bool MatchesAt(std::string_view text, size_t i, std::string_view pattern, bool ignoreCase) {
    if (text.size() - i < pattern.size()) return false;
    if (!ignoreCase) return text.compare(i, pattern.size(), pattern) == 0;
    bool secondByte = false;
    for (size_t k = 0; k < pattern.size(); ++k) {
        auto p = static_cast<unsigned char>(pattern[k]);
        auto t = static_cast<unsigned char>(text[i + k]);
        if (secondByte) {
            if (p != t) return false;
            secondByte = false;
        } else {
            if (FoldAscii(p) != FoldAscii(t)) return false;
            secondByte = IsSjisLeadByte(p);
        }
    }
    return true;
}

}  // namespace

int SjisPos(const std::string& pattern, const std::string& text) {
    std::string_view p = UpToNul(pattern);
    std::string_view t = UpToNul(text);
    if (p.empty()) return 0;
    for (size_t i = 0; i < t.size(); i += CharLength(t, i)) {
        if (MatchesAt(t, i, p, false)) return static_cast<int>(i) + 1;
    }
    return 0;
}

std::string SjisReplaceAll(const std::string& text, const std::string& from, const std::string& to,
                           bool ignoreCase) {
    if (from.empty()) return text;
    std::string_view t(text);
    std::string result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < t.size()) {
        if (MatchesAt(t, i, from, ignoreCase)) {
            result += to;
            i += from.size();
        } else {
            size_t n = CharLength(t, i);
            result.append(t.substr(i, n));
            i += n;
        }
    }
    return result;
}
