#include <gtest/gtest.h>

#include <QCoreApplication>

#include "QtPrint.h"
#include "QtText.h"
#include "Startup.h"
#include "Texts.h"

namespace {

struct DecodeCase {
    const char* name;
    std::string sjis;
    QString text;
};

class QtTextDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(QtTextDecode, BytesToWidgetText) {
    EXPECT_EQ(QtText::FromSjis(GetParam().sjis), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QtTextDecode,
    ::testing::Values(DecodeCase{"TrailByte5C", "\x90\x56\x8b\x4b\x97\x5c\x96\xf1",
                                 QString::fromUtf8("新規予約")},
                      DecodeCase{"Ascii", "http://rd-x4/", QStringLiteral("http://rd-x4/")},
                      DecodeCase{"HalfWidthKana", "\xb6\xc5", QString::fromUtf8("ｶﾅ")},
                      DecodeCase{"BadByteInTheMiddleKeepsTheRest",
                                 "a\xff"
                                 "b\x97\x5c",
                                 QString::fromUtf8("a\xEF\xBF\xBD"
                                                   "b予")},
                      DecodeCase{"LeadByteCutOffAtTheEnd", "ab\x97",
                                 QString::fromUtf8("ab\xEF\xBF\xBD")},
                      DecodeCase{"NulKept", std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
                      DecodeCase{"Empty", "", QString()}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(QtText, EncodeRoundTripsWhatDecodes) {
    const std::string sjis = "\x96\x7b\x91\xcc\x83\x70\x83\x58\x83\x8f\x81\x5b\x83\x68 RD-X4";
    EXPECT_EQ(QtText::ToSjis(QtText::FromSjis(sjis)), sjis);
}

TEST(QtText, CharacterShiftJisCannotHoldBecomesQuestionMark) {
    EXPECT_EQ(QtText::ToSjis(QString::fromUtf8("a\xC3\xA9"
                                               "b\xF0\x9F\x98\x80"
                                               "c")),
              "a?b?c");
}

TEST(QtText, LongTextIsConvertedWhole) {
    std::string sjis;
    for (int i = 0; i < 3000; ++i) sjis += "\x97\x5c";
    QString text = QtText::FromSjis(sjis);
    EXPECT_EQ(text.size(), 3000);
    EXPECT_EQ(QtText::ToSjis(text), sjis);
}

TEST(QtText, DisplayTurnsEveryLineBreakIntoOne) {
    EXPECT_EQ(QtText::ForDisplay("a\n\rb\r\nc\rd\ne\n\r\n\rf"),
              QStringLiteral("a\nb\nc\nd\ne\n\nf"));
}

TEST(QtText, StartUpSetsTheApplicationTitle) {
    ConfigureApplication();
    EXPECT_EQ(QCoreApplication::applicationName(), QString::fromUtf8("ZAVO RD-X4→X4RX コンバータ"));
}

TEST(QtText, TitleAndCaptionRead) {
    EXPECT_EQ(QtText::FromSjis(Texts::kAppTitle), QString::fromUtf8("ZAVO RD-X4→X4RX コンバータ"));
    EXPECT_EQ(QtText::FromSjis(Texts::kMainCaption),
              QString::fromUtf8("ZAVO RD-X4→X4EX コンバータ Ver.2"));
}

}  // namespace

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "MessageBox.h"

namespace {

// Runs the real box and inspects it from a timer, then answers it.
struct SeenBox {
    bool found = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// press NoButton: the box is answered with the Enter key.
SeenBox RunBox(MessageKind kind, const std::string& sjis, bool yesNo,
               QMessageBox::StandardButton press, bool& result, bool defaultNo = false) {
    SeenBox seen;
    int tries = 0;
    QTimer timer;
    timer.setInterval(10);
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
        if (press != QMessageBox::NoButton) {
            box->button(press)->click();
            return;
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    timer.start();
    result = ShowQtMessageBox(nullptr, kind, sjis, yesNo, defaultNo);
    return seen;
}

TEST(QtMessageBox, RecorderTextIsPlainText) {
    bool result = false;
    SeenBox seen =
        RunBox(MessageKind::Information, "00<b>\x97\x5c</b>\n\r01", false, QMessageBox::Ok, result);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QString::fromUtf8("00<b>予</b>\n01"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(result);
}

TEST(QtMessageBox, IconByKind) {
    bool result = false;
    EXPECT_EQ(RunBox(MessageKind::Error, "e", false, QMessageBox::Ok, result).icon,
              QMessageBox::Critical);
    EXPECT_EQ(RunBox(MessageKind::Confirmation, "c", false, QMessageBox::Ok, result).icon,
              QMessageBox::Question);
}

TEST(QtMessageBox, YesNoAnswers) {
    bool result = false;
    SeenBox seen = RunBox(MessageKind::Confirmation, "?", true, QMessageBox::No, result);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(result);
    RunBox(MessageKind::Confirmation, "?", true, QMessageBox::Yes, result);
    EXPECT_TRUE(result);
}

// The viewer's questions (swap the backup in) answer No to Enter; the others Yes.
TEST(QtMessageBox, EnterTakesTheDefaultAnswer) {
    for (bool defaultNo : {false, true}) {
        bool result = defaultNo;
        ASSERT_TRUE(
            RunBox(MessageKind::Confirmation, "?", true, QMessageBox::NoButton, result, defaultNo)
                .found);
        EXPECT_EQ(result, !defaultNo) << defaultNo;
    }
}

}  // namespace
