#include "DataLocation.h"

#include "SettingsFile.h"
#include "SysFile.h"
#include "SysPath.h"
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

bool IsFile(const std::string& path) {
    const Sys::PathKind kind = Sys::Inspect(path).kind;
    return kind != Sys::PathKind::Missing && kind != Sys::PathKind::Folder &&
           kind != Sys::PathKind::Unknown;
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
        // "C:" alone is a drive, no folder to make.
        if (path.empty() || (path.size() == 2 && path[1] == ':') || Sys::IsFolder(path)) continue;
        if (Sys::MakeFolder(path, true) == Sys::FolderResult::Failed)
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

LocationFacts GatherLocationFacts(const std::string& programPath, const std::string& dataDirOption,
                                  const std::string& installedBinDir) {
    LocationFacts facts;
    facts.ProgramPath = programPath;
    std::string programDir = DirectoryWithSeparator(programPath);
    facts.ProgramDirWritable = Sys::CanWriteFolder(programDir);
    // Root may write a system folder, but a program installed there is still an installed one.
    facts.InstalledDir =
        (!installedBinDir.empty() && WithSeparator(installedBinDir) == programDir) ||
        Sys::IsSystemProgramFolder(programDir);
    facts.SettingsBesideProgram = IsFile(SettingsPathFor(programPath));
    // The folder is handed to the desktop's browser later: always an absolute path, with the
    // program's own separators.
    facts.DataDirOption = dataDirOption.empty() ? dataDirOption : Sys::AbsolutePath(dataDirOption);
    const Sys::UserFolders folders = Sys::StandardUserFolders();
    facts.ConfigHome = folders.Config;
    facts.DataHome = folders.Data;
    return facts;
}

void PrepareDataLocation(const DataLocation& location) {
    // A portable copy is used as it is, as it always was: a read-only one still shows its pages.
    if (location.Kind == LocationKind::Portable) return;
    MakeFolders(location.DataDir);
    MakeFolders(DirectoryWithSeparator(location.SettingsPath));
    if (!Sys::CanWriteFolder(location.DataDir))
        throw Exception(Texts::CannotWriteMessage(location.DataDir));
}

std::string DisplayFolder(const std::string& folder, const std::string& home) {
    if (home.size() > 1 && folder.compare(0, home.size(), home) == 0 &&
        (folder.size() == home.size() || folder[home.size()] == '/'))
        return "~" + folder.substr(home.size());
    return folder;
}
