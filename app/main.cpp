// Start-up: the application and its title, the main window with its settings, the message
// loop until the main window closes.
#include <QApplication>

#include "EventPump.h"
#include "FrmMain.h"
#include "QtText.h"
#include "Texts.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setApplicationName(QtText::FromSjis(Texts::kAppTitle));

    // While the socket transport waits for the recorder, the windows keep being served.
    SetPumpHook([] { QCoreApplication::processEvents(); });

    TFormMain formMain;
    if (!formMain.FormCreate()) return 1;
    formMain.show();
    return app.exec();
}
