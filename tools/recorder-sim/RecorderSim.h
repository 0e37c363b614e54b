// A simulated recorder web interface (RD-X4 before the firmware upgrade, RD-X4EX after it),
// served over HTTP/1.0 on 127.0.0.1, for the end-to-end tests and the demo. Every page is
// Shift-JIS with CR LF line ends, shaped like the recorder's own so that the program's capture
// and restore read and post it exactly as they would with the real device.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Reservation.h"

namespace recsim {

// One request as it arrived. target is path + "?" + query (an absolute URL sent through a
// proxy is reduced to its path); rawHeader holds the request line and header lines exactly as
// received, through the blank line; body holds the Content-Length bytes that followed.
struct LoggedRequest {
    std::string method, target, rawHeader, body;
    int status = 0;  // status answered; 0 when the connection was dropped without an answer
};

struct Options {
    Mode mode = Mode::X4;
    int port = 0;                // 0 picks a free port
    std::string user, password;  // Basic authentication when both are non-empty
    int latencyMs = 0;
    std::string stateFile;  // read at construction when it exists, rewritten after every change
    // Seed of the program segment; 0 draws a fresh one at every start.
    unsigned seed = 0;
    std::string segment;                 // a fixed program segment instead of a random one
    std::string firstDate = "20261201";  // first day offered in the date list (YYYYMMDD)
    int readTimeoutMs = 10000;           // a client silent this long mid-request is dropped
};

// What to do with a request for one target instead of answering it.
enum class Fault {
    None,
    Drop,     // read the request, close without answering
    Reset,    // read the request, reset the connection (RST)
    Hang,     // read the request, never answer (until the client closes or Stop)
    CutBody,  // send the status, header and half the body, then close
};

class RecorderSim {
  public:
    explicit RecorderSim(Options options);
    ~RecorderSim();  // stops
    RecorderSim(const RecorderSim&) = delete;
    RecorderSim& operator=(const RecorderSim&) = delete;

    // Binds 127.0.0.1:port (0 = ephemeral) and serves on a background thread. Throws
    // std::runtime_error when the port cannot be bound.
    void Start();
    // Stops accepting, ends every open connection and joins the threads. Idempotent.
    void Stop();
    int Port() const;
    std::string Segment() const;  // the program segment of this run
    Mode GetMode() const;

    std::vector<Reservation> Reservations() const;
    void SetReservations(std::vector<Reservation> r);
    // The reservation the selector chose last: an index, Count() for a new one, -1 for none.
    int Selected() const;

    std::vector<LoggedRequest> Requests() const;  // every request, in order
    void ClearRequests();
    // Called after every request (from a server thread), e.g. to print a log line.
    void SetRequestHook(std::function<void(const LoggedRequest&)> hook);

    // Fault injection, changeable while running (thread-safe). target is path + "?" + query as
    // requested, or "*" for every request.
    // Answers this target with that status (0 removes); times > 0 limits it to the next
    // `times` requests of the target, after which it answers normally again.
    void SetErrorStatus(const std::string& target, int status, int times = -1);
    void SetDropConnection(const std::string& target, bool drop);  // close without answering
    void SetFault(const std::string& target, Fault fault);         // Fault::None removes
    void SetSlowBody(int bytesPerSecond);                          // 0 = off
    // A recorder that loses entries: the next `count` entries are answered as stored but
    // not kept.
    void SetLoseEntries(int count);
    void SetLatency(int ms);

    // The option lists the recorder offers (value, Shift-JIS text), by form field name; empty
    // for an unknown name.
    static std::vector<std::pair<std::string, std::string>> OptionList(
        const std::string& field, const std::string& firstDate);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A varied, deterministic set of reservations: Shift-JIS titles with 0x5C trail bytes, HTML
// special characters, "+" and "%", multi-line details, every selection list with various values,
// exec on and off, distinct dates so that none overlaps another. Dates are drawn from the list
// that starts at firstDate.
std::vector<Reservation> SampleReservations(int count, unsigned seed,
                                            const std::string& firstDate = "20261201");

}  // namespace recsim
