#include "FrmGet.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>
#include <iterator>
#include <utility>

#include "QtText.h"
#include "ReservationTable.h"
#include "RestorePlan.h"
#include "Texts.h"
#include "TransferFrame.h"

namespace {

// The columns of the restore's table: the viewer's, without those a user need not see to
// choose (on/off and the recording mode), so that the dialog stays narrow. The plan's column
// stands after the number, which carries the tick; the title comes before the channel, so that
// the narrow dialog shows what each reservation is.
constexpr ReservationColumn kTickColumns[] = {ReservationColumn::Number, ReservationColumn::Date,
                                              ReservationColumn::Start,  ReservationColumn::End,
                                              ReservationColumn::Title,  ReservationColumn::Channel,
                                              ReservationColumn::Problem};
constexpr int kTitleColumn = 5;
constexpr int kTitleWidth = 110;
constexpr int kPlanColumn = 1;
constexpr int kGridColumns = static_cast<int>(std::size(kTickColumns)) + 1;

// The dialog as laid out; a restore adds the plan's summary line and the table of saved
// reservations above the status bar.
constexpr int kWidth = 413;
constexpr int kHeight = 210;
constexpr int kPlanHeight = 44;
constexpr int kTableHeight = 200;
constexpr int kStatusHeight = 20;
constexpr int kCheckWidth = 89;

// A page sent with fields missing: its whole row.
const QColor kIncompleteColour(255, 220, 220);

// The plan's cell, by what the plan says.
QBrush ToneBrush(PlanTone tone) {
    switch (tone) {
        case PlanTone::Past:
            return QColor(210, 210, 210);
        case PlanTone::NoRoom:
            return QColor(200, 220, 255);
        case PlanTone::Collides:
            return QColor(255, 230, 160);
        case PlanTone::Incomplete:
            return kIncompleteColour;
        case PlanTone::Plain:
            break;
    }
    return QBrush();
}

QFont FormFont(const char* family, int pixels, bool bold) {
    QFont font(QtText::FromSjis(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The laid-out box is a minimum: where the font on this desktop needs more, the label grows
// to the right (up to the window's edge) and upwards, so its text sits on the field below as
// laid out and is never cut.
QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int w, int h, bool bold) {
    auto* label = new QLabel(QtText::FromSjis(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(FormFont(Texts::kFontGothic, 12, bold));
    QFontMetrics metrics(label->font());
    int needWidth = metrics.horizontalAdvance(label->text()) + 1;
    int needHeight = metrics.height();
    if (needWidth > w) w = std::min(needWidth, parent->width() - x);
    if (needHeight > h) {
        y -= needHeight - h;
        h = needHeight;
    }
    label->setGeometry(x, y, w, h);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(parent);
    edit->setFont(FormFont(Texts::kFontGothic, 12, false));
    edit->setGeometry(x, y, w, h);
    // A pasted line break would end up inside a URL or a header line the recorder receives;
    // the field keeps one line, so what it shows is what the transfer uses.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        static const QRegularExpression breaks(QStringLiteral("[\\r\\n]"));
        if (!text.contains(breaks)) return;
        QString oneLine = text;
        oneLine.remove(breaks);
        edit->setText(oneLine);
    });
    return edit;
}

// Masks the password with "*", whatever the platform's own mask character is.
class StarMaskStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QPushButton* MakeButton(QWidget* parent, const char* text, QStyle::StandardPixmap glyph, int x,
                        int y, int w, int h) {
    auto* button =
        new QPushButton(parent->style()->standardIcon(glyph), QtText::FromSjis(text), parent);
    button->setGeometry(x, y, w, h);
    // Enter in an edit field must never start a transfer by itself.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

TFormGet::TFormGet(TransferFrame& frame, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      frame_(frame) {
    setObjectName("FormGet");
    setWindowTitle(QtText::FromSjis(Texts::kGetCaptionCapture));
    setFont(FormFont(Texts::kFontPGothic, 16, false));
    setFixedSize(kWidth, kHeight);

    Label1 = MakeLabel(this, Texts::kLabel1, 80, 16, 171, 12, true);
    Label2 = MakeLabel(this, Texts::kLabel2, 201, 32, 144, 12, false);
    EdtSIP = MakeEdit(this, 77, 28, 121, 20);
    Label3 = MakeLabel(this, Texts::kLabel3, 80, 56, 91, 12, true);
    EdtSUSER = MakeEdit(this, 77, 68, 121, 20);
    Label5 = MakeLabel(this, Texts::kLabel5, 232, 56, 91, 12, true);
    EdtSPASS = MakeEdit(this, 229, 68, 121, 20);
    auto* mask = new StarMaskStyle;
    mask->setParent(EdtSPASS);  // the widget does not own its style
    EdtSPASS->setStyle(mask);
    EdtSPASS->setEchoMode(QLineEdit::Password);
    Label4 = MakeLabel(this, Texts::kLabel4, 80, 96, 143, 12, true);
    EdtSPROXY = MakeEdit(this, 77, 108, 121, 20);
    Label6 = MakeLabel(this, Texts::kLabel6, 232, 96, 39, 12, true);
    EdtSPORT = MakeEdit(this, 229, 108, 44, 20);
    BitBtn1 = MakeButton(this, Texts::kGetBtnCapture, QStyle::SP_BrowserReload, 8, 144, 97, 33);
    BitBtn4 = MakeButton(this, Texts::kGetBtnClose, QStyle::SP_DialogCloseButton, 304, 144, 97, 33);
    PbarR = new QProgressBar(this);
    PbarR->setGeometry(112, 150, 105, 20);
    PbarR->setRange(0, 1);
    PbarR->reset();  // no value: neither a bar nor a text until a transfer counts
    PbarR->setFormat(QStringLiteral("%v / %m"));
    PbarR->setAlignment(Qt::AlignCenter);
    BtnStop = MakeButton(this, Texts::kGetBtnStop, QStyle::SP_BrowserStop, 224, 144, 73, 33);
    BtnStop->setEnabled(false);
    SbarR = new QStatusBar(this);
    SbarR->setSizeGripEnabled(false);
    SbarR->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);
    LblPlan = new QLabel(this);
    LblPlan->setTextFormat(Qt::PlainText);
    LblPlan->setWordWrap(true);
    LblPlan->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LblPlan->setFont(FormFont(Texts::kFontGothic, 12, false));
    LblPlan->setGeometry(8, kHeight - kStatusHeight, kWidth - 22 - kCheckWidth, kStatusHeight);
    LblPlan->hide();
    BtnCheck = MakeButton(this, Texts::kGetBtnCheck, QStyle::SP_FileDialogContentsView,
                          kWidth - 8 - kCheckWidth, kHeight - kStatusHeight + 4, kCheckWidth, 30);
    BtnCheck->setToolTip(QtText::FromSjis(Texts::kGetBtnCheckTip));
    BtnCheck->hide();
    GridR = new QTableWidget(0, kGridColumns, this);
    GridR->setGeometry(8, kHeight - kStatusHeight + kPlanHeight, kWidth - 16, kTableHeight - 8);
    GridR->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridR->setSelectionMode(QAbstractItemView::NoSelection);
    GridR->setFont(FormFont(Texts::kFontGothic, 12, false));
    GridR->verticalHeader()->setVisible(false);
    GridR->verticalHeader()->setDefaultSectionSize(QFontMetrics(GridR->font()).height() + 6);
    GridR->horizontalHeader()->setStretchLastSection(true);
    QStringList headings;
    for (ReservationColumn column : kTickColumns)
        headings << QtText::FromSjis(ReservationHeading(column));
    headings.insert(kPlanColumn, QtText::FromSjis(Texts::kColPlan));
    GridR->setHorizontalHeaderLabels(headings);
    GridR->hide();

    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    Label3->setObjectName("Label3");
    Label4->setObjectName("Label4");
    Label5->setObjectName("Label5");
    Label6->setObjectName("Label6");
    EdtSIP->setObjectName("EdtSIP");
    EdtSUSER->setObjectName("EdtSUSER");
    EdtSPASS->setObjectName("EdtSPASS");
    EdtSPROXY->setObjectName("EdtSPROXY");
    EdtSPORT->setObjectName("EdtSPORT");
    BitBtn1->setObjectName("BitBtn1");
    BitBtn4->setObjectName("BitBtn4");
    BtnStop->setObjectName("BtnStop");
    PbarR->setObjectName("PbarR");
    SbarR->setObjectName("SbarR");
    GridR->setObjectName("GridR");
    LblPlan->setObjectName("LblPlan");
    BtnCheck->setObjectName("BtnCheck");

    // Screen readers name each field by the label above it.
    const std::pair<QLineEdit*, const char*> names[] = {
        {EdtSIP, Texts::kLabel1},    {EdtSUSER, Texts::kLabel3},        {EdtSPASS, Texts::kLabel5},
        {EdtSPROXY, Texts::kLabel4}, {EdtSPORT, Texts::kPortFieldName},
    };
    for (const auto& [edit, name] : names) edit->setAccessibleName(QtText::FromSjis(name));
    EdtSIP->setAccessibleDescription(QtText::FromSjis(Texts::kLabel2));
    Label1->setBuddy(EdtSIP);
    Label3->setBuddy(EdtSUSER);
    Label5->setBuddy(EdtSPASS);
    Label4->setBuddy(EdtSPROXY);
    Label6->setBuddy(EdtSPORT);

    QWidget::setTabOrder(EdtSIP, EdtSUSER);
    QWidget::setTabOrder(EdtSUSER, EdtSPASS);
    QWidget::setTabOrder(EdtSPASS, EdtSPROXY);
    QWidget::setTabOrder(EdtSPROXY, EdtSPORT);
    QWidget::setTabOrder(EdtSPORT, BitBtn1);
    QWidget::setTabOrder(BitBtn1, BitBtn4);
    QWidget::setTabOrder(BitBtn4, BtnStop);
    QWidget::setTabOrder(BtnStop, BtnCheck);
    QWidget::setTabOrder(BtnCheck, GridR);
    SbarR->setFocusPolicy(Qt::NoFocus);

    ShowBox = [this](MessageKind kind, const std::string& sjis, bool yesNo) {
        return ShowQtMessageBox(this, kind, sjis, yesNo);
    };
    AskBox = [this](const std::string& sjis) {
        return ShowQtMessageBox(this, MessageKind::Confirmation, sjis, true, /*defaultNo=*/true);
    };
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { close(); });
    connect(BtnStop, &QPushButton::clicked, this, [this] { BtnStopClick(); });
    connect(BtnCheck, &QPushButton::clicked, this, [this] { BtnCheckClick(); });
    // A tick changes what fits and what overlaps: the marks follow at once.
    connect(GridR, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0) ShowPlanMarks(CurrentPlan());
    });
}

void TFormGet::OpenForCapture() {
    Open(Texts::kGetCaptionCapture, Texts::kGetBtnCapture, false);
}

void TFormGet::OpenForRestore() {
    Open(Texts::kGetCaptionRestore, Texts::kGetBtnRestore, true);
}

void TFormGet::Open(const char* caption, const char* startCaption, bool restore) {
    setWindowTitle(QtText::FromSjis(caption));
    restoreMode_ = restore;
    const int height = restore ? kHeight + kPlanHeight + kTableHeight : kHeight;
    setFixedSize(kWidth, height);
    SbarR->setGeometry(0, height - kStatusHeight, kWidth, kStatusHeight);
    if (restore) FillReservationTable();
    GridR->setVisible(restore);
    // Hidden, the line keeps inside the smaller window too.
    LblPlan->setGeometry(8, kHeight - kStatusHeight, kWidth - 22 - kCheckWidth,
                         restore ? kPlanHeight - 4 : kStatusHeight);
    LblPlan->setVisible(restore);
    BtnCheck->setVisible(restore);
    BitBtn1->setText(QtText::FromSjis(startCaption));
    // A count left from the other mode's last transfer would read as this one's.
    PbarR->setRange(0, 1);
    PbarR->reset();
    const ConnectionSettings& s = frame_.Session().Settings;
    SetField(EdtSIP, shownHost_, s.Host);
    SetField(EdtSUSER, shownUser_, s.User);
    SetField(EdtSPASS, shownPassword_, s.Password);
    SetField(EdtSPROXY, shownProxy_, s.Proxy);
    SetField(EdtSPORT, shownPort_, s.ProxyPort);
    EdtSIP->setFocus();
}

void TFormGet::FillReservationTable() {
    const std::string& dir = frame_.Session().ProgramDir;
    rows_ = ReadReservationTable(dir);
    facts_ = SavedSetFacts(dir);
    FillTable(MakeRestorePlan(rows_, facts_, PlanChoice()));
}

void TFormGet::FillTable(const RestorePlan& plan) {
    const QSignalBlocker quiet(GridR);
    GridR->clearContents();
    GridR->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const ReservationRow& row = rows_[static_cast<size_t>(r)];
        for (int c = 0; c < kGridColumns; ++c) {
            auto* item = new QTableWidgetItem;
            if (c != kPlanColumn) {
                const ReservationColumn column = kTickColumns[c < kPlanColumn ? c : c - 1];
                item->setText(QtText::FromSjis(ReservationCell(row, column)));
                if (!row.Complete) item->setBackground(kIncompleteColour);
            }
            item->setFlags(Qt::ItemIsEnabled);
            GridR->setItem(r, c, item);
        }
        QTableWidgetItem* tick = GridR->item(r, 0);
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const bool send = static_cast<size_t>(r) < plan.Rows.size() && plan.Rows[r].Send;
        tick->setCheckState(send ? Qt::Checked : Qt::Unchecked);
        // Page ZAVOCV00.HTM is number 1.
        tick->setData(Qt::UserRole, row.Number - 1);
    }
    BtnCheck->setEnabled(!rows_.empty() && !running_);
    ShowPlanMarks(plan);
    GridR->resizeColumnsToContents();
    // A long title gives way to the columns after it; the whole title shows in its tooltip.
    if (GridR->columnWidth(kTitleColumn) > kTitleWidth) {
        GridR->setColumnWidth(kTitleColumn, kTitleWidth);
        for (int r = 0; r < GridR->rowCount(); ++r) {
            QTableWidgetItem* title = GridR->item(r, kTitleColumn);
            title->setToolTip(title->text());
        }
    }
}

