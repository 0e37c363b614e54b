#include "WorkList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "SysUtils.h"

namespace {

// Closes a descriptor on every way out.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    // Closes now and reports whether the close went through: on some file systems a
    // failed write shows only here.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Saving through a symbolic link updates the file it points to; the rename would
// otherwise replace the link itself.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

void TWorkList::SetText(const std::string& text) {
    Lines.clear();
    size_t end = text.find('\0');
    if (end == std::string::npos) end = text.size();
    size_t start = 0;
    size_t i = 0;
    while (i < end) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            Lines.push_back(text.substr(start, i - start));
            ++i;
            if (c == '\r' && i < end && text[i] == '\n') ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end) Lines.push_back(text.substr(start, end - start));
}

std::string TWorkList::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TWorkList::SaveToFile(const std::string& path, bool flushToDisk) const {
    const std::string target = ResolveTarget(path);
    const std::string directory = DirectoryOf(target);
    const std::string base = target.substr(target.find_last_of('/') + 1);

    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    // A directory, or a file the user may not write (made read-only on purpose), is not
    // replaced: the rename would succeed where writing into the file would not.
    if (replacing && (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
        throw EFCreateError(FileCreateErrorMessage(path));
    }

    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = directory + "/." + base + ".tmp" + std::to_string(::getpid()) + "." +
                   std::to_string(tempCounter.fetch_add(1));
        // 0666 lets the umask decide, as for any newly created file.
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw EFCreateError(FileCreateErrorMessage(path));

    FileDescriptor file(fd);
    bool ok = WriteAll(file.Get(), Text());
    if (ok && replacing) {
        // A replaced file keeps its owner (when we may set it) and its permissions.
        if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps their own file.
        }
        ok = ::fchmod(file.Get(), old.st_mode & 07777) == 0;
    }
    if (ok && flushToDisk) ok = ::fsync(file.Get()) == 0;
    ok = file.Close() && ok;
    if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        throw EFCreateError(FileCreateErrorMessage(path));
    }
    if (!flushToDisk) return;
    // Makes the rename itself durable; a failure here leaves a complete file either way.
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void TWorkList::LoadFromFile(const std::string& path) {
    SetText(ReadFileBytes(path));
}

std::string ReadFileBytes(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || S_ISDIR(st.st_mode)) {
        throw EFOpenError(FileOpenErrorMessage(path));
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EFOpenError(FileOpenErrorMessage(path));
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}
