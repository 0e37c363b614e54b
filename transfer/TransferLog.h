// A short log of what the transfers did, one line per request or transfer, kept in the data
// folder so that a user can send it along when something goes wrong. No widget, no Qt.
//
// A line reads
//   2026-12-08T10:03:10.123+0900 GET http://rd-x4/program/b_prgrm.htm 200 ok
// that is: local time with milliseconds and zone, a word for what was done, the address, the
// recorder's HTTP status ("-" when no answer came) and the outcome.
//
// What never goes in: a password (the API takes none, and a user name and password written
// into an address are dropped) and a page body (the API takes none: pass a short outcome).
// Control bytes in the address or the outcome are written as \xNN, so one call is one line.
//
// The file is created owner-only (0600); an existing one with wider rights is narrowed. When a
// line would take the file past the size limit, the file becomes path + ".1" (replacing the
// older generation) and a new one is started. A FIFO, a folder or another user's file at the
// path is refused. A log never stops a transfer: Append reports failure by its result only.
//
// Use (one object per transfer, or one for the program's life):
//   TransferLog log(context.ProgramDir + kTransferLogFile);
//   log.Append("GET", url, client.ReplyCode, flag ? "ok" : "failed");
//   log.Append("POST", url, 0, error.Message);           // an exception, no answer
//   log.Append("CAPTURE", host, 0, "7 reservations");    // the end of a transfer
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// The log's file name in the data folder.
inline constexpr char kTransferLogFile[] = "zavoconv.log";
// About 1 MB, then one older generation is kept.
inline constexpr std::uintmax_t kTransferLogMaxBytes = 1024 * 1024;

class TransferLog {
  public:
    explicit TransferLog(std::string path, std::uintmax_t maxBytes = kTransferLogMaxBytes);

    // Appends one line (see above). method: "GET", "POST" or a word of the caller's; status:
    // the HTTP status code, 0 for none; outcome: a short text, Shift-JIS as the program holds
    // it. Returns false when the line could not be written; LastError then says why.
    bool Append(const std::string& method, const std::string& address, int status,
                const std::string& outcome);

    // The line Append writes, without writing it.
    std::string FormatLine(const std::string& method, const std::string& address, int status,
                           const std::string& outcome) const;

    const std::string& Path() const { return path_; }

    // The clock of the time stamps; tests replace it.
    std::function<std::chrono::system_clock::time_point()> Now;
    // Why the last Append failed ("open: Permission denied"); empty after a success.
    std::string LastError;

  private:
    std::string path_;
    std::uintmax_t maxBytes_;
};

// The address as the log shows it: a user name and password before '@' in the host part are
// dropped ("http://u:p@rd-x4/x" -> "http://rd-x4/x").
std::string AddressForLog(const std::string& address);
