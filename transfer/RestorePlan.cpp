#include "RestorePlan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "SavedSet.h"
#include "SysClock.h"
#include "Texts.h"

namespace {

using std::chrono::sys_days;

constexpr int kMinutesPerDay = 24 * 60;

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
    const std::string p = prefix;
    return text.compare(at, p.size(), p) == 0;
}

// The weekday written at `at` (two bytes), or -1.
int WeekdayAt(const std::string& text, size_t at) {
    for (int w = 0; w < 7; ++w)
        if (StartsWith(text, at, Texts::kDateWeekdays[w])) return w;
    return -1;
}

// A number of one or two digits at `at`; advances past it.
bool SmallNumberAt(const std::string& text, size_t& at, unsigned& value) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && at - start < 2 && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    return at > start;
}

// The bracket at `at`, half-width or full-width; advances past it.
bool BracketAt(const std::string& text, size_t& at, char half, const char* full) {
    if (at < text.size() && text[at] == half) {
        ++at;
        return true;
    }
    if (StartsWith(text, at, full)) {
        at += std::string(full).size();
        return true;
    }
    return false;
}

// The weekdays a reservation records on, one bit each (bit 0 Sunday).
unsigned WeekdayBits(const ReservationDate& date) {
    switch (date.Kind) {
        case DateKind::OneOff:
        case DateKind::Weekly:
            return 1u << date.Weekday;
        case DateKind::Daily:
            return 0x7Fu;
        case DateKind::MonFri:
            return 0x3Eu;
        case DateKind::MonSat:
            return 0x7Eu;
        case DateKind::Unknown:
            break;
    }
    return 0;
}

// "HH:MM" as the table shows a time, in minutes of the day; -1 for anything else.
int MinutesOf(const std::string& hhmm) {
    if (hhmm.size() != 5 || hhmm[2] != ':') return -1;
    for (size_t i : {0u, 1u, 3u, 4u})
        if (hhmm[i] < '0' || hhmm[i] > '9') return -1;
    const int hour = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
    const int minute = (hhmm[3] - '0') * 10 + (hhmm[4] - '0');
    if (hour > 23 || minute > 59) return -1;
    return hour * 60 + minute;
}

// When a row records, for the overlap check.
struct Occurrence {
    bool Known = false;
    ReservationDate Date;
    std::optional<sys_days> Day;
    unsigned Weekdays = 0;
    // Minutes from the start of its day; an end at or before the start lies on the next day,
    // as the recorder reads it.
    int Start = 0, End = 0;
};

Occurrence OccurrenceOf(const ReservationRow& row, const PlanRow& plan) {
    Occurrence o;
    o.Date = plan.Date;
    o.Day = plan.Day;
    o.Weekdays = WeekdayBits(plan.Date);
    o.Start = MinutesOf(row.Start);
    o.End = MinutesOf(row.End);
    o.Known = o.Weekdays != 0 && o.Start >= 0 && o.End >= 0;
    if (o.End <= o.Start) o.End += kMinutesPerDay;
    return o;
}

// Can b record on the day after a's day by `shift` days (-1, 0 or 1)?
bool DaysMeet(const Occurrence& a, const Occurrence& b, int shift) {
    if (a.Date.Kind == DateKind::OneOff && b.Date.Kind == DateKind::OneOff) {
        if (a.Day && b.Day) return (*b.Day - *a.Day).count() == shift;
        // Without the year, only the same date shown alike is known to be one day.
        return shift == 0 && a.Date.Month == b.Date.Month && a.Date.Day == b.Date.Day &&
               a.Date.Weekday == b.Date.Weekday;
    }
    for (int w = 0; w < 7; ++w)
        if (((a.Weekdays >> w) & 1u) && ((b.Weekdays >> ((w + 7 + shift) % 7)) & 1u)) return true;
    return false;
}

