#include "WorkList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

bool WriteAll(int fd, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, bytes + done, size - done);
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

namespace {

// Hands the lines of raw, each followed by CR LF, to sink in pieces of at most 64 KB, so
// that a save never needs the joined text in memory.
template <class Sink>
void ForEachJoinedPiece(const std::string& raw, Sink sink) {
    constexpr size_t kPiece = 1u << 16;
    char piece[kPiece];
    size_t used = 0;
    auto put = [&](char c) {
        piece[used++] = c;
        if (used == kPiece) {
            sink(std::string_view(piece, used));
            used = 0;
        }
    };
    const size_t end = raw.size();
    for (size_t i = 0; i < end; ++i) {
        const char c = raw[i];
        if (c == '\r' || c == '\n') {
            put('\r');
            put('\n');
            if (c == '\r' && i + 1 < end && raw[i + 1] == '\n') ++i;
        } else {
            put(c);
        }
    }
    // The last line ends with CR LF too.
    if (end > 0 && raw[end - 1] != '\r' && raw[end - 1] != '\n') {
        put('\r');
        put('\n');
    }
    if (used > 0) sink(std::string_view(piece, used));
}

}  // namespace

void TWorkList::SetText(const std::string& text) {
    text_.assign(text, 0, text.find('\0'));
    Measure();
}

void TWorkList::SetText(std::string&& text) {
    text_ = std::move(text);
    if (size_t nul = text_.find('\0'); nul != std::string::npos) text_.resize(nul);
    Measure();
}

void TWorkList::SetLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    SetText(std::move(text));
}

void TWorkList::Measure() {
    count_ = 0;
    joinedSize_ = 0;
    const size_t end = text_.size();
    for (size_t i = 0; i < end; ++i) {
        const char c = text_[i];
        if (c == '\r' || c == '\n') {
            ++count_;
            joinedSize_ += 2;
            if (c == '\r' && i + 1 < end && text_[i + 1] == '\n') ++i;
        } else {
            ++joinedSize_;
        }
    }
    if (end > 0 && text_[end - 1] != '\r' && text_[end - 1] != '\n') {
        ++count_;
        joinedSize_ += 2;
    }
}

void TWorkList::Clear() {
    // Gives the page's memory back, not only its contents.
    std::string().swap(text_);
    count_ = joinedSize_ = 0;
}

std::string TWorkList::Text() const {
    std::string text;
    text.reserve(joinedSize_);
    ForEachJoinedPiece(text_, [&text](std::string_view piece) { text += piece; });
    return text;
}

std::vector<std::string> TWorkList::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(count_);
    const std::string joined = Text();
    for (size_t i = 0; i < joined.size();) {
        const size_t crlf = joined.find("\r\n", i);
        lines.push_back(joined.substr(i, crlf - i));
        i = crlf + 2;
    }
    return lines;
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
    bool ok = true;
    ForEachJoinedPiece(text_, [&](std::string_view piece) {
        ok = ok && WriteAll(file.Get(), piece.data(), piece.size());
    });
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
    // A FIFO or a device in a page's place would block the read or never end it: only a
    // regular file is read.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        throw EFOpenError(FileOpenErrorMessage(path));
    }
    std::string bytes;
    // One allocation of the file's size: growing by doubling would briefly hold twice it.
    if (st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
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
