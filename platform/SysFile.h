// Files and folders as the program uses them, on both systems. Paths are UTF-8 with '/'
// between their parts (Windows accepts '/' and gets the UTF-16 form of the path at every
// call, so no name passes through the ANSI code page).
//
// What differs between the systems, and what callers may rely on:
//  - Owner only: POSIX creates such files 0600 and folders 0700 and narrows a wider file on
//    request. Windows has no modes: files and folders get the rights their folder hands
//    down, and the user's own profile folders (where the program keeps its files unless it
//    is portable) are private to the user already. kHasFileModes says which holds.
//  - Replacing a file: the new bytes go to a temporary file beside it, reach the disk, and
//    are renamed over the old one (rename on POSIX; MoveFileExW replacing and writing
//    through on Windows), so the old file stays whole until the new one is complete. A
//    rename over a file another process holds open fails on Windows.
//  - Folder flushes (SyncFolder) reach the disk on POSIX; on Windows a rename written
//    through is on the disk when it returns, and SyncFolder does nothing.
//  - Symbolic links: noFollow refuses one at the path on both systems.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Sys {

// True where files carry POSIX permission bits (Linux), false on Windows.
extern const bool kHasFileModes;

enum class FileError {
    None,
    Missing,     // no such file, or a folder on the way is missing
    Exists,      // CreateNew found something at the path
    NotRegular,  // a folder, a FIFO, a device or (with noFollow) a symbolic link
    Denied,      // the user may not open it so
    Full,        // the disk (or the user's quota, or a file size limit) is full
    Other,
};
// "no such file", "permission denied", ... (English, for logs).
const char* FileErrorText(FileError error);

enum class FileAccess { Read, Write, Append };
enum class FileCreation {
    OpenExisting,      // fails with Missing
    OpenOrCreate,      // keeps what the file holds
    CreateNew,         // fails with Exists when anything is at the path
    CreateOrTruncate,  // empties a file that exists
};
struct FileOpen {
    FileAccess access = FileAccess::Read;
    FileCreation creation = FileCreation::OpenExisting;
    // A file created anew is readable and writable by its owner only (POSIX: 0600).
    bool ownerOnly = false;
    // Mode of a file created anew when not ownerOnly (POSIX, before the umask).
    unsigned mode = 0666;
    // A symbolic link at the path is refused (NotRegular) instead of followed.
    bool noFollow = false;
};

// An open file that closes itself. Not copyable; moving hands the file over.
class File {
  public:
    File() = default;
    File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    File& operator=(File&& other) noexcept;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Valid() const { return handle_ != -1; }
    // Writes all of bytes, going on after short writes; false on any failure.
    bool WriteAll(const char* data, size_t size);
    bool WriteAll(const std::string& bytes) { return WriteAll(bytes.data(), bytes.size()); }
    // Reads at most size bytes: the bytes read, 0 at the end, -1 on failure.
    long long Read(char* buffer, size_t size);
    // The file's size in bytes, -1 when it cannot be told.
    long long Size() const;
    // Cuts (or extends) the file to size bytes.
    bool Truncate(long long size);
    // Waits until the file's data is on the disk.
    bool Flush();
    // Starts writing the file's data back without waiting for it (Linux); nothing elsewhere.
    void StartFlush();
    // True for a regular file (not a FIFO, a device or a folder).
    bool IsRegular() const;
    // True when the file belongs to the user running the program (always on Windows).
    bool OwnedByUser() const;
    // Makes a file that group or others may use readable and writable by its owner only
    // (POSIX 0600); true on Windows, where the file keeps the rights of its folder.
    bool NarrowToOwner();
    // Closes now and reports whether the close went through: on some file systems a failed
    // write shows only here.
    bool Close();

    // The system's handle (a descriptor, or a HANDLE as a number); for this layer's own use.
    std::intptr_t Handle() const { return handle_; }
    explicit File(std::intptr_t handle) : handle_(handle) {}

