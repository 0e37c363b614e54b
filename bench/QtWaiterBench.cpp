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

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {
double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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

void SlowPeerCpu(TEventPump& pump) {
    ScriptedPeer peer;
    peer.Send(std::string(30, 's'), 1, 100ms).Close();
    peer.Start();
    TSockTransport t(pump);
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 10000;
    t.Connect();
    std::string body;
    Clock::time_point start = Clock::now();
    double cpuStart = CpuSeconds(RUSAGE_THREAD);
    t.CaptureString(body, -1);
    double wall = Seconds(Clock::now() - start);
    double cpu = CpuSeconds(RUSAGE_THREAD) - cpuStart;
    std::printf("slow peer:       %zu bytes in %.2f s, CPU %.4f s = %.3f%% of wall time\n",
                body.size(), wall, cpu, 100.0 * cpu / wall);
}

void LineDelay(TEventPump& pump) {
    const int kLines = 100;
    std::vector<Clock::time_point> sent(kLines);
    ScriptedPeer peer;
    for (int i = 0; i < kLines; ++i) {
        peer.Pause(std::chrono::milliseconds(3 + (i * 7) % 11))
            .Call([&sent, i] { sent[i] = Clock::now(); })
            .Send("HTTP/1.0 200 OK\r\n");
    }
    peer.Close();
    peer.Start();
    TSockTransport t(pump);
    t.Host = "127.0.0.1";
    t.Port = peer.Port();
    t.TimeOut = 10000;
    t.Connect();
    std::vector<double> delays;
    for (int i = 0; i < kLines; ++i) {
        std::string line;
        t.ReadLn(line);
        Clock::time_point got = Clock::now();
        if (line != "HTTP/1.0 200 OK\r\n") {
            std::printf("ReadLn delay:    WRONG LINE %d\n", i);
            return;
        }
        delays.push_back(1000.0 * Seconds(got - sent[i]));
    }
    peer.Finish();
    std::sort(delays.begin(), delays.end());
    std::printf("ReadLn delay:    median %.3f ms, 99th %.3f ms, max %.3f ms over %d lines\n",
                delays[delays.size() / 2], delays[delays.size() * 99 / 100], delays.back(), kLines);
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
    SlowPeerCpu(*pump);
    LineDelay(*pump);
    return 0;
}
