#include "TransferLog.h"

#include <cstdio>

#include "SysClock.h"
#include "SysFile.h"

namespace {

// Control bytes as \xNN; everything else, Shift-JIS included, as it is.
std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// "2026-12-08T10:03:10.123+0900": the zone as its offset, on every system.
std::string TimeStamp(std::chrono::system_clock::time_point now) {
    const Sys::LocalTime t = Sys::ToLocalTime(now);
    const int offset = t.UtcOffsetMinutes < 0 ? -t.UtcOffsetMinutes : t.UtcOffsetMinutes;
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d%02d", t.Year,
                  t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Millisecond,
                  t.UtcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return stamp;
}

std::string SystemError(const char* what, Sys::FileError error) {
    return std::string(what) + ": " + Sys::FileErrorText(error);
}

}  // namespace

std::string AddressForLog(const std::string& address) {
    size_t scheme = address.find("://");
    size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    size_t hostEnd = address.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos) hostEnd = address.size();
    size_t at = address.rfind('@', hostEnd == 0 ? 0 : hostEnd - 1);
    if (at == std::string::npos || at < hostStart) return address;
    return address.substr(0, hostStart) + address.substr(at + 1);
}

TransferLog::TransferLog(std::string path, std::uintmax_t maxBytes)
    : Now([] { return std::chrono::system_clock::now(); }),
      path_(std::move(path)),
      maxBytes_(maxBytes) {}

std::string TransferLog::FormatLine(const std::string& method, const std::string& address,
                                    int status, const std::string& outcome) const {
    std::string line = TimeStamp(Now ? Now() : std::chrono::system_clock::now());
    line += ' ' + Printable(method) + ' ' + Printable(AddressForLog(address)) + ' ';
    line += status > 0 ? std::to_string(status) : std::string("-");
    line += ' ' + Printable(outcome) + '\n';
    return line;
}

bool TransferLog::Append(const std::string& method, const std::string& address, int status,
                         const std::string& outcome) {
    const std::string line = FormatLine(method, address, status, outcome);
    // Twice at most: once more after starting a new generation.
    for (int pass = 0; pass < 2; ++pass) {
        // A FIFO put at the path cannot hold the transfer (it is refused without waiting),
        // and a symbolic link is never followed.
        Sys::FileOpen how;
        how.access = Sys::FileAccess::Append;
        how.creation = Sys::FileCreation::OpenOrCreate;
        how.ownerOnly = true;
        how.noFollow = true;
        Sys::FileError error = Sys::FileError::None;
        Sys::File file = Sys::OpenFile(path_, how, &error);
        if (!file.Valid() && error == Sys::FileError::NotRegular) {
            LastError = "not a regular file of this user: " + path_;
            return false;
        }
        if (!file.Valid()) {
            LastError = SystemError("open", error);
            return false;
        }
        if (!file.OwnedByUser()) {
            LastError = "not a regular file of this user: " + path_;
            return false;
        }
        if (!file.NarrowToOwner()) {
            LastError = SystemError("chmod", Sys::FileError::Denied);
            return false;
        }
        const long long size = file.Size();
        if (pass == 0 && size > 0 && static_cast<std::uintmax_t>(size) + line.size() > maxBytes_) {
            file.Close();
            // Windows renames no file that is open, so the log is closed first.
            if (!Sys::MoveReplacing(path_, path_ + ".1")) {
                LastError = SystemError("rename", Sys::FileError::Other);
                return false;
            }
            continue;
        }
        if (!file.WriteAll(line)) {
            LastError = SystemError("write", Sys::FileError::Other);
            return false;
        }
        LastError.clear();
        return true;
    }
    LastError = "rotation did not take";
    return false;
}
