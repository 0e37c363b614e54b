#include "FrmDisp.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "DataLocation.h"
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
    // The form's own font where the desktop has it, else the desktop's font.
    QFont font = QApplication::font();
    font.setFamilies({QtText::FromSjis(Texts::kFontPGothic), QApplication::font().family()});
    font.setPixelSize(16);
    setFont(font);

    // Below the buttons, one line in the desktop's own font names the folder in use.
    LblFolder = new QLabel(this);
    LblFolder->setObjectName("LblFolder");
    LblFolder->setTextFormat(Qt::PlainText);
    LblFolder->setFont(QApplication::font());
    LblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    int lineHeight = QFontMetrics(LblFolder->font()).height() + 4;
    LblFolder->setGeometry(4, 166, 160, lineHeight);
    setFixedSize(168, 166 + lineHeight);

    BitBtn1 = MakeButton(this, Texts::kDispBtnList, 0, 0, 161, 33, "BitBtn1");
    BitBtn3 = MakeButton(this, Texts::kDispBtnReservation, 56, 33, 105, 33, "BitBtn3");
    SpinEdit1 = new TSpinEdit(1, Texts::kMaxReservations, 2, this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setGeometry(4, 36, 49, 26);
    SpinEdit1->setAccessibleName(QtText::FromSjis(Texts::kSpinEditName));
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

void TFormDisp::showEvent(QShowEvent* event) {
    UpdateFolderLine();
    QDialog::showEvent(event);
}

void TFormDisp::UpdateFolderLine() {
    const std::string& dir = context_.ProgramDir;
    std::string home = QFile::encodeName(QDir::homePath()).toStdString();
    QString folder = QFile::decodeName(QByteArray::fromStdString(dir));
    QString shown = QFile::decodeName(QByteArray::fromStdString(DisplayFolder(dir, home)));
    QString caption = QtText::FromSjis(Texts::kDataFolderCaption);
    QFontMetrics metrics(LblFolder->font());
    int room = LblFolder->contentsRect().width() - metrics.horizontalAdvance(caption) - 1;
    LblFolder->setText(caption + metrics.elidedText(shown, Qt::ElideMiddle, room));
    LblFolder->setToolTip(folder);
    LblFolder->setAccessibleName(caption + folder);
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