void TFormGet::ShowPlanMarks(const RestorePlan& plan) {
    const QSignalBlocker quiet(GridR);
    for (int r = 0; r < GridR->rowCount() && static_cast<size_t>(r) < plan.Rows.size(); ++r) {
        const PlanRow& row = plan.Rows[static_cast<size_t>(r)];
        QTableWidgetItem* item = GridR->item(r, kPlanColumn);
        item->setText(QtText::FromSjis(PlanMark(row)));
        item->setBackground(ToneBrush(ToneOf(row)));
        item->setToolTip(QtText::FromSjis(PlanReason(plan, row)));
    }
    LblPlan->setText(QtText::FromSjis(PlanSummary(plan, true)));
}

RestorePlan TFormGet::CurrentPlan() const {
    PlanChoice ticked;
    ticked.Selection = Selection();
    return MakeRestorePlan(rows_, facts_, ticked);
}

void TFormGet::ShowPlan(const RestorePlan& plan, bool dryRun) {
    (void)dryRun;
    if (!restoreMode_) return;
    // The restore read the pages again: its rows are the ones it plans for.
    rows_ = plan.Table;
    facts_.Held = plan.Held;
    FillTable(plan);
}

std::optional<std::set<int>> TFormGet::Selection() const {
    if (!restoreMode_) return std::nullopt;
    std::set<int> ticked;
    for (int r = 0; r < GridR->rowCount(); ++r) {
        const QTableWidgetItem* tick = GridR->item(r, 0);
        if (tick && tick->checkState() == Qt::Checked)
            ticked.insert(tick->data(Qt::UserRole).toInt());
    }
    return ticked;
}

