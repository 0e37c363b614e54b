#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "SysClock.h"
#include "SysPath.h"
#include "TestSystem.h"

namespace testsupport {

namespace {
int Fd(Sys::SocketHandle socket) {
    return static_cast<int>(socket);
}

// What LimitFileSize replaced, put back by its counterpart.
std::optional<rlimit> savedFileSizeLimit;
void (*savedFileSizeHandler)(int) = SIG_DFL;
}  // namespace

bool SetMode(const std::string& path, unsigned mode) {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool SetUmask(unsigned mask, unsigned& old) {
    old = ::umask(static_cast<mode_t>(mask));
    return true;
}

bool IsSuperUser() {
    return ::geteuid() == 0;
}

bool SetOwner(const std::string& path, unsigned user, unsigned group) {
    return ::chown(path.c_str(), user, group) == 0;
}

bool OwnerOf(const std::string& path, unsigned& user, unsigned& group) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    user = st.st_uid;
    group = st.st_gid;
    return true;
}

bool MakeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

bool MakeSymlink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool LimitFileSize(unsigned long long limit) {
    rlimit old{};
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0) return false;
    rlimit limited = old;
    limited.rlim_cur = static_cast<rlim_t>(limit);
    // Without this the first write past the limit ends the process instead of failing.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
        std::signal(SIGXFSZ, oldHandler);
        return false;
    }
    if (!savedFileSizeLimit) {
        savedFileSizeLimit = old;
        savedFileSizeHandler = oldHandler;
    }
    return true;
}

void LiftFileSizeLimit() {
    if (!savedFileSizeLimit) return;
    ::setrlimit(RLIMIT_FSIZE, &*savedFileSizeLimit);
    std::signal(SIGXFSZ, savedFileSizeHandler);
    savedFileSizeLimit.reset();
}

bool HasXdgFolders() {
    return true;
}

bool SetSendBuffer(Sys::SocketHandle socket, int bytes) {
    return ::setsockopt(Fd(socket), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool LingerOf(Sys::SocketHandle socket, bool& on, int& seconds) {
    linger lin{};
    socklen_t len = sizeof lin;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &lin, &len) != 0) return false;
    on = lin.l_onoff != 0;
    seconds = lin.l_linger;
    return true;
}

Sys::SocketHandle BindLoopbackWithoutListening(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Sys::kNoSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return Sys::kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace testsupport
