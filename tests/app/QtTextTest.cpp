#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "MessageBox.h"
#include "QtKeys.h"
#include "QtPrint.h"
#include "QtText.h"
#include "Startup.h"
#include "Texts.h"

namespace {

TEST(QtText, BytesToWidgetText) {
    const struct {
        const char* name;
        std::string sjis;
        QString text;
    } cases[] = {
        {"TrailByte5C", "\x90\x56\x8b\x4b\x97\x5c\x96\xf1", U("新規予約")},
        {"Ascii", "http://rd-x4/", U("http://rd-x4/")},
        {"HalfWidthKana", "\xb6\xc5", U("ｶﾅ")},
        {"BadByteInTheMiddleKeepsTheRest", "a\xff\x62\x97\x5c", U("a\uFFFDb予")},
        {"LeadByteCutOffAtTheEnd", "ab\x97", U("ab\uFFFD")},
        {"NulKept", std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
        {"Empty", "", QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(QtText::FromSjis(c.sjis), c.text) << c.name;
}

// What decodes encodes back, however long; a character Shift-JIS cannot hold becomes "?".
TEST(QtText, WidgetTextToBytes) {
    const std::string sjis = "\x96\x7b\x91\xcc\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68 RD-X4";
    EXPECT_EQ(QtText::ToSjis(QtText::FromSjis(sjis)), sjis);
    std::string longText;
    for (int i = 0; i < 3000; ++i) longText += "\x97\x5c";
    const QString text = QtText::FromSjis(longText);
    EXPECT_EQ(text.size(), 3000);
    EXPECT_EQ(QtText::ToSjis(text), longText);
    EXPECT_EQ(QtText::ToSjis(U("a\u00E9b\U0001F600c")), "a?b?c");
}

TEST(QtText, DisplayTurnsEveryLineBreakIntoOne) {
    EXPECT_EQ(QtText::ForDisplay("a\n\rb\r\nc\rd\ne\n\r\n\rf"),
              QStringLiteral("a\nb\nc\nd\ne\n\nf"));
}

TEST(QtText, StartUpSetsTheApplicationTitle) {
    ConfigureApplication();
    EXPECT_EQ(QCoreApplication::applicationName(), U("ZAVO RD-X4→X4RX コンバータ"));
}

// Runs the real box and inspects it from a timer, then answers it: with the button `press`,
// or with the Enter key when that is NoButton.
struct SeenBox {
    bool found = false, result = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

SeenBox RunBox(MessageKind kind, const std::string& sjis, bool yesNo,
               QMessageBox::StandardButton press, bool defaultNo = false) {
    SeenBox seen;
    int tries = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++tries > 300) timer.stop();
            return;
        }
        timer.stop();
        seen.found = true;
        seen.format = box->textFormat();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        if (press != QMessageBox::NoButton)
            box->button(press)->click();
        else
            KeyClick(box, Qt::Key_Return);
    });
    timer.start(10);
    seen.result = ShowQtMessageBox(nullptr, kind, sjis, yesNo, defaultNo);
    return seen;
}

TEST(QtMessageBox, RecorderTextIsPlainText) {
    const SeenBox seen =
        RunBox(MessageKind::Information, "00<b>\x97\x5c</b>\n\r01", false, QMessageBox::Ok);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, U("00<b>予</b>\n01"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(seen.result);
}

// The icon follows the kind; a question has Yes and No and answers the one pressed.
TEST(QtMessageBox, IconByKindAndYesNoAnswers) {
    EXPECT_EQ(RunBox(MessageKind::Error, "e", false, QMessageBox::Ok).icon, QMessageBox::Critical);
    EXPECT_EQ(RunBox(MessageKind::Confirmation, "c", false, QMessageBox::Ok).icon,
              QMessageBox::Question);
    const SeenBox no = RunBox(MessageKind::Confirmation, "?", true, QMessageBox::No);
    EXPECT_EQ(no.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(no.result);
    EXPECT_TRUE(RunBox(MessageKind::Confirmation, "?", true, QMessageBox::Yes).result);
}

// The viewer's questions (swap the backup in) answer No to Enter; the others Yes.
TEST(QtMessageBox, EnterTakesTheDefaultAnswer) {
    for (bool defaultNo : {false, true}) {
        const SeenBox seen =
            RunBox(MessageKind::Confirmation, "?", true, QMessageBox::NoButton, defaultNo);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.result, !defaultNo) << defaultNo;
    }
}

}  // namespace
