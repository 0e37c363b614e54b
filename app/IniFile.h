// The settings file: a Windows-style INI text file read and written as bytes.
//
// How the file is read (and why a file the program wrote always reads back the same):
//  - Lines end at CR LF, LF or a lone CR.
//  - A line whose first non-blank character is '[' opens a section; its name is the text up
//    to ']' with blanks around it trimmed. Section and key names compare ignoring ASCII case.
//  - A line whose first non-blank character is ';' or '#' is a comment.
//  - Any other line with an '=' is a key line: the key is the text before the first '=' with
//    blanks and tabs around it trimmed; the value is everything after that '=' up to the line
//    end, byte for byte, NOT trimmed. The program writes "KEY=value" with nothing around the
//    '=', so a value with leading or trailing blanks (a password, say) survives a round trip.
//  - The first matching section and, inside it, the first matching key win.
//  - At most kMaxValueBytes bytes of a value are read; a Shift-JIS lead byte left dangling by
//    that cut is dropped rather than returned as half a character.
//
// How it is written: the whole file is rewritten through a temporary file in the same
// directory that is then renamed over it, so a failed save leaves the old file intact. Every
// line not written to keeps its bytes (other sections, keys, comments, blank lines, line ends).
// A new file is created readable and writable by its owner only; an existing file keeps its
// mode, which is never widened (and is narrowed to the owner when a password goes in).
// Anything but a regular file (a FIFO, a device) is neither read nor replaced.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SysUtils.h"

// A settings file could not be written: "%s に書き込めません" with the file's path.
class EIniFileError : public Exception {
  public:
    using Exception::Exception;
};

class TIniFile {
  public:
    // Values are read through a buffer of this size including its terminating NUL.
    static constexpr size_t kMaxValueBytes = 2047;

    // Opening does not touch the disk; the file may not exist yet.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // The value of key in section, or def when the file, the section or the key is missing.
    // A file that exists but cannot be read, or is no regular file, raises EFOpenError
    // ("ファイル %s は開けません").
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;

    // Writes one key; creates the file and the section when missing.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Writes several keys of one section in a single replacement of the file, in the order
    // given (new keys are appended in that order). A value is cut at its first CR, LF or NUL:
    // a line break would end the line and could forge another key. With ownerOnly (the
    // values hold a secret) an existing file loses every permission of group and others.
    // Raises EIniFileError.
    void WriteStrings(const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& values,
                      bool ownerOnly = false);

  private:
    std::string fileName_;
};

namespace IniText {
// Replaces (or adds) the keys of one section in the text of an INI file and returns the new
// text. Exposed for tests; WriteStrings uses it on the file's current bytes.
std::string UpdateSection(const std::string& text, const std::string& section,
                          const std::vector<std::pair<std::string, std::string>>& values);
// Looks a key up in the text of an INI file; false when the section or key is missing.
bool FindValue(const std::string& text, const std::string& section, const std::string& key,
               std::string& value);
}  // namespace IniText
