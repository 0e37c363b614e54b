#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <set>

#include "SocketErrors.h"

TEST(SocketErrorTable, HasTheFiftyOneRowsInOrder) {
    int count = 0;
    const TSocketErrorRow* rows = SocketErrorTable(count);
    ASSERT_EQ(count, 51);
    EXPECT_EQ(rows[0].code, 10004);
    EXPECT_STREQ(rows[0].text, "Interrupted system call");
    EXPECT_EQ(rows[45].code, 10093);
    EXPECT_STREQ(rows[45].text, "Successful WSAStartup not yet performed");
    EXPECT_EQ(rows[50].code, 0);
    EXPECT_STREQ(rows[50].text, "Unrecognized error code");
    std::set<int32_t> codes;
    for (int i = 0; i < count; ++i) {
        EXPECT_LE(std::string(rows[i].text).size(), 51u) << rows[i].code;
        if (i > 0 && i < count - 1) {
            EXPECT_GT(rows[i].code, rows[i - 1].code);
        }
        codes.insert(rows[i].code);
    }
    EXPECT_EQ(codes.size(), 51u);
}

struct MessageRow {
    int32_t code;
    const char* message;
};

class SocketErrorMessageTest : public ::testing::TestWithParam<MessageRow> {};

TEST_P(SocketErrorMessageTest, CodeColonTextOrUnknown) {
    EXPECT_EQ(SocketErrorMessage(GetParam().code), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SocketErrorMessageTest,
    ::testing::Values(MessageRow{10061, "10061:Connection refused"},
                      MessageRow{11001, "11001:Host not found"},
                      MessageRow{10054, "10054:Connection reset by peer"},
                      MessageRow{10047, "10047:Address family not supported by protocol family"},
                      MessageRow{11003, "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
                      MessageRow{10065, "10065:No route to Host"},
                      MessageRow{10100, "Unknown Error No. 10100"},
                      MessageRow{20005, "Unknown Error No. 20005"}, MessageRow{0, ""}));

struct ErrnoRow {
    int err;
    int32_t code;
};

class SocketErrnoTest : public ::testing::TestWithParam<ErrnoRow> {};

TEST_P(SocketErrnoTest, MapsOntoTheTable) {
    EXPECT_EQ(SocketErrorFromErrno(GetParam().err), GetParam().code) << GetParam().err;
}

INSTANTIATE_TEST_SUITE_P(Rows, SocketErrnoTest,
                         ::testing::Values(ErrnoRow{0, 0}, ErrnoRow{ECONNREFUSED, 10061},
                                           ErrnoRow{ENOTCONN, 10057}, ErrnoRow{EAGAIN, 10035},
                                           ErrnoRow{EWOULDBLOCK, 10035},
                                           ErrnoRow{ECONNRESET, 10054}, ErrnoRow{EPIPE, 10054},
                                           ErrnoRow{ETIMEDOUT, 10060}, ErrnoRow{ENETUNREACH, 10051},
                                           ErrnoRow{EHOSTUNREACH, 10065},
                                           ErrnoRow{EINPROGRESS, 10036}, ErrnoRow{EBADF, 10009},
                                           ErrnoRow{EMFILE, 10024}, ErrnoRow{EADDRINUSE, 10048},
                                           ErrnoRow{ECONNABORTED, 10053},
                                           ErrnoRow{EIO, SocketError::kUnmappedErrnoBase + EIO}));

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
