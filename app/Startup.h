// Start-up and the message loop.
#pragma once

#include <windows.h>

#include "Pane.h"

// Records the process-wide values, creates the main window and runs the
// loop until the window is destroyed. Returns the exit code, always 0.
int RunKagero(HINSTANCE instance, int showCommand, PaneFactory paneFactory);

// Steps 1 and 2 of the loop for one message: accelerators, then the Tab rule.
// True when the message was consumed and must not be dispatched.
bool PreTranslateLoopMessage(MSG* message, HACCEL accelerators);
