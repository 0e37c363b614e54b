// What both systems' sides of SysSocket.h share: the byte order of the wire.
#include "SysSocket.h"

#include <bit>

namespace Sys {

uint16_t HostToNetwork(uint16_t port) {
    if constexpr (std::endian::native == std::endian::big) return port;
    return static_cast<uint16_t>((port >> 8) | (port << 8));
}

uint16_t NetworkToHost(uint16_t port) {
    return HostToNetwork(port);
}

uint32_t LoopbackAddress() {
    // 127.0.0.1, its first byte first on the wire.
    const uint32_t loopback = 0x7F000001;
    if constexpr (std::endian::native == std::endian::big) return loopback;
    return ((loopback & 0xFF) << 24) | ((loopback & 0xFF00) << 8) | ((loopback >> 8) & 0xFF00) |
           (loopback >> 24);
}

}  // namespace Sys
