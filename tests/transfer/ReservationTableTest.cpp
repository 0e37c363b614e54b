#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ReservationTable.h"
#include "TestFiles.h"
#include "Texts.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

std::string DataPage(const char* name) {
    return ReadBytes((fs::path(ZAVO_ENTRY_PAGES_DIR) / name).string());
}

// "欠けている項目："
const std::string kMissing = Texts::kRowMissingFields;

const std::string kWholePage = DataPage("basic_crlf.htm");
const std::string kCutPage = kWholePage.substr(0, kWholePage.find("<SELECT name=\"disc\">"));
// On, date, start, end, channel, mode and title of a row, each followed by "|".
std::string Columns(const ReservationRow& row) {
    return std::string(row.On ? "ON|" : "OFF|") + row.Date + "|" + row.Start + "|" + row.End + "|" +
           row.Channel + "|" + row.Mode + "|" + row.Title + "|";
}

// 12/08(火) and the title as typed: 予約表テスト 映画
const std::string kDateTimesChannel = "12/08(\x89\xce)|21:00|23:15|8ch|";
const std::string kTitle = "\x97\x5c\x96\xf1\x95\x5c\x83\x65\x83\x58\x83\x67 \x89\x66\x89\xe6|";

TEST(ReservationRowPage, RowMatches) {
    const struct {
        const char* name;
        std::string page;  // bytes of the saved page
        std::string columns;
        std::string problemStart;  // how the row's problem begins; empty for a complete row
    } cases[] = {
        {"WholePage", kWholePage, "ON|" + kDateTimesChannel + "XP|" + kTitle, ""},
        {"BareLineFeeds", DataPage("bare_lf.htm"), "ON|" + kDateTimesChannel + "XP|" + kTitle, ""},
        {"UncheckedIsOff", DataPage("bexec_unchecked.htm"),
         "OFF|" + kDateTimesChannel + "XP|" + kTitle, ""},
        {"CutInTheMiddle", kCutPage, "ON|" + kDateTimesChannel + "|" + kTitle,
         Texts::kRowCut + kMissing +
             "disc, vrate, amode, dvdr, aspect, bVPerform, bAutoChapter, detail"},
        {"EmptyFile", "", "OFF||--:--|--:--||||",
         Texts::kRowCut + kMissing +
             "bExec, title_name, genre, channel, date, start_hour, start_minute, end_hour, "
             "end_minute, disc, vrate, amode, dvdr, aspect, bVPerform, bAutoChapter, detail"},
        {"EntitiesDecodedOnce", "value=\\\"A&amp;lt;B&quot;\\\">\")",
         "OFF||--:--|--:--|||A&lt;B\"|", Texts::kRowCut},
        {"OptionTextOfTheValueSent",
         "name=\"channel\">\r\n<OPTION value=\"4\">4ch\r\n<OPTION value=\"12\" selected> BS 1 \r\n"
         "</select><OPTION>",
         "OFF||--:--|--:--|BS 1|||", Texts::kRowCut},
        {"OneDigitHourPadded",
         "name=\"start_hour\" value =\"9\" name=\"start_minute\" value =\"5\"",
         "OFF||09:05|--:--||||", Texts::kRowCut},
        {"Binary", kWholePage.substr(0, 200) + "\x01\x02"s + '\0' + kWholePage.substr(200),
         "ON||--:--|--:--||||", Texts::kRowBinary},
        {"NotShiftJis", kWholePage + "\xFF\xFE", "ON|" + kDateTimesChannel + "XP|" + kTitle,
         Texts::kRowNotSjis},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReservationRow row = ReservationRowFromPage(3, c.page);
        EXPECT_EQ(row.Number, 3);
        EXPECT_EQ(row.FileName, "ZAVOCV02.HTM");
        EXPECT_EQ(Columns(row), c.columns);
        EXPECT_EQ(row.Problem.rfind(c.problemStart, 0), 0u) << row.Problem;
        // Short pages lack most fields: none of them is complete.
        const bool whole = c.page.size() > 1000 && c.problemStart.empty();
        EXPECT_EQ(row.Complete, whole);
        if (whole) {
            EXPECT_EQ(row.Problem, "");
        }
    }
}

TEST(ReservationTableDir, PagesInNumberOrderDamagedOnesMarked) {
    const testsupport::TempDir dir;
    WriteBytes(dir.File("ZAVOCV00.HTM"), kWholePage);
    WriteBytes(dir.File("ZAVOCV02.HTM"), kCutPage);
    fs::create_directory(dir.File("ZAVOCV05.HTM"));  // unreadable
    WriteBytes(dir.File("ZAVOCV31.HTM"), std::string(kMaxSavedPageBytes + 1, 'x'));
    WriteBytes(dir.File("ZAVOCV32.HTM"), kWholePage);  // beyond what the restore reads
    WriteBytes(dir.File("ZAVOCVRV.HTM"), kWholePage);
    const std::vector<ReservationRow> rows = ReadReservationTable(dir.Path());
    ASSERT_EQ(rows.size(), 4u);
    // The file's number, whether its row is complete, how its problem begins.
    const std::tuple<int, bool, std::string> expected[] = {{1, true, ""},
                                                           {3, false, Texts::kRowCut},
                                                           {6, false, Texts::kRowUnreadable},
                                                           {32, false, Texts::kRowTooLarge}};
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& [number, complete, problemStart] = expected[i];
        EXPECT_EQ(rows[i].Number, number);
        EXPECT_EQ(rows[i].Complete, complete);
        EXPECT_EQ(rows[i].Problem.rfind(problemStart, 0), 0u);
    }
    // 保存されている予約：4件  うち3件のページは項目が欠けています（×印）。
    EXPECT_EQ(ReservationSummary(rows), Texts::kSummaryCount + "4"s + Texts::kCountSuffix + "  " +
                                            Texts::kSummaryIncomplete1 + "3" +
                                            Texts::kSummaryIncomplete2);
    EXPECT_EQ(ReservationSummary({rows[0]}),
              Texts::kSummaryCount + "1"s + Texts::kCountSuffix + "  " + Texts::kSummaryAllWhole);
    EXPECT_EQ(ReservationSummary({}), Texts::kSummaryNone);
}

TEST(ReservationCsv, Utf8WithQuotingAndHeading) {
    ReservationRow row = ReservationRowFromPage(1, kWholePage);
    row.Title = "a,\"b\"";
    ReservationRow broken = ReservationRowFromPage(2, "");
    broken.Title = "\x82";  // a lead byte cut off
    const std::string csv = ReservationCsv({row, broken});
    const std::string expected =
        "\xEF\xBB\xBF"
        "番号,実行,日付,開始,終了,チャンネル・入力,録画モード,番組名,備考\r\n"
        "1,ON,12/08(火),21:00,23:15,8ch,XP,\"a,\"\"b\"\"\",\r\n"
        "2,OFF,,--:--,--:--,,,\xEF\xBF\xBD,\"途中で切れています。欠けている項目：bExec, "
        "title_name, genre, channel, date, start_hour, start_minute, end_hour, end_minute, disc, "
        "vrate, amode, dvdr, aspect, bVPerform, bAutoChapter, detail\"\r\n";
    EXPECT_EQ(csv, expected);
}

}  // namespace
