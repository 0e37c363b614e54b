// The program's windows against the simulated recorder: what a user does with the mouse,
// from the main window's buttons through the transfer dialog, with the socket transport
// waiting in the program's own pump, which serves the Qt events while it sleeps.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "FrmGet.h"
#include "FrmMain.h"
#include "QtText.h"
#include "RecorderSim.h"
#include "RecordingView.h"
#include "RestoreReport.h"
#include "Startup.h"
#include "TestFiles.h"
#include "Texts.h"

namespace {

using namespace testsupport;

using Boxes = std::vector<RecordingView::Message>;

class ProgramE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        form.SettingsPath = dir.File("zavoconv.INI");
        form.Terminate = [] { FAIL() << "the program was ended"; };
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            EXPECT_TRUE(yesNo);
            mainBoxes.push_back({kind, text});
            return true;  // Yes to the restore confirmation
        };
        form.Session.HttpClient1.UsePump(*pump);
        pump->OnPump = [this] { ++pumps; };
        form.Session.HttpClient1.TimeOut = 2000;
    }

    recsim::RecorderSim& Start(recsim::Mode mode, std::vector<recsim::Reservation> stored) {
        recsim::Options options;
        options.mode = mode;
        options.firstDate = firstDate;
        options.readTimeoutMs = 2000;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        sims.back()->SetReservations(std::move(stored));
        sims.back()->Start();
        typedHost = "127.0.0.1:" + std::to_string(sims.back()->Port());
        return *sims.back();
    }

    // The recorders' date lists start today: no sample date has gone by, so the restore's plan
    // sends every one.
    const std::string firstDate = [] {
        std::string day = LocalTimestamp().substr(0, 10);
        return day.erase(7, 1).erase(4, 1);
    }();
    TempDir dir;
    const std::unique_ptr<TEventPump> pump = MakeProgramPump();  // outlives the form's client
    TFormMain form;
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    Boxes mainBoxes, dialogBoxes;
    std::string typedHost;
    int pumps = 0;
};

