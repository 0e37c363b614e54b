// Where things are: the program's own file, the user's folders, the environment, and paths
// as the user reads them. Paths are UTF-8 with '/' between their parts on both systems;
// Windows paths are turned into that form as they come in ("C:/Users/...") and shown with
// '\' again (ForDisplay).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Sys {

// The program file's full path; "" when the system will not tell.
std::string ProgramFilePath();
// Where ProgramFilePath looks, for a message when it fails ("/proc/self/exe").
const char* ProgramFileSource();

// An environment variable's value (UTF-8); nullopt when it is not set.
std::optional<std::string> GetEnv(const char* name);
// Sets (value) or removes (nullopt) an environment variable of this process (tests).
void SetEnv(const char* name, const std::optional<std::string>& value);

// The user's home folder (POSIX $HOME or the password database; Windows %USERPROFILE%).
std::string HomeFolder();
// The folder a user reads as "~" in a path (POSIX: the home folder); "" on Windows, which
// has no such short form.
std::string TildeHome();

// The base folders of an installed copy's files; the program adds "zavoconv/" to each.
// POSIX: $XDG_CONFIG_HOME or ~/.config, and $XDG_DATA_HOME or ~/.local/share (relative
// values are ignored, as the XDG rules ask). Windows: %APPDATA% (the settings roam with the
// user) and %LOCALAPPDATA% (the saved pages stay on the machine).
struct UserFolders {
    std::string Config;
    std::string Data;
};
UserFolders StandardUserFolders();
// The XDG rule itself: value when it is an absolute path, else home + fallback
// ("/home/u" + "/.config"); exposed for tests.
std::string XdgBaseDir(const std::optional<std::string>& value, const std::string& home,
                       const char* fallback);

// True for a folder the system keeps programs in (POSIX: /usr/bin, /usr/local/bin, ...;
// Windows: anywhere under %ProgramFiles% and %ProgramFiles(x86)%). folder ends with '/'.
bool IsSystemProgramFolder(const std::string& folder);

// True for an absolute path ("/x" on POSIX; "C:/x", "//server/share" on Windows).
bool IsAbsolutePath(const std::string& path);
// The path made absolute against the current folder and normalised ('/' between parts,
// no "." or ".."); the path as it was when that fails.
std::string AbsolutePath(const std::string& path);
// The process's current folder, ending with '/'.
std::string CurrentFolder();
// A path as the user reads it on this system (Windows: '\' between the parts).
std::string ForDisplay(const std::string& path);
// The system's temporary folder, ending with '/'.
std::string TempFolder();

// The program's arguments as UTF-8 (Windows: from the wide command line, whatever the ANSI
// code page; POSIX: argv as it is).
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace Sys
