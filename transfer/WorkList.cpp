#include "WorkList.h"

#include <string_view>

#include "SysFile.h"
#include "SysUtils.h"

namespace {

// Hands the lines of raw, each followed by CR LF, to sink in pieces of at most 64 KB, so
// that a save never needs the joined text in memory. Stops at the first piece the sink
// refuses.
template <class Sink>
bool ForEachJoinedPiece(const std::string& raw, Sink sink) {
    constexpr size_t kPiece = 1u << 16;
    char piece[kPiece];
    size_t used = 0;
    bool ok = true;
    auto put = [&](char c) {
        piece[used++] = c;
        if (used == kPiece) {
            ok = ok && sink(std::string_view(piece, used));
            used = 0;
        }
    };
    const size_t end = raw.size();
    for (size_t i = 0; i < end && ok; ++i) {
        const char c = raw[i];
        if (c == '\r' || c == '\n') {
            put('\r');
            put('\n');
            if (c == '\r' && i + 1 < end && raw[i + 1] == '\n') ++i;
        } else {
            put(c);
        }
    }
    // The last line ends with CR LF too.
    if (end > 0 && raw[end - 1] != '\r' && raw[end - 1] != '\n') {
        put('\r');
        put('\n');
    }
    if (ok && used > 0) ok = sink(std::string_view(piece, used));
    return ok;
}

}  // namespace

void TWorkList::SetText(const std::string& text) {
    text_.assign(text, 0, text.find('\0'));
    Measure();
}

void TWorkList::SetText(std::string&& text) {
    text_ = std::move(text);
    if (size_t nul = text_.find('\0'); nul != std::string::npos) text_.resize(nul);
    Measure();
}

void TWorkList::SetLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    SetText(std::move(text));
}

void TWorkList::Measure() {
    count_ = 0;
    joinedSize_ = 0;
    const size_t end = text_.size();
    for (size_t i = 0; i < end; ++i) {
        const char c = text_[i];
        if (c == '\r' || c == '\n') {
            ++count_;
            joinedSize_ += 2;
            if (c == '\r' && i + 1 < end && text_[i + 1] == '\n') ++i;
        } else {
            ++joinedSize_;
        }
    }
    if (end > 0 && text_[end - 1] != '\r' && text_[end - 1] != '\n') {
        ++count_;
        joinedSize_ += 2;
    }
}

void TWorkList::Clear() {
    // Gives the page's memory back, not only its contents.
    std::string().swap(text_);
    count_ = joinedSize_ = 0;
}

std::string TWorkList::Text() const {
    std::string text;
    text.reserve(joinedSize_);
    ForEachJoinedPiece(text_, [&text](std::string_view piece) {
        text += piece;
        return true;
    });
    return text;
}

bool TWorkList::WriteText(const std::function<bool(std::string_view)>& write) const {
    return ForEachJoinedPiece(text_, write);
}

std::vector<std::string> TWorkList::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(count_);
    const std::string joined = Text();
    for (size_t i = 0; i < joined.size();) {
        const size_t crlf = joined.find("\r\n", i);
        lines.push_back(joined.substr(i, crlf - i));
        i = crlf + 2;
    }
    return lines;
}

void TWorkList::SaveToFile(const std::string& path, bool flushToDisk) const {
    Sys::ReplaceOptions options;
    options.flush = flushToDisk;
    // The files saved this way hold what the recorder holds: its owner's only.
    options.ownerOnly = true;
    options.keepModeMask = 0600;
    // The joined text is streamed into the file, never held whole beside the page.
    const bool saved = Sys::ReplaceFileWith(
        path,
        [this](Sys::File& file) {
            return WriteText([&file](std::string_view piece) {
                return file.WriteAll(piece.data(), piece.size());
            });
        },
        options);
    if (!saved) throw EFCreateError(FileCreateErrorMessage(path));
}

void TWorkList::LoadFromFile(const std::string& path) {
    SetText(ReadWholeFile(path));
}
