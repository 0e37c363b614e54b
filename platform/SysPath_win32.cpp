#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

#include "SysPath.h"
#include "Win32Util.h"

namespace Sys {

namespace {

using Win32::ProgramPath;
using Win32::Widen;

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    const std::wstring a = Widen(text.substr(0, prefix.size()));
    const std::wstring b = Widen(prefix);
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::string EnvFolder(const char* name) {
    const std::optional<std::string> value = GetEnv(name);
    if (!value || value->empty()) return {};
    std::string folder = *value;
    for (char& c : folder)
        if (c == '\\') c = '/';
    return folder;
}

}  // namespace

std::string ProgramFilePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // A long install path must not be cut short: grow the buffer until the name fits.
        if (n < buffer.size()) return ProgramPath(buffer.substr(0, n));
        buffer.resize(buffer.size() * 2);
    }
}

const char* ProgramFileSource() {
    return "GetModuleFileNameW";
}

std::optional<std::string> GetEnv(const char* name) {
    // The C runtime's copy, which SetEnv changes too (the time zone is read from there).
    const wchar_t* value = ::_wgetenv(Widen(name).c_str());
    if (!value) return std::nullopt;
    return Win32::Narrow(value);
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
    ::_wputenv_s(Widen(name).c_str(), value ? Widen(*value).c_str() : L"");
}

std::string HomeFolder() {
    const std::string profile = EnvFolder("USERPROFILE");
    return profile.empty() ? std::string("C:/") : profile;
}

std::string TildeHome() {
    return {};
}

UserFolders StandardUserFolders() {
    const std::string home = HomeFolder();
    std::string config = EnvFolder("APPDATA");
    std::string data = EnvFolder("LOCALAPPDATA");
    if (config.empty()) config = WithSlash(home) + "AppData/Roaming";
    if (data.empty()) data = WithSlash(home) + "AppData/Local";
    return {config, data};
}

bool IsSystemProgramFolder(const std::string& folder) {
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const std::string programs = EnvFolder(name);
        if (!programs.empty() && StartsWithNoCase(folder, WithSlash(programs))) return true;
    }
    return false;
}

bool IsAbsolutePath(const std::string& path) {
    const bool drive = path.size() >= 3 && std::iswalpha(static_cast<wint_t>(path[0])) &&
                       path[1] == ':' && (path[2] == '/' || path[2] == '\\');
    const bool share = path.size() >= 2 && (path[0] == '/' || path[0] == '\\') &&
                       (path[1] == '/' || path[1] == '\\');
    return drive || share;
}

std::string AbsolutePath(const std::string& path) {
    const std::wstring wide = Win32::WidePath(path);
    const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD got = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    return ProgramPath(full);
}

std::string CurrentFolder() {
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(n, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(n, folder.data());
    if (got == 0 || got >= n) return "./";
    folder.resize(got);
    return WithSlash(ProgramPath(folder));
}

std::string ForDisplay(const std::string& path) {
    std::string shown = path;
    for (char& c : shown)
        if (c == '/') c = '\\';
    return shown;
}

std::string TempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) return "C:/Windows/Temp/";
    return WithSlash(ProgramPath(std::wstring(buffer, n)));
}

std::vector<std::string> Arguments(int argc, char** argv) {
    // The narrow argv went through the ANSI code page; the wide command line did not.
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(Win32::Narrow(wide[i]));
    ::LocalFree(wide);
    return args;
}

}  // namespace Sys
