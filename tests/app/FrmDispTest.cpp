#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "FrmDisp.h"
#include "QtPrint.h"
#include "ReservationTable.h"
#include "SavedSet.h"
#include "SpinEdit.h"
#include "TestFiles.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

class FormDispTest : public ::testing::Test {
  protected:
    void SetUp() override {
        context.SetProgramDir(dir.Path());
        form.OpenFile = [this](const std::string& path) { opened.push_back(path); };
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            EXPECT_EQ(kind, MessageKind::Error);
            EXPECT_FALSE(yesNo);
            boxes.push_back(text);
            return true;
        };
    }
    void Save(const std::string& name) { WriteBytes(dir.File(name), "<html></html>\r\n"); }
    void SetSpinText(const QString& text) {
        form.SpinEdit1->findChild<QLineEdit*>()->setText(text);
    }

    TempDir dir;
    TransferSession context;
    TFormDisp form{context};
    std::vector<std::string> opened;
    std::vector<std::string> boxes;
};

// "番目の録画予約はありません。"
const std::string kNoSuch =
    "\x94\xd4\x96\xda\x82\xcc\x98\x5e\x89\xe6\x97\x5c\x96\xf1\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82"
    "\xb9\x82\xf1\x81\x42";

TEST_F(FormDispTest, Layout) {
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
}

TEST_F(FormDispTest, TabOrder) {
    QWidget* order[] = {form.BitBtn1,   form.BitBtn2, form.BitBtn3,
                        form.SpinEdit1, form.BitBtn4, form.BitBtn5};
    for (int i = 0; i + 1 < 6; ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        // The spin field's own line edit follows it in the chain.
        while (next->focusPolicy() == Qt::NoFocus || next->parentWidget() == form.SpinEdit1)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }
}

TEST_F(FormDispTest, NothingCapturedYet) {
    form.BitBtn1Click();
    form.BitBtn2Click();
    form.BitBtn4Click();
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.empty());
    form.BitBtn3Click();
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "1" + kNoSuch);
}

TEST_F(FormDispTest, FixedPagesOpenWhenSaved) {
    Save("ZAVOCVRV.HTM");
    Save("ZAVOCVCH.HTM");
    Save("ZAVOCVST.HTM");
    form.BitBtn1->click();
    form.BitBtn2->click();
    form.BitBtn4->click();
    const std::vector<std::string> expected = {dir.File("ZAVOCVRV.HTM"), dir.File("ZAVOCVCH.HTM"),
                                               dir.File("ZAVOCVST.HTM")};
    EXPECT_EQ(opened, expected);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FormDispTest, SpinValueChoosesTheReservationFile) {
    for (int i = 0; i < 7; ++i) Save(Texts::ReservationPageFile(i));
    Save("ZAVOCV31.HTM");
    struct {
        const char* text;
        std::string opened;  // empty: the message for that number
        const char* number;
    } cases[] = {
        {"1", "ZAVOCV00.HTM", ""},
        {"7", "ZAVOCV06.HTM", ""},
        {"8", "", "8"},
        {"32", "ZAVOCV31.HTM", ""},
        {"40", "ZAVOCV31.HTM", ""},
        {"0", "ZAVOCV00.HTM", ""},
        {"-5", "ZAVOCV00.HTM", ""},
        {"", "ZAVOCV00.HTM", ""},
        {"+.", "ZAVOCV00.HTM", ""},
        {"+9", "", "9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        opened.clear();
        boxes.clear();
        SetSpinText(U(c.text));
        form.BitBtn3Click();
        if (c.opened.empty()) {
            EXPECT_TRUE(opened.empty());
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], c.number + kNoSuch);
        } else {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0], dir.File(c.opened));
            EXPECT_TRUE(boxes.empty());
        }
    }
}

