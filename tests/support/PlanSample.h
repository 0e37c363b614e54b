// Saved reservations that give the restore's plan something to say, for the simulated
// recorder: one whose date has gone by, one that overlaps an earlier one, and repeats.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "RecorderSim.h"

// A day as the simulator's date list writes its values: "YYYYMMDD".
inline std::string SimDate(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

// The first day of the recorders' date lists: two days before today, so that a saved date
// can have gone by.
inline std::string PlanFirstDate(std::chrono::sys_days today) {
    return SimDate(today - std::chrono::days{2});
}

// Six reservations: tomorrow 20:00-21:00; two days ago (gone by); Monday to Friday 08:00;
// tomorrow 20:30-22:30 (overlapping the first); daily 03:00; Saturdays 06:00.
inline std::vector<recsim::Reservation> PlanSample(std::chrono::sys_days today) {
    using std::chrono::days;
    std::vector<recsim::Reservation> six = recsim::SampleReservations(6, 5, PlanFirstDate(today));
    const struct {
        std::string date;
        const char *from, *to, *minute;
    } when[] = {{SimDate(today + days{1}), "20", "21", "00"},
                {SimDate(today - days{2}), "20", "21", "00"},
                {"MF", "08", "08", "45"},
                {SimDate(today + days{1}), "20", "22", "30"},
                {"D", "03", "04", "00"},
                {"W6", "06", "07", "00"}};
    for (size_t i = 0; i < six.size(); ++i) {
        six[i].date = when[i].date;
        six[i].start_hour = when[i].from;
        six[i].end_hour = when[i].to;
        six[i].start_minute = i == 2 ? "00" : when[i].minute;
        six[i].end_minute = when[i].minute;
    }
    return six;
}
