#include "FrmDisp.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <iterator>

#include "DataLocation.h"
#include "QtText.h"
#include "ReservationTable.h"
#include "RestorePlan.h"
#include "SavedSet.h"
#include "SpinEdit.h"
#include "SysFile.h"
#include "SysPath.h"
#include "SysUtils.h"
#include "Texts.h"
#include "TransferSession.h"

namespace {

// The plan's notes stand after the number, as on the command line.
constexpr int kPlanColumn = 1;

// Text only: the captions need the whole width of these narrow buttons.
QPushButton* MakeButton(QWidget* parent, const char* text, int x, int y, int w, int h,
                        const char* name) {
    auto* button = new QPushButton(QtText::FromSjis(text), parent);
    button->setObjectName(name);
    button->setGeometry(x, y, w, h);
    button->setAutoDefault(false);
    return button;
}

QString FromPath(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

bool FileExists(const std::string& path) {
    const Sys::PathKind kind = Sys::Inspect(path).kind;
    return kind == Sys::PathKind::File || kind == Sys::PathKind::Other;
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
    // The buttons keep their place on the left; the table of the saved set lies beside them.
    // Below both, one line in the desktop's own font names the folder in use.
    LblFolder = new QLabel(this);
    LblFolder->setObjectName("LblFolder");
    LblFolder->setTextFormat(Qt::PlainText);
    LblFolder->setFont(QApplication::font());
    LblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    int lineHeight = QFontMetrics(LblFolder->font()).height() + 4;
    LblFolder->setGeometry(4, 300, 772, lineHeight);
    setFixedSize(780, 300 + lineHeight);

    BitBtn1 = MakeButton(this, Texts::kDispBtnList, 0, 0, 161, 33, "BitBtn1");
    BitBtn3 = MakeButton(this, Texts::kDispBtnReservation, 56, 33, 105, 33, "BitBtn3");
    SpinEdit1 = new TSpinEdit(1, Texts::kMaxReservations, 2, this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setGeometry(4, 36, 49, 26);
    SpinEdit1->setAccessibleName(QtText::FromSjis(Texts::kSpinEditName));
    BitBtn2 = MakeButton(this, Texts::kDispBtnChannel, 0, 66, 161, 33, "BitBtn2");
    BitBtn4 = MakeButton(this, Texts::kDispBtnSetup, 0, 99, 161, 33, "BitBtn4");
    BitBtn5 = MakeButton(this, Texts::kDispBtnClose, 0, 132, 161, 33, "BitBtn5");
    BitBtn6 = MakeButton(this, Texts::kDispBtnCsv, 0, 173, 161, 33, "BitBtn6");
    BitBtn7 = MakeButton(this, Texts::kDispBtnBackup, 0, 206, 161, 33, "BitBtn7");

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(170, 4, 606, 22);
    StringGrid1 = new QTableWidget(0, static_cast<int>(std::size(kReservationColumns)) + 1, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(170, 30, 606, 266);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->verticalHeader()->setVisible(false);
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    QStringList headings;
    for (ReservationColumn column : kReservationColumns)
        headings << QtText::FromSjis(ReservationHeading(column));
    headings.insert(kPlanColumn, QtText::FromSjis(Texts::kColPlan));
    StringGrid1->setHorizontalHeaderLabels(headings);

    QWidget::setTabOrder(BitBtn1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn3);
    QWidget::setTabOrder(BitBtn3, SpinEdit1);
    QWidget::setTabOrder(SpinEdit1, BitBtn4);
    QWidget::setTabOrder(BitBtn4, BitBtn5);
    QWidget::setTabOrder(BitBtn5, BitBtn6);
    QWidget::setTabOrder(BitBtn6, BitBtn7);
    QWidget::setTabOrder(BitBtn7, StringGrid1);

    OpenFile = [](const std::string& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(path)));
    };
    ShowBox = [this](MessageKind kind, const std::string& sjis, bool yesNo) {
        return ShowQtMessageBox(this, kind, sjis, yesNo, /*defaultNo=*/true);
    };
    ChooseCsvPath = [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QtText::FromSjis(Texts::kDispBtnCsv),
            FromPath(context_.ProgramDir + "ZAVOCV.csv"), "CSV (*.csv)");
        // The program's paths are UTF-8 with '/' on every system.
        const QByteArray bytes = QDir::fromNativeSeparators(path).toUtf8();
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    };

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { close(); });
    connect(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
    connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
}

void TFormDisp::showEvent(QShowEvent* event) {
    UpdateFolderLine();
    Refresh();
    QDialog::showEvent(event);
}

void TFormDisp::Refresh() {
    const std::vector<ReservationRow> rows = ReadReservationTable(context_.ProgramDir);
    Label1->setText(QtText::FromSjis(ReservationSummary(rows)));
    // What the restore would make of them, without the RD-X4EX: dates gone by and overlaps.
    const RestorePlan plan =
        MakeRestorePlan(rows, SavedSetFacts(context_.ProgramDir), PlanChoice());
    StringGrid1->setRowCount(static_cast<int>(rows.size()));
    const QBrush marked(QColor(255, 220, 220));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ReservationRow& row = rows[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(std::size(kReservationColumns)); ++c) {
            auto* item = new QTableWidgetItem(
                QtText::FromSjis(ReservationCell(row, kReservationColumns[c])));
            if (!row.Complete) {
                item->setBackground(marked);
                // What is wrong, wherever the pointer rests on the marked row.
                item->setToolTip(QtText::FromSjis(row.Problem));
            }
            StringGrid1->setItem(r, c < kPlanColumn ? c : c + 1, item);
        }
        const PlanRow& planned = plan.Rows[static_cast<size_t>(r)];
        auto* note = new QTableWidgetItem(QtText::FromSjis(PlanNote(planned)));
        if (!row.Complete) note->setBackground(marked);
        if (planned.Past) note->setBackground(QColor(210, 210, 210));
        if (!planned.Past && planned.CollidesWith > 0) note->setBackground(QColor(255, 230, 160));
        note->setToolTip(QtText::FromSjis(PlanReason(plan, planned)));
        StringGrid1->setItem(r, kPlanColumn, note);
    }
    StringGrid1->resizeColumnsToContents();
    // A long title keeps the last column (what is wrong with a page) in sight; the whole title
    // shows in its tooltip.
    constexpr int kTitleColumn = 8;
    constexpr int kTitleWidth = 150;
    if (StringGrid1->columnWidth(kTitleColumn) > kTitleWidth) {
        StringGrid1->setColumnWidth(kTitleColumn, kTitleWidth);
        for (int r = 0; r < StringGrid1->rowCount(); ++r) {
            QTableWidgetItem* title = StringGrid1->item(r, kTitleColumn);
            if (title->toolTip().isEmpty()) title->setToolTip(title->text());
        }
    }
}

