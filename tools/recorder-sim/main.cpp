// recorder-sim: serves a simulated recorder on 127.0.0.1 until interrupted (Ctrl+C or SIGTERM).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>

#include "RecorderSim.h"
#include "SysClock.h"
#include "SysConsole.h"
#include "SysFile.h"
#include "SysPath.h"

namespace {

const char kUsage[] =
    "usage: recorder-sim --mode x4|x4ex [--port N] [--state FILE] [--user U --password P]\n"
    "                    [--latency-ms N] [--seed S --count N] [--segment SEG]\n"
    "                    [--first-date YYYYMMDD] [--error TARGET=STATUS]... [--drop TARGET]...\n"
    "                    [--reset TARGET]... [--hang TARGET]... [--cut-body TARGET]...\n"
    "                    [--slow-body BYTES_PER_SECOND] [--post-log FILE] [--quiet]\n"
    "TARGET is a path with its query as requested (\"/setup/setup.htm\"), or * for every "
    "request.\n";

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "recorder-sim: " << problem << "\n" << kUsage;
    std::exit(2);
}

int Number(const std::string& flag, const std::string& text, int low, int high) {
    try {
        size_t used = 0;
        const long v = std::stol(text, &used);
        if (used == text.size() && v >= low && v <= high) return int(v);
    } catch (const std::exception&) {
    }
    Usage(flag + " needs a number from " + std::to_string(low) + " to " + std::to_string(high) +
          ", not \"" + text + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    recsim::Options options;
    // The date list starts today unless told otherwise, so that the sample reservations lie
    // ahead, as a user's do, and a restore does not leave them out as gone by.
    {
        const Sys::LocalTime today = Sys::ToLocalTime(std::chrono::system_clock::now());
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", today.Year, today.Month, today.Day);
        options.firstDate = date;
    }
    bool haveMode = false, quiet = false;
    std::string postLog;
    int count = -1;
    long long seed = -1;
    int slowBody = 0;
    std::vector<std::pair<std::string, int>> errors;
    std::vector<std::pair<std::string, recsim::Fault>> faults;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(flag + " needs a value");
            return argv[++i];
        };
        if (flag == "--mode") {
            const std::string m = value();
            if (m == "x4")
                options.mode = recsim::Mode::X4;
            else if (m == "x4ex")
                options.mode = recsim::Mode::X4EX;
            else
                Usage("--mode is x4 or x4ex, not \"" + m + "\"");
            haveMode = true;
        } else if (flag == "--port") {
            options.port = Number(flag, value(), 0, 65535);
        } else if (flag == "--state") {
            options.stateFile = Sys::AbsolutePath(value());
        } else if (flag == "--user") {
            options.user = value();
        } else if (flag == "--password") {
            options.password = value();
        } else if (flag == "--latency-ms") {
            options.latencyMs = Number(flag, value(), 0, 600000);
        } else if (flag == "--seed") {
            seed = Number(flag, value(), 0, 2147483647);
        } else if (flag == "--count") {
            count = Number(flag, value(), 0, 32);
        } else if (flag == "--segment") {
            options.segment = value();
            if (options.segment.find_first_of("/?# ") != std::string::npos)
                Usage("--segment must not contain / ? # or blanks");
        } else if (flag == "--first-date") {
            options.firstDate = value();
        } else if (flag == "--error") {
            const std::string v = value();
            const size_t eq = v.rfind('=');
            if (eq == std::string::npos) Usage("--error needs TARGET=STATUS");
            errors.emplace_back(v.substr(0, eq), Number(flag, v.substr(eq + 1), 100, 999));
        } else if (flag == "--drop") {
            faults.emplace_back(value(), recsim::Fault::Drop);
        } else if (flag == "--reset") {
            faults.emplace_back(value(), recsim::Fault::Reset);
        } else if (flag == "--hang") {
            faults.emplace_back(value(), recsim::Fault::Hang);
        } else if (flag == "--cut-body") {
            faults.emplace_back(value(), recsim::Fault::CutBody);
        } else if (flag == "--slow-body") {
            slowBody = Number(flag, value(), 0, 100000000);
        } else if (flag == "--post-log") {
            postLog = Sys::AbsolutePath(value());
        } else if (flag == "--quiet") {
            quiet = true;
        } else if (flag == "--help" || flag == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            Usage("unknown option \"" + flag + "\"");
        }
    }
    if (!haveMode) Usage("--mode is required");
    if (options.user.empty() != options.password.empty())
        Usage("--user and --password go together");
    if (seed >= 0) options.seed = unsigned(seed) == 0 ? 1 : unsigned(seed);

    Sys::BlockEndRequests();

    try {
        recsim::RecorderSim sim(options);
        if (count >= 0)
            sim.SetReservations(recsim::SampleReservations(count, seed >= 0 ? unsigned(seed) : 1u,
                                                           options.firstDate));
        for (const auto& [target, status] : errors) sim.SetErrorStatus(target, status);
        for (const auto& [target, fault] : faults) sim.SetFault(target, fault);
        sim.SetSlowBody(slowBody);
        // Every posted body as it arrived, one after the other, so that two clients' posts can
        // be compared byte for byte.
        Sys::File posts;
        std::mutex postsMutex;
        if (!postLog.empty()) {
            Sys::FileOpen how;
            how.access = Sys::FileAccess::Append;
            how.creation = Sys::FileCreation::CreateOrTruncate;
            posts = Sys::OpenFile(postLog, how);
            if (!posts.Valid()) throw std::runtime_error("cannot write " + postLog);
        }
        sim.SetRequestHook([&](const recsim::LoggedRequest& r) {
            if (!quiet) {
                std::printf("%s %s %d\n", r.method.c_str(), r.target.c_str(), r.status);
                std::fflush(stdout);
            }
            if (posts.Valid() && r.method == "POST") {
                std::lock_guard lock(postsMutex);
                posts.WriteAll("POST " + r.target + " " + std::to_string(r.body.size()) + "\n" +
                               r.body + "\n");
            }
        });
        sim.Start();
        std::printf("listening on 127.0.0.1:%d\n", sim.Port());
        std::fflush(stdout);
        if (!quiet) {
            std::printf("mode %s, segment %s, %zu reservations%s%s\n",
                        options.mode == recsim::Mode::X4 ? "RD-X4" : "RD-X4EX",
                        sim.Segment().c_str(), sim.Reservations().size(),
                        options.stateFile.empty() ? "" : ", state file ",
                        options.stateFile.c_str());
            std::fflush(stdout);
        }
        Sys::WaitForEndRequest();
        sim.Stop();
    } catch (const std::exception& e) {
        std::cerr << "recorder-sim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
