// The layout of a sizeable dialog: each control keeps its place as made and
// follows the window's growth by its anchor; the window shrinks no smaller
// than it was made.
#pragma once

#include <windows.h>

// How a control follows the window's size: moved right and/or down by the
// growth, and/or stretched by it.
enum Anchor { Stretch = 1, MoveRight = 2, Grow = 4, MoveDown = 8 };

struct AnchoredControl {
    int id;
    int anchor;
};

// Brings an open modeless window forward, restored if it was minimised.
void BringForward(HWND window);

class AnchoredLayout {
public:
    static const int MaxControls = 16;

    // controls outlives the layout; at most MaxControls are laid out.
    AnchoredLayout(const AnchoredControl* controls, int count)
        : controls_(controls), count_(count < MaxControls ? count : MaxControls)
    {
    }

    // Where each control sits in the client area as made: the origin.
    void Record(HWND dialog);
    // Places the controls for a client area of width x height.
    void Apply(HWND dialog, int width, int height) const;
    // The window's size as made; zero before Record.
    POINT Smallest() const { return smallest_; }
    // WM_SIZE and WM_GETMINMAXINFO of the dialog: true when message is one.
    bool OnSizeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    const AnchoredControl* controls_;
    int count_;
    SIZE client_ = {};
    RECT placed_[MaxControls] = {};
    POINT smallest_ = {};
};
