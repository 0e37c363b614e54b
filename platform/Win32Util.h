// What the Windows side of the platform layer shares: UTF-8 <-> UTF-16 at the Win32 calls, and
// the program's '/' paths in the form the calls take.
#pragma once

#include <string>

namespace Win32 {

// UTF-8 to UTF-16 and back; broken UTF-8 becomes U+FFFD.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16);

// A path for the Win32 calls: UTF-16 with '\' between the parts.
std::wstring WidePath(const std::string& path);
// A path from a Win32 call in the program's form: UTF-8 with '/' between the parts.
std::string ProgramPath(const std::wstring& path);

}  // namespace Win32
