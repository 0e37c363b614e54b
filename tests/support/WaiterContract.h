// What every waiter of the event pump must do, run through the pump against each waiter
// implementation: a wait sleeps until the socket it waits on, another watched socket, a
// finished lookup or a timer has news, or until its deadline, and not longer. Include in one
// file per test program and instantiate with the waiters to check:
//   INSTANTIATE_TEST_SUITE_P(Poll, WaiterContract, ::testing::Values(WaiterCase{"poll", make}));
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EventPump.h"
#include "SysSocket.h"

struct WaiterCase {
    const char* name;
    std::function<std::unique_ptr<TWaiter>()> make;
};

inline void PrintTo(const WaiterCase& c, std::ostream* os) {
    *os << c.name;
}

class WaiterContract : public ::testing::TestWithParam<WaiterCase> {
  protected:
    // Something happens 30 ms from now on another thread; the wait must sleep through the
    // gap (so it is not spinning nor returning early) and wake well before its 3 s deadline.
    static constexpr int kLaterMs = 30;
    static constexpr std::chrono::milliseconds kDeadline{3000};

    void SetUp() override {
        pump = std::make_unique<TEventPump>(GetParam().make());
        sink = pump->AddSink([this](const TPumpNotification& n) { seen.push_back(n); });
        for (auto* pair : {own, other}) {
            ASSERT_TRUE(Sys::MakeSocketPair(pair[0], pair[1]));
            // A read that finds nothing must say so, not block the test.
            ASSERT_TRUE(Sys::SetNonBlocking(pair[0], true));
        }
    }
    void TearDown() override {
        if (writer.joinable()) writer.join();
        pump->RemoveSink(sink);
        for (Sys::SocketHandle s : {own[0], own[1], other[0], other[1]})
            if (s != Sys::kNoSocket) Sys::CloseSocket(s);
    }
    void WriteLater(Sys::SocketHandle socket) {
        since = std::chrono::steady_clock::now();
        writer = std::thread([socket] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kLaterMs));
            int32_t error = 0;
            Sys::Send(socket, "x", 1, error);
        });
    }
    // Waits once on the own socket and returns the milliseconds from `since` (when the
    // wake-up was set going) to the wait's return.
    double WaitOnce(std::chrono::milliseconds limit = kDeadline) {
        pump->Wait(own[0], Sys::kReadable, pump->Now() + limit);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
            .count();
    }
    // Waits once and expects the wait to end no sooner than minMs after `since`, and well
    // before its deadline.
    void ExpectWokeAfter(double minMs, std::chrono::milliseconds limit = kDeadline) {
        const double ms = WaitOnce(limit);
        EXPECT_GE(ms, minMs);
        EXPECT_LT(ms, 1000);
    }

    std::unique_ptr<TEventPump> pump;
    int sink = 0;
    Sys::SocketHandle own[2] = {Sys::kNoSocket, Sys::kNoSocket};
    Sys::SocketHandle other[2] = {Sys::kNoSocket, Sys::kNoSocket};
    std::thread writer;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    std::vector<TPumpNotification> seen;
};

TEST_P(WaiterContract, WakesOnTheSocketItWaitsOnAndAtOnceWhileDataWaits) {
    WriteLater(own[1]);
    ExpectWokeAfter(kLaterMs - 5);
    since = std::chrono::steady_clock::now();
    EXPECT_LT(WaitOnce(), 500);  // the byte is still unread
    char c = 0;
    int32_t error = 0;
    EXPECT_EQ(Sys::Receive(own[0], &c, 1, false, error), 1);
}

TEST_P(WaiterContract, WakesOnAnotherWatchedSocket) {
    pump->WatchSocket(sink, other[0], true);
    WriteLater(other[1]);
    ExpectWokeAfter(kLaterMs - 5);
    pump->PumpOnce();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].socket, other[0]);
    EXPECT_EQ(seen[0].event, TSocketEvent::Read);
}

TEST_P(WaiterContract, WakesOnAFinishedLookup) {
    pump->HostResolver = [](const std::string&, std::vector<uint32_t>& out) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kLaterMs));
        out.push_back(0x0100007f);
        return 0;
    };
    since = std::chrono::steady_clock::now();
    pump->StartLookup(sink, "recorder.example");
    ExpectWokeAfter(kLaterMs - 5);
    pump->PumpOnce();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, TPumpNotification::LookupDone);
    EXPECT_EQ(seen[0].addresses, std::vector<uint32_t>{0x0100007f});
}

TEST_P(WaiterContract, WakesWhenATimerFallsDue) {
    int ticks = 0;
    since = std::chrono::steady_clock::now();
    int id = pump->StartTimer(kLaterMs, [&] { ++ticks; });
    ExpectWokeAfter(kLaterMs - 2);
    pump->PumpOnce();
    EXPECT_EQ(ticks, 1);
    pump->StopTimer(id);
}

TEST_P(WaiterContract, WakesAtItsDeadline) {
    since = std::chrono::steady_clock::now();
    ExpectWokeAfter(38, std::chrono::milliseconds(40));
}
