// The RD-X4EX's entry: decoding of the posted form, its checks, and the answers it gives.
#include <gtest/gtest.h>

#include "EntryDecoder.h"
#include "RecorderSim.h"
#include "SimClient.h"
#include "SimTexts.h"
#include "TestHelpers.h"

using recsim::FormFields;
using recsim::Reservation;
using simtest::BodyOf;
using simtest::FieldsOf;
using simtest::Sjis;

namespace {

struct DecodeCase {
    const char* name;
    std::string body;
    FormFields expected;
};

class DecodeFormTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFormTest, Decodes) {
    EXPECT_EQ(recsim::DecodeForm(GetParam().body), GetParam().expected);
}

const std::vector<DecodeCase> kDecodeCases = {
    {"Pairs", "a=1&b=2", {{"a", "1"}, {"b", "2"}}},
    {"PlusIsBlank", "t=a+b", {{"t", "a b"}}},
    {"PercentBytes", "t=%41%5c%2B%26%97%5C", {{"t", "A\\+&\x97\x5C"}}},
    {"BadPercentKept", "t=%zz%4&u=%", {{"t", "%zz%4"}, {"u", "%"}}},
    {"RawBytesKept", "t=\x97\x5C\x95\x5C", {{"t", "\x97\x5C\x95\x5C"}}},
    {"RawCrLfInsideKept", "d=one\r\ntwo\r\n&e=0", {{"d", "one\r\ntwo\r\n"}, {"e", "0"}}},
    {"TrailingCrLfDropped", "end_form=0\r\n", {{"end_form", "0"}}},
    {"TrailingLfDropped", "end_form=0\n", {{"end_form", "0"}}},
    {"OnlyOneTrailingBreakDropped", "d=x\r\n\r\n", {{"d", "x\r\n"}}},
    {"EmptyValue", "bExec=&x=", {{"bExec", ""}, {"x", ""}}},
    {"EqualsInValue", "t=a=b", {{"t", "a=b"}}},
    {"NameWithoutEquals", "flag&x=1", {{"flag", ""}, {"x", "1"}}},
    {"EmptyPairsSkipped", "&&x=1&", {{"x", "1"}}},
    {"Empty", "", {}}};
INSTANTIATE_TEST_SUITE_P(Cases, DecodeFormTest, ::testing::ValuesIn(kDecodeCases), kRowName);

Reservation Valid() {
    return {true, Sjis("予報"), "3", "101", "20261210", "21", "00", "22",    "30",
            "0",  "4.6",        "1", "0",   "1",        "1",  "0",  "a\r\nb"};
}

FormFields With(FormFields f, const std::string& name, const std::string& value) {
    for (auto& [n, v] : f)
        if (n == name) v = value;
    return f;
}

FormFields Without(FormFields f, const std::string& name) {
    std::erase_if(f, [&](const auto& p) { return p.first == name; });
    return f;
}

Reservation With(Reservation r, std::string Reservation::*field, const std::string& value) {
    r.*field = value;
    return r;
}

Reservation Times(const char* startHour, const char* startMinute, const char* endHour,
                  const char* endMinute) {
    Reservation r = Valid();
    r.start_hour = startHour;
    r.start_minute = startMinute;
    r.end_hour = endHour;
    r.end_minute = endMinute;
    return r;
}

FormFields Bad(const std::string& name, const std::string& value) {
    return With(FieldsOf(Valid()), name, value);
}

FormFields Missing(const std::string& name) {
    return Without(FieldsOf(Valid()), name);
}

}  // namespace

TEST(CheckEntryTest, ValidFormGivesTheReservationAndTheCheckBoxIsReadAsOnOrOff) {
    const FormFields f = FieldsOf(Valid());
    const recsim::EntryCheck c = recsim::CheckEntry(f, "20261201");
    ASSERT_TRUE(c.ok) << c.reason;
    EXPECT_EQ(c.reservation, Valid());
    EXPECT_FALSE(recsim::CheckEntry(With(f, "bExec", ""), "20261201").reservation.exec);
    EXPECT_TRUE(recsim::CheckEntry(With(f, "bExec", ""), "20261201").ok);
    const auto absent = recsim::CheckEntry(Without(f, "bExec"), "20261201");
    EXPECT_TRUE(absent.ok);
    EXPECT_FALSE(absent.reservation.exec);
    EXPECT_TRUE(recsim::CheckEntry(With(f, "bExec", "on"), "20261201").reservation.exec);
    EXPECT_FALSE(recsim::CheckEntry(With(f, "bExec", "yes"), "20261201").ok);
}

struct RejectCase {
    const char* name;
    FormFields fields;
    std::string reason;  // UTF-8
};

class CheckEntryRejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(CheckEntryRejectTest, RejectsWithTheReason) {
    const recsim::EntryCheck c = recsim::CheckEntry(GetParam().fields, "20261201");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.reason, Sjis(GetParam().reason));
    EXPECT_EQ(c.reason.find('"'), std::string::npos);
}

const std::vector<RejectCase> kRejectCases = {
    {"NoTitle", Missing("title_name"), "項目 title_name がありません"},
    {"TitleWithLineBreak", Bad("title_name", "a\r\nb"), "項目 title_name の値が正しくありません"},
    {"GenreNotOffered", Bad("genre", "99"), "項目 genre の値が正しくありません"},
    {"DateNotOffered", Bad("date", "20270301"), "項目 date の値が正しくありません"},
    {"NoDate", Missing("date"), "項目 date がありません"},
    {"Hour24", Bad("start_hour", "24"), "項目 start_hour の値が正しくありません"},
    {"HourNotANumber", Bad("end_hour", "1a"), "項目 end_hour の値が正しくありません"},
    {"HourEmpty", Bad("end_hour", ""), "項目 end_hour の値が正しくありません"},
    {"Minute60", Bad("start_minute", "60"), "項目 start_minute の値が正しくありません"},
    {"MinuteThreeDigits", Bad("end_minute", "005"), "項目 end_minute の値が正しくありません"},
    {"NoEndMinute", Missing("end_minute"), "項目 end_minute がありません"},
    {"VrateNotOffered", Bad("vrate", "9.9"), "項目 vrate の値が正しくありません"},
    {"NoAutoChapter", Missing("bAutoChapter"), "項目 bAutoChapter がありません"},
    {"NoDetail", Missing("detail"), "項目 detail がありません"},
    {"CutShort", Missing("end_form"), "項目 end_form がありません"},
    {"SameStartAndEnd", With(Bad("end_hour", "21"), "end_minute", "0"),
     "開始時刻と終了時刻が同じです"}};
INSTANTIATE_TEST_SUITE_P(Cases, CheckEntryRejectTest, ::testing::ValuesIn(kRejectCases), kRowName);

TEST(OverlapTest, SameDateSharedMinutes) {
    const struct {
        Reservation a, b;
        bool overlaps;
    } cases[] = {{Valid(), Times("22", "29", "23", "30"), true},
                 {Valid(), Times("22", "30", "23", "30"), false},  // starts when a ends
                 {Valid(), With(Valid(), &Reservation::date, "20261211"), false},
                 // Across midnight: 23:30 to 00:30 covers 23:45.
                 {Times("23", "30", "0", "30"), Times("23", "45", "23", "50"), true}};
    for (const auto& c : cases)
        EXPECT_EQ(recsim::Overlaps(c.a, c.b), c.overlaps) << c.b.start_minute;
}

class EntryServerTest : public ::testing::Test {
  protected:
    void SetUp() override { sim.Start(); }
    std::string Prefix() const { return "/program/" + sim.Segment() + "/"; }
    void Select(int slot) {
        simtest::Fetch(sim.Port(), Prefix() + "b_proginfo.htm?" + std::to_string(slot));
    }
    simtest::RawAnswer Post(const std::string& body) {
        return simtest::Exchange(sim.Port(), simtest::PostRequest(Prefix() + "entry.htm", body));
    }
    recsim::RecorderSim sim{simtest::X4EX()};
};

// What the recorder holds before, the slot selected (-1: none), the body posted; the answer
// the program reads from the page, and what the recorder holds afterwards.
struct EntryCase {
    const char* name;
    std::vector<Reservation> before;
    int select;
    std::string body;
    std::string answer;  // Shift-JIS
    bool answerIsPrefix;
    std::string alert;  // an alert's first line; empty when the answer is a message
    std::vector<Reservation> after;
};

Reservation Tricky() {
    Reservation r = Valid();
    r.title = Sjis("表ソ能予 A+B 100% <&> \"q\" \\ # *");
    r.detail = Sjis("一\r\n&amp; 二 + % =\r\n\t三\r\n");
    return r;
}

// From 22:00 to 23:30: the last half hour of Valid().
Reservation Later() {
    return Times("22", "00", "23", "30");
}

template <class... R>
std::vector<Reservation> List(R... r) {
    return {r...};
}

std::string InvalidStartHour() {
    std::string body = BodyOf(Valid());
    return body.replace(body.find("start_hour=21"), 13, "start_hour=25");
}

const std::string kDone = Sjis("正常に登録できました");
const std::string kRefused = Sjis("予約を登録できませんでした");
const std::string kFull = Sjis("予約数が最大の32件に達しているため登録できません");

