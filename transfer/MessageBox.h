// The program's modal message boxes. Every box goes through a MessageBoxFunction held by the
// window that shows it, so tests replace it and no modal box ever blocks them.
#pragma once

#include <functional>
#include <string>

#include "TransferView.h"

class QWidget;

// Shows text (Shift-JIS) in a box of the given kind; yesNo asks Yes/No instead of one OK
// button. Returns true for OK or Yes, false for No or a box closed without an answer.
using MessageBoxFunction =
    std::function<bool(MessageKind kind, const std::string& sjis, bool yesNo)>;

// The real box: QMessageBox with the application's title, an icon by kind (error = critical,
// information, confirmation = question) and the text as plain text, so a recorder's page can
// never put markup into it. A Yes/No box answers Yes to Enter unless defaultNo is set.
bool ShowQtMessageBox(QWidget* parent, MessageKind kind, const std::string& sjis, bool yesNo,
                      bool defaultNo = false);
