#include <signal.h>
#include <unistd.h>

#include "SysConsole.h"

namespace Sys {

namespace {
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
    // A second Ctrl-C ends the program at once.
    ::signal(SIGINT, SIG_DFL);
}
}  // namespace

void PrepareConsole() {}

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

void StartCatchingInterrupt() {
    interrupted = 0;
    ::signal(SIGINT, OnInterrupt);
}

void StopCatchingInterrupt() {
    ::signal(SIGINT, SIG_DFL);
}

bool InterruptRequested() {
    return interrupted != 0;
}

namespace {
sigset_t EndSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}
}  // namespace

void BlockEndRequests() {
    // Taken by sigwait below, not by a handler racing the server threads.
    const sigset_t signals = EndSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForEndRequest() {
    const sigset_t signals = EndSignals();
    int received = 0;
    ::sigwait(&signals, &received);
}

}  // namespace Sys
