#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "EventPump.h"
#include "NetTestUtil.h"
#include "SockTransport.h"

TEST(EventPump, HookRunsOncePerPump) {
    int calls = 0;
    ScopedPumpHook hook([&] { ++calls; });
    PumpOnce();
    PumpOnce();
    EXPECT_EQ(calls, 2);
}

TEST(EventPump, WaitWithNothingToDoIsBoundedBySlice) {
    PumpOnce();  // takes any wake-up a finished lookup left behind
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) WaitForActivity(-1, 0, 2);
    double ms = MillisSince(start);
    // Ten 2 ms waits: they really wait (no spinning) and do not oversleep much.
    EXPECT_GE(ms, 15.0);
    EXPECT_LT(ms, 200.0);
}

TEST(ThreadTimer, TicksOnlyInsideThePump) {
    TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TThreadTimer* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(ticks, 0);
    PumpOnce();
    EXPECT_EQ(ticks, 1);  // one tick per pump, however late
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 1000));
    timer.SetEnabled(false);
    int stopped = ticks;
    PumpFor(40);
    EXPECT_EQ(ticks, stopped);
}

TEST(ThreadTimer, StartsOnlyWithIntervalEnabledAndHandler) {
    TThreadTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    int ticks = 0;
    timer.SetInterval(0);
    timer.SetOnTimer([&](TThreadTimer*) { ++ticks; });
    PumpFor(20);
    EXPECT_EQ(ticks, 0);
    timer.SetInterval(5);
    EXPECT_TRUE(PumpUntil([&] { return ticks > 0; }, 500));
}

TEST(ThreadTimer, SettingTheSameIntervalDoesNotRestartTheCountdown) {
    TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(60);
    timer.SetOnTimer([&](TThreadTimer*) { ++ticks; });
    auto start = std::chrono::steady_clock::now();
    // Re-arming with unchanged values every pump must not push the tick further away.
    bool fired = PumpUntil(
        [&] {
            timer.SetInterval(60);
            timer.SetEnabled(true);
            return ticks > 0;
        },
        1000);
    EXPECT_TRUE(fired);
    EXPECT_LT(MillisSince(start), 400.0);
}

TEST(ThreadTimer, HandlerErrorGoesToTheErrorDisplayAndTheTimerGoesOn) {
    std::vector<std::string> shown;
    SetPumpErrorDisplay([&](const std::string& m) { shown.push_back(m); });
    TThreadTimer timer;
    int ticks = 0;
    timer.SetInterval(5);
    timer.SetOnTimer([&](TThreadTimer*) {
        ++ticks;
        throw Exception("tick failed");
    });
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }, 1000));
    SetPumpErrorDisplay(nullptr);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0], "tick failed");
}
