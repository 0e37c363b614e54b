#include "HeaderList.h"

namespace {
bool SameTextAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}
}  // namespace

int THeaderList::Add(const std::string& line) {
    Lines.push_back(line);
    return Count() - 1;
}

void THeaderList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    Lines.erase(Lines.begin() + index);
}

std::string THeaderList::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

int THeaderList::IndexOfHeader(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = Lines[static_cast<size_t>(i)];
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (SameTextAscii(line.substr(0, colon), name)) return i;
    }
    return -1;
}

void THeaderList::SetHeader(const std::string& name, const std::string& value) {
    int i = IndexOfHeader(name);
    if (!value.empty()) {
        if (i == -1) i = Add(std::string());
        Lines[static_cast<size_t>(i)] = name + ": " + value;
    } else if (i != -1) {
        Delete(i);
    }
}
