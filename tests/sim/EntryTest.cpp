// The RD-X4EX's entry: decoding of the posted form, its checks, and the answers it gives.
#include <gtest/gtest.h>

#include "EntryDecoder.h"
#include "RecorderSim.h"
#include "SimClient.h"
#include "SimTexts.h"

using recsim::FormFields;
using recsim::Reservation;
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

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeFormTest,
    ::testing::Values(DecodeCase{"Pairs", "a=1&b=2", {{"a", "1"}, {"b", "2"}}},
                      DecodeCase{"PlusIsBlank", "t=a+b", {{"t", "a b"}}},
                      DecodeCase{"PercentBytes", "t=%41%5c%2B%26%97%5C", {{"t", "A\\+&\x97\x5C"}}},
                      DecodeCase{"BadPercentKept", "t=%zz%4&u=%", {{"t", "%zz%4"}, {"u", "%"}}},
                      DecodeCase{"RawBytesKept", "t=\x97\x5C\x95\x5C", {{"t", "\x97\x5C\x95\x5C"}}},
                      DecodeCase{"RawCrLfInsideKept",
                                 "d=one\r\ntwo\r\n&e=0",
                                 {{"d", "one\r\ntwo\r\n"}, {"e", "0"}}},
                      DecodeCase{"TrailingCrLfDropped", "end_form=0\r\n", {{"end_form", "0"}}},
                      DecodeCase{"TrailingLfDropped", "end_form=0\n", {{"end_form", "0"}}},
                      DecodeCase{"OnlyOneTrailingBreakDropped", "d=x\r\n\r\n", {{"d", "x\r\n"}}},
                      DecodeCase{"EmptyValue", "bExec=&x=", {{"bExec", ""}, {"x", ""}}},
                      DecodeCase{"EqualsInValue", "t=a=b", {{"t", "a=b"}}},
                      DecodeCase{"NameWithoutEquals", "flag&x=1", {{"flag", ""}, {"x", "1"}}},
                      DecodeCase{"EmptyPairsSkipped", "&&x=1&", {{"x", "1"}}},
                      DecodeCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

Reservation Valid() {
    Reservation r;
    r.exec = true;
    r.title = Sjis("予報");
    r.genre = "3";
    r.channel = "101";
    r.date = "20261210";
    r.start_hour = "21";
    r.start_minute = "00";
    r.end_hour = "22";
    r.end_minute = "30";
    r.disc = "0";
    r.vrate = "4.6";
    r.amode = "1";
    r.dvdr = "0";
    r.aspect = "1";
    r.bVPerform = "1";
    r.bAutoChapter = "0";
    r.detail = "a\r\nb";
    return r;
}

FormFields FieldsOf(const Reservation& r) {
    return {{"bExec", r.exec ? "ON" : ""},
            {"title_name", r.title},
            {"genre", r.genre},
            {"channel", r.channel},
            {"date", r.date},
            {"start_hour", r.start_hour},
            {"start_minute", r.start_minute},
            {"end_hour", r.end_hour},
            {"end_minute", r.end_minute},
            {"disc", r.disc},
            {"vrate", r.vrate},
            {"amode", r.amode},
            {"dvdr", r.dvdr},
            {"aspect", r.aspect},
            {"bVPerform", r.bVPerform},
            {"bAutoChapter", r.bAutoChapter},
            {"detail", r.detail},
            {"lVoice", "1"},
            {"end_form", "0"}};
}

// The body as the program posts it: bytes >= 0x80, blank, * # % < > + as %XX, & as %26.
std::string Encode(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x80 || std::string(" *#%<>+&").find(char(c)) != std::string::npos) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string BodyOf(const Reservation& r) {
    std::string body;
    for (const auto& [name, value] : FieldsOf(r))
        body += (body.empty() ? "" : "&") + name + "=" + Encode(value);
    return body + "\r\n";
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

}  // namespace

TEST(CheckEntryTest, ValidFormGivesTheReservation) {
    const recsim::EntryCheck c = recsim::CheckEntry(FieldsOf(Valid()), "20261201");
    ASSERT_TRUE(c.ok) << c.reason;
    EXPECT_EQ(c.reservation, Valid());
}

TEST(CheckEntryTest, CheckBox) {
    const FormFields f = FieldsOf(Valid());
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

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckEntryRejectTest,
    ::testing::Values(
        RejectCase{"NoTitle", Without(FieldsOf(Valid()), "title_name"),
                   "項目 title_name がありません"},
        RejectCase{"TitleWithLineBreak", With(FieldsOf(Valid()), "title_name", "a\r\nb"),
                   "項目 title_name の値が正しくありません"},
        RejectCase{"GenreNotOffered", With(FieldsOf(Valid()), "genre", "99"),
                   "項目 genre の値が正しくありません"},
        RejectCase{"DateNotOffered", With(FieldsOf(Valid()), "date", "20270301"),
                   "項目 date の値が正しくありません"},
        RejectCase{"NoDate", Without(FieldsOf(Valid()), "date"), "項目 date がありません"},
        RejectCase{"Hour24", With(FieldsOf(Valid()), "start_hour", "24"),
                   "項目 start_hour の値が正しくありません"},
        RejectCase{"HourNotANumber", With(FieldsOf(Valid()), "end_hour", "1a"),
                   "項目 end_hour の値が正しくありません"},
        RejectCase{"HourEmpty", With(FieldsOf(Valid()), "end_hour", ""),
                   "項目 end_hour の値が正しくありません"},
        RejectCase{"Minute60", With(FieldsOf(Valid()), "start_minute", "60"),
                   "項目 start_minute の値が正しくありません"},
        RejectCase{"MinuteThreeDigits", With(FieldsOf(Valid()), "end_minute", "005"),
                   "項目 end_minute の値が正しくありません"},
        RejectCase{"NoEndMinute", Without(FieldsOf(Valid()), "end_minute"),
                   "項目 end_minute がありません"},
        RejectCase{"VrateNotOffered", With(FieldsOf(Valid()), "vrate", "9.9"),
                   "項目 vrate の値が正しくありません"},
        RejectCase{"NoAutoChapter", Without(FieldsOf(Valid()), "bAutoChapter"),
                   "項目 bAutoChapter がありません"},
        RejectCase{"NoDetail", Without(FieldsOf(Valid()), "detail"), "項目 detail がありません"},
        RejectCase{"CutShort", Without(FieldsOf(Valid()), "end_form"),
                   "項目 end_form がありません"},
        RejectCase{"SameStartAndEnd",
                   With(With(FieldsOf(Valid()), "end_hour", "21"), "end_minute", "0"),
                   "開始時刻と終了時刻が同じです"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OverlapTest, SameDateSharedMinutes) {
    Reservation a = Valid(), b = Valid();
    b.start_hour = "22";
    b.start_minute = "29";
    b.end_hour = "23";
    EXPECT_TRUE(recsim::Overlaps(a, b));
    b.start_minute = "30";  // starts when a ends
    EXPECT_FALSE(recsim::Overlaps(a, b));
    b = Valid();
    b.date = "20261211";
    EXPECT_FALSE(recsim::Overlaps(a, b));
    // Across midnight: 23:30 to 00:30 covers 23:45.
    a.start_hour = "23";
    a.start_minute = "30";
    a.end_hour = "0";
    a.end_minute = "30";
    b = Valid();
    b.start_hour = "23";
    b.start_minute = "45";
    b.end_hour = "23";
    b.end_minute = "50";
    EXPECT_TRUE(recsim::Overlaps(a, b));
}

class EntryServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recsim::Options o;
        o.mode = recsim::Mode::X4EX;
        sim = std::make_unique<recsim::RecorderSim>(o);
        sim->Start();
    }
    std::string Prefix() const { return "/program/" + sim->Segment() + "/"; }
    void Select(int slot) {
        simtest::Fetch(sim->Port(), Prefix() + "b_proginfo.htm?" + std::to_string(slot));
    }
    simtest::RawAnswer Post(const std::string& body) {
        return simtest::Exchange(sim->Port(), simtest::PostRequest(Prefix() + "entry.htm", body));
    }
    std::unique_ptr<recsim::RecorderSim> sim;
};

TEST_F(EntryServerTest, NewReservationStoredAndAnsweredAsDone) {
    Select(0);
    const simtest::RawAnswer a = Post(BodyOf(Valid()));
    EXPECT_EQ(a.Status(), 200);
    EXPECT_NE(a.Body().find("var msg=\"" + Sjis("正常に登録できました") + "\\r\\n\";"),
              std::string::npos);
    EXPECT_EQ(simtest::AnswerText(a.Body()), Sjis("正常に登録できました"));
    EXPECT_EQ(sim->Reservations(), std::vector<Reservation>{Valid()});
    EXPECT_EQ(sim->Selected(), -1);
    const auto log = sim->Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].method, "POST");
    EXPECT_EQ(log[1].body, BodyOf(Valid()));
}