void TFormGet::SetField(QLineEdit* edit, std::string& shown, const std::string& sjis) {
    shown = sjis;
    edit->setText(QtText::FromSjis(sjis));
}

std::string TFormGet::FieldText(const QLineEdit* edit, const std::string& shown) const {
    if (edit->text() == QtText::FromSjis(shown)) return shown;
    return QtText::ToSjis(edit->text());
}

void TFormGet::CopyFieldsToSettings() {
    ConnectionSettings& s = frame_.Session().Settings;
    s.Host = FieldText(EdtSIP, shownHost_);
    s.User = FieldText(EdtSUSER, shownUser_);
    s.Password = FieldText(EdtSPASS, shownPassword_);
    s.Proxy = FieldText(EdtSPROXY, shownProxy_);
    s.ProxyPort = FieldText(EdtSPORT, shownPort_);
}

void TFormGet::BitBtn1Click() {
    // The window keeps handling events while the recorder is waited for, so a second press
    // could arrive here; only one transfer may use the HTTP client at a time.
    if (frame_.Busy()) return;
    CopyFieldsToSettings();
    RunTransfer(QtText::ToSjis(BitBtn1->text()) == Texts::kGetBtnCapture, false);
}

void TFormGet::BtnCheckClick() {
    if (frame_.Busy() || !restoreMode_) return;
    CopyFieldsToSettings();
    RunTransfer(false, true);
}

