// GoogleTest with a QApplication; headless unless the environment says otherwise.
#include <gtest/gtest.h>

#include <QApplication>

#include "SysPath.h"

int main(int argc, char** argv) {
    if (!Sys::GetEnv("QT_QPA_PLATFORM")) Sys::SetEnv("QT_QPA_PLATFORM", std::string("offscreen"));
    QApplication app(argc, argv);
    // Tests close windows without running the main loop; a queued quit must not end the
    // loop of a message box in a later test.
    app.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
