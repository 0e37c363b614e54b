// Sockets as the program uses them, on both systems: non-blocking IPv4 TCP, waiting for
// readiness, host lookup, a wake-up another thread can ring, and the error numbers.
//
// Error numbers are those of the socket error table the user sees ("10061:Connection
// refused"): Windows Sockets reports them itself; on POSIX each errno value is mapped once,
// here (SysErrno_posix.h), and lookups map their results (SocketErrorFromLookup).
//
// What differs between the systems, and what callers may rely on:
//  - A handle is a descriptor on POSIX and a SOCKET on Windows; kNoSocket is none on both.
//  - Send never raises SIGPIPE: a peer that has gone is the reset error 10054.
//  - Poll skips kNoSocket entries and marks an entry whose handle is no open socket with
//    kInvalid on both systems (Windows refuses a whole wait over such an entry; Poll then
//    finds the bad ones instead of returning at once, so no wait loop spins on it).
//  - Out-of-band data (kUrgent) is never reported on Windows, and the peer's orderly close
//    shows as kHangUp there (kPeerClosed is POSIX only); callers treat both as the close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SocketError {
inline constexpr int32_t kInterrupted = 10004;
inline constexpr int32_t kTooManyOpen = 10024;
inline constexpr int32_t kWouldBlock = 10035;
inline constexpr int32_t kInProgress = 10036;
inline constexpr int32_t kNotSocket = 10038;
inline constexpr int32_t kConnectionAborted = 10053;
inline constexpr int32_t kConnectionReset = 10054;
inline constexpr int32_t kNotConnected = 10057;
inline constexpr int32_t kTimedOut = 10060;
inline constexpr int32_t kConnectionRefused = 10061;
// The lookup numbers: no such host; no answer from a server that may know it (try again);
// a server that failed or refused; a name that exists but has no IPv4 address.
inline constexpr int32_t kHostNotFound = 11001;
inline constexpr int32_t kTryAgain = 11002;
inline constexpr int32_t kNoRecovery = 11003;
inline constexpr int32_t kNoData = 11004;
// errno values without a row become this base + errno ("Unknown Error No. 200xx").
inline constexpr int32_t kUnmappedErrnoBase = 20000;
}  // namespace SocketError

namespace Sys {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Readiness bits of a wait. They carry the POSIX poll() values, whatever the system.
inline constexpr short kReadable = 0x001;
inline constexpr short kUrgent = 0x002;
inline constexpr short kWritable = 0x004;
inline constexpr short kError = 0x008;
inline constexpr short kHangUp = 0x010;
inline constexpr short kInvalid = 0x020;
inline constexpr short kPeerClosed = 0x2000;

struct PollEntry {
    SocketHandle handle = kNoSocket;
    short events = 0;
    short revents = 0;
};

// Once per process before any other call here (Windows Sockets start-up; nothing on POSIX).
// False when the system's sockets cannot be used. Safe to call again and from any thread.
bool StartSockets();

// Waits until an entry shows one of its events (kError, kHangUp and kInvalid are reported
// whether asked for or not) or timeoutMs passes (-1: no limit), and sets every revents.
// Returns how many entries have news, 0 when the time passed, -1 when the wait was
// interrupted (a signal) or failed; the caller looks again then.
int Poll(PollEntry* entries, size_t count, int timeoutMs);
inline int Poll(std::vector<PollEntry>& entries, int timeoutMs) {
    return Poll(entries.data(), entries.size(), timeoutMs);
}

// A new non-blocking IPv4 stream socket that child processes do not inherit. resetOnClose:
// closing it resets the connection (linger on with a zero time). kNoSocket when none can be
// made, with error set.
SocketHandle OpenStreamSocket(bool resetOnClose, int32_t& error);
// Makes an existing socket non-blocking (or blocking again).
bool SetNonBlocking(SocketHandle socket, bool nonBlocking);
// Closing this socket from now on resets its connection.
bool SetResetOnClose(SocketHandle socket);
// The socket's receive buffer (SO_RCVBUF), for tests that fill a peer up quickly.
bool SetReceiveBuffer(SocketHandle socket, int bytes);
// Closes the socket; the handle is released even when an error (returned) is reported.
int32_t CloseSocket(SocketHandle socket);
// Ends the sending direction (the peer reads its end of data).
bool ShutdownSend(SocketHandle socket);

// Starts connecting to address:port (both in network byte order). 0 when connected at once;
// kInProgress or kWouldBlock while the connect goes on (its outcome shows as kWritable, or
// kError, in a wait); any other number is the failure.
int32_t StartConnect(SocketHandle socket, uint32_t address, uint16_t port);
// The error a failed connect (or a broken connection) left on the socket; 0 for none.
int32_t PendingError(SocketHandle socket);
// True for a socket that listens for connections.
bool IsListening(SocketHandle socket);

// One send of at most size bytes: the bytes taken, or -1 with error set (kWouldBlock while
// a non-blocking socket is full). Interrupted calls are repeated.
long long Send(SocketHandle socket, const char* data, size_t size, int32_t& error);
// One receive (peek: the bytes stay in the socket): the bytes received, 0 at the end of the
// data, or -1 with error set (kWouldBlock while a non-blocking socket has none).
long long Receive(SocketHandle socket, char* buffer, size_t size, bool peek, int32_t& error);

// Binds the socket to 127.0.0.1:port (0: a free one) and listens. Returns the bound port
// (network byte order is not used here: a plain number), 0 on failure with error set.
// reuseAddress lets a server bind again at once after a restart.
uint16_t ListenOnLoopback(SocketHandle socket, uint16_t port, int backlog, bool reuseAddress,
                          int32_t& error);
// Takes an offered connection: a new socket (non-blocking when nonBlocking) and the peer's
// address and port (network byte order). kNoSocket with error set when none is there.
SocketHandle Accept(SocketHandle listening, bool nonBlocking, uint32_t& address, uint16_t& port,
                    int32_t& error);
// The local and the remote port of a socket (plain numbers; 0 when unknown).
uint16_t LocalPort(SocketHandle socket);
uint16_t PeerPort(SocketHandle socket);
// 127.0.0.1 in network byte order.
uint32_t LoopbackAddress();
uint16_t HostToNetwork(uint16_t port);
uint16_t NetworkToHost(uint16_t port);

// A dotted IPv4 address ("192.168.0.5", and the short forms the system's parser accepts)
// in network byte order; false for anything else, "255.255.255.255" included.
bool ParseIpv4(const std::string& text, uint32_t& address);
// Looks a host name up (the system's resolver, IPv4 only). 0 with the addresses in
// network byte order, or a lookup number (kHostNotFound ...). Blocks: run it on a worker.
int32_t ResolveIpv4(const std::string& name, std::vector<uint32_t>& addresses);

// Two connected stream sockets (a local socket pair on POSIX, two loopback TCP sockets on
// Windows). False when they cannot be made.
bool MakeSocketPair(SocketHandle& first, SocketHandle& second);

// Wakes a thread that waits in Poll from another thread. POSIX: a pipe; Windows: a socket
// pair (Windows waits on sockets only). WaitHandle goes into the waiter's entries with
// kReadable; Signal may be called from any thread; Drain empties it without blocking.
class WakeUp {
  public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    SocketHandle WaitHandle() const { return read_; }
    void Signal();
    void Drain();

  private:
    SocketHandle read_ = kNoSocket;
    SocketHandle write_ = kNoSocket;
};

// A getaddrinfo result (EAI_* on POSIX, the WSA number on Windows) onto kHostNotFound ..
// kNoData; 0 stays 0.
int32_t SocketErrorFromLookup(int code);

}  // namespace Sys
