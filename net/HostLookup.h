// The host lookups of the event pump: each runs on a worker thread of its own and hands its
// result over through a job that the worker and the pump share, so a lookup that outlives its
// object (time-out, cancel, destruction) or its pump writes only into memory it co-owns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SysSocket.h"

// Resolves a host name to IPv4 addresses (network byte order). Returns 0 or an error number
// of the table (SocketError::kHostNotFound, ...). Runs on a worker thread.
using THostResolver = std::function<int(const std::string& name, std::vector<uint32_t>& addresses)>;
// The system's resolver.
int DefaultHostResolver(const std::string& name, std::vector<uint32_t>& addresses);

// The wake-up through which lookup workers rouse a waiting pump. Shared by the pump and the
// workers, so a late worker never writes into a handle that has been closed (or reused).
struct TWakeChannel {
    // Worker side: marks the wake-up, then rings for a pump that sleeps.
    void Signal();
    // Pump side: empties the wake-up, but only when one is pending.
    void Drain();
    // A wait saw the wake-up: let the next pump step empty it.
    void MarkPending() { pending.store(true, std::memory_order_release); }
    Sys::SocketHandle WaitHandle() const { return wake.WaitHandle(); }

  private:
    Sys::WakeUp wake;
    std::atomic<bool> pending{false};
};

// One lookup: the name, and the result once done is set.
struct TLookupJob {
    std::string name;
    std::atomic<bool> done{false};
    int error = 0;
    std::vector<uint32_t> addresses;
};

// Starts the lookup of name on a worker thread (resolver empty: DefaultHostResolver). The
// worker fills the job, sets done and signals wake. Without a thread the job ends at once as
// a lookup the resolver could not serve (kTryAgain), and the wake-up is marked pending.
std::shared_ptr<TLookupJob> StartLookupJob(const std::string& name, const THostResolver& resolver,
                                           const std::shared_ptr<TWakeChannel>& wake);
