// The pages' shapes: the markers the program scans for, where they stand and what they carry.
#include <gtest/gtest.h>

#include <set>

#include "RecorderPages.h"
#include "RecorderSim.h"
#include "SimClient.h"
#include "SimTexts.h"

using recsim::Reservation;
using simtest::Fetch;
using simtest::Sjis;

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// The program's segment search: the text between the "/" nearest before the first
// "/program.htm" and that marker.
std::string SegmentOf(const std::string& page) {
    const size_t p = page.find("/program.htm");
    if (p == std::string::npos) return "";
    const size_t slash = page.rfind('/', p == 0 ? 0 : p - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    return page.substr(start, p - start);
}

// The numbers after every "b_proginfo.htm?" up to the closing double quote.
std::vector<std::string> LinkNumbers(const std::string& page) {
    std::vector<std::string> numbers;
    const std::string mark = "b_proginfo.htm?";
    for (size_t p = page.find(mark); p != std::string::npos; p = page.find(mark, p + 1)) {
        const size_t start = p + mark.size();
        numbers.push_back(page.substr(start, page.find('"', start) - start));
    }
    return numbers;
}

Reservation Sample() {
    const std::string title = Sjis("予報 A&B <表> \"ソ\" 能");
    const std::string detail = Sjis("一行目 &amp; <b>\r\n二行目 \"予\"\r\n");
    return {true, title,  "10", "L2", "20261224", "23", "30", "00",  "45",
            "2",  "AUTO", "3",  "1",  "2",        "1",  "0",  detail};
}

class PagesTest : public ::testing::Test {
  protected:
    void SetUp() override { sim.Start(); }
    std::string Prefix() const { return "/program/" + sim.Segment() + "/"; }
    recsim::RecorderSim sim{recsim::Options{}};
};

}  // namespace

TEST(TextsTest, PinnedShiftJisBytes) {
    EXPECT_EQ(std::string(recsim::texts::kNewReservation), "\x90\x56\x8B\x4B\x97\x5C\x96\xF1");
    EXPECT_EQ(std::string(recsim::texts::kNewReservation), Sjis("新規予約"));
    EXPECT_EQ(std::string(recsim::texts::kEntryDone), Sjis("正常に登録できました"));
    EXPECT_EQ(std::string(recsim::texts::kEntryOverlap), Sjis("予約時間が一部重複しています"));
    EXPECT_EQ(std::string(recsim::texts::kEntryModified), Sjis("修正しました"));
}

TEST_F(PagesTest, ListFramePage_NamesTheSegmentOfThisRun) {
    const std::string page = Fetch(sim.Port(), "/program/b_prgrm.htm");
    EXPECT_EQ(SegmentOf(page), sim.Segment());
    EXPECT_EQ(sim.Segment().size(), 6u);
    EXPECT_EQ(sim.Segment().find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"),
              std::string::npos);
    EXPECT_NE(page.find("<FRAME SRC=\"/program/" + sim.Segment() + "/program.htm\""),
              std::string::npos);
}

TEST(SegmentTest, RandomAtEachStartAndSeedable) {
    const auto segmentOf = [](const recsim::Options& o) {
        recsim::RecorderSim sim{o};
        sim.Start();
        return sim.Segment();
    };
    std::set<std::string> seen;
    for (int i = 0; i < 4; ++i) seen.insert(segmentOf({}));
    EXPECT_GE(seen.size(), 3u);  // six random characters: a repeat is all but impossible
    recsim::Options seeded;
    seeded.seed = 42;
    EXPECT_EQ(segmentOf(seeded), segmentOf(seeded));
    recsim::Options fixed;
    fixed.segment = "A1B2";
    EXPECT_EQ(segmentOf(fixed), "A1B2");
}

TEST_F(PagesTest, ReservationList_LinksThenNewReservationWhileNotFull) {
    for (int n : {0, 1, 3, 10, 31, 32}) {
        SCOPED_TRACE("reservations: " + std::to_string(n));
        sim.SetReservations(recsim::SampleReservations(n, 7));
        // A selection leaves the list as it is.
        if (n > 0) Fetch(sim.Port(), Prefix() + "b_proginfo.htm?" + std::to_string(n - 1));
        const std::string page = Fetch(sim.Port(), Prefix() + "program.htm");
        std::vector<std::string> expected;
        for (int i = 0; i < n; ++i) expected.push_back(std::to_string(i));
        if (n < 32) expected.push_back(std::to_string(n));
        EXPECT_EQ(LinkNumbers(page), expected);
        EXPECT_EQ(CountOf(page, recsim::texts::kNewReservation), n < 32 ? 1u : 0u);
        if (n < 32) {
            EXPECT_NE(page.find("<A HREF=\"b_proginfo.htm?" + std::to_string(n) +
                                "\" TARGET=\"info\">" + Sjis("新規予約") + "</A>"),
                      std::string::npos);
        }
        EXPECT_EQ(CountOf(page, "\r\n"), CountOf(page, "\n"));  // CR LF line ends only
        // Full at 32: the slot after the last is no new one.
        EXPECT_EQ(simtest::GetStatus(sim.Port(), Prefix() + "b_proginfo.htm?" + std::to_string(n)),
                  n < 32 ? 200 : 404);
    }
}

