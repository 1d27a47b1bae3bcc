#include <doctest.h>

#include <string>

#include "ControlSite.h"
#include "PaneHost.h"

using namespace panehost;

namespace {

RECT ChildRect(HWND pane, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int Width(const RECT& rect) { return rect.right - rect.left; }

void SizePane(HWND pane, int width, int height)
{
    SetWindowPos(pane, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
}

void Mouse(HWND pane, UINT message, int x)
{
    SendMessageW(pane, message, 0, MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), 50));
}

void Drag(HWND pane, int from, int to)
{
    Mouse(pane, WM_LBUTTONDOWN, from);
    Mouse(pane, WM_MOUSEMOVE, to);
    Mouse(pane, WM_LBUTTONUP, to);
}

bool ClipsChildren(HWND pane) { return (GetWindowLongPtrW(pane, GWL_STYLE) & WS_CLIPCHILDREN) != 0; }

}  // namespace

TEST_CASE("Tree keys, focus memory and unknown routes")
{
    PaneHost host;
    HWND pane = host.Pane();
    // Tab and Escape are kept out of the tree's incremental search.
    NMTVKEYDOWN key = {{host.Tree(), 101, static_cast<UINT>(TVN_KEYDOWN)}, 0, 0};
    for (WORD code : {WORD(VK_TAB), WORD(VK_ESCAPE), WORD('A'), WORD(VK_RETURN)}) {
        key.wVKey = code;
        CHECK(SendMessageW(pane, WM_NOTIFY, 101, reinterpret_cast<LPARAM>(&key)) ==
              (code == VK_TAB || code == VK_ESCAPE ? 1 : 0));
    }
    CHECK(host.site->LastFocusedChild() == host.Tree());  // focused at creation
    NMHDR header = {host.List(), 102, static_cast<UINT>(NM_SETFOCUS)};
    CHECK(SendMessageW(pane, WM_NOTIFY, 102, reinterpret_cast<LPARAM>(&header)) == 0);
    CHECK(host.site->LastFocusedChild() == host.List());
    header.code = NM_DBLCLK;
    CHECK(SendMessageW(pane, WM_NOTIFY, 102, reinterpret_cast<LPARAM>(&header)) == 0);
    CHECK(SendMessageW(pane, WM_NOTIFY, 55, reinterpret_cast<LPARAM>(&header)) == 0);
    CHECK(SendMessageW(pane, WM_COMMAND, 12345, 0) == 0);
}

TEST_CASE("The splitter")
{
    PaneHost host;
    HWND pane = host.Pane();
    const RECT& bar = host.site->BarRect();

    SUBCASE("the bar sits at the width times 0.3, truncated")
    {
        for (const auto& c : {std::pair<int, int>{1000, 300}, {10, 3}, {333, 99}, {17, 5}}) {
            CAPTURE(c.first);
            SizePane(pane, c.first, 400);
            CHECK((bar.left == c.second && bar.right == c.second + 3 && bar.bottom == 400));
            CHECK(Width(ChildRect(pane, host.Tree())) == c.second);
            CHECK(ChildRect(pane, host.List()).left == c.second + 3);
            CHECK(Width(ChildRect(pane, host.List())) == c.first - c.second - 3);
        }
    }
    SizePane(pane, 1000, 400);
    SUBCASE("a release at 500 stores 0.5, which a later resize follows")
    {
        Mouse(pane, WM_LBUTTONDOWN, 301);
        CHECK(GetCapture() == pane);
        CHECK_FALSE(ClipsChildren(pane));
        Mouse(pane, WM_MOUSEMOVE, 500);
        CHECK(bar.left == 300);  // the controls move only at the end
        Mouse(pane, WM_LBUTTONUP, 500);
        CHECK(GetCapture() == nullptr);
        CHECK(ClipsChildren(pane));
        CHECK(host.site->SplitRatio() == 0.5);
        CHECK(Width(ChildRect(pane, host.Tree())) == 500);
        SizePane(pane, 801, 400);
        CHECK(bar.left == 400);
    }
    SUBCASE("drags are clamped to both edges")
    {
        Drag(pane, 300, -40);
        CHECK(bar.left == 0);
        CHECK(Width(ChildRect(pane, host.Tree())) == 0);
        Drag(pane, 1, 5000);
        CHECK(bar.left == 997);
        CHECK(Width(ChildRect(pane, host.List())) == 0);
    }
    SUBCASE("a button-down off the bar, or a button-up without a drag, does nothing")
    {
        Mouse(pane, WM_LBUTTONDOWN, 299);
        Mouse(pane, WM_LBUTTONDOWN, 303);
        CHECK(GetCapture() == nullptr);
        Mouse(pane, WM_LBUTTONUP, 600);
        SetCapture(host.window);  // a capture that is not our drag
        Mouse(pane, WM_LBUTTONUP, 600);
        CHECK(GetCapture() == host.window);
        ReleaseCapture();
        CHECK(bar.left == 300);
        CHECK(host.site->SplitRatio() == 0.3);
    }
    SUBCASE("a capture lost mid-drag ends the drag and keeps the split")
    {
        Mouse(pane, WM_LBUTTONDOWN, 300);
        Mouse(pane, WM_MOUSEMOVE, 700);
        SetCapture(host.window);
        CHECK_FALSE(host.site->Dragging());
        CHECK(ClipsChildren(pane));
        ReleaseCapture();
        Mouse(pane, WM_LBUTTONUP, 700);
        CHECK(bar.left == 300);
        CHECK(host.site->SplitRatio() == 0.3);
        Drag(pane, 300, 400);  // the next drag works as usual
        CHECK(host.site->SplitRatio() == 0.4);
    }
    SUBCASE("a resize to 0 x 0 and back keeps the ratio")
    {
        Drag(pane, 300, 250);
        SizePane(pane, 0, 0);
        SizePane(pane, 1000, 400);
        CHECK(host.site->SplitRatio() == 0.25);
        CHECK(Width(ChildRect(pane, host.Tree())) == 250);
    }
    SUBCASE("a drag in a pane narrower than the bar never makes the ratio negative")
    {
        for (int width : {2, 0}) {
            SizePane(pane, width, 400);
            Drag(pane, 0, 1);
            CHECK(host.site->SplitRatio() == 0.0);
        }
        SizePane(pane, 1000, 400);
        CHECK(bar.left == 0);
    }
}
