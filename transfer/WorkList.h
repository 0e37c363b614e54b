// The list of text lines through which a transfer reads and writes its files.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The text is kept as it was given (cut at its first NUL), with its line breaks as they
// came; the lines with CR LF after each are produced only when asked for (Text) or
// streamed to the file (SaveToFile). A page costs about its own size, however many lines
// it has: a list of separate line strings cost some forty times the page for one made of
// bare line feeds.
class TWorkList {
  public:
    // Replaces the lines by those of text: a line ends at CR LF, at a lone CR or at a lone
    // LF; everything from the first NUL on is dropped. A text without a final line break
    // still gives its last line; an empty text gives no line.
    void SetText(const std::string& text);
    void SetText(std::string&& text);
    // Replaces the lines by these (each must hold no CR, LF or NUL).
    void SetLines(const std::vector<std::string>& lines);

    // The lines joined with CR LF after every line, the last one included.
    std::string Text() const;
    // Hands Text() to write in pieces of at most 64 KB, so that a page of bare line feeds is
    // never held a second time, twice as long; stops at the first piece write refuses
    // (false).
    bool WriteText(const std::function<bool(std::string_view)>& write) const;
    // The lines, without their line breaks (a copy; for small lists).
    std::vector<std::string> Lines() const;

    // Writes Text() to path as bytes, replacing an existing file. The bytes go to a
    // temporary file beside it which is then renamed over path, so a failed save leaves
    // the old file as it was. The file is readable and writable by its owner only (an
    // existing one is narrowed to that). Any failure raises EFCreateError "ファイル %s
    // を作成できません". flushToDisk also waits until the file and its directory entry are on the
    // disk, so that a crash right after the save cannot lose it; files that are only read back at
    // once by this process can skip that wait.
    void SaveToFile(const std::string& path, bool flushToDisk = true) const;

    // Reads the file at path and sets the lines from its bytes as SetText does. A file
    // that cannot be read raises EFOpenError "ファイル %s は開けません".
    void LoadFromFile(const std::string& path);

    void Clear();
    size_t Count() const { return count_; }

  private:
    // Counts the lines and the size of Text() once the text is in place.
    void Measure();

    std::string text_;  // up to the first NUL, line breaks as given
    size_t count_ = 0;
    size_t joinedSize_ = 0;
};
