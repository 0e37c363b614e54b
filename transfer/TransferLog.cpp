#include "TransferLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Control bytes as \xNN; everything else, Shift-JIS included, as it is.
std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string TimeStamp(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    std::time_t seconds = system_clock::to_time_t(now);
    auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    if (millis < 0) millis += 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char date[32], zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%s.%03d%s", date, static_cast<int>(millis), zone);
    return stamp;
}

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A file descriptor closed on every way out.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::string AddressForLog(const std::string& address) {
    size_t scheme = address.find("://");
    size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    size_t hostEnd = address.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos) hostEnd = address.size();
    size_t at = address.rfind('@', hostEnd == 0 ? 0 : hostEnd - 1);
    if (at == std::string::npos || at < hostStart) return address;
    return address.substr(0, hostStart) + address.substr(at + 1);
}

TransferLog::TransferLog(std::string path, std::uintmax_t maxBytes)
    : Now([] { return std::chrono::system_clock::now(); }),
      path_(std::move(path)),
      maxBytes_(maxBytes) {}

std::string TransferLog::FormatLine(const std::string& method, const std::string& address,
                                    int status, const std::string& outcome) const {
    std::string line = TimeStamp(Now ? Now() : std::chrono::system_clock::now());
    line += ' ' + Printable(method) + ' ' + Printable(AddressForLog(address)) + ' ';
    line += status > 0 ? std::to_string(status) : std::string("-");
    line += ' ' + Printable(outcome) + '\n';
    return line;
}

bool TransferLog::Append(const std::string& method, const std::string& address, int status,
                         const std::string& outcome) {
    const std::string line = FormatLine(method, address, status, outcome);
    // Twice at most: once more after starting a new generation.
    for (int pass = 0; pass < 2; ++pass) {
        // Non-blocking, so a FIFO put at the path cannot hold the transfer; never through a
        // symbolic link.
        Fd fd(::open(path_.c_str(),
                     O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
        if (fd.Get() < 0) {
            LastError = SystemError("open");
            return false;
        }
        struct stat info {};
        if (::fstat(fd.Get(), &info) != 0) {
            LastError = SystemError("fstat");
            return false;
        }
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            LastError = "not a regular file of this user: " + path_;
            return false;
        }
        if ((info.st_mode & 077) != 0 && ::fchmod(fd.Get(), 0600) != 0) {
            LastError = SystemError("fchmod");
            return false;
        }
        if (pass == 0 && info.st_size > 0 &&
            static_cast<std::uintmax_t>(info.st_size) + line.size() > maxBytes_) {
            if (::rename(path_.c_str(), (path_ + ".1").c_str()) != 0) {
                LastError = SystemError("rename");
                return false;
            }
            continue;
        }
        size_t done = 0;
        while (done < line.size()) {
            ssize_t n = ::write(fd.Get(), line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                LastError = SystemError("write");
                return false;
            }
            done += static_cast<size_t>(n);
        }
        LastError.clear();
        return true;
    }
    LastError = "rotation did not take";
    return false;
}
