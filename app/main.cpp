// Start-up: the application and its title, the main window (whose FormCreate loads the
// settings) with its two dialogs, then the message loop until the main window closes.
#include <QApplication>

#include "FrmMain.h"
#include "Startup.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ConfigureApplication();
    const std::unique_ptr<TEventPump> pump = MakeProgramPump();

    TFormMain formMain;
    formMain.Context.HttpClient1.UsePump(*pump);
    // A settings file that cannot be read has been reported; the program ends here.
    if (!formMain.FormCreate()) return 1;
    formMain.show();
    return app.exec();
}
