#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "SysPath.h"

namespace Sys {

std::string ProgramFilePath() {
    // A long install path must not be cut short: grow the buffer until the link fits.
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink(ProgramFileSource(), buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

const char* ProgramFileSource() {
    return "/proc/self/exe";
}

std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

std::string HomeFolder() {
    const std::optional<std::string> home = GetEnv("HOME");
    if (home && !home->empty() && (*home)[0] == '/') return *home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string TildeHome() {
    return HomeFolder();
}

UserFolders StandardUserFolders() {
    const std::string home = HomeFolder();
    return {XdgBaseDir(GetEnv("XDG_CONFIG_HOME"), home, "/.config"),
            XdgBaseDir(GetEnv("XDG_DATA_HOME"), home, "/.local/share")};
}

bool IsSystemProgramFolder(const std::string& folder) {
    // Root may write these, but a program installed there is still an installed one.
    static const char* const kSystemBinDirs[] = {"/usr/bin/", "/usr/local/bin/", "/bin/",
                                                 "/usr/games/", "/usr/local/games/"};
    for (const char* dir : kSystemBinDirs)
        if (folder == dir) return true;
    return false;
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().string();
}

std::string CurrentFolder() {
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (error) return "./";
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string ForDisplay(const std::string& path) {
    return path;
}

std::string TempFolder() {
    std::error_code error;
    std::string folder = std::filesystem::temp_directory_path(error).string();
    if (error || folder.empty()) folder = "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace Sys