void TFormGet::RunTransfer(bool capture, bool dryRun) {
    stopRequested_ = false;
    closeAfterStop_ = false;
    // Moving to and fro until the transfer knows how many steps it has.
    PbarR->setRange(0, 0);
    // Start, check and close stay off until the transfer has ended, the stop button on; all
    // come back on every way out, at the latest here.
    struct Idle {
        TFormGet& form;
        ~Idle() { form.ShowRunning(false); }
    };
    {
        ShowRunning(true);
        Idle idle{*this};
        if (capture) {
            frame_.RunCapture(*this);
        } else {
            // The ticks are the user's choice; of them the plan leaves out what will not fit.
            RestoreChoice choice;
            choice.Choice.Selection = Selection();
            choice.DryRun = dryRun;
            frame_.RunRestore(*this, choice);
        }
    }
    if (closeAfterStop_) {
        closeAfterStop_ = false;
        close();
    }
}

void TFormGet::ShowRunning(bool running) {
    running_ = running;
    BitBtn1->setEnabled(!running);
    BitBtn4->setEnabled(!running);
    BtnStop->setEnabled(running);
    BtnCheck->setEnabled(!running && !rows_.empty());
    // The ticks are read once, at the start.
    GridR->setEnabled(!running);
    // A transfer that never learnt its size leaves an empty bar, not a moving one.
    if (!running && PbarR->maximum() == 0) {
        PbarR->setRange(0, 1);
        PbarR->reset();
    }
}

