// The pane in the real main window: the bars handed over, the posted
// Refresh, the keyboard, activation, and the teardown.
#include <doctest.h>

#include "MainFrame.h"
#include "PaneHost.h"

using namespace panehost;

namespace {

void Tab(bool shift)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    Pump();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

}  // namespace

TEST_CASE("The pane in the real main window, from creation to teardown")
{
    REQUIRE(LiveTreePaths() == 0);  // nothing left over from the panes of other tests
    REQUIRE(LiveEntryRecords() == 0);
    AppInstance = GetModuleHandleW(nullptr);
    SystemMajorVersion = 6;
    MainFrame frame(MakeControlSite);
    MainWindowHandle = frame.CreateMainWindow(SW_SHOW);
    REQUIRE(MainWindowHandle);
    auto* site = static_cast<ControlSite*>(frame.PaneObject());
    REQUIRE(site == ActiveControlSite);
    HWND tree = site->TreeWindow();
    HWND list = site->ListWindow();
    CHECK(site->StatusBarWindow() == frame.Status().Window());
    CHECK(site->ToolbarWindow() == frame.Bar().ToolbarWindow());

    // The Refresh is posted: it runs from the loop.
    CHECK(Next(tree, TVGN_ROOT) == nullptr);
    Pump();
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));
    CHECK(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0);

    // The tree answers Tab and Escape, keeping them from its incremental search.
    NMTVKEYDOWN key = {{tree, TreeControlId, static_cast<UINT>(TVN_KEYDOWN)}, 0, 0};
    for (WORD code : {WORD(VK_TAB), WORD(VK_ESCAPE), WORD('A'), WORD(VK_RETURN)}) {
        key.wVKey = code;
        CHECK(SendMessageW(site->PaneWindow(), WM_NOTIFY, TreeControlId, reinterpret_cast<LPARAM>(&key)) ==
              (code == VK_TAB || code == VK_ESCAPE ? 1 : 0));
    }

    // Tab and Shift+Tab move between the controls; activation restores the last one.
    SetFocus(tree);
    const struct {
        bool shift;
        HWND focus;
    } presses[] = {{false, list}, {false, tree}, {true, list}};
    for (const auto& press : presses) {
        Tab(press.shift);
        CHECK(GetFocus() == press.focus);
        SetFocus(MainWindowHandle);
        SendMessageW(MainWindowHandle, WM_ACTIVATE, WA_ACTIVE, 0);
        CHECK(GetFocus() == press.focus);
    }

    DestroyWindow(MainWindowHandle);
    Pump();
    CHECK(site->ToolbarWindow() == nullptr);
    CHECK(LiveTreePaths() == 0);
    CHECK(LiveEntryRecords() == 0);
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    MainWindowHandle = nullptr;
    delete site;
}
