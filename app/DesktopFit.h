// What makes the program fit a Linux desktop: Qt's own Japanese texts for the standard
// buttons (はい / いいえ / OK), the window icon and the desktop entry the windows belong to.
#pragma once

class QCoreApplication;
class QTranslator;

// Loads Qt's Japanese translation (qtbase_ja from Qt's translations folder) into the
// application, whatever the user's locale: the program speaks Japanese throughout. Returns
// the installed translator, owned by the application, or nullptr when the translation is not
// installed; the buttons then keep Qt's English texts.
QTranslator* LoadQtJapanese(QCoreApplication& app);

// The window icon (the desktop's icon theme first, the built-in one otherwise) and the name
// of the desktop entry, by which the desktop matches the windows to the menu entry.
void SetDesktopIdentity();
