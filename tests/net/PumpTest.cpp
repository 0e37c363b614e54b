// The event pump with its poll() waiter, and the transport's timer on a clock the test drives.
#include <gtest/gtest.h>

#include <stdexcept>

#include "NetTestUtil.h"
#include "SockTransport.h"
#include "WaiterContract.h"

INSTANTIATE_TEST_SUITE_P(Poll, WaiterContract,
                         ::testing::Values(WaiterCase{
                             "poll", [] { return std::make_unique<TPollWaiter>(); }}),
                         kRowName);

using namespace std::chrono_literals;

TEST(ThreadTimer, TicksOnlyInsideThePumpOncePerPumpHoweverLate) {
    VirtualTimePump v;
    int pumps = 0;
    v.pump.OnPump = [&] { ++pumps; };
    TThreadTimer timer(v.pump);
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TThreadTimer* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    v.clock.now += 35ms;
    EXPECT_EQ(ticks, 0);
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 1);
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 1);  // the next tick is 10 ms after the late one
    v.clock.now += 10ms;
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 2);
    timer.SetEnabled(false);
    v.clock.now += 100ms;
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(pumps, 4);  // OnPump runs once per pump
}

TEST(ThreadTimer, StartsOnlyWithIntervalEnabledAndHandlerAndTheSameValuesDoNotRestartIt) {
    VirtualTimePump v;
    TThreadTimer timer(v.pump);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    int ticks = 0;
    timer.SetInterval(0);
    timer.SetOnTimer([&](TThreadTimer*) { ++ticks; });
    v.clock.now += 5000ms;
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 0);
    timer.SetInterval(60);
    v.clock.now += 50ms;
    timer.SetInterval(60);
    timer.SetEnabled(true);
    v.clock.now += 10ms;
    v.pump.PumpOnce();
    EXPECT_EQ(ticks, 1);
}

TEST(ThreadTimer, HandlerErrorOfAnyKindIsReportedAndTheTimerGoesOn) {
    struct Case {
        std::function<void()> raise;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {[] { throw Exception("tick failed"); }, "tick failed"},
        {[] { throw std::runtime_error("library failed"); }, "library failed"},
        {[] { throw 42; }, TEventPump::kUnknownTimerError},
    };
    for (bool display : {true, false}) {
        for (const Case& c : cases) {
            VirtualTimePump v;
            Texts shown;
            if (display) v.pump.ShowTimerError = [&](const std::string& m) { shown.push_back(m); };
            TThreadTimer timer(v.pump);
            int ticks = 0;
            timer.SetInterval(5);
            timer.SetOnTimer([&](TThreadTimer*) {
                ++ticks;
                c.raise();
            });
            testing::internal::CaptureStderr();
            v.clock.now += 5ms;
            v.pump.PumpOnce();
            v.clock.now += 5ms;
            v.pump.PumpOnce();
            const std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(ticks, 2) << c.shown;  // the timer goes on
            EXPECT_EQ(shown, display ? Texts(2, c.shown) : Texts{});
            EXPECT_EQ(err, display ? "" : c.shown + "\n" + c.shown + "\n");
        }
    }
}