void TFormDisp::UpdateFolderLine() {
    const std::string& dir = context_.ProgramDir;
    const QString folder = FromPath(Sys::ForDisplay(dir));
    const QString shown = FromPath(Sys::ForDisplay(DisplayFolder(dir, Sys::TildeHome())));
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

void TFormDisp::BitBtn6Click() {
    const std::string path = ChooseCsvPath ? ChooseCsvPath() : std::string();
    if (path.empty()) return;
    try {
        SaveReservationCsv(path, ReadReservationTable(context_.ProgramDir));
    } catch (const Exception& e) {
        if (ShowBox) ShowBox(MessageKind::Error, e.Message, false);
    }
}

void TFormDisp::BitBtn7Click() {
    const std::string& dir = context_.ProgramDir;
    try {
        // A swap cut short by a crash is finished first, so the counts below are the real ones.
        SavedSet::Recover(dir);
        if (SavedSet::SetFiles(SavedSet::BackupDir(dir)).empty()) {
            if (ShowBox) ShowBox(MessageKind::Information, Texts::kNoBackup, false);
            return;
        }
        const std::string question = Texts::RestoreBackupQuestion(
            SavedSet::ReservationCount(SavedSet::BackupDir(dir)), SavedSet::ReservationCount(dir));
        if (!ShowBox || !ShowBox(MessageKind::Confirmation, question, true)) return;
        SavedSet::RestoreBackup(dir);
    } catch (const Exception& e) {
        if (ShowBox) ShowBox(MessageKind::Error, e.Message, false);
    }
    Refresh();
}
