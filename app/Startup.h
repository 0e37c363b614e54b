// What start-up does before the main window is created.
#pragma once

#include <memory>

#include "EventPump.h"

// Sets the application's title ("ZAVO RD-X4→X4RX コンバータ", which also heads every message
// box).
void ConfigureApplication();

// The one pump of the program: while the transport waits for the recorder it sleeps in the
// Qt event loop, so the windows keep being served: repainted, moved, and a second press of
// the start button is seen (and refused).
std::unique_ptr<TEventPump> MakeProgramPump();
