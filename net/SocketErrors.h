// The socket error table: the Windows Sockets numbers, which the user-visible texts carry.
// The platform layer reports its errors in these numbers (SysSocket.h names the ones the
// program tells apart).
#pragma once

#include <cstdint>
#include <string>

#include "SysSocket.h"

struct TSocketErrorRow {
    int32_t code;
    const char* text;
};

// The 51 rows in table order; the last row is 0 "Unrecognized error code".
const TSocketErrorRow* SocketErrorTable(int& rowCount);

// "<code>:<text>" for a code in the table, "Unknown Error No. <code>" otherwise, "" for 0.
std::string SocketErrorMessage(int32_t code);
