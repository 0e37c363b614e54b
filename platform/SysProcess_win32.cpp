#include <windows.h>
// After windows.h, which it builds on.
#include <psapi.h>

#include "SysProcess.h"

namespace Sys {

namespace {
PROCESS_MEMORY_COUNTERS Counters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        counters = PROCESS_MEMORY_COUNTERS{};
    return counters;
}
}  // namespace

long ProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

uint64_t ResidentMemoryBytes() {
    return Counters().WorkingSetSize;
}

uint64_t PeakMemoryBytes() {
    return Counters().PeakWorkingSetSize;
}

bool ResetPeakMemory() {
    return false;
}

}  // namespace Sys