// The real modal dialog and its real boxes, driven from timers as a user would: type the
// recorder's address, press start, answer the box, close.
TEST_F(ProgramE2e, CaptureFromX4ThenRestoreIntoX4exThroughTheWindows) {
    ASSERT_TRUE(form.FormCreate());
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(3, 5, firstDate);
    recsim::RecorderSim& x4 = Start(recsim::Mode::X4, original);
    form.ShowModal = [](QDialog& dialog) { dialog.exec(); };
    // What the dialog shows behind each box: the transfer has ended when its last box opens.
    std::vector<std::string> behind;
    form.FormGet->ShowBox = [&](MessageKind kind, const std::string& text, bool yesNo) {
        dialogBoxes.push_back({kind, text});
        const TFormGet& get = *form.FormGet;
        behind.push_back(std::string(get.BtnStop->isEnabled() ? "stop on" : "stop off") +
                         (get.BitBtn4->isEnabled() ? ", close on" : ", close off") +
                         (QApplication::overrideCursor() ? ", hourglass" : "") + ", status \"" +
                         get.StatusLine() + "\", " + get.PbarR->text().toStdString());
        return ShowQtMessageBox(form.FormGet, kind, text, yesNo);
    };
    std::vector<QString> seen;
    QTimer boxes;  // a timer does not fire again while its own handler runs
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen.push_back(box->text());
            box->button(QMessageBox::Ok)->click();
        }
    });
    boxes.start(5);
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != form.FormGet) return;
        form.FormGet->EdtSIP->setText(QString::fromStdString(typedHost));
        form.FormGet->BitBtn1->click();  // runs the whole transfer, its box included
        form.FormGet->BitBtn4->click();
    });
    user.start(5);
    // While a transfer waits for the recorder the window keeps serving events: a timer fires,
    // and a second press of the start button starts nothing.
    int ticks = 0;
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [&] {
        if (!form.FormGet->BtnStop->isEnabled() ||
            QApplication::activeModalWidget() != form.FormGet)  // no transfer, or in its box
            return;
        ++ticks;
        form.FormGet->BitBtn1Click();
    });
    second.start(0);
    // Should the dialog never be pressed, it is closed rather than hanging the suite.
    QObject guard;
    QTimer::singleShot(20000, &guard, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    form.BitBtn1->click();  // returns when the dialog has closed

    EXPECT_EQ(dialogBoxes, (Boxes{{MessageKind::Information, Texts::CaptureDoneMessage(3)}}));
    EXPECT_EQ(seen, std::vector<QString>{QtText::ForDisplay(Texts::CaptureDoneMessage(3))});
    EXPECT_GT(pumps, 0);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(x4.Requests().size(), 2u * 3 + 4);  // nothing from the second presses
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::filesystem::exists(dir.File(Texts::ReservationPageFile(i)))) << i;
    EXPECT_FALSE(std::filesystem::exists(dir.File(Texts::ReservationPageFile(3))));
    EXPECT_FALSE(form.FormGet->isVisible());
    EXPECT_EQ(form.FormGet->StatusLine(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    recsim::RecorderSim& x4ex = Start(recsim::Mode::X4EX, {});
    form.BitBtn3->click();
    ASSERT_EQ(mainBoxes.size(), 1u);
    EXPECT_EQ(mainBoxes[0].Box, MessageKind::Confirmation);
    ASSERT_EQ(dialogBoxes.size(), 2u);
    EXPECT_EQ(dialogBoxes[1].Box, MessageKind::Information);
    EXPECT_EQ(dialogBoxes[1].Text.rfind(std::string("00") + Texts::kReportSeparator, 0), 0u);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(x4ex.Reservations(), original);
    EXPECT_EQ(behind, (std::vector<std::string>{"stop off, close on, status \"\", 10 / 10",
                                                "stop off, close on, status \"\", 3 / 3"}));

    // The host typed last is what the settings file keeps.
    QCloseEvent close;
    QApplication::sendEvent(&form, &close);
    EXPECT_NE(ReadBytes(form.SettingsPath).find("RDIP=" + typedHost + "\r\n"), std::string::npos);
}

// Stop pressed, or the dialog closed with Yes, while the first page is asked for again: the
// capture ends without asking further and says so.
class ProgramStop : public ProgramE2e, public testing::WithParamInterface<bool> {};

TEST_P(ProgramStop, EndsTheCaptureAtTheNextSafePoint) {
    const bool byClosing = GetParam();
    ASSERT_TRUE(form.FormCreate());
    recsim::RecorderSim& x4 = Start(recsim::Mode::X4, recsim::SampleReservations(2, 9));
    x4.SetErrorStatus("/program/b_prgrm.htm", 500);
    std::vector<std::string> questions;
    form.FormGet->AskBox = [&](const std::string& text) {
        questions.push_back(text);
        return true;
    };
    form.FormGet->ShowBox = [&](MessageKind kind, const std::string& text, bool) {
        dialogBoxes.push_back({kind, text});
        if (dialogBoxes.size() != 1) return true;
        if (byClosing)
            form.FormGet->close();
        else
            form.FormGet->BtnStop->click();
        return true;
    };
    // The user types the recorder's address and presses the start button.
    form.ShowModal = [this](QDialog& dialog) {
        ASSERT_EQ(&dialog, form.FormGet);
        form.FormGet->show();
        form.FormGet->EdtSIP->setText(QString::fromStdString(typedHost));
        form.FormGet->BitBtn1->click();
    };
    form.BitBtn1->click();

    ASSERT_EQ(dialogBoxes.size(), 2u);
    EXPECT_EQ(dialogBoxes[0].Text, Texts::kFailGet);
    EXPECT_EQ(dialogBoxes[1],
              (RecordingView::Message{MessageKind::Information, Texts::kCaptureStopped}));
    EXPECT_EQ(x4.Requests().size(), 1u);
    EXPECT_EQ(questions, byClosing ? std::vector<std::string>{Texts::kAskStopOnClose}
                                   : std::vector<std::string>{});
    EXPECT_EQ(form.FormGet->isVisible(), !byClosing);
    EXPECT_TRUE(form.FormGet->BitBtn1->isEnabled());
    form.FormGet->close();
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramStop, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& i) {
                             return i.param ? "Closing" : "StopButton";
                         });

}  // namespace
