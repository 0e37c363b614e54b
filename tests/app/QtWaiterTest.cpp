// The program's own waiter: the same wake-ups as the poll() waiter, and the windows stay
// served while a transfer sleeps in it.
#include <gtest/gtest.h>

#include <QTimer>

#include "QtWaiter.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"
#include "Startup.h"
#include "TestHelpers.h"
#include "WaiterContract.h"

INSTANTIATE_TEST_SUITE_P(Qt, WaiterContract,
                         ::testing::Values(WaiterCase{
                             "qt", [] { return std::make_unique<TQtWaiter>(); }}),
                         kRowName);

TEST(QtWaiter, WindowTimerFiresWhileReadLnWaitsForTheRecorder) {
    using namespace std::chrono_literals;
    ScriptedPeer peer;
    peer.Pause(300ms).Send("HTTP/1.0 200 OK\r\n");
    peer.Start();
    const std::unique_ptr<TEventPump> pump = MakeProgramPump();
    TSockTransport t(*pump);
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 5000;
    t.Connect();

    int ticks = 0;
    QTimer window;
    QObject::connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(20);
    std::string line;
    t.ReadLn(line);
    window.stop();
    EXPECT_EQ(line, "HTTP/1.0 200 OK\r\n");
    // About 15 in 300 ms; a wait that did not serve the window would give none.
    EXPECT_GE(ticks, 5);
    EXPECT_TRUE(peer.Finish()) << peer.Report();
}
