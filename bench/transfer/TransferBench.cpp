// transfer_bench: a full capture of 32 reservations from a simulated RD-X4 and a full restore
// of them into a simulated RD-X4EX, through the program's own transfer code (no window),
// timed beside curl making the capture's 68 GETs in one process against the same recorder.
//
//   transfer_bench [--latency-ms N]... [--count N] [--repeat N] [--curl PATH] [--sim PATH]
//
// Without --latency-ms it runs twice: with no added latency and with 50 ms per answer. Each
// run is repeated (default 3 times) and the median wall and CPU times are printed, since
// other processes on the machine disturb single runs. The
// recorder runs as a process of its own (recorder-sim), so the CPU time and the peak memory
// printed are the program's alone; the peak is this process's own high-water mark (VmHWM),
// started anew before each transfer. Exit status 0 when every target is met, 1 otherwise.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "TransferFrame.h"
#include "TransferSession.h"
#include "TransferView.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kSegment[] = "BENCH";

// A transfer without a window: nothing is shown, boxes are only counted.
class NullView : public TransferView {
  public:
    void SetStatus(const std::string&) override {}
    void SetBusyCursor(bool) override {}
    void ShowMessage(MessageKind kind, const std::string& text) override {
        ++Messages;
        LastKind = kind;
        LastText = text;
    }
    // The bench replaces the saved set every run and restores into an empty recorder.
    bool Ask(const std::string&) override { return true; }
    int Messages = 0;
    MessageKind LastKind = MessageKind::Error;
    std::string LastText;
};

struct Figures {
    double wallMs = 0;
    double cpuMs = 0;
    long peakKb = 0;
    int requests = 0;
};

double CpuMs(const rusage& u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// This process's own peak resident memory (VmHWM) in kB. Unlike ru_maxrss, it does not carry
// the peak of whatever process ran before exec (the shell that started the bench).
long OwnPeakKb() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 0;
    long kb = 0;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    std::fclose(status);
    return kb;
}

