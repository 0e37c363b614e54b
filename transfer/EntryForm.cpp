#include "EntryForm.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "TextSearch.h"
#include "WorkList.h"

namespace {

// The page text being consumed: every step that finds something drops the text in front
// of a point, and later searches see only what remains. Nothing is ever put back. The
// scanner only moves its start over the caller's text, which it never copies.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    // 1-based position of marker in what remains, or 0.
    long Find(const std::string& marker) const {
        const size_t at = SjisFind(text_, marker, start_);
        return at == std::string_view::npos ? 0 : static_cast<long>(at - start_) + 1;
    }

    // Drops count bytes from the front (none when count is 0 or less).
    void Drop(long count) {
        if (count <= 0) return;
        start_ += std::min(static_cast<size_t>(count), text_.size() - start_);
    }

    // Finds marker and drops everything up to and including it; false when it is absent.
    bool DropThrough(const std::string& marker) {
        long pos = Find(marker);
        if (pos == 0) return false;
        Drop(pos - 1 + static_cast<long>(marker.size()));
        return true;
    }

    // The text in front of marker, or false when marker is absent. Nothing is dropped.
    bool TakeBefore(const std::string& marker, std::string_view& value) const {
        long pos = Find(marker);
        if (pos == 0) return false;
        value = text_.substr(start_, static_cast<size_t>(pos - 1));
        return true;
    }

    bool StartsWith(const std::string& text) const {
        return text_.substr(start_).substr(0, text.size()) == text;
    }

  private:
    std::string_view text_;
    size_t start_ = 0;
};

// Hands each byte of text to f with the entities decoded: one pass, left to right, so what
// a decoded "&amp;" yields is never decoded again and a title in which the user typed
// "&lt;" reaches the RD-X4EX as "&lt;", not as "<". "&" never occurs as the second byte of
// a Shift-JIS character, so bytes are enough.
template <class F>
void ForEachDecodedByte(std::string_view text, F f) {
    static const struct {
        std::string_view entity;
        char replacement;
    } kEntities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&nbsp;", ' '}};
    for (size_t i = 0; i < text.size();) {
        bool decoded = false;
        if (text[i] == '&') {
            for (const auto& e : kEntities) {
                if (text.substr(i, e.entity.size()) == e.entity) {
                    f(e.replacement);
                    i += e.entity.size();
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded) f(text[i++]);
    }
}

// Appends c percent-encoded as the recorder reads form data; "&" stays as it is.
void AppendEncoded(char ch, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    auto c = static_cast<unsigned char>(ch);
    // The recorder reads the body as form data, where a raw "+" stands for a blank, so
    // "+" is escaped too or a title such as "A+B" would be stored as "A B".
    bool escape = c >= 0x80 || c == ' ' || c == '*' || c == '#' || c == '%' || c == '+' ||
                  c == '<' || c == '>';
    if (escape) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    } else {
        out += ch;
    }
}

// Free text goes into the body decoded, then encoded, then with every "&" escaped, so
// that the recorder sees it as one value. It is appended straight to the body in one
// pass: a long detail text costs its encoded size once, not once per step. (The encoded
// text is plain ASCII, so every "&" in it is a real one.)
void AppendFreeText(std::string_view raw, std::string& body) {
    ForEachDecodedByte(raw, [&body](char c) {
        if (c == '&')
            body += "%26";
        else
            AppendEncoded(c, body);
    });
}

struct SelectionList {
    const char* name;
    // The selected option's value attribute stands within this many bytes before "selected".
    long kept;
};

struct TextInput {
    const char* name;
    const char* valueMarker;
};

void ScanCheckBox(Scanner& page, std::string& body) {
    body += "bExec=";
    if (!page.DropThrough("name=\"bExec\"")) return;
    page.Drop(1);
    if (page.StartsWith("checked")) body += "ON";
}

void ScanTitle(Scanner& page, std::string& body) {
    // The RD-X4 writes the title input from a script, inside a quoted string.
    if (!page.DropThrough("value=\\\"")) return;
    std::string_view raw;
    if (!page.TakeBefore("\\\">\")", raw)) return;
    body += "&title_name=";
    AppendFreeText(raw, body);
}

void ScanSelectionList(Scanner& page, const SelectionList& field, std::string& body) {
    if (!page.DropThrough(std::string("name=\"") + field.name + "\"")) return;
    long selected = page.Find("selected");
    long listEnd = page.Find("</select>");
    // A "selected" behind this list's end belongs to a later list.
    if (selected == 0 || listEnd == 0 || selected > listEnd) return;
    page.Drop(selected - 1 - field.kept);
    if (!page.DropThrough("value=\"")) return;
    std::string_view value;
    if (!page.TakeBefore("\"", value)) return;
    body += std::string("&") + field.name + "=";
    body += value;
}

void ScanTextInput(Scanner& page, const TextInput& field, std::string& body) {
    if (!page.DropThrough(std::string("name=\"") + field.name + "\"")) return;
    if (!page.DropThrough(field.valueMarker)) return;
    std::string_view value;
    if (!page.TakeBefore("\"", value)) return;
    body += std::string("&") + field.name + "=";
    body += value;
}

void ScanDetail(Scanner& page, std::string& body) {
    if (!page.DropThrough("</SCRIPT>")) return;
    page.Drop(2);  // the line break after the script block
    std::string_view raw;
    if (!page.TakeBefore("</textarea>", raw)) raw = std::string_view();
    body += "&detail=";
    AppendFreeText(raw, body);
}

}  // namespace

std::string BuildEntryFormBody(const std::string& pagePath) {
    std::string text;
    {
        TWorkList page;
        page.LoadFromFile(pagePath);
        text = page.Text();
    }
    return BuildEntryFormBodyFromText(text);
}

std::string BuildEntryFormBodyFromText(const std::string& pageText) {
    // The fields in the order the RD-X4's form holds them; a field the scan has passed is
    // not looked for again.
    static const SelectionList kBeforeTimes[] = {{"genre", 12}, {"channel", 12}, {"date", 23}};
    static const TextInput kTimes[] = {{"start_hour", "value =\""},
                                       {"start_minute", "value =\""},
                                       {"end_hour", "value = \""},
                                       {"end_minute", "value = \""}};
    static const SelectionList kAfterTimes[] = {
        {"disc", 11},   {"vrate", 14},     {"amode", 12},       {"dvdr", 11},
        {"aspect", 11}, {"bVPerform", 11}, {"bAutoChapter", 11}};

    Scanner page(std::string_view(pageText).substr(0, pageText.find('\0')));
    std::string body;
    // Reserved, not touched: a long detail text then grows the body without the copies
    // (and twice the memory) of repeated doubling.
    body.reserve(pageText.size() + 64);
    ScanCheckBox(page, body);
    ScanTitle(page, body);
    for (const SelectionList& field : kBeforeTimes) ScanSelectionList(page, field, body);
    for (const TextInput& field : kTimes) ScanTextInput(page, field, body);
    for (const SelectionList& field : kAfterTimes) ScanSelectionList(page, field, body);
    ScanDetail(page, body);
    body += "&lVoice=1&end_form=0";
    return body;
}

std::string DecodeEntities(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    ForEachDecodedByte(text, [&result](char c) { result += c; });
    return result;
}

std::string PercentEncode(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) AppendEncoded(c, result);
    return result;
}
