// The restore dialog's plan: marks, ticks and the summary line before anything is sent, the
// check button's one read of the RD-X4EX's list, and a restore that posts what the ticks say.
// With ZAVO_PLAN_SCREENSHOT=FILE.png it also saves the dialog as the check left it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>
#include <memory>

#include "FrmGet.h"
#include "PlanSample.h"
#include "QtText.h"
#include "RecorderSim.h"
#include "RecordingView.h"
#include "RestorePlan.h"
#include "SysFile.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class FormGetPlan : public testing::Test {
  protected:
    FormGetPlan() {
        context.SetProgramDir(dir);
        context.HttpClient1.TimeOut = 2000;
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool) {
            boxes.push_back({kind, text});
            return true;
        };
        form.AskBox = [this](const std::string& text) {
            questions.push_back(text);
            return true;
        };
    }
    ~FormGetPlan() override { Sys::RemoveTree(dir); }

    recsim::RecorderSim& Start(recsim::Mode mode, std::vector<recsim::Reservation> stored) {
        recsim::Options options;
        options.mode = mode;
        options.firstDate = PlanFirstDate(today);
        options.readTimeoutMs = 2000;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        sims.back()->SetReservations(std::move(stored));
        sims.back()->Start();
        context.Settings.Host = "127.0.0.1:" + std::to_string(sims.back()->Port());
        return *sims.back();
    }

    // "1" for a ticked row, "0" for one that is not.
    std::string Ticks() const {
        std::string ticks;
        for (int r = 0; r < form.GridR->rowCount(); ++r)
            ticks += form.GridR->item(r, 0)->checkState() == Qt::Checked ? '1' : '0';
        return ticks;
    }
    QStringList Marks() const {
        QStringList marks;
        for (int r = 0; r < form.GridR->rowCount(); ++r) marks << form.GridR->item(r, 1)->text();
        return marks;
    }

    const std::chrono::sys_days today = LocalToday();
    const std::string dir = Sys::MakeTempFolder("zavo-plan-ui-");
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    TransferSession context;
    TransferFrame frame{context};
    TFormGet form{frame};
    std::vector<RecordingView::Message> boxes;
    std::vector<std::string> questions;
};

TEST_F(FormGetPlan, MarksTicksAndSummaryBeforeTheStart) {
    Start(recsim::Mode::X4, PlanSample(today));
    RecordingView captured;
    frame.RunCapture(captured);
    recsim::RecorderSim& x4ex =
        Start(recsim::Mode::X4EX, recsim::SampleReservations(29, 8, PlanFirstDate(today)));

    // On opening: the date gone by unticked, the overlap ticked but marked; nothing is known
    // of the RD-X4EX yet.
    form.OpenForRestore();
    EXPECT_EQ(form.GridR->horizontalHeaderItem(1)->text(), U("計画"));
    EXPECT_EQ(Ticks(), "101111");
    EXPECT_EQ(Marks(), (QStringList{U("送信"), U("過去"), U("送信"), U("送信・重複(1)"), U("送信"),
                                    U("送信")}));
    EXPECT_EQ(form.LblPlan->text(),
              U("送信予定 5件：日付が過ぎた予約 1件、重複 1件（RD-X4EXの予約数は未確認）"));
    EXPECT_NE(form.GridR->item(1, 1)->background(), form.GridR->item(0, 1)->background());

    // The check reads the list once and posts nothing: of the five, three fit in the 32.
    form.BtnCheck->click();
    EXPECT_EQ(x4ex.Requests().size(), 1u);
    EXPECT_EQ(Ticks(), "101100");
    EXPECT_EQ(Marks(), (QStringList{U("送信"), U("過去"), U("送信"), U("送信・重複(1)"),
                                    U("入らない"), U("入らない")}));
    EXPECT_EQ(form.LblPlan->text(), U("送信予定 3件：日付が過ぎた予約 1件、重複 1件、"
                                      "入りきらない予約 2件（RD-X4EXの予約：既に29件）"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(questions.empty());
    EXPECT_FALSE(Sys::Exists(dir + "Reserv.txt"));
    if (const char* screenshot = std::getenv("ZAVO_PLAN_SCREENSHOT")) {
        form.show();
        QApplication::processEvents();
        EXPECT_TRUE(form.grab().save(QString::fromLocal8Bit(screenshot)));
        form.hide();
    }

    // A tick taken off makes room for another, which the user may tick instead.
    form.GridR->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Marks(), (QStringList{U("対象外"), U("過去"), U("送信"), U("送信"), U("対象外"),
                                    U("対象外")}));
    form.GridR->item(5, 0)->setCheckState(Qt::Checked);
    form.BitBtn1->click();
    std::vector<std::string> posted;
    for (const recsim::LoggedRequest& r : x4ex.Requests())
        if (r.method == "POST") posted.push_back(r.body);
    EXPECT_EQ(posted.size(), 3u);
    const std::vector<recsim::Reservation> held = x4ex.Reservations();
    ASSERT_EQ(held.size(), 32u);
    const std::vector<recsim::Reservation> six = PlanSample(today);
    EXPECT_EQ((std::vector<recsim::Reservation>(held.begin() + 29, held.end())),
              (std::vector<recsim::Reservation>{six[2], six[3], six[5]}));
    EXPECT_EQ(questions.size(), 1u);
}

}  // namespace
