// Start-up and the message loop.
#pragma once

#include <windows.h>

#include "Pane.h"

// Records the process-wide values, creates the main window and runs the
// loop until the window is destroyed. A command line naming a path (quoted
// or not) has the window show that object once the tree is built. Returns
// the exit code, always 0.
int RunKagero(HINSTANCE instance, int showCommand, PaneFactory paneFactory, const wchar_t* commandLine = nullptr);

// Steps 1 and 2 of the loop for one message: the find window's keys, the
// main window's two accelerator tables, then the Tab rule. True when the
// message was consumed and must not be dispatched.
bool PreTranslateLoopMessage(MSG* message, HACCEL accelerators, HACCEL additionAccelerators);
