// What the simulated recorder stores: its two modes and one reservation, shared by the
// server, its pages, the entry check and the state file.
#pragma once

#include <string>

namespace recsim {

enum class Mode { X4, X4EX };

// One timer-recording reservation. All texts are Shift-JIS bytes as the user entered them
// (decoded, never HTML).
struct Reservation {
    bool exec = true;   // check box bExec
    std::string title;  // title_name
    std::string genre, channel, date, start_hour, start_minute, end_hour, end_minute, disc, vrate,
        amode, dvdr, aspect, bVPerform, bAutoChapter;
    std::string detail;  // multi-line text, CR LF line breaks
    bool operator==(const Reservation&) const = default;
};

}  // namespace recsim
