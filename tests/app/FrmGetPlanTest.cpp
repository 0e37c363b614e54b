// The restore dialog's plan: on opening, the date gone by unticked and the overlap marked; once
// the RD-X4EX's count is known, what will not fit unticked; a tick taken off makes room again.
// With ZAVO_PLAN_SCREENSHOT=FILE.png the dialog is saved as the count left it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTableWidget>
#include <cstdlib>

#include "FrmGet.h"
#include "QtText.h"
#include "RestorePlan.h"
#include "SavedSet.h"
#include "SysText.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferFrame.h"

namespace {

using testsupport::ReadBytes;

// A saved page of the scan's tests with its date, times and title replaced.
std::string Page(const char* date, const char* from, const char* to, const char* title) {
    std::string page = ReadBytes(ZAVO_ENTRY_PAGES_DIR "/basic_crlf.htm");
    const std::pair<std::string, std::string> edits[] = {
        {"selected>12/08(\x89\xce)", "selected>" + Sys::Utf8ToSjis(date)},
        {"value =\"21\"", "value =\"" + std::string(from) + "\""},
        {"value = \"23\"", "value = \"" + std::string(to) + "\""},
        {Sys::Utf8ToSjis("予約表テスト 映画"), Sys::Utf8ToSjis(title)}};
    for (const auto& [old, replacement] : edits) page = SjisReplaceAll(page, old, replacement);
    return page;
}

TEST(FormGetPlan, MarksAndTicksFollowThePlan) {
    testsupport::TempDir dir;
    TransferSession context;
    context.SetProgramDir(dir.Path());
    context.Settings.Host = "192.168.1.2";
    TransferFrame frame(context);
    TFormGet form(frame);
    const char* rows[][4] = {{"毎日", "19", "20", "ニュース"},
                             {"12/08(火)", "21", "23", "映画"},
                             {"月～金", "19", "21", "連続ドラマ"},
                             {"毎週土曜", "09", "10", "アニメ"},
                             {"月～土", "06", "07", "天気"}};
    for (int i = 0; i < 5; ++i)
        testsupport::WriteBytes(dir.File(Texts::ReservationPageFile(i)),
                                Page(rows[i][0], rows[i][1], rows[i][2], rows[i][3]));
    testsupport::WriteBytes(dir.File(Texts::kCaptureTimeFile),
                            SavedSet::CaptureTimeText("2026/12/01 10:00:00"));
    auto ticks = [&form] {
        std::string t;
        for (int r = 0; r < form.GridR->rowCount(); ++r)
            t += form.GridR->item(r, 0)->checkState() == Qt::Checked ? '1' : '0';
        return t;
    };
    auto marks = [&form] {
        QStringList m;
        for (int r = 0; r < form.GridR->rowCount(); ++r) m << form.GridR->item(r, 1)->text();
        return m.join('|');
    };

    form.OpenForRestore();
    EXPECT_EQ(ticks(), "10111");
    EXPECT_EQ(marks(), QString::fromUtf8("送信|過去|送信・重複(1)|送信|送信"));
    EXPECT_EQ(form.LblPlan->text(),
              QString::fromUtf8(
                  "送信予定 4件：日付が過ぎた予約 1件、重複 1件（RD-X4EXの予約数は未確認）"));
    EXPECT_NE(form.GridR->item(1, 1)->background(), form.GridR->item(0, 1)->background());

    // The RD-X4EX holds 29: of the four, three fit.
    PlanChoice ticked;
    ticked.Selection = form.Selection();
    form.ShowPlan(
        MakeRestorePlan(ReadReservationTable(dir.Path()), SavedSetFacts(dir.Path(), 29), ticked),
        true);
    EXPECT_EQ(ticks(), "10110");
    EXPECT_EQ(marks(), QString::fromUtf8("送信|過去|送信・重複(1)|送信|入らない"));
    EXPECT_EQ(form.LblPlan->text(),
              QString::fromUtf8("送信予定 3件：日付が過ぎた予約 1件、重複 1件、入りきらない予約 1件"
                                "（RD-X4EXの予約：既に29件）"));
    if (const char* screenshot = std::getenv("ZAVO_PLAN_SCREENSHOT")) {
        form.show();
        QApplication::processEvents();
        EXPECT_TRUE(form.grab().save(QString::fromLocal8Bit(screenshot)));
        form.hide();
    }
    form.GridR->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(marks(), QString::fromUtf8("対象外|過去|送信|送信|対象外"));
    EXPECT_EQ(form.Selection(), (std::set<int>{2, 3}));
}

}  // namespace
