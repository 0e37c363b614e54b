#include "FrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "FrmDisp.h"
#include "FrmGet.h"
#include "IniFile.h"
#include "ProgramLocation.h"
#include "QtText.h"
#include "SavedSet.h"
#include "SettingsFile.h"
#include "SysPath.h"
#include "Texts.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* text, QStyle::StandardPixmap glyph, int y,
                        const char* name) {
    auto* button =
        new QPushButton(parent->style()->standardIcon(glyph), QtText::FromSjis(text), parent);
    button->setObjectName(name);
    button->setGeometry(0, y, 217, 33);
    return button;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("FormMain");
    setWindowTitle(QtText::FromSjis(Texts::kMainCaption));
    // The form's own font where the desktop has it, else the desktop's font, at the size the
    // fixed layout was made for.
    QFont font = QApplication::font();
    font.setFamilies({QtText::FromSjis(Texts::kFontPGothic), QApplication::font().family()});
    font.setPixelSize(16);
    setFont(font);
    setFixedSize(238, 133);

    BitBtn1 = MakeButton(this, Texts::kMainBtnCapture, QStyle::SP_BrowserReload, 0, "BitBtn1");
    BitBtn2 = MakeButton(this, Texts::kMainBtnShow, QStyle::SP_DialogHelpButton, 33, "BitBtn2");
    BitBtn3 = MakeButton(this, Texts::kMainBtnRestore, QStyle::SP_BrowserReload, 66, "BitBtn3");
    BitBtn4 = MakeButton(this, Texts::kMainBtnExit, QStyle::SP_DialogCloseButton, 99, "BitBtn4");
    QWidget::setTabOrder(BitBtn1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn3);
    QWidget::setTabOrder(BitBtn3, BitBtn4);

    // Centred on the desktop.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }

    FormGet = new TFormGet(Frame, this);
    FormDisp = new TFormDisp(Session, this);

    ShowBox = [this](MessageKind kind, const std::string& sjis, bool yesNo) {
        return ShowQtMessageBox(this, kind, sjis, yesNo);
    };
    Terminate = [] {
        // Queued, so that the program ends after the current event, even before the message
        // loop has started.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    };
    ShowModal = [](QDialog& dialog) { dialog.exec(); };

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
}

TFormMain::~TFormMain() = default;

void TFormMain::ShowError(const std::string& message) {
    if (ShowBox) ShowBox(MessageKind::Error, message, false);
    if (Terminate) Terminate();
}

bool TFormMain::FormCreate() {
    try {
        if (SettingsPath.empty()) {
            std::string program = Sys::ProgramFilePath();
            if (program.empty()) throw Exception(FileOpenErrorMessage(Sys::ProgramFileSource()));
            Location = LocateData(program, DataDirOption);
            PrepareDataLocation(Location);
            SettingsPath = Location.SettingsPath;
        } else {
            Location = {LocationKind::Portable, SettingsPath, DirectoryWithSeparator(SettingsPath)};
        }
        // An installed program is started from the menu in the home folder: the recorder's
        // last answer header goes to the data folder, not there. A portable copy keeps it in
        // the current folder, as it always did.
        ApplyDataLocation(Location, Session);
        settingsFile_ = std::make_unique<TIniFile>(SettingsPath);
        LoadConnectionSettings(*settingsFile_, Session.Settings);
    } catch (const Exception& e) {
        settingsFile_.reset();
        ShowError(e.Message);
        return false;
    }
    // A capture or a swap that a crash or a power loss cut short is finished (or, before its
    // commit, undone) before anything reads the saved pages. A failure here leaves the pages
    // as they are, says so, and is tried again by the next capture.
    try {
        SavedSet::Recover(Session.ProgramDir);
    } catch (const Exception& e) {
        if (ShowBox) ShowBox(MessageKind::Error, e.Message, false);
    }
    return true;
}

void TFormMain::FormClose() {
    // Nothing was loaded, so there is nothing of the user's to keep: the file stays untouched.
    if (!settingsFile_) return;
    try {
        SaveConnectionSettings(*settingsFile_, Session.Settings);
    } catch (const Exception& e) {
        ShowError(e.Message);
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // A transfer still using HttpClient1 must end first; its dialog is modal, so this is only
    // reached from outside the program's own windows.
    if (Frame.Busy()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormMain::BitBtn1Click() {
    FormGet->OpenForCapture();
    if (ShowModal) ShowModal(*FormGet);
}

void TFormMain::BitBtn2Click() {
    if (ShowModal) ShowModal(*FormDisp);
}

void TFormMain::BitBtn3Click() {
    if (!ShowBox || !ShowBox(MessageKind::Confirmation, Texts::RestoreConfirmText(), true)) return;
    FormGet->OpenForRestore();
    if (ShowModal) ShowModal(*FormGet);
}

void TFormMain::BitBtn4Click() {
    close();
}
