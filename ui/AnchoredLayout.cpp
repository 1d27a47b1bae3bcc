#include "AnchoredLayout.h"

namespace {

bool IsComboBox(HWND control)
{
    wchar_t name[16] = {};
    return GetClassNameW(control, name, 16) > 0 && lstrcmpiW(name, L"ComboBox") == 0;
}

}  // namespace

void AnchoredLayout::Record(HWND dialog)
{
    RECT client = {}, whole = {};
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &whole);
    client_ = {client.right, client.bottom};
    smallest_ = {whole.right - whole.left, whole.bottom - whole.top};
    for (int i = 0; i < count_; ++i) {
        HWND control = GetDlgItem(dialog, controls_[i].id);
        RECT& placed = placed_[i];
        GetWindowRect(control, &placed);
        // A drop-down list's height is its open height, or it would open empty.
        if (IsComboBox(control))
            SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&placed));
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&placed), 2);
    }
}

bool AnchoredLayout::OnSizeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (message == WM_SIZE) {
        if (wParam != SIZE_MINIMIZED && smallest_.x > 0)
            Apply(dialog, LOWORD(lParam), HIWORD(lParam));
        return true;
    }
    if (message == WM_GETMINMAXINFO) {
        if (smallest_.x > 0)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = smallest_;
        return true;
    }
    return false;
}

void BringForward(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    SetActiveWindow(window);
}

void AnchoredLayout::Apply(HWND dialog, int width, int height) const
{
    const int dx = width - client_.cx;
    const int dy = height - client_.cy;
    HDWP moves = BeginDeferWindowPos(count_);
    for (int i = 0; i < count_ && moves; ++i) {
        const RECT& at = placed_[i];
        const int anchor = controls_[i].anchor;
        const int x = at.left + (anchor & MoveRight ? dx : 0);
        const int y = at.top + (anchor & MoveDown ? dy : 0);
        const int w = at.right - at.left + (anchor & Stretch ? dx : 0);
        const int h = at.bottom - at.top + (anchor & Grow ? dy : 0);
        moves = DeferWindowPos(moves, GetDlgItem(dialog, controls_[i].id), nullptr, x, y, w, h,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves)
        EndDeferWindowPos(moves);
}
