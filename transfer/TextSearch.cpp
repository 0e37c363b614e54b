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
    const size_t at = SjisFind(UpToNul(text), UpToNul(pattern));
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

size_t SjisFind(std::string_view text, std::string_view pattern, size_t from) {
    if (pattern.empty() || pattern.size() > text.size()) return std::string_view::npos;
    // The bytes are searched as bytes (the library's search is far quicker than a walk over
    // the characters); a hit counts only where that walk would stand. A byte outside the
    // lead-byte ranges always ends a character, so only the run of lead-range bytes right
    // before a hit decides: those pair up from the character start in front of them, and an
    // odd run puts the hit on a second byte. `start` is a character start already known, so
    // no byte is looked at twice and the search stays linear.
    size_t start = from;
    for (size_t at = from; at <= text.size() - pattern.size();) {
        const size_t hit = text.find(pattern, at);
        if (hit == std::string_view::npos) return hit;
        size_t run = hit;
        while (run > start && IsSjisLeadByte(static_cast<unsigned char>(text[run - 1]))) --run;
        if ((hit - run) % 2 == 0) return hit;
        // The hit is the second byte of a character; the next one starts right after it.
        start = at = hit + 1;
    }
    return std::string_view::npos;
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
