// The running process.
#pragma once

#include <cstdint>

namespace Sys {

// This process's number (for unique names of temporary files).
long ProcessId();

// The memory this process holds now (POSIX: resident; Windows: the working set), in bytes.
uint64_t ResidentMemoryBytes();
// The most memory this process has held at once so far (POSIX: the resident high-water
// mark; Windows: the peak working set), in bytes; 0 when unknown.
uint64_t PeakMemoryBytes();
// Starts the high-water mark anew from the present use, where the system allows it (Linux);
// false elsewhere.
bool ResetPeakMemory();

}  // namespace Sys
