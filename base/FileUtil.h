// Files the way every part of the program handles them: a descriptor that closes itself,
// reading a whole file, and replacing a file so that a failure never leaves it half-written.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

// Closes a descriptor on every way out.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor();

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release();
    // Closes now and reports whether the close went through: on some file systems a failed
    // write shows only here.
    bool Close();

  private:
    int fd_;
};

// Writes all of bytes, going on after EINTR and short writes; false on any failure.
bool WriteAll(int fd, const char* data, size_t size);
inline bool WriteAll(int fd, const std::string& bytes) {
    return WriteAll(fd, bytes.data(), bytes.size());
}

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole regular file at path into bytes. Missing: no such file (or a missing
// folder on the way). Failed: anything else, a folder, a FIFO or a device included (opening
// one could block, and none holds a file of ours).
ReadStatus TryReadWholeFile(const std::string& path, std::string& bytes);

// The bytes of the regular file at path; raises EFOpenError "ファイル %s は開けません".
std::string ReadWholeFile(const std::string& path);

// The folder of a path without its trailing '/': "." for a bare name, "/" for the root.
std::string DirectoryOf(const std::string& path);

// Forces a folder's entries (a rename, a new file) onto the disk; best effort.
void SyncDirectory(const std::string& directory);

struct ReplaceOptions {
    // Mode of a file created anew (before the umask). An existing file keeps its own mode
    // and owner, narrowed by keepModeMask.
    mode_t newFileMode = 0666;
    mode_t keepModeMask = 07777;
    // Wait until the file and its folder entry are on the disk.
    bool flush = true;
};

// Writes bytes to a temporary file in the same folder and renames it over path, so the old
// file stays whole until the new one is complete. A symbolic link at path is followed (its
// target is replaced). A folder, or a file the user may not write (made read-only on
// purpose), is not replaced. Returns false on any failure, leaving no temporary file.
bool ReplaceFile(const std::string& path, const std::string& bytes,
                 const ReplaceOptions& options = ReplaceOptions());

// The same, with the new contents written by write into the temporary file's descriptor
// (false from it fails the replacement): for contents too large to hold twice in memory.
bool ReplaceFileWith(const std::string& path, const std::function<bool(int fd)>& write,
                     const ReplaceOptions& options = ReplaceOptions());
