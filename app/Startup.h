// Start-up and the message loop.
#pragma once

#include <windows.h>

#include "Pane.h"

// Records the process-wide values, creates the main window and runs the
// loop until the window is destroyed. A command line naming a path (quoted
// or not) has the window show that object once the tree is built. Returns
// the exit code, always 0.
int RunKagero(HINSTANCE instance, int showCommand, PaneFactory paneFactory, const wchar_t* commandLine = nullptr);

// Shows what the command line's path names, once the window is up: a box
// with the usage for "/?", with the path and why for a path that cannot be
// one or cannot be gone to.
void GoToStartPath(HWND window, const wchar_t* path);

// Steps 1 and 2 of the loop for one message: the find window's keys, the
// main window's two accelerator tables, then the Tab rule. True when the
// message was consumed and must not be dispatched.
bool PreTranslateLoopMessage(MSG* message, HACCEL accelerators, HACCEL additionAccelerators);
