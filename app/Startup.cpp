#include "Startup.h"

#include <QCoreApplication>

#include "EventPump.h"
#include "QtText.h"
#include "Texts.h"

void ConfigureApplication() {
    // The title reads "X4RX" where the main window's caption reads "X4EX"; both as they stand.
    QCoreApplication::setApplicationName(QtText::FromSjis(Texts::kAppTitle));
    // While the transport waits for the recorder the windows keep being served: repainted,
    // moved, and a second press of the start button is seen (and refused).
    SetPumpHook([] { QCoreApplication::processEvents(); });
}
