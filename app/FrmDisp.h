// The viewer: each button hands one saved page to the desktop, which opens it in the user's
// web browser. It reads the program directory from the transfer session of the main window.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "MessageBox.h"

class QLabel;
class QPushButton;
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
    TSpinEdit* SpinEdit1;
    // The folder the pages are read from ("保存先：~/.local/share/zavoconv/"), under the
    // buttons; shortened in the middle when it is too long, whole in its tooltip.
    QLabel* LblFolder;

    // Hands a file to the desktop ("open"); not waited for, its result ignored. Tests replace it.
    std::function<void(const std::string& path)> OpenFile;
    // How boxes are shown; tests replace it.
    MessageBoxFunction ShowBox;

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void UpdateFolderLine();

    // Opens programDir + name when that file exists; returns whether it existed.
    bool OpenIfExists(const std::string& name);

    const TransferSession& context_;
};