TEST_F(PagesTest, ReservationList_AnswersUnderAnySegment) {
    sim.SetReservations(recsim::SampleReservations(2, 1));
    for (const std::string target : {"/program//program.htm", "/program/OTHER/program.htm"})
        EXPECT_EQ(LinkNumbers(Fetch(sim.Port(), target)),
                  (std::vector<std::string>{"0", "1", "2"}));
    for (const std::string file : {"b_proginfo.htm?0", "proginfo.htm", "blank.htm"})
        for (const std::string segment : {"/program/OTHER/", "/program//"})
            EXPECT_EQ(simtest::GetStatus(sim.Port(), segment + file), 404) << segment << file;
}

TEST_F(PagesTest, ReservationList_UserTextNeverPosesAsAMarker) {
    std::vector<Reservation> list = recsim::SampleReservations(32, 3);
    list[4].title = "b_proginfo.htm?9\" x";
    list[5].title = Sjis("新規予約の番組");
    sim.SetReservations(list);
    const std::string page = Fetch(sim.Port(), Prefix() + "program.htm");
    EXPECT_EQ(LinkNumbers(page).size(), 32u);
    EXPECT_EQ(LinkNumbers(page).back(), "31");
    EXPECT_EQ(CountOf(page, Sjis("新規予約")), 0u);
}

TEST_F(PagesTest, Selector_ChoosesTheReservationOnTheServer) {
    std::vector<Reservation> list = recsim::SampleReservations(3, 2);
    sim.SetReservations(list);
    EXPECT_EQ(sim.Selected(), -1);
    for (int i : {2, 0, 1}) {
        const std::string frame =
            Fetch(sim.Port(), Prefix() + "b_proginfo.htm?" + std::to_string(i));
        EXPECT_NE(frame.find("proginfo.htm"), std::string::npos);
        EXPECT_EQ(sim.Selected(), i);
        const std::string page = Fetch(sim.Port(), Prefix() + "proginfo.htm");
        EXPECT_NE(page.find("value=\\\"" + recsim::HtmlEscape(list[size_t(i)].title) + "\\\">\")"),
                  std::string::npos);
    }
    // One past the last: a new reservation's empty form.
    Fetch(sim.Port(), Prefix() + "b_proginfo.htm?3");
    EXPECT_EQ(sim.Selected(), 3);
    EXPECT_NE(Fetch(sim.Port(), Prefix() + "proginfo.htm").find("value=\\\"\\\">\")"),
              std::string::npos);
    for (const std::string q : {"4", "", "x", "-1", "100", "1a"})
        EXPECT_EQ(simtest::GetStatus(sim.Port(), Prefix() + "b_proginfo.htm?" + q), 404) << q;
    EXPECT_EQ(sim.Selected(), 3);
}

