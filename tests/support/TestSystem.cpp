// What both systems' sides of TestSystem.h share: the zone is chosen through TZ, which the
// POSIX C library and the Windows C runtime both read ("TST-9:00" is nine hours east of UTC).
#include "TestSystem.h"

#include <cstdio>
#include <optional>
#include <string>

#include "SysClock.h"
#include "SysPath.h"

namespace testsupport {

namespace {
// The TZ the process had before UseFixedTimeZone, put back by UseOwnTimeZone.
std::optional<std::optional<std::string>> savedTz;
}  // namespace

bool UseFixedTimeZone(int minutesEast) {
    if (!savedTz) savedTz = Sys::GetEnv("TZ");
    // A TZ offset counts the other way: "TST-9" is nine hours east of UTC.
    const int minutes = minutesEast < 0 ? -minutesEast : minutesEast;
    char tz[32];
    std::snprintf(tz, sizeof tz, "TST%c%d:%02d", minutesEast < 0 ? '+' : '-', minutes / 60,
                  minutes % 60);
    Sys::SetEnv("TZ", std::string(tz));
    Sys::ReloadTimeZone();
    return true;
}

void UseOwnTimeZone() {
    if (!savedTz) return;
    Sys::SetEnv("TZ", *savedTz);
    Sys::ReloadTimeZone();
    savedTz.reset();
}

}  // namespace testsupport
