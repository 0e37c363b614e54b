#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <filesystem>
#include <optional>
#include <set>

#include "FrmGet.h"
#include "QtPrint.h"
#include "QtText.h"
#include "RecordingView.h"
#include "ScriptedPeer.h"
#include "TestFiles.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace {

using namespace testsupport;
using Boxes = std::vector<RecordingView::Message>;

// "'abc' は整数ではありません"
const std::string kNotANumber =
    "'abc' \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\n\r";

class FormGetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        context.SetProgramDir(dir.Path());
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            EXPECT_FALSE(yesNo);
            boxes.push_back({kind, text});
            if (duringBox) duringBox();
            return true;
        };
        form.AskBox = [this](const std::string& text) {
            questions.push_back(text);
            return false;
        };
    }
    std::vector<std::string> Settings() const {
        const ConnectionSettings& s = context.Settings;
        return {s.Host, s.User, s.Password, s.Proxy, s.ProxyPort};
    }
    // A proxy port that is no number: the transfer ends at once with one error box.
    void BreakProxyPort() {
        form.EdtSPROXY->setText(U("proxy"));
        form.EdtSPORT->setText(U("abc"));
    }
    // A recorder on 127.0.0.1 that answers the first request with 404: the client's failure
    // box comes while the transfer runs, and a stop pressed there ends it before it asks
    // again. Returns the host to type.
    static std::string AnswerWith404(ScriptedPeer& peer) {
        peer.ExpectUntil("\r\n\r\n").Send("HTTP/1.0 404 Not Found\r\n\r\n").Close();
        peer.Start();
        return "127.0.0.1:" + std::to_string(peer.Port());
    }
    // What the dialog shows when no transfer runs, also behind the box that ended one.
    void ExpectIdle() const {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(form.BitBtn1->isEnabled());
        EXPECT_TRUE(form.BitBtn4->isEnabled());
        EXPECT_FALSE(form.BtnStop->isEnabled());
        EXPECT_EQ(form.StatusLine(), "");
        EXPECT_EQ(form.SbarR->currentMessage(), QString());
    }

    TempDir dir;
    TransferSession context;
    TransferFrame frame{context};
    TFormGet form{frame};
    Boxes boxes;
    std::function<void()> duringBox;
    std::vector<std::string> questions;
};

struct ControlCase {
    const char* name;
    const char* text;  // UTF-8; nullptr for an edit field
    QRect geometry;
    bool bold;
};

