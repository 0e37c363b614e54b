// What start-up does before the main window is created.
#pragma once

// Sets the application's title ("ZAVO RD-X4→X4RX コンバータ", which also heads every message
// box) and lets the socket transport serve the window events while it waits.
void ConfigureApplication();
