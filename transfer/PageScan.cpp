#include "PageScan.h"

#include <algorithm>

#include "TextSearch.h"
#include "Texts.h"

namespace {

// The page up to its first NUL: the scans see nothing beyond it.
std::string UpToNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

bool FindProgramSegment(const std::string& page, std::string& segment) {
    const std::string text = UpToNul(page);
    const int p = SjisPos("/program.htm", text);
    if (p == 0) return false;
    // A '/' (0x2F) can never be the second byte of a double-byte character, so a plain
    // backward byte scan finds the segment's start.
    const size_t end = static_cast<size_t>(p - 1);  // 0-based index of "/program.htm"
    const size_t slash = end == 0 ? std::string::npos : text.rfind('/', end - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    segment = text.substr(start, end - start);
    return true;
}

bool ScanReservationLinks(const std::string& page, std::string& slot) {
    static const std::string kLink = "b_proginfo.htm?";
    std::string rest = UpToNul(page);
    // 1-based character of rest, or NUL past its end (no character stands there).
    auto charAt = [&rest](size_t pos) { return pos <= rest.size() ? rest[pos - 1] : '\0'; };
    for (int p = SjisPos(kLink, rest); p != 0; p = SjisPos(kLink, rest)) {
        const size_t pos = static_cast<size_t>(p);
        if (charAt(pos + 16) == '"') {
            slot = rest.substr(pos + 14, 1);
        } else if (charAt(pos + 17) == '"') {
            slot = rest.substr(pos + 14, 2);
        } else {
            return false;
        }
        rest.erase(0, std::min(pos + 18, rest.size()));
    }
    return true;
}

bool ListIsFull(const std::string& slot, const std::string& list) {
    return slot == "31" && SjisPos(Texts::kNewReservationMark, list) == 0;
}

std::string ExtractEntryAnswer(const std::string& page) {
    std::string text = UpToNul(page);
    if (const int p = SjisPos("msg=\"", text); p != 0) {
        text.erase(0, static_cast<size_t>(p - 1) + 5);
    } else if (const int q = SjisPos("alert(\"", text); q != 0) {
        text.erase(0, static_cast<size_t>(q - 1) + 7);
    } else {
        return std::string();
    }
    const int close = SjisPos("\"", text);
    if (close == 0) return std::string();
    text.resize(static_cast<size_t>(close - 1));
    // The recorder's script writes its line breaks out as \r\n; they mean nothing in a box.
    return SjisReplaceAll(text, "\\r\\n", "", true);
}