TEST_F(FormGetTest, LayoutAndTabOrder) {
    const ControlCase cases[] = {
        {"Label1", "RDの本体名またはIPアドレス", QRect(80, 16, 171, 12), true},
        {"Label2", "例：(rd-x4)(192.168.1.2)", QRect(201, 32, 144, 12), false},
        {"EdtSIP", nullptr, QRect(77, 28, 121, 20), false},
        {"Label3", "本体ユーザー名", QRect(80, 56, 91, 12), true},
        {"EdtSUSER", nullptr, QRect(77, 68, 121, 20), false},
        {"Label5", "本体パスワード", QRect(232, 56, 91, 12), true},
        {"EdtSPASS", nullptr, QRect(229, 68, 121, 20), false},
        {"Label4", "プロキシサーバアドレス", QRect(80, 96, 143, 12), true},
        {"EdtSPROXY", nullptr, QRect(77, 108, 121, 20), false},
        {"Label6", "ポート", QRect(232, 96, 39, 12), true},
        {"EdtSPORT", nullptr, QRect(229, 108, 44, 20), false},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* w = form.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        if (c.text) {
            // A label's box is a minimum: it grows right and up where the font needs more.
            EXPECT_EQ(w->x(), c.geometry.x());
            EXPECT_EQ(w->geometry().bottom(), c.geometry.bottom());
            EXPECT_GE(w->width(), c.geometry.width());
            EXPECT_GE(w->height(), c.geometry.height());
            auto* label = qobject_cast<QLabel*>(w);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), U(c.text));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        } else {
            EXPECT_EQ(w->geometry(), c.geometry);
        }
        EXPECT_EQ(w->font().family(), U("ＭＳ ゴシック"));
        EXPECT_EQ(w->font().pixelSize(), 12);
        EXPECT_EQ(w->font().bold(), c.bold);
    }
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(8, 144, 97, 33));
    EXPECT_EQ(form.BitBtn4->geometry(), QRect(304, 144, 97, 33));
    EXPECT_EQ(form.BtnStop->geometry(), QRect(224, 144, 73, 33));
    EXPECT_EQ(form.BtnStop->text(), U("中止"));
    EXPECT_FALSE(form.BtnStop->isEnabled());
    EXPECT_EQ(form.PbarR->geometry(), QRect(112, 150, 105, 20));
    EXPECT_EQ(form.PbarR->text(), QString());  // no count before a transfer ("0 / 1" was shown)
    EXPECT_EQ(form.BitBtn4->text(), U("閉じる"));
    EXPECT_FALSE(form.BitBtn1->icon().isNull());
    EXPECT_FALSE(form.BitBtn4->icon().isNull());
    EXPECT_EQ(form.SbarR->geometry(), QRect(0, 190, 413, 20));
    EXPECT_EQ(form.EdtSPASS->echoMode(), QLineEdit::Password);
    form.EdtSPASS->setText(U("pw"));
    EXPECT_EQ(form.EdtSPASS->displayText(), U("**"));
    EXPECT_EQ(form.EdtSIP->echoMode(), QLineEdit::Normal);

    EXPECT_EQ(form.size(), QSize(413, 210));
    EXPECT_EQ(form.maximumSize(), QSize(413, 210));
    EXPECT_EQ(form.windowTitle(), U("RD-X4の設定取込"));
    EXPECT_EQ(form.font().family(), U("ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.font().pixelSize(), 16);
    EXPECT_EQ(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint),
              Qt::WindowCloseButtonHint);

    // The tab order runs through the fields, then the buttons.
    QWidget* order[] = {form.EdtSIP,   form.EdtSUSER, form.EdtSPASS, form.EdtSPROXY,
                        form.EdtSPORT, form.BitBtn1,  form.BitBtn4};
    for (int i = 0; i + 1 < 7; ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }
}

// The fields show the settings on opening and go back into them on every way of closing;
// a field left untouched gives back its exact bytes, even those that do not decode.
TEST_F(FormGetTest, FieldsFilledOnOpeningAndCopiedBackOnClose) {
    context.Settings = {"rd-x4", "user", "pass", "", ""};
    form.OpenForCapture();
    EXPECT_EQ(form.EdtSIP->text(), U("rd-x4"));
    EXPECT_EQ(form.EdtSUSER->text(), U("user"));
    EXPECT_EQ(form.EdtSPASS->text(), U("pass"));
    form.EdtSIP->setText(U("192.168.0.10"));
    form.EdtSUSER->setText(U("ユーザー"));
    form.EdtSPROXY->setText(U("proxy"));
    form.EdtSPORT->setText(U("8080"));
    form.show();
    form.BitBtn4->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Settings(),
              (std::vector<std::string>{"192.168.0.10", "\x83\x86\x81\x5b\x83\x55\x81\x5b", "pass",
                                        "proxy", "8080"}));

    // Escape closes and copies back too.
    form.OpenForCapture();
    form.EdtSPORT->setText(U("99"));
    form.show();
    form.reject();
    EXPECT_EQ(context.Settings.ProxyPort, "99");

    // Bytes that do not decode are not turned into "?" by merely opening the dialog; pasted
    // line breaks are dropped.
    context.Settings = {"rd-x4", "\xff\xfe", "pw\x81", "", ""};
    form.OpenForCapture();
    form.EdtSIP->clear();
    form.EdtSIP->insert(U("rd-x4\r\nHost: evil"));
    EXPECT_EQ(form.EdtSIP->text(), U("rd-x4Host: evil"));
    form.FormClose();
    EXPECT_EQ(Settings(),
              (std::vector<std::string>{"rd-x4Host: evil", "\xff\xfe", "pw\x81", "", ""}));
    EXPECT_TRUE(boxes.empty());
}

