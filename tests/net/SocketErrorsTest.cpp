// The socket error table and its texts; the mapping of POSIX error numbers onto it is the
// platform layer's (tests/platform).
#include <gtest/gtest.h>

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

TEST(SocketErrorMessage, CodeColonTextOrUnknown) {
    const std::pair<int32_t, const char*> rows[] = {
        {10061, "10061:Connection refused"},
        {11001, "11001:Host not found"},
        {10054, "10054:Connection reset by peer"},
        {10047, "10047:Address family not supported by protocol family"},
        {11003, "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
        {10065, "10065:No route to Host"},
        {10100, "Unknown Error No. 10100"},
        {20005, "Unknown Error No. 20005"},
        {0, ""}};
    for (const auto& [code, message] : rows) EXPECT_EQ(SocketErrorMessage(code), message) << code;
}
