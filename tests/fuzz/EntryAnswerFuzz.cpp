// Fuzz target: the recorder's answer taken from the page that follows an entry.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "PageScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page = FuzzText(data, size);
    const std::string answer = ExtractEntryAnswer(page);
    const std::string upToNul = page.substr(0, page.find('\0'));
    // The answer is cut from the page before its first NUL and only ever shortened.
    FUZZ_CHECK(answer.size() <= upToNul.size());
    FUZZ_CHECK(answer.find('\0') == std::string::npos);
    // Neither marker: nothing to report.
    if (upToNul.find("msg=\"") == std::string::npos &&
        upToNul.find("alert(\"") == std::string::npos)
        FUZZ_CHECK(answer.empty());
    // What the page says after the marker is taken byte for byte, minus the written-out
    // line breaks: from a page without a backslash the answer is a piece of the page.
    if (upToNul.find('\\') == std::string::npos)
        FUZZ_CHECK(upToNul.find(answer) != std::string::npos);
    return 0;
}
