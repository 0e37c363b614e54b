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

EntryField NewField(const std::string& name, EntryFieldKind kind) {
    EntryField field;
    field.Name = name;
    field.Kind = kind;
    return field;
}

// The text the page shows for an option whose value attribute starts tail: what follows
// the option tag's ">" up to the next tag or line end, without surrounding blanks.
std::string OptionTextAfter(const std::string& tail) {
    const size_t close = tail.find('>');
    if (close == std::string::npos) return {};
    size_t begin = close + 1;
    size_t end = tail.find_first_of("<\r\n", begin);
    if (end == std::string::npos) end = tail.size();
    while (begin < end && (tail[begin] == ' ' || tail[begin] == '\t')) ++begin;
    while (end > begin && (tail[end - 1] == ' ' || tail[end - 1] == '\t')) --end;
    return tail.substr(begin, end - begin);
}

EntryField ScanCheckBox(Scanner& page) {
    EntryField field = NewField("bExec", EntryFieldKind::CheckBox);
    // The body always names the check box, with an empty value when it is off or missing.
    field.Sent = true;
    if (!page.DropThrough("name=\"bExec\"")) return field;
    field.Whole = true;
    page.Drop(1);
    if (page.StartsWith("checked")) field.Value = "ON";
    return field;
}

EntryField ScanTitle(Scanner& page) {
    EntryField field = NewField("title_name", EntryFieldKind::FreeText);
    // The RD-X4 writes the title input from a script, inside a quoted string.
    if (!page.DropThrough("value=\\\"")) return field;
    if (!page.TakeBefore("\\\">\")", field.Value)) return field;
    field.Sent = field.Whole = true;
    return field;
}

EntryField ScanSelectionList(Scanner& page, const SelectionList& list) {
    EntryField field = NewField(list.name, EntryFieldKind::Selection);
    if (!page.DropThrough(std::string("name=\"") + list.name + "\"")) return field;
    int selected = page.Find("selected");
    int listEnd = page.Find("</select>");
    // A "selected" behind this list's end belongs to a later list.
    if (selected == 0 || listEnd == 0 || selected > listEnd) return field;
    page.Drop(selected - 1 - list.kept);
    if (!page.DropThrough("value=\"")) return field;
    if (!page.TakeBefore("\"", field.Value)) return field;
    field.Sent = field.Whole = true;
    // What the page shows for the option whose value is sent; read from a copy, so the
    // scan goes on from exactly where the body's rules leave it.
    std::string tail;
    if (page.TakeBefore("</select>", tail)) field.OptionText = OptionTextAfter(tail);
    return field;
}

EntryField ScanTextInput(Scanner& page, const TextInput& input) {
    EntryField field = NewField(input.name, EntryFieldKind::Text);
    if (!page.DropThrough(std::string("name=\"") + input.name + "\"")) return field;
    if (!page.DropThrough(input.valueMarker)) return field;
    if (!page.TakeBefore("\"", field.Value)) return field;
    field.Sent = field.Whole = true;
    return field;
}

EntryField ScanDetail(Scanner& page) {
    EntryField field = NewField("detail", EntryFieldKind::FreeText);
    if (!page.DropThrough("</SCRIPT>")) return field;
    page.Drop(2);  // the line break after the script block
    // Without its end the text area is still sent, empty.
    field.Sent = true;
    field.Whole = page.TakeBefore("</textarea>", field.Value);
    if (!field.Whole) field.Value.clear();
    return field;
}

}  // namespace

std::string BuildEntryFormBody(const std::string& pagePath) {
    TWorkList page;
    page.LoadFromFile(pagePath);
    return BuildEntryFormBodyFromText(page.Text());
}

std::string BuildEntryFormBodyFromText(const std::string& pageText) {
    return BuildEntryFormBodyFromFields(ScanEntryForm(pageText));
}

std::vector<EntryField> ScanEntryForm(const std::string& pageText) {
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
    std::vector<EntryField> fields;
    fields.reserve(17);
    fields.push_back(ScanCheckBox(page));
    fields.push_back(ScanTitle(page));
    for (const SelectionList& list : kBeforeTimes) fields.push_back(ScanSelectionList(page, list));
    for (const TextInput& input : kTimes) fields.push_back(ScanTextInput(page, input));
    for (const SelectionList& list : kAfterTimes) fields.push_back(ScanSelectionList(page, list));
    fields.push_back(ScanDetail(page));
    return fields;
}

std::string BuildEntryFormBodyFromFields(const std::vector<EntryField>& fields) {
    std::string body;
    for (const EntryField& field : fields) {
        if (!field.Sent) continue;
        if (!body.empty()) body += '&';
        body += field.Name + "=";
        body += field.Kind == EntryFieldKind::FreeText ? EncodeFreeText(field.Value) : field.Value;
    }
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
