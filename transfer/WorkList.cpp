#include "WorkList.h"

#include "FileUtil.h"
#include "SysUtils.h"

void TWorkList::SetText(const std::string& text) {
    Lines.clear();
    size_t end = text.find('\0');
    if (end == std::string::npos) end = text.size();
    size_t start = 0;
    size_t i = 0;
    while (i < end) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            Lines.push_back(text.substr(start, i - start));
            ++i;
            if (c == '\r' && i < end && text[i] == '\n') ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end) Lines.push_back(text.substr(start, end - start));
}

std::string TWorkList::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TWorkList::SaveToFile(const std::string& path, bool flushToDisk) const {
    ReplaceOptions options;
    options.flush = flushToDisk;
    // The files saved this way hold what the recorder holds: its owner's only.
    options.newFileMode = 0600;
    options.keepModeMask = 0600;
    if (!ReplaceFile(path, Text(), options)) throw EFCreateError(FileCreateErrorMessage(path));
}

void TWorkList::LoadFromFile(const std::string& path) {
    SetText(ReadWholeFile(path));
}
