// The program's windows against the simulated recorder: what a user does with the mouse,
// from the main window's buttons through the transfer dialog, with the socket transport
// waiting in the program's own pump, which serves the Qt events while it sleeps.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "FrmGet.h"
#include "FrmMain.h"
#include "QtText.h"
#include "RecorderSim.h"
#include "Startup.h"
#include "TestFiles.h"
#include "Texts.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

struct Box {
    MessageKind Kind;
    std::string Text;
};

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
        form.FormGet->ShowBox = [this](MessageKind kind, const std::string& text, bool) {
            dialogBoxes.push_back({kind, text});
            return true;
        };
        // The user types the recorder's address, presses the start button, then closes.
        form.ShowModal = [this](QDialog& dialog) {
            ASSERT_EQ(&dialog, form.FormGet);
            form.FormGet->show();
            form.FormGet->EdtSIP->setText(QString::fromStdString(typedHost));
            form.FormGet->BitBtn1->click();
            form.FormGet->BitBtn4->click();
        };
        form.Session.HttpClient1.UsePump(*pump);
        pump->OnPump = [this] { ++pumps; };
        form.Session.HttpClient1.TimeOut = 2000;
    }

    recsim::RecorderSim& Start(recsim::Mode mode, std::vector<recsim::Reservation> stored) {
        recsim::Options options;
        options.mode = mode;
        options.readTimeoutMs = 2000;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        sims.back()->SetReservations(std::move(stored));
        sims.back()->Start();
        typedHost = "127.0.0.1:" + std::to_string(sims.back()->Port());
        return *sims.back();
    }

    TempDir dir;
    const std::unique_ptr<TEventPump> pump = MakeProgramPump();  // outlives the form's client
    TFormMain form;
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    std::vector<Box> mainBoxes, dialogBoxes;
    std::string typedHost;
    int pumps = 0;
};

TEST_F(ProgramE2e, CaptureFromX4ThenRestoreIntoX4exThroughTheWindows) {
    ASSERT_TRUE(form.FormCreate());
    const std::vector<recsim::Reservation> original = recsim::SampleReservations(3, 5);
    recsim::RecorderSim& x4 = Start(recsim::Mode::X4, original);

    // While the capture waits for the recorder the window keeps serving events: a timer
    // fires, and a second press of the start button starts nothing.
    int ticks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        form.FormGet->BitBtn1Click();
    });
    timer.start();
    form.BitBtn1->click();
    timer.stop();

    ASSERT_EQ(dialogBoxes.size(), 1u);
    EXPECT_EQ(dialogBoxes[0].Kind, MessageKind::Information);
    EXPECT_EQ(dialogBoxes[0].Text, Texts::CaptureDoneMessage(3));
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
    EXPECT_EQ(mainBoxes[0].Kind, MessageKind::Confirmation);
    ASSERT_EQ(dialogBoxes.size(), 2u);
    EXPECT_EQ(dialogBoxes[1].Kind, MessageKind::Information);
    EXPECT_EQ(dialogBoxes[1].Text.rfind(std::string("00") + Texts::kReportSeparator, 0), 0u);
    EXPECT_EQ(x4ex.Reservations(), original);

    // The host typed last is what the settings file keeps.
    QCloseEvent close;
    QApplication::sendEvent(&form, &close);
    EXPECT_NE(ReadBytes(form.SettingsPath).find("RDIP=" + typedHost + "\r\n"), std::string::npos);
}

// The real modal dialog and the real message boxes, driven from timers as a user would.
TEST_F(ProgramE2e, CaptureThroughTheModalDialogAndItsBox) {
    ASSERT_TRUE(form.FormCreate());
    recsim::RecorderSim& x4 = Start(recsim::Mode::X4, recsim::SampleReservations(2, 9));
    form.Session.Settings.Host = typedHost;
    form.ShowModal = [](QDialog& dialog) { dialog.exec(); };
    form.FormGet->ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
        return ShowQtMessageBox(form.FormGet, kind, text, yesNo);
    };

    std::vector<QString> seen;
    QTimer boxes;
    boxes.setInterval(5);
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen.push_back(box->text());
            box->button(QMessageBox::Ok)->click();
        }
    });
    boxes.start();
    bool started = false;
    QTimer press;
    press.setInterval(5);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (started || QApplication::activeModalWidget() != form.FormGet) return;
        started = true;
        form.FormGet->BitBtn1->click();  // runs the whole capture, boxes included
        form.FormGet->BitBtn4->click();
    });
    press.start();
    // Should the dialog never be pressed, it is closed rather than hanging the suite.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(20000);

    form.BitBtn1->click();  // returns when the dialog has closed
    boxes.stop();
    press.stop();

    EXPECT_TRUE(started);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], QtText::ForDisplay(Texts::CaptureDoneMessage(2)));
    EXPECT_EQ(x4.Requests().size(), 2u * 2 + 4);
    EXPECT_TRUE(std::filesystem::exists(dir.File("ZAVOCV01.HTM")));
    EXPECT_FALSE(form.FormGet->isVisible());
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
    form.ShowModal = [this](QDialog&) {
        form.FormGet->show();
        form.FormGet->EdtSIP->setText(QString::fromStdString(typedHost));
        form.FormGet->BitBtn1->click();
    };
    form.BitBtn1->click();

    ASSERT_EQ(dialogBoxes.size(), 2u);
    EXPECT_EQ(dialogBoxes[0].Text, Texts::kFailGet);
    EXPECT_EQ(dialogBoxes[1].Kind, MessageKind::Information);
    EXPECT_EQ(dialogBoxes[1].Text, Texts::kCaptureStopped);
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
