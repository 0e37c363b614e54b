// Windows Sockets 2 before windows.h, which would bring the first version otherwise.
#include <winsock2.h>
#include <ws2tcpip.h>
// After them.
#include <windows.h>

#include <mutex>

#include "SysSocket.h"

namespace Sys {

namespace {

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle Handle(SOCKET socket) {
    return socket == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(socket);
}

// Windows Sockets report the table's numbers themselves.
int32_t LastError() {
    return ::WSAGetLastError();
}

sockaddr_in Ipv4(uint32_t address, uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = port;
    addr.sin_addr.s_addr = address;
    return addr;
}

// Sockets made here are never handed down to child processes.
void NotInherited(SOCKET socket) {
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

bool IsSocket(SocketHandle socket) {
    int type = 0;
    int len = sizeof type;
    return ::getsockopt(Native(socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                        &len) == 0;
}

short ToWsa(short events) {
    short wsa = 0;
    // Out-of-band data is not asked for: WSAPoll refuses POLLPRI on some Windows releases.
    if (events & kReadable) wsa |= POLLRDNORM;
    if (events & kWritable) wsa |= POLLWRNORM;
    return wsa;
}

short FromWsa(short revents) {
    short ours = 0;
    if (revents & (POLLRDNORM | POLLRDBAND)) ours |= kReadable;
    if (revents & POLLWRNORM) ours |= kWritable;
    if (revents & POLLERR) ours |= kError;
    if (revents & POLLHUP) ours |= kHangUp;
    if (revents & POLLNVAL) ours |= kInvalid;
    return ours;
}

}  // namespace

bool StartSockets() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

int Poll(PollEntry* entries, size_t count, int timeoutMs) {
    // WSAPoll takes sockets only, and refuses the whole wait for one entry that is no open
    // socket: the entries without a socket are left out, and a refusal is answered by
    // finding the bad entries, as POSIX marks them, instead of returning at once again.
    WSAPOLLFD small[8];
    size_t index[8];
    std::vector<WSAPOLLFD> largeFds;
    std::vector<size_t> largeIndex;
    WSAPOLLFD* fds = small;
    size_t* at = index;
    if (count > std::size(small)) {
        largeFds.resize(count);
        largeIndex.resize(count);
        fds = largeFds.data();
        at = largeIndex.data();
    }
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        entries[i].revents = 0;
        if (entries[i].handle == kNoSocket) continue;
        fds[used] = WSAPOLLFD{Native(entries[i].handle), ToWsa(entries[i].events), 0};
        at[used++] = i;
    }
    if (used == 0) {
        // Nothing to watch: a plain sleep, bounded by the caller's time-out.
        if (timeoutMs > 0) ::Sleep(static_cast<DWORD>(timeoutMs));
        return 0;
    }
    if (!StartSockets()) return -1;
    // Some Windows versions refuse the whole wait for an entry that is no socket, others (and
    // Wine) wait on without a word about it: such entries are found first and reported at
    // once, as POSIX reports them.
    int bad = 0;
    for (size_t k = 0; k < used; ++k) {
        if (IsSocket(entries[at[k]].handle)) continue;
        entries[at[k]].revents = kInvalid;
        ++bad;
    }
    if (bad > 0) return bad;
    const int ready = ::WSAPoll(fds, static_cast<ULONG>(used), timeoutMs);
    if (ready == SOCKET_ERROR) return -1;
    for (size_t k = 0; k < used; ++k) entries[at[k]].revents = FromWsa(fds[k].revents);
    return ready;
}

SocketHandle OpenStreamSocket(bool resetOnClose, int32_t& error) {
    if (!StartSockets()) {
        error = WSANOTINITIALISED;
        return kNoSocket;
    }
    const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, resetOnClose ? IPPROTO_TCP : 0, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error = LastError();
        return kNoSocket;
    }
    if (!SetNonBlocking(Handle(s), true)) {
        error = LastError();
        ::closesocket(s);
        return kNoSocket;
    }
    if (resetOnClose) SetResetOnClose(Handle(s));
    return Handle(s);
}

bool SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long on = nonBlocking ? 1 : 0;
    return ::ioctlsocket(Native(socket), FIONBIO, &on) == 0;
}

bool SetResetOnClose(SocketHandle socket) {
    linger lin{1, 0};
    return ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lin),
                        sizeof lin) == 0;
}

bool SetReceiveBuffer(SocketHandle socket, int bytes) {
    return ::setsockopt(Native(socket), SOL_SOCKET, SO_RCVBUF,
                        reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

int32_t CloseSocket(SocketHandle socket) {
    return ::closesocket(Native(socket)) == 0 ? 0 : LastError();
}

bool ShutdownSend(SocketHandle socket) {
    return ::shutdown(Native(socket), SD_SEND) == 0;
}

int32_t StartConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in addr = Ipv4(address, port);
    if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
        return 0;
    // A non-blocking connect under way reports "would block" here.
    return LastError();
}

int32_t PendingError(SocketHandle socket) {
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) !=
        0)
        return LastError();
    return err;
}

bool IsListening(SocketHandle socket) {
    BOOL on = FALSE;
    int len = sizeof on;
    return ::getsockopt(Native(socket), SOL_SOCKET, SO_ACCEPTCONN, reinterpret_cast<char*>(&on),
                        &len) == 0 &&
           on != FALSE;
}

