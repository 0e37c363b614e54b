#include <time.h>

#include "SysClock.h"

namespace Sys {

LocalTime ToLocalTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const __time64_t seconds = duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    long long millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    if (millis < 0) millis += 1000;
    std::tm local{};
    LocalTime t;
    if (::_localtime64_s(&local, &seconds) != 0) return t;
    t.Year = local.tm_year + 1900;
    t.Month = local.tm_mon + 1;
    t.Day = local.tm_mday;
    t.Hour = local.tm_hour;
    t.Minute = local.tm_min;
    t.Second = local.tm_sec;
    t.Millisecond = static_cast<int>(millis);
    t.WeekDay = local.tm_wday;
    // The local fields read as UTC, less the moment itself: the zone's offset then, daylight
    // saving included (the runtime's strftime gives a zone name for %z, not the offset).
    std::tm asUtc = local;
    t.UtcOffsetMinutes = static_cast<int>((::_mkgmtime64(&asUtc) - seconds) / 60);
    return t;
}

void ReloadTimeZone() {
    ::_tzset();
}

}  // namespace Sys