// The check box, the title and the times where the program reads them; every field once, in
// the form's order; the detail after the only script end that follows the times.
TEST(ReservationPageTest, FieldsStandAsTheProgramReadsThem) {
    Reservation r = Sample();
    std::string page = recsim::ReservationPageX4(r, "20261201");
    const std::string title = Sjis("予報 A&amp;B &lt;表&gt; &quot;ソ&quot; 能");
    for (const std::string& line : std::vector<std::string>{
             "<INPUT TYPE=\"checkbox\" name=\"bExec\" checked>",
             "document.write(\"<INPUT TYPE=\\\"text\\\" NAME=\\\"title_name\\\" SIZE=\\\"40\\\" "
             "value=\\\"" +
                 title + "\\\">\");\r\n",
             "name=\"start_hour\" SIZE=\"2\" value =\"23\">",
             "name=\"start_minute\" SIZE=\"2\" value =\"30\">",
             "name=\"end_hour\" SIZE=\"2\" value = \"00\">",
             "name=\"end_minute\" SIZE=\"2\" value = \"45\">"})
        EXPECT_NE(page.find(line), std::string::npos) << line;
    EXPECT_EQ(CountOf(page, "\r\n"), CountOf(page, "\n"));
    const char* order[] = {"name=\"bExec\"",        "title_name",         "name=\"genre\"",
                           "name=\"channel\"",      "name=\"date\"",      "name=\"start_hour\"",
                           "name=\"start_minute\"", "name=\"end_hour\"",  "name=\"end_minute\"",
                           "name=\"disc\"",         "name=\"vrate\"",     "name=\"amode\"",
                           "name=\"dvdr\"",         "name=\"aspect\"",    "name=\"bVPerform\"",
                           "name=\"bAutoChapter\"", "NAME=\\\"detail\\\""};
    size_t last = 0;
    for (const char* marker : order) {
        const size_t p = page.find(marker);
        ASSERT_NE(p, std::string::npos) << marker;
        EXPECT_GT(p, last) << marker;
        EXPECT_EQ(CountOf(page, marker), 1u) << marker;
        last = p;
    }
    const size_t times = page.find("name=\"start_hour\"");
    EXPECT_EQ(CountOf(page.substr(times), "</SCRIPT>"), 1u);
    const size_t script = page.find("</SCRIPT>", times);
    const std::string opening =
        "document.write(\"<TEXTAREA NAME=\\\"detail\\\" ROWS=\\\"4\\\" COLS=\\\"40\\\">\");\r\n";
    EXPECT_EQ(page.substr(script - opening.size(), opening.size()), opening);
    const size_t start = script + 9 + 2;
    const size_t end = page.find("</textarea>", start);
    EXPECT_EQ(page.substr(start, end - start),
              Sjis("一行目 &amp;amp; &lt;b&gt;\r\n二行目 &quot;予&quot;\r\n"));
    EXPECT_EQ(page.find("</SELECT>"), std::string::npos);  // the program looks for lower case

    // Unchecked, and a value the recorder does not offer still shown as selected.
    r.exec = false;
    r.genre = "77";
    page = recsim::ReservationPageX4(r, "20261201");
    EXPECT_NE(page.find("<INPUT TYPE=\"checkbox\" name=\"bExec\">"), std::string::npos);
    EXPECT_EQ(page.find("checked"), std::string::npos);
    EXPECT_NE(page.find("<OPTION value=\"77\" selected>77\r\n</select>"), std::string::npos);
}

// The program keeps K characters in front of "selected" and expects the selected option's
// value among them; every offered value must fit.
TEST(ReservationPageTest, SelectedValueLiesWithinTheCharactersTheProgramKeeps) {
    const std::pair<const char*, size_t> lists[] = {
        {"genre", 12}, {"channel", 12}, {"date", 23},   {"disc", 11},      {"vrate", 14},
        {"amode", 12}, {"dvdr", 11},    {"aspect", 11}, {"bVPerform", 11}, {"bAutoChapter", 11}};
    for (const auto& [field, keep] : lists) {
        const auto options = recsim::OptionsFor(field, "20261201");
        ASSERT_GE(options.size(), 2u) << field;
        for (const auto& [value, text] : options) {
            SCOPED_TRACE(std::string(field) + " = " + value);
            Reservation r = Sample();
            simtest::Selection(r, field) = value;
            const std::string page = recsim::ReservationPageX4(r, "20261201");
            const size_t anchor = page.find(std::string("name=\"") + field + "\"");
            const size_t selected = page.find("selected", anchor);
            const size_t close = page.find("</select>", anchor);
            ASSERT_LT(selected, close);
            const std::string kept = page.substr(selected - keep, keep);
            EXPECT_NE(kept.find("value=\"" + value + "\" "), std::string::npos) << kept;
            EXPECT_EQ(text.find("selected"), std::string::npos);
        }
    }
}

TEST_F(PagesTest, SetupAndChannelPages) {
    const std::string setup = Fetch(sim.Port(), "/setup/setup.htm");
    EXPECT_GE(CountOf(setup, "type=\"password\""), 2u);
    EXPECT_EQ(CountOf(setup, "TYPE=\"PASSWORD\""), 1u);
    const std::string channels = Fetch(sim.Port(), "/setup/ch_set.htm");
    EXPECT_NE(channels.find(Sjis("チャンネル設定")), std::string::npos);
    EXPECT_EQ(CountOf(channels, "\r\n"), CountOf(channels, "\n"));
}
