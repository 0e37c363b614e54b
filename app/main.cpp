// Start-up: the command line first (--help, --version and a wrong option need no display),
// then the application and its title, Qt's Japanese texts, the main window (whose FormCreate
// loads the settings) with its two dialogs, and the message loop until the main window closes.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ConsoleTransfer.h"
#include "DesktopFit.h"
#include "FrmMain.h"
#include "Startup.h"
#include "SysConsole.h"
#include "SysPath.h"

int main(int argc, char* argv[]) {
    Sys::PrepareConsole();
    const CommandLine commandLine = ParseCommandLine(Sys::Arguments(argc, argv));
    if (commandLine.Action != CommandAction::Window)
        return RunWithoutWindow(commandLine, stdout, stderr);

    // Only the toolkit's own options reach the application object, which keeps the strings.
    std::vector<std::string> qtArgs = commandLine.ToolkitArgs;
    std::vector<char*> qtArgv;
    for (std::string& arg : qtArgs) qtArgv.push_back(arg.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgs.size());
    QApplication app(qtArgc, qtArgv.data());
    ConfigureApplication();
    LoadQtJapanese(app);
    SetDesktopIdentity();

    const std::unique_ptr<TEventPump> pump = MakeProgramPump();

    TFormMain formMain;
    formMain.DataDirOption = commandLine.DataDir;
    formMain.Session.HttpClient1.UsePump(*pump);
    // A settings file that cannot be read has been reported; the program ends here.
    if (!formMain.FormCreate()) return 1;
    formMain.show();
    return app.exec();
}
