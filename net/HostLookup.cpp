#include "HostLookup.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "EventPump.h"
#include "SocketErrors.h"

TWakeChannel::TWakeChannel() {
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) fds[0] = fds[1] = -1;
}

TWakeChannel::~TWakeChannel() {
    for (int fd : fds) {
        if (fd >= 0) close(fd);
    }
}

void TWakeChannel::Signal() {
    pending.store(true, std::memory_order_release);
    if (fds[1] >= 0) {
        char one = 1;
        (void)!write(fds[1], &one, 1);
    }
}

void TWakeChannel::Drain() {
    if (!pending.exchange(false, std::memory_order_acq_rel) || fds[0] < 0) return;
    char scratch[64];
    while (read(fds[0], scratch, sizeof scratch) > 0) {
    }
}

int DefaultHostResolver(const std::string& name, std::vector<uint32_t>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc != 0) return SocketErrorFromLookup(rc);
    for (addrinfo* a = result; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        }
    }
    freeaddrinfo(result);
    return addresses.empty() ? SocketError::kNoData : 0;
}

void TEventPump::StartLookup(int sink, const std::string& name) {
    WithdrawLookup(sink);
    auto job = std::make_shared<TLookupJob>();
    job->name = name;
    THostResolver resolver = HostResolver ? HostResolver : THostResolver(DefaultHostResolver);
    try {
        std::thread([job, resolver, wake = wake_] {
            int error = SocketError::kNoRecovery;
            try {
                error = resolver(job->name, job->addresses);
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
        wake_->MarkPending();
    }
    lookups_.push_back(PendingLookup{sink, job});
}

void TEventPump::WithdrawLookup(int sink) {
    // The worker keeps its own reference to the job and finishes into it unobserved.
    std::erase_if(lookups_, [sink](const PendingLookup& l) { return l.sink == sink; });
}

void TEventPump::FinishLookups() {
    if (lookups_.empty()) return;
    std::vector<PendingLookup> finished;
    std::erase_if(lookups_, [&](const PendingLookup& l) {
        if (!l.job->done.load(std::memory_order_acquire)) return false;
        finished.push_back(l);
        return true;
    });
    for (const auto& f : finished) {
        TPumpNotification n;
        n.kind = TPumpNotification::LookupDone;
        n.errorCode = f.job->error;
        n.addresses = f.job->addresses;
        Deliver(f.sink, n);
    }
}