TEST_F(FormDispTest, TextThatIsNoNumberCountsAsOne) {
    for (const char* text : {"", "-", "+", ".", "1."}) {
        SetSpinText(U(text));
        EXPECT_EQ(form.SpinEdit1->Value(), 1) << text;
    }
    SetSpinText(U("-7"));
    EXPECT_EQ(form.SpinEdit1->Value(), -7);  // held in range only when the field is left
    form.SpinEdit1->CheckValue();
    EXPECT_EQ(form.SpinEdit1->Value(), 1);
    EXPECT_EQ(form.SpinEdit1->text(), U("1"));
}

TEST_F(FormDispTest, KeysOtherThanDigitsSignsAndSeparatorAreDropped) {
    form.show();
    QLineEdit* edit = form.SpinEdit1->findChild<QLineEdit*>();
    form.SpinEdit1->setFocus();
    edit->clear();
    QTest::keyClicks(form.SpinEdit1, "a1");
    EXPECT_EQ(edit->text(), U("1"));
    QTest::keyClick(form.SpinEdit1, Qt::Key_Backspace);
    QTest::keyClicks(form.SpinEdit1, "-x");
    EXPECT_EQ(edit->text(), U("-"));
    QTest::keyClick(form.SpinEdit1, Qt::Key_Backspace);
    QTest::keyClicks(form.SpinEdit1, "+3");
    EXPECT_EQ(edit->text(), U("+3"));
    QTest::keyClick(form.SpinEdit1, Qt::Key_Return);
    EXPECT_EQ(edit->text(), U("+3"));
    QTest::keyClicks(form.SpinEdit1, "9");  // at most two characters
    EXPECT_EQ(edit->text(), U("+3"));
}

TEST_F(FormDispTest, LeavingTheFieldHoldsTheValueInRange) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.SpinEdit1->setFocus();
    SetSpinText(U("99"));
    form.BitBtn1->setFocus();  // as a click on a button does
    EXPECT_EQ(form.SpinEdit1->text(), U("32"));
    form.SpinEdit1->setFocus();
    SetSpinText(U("-3"));
    form.BitBtn2->setFocus();
    EXPECT_EQ(form.SpinEdit1->text(), U("1"));
}

TEST_F(FormDispTest, UpAndDownStayWithinRange) {
    SetSpinText(U("31"));
    form.SpinEdit1->stepBy(1);
    EXPECT_EQ(form.SpinEdit1->Value(), 32);
    form.SpinEdit1->stepBy(1);
    EXPECT_EQ(form.SpinEdit1->Value(), 32);
    SetSpinText(U("2"));
    form.SpinEdit1->stepBy(-1);
    form.SpinEdit1->stepBy(-1);
    EXPECT_EQ(form.SpinEdit1->Value(), 1);
    SetSpinText(U("-9"));
    form.SpinEdit1->stepBy(1);
    EXPECT_EQ(form.SpinEdit1->Value(), 1);
}

TEST_F(FormDispTest, CloseButtonHidesTheDialog) {
    form.show();
    form.BitBtn5->click();
    EXPECT_FALSE(form.isVisible());
}

