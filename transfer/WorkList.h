// The list of text lines through which a transfer reads and writes its files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TWorkList {
  public:
    // The lines, without their line breaks.
    std::vector<std::string> Lines;

    // Replaces the lines by those of text: a line ends at CR LF, at a lone CR or at a lone
    // LF; everything from the first NUL on is dropped. A text without a final line break
    // still gives its last line; an empty text gives no line.
    void SetText(const std::string& text);

    // The lines joined with CR LF after every line, the last one included.
    std::string Text() const;

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

    void Clear() { Lines.clear(); }
    size_t Count() const { return Lines.size(); }
};
