#include "SysUtils.h"

#include <cctype>

#include "SysFile.h"

namespace {
// "は整数ではありません"
const char kNotInteger[] =
    "\x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// "ファイル "
const char kFilePrefix[] = "\x83\x74\x83\x40\x83\x43\x83\x8b\x20";
// " を作成できません"
const char kCannotCreate[] = " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// " は開けません"
const char kCannotOpen[] = " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool TryStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i]);
        if (d < 0 || d >= base) return false;
        magnitude = magnitude * base + d;
        if (magnitude > int64_t{1} << 32) return false;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFLL) {
        // Hexadecimal spells the bit pattern, as "$FFFFFFFF" is -1.
        value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        return true;
    }
    if (result < INT32_MIN || result > INT32_MAX) return false;
    value = static_cast<int32_t>(result);
    return true;
}

int32_t StrToInt(const std::string& text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value)) throw EConvertError(ConvertErrorMessage(text));
    return value;
}

std::string ConvertErrorMessage(const std::string& text) {
    return "'" + text + "' " + kNotInteger;
}

std::string FileCreateErrorMessage(const std::string& path) {
    return kFilePrefix + path + kCannotCreate;
}

std::string FileOpenErrorMessage(const std::string& path) {
    return kFilePrefix + path + kCannotOpen;
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    if (Sys::TryReadWholeFile(path, bytes) != Sys::ReadStatus::Ok)
        throw EFOpenError(FileOpenErrorMessage(path));
    return bytes;
}
