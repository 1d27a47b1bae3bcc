// The status bar along the bottom of the main window: two parts, the right
// one 300 pixels wide, written by the explorer pane.
#pragma once

#include <windows.h>

class StatusBar {
public:
    HWND Window() const { return window_; }

    HWND CreateStatusBar(HWND parent, int controlId, HINSTANCE instance);
    // Right edges of the parts in client pixels; -1 reaches the bar's end.
    int SetStatusParts(const int* rightEdges, int count);
    // Places the bar along the bottom, sets its two parts and returns its
    // height; 0 when there is no bar.
    int LayoutStatusBar(int width, int height);

private:
    HWND window_ = nullptr;
};

// The right edges of the two parts for a client width: part 1 is the
// right-most 300 pixels, part 0 the rest (empty below 300).
void StatusPartEdges(int width, int rightEdges[2]);