  private:
    std::intptr_t handle_ = -1;
};

// Opens the regular file at path as told; an invalid File with error set on failure. Anything
// else (a folder, a FIFO, a device) is refused with NotRegular, and opening it never waits
// (a FIFO without a writer or a reader would).
File OpenFile(const std::string& path, const FileOpen& how, FileError* error = nullptr);

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole regular file at path into bytes. Missing: no such file (or a missing
// folder on the way). Failed: anything else, a folder, a FIFO or a device included.
ReadStatus TryReadWholeFile(const std::string& path, std::string& bytes);

struct ReplaceOptions {
    // A file created anew is owner-only (POSIX 0600) instead of newFileMode.
    bool ownerOnly = false;
    unsigned newFileMode = 0666;
    // An existing file keeps its owner (where the user may set it) and its mode narrowed by
    // keepModeMask (POSIX).
    unsigned keepModeMask = 07777;
    // Wait until the file and its folder entry are on the disk.
    bool flush = true;
};

// Writes bytes to a temporary file in the same folder and renames it over path, so the old
// file stays whole until the new one is complete. A symbolic link at path is followed (its
// target is replaced; POSIX). A folder, or a file the user may not write (made read-only on
// purpose), is not replaced. False on any failure, leaving no temporary file.
bool ReplaceFile(const std::string& path, const std::string& bytes,
                 const ReplaceOptions& options = ReplaceOptions());
// The same, with the contents written by write into the temporary file (false from it fails
// the replacement): for contents too large to hold twice in memory.
bool ReplaceFileWith(const std::string& path, const std::function<bool(File&)>& write,
                     const ReplaceOptions& options = ReplaceOptions());

enum class PathKind { Missing, File, Folder, Link, Other, Unknown };
struct PathInfo {
    PathKind kind = PathKind::Missing;
    long long size = 0;
    unsigned mode = 0;  // POSIX permission bits; 0 on Windows
};
// What is at path. followLinks false: a symbolic link is reported as Link. Unknown: the
// path could not be looked at (a folder on the way that may not be searched, ...).
PathInfo Inspect(const std::string& path, bool followLinks = true);
inline bool IsFolder(const std::string& path) {
    return Inspect(path).kind == PathKind::Folder;
}
// Something (a file, a folder, a link, even a broken one) is at path.
inline bool Exists(const std::string& path) {
    const PathKind kind = Inspect(path, false).kind;
    return kind != PathKind::Missing;
}

enum class FolderResult { Created, Existed, Failed };
// Makes one folder (owner-only: POSIX 0700). Existed when a folder is already there.
FolderResult MakeFolder(const std::string& path, bool ownerOnly);
// The names in a folder (no "." or ".."); empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& path);
// Removes a file (or an empty folder's entry, or a link itself); true when it is gone.
bool RemoveFile(const std::string& path);
// Removes a folder with everything in it, as far as it can; true when nothing is left.
bool RemoveTree(const std::string& path);
// Renames from over to: a file replaces the file at to (if any); a folder needs to free.
// POSIX rename; Windows MoveFileExW written through.
bool MoveReplacing(const std::string& from, const std::string& to);
// Forces a folder's entries (a rename, a new file) onto the disk; best effort (see above).
void SyncFolder(const std::string& folder);
// True when the user may create files in folder (on Windows found out by creating one).
bool CanWriteFolder(const std::string& folder);
// Where a symbolic link at path points (the resolved path); path itself for anything else
// (and on Windows).
std::string ResolveLink(const std::string& path);

// A new folder under the system's temporary folder whose name begins with prefix; "" when
// none can be made. Ends with '/'.
std::string MakeTempFolder(const std::string& prefix);

// Test seam for a full disk: from now on a write that would take any file the program
// writes past limit bytes fails as on a full disk (FileError::Full); 0 lifts the limit.
// POSIX tests may use the system's own file size limit instead.
void LimitFileSizeForTests(unsigned long long limit);

}  // namespace Sys
