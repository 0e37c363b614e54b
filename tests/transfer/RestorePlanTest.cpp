// The restore's plan as a table: saved rows, the capture day, today and the RD-X4EX's count in;
// one mark per row out.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "RestorePlan.h"
#include "SavedSet.h"
#include "SysFile.h"
#include "SysText.h"
#include "TestHelpers.h"
#include "Texts.h"

namespace {

using std::chrono::sys_days;

sys_days Day(const char* yyyymmdd) {
    const std::string s = yyyymmdd;
    return sys_days{std::chrono::year{std::stoi(s.substr(0, 4))} /
                    static_cast<unsigned>(std::stoi(s.substr(4, 2))) /
                    static_cast<unsigned>(std::stoi(s.substr(6, 2)))};
}

struct Row {
    const char* date;  // UTF-8, as the page's date list shows it
    const char* start = "21:00";
    const char* end = "22:00";
    bool complete = true;
};

struct PlanCase {
    const char* name;
    const char* capture;  // "" for a set captured before the program kept the time
    const char* today;
    int held;
    std::vector<Row> rows;
    // One code per row: S sent or - not, then P past, N no room, C<n> collides with n,
    // I incomplete, U past or not unknown.
    const char* expected;
    std::optional<std::set<int>> chosen = std::nullopt;  // numbers as the table counts
    bool forced = false;
};

std::vector<ReservationRow> Rows(const std::vector<Row>& rows) {
    std::vector<ReservationRow> table;
    for (const Row& row : rows) {
        ReservationRow r;
        r.Number = static_cast<int>(table.size()) + 1;
        r.Date = Sys::Utf8ToSjis(row.date);
        r.Start = row.start;
        r.End = row.end;
        r.Complete = row.complete;
        table.push_back(r);
    }
    return table;
}

RestorePlan PlanOf(const PlanCase& c) {
    PlanFacts facts;
    if (*c.capture) facts.CaptureDay = Day(c.capture);
    facts.Today = Day(c.today);
    facts.Held = c.held;
    PlanChoice choice;
    if (c.chosen) {
        choice.Selection.emplace();
        for (int n : *c.chosen) choice.Selection->insert(n - 1);
    }
    choice.Forced = c.forced;
    return MakeRestorePlan(Rows(c.rows), facts, choice);
}

std::string Codes(const RestorePlan& plan) {
    std::string codes;
    for (const PlanRow& r : plan.Rows) {
        if (!codes.empty()) codes += ' ';
        codes += r.Send ? "S" : "-";
        if (r.Past) codes += "P";
        if (r.WillNotFit) codes += "N";
        if (r.CollidesWith) codes += "C" + std::to_string(r.CollidesWith);
        if (r.Incomplete) codes += "I";
        if (r.DateUnknown) codes += "U";
    }
    return codes;
}

const std::vector<Row> kFive = {{"毎日", "01:00", "02:00"},
                                {"毎週月曜", "03:00", "04:00"},
                                {"月～金", "05:00", "06:00"},
                                {"12/30(水)", "07:00", "08:00"},
                                {"月～土", "09:00", "10:00"}};

const PlanCase kCases[] = {
    // The year is the one near the capture in which month/day falls on the page's weekday.
    {"TurnOfTheYearForward",
     "20261228",
     "20261230",
     0,
     {{"12/29(火)"}, {"01/02(土)"}, {"12/31(木)"}, {"1/2(土)", "06:00", "07:00"}},
     "-P S S S"},
    {"TurnOfTheYearBack",
     "20270103",
     "20270103",
     0,
     {{"12/30(水)"}, {"01/02(土)"}, {"01/03(日)"}},
     "-P -P S"},
    {"TwentyNinthOfFebruary", "20280220", "20280305", 0, {{"02/29(火)"}, {"02/29(木)"}}, "-P SU"},
    {"TwentyNinthOfFebruaryInTheYearBefore", "20250301", "20250302", 0, {{"02/29(木)"}}, "-P"},
    {"TwentyNinthOfFebruaryInTheYearAfter", "20270220", "20270221", 0, {{"02/29(火)"}}, "S"},
    {"WeekdayThatFitsNoYearIsUnknown",
     "20260601",
     "20261209",
     0,
     {{"08/29(月)"}, {"08/29(土)"}},
     "SU -P"},
    {"FullWidthBrackets", "20261201", "20261209", 0, {{"12/07（月）"}}, "-P"},
    {"UnreadableDateIsUnknown",
     "20261201",
     "20261209",
     0,
     {{"13/07(月)"}, {"12/07(月)x"}, {"12/07"}, {""}},
     "SU SU SU SU"},
    {"NoCaptureTimeNeverPast",
     "",
     "20270301",
     0,
     {{"12/07(月)"}, {"毎日", "06:00", "07:00"}},
     "SU S"},
    {"PatternsAreNeverPast", "20200101", "20261209", 0, kFive, "S S S -P S"},
    // Midnight crossings: an end at or before the start runs into the next day.
    {"MidnightIntoTheNextOneOff",
     "20261209",
     "20261209",
     0,
     {{"12/20(日)", "23:30", "00:30"},
      {"12/21(月)", "00:00", "01:00"},
      {"12/21(月)", "00:30", "00:45"}},
     "S SC1 SC2"},
    {"MidnightTouchingIsNoOverlap",
     "20261209",
     "20261209",
     0,
     {{"12/20(日)", "23:30", "00:30"}, {"12/21(月)", "00:30", "01:00"}},
     "S S"},
    {"DailyIntoSundayMorning",
     "20261209",
     "20261209",
     0,
     {{"毎日", "23:00", "01:00"}, {"12/20(日)", "00:30", "00:45"}},
     "S SC1"},
    {"SaturdayNightIntoSunday",
     "20261209",
     "20261209",
     0,
     {{"毎週土曜", "23:00", "01:00"},
      {"12/20(日)", "00:30", "00:45"},
      {"12/21(月)", "00:30", "00:45"}},
     "S SC1 S"},
    {"OneOffIntoTheNextWeekday",
     "20261209",
     "20261209",
     0,
     {{"12/22(火)", "23:00", "01:00"}, {"月～金", "00:30", "00:45"}},
     "S SC1"},
    // Every pattern kind against a one-off on Wednesday 23 December and on Sunday 27.
    {"EveryPatternAgainstAWednesday",
     "20261209",
     "20261209",
     0,
     {{"12/23(水)", "20:00", "21:00"},
      {"毎日", "20:00", "20:10"},
      {"毎週水曜", "20:10", "20:20"},
      {"毎週木曜", "20:20", "20:30"},
      {"月～金", "20:30", "20:40"},
      {"月～土", "20:40", "20:50"},
      {"12/23(水)", "20:50", "22:00"}},
     "S SC1 SC1 S SC1 SC1 SC1"},
    {"EveryPatternAgainstASunday",
     "20261209",
     "20261209",
     0,
     {{"毎日", "08:00", "09:00"},
      {"12/27(日)", "08:30", "08:40"},
      {"月～金", "10:00", "11:00"},
      {"12/27(日)", "10:30", "10:40"},
      {"月～土", "12:00", "13:00"},
      {"12/27(日)", "12:30", "12:40"},
      {"毎週日曜", "14:00", "15:00"},
      {"12/27(日)", "14:30", "14:40"}},
     "S SC1 S S S S S SC7"},
    {"PatternsSharingAWeekday",
     "20261209",
     "20261209",
     0,
     {{"月～金", "20:00", "21:00"},
      {"毎週土曜", "20:00", "21:00"},
      {"月～土", "20:30", "21:30"},
      {"毎週日曜", "20:00", "21:00"}},
     "S S SC1 S"},
    // Only reservations that are sent collide: a past one is not.
    {"PastOneOffCollidesWithNothing",
     "20261201",
     "20261209",
     0,
     {{"12/07(月)", "20:00", "21:00"}, {"毎週月曜", "20:00", "21:00"}},
     "-P S"},
    {"UntickedCollidesWithNothing",
     "20261201",
     "20261209",
     0,
     {{"毎日", "20:00", "21:00"}, {"毎週月曜", "20:00", "21:00"}},
     "- S",
     std::set<int>{2}},
    {"IncompleteIsSentAndHasNoTimes",
     "20261209",
     "20261209",
     0,
     {{"毎日", "20:00", "21:00", false}, {"毎日", "--:--", "21:00", false}},
     "SI SI"},
    // The RD-X4EX holds K and takes 32: of the chosen ones the first 32 - K go in.
    {"HeldZero", "20200101", "20261209", 0, kFive, "S S S -P S"},
    {"HeldThirty", "20200101", "20261209", 30, kFive, "S S -N -PN -N"},
    {"HeldThirtyTwo", "20200101", "20261209", 32, kFive, "-N -N -N -PN -N"},
    {"HeldMoreThanThirtyTwo", "20200101", "20261209", 40, kFive, "-N -N -N -PN -N"},
    {"HeldUnknown", "20200101", "20261209", -1, kFive, "S S S -P S"},
    {"HeldThirtyTicked", "20200101", "20261209", 30, kFive, "S - - -P S", std::set<int>{1, 5}},
    {"HeldThirtyTickedPastIsSent", "20200101", "20261209", 30, kFive, "- - S SP -N",
     std::set<int>{3, 4, 5}},
    {"HeldThirtyNamed", "20200101", "20261209", 30, kFive, "S S SN SPN -N",
     std::set<int>{1, 2, 3, 4}, true},
    {"ForcedWithoutChoiceSendsAll", "20200101", "20261209", 0, kFive, "S S S SP S", std::nullopt,
     true},
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class RestorePlanCases : public testing::TestWithParam<PlanCase> {};

TEST_P(RestorePlanCases, MarksEachRow) {
    const PlanCase& c = GetParam();
    const RestorePlan plan = PlanOf(c);
    EXPECT_EQ(Codes(plan), c.expected);
    std::vector<int> sent;
    for (const PlanRow& r : plan.Rows)
        if (r.Send) sent.push_back(r.Number - 1);
    EXPECT_EQ(plan.ToSend(), sent);
}

INSTANTIATE_TEST_SUITE_P(Plan, RestorePlanCases, testing::ValuesIn(kCases), kRowName);

std::string U(const std::string& sjis) {
    return Sys::SjisToUtf8(sjis);
}

// The texts the windows, the command line and the report show for one plan.
TEST(RestorePlanTexts, MarksSummaryReasonsAndLeftOutLines) {
    const PlanCase heldThirty = {
        "",
        "20261201",
        "20261209",
        30,
        {{"毎日", "20:00", "21:00"}, {"毎週月曜", "20:30", "21:00"}, {"12/07(月)"}, {"月～金"}},
        ""};
    const RestorePlan plan = PlanOf(heldThirty);
    std::vector<std::string> marks;
    for (const PlanRow& r : plan.Rows) marks.push_back(U(PlanMark(r)));
    EXPECT_EQ(marks, (std::vector<std::string>{"送信", "送信・重複(1)", "過去", "入らない"}));
    EXPECT_EQ(U(PlanReason(plan, plan.Rows[1])), "1番と録画時間が重なります。");
    EXPECT_EQ(U(PlanReason(plan, plan.Rows[2])), "日付（2026/12/07）が過ぎています。");
    EXPECT_EQ(U(PlanReason(plan, plan.Rows[3])), "RD-X4EXに入りきりません（既に30件、最大32件）。");
    EXPECT_EQ(U(PlanSummary(plan, true)),
              "送信予定 2件：日付が過ぎた予約 1件、重複 1件、入りきらない予約 1件"
              "（RD-X4EXの予約：既に30件）");
    EXPECT_EQ(
        U(LeftOutLines(plan)),
        "日付が過ぎたため送信しなかった予約：02\n\r入りきらないため送信しなかった予約：03\n\r");
    EXPECT_EQ(U(NoRoomLine(plan)), "入りきらないため送信しない予約：4\n\r");
    EXPECT_EQ(U(PlanText(plan, true)),
              " 3  過去      12/07(月)  21:00-22:00    日付（2026/12/07）が過ぎています。\n"
              " 4  入らない  月～金     21:00-22:00    "
              "RD-X4EXに入りきりません（既に30件、最大32件）。\n");

    const PlanCase unknown = {"", "", "20261209", -1, {{"12/07(月)"}}, ""};
    const RestorePlan older = PlanOf(unknown);
    EXPECT_EQ(U(PlanMark(older.Rows[0])), "送信・日付不明");
    EXPECT_EQ(U(PlanSummary(older, true)), "送信予定 1件：日付不明 1件（RD-X4EXの予約数は未確認）");
    EXPECT_EQ(U(PlanReason(older, older.Rows[0])),
              "取込日時の記録がないため、日付が過ぎたか分かりません。");
    // A forced choice names nothing as left out: the user named what goes.
    const PlanCase named = {"", "20200101",       "20261209", 0, {{"12/07(月)"}, {"毎日"}},
                            "", std::set<int>{2}, true};
    EXPECT_EQ(LeftOutLines(PlanOf(named)), "");
}

// The capture's time moves with the set into the backup and back; a set without it has no
// capture day.
TEST(RestorePlanCaptureDay, TravelsWithTheSet) {
    const std::string dir = Sys::MakeTempFolder("zavo-plan-");
    ASSERT_FALSE(dir.empty());
    auto write = [](const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(Sys::ReplaceFile(path, bytes)) << path;
    };
    write(dir + "ZAVOCV00.HTM", "older set\r\n");
    EXPECT_EQ(SavedSet::CaptureDay(dir), std::nullopt);
    write(dir + Texts::kCaptureTimeFile, "2026/13/01 10:00:00\r\n");
    EXPECT_EQ(SavedSet::CaptureDay(dir), std::nullopt) << "no real date";
    // A newer capture replaces the older set, which moves into the backup.
    Sys::RemoveFile(dir + Texts::kCaptureTimeFile);
    {
        SavedSetStaging staging(dir);
        staging.Save("ZAVOCV00.HTM", "newer set\r\n");
        staging.Save(Texts::kCaptureTimeFile, SavedSet::CaptureTimeText("2026/12/09 21:30:05"));
        staging.Commit();
    }
    EXPECT_EQ(SavedSet::CaptureDay(dir), Day("20261209"));
    EXPECT_EQ(SavedSet::CaptureDay(SavedSet::BackupDir(dir)), std::nullopt);
    ASSERT_TRUE(SavedSet::RestoreBackup(dir));
    EXPECT_EQ(SavedSet::CaptureDay(dir), std::nullopt);
    EXPECT_EQ(SavedSet::CaptureDay(SavedSet::BackupDir(dir)), Day("20261209"));
    ASSERT_TRUE(SavedSet::RestoreBackup(dir));
    EXPECT_EQ(SavedSet::CaptureDay(dir), Day("20261209"));
    Sys::RemoveTree(dir);
}

}  // namespace
