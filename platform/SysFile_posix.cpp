#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "SysFile.h"
#include "SysPath.h"
#include "SysProcess.h"

namespace Sys {

const bool kHasFileModes = true;

namespace {

std::atomic<unsigned long long> fileSizeLimit{0};

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

FileError ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return FileError::None;
        case ENOENT:
        case ENOTDIR:
            return FileError::Missing;
        case EEXIST:
            return FileError::Exists;
        case ELOOP:
        case EISDIR:
        case ENXIO:
            return FileError::NotRegular;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileError::Denied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError::Full;
        default:
            return FileError::Other;
    }
}

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (Valid()) ::close(Fd(handle_));
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

File::~File() {
    if (Valid()) ::close(Fd(handle_));
}

bool File::WriteAll(const char* data, size_t size) {
    if (const unsigned long long limit = fileSizeLimit.load(); limit != 0) {
        const off_t at = ::lseek(Fd(handle_), 0, SEEK_CUR);
        if (at < 0 || static_cast<unsigned long long>(at) + size > limit) {
            errno = EFBIG;
            return false;
        }
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(Fd(handle_), data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

long long File::Read(char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(Fd(handle_), buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

long long File::Size() const {
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0) return -1;
    return st.st_size;
}

bool File::Truncate(long long size) {
    return ::ftruncate(Fd(handle_), static_cast<off_t>(size)) == 0;
}

bool File::Flush() {
    return ::fsync(Fd(handle_)) == 0;
}

void File::StartFlush() {
    ::sync_file_range(Fd(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool File::IsRegular() const {
    struct stat st {};
    return ::fstat(Fd(handle_), &st) == 0 && S_ISREG(st.st_mode);
}

bool File::OwnedByUser() const {
    struct stat st {};
    return ::fstat(Fd(handle_), &st) == 0 && st.st_uid == ::geteuid();
}

bool File::NarrowToOwner() {
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0) return false;
    if ((st.st_mode & 077) == 0) return true;
    return ::fchmod(Fd(handle_), 0600) == 0;
}

bool File::Close() {
    if (!Valid()) return true;
    const int fd = Fd(handle_);
    handle_ = -1;
    return ::close(fd) == 0;
}

File OpenFile(const std::string& path, const FileOpen& how, FileError* error) {
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (how.access) {
        case FileAccess::Read:
            flags |= O_RDONLY;
            break;
        case FileAccess::Write:
            flags |= O_WRONLY;
            break;
        case FileAccess::Append:
            flags |= O_WRONLY | O_APPEND;
            break;
    }
    switch (how.creation) {
        case FileCreation::OpenExisting:
            break;
        case FileCreation::OpenOrCreate:
            flags |= O_CREAT;
            break;
        case FileCreation::CreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
        case FileCreation::CreateOrTruncate:
            flags |= O_CREAT;
            break;
    }
    if (how.noFollow) flags |= O_NOFOLLOW;
    const mode_t mode = how.ownerOnly ? 0600 : static_cast<mode_t>(how.mode);
    // O_NONBLOCK: opening a FIFO must not wait for its other end; a regular file ignores it.
    File file(::open(path.c_str(), flags, mode));
    auto fail = [&](FileError why) {
        if (error) *error = why;
        return File();
    };
    if (!file.Valid()) return fail(ErrorFromErrno(errno));
    if (!file.IsRegular()) return fail(FileError::NotRegular);
    // Emptied only once it is known to be a regular file.
    if (how.creation == FileCreation::CreateOrTruncate && !file.Truncate(0))
        return fail(ErrorFromErrno(errno));
    if (error) *error = FileError::None;
    return file;
}

namespace {

std::atomic<unsigned> tempCounter{0};

std::string DirectoryPart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool ReplaceFileWith(const std::string& path, const std::function<bool(File&)>& write,
                     const ReplaceOptions& options) {
    // Saving through a symbolic link updates the file it points to; the rename would otherwise
    // replace the link itself.
    const std::string target = ResolveLink(path);
    const std::string directory = DirectoryPart(target);
    const std::string base = target.substr(target.find_last_of('/') + 1);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    std::string tempPath;
    File file;
    FileOpen how;
    how.access = FileAccess::Write;
    how.creation = FileCreation::CreateNew;
    how.ownerOnly = options.ownerOnly;
    how.mode = options.newFileMode;
    for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        tempPath = directory + "/." + base + ".tmp" + std::to_string(ProcessId()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        FileError error = FileError::None;
        file = OpenFile(tempPath, how, &error);
        if (!file.Valid() && error != FileError::Exists) break;
    }
    if (!file.Valid()) return false;

    bool ok = write(file);
    if (ok && replacing) {
        // A replaced file keeps its owner (when we may set it) and its permissions.
        if (::fchown(Fd(file.Handle()), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps their own file.
        }
        ok = ::fchmod(Fd(file.Handle()), old.st_mode & options.keepModeMask) == 0;
    }
    if (ok && options.flush) ok = file.Flush();
    ok = file.Close() && ok;
    if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    if (options.flush) SyncFolder(directory);
    return true;
}

PathInfo Inspect(const std::string& path, bool followLinks) {
    struct stat st {};
    PathInfo info;
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        info.kind = (errno == ENOENT || errno == ENOTDIR) ? PathKind::Missing : PathKind::Unknown;
        return info;
    }
    if (S_ISREG(st.st_mode))
        info.kind = PathKind::File;
    else if (S_ISDIR(st.st_mode))
        info.kind = PathKind::Folder;
    else if (S_ISLNK(st.st_mode))
        info.kind = PathKind::Link;
    else
        info.kind = PathKind::Other;
    info.size = st.st_size;
    info.mode = st.st_mode & 07777;
    return info;
}

FolderResult MakeFolder(const std::string& path, bool ownerOnly) {
    if (::mkdir(path.c_str(), ownerOnly ? 0700 : 0777) == 0) return FolderResult::Created;
    if (errno == EEXIST && IsFolder(path)) return FolderResult::Existed;
    return FolderResult::Failed;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !Exists(path);
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool CanWriteFolder(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::string MakeTempFolder(const std::string& prefix) {
    std::string pattern = TempFolder() + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern + "/";
}

void LimitFileSizeForTests(unsigned long long limit) {
    fileSizeLimit.store(limit);
}

}  // namespace Sys
