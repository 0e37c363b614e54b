// The main window: four buttons, the connection settings and their settings file, and the
// transfer session (HttpClient1, program directory, request-succeeded flag) the dialogs use.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "DataLocation.h"
#include "MessageBox.h"
#include "TransferFrame.h"
#include "TransferSession.h"

class QDialog;
class QPushButton;
class TFormDisp;
class TFormGet;
class TIniFile;

class TFormMain : public QWidget {
    Q_OBJECT
  public:
    // Builds the window and the two dialogs. The settings are loaded by FormCreate, so that
    // tests can set the path and the hooks first.
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    QPushButton* BitBtn1;  // RD-X4の設定を取込
    QPushButton* BitBtn2;  // 取り込み内容を表示
    QPushButton* BitBtn3;  // RD-X4EXに設定を復元
    QPushButton* BitBtn4;  // 終了

    // Settings, program directory, post-data path, request-succeeded flag and HttpClient1.
    TransferSession Session;
    // Runs the capture and the restore of the transfer dialog on Session.
    TransferFrame Frame{Session};
    // Full path of the settings file; set by FormCreate (decided from where the program
    // lives when empty, see DataLocation.h).
    std::string SettingsPath;
    // --data-dir from the command line; empty when not given.
    std::string DataDirOption;
    // Where the files live; set by FormCreate. With SettingsPath given beforehand it is the
    // portable location of that file's folder.
    DataLocation Location;

    TFormGet* FormGet;
    TFormDisp* FormDisp;

    // How boxes are shown; tests replace it (and those of FormGet and FormDisp).
    MessageBoxFunction ShowBox;
    // Ends the program once the current event has been handled; tests replace it.
    std::function<void()> Terminate;
    // Shows a dialog modally and returns when it closes; tests replace it.
    std::function<void(QDialog&)> ShowModal;

    // Loads the settings: the location of the files (settings path, data folder, created
    // owner-only when installed), program directory and post-data path in the data folder,
    // then the five keys of section "RD". On a failure shows the error box, calls Terminate
    // and returns false.
    bool FormCreate();
    // Saves the settings; on a failure shows the error box and calls Terminate.
    void FormClose();

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowError(const std::string& message);

    // Kept open from the load to the end of the program, as the save uses it again.
    std::unique_ptr<TIniFile> settingsFile_;
};
