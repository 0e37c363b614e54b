// Fuzz target: the entry form body built from a saved reservation page, with the encoders it
// uses and the work list every saved page and post-data file passes through.
#include <cstddef>
#include <cstdint>
#include <string>

#include "EntryForm.h"
#include "FuzzCheck.h"
#include "WorkList.h"

namespace {

// Undoes PercentEncode; the encoder writes upper-case digits only.
std::string PercentDecode(const std::string& text) {
    static const std::string kDigits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            FUZZ_CHECK(i + 2 < text.size());
            const size_t hi = kDigits.find(text[i + 1]), lo = kDigits.find(text[i + 2]);
            FUZZ_CHECK(hi != std::string::npos && lo != std::string::npos);
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CheckWorkList(const std::string& text) {
    TWorkList list;
    list.SetText(text);
    const std::string joined = list.Text();
    // Every line ends with CR LF, and no other CR or LF, nor a NUL, is left inside a line.
    FUZZ_CHECK(joined.empty() || joined.ends_with("\r\n"));
    for (const std::string& line : list.Lines())
        FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    // A saved page read back gives the same page: normalising twice changes nothing.
    TWorkList again;
    again.SetText(joined);
    FUZZ_CHECK(again.Text() == joined);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = FuzzText(data, size);
    CheckWorkList(input);

    TWorkList page;
    page.SetText(input);
    const std::string body = BuildEntryFormBodyFromText(page.Text());
    FUZZ_CHECK(body.starts_with("bExec="));
    FUZZ_CHECK(body.ends_with("&lVoice=1&end_form=0"));
    FUZZ_CHECK(body.find('\0') == std::string::npos);
    // Each byte of the page is taken at most once and grows to at most "%XX" in the body;
    // the field names add a fixed amount.
    FUZZ_CHECK(body.size() <= 3 * page.Text().size() + 512);

    const std::string encoded = PercentEncode(input);
    for (char c : encoded) {
        const auto u = static_cast<unsigned char>(c);
        FUZZ_CHECK(u < 0x80 && c != ' ' && c != '+' && c != '*' && c != '#' && c != '<' &&
                   c != '>');
    }
    FUZZ_CHECK(PercentDecode(encoded) == input);
    // Entity decoding only ever shortens the text.
    FUZZ_CHECK(DecodeEntities(input).size() <= input.size());
    return 0;
}
