#include "HostLookup.h"

#include <system_error>
#include <thread>

void TWakeChannel::Signal() {
    pending.store(true, std::memory_order_release);
    wake.Signal();
}

void TWakeChannel::Drain() {
    if (!pending.exchange(false, std::memory_order_acq_rel)) return;
    wake.Drain();
}

int DefaultHostResolver(const std::string& name, std::vector<uint32_t>& addresses) {
    return Sys::ResolveIpv4(name, addresses);
}

std::shared_ptr<TLookupJob> StartLookupJob(const std::string& name, const THostResolver& resolver,
                                           const std::shared_ptr<TWakeChannel>& wake) {
    auto job = std::make_shared<TLookupJob>();
    job->name = name;
    THostResolver resolve = resolver ? resolver : THostResolver(DefaultHostResolver);
    try {
        std::thread([job, resolve, wake] {
            int error = SocketError::kNoRecovery;
            try {
                error = resolve(job->name, job->addresses);
            } catch (...) {
                job->addresses.clear();
            }
            job->error = error;
            job->done.store(true, std::memory_order_release);
            wake->Signal();
        }).detach();
    } catch (const std::system_error&) {
        // No thread for the lookup: it fails like a lookup the resolver could not serve.
        job->error = SocketError::kTryAgain;
        job->done.store(true, std::memory_order_release);
        wake->MarkPending();
    }
    return job;
}
