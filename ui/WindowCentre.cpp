#include "WindowCentre.h"

namespace {

// The start of a span of `size` centred on [start, start + extent), kept in
// [0, limit). Only one clamp applies: a span larger than the limit ends
// with a negative start, so its left or top part stays reachable.
int CentredStart(int start, int extent, int size, int limit)
{
    int position = start + (extent - size) / 2;
    if (position < 0)
        position = 0;
    else if (position + size > limit)
        position = limit - size;
    return position;
}

}  // namespace

POINT CentredPosition(const RECT& window, const RECT& reference, int fullWidth, int fullHeight)
{
    POINT position;
    position.x = CentredStart(reference.left, reference.right - reference.left, window.right - window.left, fullWidth);
    position.y = CentredStart(reference.top, reference.bottom - reference.top, window.bottom - window.top, fullHeight);
    return position;
}

void CentreOnWindow(HWND window, HWND reference)
{
    RECT windowRect;
    RECT referenceRect;
    if (!GetWindowRect(window, &windowRect) || !GetWindowRect(reference, &referenceRect))
        return;
    POINT position = CentredPosition(
        windowRect, referenceRect, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
