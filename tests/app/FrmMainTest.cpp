#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "FrmDisp.h"
#include "FrmGet.h"
#include "FrmMain.h"
#include "QtPrint.h"
#include "QtText.h"
#include "TestFiles.h"
#include "Texts.h"

namespace {

using namespace testsupport;

struct Box {
    MessageKind Kind;
    std::string Text;
    bool YesNo;
    bool operator==(const Box&) const = default;
};

// A main window whose boxes, dialogs and program end are recorded instead of shown.
class FormMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form.SettingsPath = dir.File("zavoconv.INI");
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            boxes.push_back({kind, text, yesNo});
            return answer;
        };
        form.Terminate = [this] { ++terminated; };
        form.ShowModal = [this](QDialog& dialog) { shown.push_back(&dialog); };
    }
    // The five fields of the transfer dialog.
    std::vector<QString> Fields() const {
        const TFormGet& get = *form.FormGet;
        return {get.EdtSIP->text(), get.EdtSUSER->text(), get.EdtSPASS->text(),
                get.EdtSPROXY->text(), get.EdtSPORT->text()};
    }
    void ExpectOneError(const std::string& text) {
        EXPECT_EQ(boxes, (std::vector<Box>{{MessageKind::Error, text, false}}));
        EXPECT_EQ(terminated, 1);
    }

    TempDir dir;
    TFormMain form;
    std::vector<Box> boxes;
    std::vector<QDialog*> shown;
    int terminated = 0;
    bool answer = true;
};

TEST_F(FormMainTest, WindowAndItsFourButtonsStackedInTabOrder) {
    EXPECT_EQ(form.windowTitle(), U("ZAVO RD-X4→X4EX コンバータ Ver.2"));
    EXPECT_EQ(form.size(), QSize(238, 133));
    EXPECT_EQ(form.minimumSize(), QSize(238, 133));
    EXPECT_EQ(form.maximumSize(), QSize(238, 133));
    EXPECT_EQ(form.windowFlags() & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                    Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    EXPECT_EQ(form.font().family(), U("ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.font().pixelSize(), 16);

    const struct {
        const char* name;
        const char* caption;
        int y;
    } cases[] = {{"BitBtn1", "RD-X4の設定を取込", 0},
                 {"BitBtn2", "取り込み内容を表示", 33},
                 {"BitBtn3", "RD-X4EXに設定を復元", 66},
                 {"BitBtn4", "終了", 99}};
    QPushButton* buttons[] = {form.BitBtn1, form.BitBtn2, form.BitBtn3, form.BitBtn4};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(buttons[i]->objectName(), cases[i].name);
        EXPECT_EQ(buttons[i]->text(), U(cases[i].caption));
        EXPECT_EQ(buttons[i]->geometry(), QRect(0, cases[i].y, 217, 33));
        EXPECT_FALSE(buttons[i]->icon().isNull());
        if (i < 3) {
            EXPECT_EQ(buttons[i]->nextInFocusChain(), buttons[i + 1]);
        }
    }
}

// Without a settings file the dialog shows the defaults. The buttons open the viewer and the
// transfer dialog; the restore only after Yes to its confirmation, and the capture button
// turns the dialog back to capture. The end button writes all five keys.
TEST_F(FormMainTest, ButtonsOpenTheDialogsAndEndWritesTheDefaults) {
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.Session.ProgramDir, dir.Path());
    EXPECT_EQ(form.Session.PostDataPath, dir.File("Reserv.txt"));
    EXPECT_FALSE(std::filesystem::exists(form.SettingsPath));
    form.show();
    form.BitBtn2->click();
    form.BitBtn1->click();
    EXPECT_EQ(shown, (std::vector<QDialog*>{form.FormDisp, form.FormGet}));
    EXPECT_EQ(Fields(), (std::vector<QString>{U("rd-x4"), "", "", "", ""}));
    EXPECT_TRUE(boxes.empty());

    answer = false;
    form.BitBtn3Click();
    EXPECT_EQ(shown.size(), 2u);
    answer = true;
    form.BitBtn3Click();
    const std::string brk = "\n\r";
    const std::string question =
        QtText::ToSjis(U("この処理はX4EXにバージョンアップする前に取り込んだ各設定データを、")) +
        brk + brk +
        QtText::ToSjis(U("X4EXに復元する処理です。X4EXにバージョンアップはお済みですか？")) + brk +
        brk + QtText::ToSjis(U("またX4EX本体でチャンネル設定はお済みですか？")) + brk + brk +
        QtText::ToSjis(U("以上の処理済んでいないと復元処理が正しく実行されません。")) + brk;
    EXPECT_EQ(boxes, (std::vector<Box>(2, {MessageKind::Confirmation, question, true})));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2], form.FormGet);
    EXPECT_EQ(form.FormGet->windowTitle(), U("RD-X4EXに設定を復元"));
    EXPECT_EQ(form.FormGet->BitBtn1->text(), U("復元開始"));
    form.BitBtn1Click();
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_EQ(form.FormGet->windowTitle(), U("RD-X4の設定取込"));
    EXPECT_EQ(form.FormGet->BitBtn1->text(), U("取込開始"));

    form.BitBtn4->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ReadBytes(form.SettingsPath),
              "[RD]\r\nRDIP=rd-x4\r\nRDUSER=\r\nRDPASS=\r\nRDPROXY=\r\nRDPORT=\r\n");
    EXPECT_EQ(ModeOf(form.SettingsPath), 0600u);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(terminated, 0);
}