void TFormGet::TransferEnded() {
    ShowRunning(false);
}

void TFormGet::BtnStopClick() {
    if (!running_) return;
    stopRequested_ = true;
    BtnStop->setEnabled(false);
}

void TFormGet::AskToStopAndClose() {
    if (stopRequested_) return;  // already stopping
    if (!Ask(Texts::kAskStopOnClose)) return;
    BtnStopClick();
    closeAfterStop_ = true;
}

void TFormGet::FormClose() {
    CopyFieldsToSettings();
}

void TFormGet::done(int result) {
    if (running_) {
        AskToStopAndClose();
        return;
    }
    FormClose();
    QDialog::done(result);
}

void TFormGet::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        AskToStopAndClose();
        return;
    }
    QDialog::closeEvent(event);
}

std::string TFormGet::StatusLine() const {
    return status_;
}

void TFormGet::SetStatus(const std::string& sjis) {
    status_ = sjis;
    if (sjis.empty()) {
        SbarR->clearMessage();
        return;
    }
    // An address can be longer than the bar: its middle gives way, so that the end
    // ("取得中…", "送信中…") stays in sight.
    const int room =
        SbarR->width() - 2 * SbarR->style()->pixelMetric(QStyle::PM_LayoutLeftMargin) - 8;
    SbarR->showMessage(
        QFontMetrics(SbarR->font()).elidedText(QtText::FromSjis(sjis), Qt::ElideMiddle, room));
}

void TFormGet::SetProgress(int done, int total) {
    if (total <= 0) {
        PbarR->setRange(0, 0);
        return;
    }
    PbarR->setRange(0, total);
    PbarR->setValue(std::clamp(done, 0, total));
}

void TFormGet::SetBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        // Back to the default cursor, whatever was stacked before.
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
}

void TFormGet::ShowMessage(MessageKind kind, const std::string& sjis) {
    if (ShowBox) ShowBox(kind, sjis, false);
}

bool TFormGet::Ask(const std::string& sjis) {
    return AskBox && AskBox(sjis);
}
