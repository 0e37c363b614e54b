#include "EntryForm.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

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

// One field as the scan finds it: its value (and, for a selection list, the page from the
// value on) are views into the page, so building a body copies nothing but the body.
struct FieldView {
    const char* name;
    EntryFieldKind kind;
    std::string_view value;
    std::string_view optionTail;
    // The body carries the field (the check box always, the detail also without its end).
    bool sent = false;
    // Every marker of the field was found.
    bool whole = false;
};

FieldView ScanCheckBox(Scanner& page) {
    // The body always names the check box, with an empty value when it is off or missing.
    FieldView field{"bExec", EntryFieldKind::CheckBox, {}, {}, true, false};
    if (!page.DropThrough("name=\"bExec\"")) return field;
    field.whole = true;
    page.Drop(1);
    if (page.StartsWith("checked")) field.value = "ON";
    return field;
}

FieldView ScanTitle(Scanner& page) {
    FieldView field{"title_name", EntryFieldKind::FreeText, {}, {}, false, false};
    // The RD-X4 writes the title input from a script, inside a quoted string.
    if (!page.DropThrough("value=\\\"")) return field;
    if (!page.TakeBefore("\\\">\")", field.value)) return field;
    field.sent = field.whole = true;
    return field;
}

FieldView ScanSelectionList(Scanner& page, const SelectionList& list) {
    FieldView field{list.name, EntryFieldKind::Selection, {}, {}, false, false};
    if (!page.DropThrough(std::string("name=\"") + list.name + "\"")) return field;
    long selected = page.Find("selected");
    long listEnd = page.Find("</select>");
    // A "selected" behind this list's end belongs to a later list.
    if (selected == 0 || listEnd == 0 || selected > listEnd) return field;
    page.Drop(selected - 1 - list.kept);
    if (!page.DropThrough("value=\"")) return field;
    if (!page.TakeBefore("\"", field.value)) return field;
    field.sent = field.whole = true;
    // What the page shows for the option whose value is sent is read from here on; the
    // scan itself goes on from exactly where the body's rules leave it.
    page.TakeBefore("</select>", field.optionTail);
    return field;
}

FieldView ScanTextInput(Scanner& page, const TextInput& input) {
    FieldView field{input.name, EntryFieldKind::Text, {}, {}, false, false};
    if (!page.DropThrough(std::string("name=\"") + input.name + "\"")) return field;
    if (!page.DropThrough(input.valueMarker)) return field;
    if (!page.TakeBefore("\"", field.value)) return field;
    field.sent = field.whole = true;
    return field;
}

FieldView ScanDetail(Scanner& page) {
    FieldView field{"detail", EntryFieldKind::FreeText, {}, {}, false, false};
    if (!page.DropThrough("</SCRIPT>")) return field;
    page.Drop(2);  // the line break after the script block
    // Without its end the text area is still sent, empty.
    field.sent = true;
    field.whole = page.TakeBefore("</textarea>", field.value);
    return field;
}

// Scans pageText once, front to back, and hands the 17 fields in body order to f.
template <class F>
void ForEachField(const std::string& pageText, F f) {
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
    f(ScanCheckBox(page));
    f(ScanTitle(page));
    for (const SelectionList& list : kBeforeTimes) f(ScanSelectionList(page, list));
    for (const TextInput& input : kTimes) f(ScanTextInput(page, input));
    for (const SelectionList& list : kAfterTimes) f(ScanSelectionList(page, list));
    f(ScanDetail(page));
}

// The text the page shows for an option whose value attribute starts tail: what follows
// the option tag's ">" up to the next tag or line end, without surrounding blanks.
std::string OptionTextAfter(std::string_view tail) {
    const size_t close = tail.find('>');
    if (close == std::string_view::npos) return {};
    size_t begin = close + 1;
    size_t end = tail.find_first_of("<\r\n", begin);
    if (end == std::string_view::npos) end = tail.size();
    while (begin < end && (tail[begin] == ' ' || tail[begin] == '\t')) ++begin;
    while (end > begin && (tail[end - 1] == ' ' || tail[end - 1] == '\t')) --end;
    return std::string(tail.substr(begin, end - begin));
}

void AppendField(std::string& body, std::string_view name, EntryFieldKind kind,
                 std::string_view value) {
    if (!body.empty()) body += '&';
    body += name;
    body += '=';
    if (kind == EntryFieldKind::FreeText)
        AppendFreeText(value, body);
    else
        body += value;
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
    std::string body;
    // Reserved, not touched: a long detail text then grows the body without the copies
    // (and twice the memory) of repeated doubling.
    body.reserve(pageText.size() + 64);
    ForEachField(pageText, [&body](const FieldView& field) {
        if (field.sent) AppendField(body, field.name, field.kind, field.value);
    });
    body += "&lVoice=1&end_form=0";
    return body;
}

std::vector<EntryField> ScanEntryForm(const std::string& pageText) {
    std::vector<EntryField> fields;
    fields.reserve(17);
    ForEachField(pageText, [&fields](const FieldView& view) {
        EntryField field;
        field.Name = view.name;
        field.Kind = view.kind;
        field.Value = std::string(view.value);
        if (!view.optionTail.empty()) field.OptionText = OptionTextAfter(view.optionTail);
        field.Sent = view.sent;
        field.Whole = view.whole;
        fields.push_back(std::move(field));
    });
    return fields;
}

std::string BuildEntryFormBodyFromFields(const std::vector<EntryField>& fields) {
    std::string body;
    for (const EntryField& field : fields)
        if (field.Sent) AppendField(body, field.Name, field.Kind, field.Value);
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