// Starts the peak anew at the current resident size, so each transfer gets its own figure.
void ResetOwnPeak() {
    if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

// Runs argv as a child; its stdout comes back through outFd when asked for.
pid_t Spawn(const std::vector<std::string>& argv, int* outFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (outFd != nullptr) {
        if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (outFd != nullptr) {
        close(pipeFds[1]);
        *outFd = pipeFds[0];
    }
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

std::string ReadAll(int fd) {
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
}

// The simulated recorder as a child process, ended with the object.
class SimProcess {
  public:
    SimProcess(const std::string& path, const std::string& mode, int latencyMs, int count) {
        std::vector<std::string> argv = {path,
                                         "--mode",
                                         mode,
                                         "--port",
                                         "0",
                                         "--quiet",
                                         "--segment",
                                         kSegment,
                                         "--seed",
                                         "1",
                                         "--latency-ms",
                                         std::to_string(latencyMs),
                                         "--count",
                                         std::to_string(count)};
        pid_ = Spawn(argv, &out_);
        // "listening on 127.0.0.1:<port>"
        std::string line;
        char c;
        while (read(out_, &c, 1) == 1 && c != '\n') line += c;
        const size_t colon = line.rfind(':');
        if (line.rfind("listening on", 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("recorder-sim did not start: " + line);
        port_ = std::atoi(line.c_str() + colon + 1);
    }
    ~SimProcess() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        close(out_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    int Port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
};

// The capture's GETs, in its order: list frame, list, selector and page of each
// reservation, setup page, channel page.
std::vector<std::string> CaptureUrls(int port, int count) {
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::string program = base + "/program/" + kSegment;
    std::vector<std::string> urls = {base + "/program/b_prgrm.htm", program + "/program.htm"};
    for (int i = 0; i < count; ++i) {
        urls.push_back(program + "/b_proginfo.htm?" + std::to_string(i));
        urls.push_back(program + "/proginfo.htm");
    }
    urls.push_back(base + "/setup/setup.htm");
    urls.push_back(base + "/setup/ch_set.htm");
    return urls;
}

// curl fetching every URL in one process, one after another, HTTP/1.0 like the program.
Figures CurlReference(const std::string& curl, const std::vector<std::string>& urls) {
    std::vector<std::string> argv = {curl, "--silent", "--http1.0", "--write-out",
                                     "%{http_code}\\n"};
    for (const std::string& url : urls) {
        argv.push_back("--output");
        argv.push_back("/dev/null");
        argv.push_back(url);
    }
    int out = -1;
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(argv, &out);
    const std::string codes = ReadAll(out);
    close(out);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Figures f;
    f.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    f.cpuMs = CpuMs(usage);
    // curl's ru_maxrss: started by posix_spawn it may include this process's size at the start,
    // which stays well below curl's own.
    f.peakKb = usage.ru_maxrss;
    for (size_t at = 0; (at = codes.find("200\n", at)) != std::string::npos; at += 4) ++f.requests;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        f.requests != static_cast<int>(urls.size()))
        throw std::runtime_error("curl failed: " + codes);
    return f;
}

// One transfer through the program's own code, measured in this process.
template <typename Run>
Figures Measure(TransferSession& ctx, Run run) {
    int requests = 0;
    ctx.HttpClient1.OnAboutToSend = [&requests](TSockTransport*) { ++requests; };
    rusage before{}, after{};
    ResetOwnPeak();
    getrusage(RUSAGE_SELF, &before);
    const Clock::time_point start = Clock::now();
    run();
    Figures f;
    f.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    f.cpuMs = CpuMs(after) - CpuMs(before);
    f.peakKb = OwnPeakKb();
    f.requests = requests;
    ctx.HttpClient1.OnAboutToSend = nullptr;
    return f;
}

// The median wall and CPU times of the runs (each taken on its own), the highest peak.
Figures Median(std::vector<Figures> runs) {
    Figures f = runs.front();
    auto middle = [&runs](auto member) {
        std::vector<double> v;
        for (const Figures& r : runs) v.push_back(r.*member);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    f.wallMs = middle(&Figures::wallMs);
    f.cpuMs = middle(&Figures::cpuMs);
    for (const Figures& r : runs) f.peakKb = std::max(f.peakKb, r.peakKb);
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("  %-30s %9.1f ms wall %8.1f ms CPU (%5.2f%%) %7.1f MB peak %4d requests\n", what,
                f.wallMs, f.cpuMs, f.wallMs > 0 ? 100.0 * f.cpuMs / f.wallMs : 0.0,
                f.peakKb / 1024.0, f.requests);
}

bool gAllMet = true;

void Target(const char* what, double value, double limit, const char* unit) {
    const bool met = value <= limit;
    gAllMet = gAllMet && met;
    std::printf("  target %-44s %9.2f %-3s <= %9.2f %-3s %s\n", what, value, unit, limit, unit,
                met ? "met" : "MISSED");
}

std::string Sibling(const char* argv0, const std::string& relative) {
    return (std::filesystem::path(argv0).parent_path() / relative).lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> latencies;
    int count = 32;
    int repeat = 3;
    std::string curl = "/usr/bin/curl";
    std::string sim = ZAVO_RECORDER_SIM;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--latency-ms" && i + 1 < argc) {
            latencies.push_back(std::atoi(argv[++i]));
        } else if (arg == "--count" && i + 1 < argc) {
            count = std::atoi(argv[++i]);
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--curl" && i + 1 < argc) {
            curl = argv[++i];
        } else if (arg == "--sim" && i + 1 < argc) {
            sim = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--latency-ms N]... [--count N] [--repeat N] [--curl PATH] "
                         "[--sim PATH]\n",
                         argv[0]);
            return 2;
        }
    }
    if (latencies.empty()) latencies = {0, 50};
    if (!std::filesystem::exists(sim))
        sim = Sibling(argv[0], "../../tools/recorder-sim/recorder-sim");
    signal(SIGPIPE, SIG_IGN);

    try {
        for (const int latency : latencies) {
            std::printf("%d reservations, recorder latency %d ms per answer, median of %d runs\n",
                        count, latency, repeat);
            std::vector<Figures> references, captures, restores;
            for (int r = 0; r < repeat; ++r) {
                char dirTemplate[] = "/tmp/zavo-bench-XXXXXX";
                if (mkdtemp(dirTemplate) == nullptr) throw std::runtime_error("mkdtemp failed");
                const std::string dir = dirTemplate;
                {
                    SimProcess x4(sim, "x4", latency, count);
                    references.push_back(CurlReference(curl, CaptureUrls(x4.Port(), count)));
                    TransferSession ctx;
                    TransferFrame frame{ctx};
                    ctx.SetProgramDir(dir);
                    ctx.Settings.Host = "127.0.0.1:" + std::to_string(x4.Port());
                    NullView view;
                    captures.push_back(Measure(ctx, [&] { frame.RunCapture(view); }));
                    if (view.Messages != 1 || view.LastKind != MessageKind::Information)
                        throw std::runtime_error("the capture did not complete");
                }
                {
                    SimProcess x4ex(sim, "x4ex", latency, 0);
                    TransferSession ctx;
                    TransferFrame frame{ctx};
                    ctx.SetProgramDir(dir);
                    ctx.Settings.Host = "127.0.0.1:" + std::to_string(x4ex.Port());
                    NullView view;
                    restores.push_back(Measure(ctx, [&] { frame.RunRestore(view); }));
                    if (view.Messages != 1 || view.LastKind != MessageKind::Information)
                        throw std::runtime_error("the restore did not complete");
                }
                std::filesystem::remove_all(dir);
            }
            const Figures reference = Median(references);
            const Figures capture = Median(captures);
            const Figures restore = Median(restores);
            const int expectedCapture = 2 * count + 4;
            // Four per reservation, and the recorder's list read before and after.
            const int expectedRestore = 4 * count + 2;

            Print("curl, the capture's GETs", reference);
            Print("capture", capture);
            Print("restore", restore);
            if (capture.requests != expectedCapture || restore.requests != expectedRestore) {
                std::printf("  unexpected number of requests\n");
                gAllMet = false;
            }
            if (latency == 0) {
                Target("capture wall / curl wall", capture.wallMs / reference.wallMs, 1.2, "x");
            } else {
                Target("capture wall / sum of latencies",
                       capture.wallMs / (capture.requests * latency), 1.05, "x");
                Target("restore wall / sum of latencies",
                       restore.wallMs / (restore.requests * latency), 1.05, "x");
                Target("capture CPU / wall", 100.0 * capture.cpuMs / capture.wallMs, 5.0, "%");
                Target("restore CPU / wall", 100.0 * restore.cpuMs / restore.wallMs, 5.0, "%");
            }
            Target("peak memory", std::max(capture.peakKb, restore.peakKb) / 1024.0, 60.0, "MB");
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "transfer_bench: %s\n", e.what());
        return 1;
    }
    std::printf(gAllMet ? "all targets met\n" : "some targets missed\n");
    return gAllMet ? 0 : 1;
}
