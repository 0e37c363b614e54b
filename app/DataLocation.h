// Where the settings file and the saved pages live.
//
// A portable copy keeps everything beside the program, as it always did. An installed copy,
// whose folder the user cannot write (or which sits in the folder it was installed to), keeps
// the settings file in the user's configuration folder and the pages in the user's data folder
// ("zavoconv" inside each: the XDG folders on Linux, %APPDATA% and %LOCALAPPDATA% on Windows).
// --data-dir chooses the data folder outright.
// A settings file that already lies beside the program is always the one used.
#pragma once

#include <string>

// What the decision looks at; gathered by GatherLocationFacts, written out by tests.
struct LocationFacts {
    std::string ProgramPath;             // the program file's full path
    bool ProgramDirWritable = false;     // the user may create files beside the program
    bool InstalledDir = false;           // the program sits in a system folder for programs
    bool SettingsBesideProgram = false;  // the settings file beside the program exists
    std::string DataDirOption;           // --data-dir, empty when not given
    std::string ConfigHome;              // $XDG_CONFIG_HOME or ~/.config (Windows: %APPDATA%)
    std::string DataHome;  // $XDG_DATA_HOME or ~/.local/share (Windows: %LOCALAPPDATA%)
};

enum class LocationKind {
    Portable,   // everything beside the program
    Installed,  // the XDG folders
    Chosen,     // --data-dir
};

struct DataLocation {
    LocationKind Kind = LocationKind::Portable;
    // Full path of the settings file.
    std::string SettingsPath;
    // The folder of the saved pages, the post-data file and the log; ends with '/'.
    std::string DataDir;
};

// The program's own folder name inside the XDG folders.
inline constexpr char kXdgFolderName[] = "zavoconv";

// The decision itself; no file is looked at.
DataLocation DecideDataLocation(const LocationFacts& facts);

// Reads the environment (the user's folders) and the file system for the decision.
// installedBinDir is the folder the build installs the program to; the system's own program
// folders (/usr/bin, /usr/local/bin, ..., or Program Files) count as installed folders too.
LocationFacts GatherLocationFacts(const std::string& programPath, const std::string& dataDirOption,
                                  const std::string& installedBinDir);

// For an installed or chosen location: creates the folders that do not exist yet, owner-only
// (0700), and checks that the data folder can be written. A portable one is left as it is. Raises
// Exception ("フォルダ %s を作成できません",
// "%s に書き込めません") naming the folder otherwise; nothing else is touched.
void PrepareDataLocation(const DataLocation& location);

// The folder as the user reads it: the home folder shown as "~".
std::string DisplayFolder(const std::string& folder, const std::string& home);
