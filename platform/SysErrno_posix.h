// The one mapping of POSIX errno values onto the socket error table's numbers, used by the
// POSIX side of the platform layer (and its tests) only.
#pragma once

#include <cstdint>

namespace Sys {

// 0 stays 0; an errno without a row gives SocketError::kUnmappedErrnoBase + errno.
int32_t SocketErrorFromErrno(int err);

}  // namespace Sys
