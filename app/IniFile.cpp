#include "IniFile.h"

#include "Sjis.h"
#include "SysFile.h"
#include "Texts.h"

namespace {

struct Line {
    std::string Content;  // without its line end
    std::string Eol;      // "\r\n", "\n", "\r" or empty for a last line without one
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        size_t eolLen =
            (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(start, end - start), text.substr(end, eolLen)});
        start = end + eolLen;
    }
    return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines) text += line.Content + line.Eol;
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

size_t FirstNonBlank(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return i;
}

// True for a section header line; name receives the section's name.
bool SectionName(const std::string& line, std::string& name) {
    size_t i = FirstNonBlank(line);
    if (i >= line.size() || line[i] != '[') return false;
    size_t close = line.find(']', i + 1);
    name = Trim(line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1));
    return true;
}

// True for a key line; key and value receive its parts (value untrimmed).
bool KeyLine(const std::string& line, std::string& key, std::string& value) {
    size_t i = FirstNonBlank(line);
    if (i >= line.size() || line[i] == ';' || line[i] == '#' || line[i] == '[') return false;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    value = line.substr(eq + 1);
    return true;
}

// The lines [first, last) of the first section of that name; false when there is none.
bool FindSection(const std::vector<Line>& lines, const std::string& section, size_t& first,
                 size_t& last) {
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!SectionName(lines[i].Content, name) || !SameName(name, section)) continue;
        first = i + 1;
        last = first;
        while (last < lines.size() && !SectionName(lines[last].Content, name)) ++last;
        return true;
    }
    return false;
}

// Cuts a value to what a 2048-byte buffer returns, never splitting a double-byte character.
std::string LimitValue(const std::string& value) {
    std::string v = value.substr(0, value.find('\0'));
    if (v.size() <= TIniFile::kMaxValueBytes) return v;
    size_t i = 0;
    while (i < TIniFile::kMaxValueBytes) {
        if (IsSjisLeadByte(static_cast<unsigned char>(v[i]))) {
            if (i + 1 >= TIniFile::kMaxValueBytes) break;
            i += 2;
        } else {
            ++i;
        }
    }
    return v.substr(0, i);
}

}  // namespace

namespace IniText {

bool FindValue(const std::string& text, const std::string& section, const std::string& key,
               std::string& value) {
    std::vector<Line> lines = SplitLines(text);
    size_t first = 0, last = 0;
    if (!FindSection(lines, section, first, last)) return false;
    std::string k, v;
    for (size_t i = first; i < last; ++i) {
        if (KeyLine(lines[i].Content, k, v) && SameName(k, key)) {
            value = v;
            return true;
        }
    }
    return false;
}

std::string UpdateSection(const std::string& text, const std::string& section,
                          const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string crlf = "\r\n";
    std::vector<Line> lines = SplitLines(text);
    size_t first = 0, last = 0;
    if (!FindSection(lines, section, first, last)) {
        if (!lines.empty()) {
            if (lines.back().Eol.empty()) lines.back().Eol = crlf;
            if (!Trim(lines.back().Content).empty()) lines.push_back({"", crlf});
        }
        lines.push_back({"[" + section + "]", crlf});
        first = last = lines.size();
    }
    for (const auto& [key, rawValue] : values) {
        // A line break or NUL would end the line early and could forge another key.
        std::string value = rawValue.substr(0, rawValue.find_first_of(std::string("\r\n\0", 3)));
        std::string k, v;
        bool replaced = false;
        for (size_t i = first; i < last; ++i) {
            if (KeyLine(lines[i].Content, k, v) && SameName(k, key)) {
                lines[i].Content = key + "=" + value;
                replaced = true;
                break;
            }
        }
        if (replaced) continue;
        // A new key goes after the section's last non-blank line, ahead of the blank lines
        // that separate it from the next section.
        size_t at = last;
        while (at > first && Trim(lines[at - 1].Content).empty()) --at;
        if (at > 0 && lines[at - 1].Eol.empty()) lines[at - 1].Eol = crlf;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     Line{key + "=" + value, crlf});
        ++last;
    }
    return JoinLines(lines);
}

}  // namespace IniText

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    std::string text;
    switch (Sys::TryReadWholeFile(fileName_, text)) {
        case Sys::ReadStatus::Missing:
            return def;
        case Sys::ReadStatus::Failed:
            throw EFOpenError(FileOpenErrorMessage(fileName_));
        case Sys::ReadStatus::Ok:
            break;
    }
    std::string value;
    if (!IniText::FindValue(text, section, key, value)) return def;
    return LimitValue(value);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    WriteStrings(section, {{key, value}});
}

void TIniFile::WriteStrings(const std::string& section,
                            const std::vector<std::pair<std::string, std::string>>& values,
                            bool ownerOnly) {
    std::string text;
    switch (Sys::TryReadWholeFile(fileName_, text)) {
        case Sys::ReadStatus::Missing:
            text.clear();
            break;
        case Sys::ReadStatus::Failed:
            // Never replace a file whose other sections we could not read.
            throw EIniFileError(Texts::CannotWriteMessage(fileName_));
        case Sys::ReadStatus::Ok:
            break;
    }
    // The password stands in the file in clear: a new file is its owner's alone.
    Sys::ReplaceOptions options;
    options.ownerOnly = true;
    // A file that receives a secret is narrowed to its owner (never widened).
    if (ownerOnly) options.keepModeMask = 0700;
    if (!Sys::ReplaceFile(fileName_, IniText::UpdateSection(text, section, values), options))
        throw EIniFileError(Texts::CannotWriteMessage(fileName_));
}
