#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "FrmDisp.h"
#include "QtKeys.h"
#include "QtPrint.h"
#include "RecordingView.h"
#include "SavedSet.h"
#include "SpinEdit.h"
#include "TestFiles.h"
#include "Texts.h"
#include "TransferSession.h"

namespace {

using namespace testsupport;
using Boxes = std::vector<RecordingView::Message>;
using Paths = std::vector<std::string>;

class FormDispTest : public ::testing::Test {
  protected:
    void SetUp() override {
        context.SetProgramDir(dir.Path());
        form.OpenFile = [this](const std::string& path) { opened.push_back(path); };
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            EXPECT_EQ(yesNo, kind == MessageKind::Confirmation);
            boxes.push_back({kind, text});
            return answer;
        };
    }
    void Save(const std::string& name) { WriteBytes(dir.File(name), "<html></html>\r\n"); }
    void SetSpinText(const QString& text) {
        form.SpinEdit1->findChild<QLineEdit*>()->setText(text);
    }
    // Every row of the table, its cells joined with "|".
    std::vector<QString> Rows() const {
        std::vector<QString> rows;
        for (int r = 0; r < form.StringGrid1->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < form.StringGrid1->columnCount(); ++c) {
                const QTableWidgetItem* item = form.StringGrid1->item(r, c);
                cells << (item ? item->text() : QString("(none)"));
            }
            rows.push_back(cells.join('|'));
        }
        return rows;
    }

    TempDir dir;
    TransferSession context;
    TFormDisp form{context};
    Paths opened;
    Boxes boxes;
    bool answer = false;
};

// "番目の録画予約はありません。"
const std::string kNoSuch =
    "\x94\xd4\x96\xda\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82"
    "\xb9\x82\xf1\x81\x42";

