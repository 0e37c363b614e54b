// GoogleTest with a QApplication; headless unless the environment says otherwise. Offscreen
// Qt on Windows takes its fonts from one folder (ZAVO_TEST_FONT_DIR), not from the system.
#include <gtest/gtest.h>

#include <QApplication>

#include "SysPath.h"

int main(int argc, char** argv) {
    if (!Sys::GetEnv("QT_QPA_PLATFORM")) Sys::SetEnv("QT_QPA_PLATFORM", std::string("offscreen"));
    if (*ZAVO_TEST_FONT_DIR && !Sys::GetEnv("QT_QPA_FONTDIR"))
        Sys::SetEnv("QT_QPA_FONTDIR", std::string(ZAVO_TEST_FONT_DIR));
    QApplication app(argc, argv);
    // Tests close windows without running the main loop; a queued quit must not end the
    // loop of a message box in a later test.
    app.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
