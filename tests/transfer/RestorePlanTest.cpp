// The restore's plan as a table: saved rows, the capture day, today and the RD-X4EX's count in;
// one mark per row out.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RestorePlan.h"
#include "SysText.h"
#include "TestHelpers.h"
#include "Texts.h"

namespace {

using std::chrono::sys_days;

sys_days Day(const std::string& s) {
    return sys_days{std::chrono::year{std::stoi(s.substr(0, 4))} /
                    static_cast<unsigned>(std::stoi(s.substr(4, 2))) /
                    static_cast<unsigned>(std::stoi(s.substr(6, 2)))};
}

struct PlanCase {
    const char* name;
    const char* capture;  // "" for a set captured before the program kept the time
    const char* today;
    int held;
    // The rows' dates as the pages show them, separated by ", ": "~" for none, "@HH:MM-HH:MM"
    // after a date for other times than 21:00-22:00, "!" in front of a page that is incomplete.
    const char* rows;
    // One code per row: S sent or - not, then P past, N no room, C<n> collides with n,
    // I incomplete, U past or not unknown.
    const char* expected;
    const char* ticked = nullptr;  // the numbers ticked or named, as the table counts
    bool forced = false;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

RestorePlan PlanOf(const PlanCase& c) {
    std::vector<ReservationRow> rows;
    std::stringstream list(c.rows);
    for (std::string item; std::getline(list, item, ',');) {
        ReservationRow r;
        r.Number = static_cast<int>(rows.size()) + 1;
        item.erase(0, item.find_first_not_of(' '));
        r.Complete = item[0] != '!';
        if (!r.Complete) item.erase(0, 1);
        const size_t at = item.find('@');
        r.Start = at == std::string::npos ? "21:00" : item.substr(at + 1, 5);
        r.End = at == std::string::npos ? "22:00" : item.substr(at + 7, 5);
        const std::string date = item.substr(0, at);
        r.Date = date == "~" ? "" : Sys::Utf8ToSjis(date);
        rows.push_back(r);
    }
    PlanFacts facts;
    if (*c.capture) facts.CaptureDay = Day(c.capture);
    facts.Today = Day(c.today);
    facts.Held = c.held;
    PlanChoice choice;
    if (c.ticked) {
        choice.Selection.emplace();
        std::stringstream numbers(c.ticked);
        for (std::string n; std::getline(numbers, n, ',');)
            choice.Selection->insert(std::stoi(n) - 1);
    }
    choice.Forced = c.forced;
    return MakeRestorePlan(rows, facts, choice);
}

std::string Codes(const RestorePlan& plan) {
    std::string codes;
    for (const PlanRow& r : plan.Rows) {
        codes += std::string(codes.empty() ? "" : " ") + (r.Send ? "S" : "-");
        if (r.Past) codes += "P";
        if (r.WillNotFit) codes += "N";
        if (r.CollidesWith) codes += "C" + std::to_string(r.CollidesWith);
        if (r.Incomplete) codes += "I";
        if (r.DateUnknown) codes += "U";
    }
    return codes;
}

// Three repeats, a one-off long gone by and another repeat, each at its own time.
const char* const kFive =
    "毎日@01:00-02:00, 毎週月曜@03:00-04:00, 月～金@05:00-06:00, 12/30(水), 月～土@09:00-10:00";

const PlanCase kCases[] = {
    // The year is the one near the capture in which month/day falls on the page's weekday.
    {"TurnOfTheYearForward", "20261228", "20261230", 0, "12/29(火), 01/02(土), 12/31(木), 1/5(火)",
     "-P S S S"},
    {"TurnOfTheYearBack", "20270103", "20270103", 0, "12/30(水), 01/02(土), 01/03(日)", "-P -P S"},
    {"TwentyNinthOfFebruary", "20280220", "20280305", 0, "02/29(火), 02/29(木)@06:00-07:00",
     "-P SU"},
    {"TwentyNinthOfFebruaryInTheYearBefore", "20250301", "20250302", 0, "02/29(木)", "-P"},
    {"TwentyNinthOfFebruaryInTheYearAfter", "20270220", "20270221", 0, "02/29(火)", "S"},
    {"WeekdayThatFitsNoYear", "20260601", "20261209", 0, "08/29(月), 08/29(土)", "SU -P"},
    {"FullWidthBrackets", "20261201", "20261209", 0, "12/07（月）", "-P"},
    {"UnreadableDates", "20261201", "20261209", 0, "13/07(月), 12/07(月)x, 12/07, ~",
     "SU SU SU SU"},
    {"NoCaptureTimeNeverPast", "", "20270301", 0, "12/07(月), 毎日@06:00-07:00", "SU S"},
    // An end at or before the start runs into the next day; touching is no overlap.
    {"MidnightIntoTheNextOneOff", "20261209", "20261209", 0,
     "12/20(日)@23:30-00:30, 12/21(月)@00:00-01:00, 12/21(月)@00:30-00:45", "S SC1 SC2"},
    {"MidnightTouching", "20261209", "20261209", 0, "12/20(日)@23:30-00:30, 12/21(月)@00:30-01:00",
     "S S"},
    {"DailyIntoSunday", "20261209", "20261209", 0, "毎日@23:00-01:00, 12/20(日)@00:30-00:45",
     "S SC1"},
    {"SaturdayNightIntoSunday", "20261209", "20261209", 0,
     "毎週土曜@23:00-01:00, 12/20(日)@00:30-00:45, 12/21(月)@00:30-00:45", "S SC1 S"},
    {"TuesdayNightIntoAWeekday", "20261209", "20261209", 0,
     "12/22(火)@23:00-01:00, 月～金@00:30-00:45", "S SC1"},
    // Every pattern kind against a one-off on Wednesday 23 December and on Sunday 27.
    {"EveryPatternAgainstAWednesday", "20261209", "20261209", 0,
     "12/23(水)@20:00-21:00, 毎日@20:00-20:10, 毎週水曜@20:10-20:20, 毎週木曜@20:20-20:30, "
     "月～金@20:30-20:40, 月～土@20:40-20:50, 12/23(水)@20:50-22:00",
     "S SC1 SC1 S SC1 SC1 SC1"},
    {"EveryPatternAgainstASunday", "20261209", "20261209", 0,
     "毎日@08:00-09:00, 12/27(日)@08:30-08:40, 月～金@10:00-11:00, 12/27(日)@10:30-10:40, "
     "月～土@12:00-13:00, 12/27(日)@12:30-12:40, 毎週日曜@14:00-15:00, 12/27(日)@14:30-14:40",
     "S SC1 S S S S S SC7"},
    {"PatternsSharingAWeekday", "20261209", "20261209", 0,
     "月～金@20:00-21:00, 毎週土曜@20:00-21:00, 月～土@20:30-21:30, 毎週日曜@20:00-21:00",
     "S S SC1 S"},
    // Only what is sent collides: not a past one-off, not an unticked one.
    {"PastCollidesWithNothing", "20261201", "20261209", 0, "12/07(月), 毎週月曜", "-P S"},
    {"UntickedCollidesWithNothing", "20261201", "20261209", 0, "毎日, 毎週月曜", "- S", "2"},
    {"IncompleteIsSentWithoutTimes", "20261209", "20261209", 0, "!毎日, !毎日@--:---21:00",
     "SI SI"},
    // The RD-X4EX holds K and takes 32: of the chosen ones the first 32 - K go in.
    {"HeldZeroPatternsNeverPast", "20200101", "20261209", 0, kFive, "S S S -P S"},
    {"HeldThirty", "20200101", "20261209", 30, kFive, "S S -N -PN -N"},
    {"HeldThirtyTwo", "20200101", "20261209", 32, kFive, "-N -N -N -PN -N"},
    {"HeldUnknown", "20200101", "20261209", -1, kFive, "S S S -P S"},
    {"HeldThirtyTicked", "20200101", "20261209", 30, kFive, "S - - -P S", "1,5"},
    {"HeldThirtyTickedPastIsSent", "20200101", "20261209", 30, kFive, "- - S SP -N", "3,4,5"},
    {"HeldThirtyNamed", "20200101", "20261209", 30, kFive, "S S SN SPN -N", "1,2,3,4", true},
    {"ForcedWithoutChoiceSendsAll", "20200101", "20261209", 0, kFive, "S S S SP S", nullptr, true},
};

class RestorePlanCases : public testing::TestWithParam<PlanCase> {};

TEST_P(RestorePlanCases, MarksEachRow) {
    const RestorePlan plan = PlanOf(GetParam());
    EXPECT_EQ(Codes(plan), GetParam().expected);
    std::vector<int> sent;
    for (const PlanRow& r : plan.Rows)
        if (r.Send) sent.push_back(r.Number - 1);
    EXPECT_EQ(plan.ToSend(), sent);
}

INSTANTIATE_TEST_SUITE_P(Plan, RestorePlanCases, testing::ValuesIn(kCases), kRowName);

// The texts the windows, the command line and the report show for one plan.
TEST(RestorePlanTexts, MarksSummaryReasonsAndLeftOutLines) {
    const RestorePlan plan = PlanOf(
        {"", "20261201", "20261209", 30, "毎日, 毎週月曜@20:30-21:30, 12/07(月), 月～金", ""});
    auto u = [](const std::string& sjis) { return Sys::SjisToUtf8(sjis); };
    std::vector<std::string> marks;
    for (const PlanRow& r : plan.Rows) marks.push_back(u(PlanMark(r)));
    EXPECT_EQ(marks, (std::vector<std::string>{"送信", "送信・重複(1)", "過去", "入らない"}));
    EXPECT_EQ(u(PlanNote(plan.Rows[1])), "重複(1)");
    EXPECT_EQ(u(PlanSummary(plan, true)),
              "送信予定 2件：日付が過ぎた予約 1件、重複 1件、入りきらない予約 1件"
              "（RD-X4EXの予約：既に30件）");
    EXPECT_EQ(u(PlanText(plan, true)),
              " 3  過去      12/07(月)  21:00-22:00    日付（2026/12/07）が過ぎています。\n"
              " 4  入らない  月～金     21:00-22:00    "
              "RD-X4EXに入りきりません（既に30件、最大32件）。\n");
    EXPECT_EQ(u(PlanReason(plan, plan.Rows[1])), "1番と録画時間が重なります。");
    EXPECT_EQ(
        u(LeftOutLines(plan)),
        "日付が過ぎたため送信しなかった予約：02\n\r入りきらないため送信しなかった予約：03\n\r");
    EXPECT_EQ(u(NoRoomLine(plan)), "入りきらないため送信しない予約：4\n\r");

    const RestorePlan older = PlanOf({"", "", "20261209", -1, "12/07(月)", ""});
    EXPECT_EQ(u(PlanMark(older.Rows[0])), "送信・日付不明");
    EXPECT_EQ(u(PlanSummary(older, true)), "送信予定 1件：日付不明 1件（RD-X4EXの予約数は未確認）");
    EXPECT_EQ(u(PlanReason(older, older.Rows[0])),
              "取込日時の記録がないため、日付が過ぎたか分かりません。");
    // Numbers named outright: nothing counts as left out by the plan.
    EXPECT_EQ(LeftOutLines(PlanOf({"", "20200101", "20261209", 0, kFive, "", "1", true})), "");
}

}  // namespace