TEST_F(FormDispTest, LayoutTabOrderAndClose) {
    EXPECT_EQ(form.windowTitle(), U("RD-X4の取込内容の表示"));
    // The buttons and the table, then the line naming the folder in use.
    QRect folderLine = form.LblFolder->geometry();
    EXPECT_EQ(folderLine.top(), 300);
    EXPECT_EQ(form.size(), QSize(780, 300 + folderLine.height()));
    EXPECT_EQ(form.maximumSize(), form.size());
    EXPECT_EQ(form.font().family(), U("ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.font().pixelSize(), 16);
    struct {
        QWidget* widget;
        const char* text;
        QRect geometry;
    } cases[] = {
        {form.BitBtn1, "録画予約一覧", QRect(0, 0, 161, 33)},
        {form.BitBtn3, "個別録画予約", QRect(56, 33, 105, 33)},
        {form.SpinEdit1, nullptr, QRect(4, 36, 49, 26)},
        {form.BitBtn2, "チャンネル設定", QRect(0, 66, 161, 33)},
        {form.BitBtn4, "本体設定", QRect(0, 99, 161, 33)},
        {form.BitBtn5, "閉じる", QRect(0, 132, 161, 33)},
        {form.BitBtn6, "CSVに書き出し", QRect(0, 173, 161, 33)},
        {form.BitBtn7, "バックアップを戻す", QRect(0, 206, 161, 33)},
        {form.StringGrid1, nullptr, QRect(170, 30, 606, 266)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        if (c.text) {
            EXPECT_EQ(qobject_cast<QPushButton*>(c.widget)->text(), U(c.text));
        }
    }
    EXPECT_EQ(form.SpinEdit1->minimum(), 1);
    EXPECT_EQ(form.SpinEdit1->maximum(), 32);
    EXPECT_EQ(form.SpinEdit1->Value(), 1);
    EXPECT_EQ(form.SpinEdit1->findChild<QLineEdit*>()->maxLength(), 2);

    QWidget* order[] = {form.BitBtn1,   form.BitBtn2, form.BitBtn3,
                        form.SpinEdit1, form.BitBtn4, form.BitBtn5};
    for (int i = 0; i + 1 < 6; ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        // The spin field's own line edit follows it in the chain.
        while (next->focusPolicy() == Qt::NoFocus || next->parentWidget() == form.SpinEdit1)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }

    form.show();
    form.BitBtn5->click();
    EXPECT_FALSE(form.isVisible());
}

// Nothing captured yet: the fixed pages' buttons do nothing, the single reservation's says
// there is none. Once saved, each button opens its page.
TEST_F(FormDispTest, FixedPagesOpenWhenSaved) {
    form.BitBtn1Click();
    form.BitBtn2Click();
    form.BitBtn4Click();
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.empty());
    form.BitBtn3Click();
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(boxes, (Boxes{{MessageKind::Error, "1" + kNoSuch}}));

    boxes.clear();
    for (const char* name : {"ZAVOCVRV.HTM", "ZAVOCVCH.HTM", "ZAVOCVST.HTM"}) Save(name);
    form.BitBtn1->click();
    form.BitBtn2->click();
    form.BitBtn4->click();
    EXPECT_EQ(opened, (Paths{dir.File("ZAVOCVRV.HTM"), dir.File("ZAVOCVCH.HTM"),
                             dir.File("ZAVOCVST.HTM")}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FormDispTest, SpinValueChoosesTheReservationFile) {
    for (int i = 0; i < 7; ++i) Save(Texts::ReservationPageFile(i));
    Save("ZAVOCV31.HTM");
    // What is typed, and the index of the page opened or, negated, the number a message names.
    const std::pair<const char*, int> cases[] = {{"1", 0},   {"7", 6},  {"8", -8}, {"32", 31},
                                                 {"40", 31}, {"0", 0},  {"-5", 0}, {"", 0},
                                                 {"+.", 0},  {"+9", -9}};
    for (const auto& [text, result] : cases) {
        SCOPED_TRACE(text);
        opened.clear();
        boxes.clear();
        SetSpinText(U(text));
        form.BitBtn3Click();
        const bool found = result >= 0;
        const std::string page = (result < 10 ? "ZAVOCV0" : "ZAVOCV") + std::to_string(result);
        EXPECT_EQ(opened, found ? Paths{dir.File(page + ".HTM")} : Paths{});
        EXPECT_EQ(boxes, (found ? Boxes{}
                                : Boxes{{MessageKind::Error, std::to_string(-result) + kNoSuch}}));
    }
}

// Text that is no number counts as one; the value is held in range only when the field is
// left (or checked), and up and down stay within it.
TEST_F(FormDispTest, SpinValueTypedAndItsRange) {
    for (const char* text : {"", "-", "+", ".", "1."}) {
        SetSpinText(U(text));
        EXPECT_EQ(form.SpinEdit1->Value(), 1) << text;
    }
    SetSpinText(U("-7"));
    EXPECT_EQ(form.SpinEdit1->Value(), -7);
    form.SpinEdit1->CheckValue();
    EXPECT_EQ(form.SpinEdit1->Value(), 1);
    EXPECT_EQ(form.SpinEdit1->text(), U("1"));

    const struct {
        const char* text;
        int steps, value;
    } steps[] = {{"31", 1, 32}, {"31", 2, 32}, {"2", -2, 1}, {"-9", 1, 1}};
    for (const auto& c : steps) {
        SetSpinText(U(c.text));
        for (int i = 0; i < std::abs(c.steps); ++i) form.SpinEdit1->stepBy(c.steps > 0 ? 1 : -1);
        EXPECT_EQ(form.SpinEdit1->Value(), c.value) << c.text << " " << c.steps;
    }

    // Leaving the field holds the value in range; keys other than digits, signs and the
    // separator are dropped, and at most two characters are taken.
    form.show();
    form.activateWindow();
    ASSERT_TRUE(WaitForWindowActive(&form));
    form.SpinEdit1->setFocus();
    SetSpinText(U("99"));
    form.BitBtn1->setFocus();  // as a click on a button does
    EXPECT_EQ(form.SpinEdit1->text(), U("32"));
    form.SpinEdit1->setFocus();
    SetSpinText(U("-3"));
    form.BitBtn2->setFocus();
    EXPECT_EQ(form.SpinEdit1->text(), U("1"));

    QLineEdit* edit = form.SpinEdit1->findChild<QLineEdit*>();
    form.SpinEdit1->setFocus();
    edit->clear();
    // Keys typed one after the other ('\b' Backspace, '\r' Return), and what the field holds.
    const std::pair<const char*, const char*> typed[] = {
        {"a1", "1"}, {"\b-x", "-"}, {"\b+3", "+3"}, {"\r", "+3"}, {"9", "+3"}};
    for (const auto& [keys, text] : typed) {
        KeyClicks(form.SpinEdit1, keys);
        EXPECT_EQ(edit->text(), U(text)) << keys;
    }
}

// A reservation page as the recorder serves it: 12/08(火) 21:00-23:15, 8ch, XP,
// "予約表テスト 映画", to be recorded.
std::string WholePage() {
    return ReadBytes(ZAVO_ENTRY_PAGES_DIR "/basic_crlf.htm");
}

const QString kWholeRow = U("|ON|12/08(火)|21:00|23:15|8ch|XP|予約表テスト 映画|");

// Every saved page in the table, damaged ones marked; the table exported as UTF-8 CSV.
TEST_F(FormDispTest, TableShowsEverySavedPageAndCsvExportWritesIt) {
    form.Refresh();
    EXPECT_EQ(form.Label1->text(), U("保存されている予約はありません。"));
    EXPECT_EQ(form.StringGrid1->rowCount(), 0);

    WriteBytes(dir.File("ZAVOCV00.HTM"), WholePage());
    const std::string csv = dir.File("table.csv");
    std::string chosen;
    form.ChooseCsvPath = [&] { return chosen; };
    form.BitBtn6->click();  // cancelled: nothing written
    EXPECT_FALSE(std::filesystem::exists(csv));
    chosen = csv;
    form.BitBtn6->click();
    EXPECT_EQ(ReadBytes(csv),
              "\xEF\xBB\xBF"
              "番号,実行,日付,開始,終了,チャンネル・入力,録画モード,番組名,備考\r\n"
              "1,ON,12/08(火),21:00,23:15,8ch,XP,予約表テスト 映画,\r\n");
    EXPECT_TRUE(boxes.empty());
    // A folder that does not exist: the box names the file.
    chosen = dir.File("missing/table.csv");
    form.BitBtn6->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Box, MessageKind::Error);
    EXPECT_NE(boxes[0].Text.find(chosen), std::string::npos) << boxes[0].Text;
    boxes.clear();

    WriteBytes(dir.File("ZAVOCV02.HTM"), std::string("\x00\x01\xff binary", 10));
    WriteBytes(dir.File("ZAVOCV03.HTM"), WholePage().substr(0, 300));
    form.show();  // reads the pages again
    EXPECT_EQ(form.Label1->text(),
              U("保存されている予約：3件  うち2件のページは項目が欠けています（×印）。"));
    const std::vector<QString> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "1|" + kWholeRow);
    EXPECT_TRUE(
        rows[1].startsWith(U("×3||OFF||--:--|--:--||||テキストではないデータを含んでいます。")))
        << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith(U("×4||ON|"))) << rows[2].toStdString();
    EXPECT_TRUE(rows[2].contains(U("途中で切れています。"))) << rows[2].toStdString();
    EXPECT_NE(form.StringGrid1->item(1, 0)->background(),
              form.StringGrid1->item(0, 0)->background());
    EXPECT_TRUE(boxes.empty());
}

// The backup comes back only on Yes to a question naming both counts; it swaps with the set.
TEST_F(FormDispTest, BackupSwapsWithTheSetOnlyOnYes) {
    form.BitBtn7->click();
    EXPECT_EQ(boxes, (Boxes{{MessageKind::Information, Texts::kNoBackup}}));

    const std::string backup = SavedSet::BackupDir(context.ProgramDir);
    std::filesystem::create_directory(backup);
    for (const char* name : {"ZAVOCVRV.HTM", "ZAVOCVST.HTM", "ZAVOCVCH.HTM"}) {
        WriteBytes(dir.File(name), std::string("current ") + name);
        WriteBytes(backup + name, std::string("backup ") + name);
    }
    WriteBytes(dir.File("ZAVOCV00.HTM"), "current 0");
    WriteBytes(dir.File("ZAVOCV01.HTM"), "current 1");
    WriteBytes(backup + "ZAVOCV00.HTM", WholePage());
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        boxes.clear();
        answer = yes;
        form.BitBtn7->click();
        EXPECT_EQ(boxes, (Boxes{{MessageKind::Confirmation, Texts::RestoreBackupQuestion(1, 2)}}));
    }
    // After Yes: the backup's set in place (its later page gone), the earlier one as backup.
    EXPECT_EQ(ReadBytes(dir.File("ZAVOCV00.HTM")), WholePage());
    EXPECT_FALSE(std::filesystem::exists(dir.File("ZAVOCV01.HTM")));
    EXPECT_EQ(ReadBytes(dir.File("ZAVOCVST.HTM")), "backup ZAVOCVST.HTM");
    EXPECT_EQ(ReadBytes(backup + "ZAVOCV01.HTM"), "current 1");
    EXPECT_EQ(ReadBytes(backup + "ZAVOCVST.HTM"), "current ZAVOCVST.HTM");
    EXPECT_EQ(Rows(), std::vector<QString>{"1|" + kWholeRow});
}

}  // namespace
