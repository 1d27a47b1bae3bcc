#include <doctest.h>

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

TEST_CASE("The splitter bar sits at the width times the ratio, which only a completed drag changes")
{
    PaneHost host;
    HWND pane = host.Pane();
    // Each step sizes the pane, then drags from `from` to `to`.
    const struct {
        int width;
        int from;
        int to;
        int barLeft;
        double ratio;
    } steps[] = {
        {1000, -1, 600, 300, 0.3},  // off the bar: neither the button-down nor the button-up acts
        {10, -1, 600, 3, 0.3},
        {333, -1, 600, 99, 0.3},
        {17, -1, 600, 5, 0.3},
        {1000, 299, 600, 300, 0.3},  // just left of the bar
        {1000, 303, 600, 300, 0.3},  // just right of it
        {1000, 301, 500, 500, 0.5},  // a release at 500 stores 0.5,
        {801, -1, 600, 400, 0.5},    // which a resize follows
        {1000, 500, -40, 0, 0.0},    // clamped at both edges
        {1000, 1, 5000, 997, 0.997},
        {1000, 998, 250, 250, 0.25},
        {0, 0, 1, 0, 0.25},  // no width: no ratio to learn
        {1000, -1, 600, 250, 0.25},
        {2, 0, 1, 0, 0.0},  // narrower than the bar: never negative
    };
    for (const auto& step : steps) {
        CAPTURE(step.width);
        CAPTURE(step.from);
        SetWindowPos(pane, nullptr, 0, 0, step.width, 400, SWP_NOZORDER | SWP_NOMOVE);
        Drag(pane, step.from, step.to);
        CHECK(host.site->BarRect().left == step.barLeft);
        CHECK(host.site->SplitRatio() == step.ratio);
        if (step.width >= step.barLeft + 3) {
            CHECK(ChildRect(pane, host.Tree()).right == step.barLeft);
            CHECK(ChildRect(pane, host.List()).left == step.barLeft + 3);
            CHECK(ChildRect(pane, host.List()).right == step.width);
        }
    }

    // During a drag the controls stay put and the tracking bar is drawn
    // across them; a capture taken by another window ends the drag.
    SetWindowPos(pane, nullptr, 0, 0, 1000, 400, SWP_NOZORDER | SWP_NOMOVE);
    Mouse(pane, WM_LBUTTONDOWN, 0);
    CHECK(GetCapture() == pane);
    CHECK_FALSE(ClipsChildren(pane));
    Mouse(pane, WM_MOUSEMOVE, 700);
    CHECK(host.site->BarRect().left == 0);
    SetCapture(host.window);
    CHECK(ClipsChildren(pane));
    Mouse(pane, WM_LBUTTONUP, 700);
    CHECK(GetCapture() == host.window);  // not our capture to release
    ReleaseCapture();
    CHECK(host.site->BarRect().left == 0);
    CHECK(host.site->SplitRatio() == 0.0);
    Drag(pane, 0, 400);  // the next drag works as usual
    CHECK(host.site->SplitRatio() == 0.4);
    CHECK(GetCapture() == nullptr);
    CHECK(ClipsChildren(pane));
}