TEST_F(EntryServerTest, EveryByteOfTheFreeTextsArrives) {
    Reservation r = Valid();
    r.title = Sjis("表ソ能予 A+B 100% <&> \"q\" \\ # *");
    r.detail = Sjis("一\r\n&amp; 二 + % =\r\n\t三\r\n");
    Select(0);
    EXPECT_EQ(simtest::AnswerText(Post(BodyOf(r)).Body()), Sjis("正常に登録できました"));
    ASSERT_EQ(sim->Reservations().size(), 1u);
    EXPECT_EQ(sim->Reservations()[0], r);
}

TEST_F(EntryServerTest, OverlapStoredAndAnsweredWithTheAlert) {
    sim->SetReservations({Valid()});
    Reservation r = Valid();
    r.start_hour = "22";
    r.end_hour = "23";
    Select(1);
    const std::string page = Post(BodyOf(r)).Body();
    EXPECT_EQ(page.find("msg=\""), std::string::npos);
    EXPECT_NE(page.find("alert(\"" + Sjis("予約時間が一部重複しています") + "\\r\\n"),
              std::string::npos);
    EXPECT_EQ(simtest::AnswerText(page).rfind(Sjis("予約時間が一部重複しています"), 0), 0u);
    EXPECT_EQ(sim->Reservations().size(), 2u);
}

