// The socket error table (the Windows Sockets numbers, which the user-visible texts carry)
// and the one place where the platform's errno values are mapped onto those numbers.
#pragma once

#include <cstdint>
#include <string>

namespace SocketError {
inline constexpr int32_t kWouldBlock = 10035;
inline constexpr int32_t kNotConnected = 10057;
// The lookup numbers: no such host; no answer from a server that may know it (try again);
// a server that failed or refused; a name that exists but has no IPv4 address.
inline constexpr int32_t kHostNotFound = 11001;
inline constexpr int32_t kTryAgain = 11002;
inline constexpr int32_t kNoRecovery = 11003;
inline constexpr int32_t kNoData = 11004;
// errno values without a row become this base + errno ("Unknown Error No. 200xx").
inline constexpr int32_t kUnmappedErrnoBase = 20000;
}  // namespace SocketError

struct TSocketErrorRow {
    int32_t code;
    const char* text;
};

// The 51 rows in table order; the last row is 0 "Unrecognized error code".
const TSocketErrorRow* SocketErrorTable(int& rowCount);

// "<code>:<text>" for a code in the table, "Unknown Error No. <code>" otherwise, "" for 0.
std::string SocketErrorMessage(int32_t code);

// Maps a POSIX errno (socket calls) onto the table's numbers; 0 stays 0; an errno without a
// row gives SocketError::kUnmappedErrnoBase + errno.
int32_t SocketErrorFromErrno(int err);

// Maps a getaddrinfo result (EAI_*) onto the lookup numbers kHostNotFound..kNoData; 0 stays 0.
int32_t SocketErrorFromLookup(int eaiCode);
