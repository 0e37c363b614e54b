#include "FrmDisp.h"

#include <sys/stat.h>

#include <QDesktopServices>
#include <QFile>
#include <QPushButton>
#include <QUrl>

#include "QtText.h"
#include "SpinEdit.h"
#include "Texts.h"
#include "TransferSession.h"

namespace {

// Text only: the captions need the whole width of these narrow buttons.
QPushButton* MakeButton(QWidget* parent, const char* text, int x, int y, int w, int h,
                        const char* name) {
    auto* button = new QPushButton(QtText::FromSjis(text), parent);
    button->setObjectName(name);
    button->setGeometry(x, y, w, h);
    button->setAutoDefault(false);
    return button;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

TFormDisp::TFormDisp(const TransferSession& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context) {
    setObjectName("FormDisp");
    setWindowTitle(QtText::FromSjis(Texts::kDispCaption));
    QFont font(QtText::FromSjis(Texts::kFontPGothic));
    font.setPixelSize(16);
    setFont(font);
    setFixedSize(168, 166);

    BitBtn1 = MakeButton(this, Texts::kDispBtnList, 0, 0, 161, 33, "BitBtn1");
    BitBtn3 = MakeButton(this, Texts::kDispBtnReservation, 56, 33, 105, 33, "BitBtn3");
    SpinEdit1 = new TSpinEdit(1, Texts::kMaxReservations, 2, this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setGeometry(4, 36, 49, 26);
    BitBtn2 = MakeButton(this, Texts::kDispBtnChannel, 0, 66, 161, 33, "BitBtn2");
    BitBtn4 = MakeButton(this, Texts::kDispBtnSetup, 0, 99, 161, 33, "BitBtn4");
    BitBtn5 = MakeButton(this, Texts::kDispBtnClose, 0, 132, 161, 33, "BitBtn5");

    QWidget::setTabOrder(BitBtn1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn3);
    QWidget::setTabOrder(BitBtn3, SpinEdit1);
    QWidget::setTabOrder(SpinEdit1, BitBtn4);
    QWidget::setTabOrder(BitBtn4, BitBtn5);

    OpenFile = [](const std::string& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(
            QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())))));
    };
    ShowBox = [this](MessageKind kind, const std::string& sjis, bool yesNo) {
        return ShowQtMessageBox(this, kind, sjis, yesNo);
    };

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { close(); });
}

bool TFormDisp::OpenIfExists(const std::string& name) {
    std::string path = context_.ProgramDir + name;
    if (!FileExists(path)) return false;
    if (OpenFile) OpenFile(path);
    return true;
}

void TFormDisp::BitBtn1Click() {
    OpenIfExists(Texts::kListPageFile);
}

void TFormDisp::BitBtn2Click() {
    OpenIfExists(Texts::kChannelPageFile);
}

void TFormDisp::BitBtn3Click() {
    // A click normally takes the focus from the field, which holds its value in range; do the
    // same here for a click that did not.
    SpinEdit1->CheckValue();
    int n = SpinEdit1->Value();
    if (!OpenIfExists(Texts::ReservationPageFile(n - 1)) && ShowBox)
        ShowBox(MessageKind::Error, Texts::NoSuchReservationMessage(n), false);
}

void TFormDisp::BitBtn4Click() {
    OpenIfExists(Texts::kSetupPageFile);
}
