// The runtime services every layer shares: the exception base class, the number
// conversion with its error, and the file errors. Texts are Shift-JIS bytes.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Base of every error the program raises; carries the message shown to the user.
class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// A text that is not a whole number: "'%s' は整数ではありません".
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// A file that cannot be created: "ファイル %s を作成できません".
class EFCreateError : public Exception {
  public:
    using Exception::Exception;
};

// A file that cannot be opened: "ファイル %s は開けません".
class EFOpenError : public Exception {
  public:
    using Exception::Exception;
};

// Reads a 32-bit signed integer the way the user types one: optional leading blanks,
// an optional sign, decimal digits, or hexadecimal after "$" or "0x". Anything else,
// the empty text included, or a value outside the 32-bit range raises EConvertError.
int32_t StrToInt(const std::string& text);

// Same rules; returns false instead of raising.
bool TryStrToInt(const std::string& text, int32_t& value);

// The messages, with the text or path in place of %s.
std::string ConvertErrorMessage(const std::string& text);
std::string FileCreateErrorMessage(const std::string& path);
std::string FileOpenErrorMessage(const std::string& path);

// The bytes of the regular file at path; raises EFOpenError "ファイル %s は開けません".
std::string ReadWholeFile(const std::string& path);