// The fields are copied before the transfer runs. While it runs: hourglass, buttons off, a
// second start and a close refused; the stop button asks it to stop. The box that ends it
// stands over an idle dialog, where stop and close do nothing to a transfer; the next one
// starts afresh.
TEST_F(FormGetTest, TransferRunsAloneAndStopsOnRequest) {
    ScriptedPeer peer;
    context.Settings = {AnswerWith404(peer), "", "", "", ""};
    form.OpenForCapture();
    form.show();
    const std::string url = "http://" + context.Settings.Host + "/program/b_prgrm.htm";
    duringBox = [&] {
        if (boxes.size() > 1) {  // the capture's last box
            ExpectIdle();
            EXPECT_EQ(form.PbarR->text(), QString());
            return;
        }
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EXPECT_FALSE(form.BitBtn1->isEnabled());
        EXPECT_FALSE(form.BitBtn4->isEnabled());
        EXPECT_TRUE(form.BtnStop->isEnabled());
        EXPECT_EQ(form.StatusLine(), url + Texts::kStatusFetching);
        form.BitBtn1Click();
        // Closing asks whether to stop; No (the default) keeps the transfer going.
        form.close();
        form.reject();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.StopRequested());
        form.BtnStop->click();
        EXPECT_TRUE(form.StopRequested());
        EXPECT_FALSE(form.BtnStop->isEnabled());
    };
    form.BitBtn1Click();
    EXPECT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(boxes, (Boxes{{MessageKind::Error, Texts::kFailGet},
                            {MessageKind::Information, Texts::kCaptureStopped}}));
    EXPECT_EQ(questions, std::vector<std::string>(2, Texts::kAskStopOnClose));
    ExpectIdle();
    EXPECT_TRUE(form.isVisible());

    BreakProxyPort();
    duringBox = [&] {
        EXPECT_FALSE(form.StopRequested());
        ExpectIdle();
        form.BtnStop->click();
        EXPECT_FALSE(form.StopRequested());
    };
    form.BitBtn1Click();
    EXPECT_EQ(context.Settings.ProxyPort, "abc");
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2], (RecordingView::Message{MessageKind::Error, kNotANumber}));
    EXPECT_EQ(questions.size(), 2u);
    form.close();
    EXPECT_FALSE(form.isVisible());
}

