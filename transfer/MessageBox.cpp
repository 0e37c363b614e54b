#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "QtText.h"

bool ShowQtMessageBox(QWidget* parent, MessageKind kind, const std::string& sjis, bool yesNo,
                      bool defaultNo) {
    QMessageBox box(parent);
    box.setWindowTitle(QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    box.setText(QtText::ForDisplay(sjis));
    switch (kind) {
        case MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageKind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageKind::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
    }
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    int answer = box.exec();
    return yesNo ? answer == QMessageBox::Yes : true;
}
