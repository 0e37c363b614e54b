// The local time of the log lines and the reports.
#pragma once

#include <chrono>

namespace Sys {

struct LocalTime {
    int Year = 1970, Month = 1, Day = 1;  // Month 1-12
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int WeekDay = 4;           // 0 = Sunday
    int UtcOffsetMinutes = 0;  // +540 in Japan
};

// The time in the local time zone of the user (POSIX: TZ and the system zone; Windows: the
// system's zone settings), with the zone's offset from UTC at that time.
LocalTime ToLocalTime(std::chrono::system_clock::time_point time);

// Re-reads the time zone after TZ changed (tests).
void ReloadTimeZone();

}  // namespace Sys
