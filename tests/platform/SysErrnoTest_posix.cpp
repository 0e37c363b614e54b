// The POSIX side's one mapping of errno values and resolver results onto the socket error
// table's numbers.
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "SocketErrors.h"
#include "SysErrno_posix.h"
#include "SysSocket.h"

using Sys::SocketErrorFromErrno;
using Sys::SocketErrorFromLookup;

TEST(SocketErrnoMapping, MapsOntoTheTable) {
    const std::pair<int, int32_t> rows[] = {{0, 0},
                                            {ECONNREFUSED, 10061},
                                            {ENOTCONN, 10057},
                                            {EAGAIN, 10035},
                                            {EWOULDBLOCK, 10035},
                                            {ECONNRESET, 10054},
                                            {EPIPE, 10054},
                                            {ETIMEDOUT, 10060},
                                            {ENETUNREACH, 10051},
                                            {EHOSTUNREACH, 10065},
                                            {EINPROGRESS, 10036},
                                            {EBADF, 10009},
                                            {EMFILE, 10024},
                                            {EADDRINUSE, 10048},
                                            {ECONNABORTED, 10053},
                                            {EIO, SocketError::kUnmappedErrnoBase + EIO}};
    for (const auto& [err, code] : rows) EXPECT_EQ(SocketErrorFromErrno(err), code) << err;
}

TEST(SocketErrnoMapping, EveryMappedNumberHasARowOrIsMarkedUnknown) {
    int count = 0;
    const TSocketErrorRow* rows = SocketErrorTable(count);
    for (int err = 1; err < 134; ++err) {
        int32_t code = SocketErrorFromErrno(err);
        bool inTable = false;
        for (int i = 0; i < count; ++i) inTable = inTable || rows[i].code == code;
        EXPECT_TRUE(inTable || code == SocketError::kUnmappedErrnoBase + err) << err;
        // Above 10000, so the error check raises it rather than passing it over.
        EXPECT_GT(code, 10000) << err;
    }
}

TEST(SocketLookupMapping, MapsResolverResults) {
    EXPECT_EQ(SocketErrorFromLookup(0), 0);
    EXPECT_EQ(SocketErrorFromLookup(EAI_NONAME), 11001);
    EXPECT_EQ(SocketErrorFromLookup(EAI_AGAIN), 11002);
    EXPECT_EQ(SocketErrorFromLookup(EAI_FAIL), 11003);
}