// What the transfer shows: the status line (its end kept in sight when long), the progress,
// the cursor and the boxes.
TEST_F(FormGetTest, StatusProgressCursorAndMessagesShown) {
    const std::string status = "http://rd-x4/program/b_prgrm.htm \x8e\xe6\x93\xbe\x92\x86\x81\x63";
    form.SetStatus(status);
    EXPECT_EQ(form.StatusLine(), status);
    EXPECT_EQ(form.SbarR->currentMessage(), U("http://rd-x4/program/b_prgrm.htm 取得中…"));
    form.SetStatus("");
    EXPECT_EQ(form.SbarR->currentMessage(), QString());

    const std::string address = "http://192.168.100.200:8080/program/ABCDEF/b_proginfo.htm?31";
    const std::string longStatus = address + address + Texts::kStatusFetching;
    form.SetStatus(longStatus);
    EXPECT_EQ(form.StatusLine(), longStatus);
    const QString shown = form.SbarR->currentMessage();
    EXPECT_TRUE(shown.startsWith(U("http://192.168.1"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(U("?31 取得中…"))) << shown.toStdString();
    EXPECT_LT(shown.size(), QtText::FromSjis(longStatus).size());
    EXPECT_LE(QFontMetrics(form.SbarR->font()).horizontalAdvance(shown), form.SbarR->width());

    form.SetProgress(0, 0);
    EXPECT_EQ(form.PbarR->maximum(), 0);  // not known yet: moving to and fro
    form.SetProgress(3, 8);
    EXPECT_EQ(form.PbarR->maximum(), 8);
    EXPECT_EQ(form.PbarR->value(), 3);
    EXPECT_EQ(form.PbarR->text(), U("3 / 8"));
    // A new opening shows no count of the last transfer.
    form.OpenForRestore();
    EXPECT_EQ(form.PbarR->text(), QString());
    EXPECT_EQ(form.PbarR->value(), form.PbarR->minimum() - 1);

    QApplication::setOverrideCursor(Qt::CrossCursor);
    form.SetBusyCursor(true);
    form.SetBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    form.ShowMessage(MessageKind::Information, "<b>x</b>");
    EXPECT_EQ(boxes, (Boxes{{MessageKind::Information, "<b>x</b>"}}));
}

// Each mode has its captions. The restore caption, or any caption but the capture's, runs the
// restore. Restore mode lists the saved reservations with a tick each, all ticked; the start
// button restores only the ticked ones, and the ticks cannot change while the restore runs.
TEST_F(FormGetTest, RestoreModeTicksEverySavedReservationAndPassesOnlyTheTicked) {
    // No saved reservation page: the restore sends nothing and reports an empty list.
    form.OpenForRestore();
    form.BitBtn1Click();
    form.OpenForCapture();
    form.BitBtn1->setText(U("取込開始 "));
    form.BitBtn1Click();
    EXPECT_EQ(boxes, (Boxes(2, {MessageKind::Information, ""})));
    boxes.clear();

    for (const char* name : {"ZAVOCV00.HTM", "ZAVOCV01.HTM", "ZAVOCV04.HTM"})
        WriteBytes(dir.File(name), "<html>damaged</html>\r\n");
    form.OpenForRestore();
    EXPECT_EQ(form.windowTitle(), U("RD-X4EXに設定を復元"));
    EXPECT_EQ(form.BitBtn1->text(), U("復元開始"));
    EXPECT_EQ(form.size(), QSize(413, 454));
    EXPECT_EQ(form.SbarR->geometry(), QRect(0, 434, 413, 20));
    EXPECT_TRUE(form.GridR->isVisibleTo(&form));
    ASSERT_EQ(form.GridR->rowCount(), 3);
    const char* numbers[] = {"1", "2", "5"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_TRUE(form.GridR->item(r, 0)->text().endsWith(U(numbers[r]))) << r;
        EXPECT_EQ(form.GridR->item(r, 0)->checkState(), Qt::Checked) << r;
    }
    EXPECT_EQ(form.Selection(), (std::set<int>{0, 1, 4}));
    form.GridR->item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(form.Selection(), (std::set<int>{0, 4}));

    // Nothing ticked: nothing is read or posted, the report is empty.
    for (int r = 0; r < 3; ++r) form.GridR->item(r, 0)->setCheckState(Qt::Unchecked);
    form.BitBtn1Click();
    EXPECT_EQ(boxes, (Boxes{{MessageKind::Information, ""}}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Reserv.txt")));

    // The ticks are off while the restore runs (the recorder's 404 box) and back at its end
    // (the box of the stop).
    form.GridR->item(2, 0)->setCheckState(Qt::Checked);
    ScriptedPeer peer;
    form.EdtSIP->setText(U(AnswerWith404(peer).c_str()));
    duringBox = [&] {
        EXPECT_EQ(form.GridR->isEnabled(), boxes.size() == 3);
        form.BtnStop->click();
    };
    form.BitBtn1Click();
    EXPECT_TRUE(peer.Finish()) << peer.Report();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1], (RecordingView::Message{MessageKind::Error, Texts::kFailGet}));
    EXPECT_TRUE(form.GridR->isEnabled());
    EXPECT_EQ(form.GridR->item(2, 0)->checkState(), Qt::Checked);

    // Capture mode: no table, the whole set.
    form.OpenForCapture();
    EXPECT_EQ(form.windowTitle(), U("RD-X4の設定取込"));
    EXPECT_EQ(form.BitBtn1->text(), U("取込開始"));
    EXPECT_EQ(form.size(), QSize(413, 210));
    EXPECT_EQ(form.SbarR->geometry(), QRect(0, 190, 413, 20));
    EXPECT_FALSE(form.GridR->isVisibleTo(&form));
    EXPECT_EQ(form.Selection(), std::nullopt);
}

}  // namespace
