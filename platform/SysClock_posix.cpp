#include <time.h>

#include "SysClock.h"

namespace Sys {

LocalTime ToLocalTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time);
    long long millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    if (millis < 0) millis += 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    LocalTime t;
    t.Year = local.tm_year + 1900;
    t.Month = local.tm_mon + 1;
    t.Day = local.tm_mday;
    t.Hour = local.tm_hour;
    t.Minute = local.tm_min;
    t.Second = local.tm_sec;
    t.Millisecond = static_cast<int>(millis);
    t.WeekDay = local.tm_wday;
    t.UtcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    return t;
}

void ReloadTimeZone() {
    ::tzset();
}

}  // namespace Sys
