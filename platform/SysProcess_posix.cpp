#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "SysProcess.h"

namespace Sys {

namespace {
// A "Name:   1234 kB" line of /proc/self/status, in bytes.
uint64_t StatusBytes(const char* name) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(name) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0) return std::stoull(line.substr(prefix.size())) * 1024;
    return 0;
}
}  // namespace

long ProcessId() {
    return static_cast<long>(::getpid());
}

uint64_t ResidentMemoryBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

uint64_t PeakMemoryBytes() {
    if (const uint64_t peak = StatusBytes("VmHWM")) return peak;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

bool ResetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

}  // namespace Sys