// The settings file fills the dialog's fields; what the user typed there is saved at exit,
// the file's other sections kept.
TEST_F(FormMainTest, SettingsLoadedIntoTheDialogAndWhatTheUserTypedSavedAtExit) {
    WriteBytes(form.SettingsPath,
               "[RD]\r\nRDIP=host:81\r\nRDUSER=\x83\x86\r\nRDPASS=pw\r\nRDPROXY=px\r\n"
               "RDPORT=8080\r\n[Keep]\r\nX=1\r\n");
    ASSERT_TRUE(form.FormCreate());
    form.BitBtn1Click();
    EXPECT_EQ(Fields(), (std::vector<QString>{"host:81", U("ユ"), "pw", "px", "8080"}));
    form.FormGet->EdtSIP->setText(U("192.168.0.10"));
    form.FormGet->EdtSPASS->setText(U("予約"));
    form.FormGet->show();
    form.FormGet->close();  // closing copies the fields back
    QCloseEvent close;
    QApplication::sendEvent(&form, &close);
    EXPECT_EQ(ReadBytes(form.SettingsPath),
              "[RD]\r\nRDIP=192.168.0.10\r\nRDUSER=\x83\x86\r\nRDPASS=\x97\x5c\x96\xf1\r\n"
              "RDPROXY=px\r\nRDPORT=8080\r\n[Keep]\r\nX=1\r\n");
}

TEST_F(FormMainTest, FailedSaveShowsCannotWriteAndEndsTheProgram) {
    form.SettingsPath = dir.File("missing/zavoconv.INI");
    ASSERT_TRUE(form.FormCreate());  // a missing file is no error
    form.FormClose();
    ExpectOneError(form.SettingsPath +
                   " \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1");
}

TEST_F(FormMainTest, UnreadableSettingsFileShowsTheErrorAndEndsTheProgram) {
    std::filesystem::create_directory(form.SettingsPath);
    EXPECT_FALSE(form.FormCreate());
    ExpectOneError("\x83\x74\x83\x40\x83\x43\x83\x8b " + form.SettingsPath +
                   " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1");
    form.FormClose();  // nothing loaded: nothing written over the unreadable file
    EXPECT_TRUE(std::filesystem::is_directory(form.SettingsPath));
}

TEST_F(FormMainTest, DataDirOptionHoldsSettingsPagesAndHeader) {
    form.SettingsPath.clear();
    form.DataDirOption = dir.File("data/rd");
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form.Location.Kind, LocationKind::Chosen);
    EXPECT_EQ(form.Session.ProgramDir, dir.File("data/rd/"));
    EXPECT_EQ(form.Session.PostDataPath, dir.File("data/rd/Reserv.txt"));
    EXPECT_EQ(form.SettingsPath, dir.File("data/rd/app_widget_tests.INI"));
    EXPECT_EQ(form.Session.HttpClient1.Header, dir.File("data/rd/Head.txt"));
    EXPECT_EQ(ModeOf(dir.File("data")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("data/rd")), 0700u);
    form.FormClose();
    EXPECT_EQ(ModeOf(form.SettingsPath), 0600u);
}

TEST_F(FormMainTest, UnusableDataDirShowsTheErrorAndTouchesNothing) {
    WriteBytes(dir.File("file"), "x");
    form.SettingsPath.clear();
    form.DataDirOption = dir.File("file/rd");
    EXPECT_FALSE(form.FormCreate());
    // "フォルダ %s を作成できません"
    ExpectOneError("\x83\x74\x83\x48\x83\x8b\x83\x5f " + dir.File("file/rd/") +
                   " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
    form.FormClose();
    EXPECT_EQ(ReadBytes(dir.File("file")), "x");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"file"});  // no folder, no settings file
}

}  // namespace
