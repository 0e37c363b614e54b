#include "Startup.h"

#include <QCoreApplication>

#include "QtText.h"
#include "QtWaiter.h"
#include "Texts.h"

void ConfigureApplication() {
    // The title reads "X4RX" where the main window's caption reads "X4EX"; both as they stand.
    QCoreApplication::setApplicationName(QtText::FromSjis(Texts::kAppTitle));
}

std::unique_ptr<TEventPump> MakeProgramPump() {
    return std::make_unique<TEventPump>(std::make_unique<TQtWaiter>());
}