long long Send(SocketHandle socket, const char* data, size_t size, int32_t& error) {
    // No signal to fear on Windows: a peer that has gone is an error of the call.
    const int chunk = static_cast<int>(size > (1u << 30) ? (1u << 30) : size);
    const int n = ::send(Native(socket), data, chunk, 0);
    if (n >= 0) return n;
    error = LastError();
    return -1;
}

long long Receive(SocketHandle socket, char* buffer, size_t size, bool peek, int32_t& error) {
    const int chunk = static_cast<int>(size > (1u << 30) ? (1u << 30) : size);
    const int n = ::recv(Native(socket), buffer, chunk, peek ? MSG_PEEK : 0);
    if (n > 0) return n;
    if (n == 0) {
        // Windows reports a reset connection as a failed receive; Wine reports the end of the
        // data, and only a wait shows the error mark. Either way the caller hears of a reset,
        // never of an orderly end that would let a cut page pass for a whole one.
        WSAPOLLFD probe{Native(socket), POLLRDNORM, 0};
        if (::WSAPoll(&probe, 1, 0) == 1 && (probe.revents & POLLERR)) {
            error = WSAECONNRESET;
            return -1;
        }
        return 0;
    }
    error = LastError();
    // A peek into a message larger than the buffer is no failure on a stream.
    if (error == WSAEMSGSIZE) return chunk;
    return -1;
}

uint16_t ListenOnLoopback(SocketHandle socket, uint16_t port, int backlog, bool /*reuseAddress*/,
                          int32_t& error) {
    // Windows binds a port again at once after a restart; its SO_REUSEADDR would let another
    // program take a port in use, so the port is claimed for this socket alone.
    const BOOL on = TRUE;
    ::setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&on), sizeof on);
    const sockaddr_in addr = Ipv4(htonl(INADDR_LOOPBACK), htons(port));
    if (::bind(Native(socket), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(Native(socket), backlog) != 0) {
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
    int len = sizeof peer;
    const SOCKET s = ::accept(Native(listening), reinterpret_cast<sockaddr*>(&peer), &len);
    if (s == INVALID_SOCKET) {
        error = LastError();
        return kNoSocket;
    }
    NotInherited(s);
    // An accepted socket takes the listening socket's mode; it gets the one asked for.
    SetNonBlocking(Handle(s), nonBlocking);
    address = peer.sin_addr.s_addr;
    port = peer.sin_port;
    return Handle(s);
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in addr{};
    int len = sizeof addr;
    if (::getsockname(Native(socket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

uint16_t PeerPort(SocketHandle socket) {
    sockaddr_in addr{};
    int len = sizeof addr;
    if (::getpeername(Native(socket), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

bool ParseIpv4(const std::string& text, uint32_t& address) {
    // inet_addr, as on POSIX: it takes the short forms ("127.1") a user may type.
    const unsigned long parsed = ::inet_addr(text.c_str());
    if (parsed == INADDR_NONE) return false;
    address = static_cast<uint32_t>(parsed);
    return true;
}

int32_t ResolveIpv4(const std::string& name, std::vector<uint32_t>& addresses) {
    if (!StartSockets()) return SocketError::kNoRecovery;
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
        case WSATRY_AGAIN:
            return SocketError::kTryAgain;
        case WSANO_RECOVERY:
            return SocketError::kNoRecovery;
        case WSANO_DATA:
            return SocketError::kNoData;
        default:
            return SocketError::kHostNotFound;
    }
}

bool MakeSocketPair(SocketHandle& first, SocketHandle& second) {
    // Windows has no local socket pair: two loopback TCP sockets, the listener closed at once.
    // Only the connection that came from our own client is taken, so no other program on the
    // machine can slip in between.
    int32_t error = 0;
    const SocketHandle listener = OpenStreamSocket(false, error);
    if (listener == kNoSocket) return false;
    SetNonBlocking(listener, false);
    const uint16_t port = ListenOnLoopback(listener, 0, 1, false, error);
    SocketHandle client = port == 0 ? kNoSocket : OpenStreamSocket(false, error);
    SocketHandle server = kNoSocket;
    if (client != kNoSocket) {
        SetNonBlocking(client, false);
        if (StartConnect(client, LoopbackAddress(), htons(port)) == 0) {
            uint32_t address = 0;
            uint16_t peerPort = 0;
            server = Accept(listener, false, address, peerPort, error);
            if (server != kNoSocket && ntohs(peerPort) != LocalPort(client)) {
                CloseSocket(server);
                server = kNoSocket;
            }
        }
    }
    CloseSocket(listener);
    if (server == kNoSocket) {
        if (client != kNoSocket) CloseSocket(client);
        return false;
    }
    first = client;
    second = server;
    return true;
}

WakeUp::WakeUp() {
    SocketHandle readEnd = kNoSocket, writeEnd = kNoSocket;
    if (!MakeSocketPair(readEnd, writeEnd)) return;
    SetNonBlocking(readEnd, true);
    SetNonBlocking(writeEnd, true);
    read_ = readEnd;
    write_ = writeEnd;
}

WakeUp::~WakeUp() {
    for (SocketHandle s : {read_, write_}) {
        if (s != kNoSocket) CloseSocket(s);
    }
}

void WakeUp::Signal() {
    if (write_ == kNoSocket) return;
    const char one = 1;
    // A full socket already holds a wake-up.
    ::send(Native(write_), &one, 1, 0);
}

void WakeUp::Drain() {
    if (read_ == kNoSocket) return;
    char scratch[64];
    while (::recv(Native(read_), scratch, sizeof scratch, 0) > 0) {
    }
}

}  // namespace Sys
