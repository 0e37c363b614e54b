// The host lookups of the event pump: each runs on a worker thread of its own and hands its
// result over through a job that the worker and the pump share, so a lookup that outlives its
// object (time-out, cancel, destruction) or its pump writes only into memory it co-owns.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The pipe through which lookup workers wake a waiting pump. Shared by the pump and the
// workers, so a late worker never writes into a descriptor that has been closed (or reused).
struct TWakeChannel {
    TWakeChannel();
    ~TWakeChannel();
    TWakeChannel(const TWakeChannel&) = delete;
    TWakeChannel& operator=(const TWakeChannel&) = delete;

    // Worker side: marks the wake-up, then writes a byte for a pump that sleeps.
    void Signal();
    // Pump side: empties the pipe, but only when a wake-up is pending.
    void Drain();
    // A wait saw the pipe readable: let the next pump step empty it.
    void MarkPending() { pending.store(true, std::memory_order_release); }
    int ReadFd() const { return fds[0]; }

  private:
    int fds[2] = {-1, -1};
    std::atomic<bool> pending{false};
};

struct TLookupJob {
    std::string name;
    std::atomic<bool> done{false};
    int error = 0;
    std::vector<uint32_t> addresses;
};