const std::vector<EntryCase> kEntryCases = {
    {"NewReservationStored", List(), 0, BodyOf(Valid()), kDone, false, "", List(Valid())},
    {"EveryByteOfTheFreeTextsArrives", List(), 0, BodyOf(Tricky()), kDone, false, "",
     List(Tricky())},
    // The clash names the number and times of the reservation it meets.
    {"OverlapStoredAndAnsweredWithTheAlert", List(Valid()), 1, BodyOf(Later()),
     Sjis("予約時間が一部重複しています") + recsim::texts::kEntryOverlapWith + "01 21:00-22:30",
     false, Sjis("予約時間が一部重複しています"), List(Valid(), Later())},
    {"FullAtThirtyTwoNothingStored", recsim::SampleReservations(32, 9), -1,
     BodyOf(With(Valid(), &Reservation::date, "MS")), kFull, false, kFull,
     recsim::SampleReservations(32, 9)},
    {"InvalidBodyAnsweredWithTheReason", List(), 0, InvalidStartHour(),
     kRefused + Sjis("項目 start_hour の値が正しくありません"), false, kRefused, List()},
    // A body cut short on the way lacks its last fields.
    {"BodyCutShortRefused", List(), -1, BodyOf(Valid()).substr(0, 60), kRefused, true, kRefused,
     List()},
    {"SelectedExistingReservationIsModified", List(Valid()), 0,
     BodyOf(With(Valid(), &Reservation::title, "changed")), Sjis("修正しました"), false, "",
     List(With(Valid(), &Reservation::title, "changed"))}};

class EntryAnswerTest : public EntryServerTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryAnswerTest, AnswersAndStores) {
    const EntryCase& c = GetParam();
    sim.SetReservations(c.before);
    if (c.select >= 0) Select(c.select);
    const simtest::RawAnswer a = Post(c.body);
    EXPECT_EQ(a.Status(), 200);
    const std::string text = simtest::AnswerText(a.Body());
    EXPECT_EQ(c.answerIsPrefix ? text.substr(0, c.answer.size()) : text, c.answer);
    if (c.alert.empty()) {
        EXPECT_NE(a.Body().find("var msg=\"" + c.answer + "\\r\\n\";"), std::string::npos);
    } else {
        EXPECT_EQ(a.Body().find("msg=\""), std::string::npos);
        // The alert's first line, then what follows it up to the closing quote and parenthesis.
        const std::string rest = c.answerIsPrefix ? "" : c.answer.substr(c.alert.size()) + "\")";
        EXPECT_NE(a.Body().find("alert(\"" + c.alert + "\\r\\n" + rest), std::string::npos);
    }
    EXPECT_EQ(sim.Reservations(), c.after);
    EXPECT_EQ(sim.Selected(), -1);
    const auto log = sim.Requests();
    ASSERT_EQ(log.size(), c.select >= 0 ? 2u : 1u);
    EXPECT_EQ(log.back().method, "POST");
    EXPECT_EQ(log.back().body, c.body);
}

INSTANTIATE_TEST_SUITE_P(Cases, EntryAnswerTest, ::testing::ValuesIn(kEntryCases), kRowName);

TEST_F(EntryServerTest, FormPageOffersTheEntryAndWrongMethodsAndLengthsAreRefused) {
    Select(0);
    const std::string page = simtest::Fetch(sim.Port(), Prefix() + "proginfo.htm");
    EXPECT_NE(page.find("ACTION=\"entry.htm\""), std::string::npos);
    EXPECT_NE(page.find("NAME=\"end_form\""), std::string::npos);
    const std::string entry = Prefix() + "entry.htm";
    EXPECT_EQ(simtest::GetStatus(sim.Port(), entry), 405);
    EXPECT_EQ(
        simtest::Exchange(sim.Port(), "POST " + entry + " HTTP/1.0\r\nHost: x\r\n\r\nbExec=ON")
            .Status(),
        411);
    EXPECT_EQ(simtest::Exchange(sim.Port(),
                                simtest::PostRequest(entry, "x", "Content-Length: 99999999\r\n"))
                  .Status(),
              413);
    EXPECT_TRUE(sim.Reservations().empty());
}

TEST(EntryX4Test, TheOldFirmwareHasNoEntryAddress) {
    recsim::RecorderSim sim{recsim::Options{}};
    sim.Start();
    const auto a = simtest::Exchange(
        sim.Port(),
        simtest::PostRequest("/program/" + sim.Segment() + "/entry.htm", BodyOf(Valid())));
    EXPECT_EQ(a.Status(), 404);
    EXPECT_TRUE(sim.Reservations().empty());
}
