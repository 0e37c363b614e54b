// The platform's own promises about waiting: what a wait does with entries that are no open
// socket, and that a wake-up rung on another thread ends it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "SysSocket.h"
#include "TestHelpers.h"

namespace {

enum Entry { Closed, NoSocket, Quiet, Ready };

struct PollRow {
    const char* name;
    std::vector<Entry> entries;
    int ready;                   // what Poll returns
    std::vector<short> revents;  // what each entry must show
    double minMs, maxMs;         // how long the 200 ms wait takes
};

// A closed socket ends the wait at once (no wait loop may spin on it); an entry without a
// socket is passed over, the others still count.
const PollRow kPollRows[] = {
    {"ClosedSocketIsMarkedInvalidAtOnce", {Closed, Quiet}, 1, {Sys::kInvalid, 0}, 0, 100},
    {"NoSocketIsSkipped", {NoSocket, Ready}, 1, {0, Sys::kReadable}, 0, 100},
    {"NothingToWaitForWaitsItsTime", {NoSocket, Quiet}, 0, {0, 0}, 180, 1000},
};

class SysPoll : public testing::TestWithParam<PollRow> {};

TEST_P(SysPoll, MarksEachEntryAndWaitsOnlyAsLongAsItShould) {
    const PollRow& row = GetParam();
    std::vector<Sys::PollEntry> entries(row.entries.size());
    std::vector<Sys::SocketHandle> peers(row.entries.size(), Sys::kNoSocket);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].events = Sys::kReadable;
        ASSERT_TRUE(row.entries[i] == NoSocket || Sys::MakeSocketPair(entries[i].handle, peers[i]));
    }
    // Closed only once every socket is made, so that no other entry is given its number.
    for (size_t i = 0; i < entries.size(); ++i) {
        int32_t error = 0;
        ASSERT_TRUE(row.entries[i] != Ready || Sys::Send(peers[i], "x", 1, error) == 1);
        if (row.entries[i] == Closed) Sys::CloseSocket(entries[i].handle);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Sys::Poll(entries, 200), row.ready);
    const double took = MillisSince(start);
    EXPECT_GE(took, row.minMs);
    EXPECT_LT(took, row.maxMs);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].revents, row.revents[i]) << i;
        if (row.entries[i] != Closed && row.entries[i] != NoSocket)
            Sys::CloseSocket(entries[i].handle);
        if (peers[i] != Sys::kNoSocket) Sys::CloseSocket(peers[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SysPoll, testing::ValuesIn(kPollRows), kRowName);

TEST(SysWakeUp, SignalFromAnotherThreadEndsAWaitAndDrainQuietsIt) {
    Sys::WakeUp wake;
    ASSERT_NE(wake.WaitHandle(), Sys::kNoSocket);
    Sys::PollEntry entry{wake.WaitHandle(), Sys::kReadable, 0};
    const auto start = std::chrono::steady_clock::now();
    std::thread ringer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        wake.Signal();
    });
    EXPECT_EQ(Sys::Poll(&entry, 1, 3000), 1);
    ringer.join();
    EXPECT_GE(MillisSince(start), 25);
    EXPECT_LT(MillisSince(start), 1000);
    EXPECT_TRUE(entry.revents & Sys::kReadable);
    wake.Signal();
    wake.Drain();
    EXPECT_EQ(Sys::Poll(&entry, 1, 0), 0);
}

}  // namespace
