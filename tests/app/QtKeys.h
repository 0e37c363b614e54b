// Keys typed and a window made active as a user would, without Qt's test library (the static
// Qt of the Windows build has none).
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>

// One key pressed and released on widget, with the text it types.
inline void KeyClick(QWidget* widget, Qt::Key key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

// Each character of keys typed on widget; '\b' is Backspace, '\r' Return.
inline void KeyClicks(QWidget* widget, const char* keys) {
    for (const char* c = keys; *c; ++c) {
        if (*c == '\b')
            KeyClick(widget, Qt::Key_Backspace);
        else if (*c == '\r')
            KeyClick(widget, Qt::Key_Return);
        else
            KeyClick(widget, static_cast<Qt::Key>(QChar(*c).toUpper().unicode()),
                     QString(QChar(*c)));
    }
}

// Serves the events until window is the active one, at most timeoutMs; true when it is.
inline bool WaitForWindowActive(QWidget* window, int timeoutMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!window->isActiveWindow() && elapsed.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return window->isActiveWindow();
}
