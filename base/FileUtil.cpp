#include "FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "SysUtils.h"

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileDescriptor::Close() {
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

ReadStatus TryReadWholeFile(const std::string& path, std::string& bytes) {
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.Valid()) {
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::Failed;
    bytes.clear();
    if (st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadStatus::Failed;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return ReadStatus::Ok;
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    if (TryReadWholeFile(path, bytes) != ReadStatus::Ok) {
        throw EFOpenError(FileOpenErrorMessage(path));
    }
    return bytes;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SyncDirectory(const std::string& directory) {
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

namespace {

// Saving through a symbolic link updates the file it points to; the rename would otherwise
// replace the link itself.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& bytes, const ReplaceOptions& options) {
    return ReplaceFileWith(
        path, [&bytes](int fd) { return WriteAll(fd, bytes); }, options);
}

bool ReplaceFileWith(const std::string& path, const std::function<bool(int fd)>& write,
                     const ReplaceOptions& options) {
    const std::string target = ResolveLink(path);
    const std::string directory = DirectoryOf(target);
    const std::string base = target.substr(target.find_last_of('/') + 1);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    std::string tempPath;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        tempPath = directory + "/." + base + ".tmp" + std::to_string(::getpid()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        file = FileDescriptor(
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, options.newFileMode));
        if (!file.Valid() && errno != EEXIST) break;
    }
    if (!file.Valid()) return false;

    bool ok = write(file.Get());
    if (ok && replacing) {
        // A replaced file keeps its owner (when we may set it) and its permissions.
        if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps their own file.
        }
        ok = ::fchmod(file.Get(), old.st_mode & options.keepModeMask) == 0;
    }
    if (ok && options.flush) ok = ::fsync(file.Get()) == 0;
    ok = file.Close() && ok;
    if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    if (options.flush) SyncDirectory(directory);
    return true;
}