bool Overlap(const Occurrence& a, const Occurrence& b) {
    if (!a.Known || !b.Known) return false;
    // A recording is at most a day long, so only b on a's day, the day before or the day after
    // can share a minute with it.
    for (int shift = -1; shift <= 1; ++shift) {
        const int bStart = b.Start + shift * kMinutesPerDay;
        const int bEnd = b.End + shift * kMinutesPerDay;
        if (a.Start < bEnd && bStart < a.End && DaysMeet(a, b, shift)) return true;
    }
    return false;
}

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string DayText(sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d/%02u/%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

// Left out by the plan itself, not by the user's choice.
bool LeftOutPast(const RestorePlan& plan, const PlanRow& row) {
    return !plan.Forced && !row.Send && row.Past;
}

bool LeftOutNoRoom(const RestorePlan& plan, const PlanRow& row) {
    return !plan.Forced && !row.Send && !row.Past && row.Chosen && row.WillNotFit;
}

}  // namespace

ReservationDate ParseReservationDate(const std::string& text) {
    ReservationDate date;
    if (text == Texts::kDateEveryDay) {
        date.Kind = DateKind::Daily;
    } else if (text == Texts::kDateMonFri) {
        date.Kind = DateKind::MonFri;
    } else if (text == Texts::kDateMonSat) {
        date.Kind = DateKind::MonSat;
    } else if (StartsWith(text, 0, Texts::kDateEveryWeek)) {
        // "毎週火曜", also written "毎週火" or "毎週火曜日" (the Sunday character is also 日).
        const size_t at = std::string(Texts::kDateEveryWeek).size();
        const int weekday = WeekdayAt(text, at);
        const std::string rest = weekday < 0 ? std::string() : text.substr(at + 2);
        const std::string suffix = Texts::kDateWeekdaySuffix;
        if (weekday >= 0 &&
            (rest.empty() || rest == suffix || rest == suffix + Texts::kDateWeekdays[0])) {
            date.Kind = DateKind::Weekly;
            date.Weekday = static_cast<unsigned>(weekday);
        }
    } else {
        // "8/29(日)": month, slash, day, the weekday in brackets, nothing after.
        size_t at = 0;
        unsigned month = 0, day = 0;
        if (!SmallNumberAt(text, at, month) || at >= text.size() || text[at++] != '/' ||
            !SmallNumberAt(text, at, day) || !BracketAt(text, at, '(', Texts::kDateOpen))
            return date;
        const int weekday = WeekdayAt(text, at);
        if (weekday < 0) return date;
        at += 2;
        if (!BracketAt(text, at, ')', Texts::kDateClose) || at != text.size()) return date;
        if (month < 1 || month > 12 || day < 1 || day > 31) return date;
        date.Kind = DateKind::OneOff;
        date.Month = month;
        date.Day = day;
        date.Weekday = static_cast<unsigned>(weekday);
    }
    return date;
}

std::optional<sys_days> OneOffDay(const ReservationDate& date, sys_days near) {
    if (date.Kind != DateKind::OneOff) return std::nullopt;
    const int nearYear = static_cast<int>(std::chrono::year_month_day{near}.year());
    std::optional<sys_days> best;
    for (int year = nearYear - 1; year <= nearYear + 1; ++year) {
        const std::chrono::year_month_day ymd{
            std::chrono::year{year}, std::chrono::month{date.Month}, std::chrono::day{date.Day}};
        if (!ymd.ok()) continue;
        const sys_days day{ymd};
        if (std::chrono::weekday{day}.c_encoding() != date.Weekday) continue;
        if (!best || std::abs((day - near).count()) < std::abs((*best - near).count())) best = day;
    }
    return best;
}

sys_days LocalToday() {
    const Sys::LocalTime now = Sys::ToLocalTime(std::chrono::system_clock::now());
    return sys_days{std::chrono::year{now.Year} / static_cast<unsigned>(now.Month) /
                    static_cast<unsigned>(now.Day)};
}

std::vector<int> RestorePlan::ToSend() const {
    std::vector<int> numbers;
    for (const PlanRow& row : Rows)
        if (row.Send) numbers.push_back(row.Number - 1);
    return numbers;
}

