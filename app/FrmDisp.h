// The viewer: each button hands one saved page to the desktop, which opens it in the user's
// web browser; beside them, the table of the saved reservations as the restore reads them,
// its CSV export, and the swap with the backup of the previous capture. It reads the program
// directory from the transfer session of the main window.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "MessageBox.h"

class QLabel;
class QPushButton;
class QTableWidget;
class TSpinEdit;
class TransferSession;

class TFormDisp : public QDialog {
    Q_OBJECT
  public:
    explicit TFormDisp(const TransferSession& context, QWidget* parent = nullptr);

    QPushButton* BitBtn1;  // 録画予約一覧
    QPushButton* BitBtn2;  // チャンネル設定
    QPushButton* BitBtn3;  // 個別録画予約
    QPushButton* BitBtn4;  // 本体設定
    QPushButton* BitBtn5;  // 閉じる
    QPushButton* BitBtn6;  // CSVに書き出し
    QPushButton* BitBtn7;  // バックアップを戻す
    TSpinEdit* SpinEdit1;
    // The folder the pages are read from ("保存先：~/.local/share/zavoconv/"), under the
    // buttons and the table; shortened in the middle when too long, whole in its tooltip.
    QLabel* LblFolder;
    // How many reservations the set holds, and whether every page gave all it must send.
    QLabel* Label1;
    // One row per saved reservation page; rows the restore would send incomplete are marked,
    // and the plan's column beside the number notes dates gone by and overlaps.
    QTableWidget* StringGrid1;

    // Hands a file to the desktop ("open"); not waited for, its result ignored. Tests replace it.
    std::function<void(const std::string& path)> OpenFile;
    // How boxes are shown (a Yes/No box answers No to Enter); tests replace it.
    MessageBoxFunction ShowBox;
    // Asks where the CSV file goes; empty when the user cancels. Tests replace it.
    std::function<std::string()> ChooseCsvPath;

    // Reads the saved pages again into the line and the table; done each time it is shown.
    void Refresh();

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn6Click();
    void BitBtn7Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void UpdateFolderLine();

    // Opens programDir + name when that file exists; returns whether it existed.
    bool OpenIfExists(const std::string& name);

    const TransferSession& context_;
};
