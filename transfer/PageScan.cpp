#include "PageScan.h"

#include <algorithm>
#include <string_view>

#include "TextSearch.h"
#include "Texts.h"

namespace {

// The page up to its first NUL: the scans see nothing beyond it.
std::string_view UpToNul(const std::string& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

}  // namespace

// Every scan walks the page once from front to back: a page of a few megabytes (or a
// hostile one of many) must not freeze the window.

bool FindProgramSegment(const std::string& page, std::string& segment) {
    const std::string_view text = UpToNul(page);
    const size_t end = SjisFind(text, "/program.htm");  // 0-based index of "/program.htm"
    if (end == std::string_view::npos) return false;
    // A '/' (0x2F) can never be the second byte of a double-byte character, so a plain
    // backward byte scan finds the segment's start.
    const size_t slash = end == 0 ? std::string_view::npos : text.rfind('/', end - 1);
    const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    segment = std::string(text.substr(start, end - start));
    return true;
}

bool ScanReservationLinks(const std::string& page, std::string& slot) {
    static constexpr std::string_view kLink = "b_proginfo.htm?";
    const std::string_view text = UpToNul(page);
    // The character at an index, or NUL past the end (no character stands there).
    auto charAt = [&text](size_t i) { return i < text.size() ? text[i] : '\0'; };
    // Each search goes on where the last link's number and quote ended, as if the text
    // before had been cut off; nothing is copied.
    for (size_t at = SjisFind(text, kLink); at != std::string_view::npos;
         at = SjisFind(text, kLink, std::min(at + 19, text.size()))) {
        if (charAt(at + 16) == '"') {
            slot = std::string(text.substr(at + 15, 1));
        } else if (charAt(at + 17) == '"') {
            slot = std::string(text.substr(at + 15, 2));
        } else {
            return false;
        }
    }
    return true;
}

bool ListIsFull(const std::string& slot, const std::string& list) {
    return slot == "31" && SjisPos(Texts::kNewReservationMark, list) == 0;
}

std::string ExtractEntryAnswer(const std::string& page) {
    const std::string_view text = UpToNul(page);
    size_t start = std::string_view::npos;
    if (const size_t p = SjisFind(text, "msg=\""); p != std::string_view::npos) {
        start = p + 5;
    } else if (const size_t q = SjisFind(text, "alert(\""); q != std::string_view::npos) {
        start = q + 7;
    } else {
        return std::string();
    }
    const size_t close = SjisFind(text, "\"", start);
    if (close == std::string_view::npos) return std::string();
    // The recorder's script writes its line breaks out as \r\n; they mean nothing in a box.
    return SjisReplaceAll(std::string(text.substr(start, close - start)), "\\r\\n", "", true);
}