RestorePlan MakeRestorePlan(std::vector<ReservationRow> rows, const PlanFacts& facts,
                            const PlanChoice& choice) {
    RestorePlan plan;
    plan.Table = std::move(rows);
    plan.Held = facts.Held;
    plan.CaptureKnown = facts.CaptureDay.has_value();
    plan.Forced = choice.Forced;
    for (const ReservationRow& table : plan.Table) {
        PlanRow row;
        row.Number = table.Number;
        row.Date = ParseReservationDate(table.Date);
        row.Incomplete = !table.Complete;
        if (row.Date.Kind == DateKind::OneOff) {
            row.Day = OneOffDay(row.Date, facts.CaptureDay.value_or(facts.Today));
            row.Past = facts.CaptureDay && row.Day && *row.Day < facts.Today;
            row.DateUnknown = !facts.CaptureDay || !row.Day;
        } else {
            row.DateUnknown = row.Date.Kind == DateKind::Unknown;
        }
        row.Chosen = choice.Selection ? choice.Selection->count(row.Number - 1) > 0
                                      : choice.Forced || !row.Past;
        plan.Rows.push_back(row);
    }

    // What the RD-X4EX has room for goes to the chosen ones in number order.
    const int room = facts.Held < 0 ? Texts::kMaxReservations
                                    : std::max(0, Texts::kMaxReservations - facts.Held);
    int used = 0;
    for (PlanRow& row : plan.Rows) {
        row.WillNotFit = used >= room;
        if (row.Chosen && !row.WillNotFit) ++used;
        row.Send = row.Chosen && (choice.Forced || !row.WillNotFit);
    }

    // The recorder takes the first of two overlapping entries and refuses the second.
    std::vector<Occurrence> sent(plan.Rows.size());
    for (size_t i = 0; i < plan.Rows.size(); ++i) {
        PlanRow& row = plan.Rows[i];
        if (!row.Send) continue;
        sent[i] = OccurrenceOf(plan.Table[i], row);
        for (size_t j = 0; j < i && row.CollidesWith == 0; ++j)
            if (plan.Rows[j].Send && Overlap(sent[j], sent[i]))
                row.CollidesWith = plan.Rows[j].Number;
    }
    return plan;
}

PlanFacts SavedSetFacts(const std::string& programDir, int held) {
    PlanFacts facts;
    facts.CaptureDay = SavedSet::CaptureDay(programDir);
    facts.Today = LocalToday();
    facts.Held = held;
    return facts;
}

PlanTone ToneOf(const PlanRow& row) {
    if (row.Past) return PlanTone::Past;
    if (row.WillNotFit) return PlanTone::NoRoom;
    if (row.CollidesWith > 0) return PlanTone::Collides;
    if (row.Incomplete) return PlanTone::Incomplete;
    return PlanTone::Plain;
}

std::string PlanMark(const PlanRow& row) {
    if (!row.Send) {
        if (row.Past) return Texts::kPlanMarkPast;
        if (row.WillNotFit) return Texts::kPlanMarkNoRoom;
        return Texts::kPlanMarkUnchosen;
    }
    std::vector<std::string> notes = {Texts::kPlanMarkSend};
    // Sent all the same: the choice was named outright.
    if (row.Past) notes.push_back(Texts::kPlanMarkPast);
    if (row.WillNotFit) notes.push_back(Texts::kPlanMarkNoRoom);
    if (row.CollidesWith > 0)
        notes.push_back(Texts::kPlanMarkCollides + ("(" + std::to_string(row.CollidesWith) + ")"));
    if (row.Incomplete) notes.push_back(Texts::kPlanMarkIncomplete);
    if (row.DateUnknown) notes.push_back(Texts::kPlanMarkDateUnknown);
    return Joined(notes, Texts::kPlanMarkJoin);
}

std::string PlanNote(const PlanRow& row) {
    std::vector<std::string> notes;
    if (row.Past) notes.push_back(Texts::kPlanMarkPast);
    if (row.WillNotFit) notes.push_back(Texts::kPlanMarkNoRoom);
    if (row.CollidesWith > 0)
        notes.push_back(Texts::kPlanMarkCollides + ("(" + std::to_string(row.CollidesWith) + ")"));
    return Joined(notes, Texts::kPlanMarkJoin);
}

bool LeftOutByPlan(const RestorePlan& plan, const PlanRow& row) {
    return LeftOutPast(plan, row) || LeftOutNoRoom(plan, row);
}

