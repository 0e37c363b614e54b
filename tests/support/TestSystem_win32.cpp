#include <winsock2.h>

#include "SysFile.h"
#include "TestSystem.h"

namespace testsupport {

namespace {
SOCKET Native(Sys::SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}
}  // namespace

// Windows files carry no modes, owners a test could hand out, FIFOs or links a user may
// plant: the rights come from the folder, and the tests that need such a premise skip.
bool SetMode(const std::string&, unsigned) {
    return false;
}

bool SetUmask(unsigned, unsigned& old) {
    old = 0;
    return false;
}

// An administrator, too, is refused a read-only file and a folder its rights close.
bool IsSuperUser() {
    return false;
}

bool SetOwner(const std::string&, unsigned, unsigned) {
    return false;
}

bool OwnerOf(const std::string&, unsigned&, unsigned&) {
    return false;
}

bool MakeFifo(const std::string&) {
    return false;
}

bool MakeSymlink(const std::string&, const std::string&) {
    return false;
}

// Windows has no file size limit of its own: the platform's seam stands in for it.
bool LimitFileSize(unsigned long long limit) {
    Sys::LimitFileSizeForTests(limit);
    return true;
}

void LiftFileSizeLimit() {
    Sys::LimitFileSizeForTests(0);
}

bool HasXdgFolders() {
    return false;
}

bool SetSendBuffer(Sys::SocketHandle socket, int bytes) {
    return ::setsockopt(Native(socket), SOL_SOCKET, SO_SNDBUF,
                        reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

bool LingerOf(Sys::SocketHandle socket, bool& on, int& seconds) {
    linger lin{};
    int len = sizeof lin;
    if (::getsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&lin), &len) !=
        0)
        return false;
    on = lin.l_onoff != 0;
    seconds = lin.l_linger;
    return true;
}

Sys::SocketHandle BindLoopbackWithoutListening(uint16_t& port) {
    if (!Sys::StartSockets()) return Sys::kNoSocket;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return Sys::kNoSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::closesocket(s);
        return Sys::kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return static_cast<Sys::SocketHandle>(s);
}

}  // namespace testsupport
