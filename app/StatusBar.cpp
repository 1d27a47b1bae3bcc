#include "StatusBar.h"

#include <commctrl.h>

namespace {

const DWORD StatusBarStyle = WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM;
const int RightPartWidth = 300;

}  // namespace

HWND StatusBar::CreateStatusBar(HWND parent, int controlId, HINSTANCE instance)
{
    InitCommonControls();
    window_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, StatusBarStyle, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    return window_;
}

int StatusBar::SetStatusParts(const int* rightEdges, int count)
{
    SendMessageW(window_, SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(rightEdges));
    return 0;
}

int StatusBar::LayoutStatusBar(int width, int height)
{
    if (!IsWindow(window_))
        return 0;
    SendMessageW(window_, WM_SIZE, 0, MAKELPARAM(width, height));
    RECT client = {};
    GetClientRect(window_, &client);
    int edges[2];
    StatusPartEdges(width, edges);
    SetStatusParts(edges, 2);
    return client.bottom - client.top;
}

void StatusPartEdges(int width, int rightEdges[2])
{
    int first = width - RightPartWidth;
    if (first < 0)
        first = 0;
    rightEdges[0] = first;
    rightEdges[1] = first + RightPartWidth;
}
