// qt_waiter_bench: the program's own waiter (a nested Qt event loop on socket notifiers and a
// single-shot timer), under the offscreen platform, and prints:
//  - CPU of the program's thread while a capture of 3 reservations waits on a simulated
//    RD-X4 answering every request after 250 ms (beside the same with the poll() waiter),
//    and how late a 20 ms window timer fired meanwhile (the window stays alive);
//  - CPU while a peer sends one byte every 100 ms;
//  - the delay from a line's arrival to the return of ReadLn.
// The simulator runs on threads of this process; their CPU is printed apart.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RecorderSim.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"
#include "Startup.h"
#include "TransferFrame.h"
#include "TransferSession.h"
#include "TransferView.h"
#include "TransportMeasures.h"

using bench::Clock;
using namespace std::chrono_literals;

namespace {
using bench::CpuSeconds;
using bench::Seconds;

class NullView : public TransferView {
  public:
    void SetStatus(const std::string&) override {}
    void SetBusyCursor(bool) override {}
    void ShowMessage(MessageKind, const std::string& text) override { Last = text; }
    bool Ask(const std::string&) override { return true; }
    std::string Last;
};

// A 20 ms window timer; records how late each tick came.
class WindowTimer {
  public:
    WindowTimer() {
        timer_.setInterval(20);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            double ms = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
            clock_.restart();
            late_.push_back(std::max(0.0, ms - 20.0));
        });
        clock_.start();
        timer_.start();
    }
    void Print() const {
        std::vector<double> late = late_;
        std::sort(late.begin(), late.end());
        if (late.empty()) {
            std::printf("window timer:    NO TICKS while the transfer waited\n");
            return;
        }
        const auto over =
            std::count_if(late.begin(), late.end(), [](double ms) { return ms > 20; });
        std::printf(
            "window timer:    %zu ticks of 20 ms; late by median %.2f ms, max %.2f ms; %d later "
            "than 20 ms\n",
            late.size(), late[late.size() / 2], late.back(), static_cast<int>(over));
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    std::vector<double> late_;
};

void CaptureWaitingOnTheRecorder(const char* label, TEventPump& pump, bool withWindowTimer) {
    recsim::Options options;
    options.mode = recsim::Mode::X4;
    options.latencyMs = 250;
    recsim::RecorderSim sim(options);
    sim.SetReservations(recsim::SampleReservations(3, 5));
    sim.Start();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qt_waiter_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    TransferSession ctx;
    ctx.HttpClient1.UsePump(pump);
    ctx.SetProgramDir(dir.string());
    ctx.Settings.Host = "127.0.0.1:" + std::to_string(sim.Port());
    NullView view;
    std::unique_ptr<WindowTimer> window;
    if (withWindowTimer) window = std::make_unique<WindowTimer>();
    Clock::time_point start = Clock::now();
    double cpuStart = CpuSeconds(RUSAGE_THREAD), processStart = CpuSeconds(RUSAGE_SELF);
    TransferFrame frame(ctx);
    frame.RunCapture(view);
    double wall = Seconds(Clock::now() - start);
    double cpu = CpuSeconds(RUSAGE_THREAD) - cpuStart;
    double process = CpuSeconds(RUSAGE_SELF) - processStart;
    std::printf(
        "%-34s %zu requests in %.2f s; program CPU %.3f s = %.2f%% of wall "
        "(with the simulator's threads %.2f%%); %s\n",
        label, sim.Requests().size(), wall, cpu, 100.0 * cpu / wall, 100.0 * process / wall,
        view.Last.empty() ? "NO END MESSAGE" : "done");
    if (window) window->Print();
    std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const std::unique_ptr<TEventPump> pump = MakeProgramPump();
    // The first capture also pays for the start-up of the event dispatcher, iconv and the rest.
    CaptureWaitingOnTheRecorder("capture, first of the process:", *pump, false);
    CaptureWaitingOnTheRecorder("capture, Qt waiter:", *pump, false);
    CaptureWaitingOnTheRecorder("capture, Qt waiter + 20 ms timer:", *pump, true);
    TEventPump pollPump;
    CaptureWaitingOnTheRecorder("capture, poll() waiter:", pollPump, false);
    {
        TSockTransport t(*pump);
        bench::SlowPeerCpu(t);
    }
    {
        TSockTransport t(*pump);
        bench::LineDelay(t);
    }
    return 0;
}
