#include "DataLocation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "SettingsFile.h"
#include "SysUtils.h"
#include "Texts.h"

namespace {

std::string WithSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HomeDir() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string CannotCreateFolder(const std::string& folder) {
    return std::string(Texts::kCannotCreateFolderPrefix) + folder +
           Texts::kCannotCreateFolderSuffix;
}

// mkdir -p, each missing folder owner-only; folders that exist are left as they are.
void MakeFolders(const std::string& folder) {
    std::string path;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        path = folder.substr(0, slash);
        start = slash + 1;
        if (path.empty() || IsDirectory(path)) continue;
        if (::mkdir(path.c_str(), 0700) != 0 && !(errno == EEXIST && IsDirectory(path)))
            throw Exception(CannotCreateFolder(folder));
    }
}

}  // namespace

DataLocation DecideDataLocation(const LocationFacts& facts) {
    const std::string programDir = DirectoryWithSeparator(facts.ProgramPath);
    const std::string besideProgram = SettingsPathFor(facts.ProgramPath);
    const std::string settingsName = BaseName(besideProgram);
    DataLocation location;
    if (!facts.DataDirOption.empty()) {
        location.Kind = LocationKind::Chosen;
        location.DataDir = WithSeparator(facts.DataDirOption);
        location.SettingsPath =
            facts.SettingsBesideProgram ? besideProgram : location.DataDir + settingsName;
    } else if (facts.SettingsBesideProgram || (facts.ProgramDirWritable && !facts.InstalledDir)) {
        location.Kind = LocationKind::Portable;
        location.DataDir = programDir;
        location.SettingsPath = besideProgram;
    } else {
        location.Kind = LocationKind::Installed;
        location.DataDir = WithSeparator(facts.DataHome) + kXdgFolderName + "/";
        location.SettingsPath =
            WithSeparator(facts.ConfigHome) + kXdgFolderName + "/" + settingsName;
    }
    return location;
}

std::string XdgBaseDir(const char* value, const std::string& home, const char* fallback) {
    if (value && value[0] == '/') return value;
    return (home == "/" ? std::string() : home) + fallback;
}

LocationFacts GatherLocationFacts(const std::string& programPath, const std::string& dataDirOption,
                                  const std::string& installedBinDir) {
    LocationFacts facts;
    facts.ProgramPath = programPath;
    std::string programDir = DirectoryWithSeparator(programPath);
    facts.ProgramDirWritable = ::access(programDir.c_str(), W_OK | X_OK) == 0;
    // Root may write a system folder, but a program installed there is still an installed one.
    static const char* const kSystemBinDirs[] = {"/usr/bin/", "/usr/local/bin/", "/bin/",
                                                 "/usr/games/", "/usr/local/games/"};
    facts.InstalledDir = !installedBinDir.empty() && WithSeparator(installedBinDir) == programDir;
    for (const char* dir : kSystemBinDirs) facts.InstalledDir |= programDir == dir;
    facts.SettingsBesideProgram = IsFile(SettingsPathFor(programPath));
    // The folder is handed to the desktop's browser later: always an absolute path.
    facts.DataDirOption = dataDirOption;
    if (!dataDirOption.empty() && dataDirOption[0] != '/') {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(dataDirOption, error);
        if (!error) facts.DataDirOption = absolute.lexically_normal().string();
    }
    std::string home = HomeDir();
    facts.ConfigHome = XdgBaseDir(std::getenv("XDG_CONFIG_HOME"), home, "/.config");
    facts.DataHome = XdgBaseDir(std::getenv("XDG_DATA_HOME"), home, "/.local/share");
    return facts;
}

void PrepareDataLocation(const DataLocation& location) {
    // A portable copy is used as it is, as it always was: a read-only one still shows its pages.
    if (location.Kind == LocationKind::Portable) return;
    MakeFolders(location.DataDir);
    MakeFolders(DirectoryWithSeparator(location.SettingsPath));
    if (::access(location.DataDir.c_str(), W_OK | X_OK) != 0)
        throw Exception(Texts::CannotWriteMessage(location.DataDir));
}

std::string DisplayFolder(const std::string& folder, const std::string& home) {
    if (home.size() > 1 && folder.compare(0, home.size(), home) == 0 &&
        (folder.size() == home.size() || folder[home.size()] == '/'))
        return "~" + folder.substr(home.size());
    return folder;
}
