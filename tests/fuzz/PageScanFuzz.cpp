// Fuzz target: the scans over the list frame page (program segment) and the reservation list
// (number of the last reservation link), as the capture and the restore run them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "PageScan.h"
#include "TextSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page = FuzzText(data, size);
    const std::string upToNul = page.substr(0, page.find('\0'));

    std::string segment = "kept";
    if (FindProgramSegment(page, segment)) {
        // The segment is one path segment standing right before "/program.htm".
        FUZZ_CHECK(segment.find('/') == std::string::npos);
        FUZZ_CHECK(upToNul.find(segment + "/program.htm") != std::string::npos);
    } else {
        FUZZ_CHECK(segment == "kept");
        FUZZ_CHECK(SjisPos("/program.htm", page) == 0);
    }

    std::string slot = "kept";
    const bool readable = ScanReservationLinks(page, slot);
    if (SjisPos("b_proginfo.htm?", page) == 0) {
        // No link: the slot keeps its value from before.
        FUZZ_CHECK(readable);
        FUZZ_CHECK(slot == "kept");
    } else if (readable) {
        // One or two characters, followed in the page by a double quote.
        FUZZ_CHECK(slot.size() == 1 || slot.size() == 2);
        FUZZ_CHECK(upToNul.find("b_proginfo.htm?" + slot + "\"") != std::string::npos);
    }

    // The search itself: a position inside the text where the pattern stands.
    if (size > 2) {
        const size_t cut = data[0] % (size - 1) + 1;
        const std::string raw = page.substr(1, std::min<size_t>(cut, 8));
        const std::string text = page.substr(1 + raw.size());
        // Both end at their first NUL.
        const std::string pattern = raw.substr(0, raw.find('\0'));
        const std::string textUpToNul = text.substr(0, text.find('\0'));
        const int p = SjisPos(pattern, text);
        if (p != 0) {
            FUZZ_CHECK(p >= 1);
            FUZZ_CHECK(textUpToNul.compare(static_cast<size_t>(p - 1), pattern.size(), pattern) ==
                       0);
        }
        const std::string replaced = SjisReplaceAll(text, pattern, std::string());
        FUZZ_CHECK(replaced.size() <= text.size());
    }
    return 0;
}
