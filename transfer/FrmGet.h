// The transfer dialog: five connection fields, the start button whose caption selects capture
// or restore, the progress bar, the stop and close buttons, the status bar and, in restore
// mode, the saved reservations with a tick each. It holds no state beyond its controls; the
// transfer itself runs in the transfer frame owned by the main window.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "MessageBox.h"
#include "RestorePlan.h"
#include "TransferView.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableWidget;
class TransferFrame;

class TFormGet : public QDialog, public TransferView {
    Q_OBJECT
  public:
    explicit TFormGet(TransferFrame& frame, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* EdtSIP;
    QLineEdit* EdtSUSER;
    QLineEdit* EdtSPASS;
    QLineEdit* EdtSPROXY;
    QLineEdit* EdtSPORT;
    QPushButton* BitBtn1;
    QPushButton* BitBtn4;
    // "中止": on only while a transfer runs; the transfer ends at its next safe point.
    QPushButton* BtnStop;
    // Pages of a capture, reservations of a restore; moving to and fro while the total is
    // not known yet; empty until the first transfer of an opening starts.
    QProgressBar* PbarR;
    QStatusBar* SbarR;
    // Restore mode only: the saved reservations as the viewer lists them, a tick per row and
    // the plan's mark beside it. On opening every one is ticked but those whose date has gone
    // by; once the RD-X4EX's list has been read, those that will not fit lose their tick too.
    // Only ticked ones are restored, so a repeated or resumed restore can leave out what the
    // recorder already holds.
    QTableWidget* GridR;
    // Restore mode only: the plan's summary line above the table ("送信予定 12件：…").
    QLabel* LblPlan;
    // Restore mode only: "事前確認" reads the RD-X4EX's list and shows the plan; nothing is sent.
    QPushButton* BtnCheck;

    // How boxes are shown; tests replace it.
    MessageBoxFunction ShowBox;
    // How Yes/No questions of a transfer are asked (No by default); tests replace it.
    std::function<bool(const std::string& sjis)> AskBox;

    // Prepares an opening: the caption and the start button's caption for the mode, then the
    // five fields from the connection settings. The caller then shows the dialog modally.
    void OpenForCapture();
    void OpenForRestore();

    // The start button: copies the fields into the settings, then runs the capture when the
    // button reads exactly "取込開始", else the restore. Does nothing while a transfer runs.
    void BitBtn1Click();
    // The dialog is closing: the fields go back into the connection settings.
    void FormClose();
    // The stop button: the running transfer ends at its next safe point.
    void BtnStopClick();
    // The check button: copies the fields into the settings, then the restore's dry run.
    void BtnCheckClick();

    // The file numbers (0 to 31) of the ticked rows in restore mode; none (every saved
    // reservation) when the dialog was not opened for a restore.
    std::optional<std::set<int>> Selection() const;

    // The status line (Shift-JIS) the status bar shows.
    std::string StatusLine() const;

    // TransferView
    void SetStatus(const std::string& sjis) override;
    void SetBusyCursor(bool busy) override;
    void ShowMessage(MessageKind kind, const std::string& sjis) override;
    bool Ask(const std::string& sjis) override;
    void SetProgress(int done, int total) override;
    bool StopRequested() override { return stopRequested_; }
    // Start and close on, stop off: the box that ends a transfer stands over an idle dialog.
    void TransferEnded() override;
    // The ticks become what the restore sends; the marks and the summary follow the plan.
    void ShowPlan(const RestorePlan& plan, bool dryRun) override;

    // While a transfer runs (up to its end, not while its last box is open), asks whether to
    // stop it (and closes once it has ended); otherwise copies the fields back.
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Open(const char* caption, const char* startCaption, bool restore);
    // Reads the saved reservations into GridR, ticked as the plan chooses on its own.
    void FillReservationTable();
    // Fills GridR with rows_, each ticked when the plan sends it, and shows the plan.
    void FillTable(const RestorePlan& plan);
    // The plan's marks, colours and reasons in GridR and its summary in LblPlan.
    void ShowPlanMarks(const RestorePlan& plan);
    // The plan of rows_ for the ticks as they are now.
    RestorePlan CurrentPlan() const;
    // Runs the capture, the restore or its dry run with the buttons off.
    void RunTransfer(bool capture, bool dryRun);
    void SetField(QLineEdit* edit, std::string& shown, const std::string& sjis);
    std::string FieldText(const QLineEdit* edit, const std::string& shown) const;
    void CopyFieldsToSettings();
    // Closing during a transfer: asks, and on Yes stops it and closes afterwards.
    void AskToStopAndClose();
    // The buttons, the ticks and the progress bar of a running transfer, or of an idle dialog.
    void ShowRunning(bool running);

    TransferFrame& frame_;
    // The Shift-JIS text each field was last filled with: a field the user did not change
    // gives back exactly these bytes, even where they do not decode cleanly.
    std::string shownHost_, shownUser_, shownPassword_, shownProxy_, shownPort_;
    std::string status_;
    // From the start button until the transfer has ended.
    bool running_ = false;
    bool stopRequested_ = false;
    bool closeAfterStop_ = false;
    bool restoreMode_ = false;
    // Restore mode: the rows GridR shows and what the plan knows besides them.
    std::vector<ReservationRow> rows_;
    PlanFacts facts_;
};
