#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "TestProcess.h"

extern char** environ;

namespace testsupport {

using Clock = std::chrono::steady_clock;

struct ChildProcess::State {
    pid_t pid = -1;
    Clock::time_point deadline;
    // The parent's ends of the child's standard output, error and input.
    int fds[3] = {-1, -1, -1};
    std::string input;
    size_t sent = 0;
    bool reaped = false;
    ProcessResult result;

    // Moves what is ready between the child and the result, waiting at most until; false
    // once both outputs have ended.
    bool Pump(Clock::time_point until);
    // Waits for the child's end, killing it now (kill) or once the deadline passes; true
    // when it had to be killed.
    bool Reap(bool kill);
};

namespace {

// The test's environment with the run's changes.
std::vector<std::string> Environment(const ProcessRun& run) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool changed = false;
        for (const auto& [name, value] : run.env)
            changed = changed || entry.compare(0, name.size() + 1, name + "=") == 0;
        if (!changed) env.push_back(entry);
    }
    for (const auto& [name, value] : run.env)
        if (value) env.push_back(name + "=" + *value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

bool ChildProcess::State::Pump(Clock::time_point until) {
    if (fds[0] < 0 && fds[1] < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    pollfd ready[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {fds[2], POLLOUT, 0}};
    if (::poll(ready, 3, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0) return true;
    if (ready[2].revents != 0) {
        // A socket, not a pipe: a child that stops reading costs a failed send, never a
        // SIGPIPE for the test.
        const ssize_t n =
            ::send(fds[2], input.data() + sent, input.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) sent += static_cast<size_t>(n);
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || sent == input.size()) CloseFd(fds[2]);
    }
    for (int i = 0; i < 2; ++i) {
        if (ready[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i], buffer, sizeof buffer);
        if (n > 0)
            (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            CloseFd(fds[i]);
    }
    return fds[0] >= 0 || fds[1] >= 0;
}

bool ChildProcess::State::Reap(bool kill) {
    if (reaped) return false;
    int status = 0;
    // A child that closed its outputs may still be on its way out: give it until the deadline.
    while (!kill && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (kill) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    for (int& fd : fds) CloseFd(fd);
    reaped = true;
    result.status = !kill && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return kill;
}

ChildProcess::ChildProcess(const ProcessRun& run) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.deadline = Clock::now() + run.timeout;
    s.input = run.input;
    int out[2], err[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The child starts with the signals a program expects, whatever the test's thread blocks
    // or ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGPIPE, SIGXFSZ}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argv = {run.program};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    std::vector<std::string> env = Environment(run);
    const int rc = ::posix_spawn(&s.pid, run.program.c_str(), &actions, &attributes,
                                 Pointers(argv).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (int fd : {out[1], err[1], in[1]}) ::close(fd);
    s.fds[0] = out[0];
    s.fds[1] = err[0];
    s.fds[2] = in[0];
    if (rc != 0) {
        s.pid = -1;
        for (int& fd : s.fds) CloseFd(fd);
        return;
    }
    s.result.started = true;
    if (s.input.empty()) CloseFd(s.fds[2]);
}

ChildProcess::~ChildProcess() {
    if (Started()) state_->Reap(true);
}

bool ChildProcess::Started() const {
    return state_->pid > 0;
}

bool ChildProcess::WaitForOutput(const std::string& marker, std::chrono::milliseconds timeout) {
    const Clock::time_point until = Clock::now() + timeout;
    while (state_->result.out.find(marker) == std::string::npos && Clock::now() < until &&
           state_->Pump(until)) {
    }
    return state_->result.out.find(marker) != std::string::npos;
}

std::string ChildProcess::Out() const {
    return state_->result.out;
}

bool ChildProcess::Interrupt() {
    return Started() && !state_->reaped && ::kill(state_->pid, SIGINT) == 0;
}

bool ChildProcess::Terminate() {
    return Started() && !state_->reaped && ::kill(state_->pid, SIGTERM) == 0;
}

ProcessResult ChildProcess::Wait() {
    State& s = *state_;
    if (!Started()) return s.result;
    while (Clock::now() < s.deadline && s.Pump(s.deadline)) {
    }
    const bool outputsOpen = s.fds[0] >= 0 || s.fds[1] >= 0;
    s.result.timedOut = s.Reap(outputsOpen);
    return s.result;
}

}  // namespace testsupport
