// Files and temporary program directories, shared by the tests of every folder.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "SysFile.h"

namespace testsupport {

// A fresh directory under the system's temporary directory, removed with its files.
class TempDir {
  public:
    TempDir() : path_(Sys::MakeTempFolder("zavo-test-")) {
        if (path_.empty()) throw std::runtime_error("no temporary folder");
    }
    ~TempDir() { Sys::RemoveTree(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Ends with '/'.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

    // The names of the files in the directory.
    std::set<std::string> Names() const {
        const std::vector<std::string> names = Sys::ListFolder(path_);
        return std::set<std::string>(names.begin(), names.end());
    }

  private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    if (Sys::TryReadWholeFile(path, bytes) != Sys::ReadStatus::Ok)
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

// Writes the file in place, as an editor would (no replacement: a link is followed, a mode
// kept).
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    Sys::File file =
        Sys::OpenFile(path, {Sys::FileAccess::Write, Sys::FileCreation::CreateOrTruncate});
    if (!file.Valid() || !file.WriteAll(bytes) || !file.Close())
        throw std::runtime_error("cannot write " + path);
}

// The regular files of a folder with their bytes (none when the folder is missing).
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::map<std::string, std::string> files;
    for (const std::string& name : Sys::ListFolder(folder))
        if (Sys::Inspect(prefix + name).kind == Sys::PathKind::File)
            files[name] = ReadBytes(prefix + name);
    return files;
}

// The permission bits of path (0xFFFF when it cannot be looked at); always 0 where files
// have no modes, so every check of a mode is guarded by Sys::kHasFileModes.
inline unsigned ModeOf(const std::string& path) {
    const Sys::PathInfo info = Sys::Inspect(path);
    const bool seen = info.kind != Sys::PathKind::Missing && info.kind != Sys::PathKind::Unknown;
    return seen ? info.mode : 0xFFFF;
}

// EXPECT_EQ(ModeOf(path), mode) where files carry modes. On Windows a file is private by the
// rights its folder hands down, and there is nothing to check. Takes a message like EXPECT_EQ;
// the switch keeps an enclosing if from taking its else.
#define EXPECT_FILE_MODE(path, mode) \
    switch (0)                       \
    case 0:                          \
    default:                         \
        if (!::Sys::kHasFileModes) { \
        } else                       \
            EXPECT_EQ(::testsupport::ModeOf(path), mode)

// What a saved page holds for a body: lines split at CR LF, lone CR or lone LF, the text
// cut at its first NUL, every line followed by CR LF.
inline std::string SavedForm(const std::string& body) {
    const std::string text = body.substr(0, body.find('\0'));
    std::string out;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += line + "\r\n";
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) out += line + "\r\n";
    return out;
}

}  // namespace testsupport
