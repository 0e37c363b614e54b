// A built program run by a test as a child process: its arguments and environment, what it
// reads and prints, its exit status, and a bound on its time. One implementation per system
// (TestProcess_posix.cpp: posix_spawn and pipes; TestProcess_win32.cpp).
//
//   ChildProcess sim({RECORDER_SIM_EXE, {"--mode", "x4"}});
//   ASSERT_TRUE(sim.WaitForOutput("\n", 5s));
//   ... talk to it ...
//   ASSERT_TRUE(sim.Terminate());
//   const ProcessResult result = sim.Wait();
#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ProcessRun {
    std::string program;  // the program file's path
    std::vector<std::string> args;
    // Changes to the test's own environment: a value sets the variable, nullopt removes it.
    std::vector<std::pair<std::string, std::optional<std::string>>> env{};
    // The bytes of its standard input, which then ends; nothing at all when not given.
    std::string input{};
    // Longer than this and the child is killed (Wait reports timedOut).
    std::chrono::milliseconds timeout{10000};
};

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    // The exit status when the child ended by itself; -1 when it did not (killed, never
    // started, or ended by a signal).
    int status = -1;
    std::string out, err;
};

class ChildProcess {
  public:
    // Starts the child; Started() tells whether that worked.
    explicit ChildProcess(const ProcessRun& run);
    // Kills a child that still runs and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const;
    // Waits until the standard output holds marker (true) or timeout passes or the child
    // ends without printing it (false).
    bool WaitForOutput(const std::string& marker, std::chrono::milliseconds timeout);
    // The standard output read so far (by WaitForOutput).
    std::string Out() const;
    // Asks the child to end as a user's Ctrl-C does (POSIX SIGINT; Windows a console
    // control event to the child's group). False when the request could not be sent.
    bool Interrupt();
    // Asks the child to end as the system asks a server to (POSIX SIGTERM; Windows a request
    // the child's Sys::WaitForEndRequest sees). False when the request could not be sent.
    bool Terminate();
    // Waits until the child ends (killing it once the run's timeout has passed since the
    // start) and gives its outputs and status.
    ProcessResult Wait();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs the child to its end.
inline ProcessResult RunProcess(const ProcessRun& run) {
    return ChildProcess(run).Wait();
}

// The words of a command line written as one text, split at blanks (no quoting: a word holds
// no blank).
inline std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

}  // namespace testsupport
