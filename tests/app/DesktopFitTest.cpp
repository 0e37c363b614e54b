// The windows on a desktop: names for screen readers, labels whose text fits (run at 100 %,
// 150 % and 200 % through QT_SCALE_FACTOR), and Qt's own Japanese button texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "DesktopFit.h"
#include "FrmDisp.h"
#include "FrmGet.h"
#include "FrmMain.h"
#include "QtPrint.h"
#include "SpinEdit.h"
#include "TestFiles.h"

namespace {

using testsupport::TempDir;

class DesktopFit : public ::testing::Test {
  protected:
    void SetUp() override {
        form.SettingsPath = dir.File("zavoconv.INI");
        ASSERT_TRUE(form.FormCreate());
    }

    TempDir dir;
    TFormMain form;
};

// Every field has a name for screen readers; the viewer names the folder in use.
TEST_F(DesktopFit, EveryFieldAndTheFolderLineHaveAnAccessibleName) {
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
    QString folder = QString::fromStdString(dir.Path());
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