TEST_F(EntryServerTest, FullAtThirtyTwoNothingStored) {
    const auto list = recsim::SampleReservations(32, 9);
    sim->SetReservations(list);
    Select(31);  // an existing one; then the new slot is refused
    const std::string listPage = simtest::Fetch(sim->Port(), Prefix() + "program.htm");
    EXPECT_EQ(listPage.find(Sjis("新規予約")), std::string::npos);
    EXPECT_EQ(simtest::Exchange(sim->Port(), simtest::GetRequest(Prefix() + "b_proginfo.htm?32"))
                  .Status(),
              404);
    sim->SetReservations(list);  // clears the selection
    Reservation r = Valid();
    r.date = "MS";
    const std::string page = Post(BodyOf(r)).Body();
    EXPECT_EQ(page.find("msg=\""), std::string::npos);
    EXPECT_EQ(simtest::AnswerText(page), Sjis("予約数が最大の32件に達しているため登録できません"));
    EXPECT_EQ(sim->Reservations(), list);
}

TEST_F(EntryServerTest, InvalidBodyNotStoredAndAnsweredWithTheReason) {
    Select(0);
    std::string body = BodyOf(Valid());
    body.replace(body.find("start_hour=21"), 13, "start_hour=25");
    const std::string page = Post(body).Body();
    EXPECT_EQ(simtest::AnswerText(page),
              Sjis("予約を登録できませんでした項目 start_hour の値が正しくありません"));
    // A body cut short on the way lacks its last fields.
    EXPECT_EQ(simtest::AnswerText(Post(BodyOf(Valid()).substr(0, 60)).Body())
                  .find(Sjis("予約を登録できませんでした")),
              0u);
    EXPECT_TRUE(sim->Reservations().empty());
}

TEST_F(EntryServerTest, SelectedExistingReservationIsModified) {
    sim->SetReservations({Valid()});
    Reservation r = Valid();
    r.title = "changed";
    Select(0);
    EXPECT_EQ(simtest::AnswerText(Post(BodyOf(r)).Body()), Sjis("修正しました"));
    EXPECT_EQ(sim->Reservations(), std::vector<Reservation>{r});
}

TEST_F(EntryServerTest, WrongMethodsAndLengths) {
    EXPECT_EQ(simtest::Exchange(sim->Port(), simtest::GetRequest(Prefix() + "entry.htm")).Status(),
              405);
    EXPECT_EQ(simtest::Exchange(
                  sim->Port(), "POST " + Prefix() + "entry.htm HTTP/1.0\r\nHost: x\r\n\r\nbExec=ON")
                  .Status(),
              411);
    EXPECT_EQ(simtest::Exchange(sim->Port(), simtest::PostRequest(Prefix() + "entry.htm", "x",
                                                                  "Content-Length: 99999999\r\n"))
                  .Status(),
              413);
    EXPECT_TRUE(sim->Reservations().empty());
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

TEST(EntryX4EXTest, FormPageOffersTheEntry) {
    recsim::Options o;
    o.mode = recsim::Mode::X4EX;
    recsim::RecorderSim sim{o};
    sim.Start();
    const std::string prefix = "/program/" + sim.Segment() + "/";
    simtest::Fetch(sim.Port(), prefix + "b_proginfo.htm?0");
    const std::string page = simtest::Fetch(sim.Port(), prefix + "proginfo.htm");
    EXPECT_NE(page.find("ACTION=\"entry.htm\""), std::string::npos);
    EXPECT_NE(page.find("NAME=\"end_form\""), std::string::npos);
}
