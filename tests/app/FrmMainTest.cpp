#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <filesystem>

#include "DesktopFit.h"
#include "FrmDisp.h"
#include "FrmGet.h"
#include "FrmMain.h"
#include "QtPrint.h"
#include "QtText.h"
#include "SpinEdit.h"
#include "SysFile.h"
#include "SysPath.h"
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
        QPushButton* button;
        const char* name;
        const char* caption;
    } cases[] = {{form.BitBtn1, "BitBtn1", "RD-X4の設定を取込"},
                 {form.BitBtn2, "BitBtn2", "取り込み内容を表示"},
                 {form.BitBtn3, "BitBtn3", "RD-X4EXに設定を復元"},
                 {form.BitBtn4, "BitBtn4", "終了"}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(cases[i].name);
        QPushButton* button = cases[i].button;
        EXPECT_EQ(button->objectName(), cases[i].name);
        EXPECT_EQ(button->text(), U(cases[i].caption));
        EXPECT_EQ(button->geometry(), QRect(0, 33 * i, 217, 33));
        EXPECT_FALSE(button->icon().isNull());
        if (i < 3) {
            EXPECT_EQ(button->nextInFocusChain(), cases[i + 1].button);
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
    const std::string question = QtText::ToSjis(
        U("この処理はX4EXにバージョンアップする前に取り込んだ各設定データを、\n\r\n\r"
          "X4EXに復元する処理です。X4EXにバージョンアップはお済みですか？\n\r\n\r"
          "またX4EX本体でチャンネル設定はお済みですか？\n\r\n\r"
          "以上の処理済んでいないと復元処理が正しく実行されません。\n\r"));
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
    EXPECT_FILE_MODE(form.SettingsPath, 0600u);
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
    for (const char* folder : {"data", "data/rd"}) {
        EXPECT_TRUE(Sys::IsFolder(dir.File(folder))) << folder;
        EXPECT_FILE_MODE(dir.File(folder), 0700u) << folder;
    }
    form.FormClose();
    EXPECT_FILE_MODE(form.SettingsPath, 0600u);
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

// The windows on a desktop: names for screen readers, labels whose text fits (run at 100 %,
// 150 % and 200 % through QT_SCALE_FACTOR), and Qt's own Japanese button texts.
using DesktopFit = FormMainTest;

// Every field has a name for screen readers; the viewer names the folder in use.
TEST_F(DesktopFit, EveryFieldAndTheFolderLineHaveAnAccessibleName) {
    ASSERT_TRUE(form.FormCreate());
    struct {
        QWidget* widget;
        const char* name;
    } cases[] = {
        {form.FormGet->EdtSIP, "RDの本体名またはIPアドレス"},
        {form.FormGet->EdtSUSER, "本体ユーザー名"},
        {form.FormGet->EdtSPASS, "本体パスワード"},
        {form.FormGet->EdtSPROXY, "プロキシサーバアドレス"},
        {form.FormGet->EdtSPORT, "プロキシのポート"},
        {form.FormDisp->SpinEdit1, "個別録画予約の番号"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.widget->accessibleName(), U(c.name)) << c.name;
    EXPECT_EQ(form.FormGet->EdtSIP->accessibleDescription(), U("例：(rd-x4)(192.168.1.2)"));
    EXPECT_EQ(form.FormGet->Label1->buddy(), form.FormGet->EdtSIP);

    form.FormDisp->show();
    // As the system writes paths ('\\' between the parts on Windows).
    QString folder = QString::fromStdString(Sys::ForDisplay(dir.Path()));
    EXPECT_TRUE(form.FormDisp->LblFolder->text().startsWith(U("保存先：")));
    EXPECT_EQ(form.FormDisp->LblFolder->toolTip(), folder);
    EXPECT_EQ(form.FormDisp->LblFolder->accessibleName(), U("保存先：") + folder);
    form.FormDisp->hide();
}

// Every label shows its whole text inside the window and covers no edit field.
void ExpectLabelsFit(QWidget& window) {
    window.show();
    for (QLabel* label : window.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->objectName().toStdString());
        QFontMetrics metrics(label->font());
        QRect inside = label->contentsRect();
        std::string text = label->text().toStdString();
        EXPECT_LE(metrics.horizontalAdvance(label->text()), inside.width()) << text;
        EXPECT_LE(metrics.height(), inside.height()) << text;
        EXPECT_TRUE(window.rect().contains(label->geometry())) << text;
        for (QLineEdit* edit : window.findChildren<QLineEdit*>()) {
            if (edit->parentWidget() != &window) continue;  // the spin box's own field
            EXPECT_FALSE(label->geometry().intersects(edit->geometry()))
                << edit->objectName().toStdString();
        }
    }
    window.hide();
}

TEST_F(DesktopFit, LabelsShowTheirWholeText) {
    ASSERT_TRUE(form.FormCreate());
    ExpectLabelsFit(*form.FormGet);
    ExpectLabelsFit(*form.FormDisp);
    EXPECT_EQ(form.FormGet->Label2->text(), U("例：(rd-x4)(192.168.1.2)"));
}

TEST_F(DesktopFit, StandardButtonsSpeakJapanese) {
    QTranslator* translator = LoadQtJapanese(*qApp);
    ASSERT_NE(translator, nullptr) << "Qt's Japanese translations are not installed";
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
    QString yes = box.button(QMessageBox::Yes)->text().remove('&');
    QString no = box.button(QMessageBox::No)->text().remove('&');
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_TRUE(yes.startsWith(U("はい"))) << yes.toStdString();
    EXPECT_TRUE(no.startsWith(U("いいえ"))) << no.toStdString();
}

}  // namespace