// A reservation page as the recorder serves it: 12/08(火) 21:00-23:15, 8ch, XP,
// "予約表テスト 映画", to be recorded.
std::string WholePage() {
    QFile file(QString::fromUtf8(ZAVO_ENTRY_PAGES_DIR "/basic_crlf.htm"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

class FormDispTableTest : public FormDispTest {
  protected:
    void SetUp() override {
        FormDispTest::SetUp();
        form.ShowBox = [this](MessageKind kind, const std::string& text, bool yesNo) {
            shown.push_back({kind, text, yesNo});
            return answer;
        };
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = form.StringGrid1->item(row, column);
        return item ? item->text() : QString("(none)");
    }
    // Every row of the table, its cells joined with "|".
    std::vector<QString> Rows() const {
        std::vector<QString> rows;
        for (int r = 0; r < form.StringGrid1->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < form.StringGrid1->columnCount(); ++c) cells << Cell(r, c);
            rows.push_back(cells.join('|'));
        }
        return rows;
    }
    std::string Read(const std::string& path) const {
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        return file.readAll().toStdString();
    }
    struct Shown {
        MessageKind kind;
        std::string text;
        bool yesNo;
    };
    std::vector<Shown> shown;
    bool answer = false;
};

const QString kWholeRow = U("|ON|12/08(火)|21:00|23:15|8ch|XP|予約表テスト 映画|");

TEST_F(FormDispTableTest, TableShowsEverySavedPageAndMarksDamagedOnes) {
    form.Refresh();
    EXPECT_EQ(form.Label1->text(), U("保存されている予約はありません。"));
    EXPECT_EQ(form.StringGrid1->rowCount(), 0);

    WriteBytes(dir.File("ZAVOCV00.HTM"), WholePage());
    WriteBytes(dir.File("ZAVOCV02.HTM"), std::string("\x00\x01\xff binary", 10));
    WriteBytes(dir.File("ZAVOCV03.HTM"), WholePage().substr(0, 300));
    form.show();  // reads the pages again
    EXPECT_EQ(form.Label1->text(),
              U("保存されている予約：3件  うち2件のページは項目が欠けています（×印）。"));
    const std::vector<QString> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "1" + kWholeRow);
    EXPECT_TRUE(
        rows[1].startsWith(U("×3|OFF||--:--|--:--||||テキストではないデータを含んでいます。")))
        << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith(U("×4|ON|"))) << rows[2].toStdString();
    EXPECT_TRUE(rows[2].contains(U("途中で切れています。"))) << rows[2].toStdString();
    EXPECT_NE(form.StringGrid1->item(1, 0)->background(),
              form.StringGrid1->item(0, 0)->background());
    EXPECT_TRUE(shown.empty());
}

TEST_F(FormDispTableTest, CsvExportWritesTheTableAsUtf8) {
    WriteBytes(dir.File("ZAVOCV00.HTM"), WholePage());
    const std::string csv = dir.File("table.csv");
    std::string chosen;
    form.ChooseCsvPath = [&] { return chosen; };
    form.BitBtn6->click();  // cancelled: nothing written
    EXPECT_FALSE(std::filesystem::exists(csv));
    chosen = csv;
    form.BitBtn6->click();
    EXPECT_EQ(Read(csv),
              "\xEF\xBB\xBF"
              "番号,実行,日付,開始,終了,チャンネル・入力,録画モード,番組名,備考\r\n"
              "1,ON,12/08(火),21:00,23:15,8ch,XP,予約表テスト 映画,\r\n");
    EXPECT_TRUE(shown.empty());
    // A folder that does not exist: the box names the file.
    chosen = dir.File("missing/table.csv");
    form.BitBtn6->click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Error);
    EXPECT_NE(shown[0].text.find(chosen), std::string::npos) << shown[0].text;
}

// The backup comes back only on Yes to a question naming both counts; it swaps with the set.
TEST_F(FormDispTableTest, BackupSwapsWithTheSetOnlyOnYes) {
    form.BitBtn7->click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Information);
    EXPECT_EQ(shown[0].text, Texts::kNoBackup);

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
        shown.clear();
        answer = yes;
        form.BitBtn7->click();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, MessageKind::Confirmation);
        EXPECT_TRUE(shown[0].yesNo);
        EXPECT_EQ(shown[0].text, Texts::RestoreBackupQuestion(1, 2));
    }
    // After Yes: the backup's set in place (its later page gone), the earlier one as backup.
    EXPECT_EQ(Read(dir.File("ZAVOCV00.HTM")), WholePage());
    EXPECT_FALSE(std::filesystem::exists(dir.File("ZAVOCV01.HTM")));
    EXPECT_EQ(Read(dir.File("ZAVOCVST.HTM")), "backup ZAVOCVST.HTM");
    EXPECT_EQ(Read(backup + "ZAVOCV01.HTM"), "current 1");
    EXPECT_EQ(Read(backup + "ZAVOCVST.HTM"), "current ZAVOCVST.HTM");
    EXPECT_EQ(Rows(), std::vector<QString>{"1" + kWholeRow});
}

}  // namespace
