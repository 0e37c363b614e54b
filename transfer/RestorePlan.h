// What a restore is going to do with each saved reservation, worked out before anything is
// sent: which go in; which are left out because their date has gone by or the RD-X4EX has no
// room left for them; which the recorder will refuse as overlapping an earlier one ("予約時間が
// 一部重複しています"); and which would go with fields missing. The window's tick table, the
// viewer, the command line and the restore itself all read the same plan. Qt-free; texts are
// Shift-JIS.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ReservationTable.h"

// How a reservation's date reads in the page's date list.
enum class DateKind { Unknown, OneOff, Daily, Weekly, MonFri, MonSat };

struct ReservationDate {
    DateKind Kind = DateKind::Unknown;
    // OneOff: the month (1-12) and the day (1-31) the page shows; the page gives no year.
    unsigned Month = 0, Day = 0;
    // OneOff and Weekly: 0 = Sunday ... 6 = Saturday.
    unsigned Weekday = 0;
};

// Reads the text of the date list's selected option: "8/29(日)" or "12/08(火)" (the weekday
// also in full-width brackets), "毎日", "毎週火曜", "月～金", "月～土". Anything else is Unknown.
ReservationDate ParseReservationDate(const std::string& sjis);

// The day a one-off date stands for: of the year before near's, near's own and the one after,
// the year in which month/day falls on the page's weekday, the closest to near. None when no
// such year fits (a damaged page, or a 29 February in a year that has none).
std::optional<std::chrono::sys_days> OneOffDay(const ReservationDate& date,
                                               std::chrono::sys_days near);

// The local date today, by the user's time zone.
std::chrono::sys_days LocalToday();

// What the plan knows besides the saved pages.
struct PlanFacts {
    // The local date of the capture; none for a set that does not say (then whether a one-off
    // date has gone by is unknown, never guessed).
    std::optional<std::chrono::sys_days> CaptureDay;
    std::chrono::sys_days Today{};
    // The reservations the RD-X4EX holds already; -1 while its list has not been read.
    int Held = -1;
};

// What the user chose.
struct PlanChoice {
    // The file numbers (0 to 31) ticked or named; none: no choice made, so the plan's own
    // (every saved reservation but those whose date has gone by).
    std::optional<std::set<int>> Selection;
    // The choice was named outright (--only) and is sent as it is: reservations in it whose
    // date has gone by or that will not fit go too.
    bool Forced = false;
};

// The plan for one table row.
struct PlanRow {
    // As the table counts: page ZAVOCV00.HTM is number 1.
    int Number = 0;
    ReservationDate Date;
    // A one-off's day, when its year could be told: from the capture day, or, for a set that
    // does not say when it was captured, from today for the overlap check alone.
    std::optional<std::chrono::sys_days> Day;
    // Ticked or named (or taken by the plan's own choice).
    bool Chosen = false;
    // The restore posts it.
    bool Send = false;
    // A one-off whose day has gone by.
    bool Past = false;
    // Past or not cannot be told: no capture day, no year that fits, a date the plan cannot read.
    bool DateUnknown = false;
    // The number of the earlier reservation to be sent whose recording time this one
    // overlaps on a day both record; 0 for none. The recorder refuses the second of the two.
    int CollidesWith = 0;
    // No room is left for it in the RD-X4EX: the chosen ones before it fill what is free.
    bool WillNotFit = false;
    // The page would be sent with fields missing.
    bool Incomplete = false;
};

struct RestorePlan {
    // The saved reservations as the table shows them, and the plan of each, in number order.
    std::vector<ReservationRow> Table;
    std::vector<PlanRow> Rows;
    int Held = -1;
    bool CaptureKnown = false;
    bool Forced = false;

    // The file numbers (0 to 31) the restore posts, ascending.
    std::vector<int> ToSend() const;
};

// The plan of the saved reservations rows (number order) with what is known and chosen. Of
// the chosen ones only the first 32 - Held, in number order, fit; reservations overlap when
// their times share a minute on a day both record, an end at or before the start running on
// into the next day.
RestorePlan MakeRestorePlan(std::vector<ReservationRow> rows, const PlanFacts& facts,
                            const PlanChoice& choice);

// The facts the saved set in programDir gives (its capture day and today), with held.
PlanFacts SavedSetFacts(const std::string& programDir, int held = -1);

// What colour a row's plan wears in the windows.
enum class PlanTone { Plain, Past, NoRoom, Collides, Incomplete };
PlanTone ToneOf(const PlanRow& row);

// The short mark of the plan's column: "送信", "送信・重複(3)", "過去", "入らない", "対象外", ...
std::string PlanMark(const PlanRow& row);

// Why, in whole sentences; empty for a reservation sent with nothing to say.
std::string PlanReason(const RestorePlan& plan, const PlanRow& row);

// "送信予定 12件：日付が過ぎた予約 2件、重複 1件、入りきらない予約 3件", and with withHeld what is
// known of the RD-X4EX ("（RD-X4EXの予約：既に20件）").
std::string PlanSummary(const RestorePlan& plan, bool withHeld);

// The notes of the viewer's plan column, where nothing is sent: "過去", "入らない", "重複(3)",
// joined by "・"; empty for a reservation with nothing to note.
std::string PlanNote(const PlanRow& row);

// True when the plan itself leaves the reservation out (its date has gone by, or it is chosen
// and will not fit), not the user's choice; never for a forced choice.
bool LeftOutByPlan(const RestorePlan& plan, const PlanRow& row);

// One line per reservation (number, mark, date, times, title, why; the columns lined up), then
// the summary line, each ending with '\n'. leftOutOnly: only the reservations the plan leaves
// out, and no summary.
std::string PlanText(const RestorePlan& plan, bool leftOutOnly = false);

// The report's lines naming the reservations the plan left out and why (none for a forced
// choice), each ending with LF CR; empty when it left out none.
std::string LeftOutLines(const RestorePlan& plan);

// The line for the question before a restore into a recorder that holds reservations: the
// table's numbers of the chosen ones that will not fit, LF CR; empty when all fit.
std::string NoRoomLine(const RestorePlan& plan);
