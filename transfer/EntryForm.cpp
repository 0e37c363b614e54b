#include "EntryForm.h"

#include <algorithm>
#include <cstddef>

#include "TextSearch.h"
#include "WorkList.h"

namespace {

// The page text being consumed: every step that finds something drops the text in front
// of a point, and later searches see only what remains. Nothing is ever put back.
class Scanner {
  public:
    explicit Scanner(std::string text) : rest_(std::move(text)) {}

    // 1-based position of marker in what remains, or 0.
    int Find(const std::string& marker) const { return SjisPos(marker, rest_); }

    // Drops count bytes from the front (none when count is 0 or less).
    void Drop(long count) {
        if (count <= 0) return;
        rest_.erase(0, std::min(static_cast<size_t>(count), rest_.size()));
    }

    // Finds marker and drops everything up to and including it; false when it is absent.
    bool DropThrough(const std::string& marker) {
        int pos = Find(marker);
        if (pos == 0) return false;
        Drop(pos - 1 + static_cast<long>(marker.size()));
        return true;
    }

    // The text in front of marker, or false when marker is absent. Nothing is dropped.
    bool TakeBefore(const std::string& marker, std::string& value) const {
        int pos = Find(marker);
        if (pos == 0) return false;
        value = rest_.substr(0, static_cast<size_t>(pos - 1));
        return true;
    }

    bool StartsWith(const std::string& text) const {
        return rest_.compare(0, text.size(), text) == 0;
    }

  private:
    std::string rest_;
};

// Free text goes into the body decoded, then encoded, then with every "&" escaped, so
// that the recorder sees it as one value.
std::string EncodeFreeText(const std::string& raw) {
    return SjisReplaceAll(PercentEncode(DecodeEntities(raw)), "&", "%26");
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
    std::string raw;
    if (!page.TakeBefore("\\\">\")", raw)) return;
    body += "&title_name=" + EncodeFreeText(raw);
}

void ScanSelectionList(Scanner& page, const SelectionList& field, std::string& body) {
    if (!page.DropThrough(std::string("name=\"") + field.name + "\"")) return;
    int selected = page.Find("selected");
    int listEnd = page.Find("</select>");
    // A "selected" behind this list's end belongs to a later list.
    if (selected == 0 || listEnd == 0 || selected > listEnd) return;
    page.Drop(selected - 1 - field.kept);
    if (!page.DropThrough("value=\"")) return;
    std::string value;
    if (!page.TakeBefore("\"", value)) return;
    body += std::string("&") + field.name + "=" + value;
}

void ScanTextInput(Scanner& page, const TextInput& field, std::string& body) {
    if (!page.DropThrough(std::string("name=\"") + field.name + "\"")) return;
    if (!page.DropThrough(field.valueMarker)) return;
    std::string value;
    if (!page.TakeBefore("\"", value)) return;
    body += std::string("&") + field.name + "=" + value;
}

void ScanDetail(Scanner& page, std::string& body) {
    if (!page.DropThrough("</SCRIPT>")) return;
    page.Drop(2);  // the line break after the script block
    std::string raw;
    if (!page.TakeBefore("</textarea>", raw)) raw.clear();
    body += "&detail=" + EncodeFreeText(raw);
}

}  // namespace

std::string BuildEntryFormBody(const std::string& pagePath) {
    TWorkList page;
    page.LoadFromFile(pagePath);
    return BuildEntryFormBodyFromText(page.Text());
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

    Scanner page(pageText.substr(0, pageText.find('\0')));
    std::string body;
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
    // One pass, left to right: what a decoded "&amp;" yields is never decoded again, so a
    // title in which the user typed "&lt;" reaches the RD-X4EX as "&lt;", not as "<".
    // "&" never occurs as the second byte of a Shift-JIS character, so bytes are enough.
    static const struct {
        const char* entity;
        char replacement;
    } kEntities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&nbsp;", ' '}};
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool decoded = false;
        if (text[i] == '&') {
            for (const auto& e : kEntities) {
                if (text.compare(i, std::char_traits<char>::length(e.entity), e.entity) == 0) {
                    result += e.replacement;
                    i += std::char_traits<char>::length(e.entity);
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded) result += text[i++];
    }
    return result;
}

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size() * 3);
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        // The recorder reads the body as form data, where a raw "+" stands for a blank, so
        // "+" is escaped too or a title such as "A+B" would be stored as "A B".
        bool escape = c >= 0x80 || c == ' ' || c == '*' || c == '#' || c == '%' || c == '+' ||
                      c == '<' || c == '>';
        if (escape) {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 0x0F];
        } else {
            result += ch;
        }
    }
    return result;
}