std::string PlanReason(const RestorePlan& plan, const PlanRow& row) {
    std::string why;
    if (row.Past && row.Day) why += Texts::kPlanWhyPast1 + DayText(*row.Day) + Texts::kPlanWhyPast2;
    if (row.WillNotFit && !row.Past)
        why += Texts::kPlanWhyNoRoom1 + std::to_string(plan.Held) + Texts::kPlanWhyNoRoom2;
    if (row.CollidesWith > 0) why += std::to_string(row.CollidesWith) + Texts::kPlanWhyCollides;
    if (row.Incomplete) {
        for (size_t i = 0; i < plan.Rows.size(); ++i)
            if (plan.Rows[i].Number == row.Number) why += plan.Table[i].Problem;
    }
    if (row.DateUnknown && row.Send) {
        if (row.Date.Kind != DateKind::OneOff)
            why += Texts::kPlanWhyUnreadDate;
        else if (!plan.CaptureKnown)
            why += Texts::kPlanWhyNoCaptureTime;
        else
            why += Texts::kPlanWhyNoYear;
    }
    if (!row.Send && !row.Past && !row.WillNotFit) why += Texts::kPlanWhyUnchosen;
    return why;
}

std::string PlanSummary(const RestorePlan& plan, bool withHeld) {
    int send = 0, past = 0, collides = 0, noRoom = 0, incomplete = 0, dateUnknown = 0;
    for (const PlanRow& row : plan.Rows) {
        send += row.Send;
        past += row.Past;
        collides += row.CollidesWith > 0;
        noRoom += row.WillNotFit && !row.Past;
        incomplete += row.Send && row.Incomplete;
        dateUnknown += row.Send && row.DateUnknown;
    }
    std::vector<std::string> kinds;
    const std::pair<const char*, int> counts[] = {{Texts::kPlanSummaryPast, past},
                                                  {Texts::kPlanSummaryCollides, collides},
                                                  {Texts::kPlanSummaryNoRoom, noRoom},
                                                  {Texts::kPlanSummaryIncomplete, incomplete},
                                                  {Texts::kPlanSummaryDateUnknown, dateUnknown}};
    for (const auto& [what, count] : counts)
        if (count > 0) kinds.push_back(what + std::to_string(count) + Texts::kCountSuffix);
    std::string line = Texts::kPlanSummarySend + std::to_string(send) + Texts::kCountSuffix;
    if (!kinds.empty()) line += Texts::kPlanSummaryColon + Joined(kinds, Texts::kListSeparator);
    if (withHeld) {
        line += plan.Held < 0 ? std::string(Texts::kPlanHeldUnknown)
                              : Texts::kPlanHeld1 + std::to_string(plan.Held) + Texts::kPlanHeld2;
    }
    return line;
}

std::string PlanText(const RestorePlan& plan, bool leftOutOnly) {
    std::vector<std::vector<std::string>> lines;
    for (size_t i = 0; i < plan.Rows.size(); ++i) {
        const PlanRow& row = plan.Rows[i];
        if (leftOutOnly && !LeftOutByPlan(plan, row)) continue;
        const ReservationRow& table = plan.Table[i];
        std::string number = std::to_string(row.Number);
        if (number.size() < 2) number.insert(0, 1, ' ');
        lines.push_back({number, PlanMark(row), table.Date, table.Start + "-" + table.End,
                         table.Title, PlanReason(plan, row)});
    }
    return AlignColumns(lines) + (leftOutOnly ? "" : PlanSummary(plan, true) + "\n");
}

std::string LeftOutLines(const RestorePlan& plan) {
    std::vector<std::string> past, noRoom;
    for (const PlanRow& row : plan.Rows) {
        if (LeftOutPast(plan, row)) past.push_back(TwoDigits(row.Number - 1));
        if (LeftOutNoRoom(plan, row)) noRoom.push_back(TwoDigits(row.Number - 1));
    }
    std::string lines;
    if (!past.empty())
        lines += Texts::kLeftOutPast + Joined(past, Texts::kListSeparator) + Texts::kLfCr;
    if (!noRoom.empty())
        lines += Texts::kLeftOutNoRoom + Joined(noRoom, Texts::kListSeparator) + Texts::kLfCr;
    return lines;
}

std::string NoRoomLine(const RestorePlan& plan) {
    std::vector<std::string> numbers;
    for (const PlanRow& row : plan.Rows)
        if (LeftOutNoRoom(plan, row)) numbers.push_back(std::to_string(row.Number));
    if (numbers.empty()) return std::string();
    return Texts::kAskNoRoom + Joined(numbers, Texts::kListSeparator) + Texts::kLfCr;
}
