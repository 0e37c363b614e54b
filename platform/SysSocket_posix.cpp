#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "SysErrno_posix.h"
#include "SysSocket.h"

static_assert(Sys::kReadable == POLLIN && Sys::kUrgent == POLLPRI && Sys::kWritable == POLLOUT &&
              Sys::kError == POLLERR && Sys::kHangUp == POLLHUP && Sys::kInvalid == POLLNVAL &&
              Sys::kPeerClosed == POLLRDHUP);

namespace Sys {

namespace {
int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

int32_t LastError() {
    return SocketErrorFromErrno(errno);
}

sockaddr_in Ipv4(uint32_t address, uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = port;
    addr.sin_addr.s_addr = address;
    return addr;
}
}  // namespace

bool StartSockets() {
    return true;
}

int Poll(PollEntry* entries, size_t count, int timeoutMs) {
    // pollfd holds an int where PollEntry holds a wider handle: copied both ways. A wait
    // watches a handful of sockets, so the copy costs nothing worth a cache.
    pollfd small[8];
    std::vector<pollfd> large;
    pollfd* fds = small;
    if (count > std::size(small)) {
        large.resize(count);
        fds = large.data();
    }
    for (size_t i = 0; i < count; ++i) fds[i] = pollfd{Fd(entries[i].handle), entries[i].events, 0};
    // EINTR just ends the wait; the caller looks again.
    const int ready = ::poll(fds, count, timeoutMs);
    for (size_t i = 0; i < count; ++i) entries[i].revents = ready > 0 ? fds[i].revents : 0;
    return ready;
}

SocketHandle OpenStreamSocket(bool resetOnClose, int32_t& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            resetOnClose ? IPPROTO_TCP : 0);
    if (fd < 0) {
        error = LastError();
        return kNoSocket;
    }
    if (resetOnClose) SetResetOnClose(fd);
    return fd;
}

bool SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    const int flags = ::fcntl(Fd(socket), F_GETFL);
    if (flags < 0) return false;
    return ::fcntl(Fd(socket), F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) ==
           0;
}

bool SetResetOnClose(SocketHandle socket) {
    linger lin{1, 0};
    return ::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &lin, sizeof lin) == 0;
}

bool SetReceiveBuffer(SocketHandle socket, int bytes) {
    return ::setsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

int32_t CloseSocket(SocketHandle socket) {
    // close() releases the descriptor even when it reports an error; EINTR is no failure.
    if (::close(Fd(socket)) == 0 || errno == EINTR) return 0;
    return LastError();
}

bool ShutdownSend(SocketHandle socket) {
    return ::shutdown(Fd(socket), SHUT_WR) == 0;
}

int32_t StartConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in addr = Ipv4(address, port);
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return 0;
    // An interrupted connect goes on in the background, like one in progress.
    if (errno == EINTR) return SocketError::kInProgress;
    return LastError();
}

int32_t PendingError(SocketHandle socket) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return SocketErrorFromErrno(err);
}

bool IsListening(SocketHandle socket) {
    int on = 0;
    socklen_t len = sizeof on;
    return ::getsockopt(Fd(socket), SOL_SOCKET, SO_ACCEPTCONN, &on, &len) == 0 && on != 0;
}

long long Send(SocketHandle socket, const char* data, size_t size, int32_t& error) {
    for (;;) {
        const ssize_t n = ::send(Fd(socket), data, size, MSG_NOSIGNAL);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        error = LastError();
        return -1;
    }
}

long long Receive(SocketHandle socket, char* buffer, size_t size, bool peek, int32_t& error) {
    for (;;) {
        const ssize_t n = ::recv(Fd(socket), buffer, size, peek ? MSG_PEEK : 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        error = LastError();
        return -1;
    }
}

uint16_t ListenOnLoopback(SocketHandle socket, uint16_t port, int backlog, bool reuseAddress,
                          int32_t& error) {
    if (reuseAddress) {
        const int one = 1;
        ::setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    const sockaddr_in addr = Ipv4(htonl(INADDR_LOOPBACK), htons(port));
    if (::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(Fd(socket), backlog) != 0) {
        error = LastError();
        return 0;
    }
    const uint16_t bound = LocalPort(socket);
    if (bound == 0) error = LastError();
    return bound;
}

SocketHandle Accept(SocketHandle listening, bool nonBlocking, uint32_t& address, uint16_t& port,
                    int32_t& error) {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    for (;;) {
        const int fd = ::accept4(Fd(listening), reinterpret_cast<sockaddr*>(&peer), &len,
                                 SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0));
        if (fd >= 0) {
            address = peer.sin_addr.s_addr;
            port = peer.sin_port;
            return fd;
        }
        if (errno == EINTR) continue;
        error = LastError();
        return kNoSocket;
    }
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

uint16_t PeerPort(SocketHandle socket) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

bool ParseIpv4(const std::string& text, uint32_t& address) {
    const in_addr_t parsed = ::inet_addr(text.c_str());
    if (parsed == INADDR_NONE) return false;
    address = parsed;
    return true;
}

int32_t ResolveIpv4(const std::string& name, std::vector<uint32_t>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc != 0) return SocketErrorFromLookup(rc);
    for (addrinfo* a = result; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr)
            addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    }
    ::freeaddrinfo(result);
    return addresses.empty() ? SocketError::kNoData : 0;
}

int32_t SocketErrorFromLookup(int code) {
    switch (code) {
        case 0:
            return 0;
        case EAI_AGAIN:
            return SocketError::kTryAgain;
        case EAI_FAIL:
            return SocketError::kNoRecovery;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return SocketError::kNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return SocketError::kNoData;
#endif
        default:
            return SocketError::kHostNotFound;
    }
}

bool MakeSocketPair(SocketHandle& first, SocketHandle& second) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    first = fds[0];
    second = fds[1];
    return true;
}

WakeUp::WakeUp() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    read_ = fds[0];
    write_ = fds[1];
}

WakeUp::~WakeUp() {
    for (SocketHandle fd : {read_, write_}) {
        if (fd != kNoSocket) ::close(Fd(fd));
    }
}

void WakeUp::Signal() {
    if (write_ == kNoSocket) return;
    const char one = 1;
    (void)!::write(Fd(write_), &one, 1);
}

void WakeUp::Drain() {
    if (read_ == kNoSocket) return;
    char scratch[64];
    while (::read(Fd(read_), scratch, sizeof scratch) > 0) {
    }
}

}  // namespace Sys
