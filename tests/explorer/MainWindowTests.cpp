// The pane in the real main window: the posted Refresh, the loop's Tab rule,
// activation, the bars handed over, and the teardown.
#include <doctest.h>

#include <string>

#include "DirectoryTree.h"
#include "KernelObjects.h"
#include "MainFrame.h"
#include "PaneHost.h"
#include "ResourceIds.h"
#include "Startup.h"

using namespace panehost;

namespace {

void PumpLoop(HACCEL accelerators)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateLoopMessage(&message, accelerators))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Key(HACCEL accelerators, WORD key, bool shift)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PumpLoop(accelerators);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

std::wstring Part(HWND statusBar, int part)
{
    wchar_t text[1100] = {};
    if (LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0)) < 1100)
        SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

TEST_CASE("The pane in the real main window, from creation to teardown")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Shown") >= 0);
    REQUIRE(ns.Event(L"Shown\\First") >= 0);
    REQUIRE(LiveTreePaths() == 0);
    AppInstance = GetModuleHandleW(nullptr);
    SystemMajorVersion = 6;
    HACCEL accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
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
    PumpLoop(accelerators);
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));
    CHECK(Part(site->StatusBarWindow(), 0) == L"\\");
    const LRESULT rootRows = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    CHECK(Part(site->StatusBarWindow(), 1) == std::to_wstring(rootRows) + L"個のオブジェクト");
    Select(tree, FindNode(tree, ns.Path(L"Shown")));
    CHECK(Part(site->StatusBarWindow(), 1) == L"1個のオブジェクト");
    SendMessageW(MainWindowHandle, WM_COMMAND, CMD_UP, 0);
    CHECK(Next(tree, TVGN_CARET) == FindNode(tree, ns.Root()));

    // Tab and Shift+Tab move between the controls; activation restores the last one.
    SetFocus(tree);
    Key(accelerators, VK_TAB, false);
    CHECK(GetFocus() == list);
    Key(accelerators, VK_TAB, false);
    CHECK(GetFocus() == tree);
    Key(accelerators, VK_TAB, true);
    CHECK(GetFocus() == list);
    SetFocus(MainWindowHandle);
    SendMessageW(MainWindowHandle, WM_ACTIVATE, WA_INACTIVE, 0);
    CHECK(GetFocus() == MainWindowHandle);
    SendMessageW(MainWindowHandle, WM_ACTIVATE, WA_ACTIVE, 0);
    CHECK(GetFocus() == list);

    DestroyWindow(MainWindowHandle);
    PumpLoop(accelerators);
    CHECK(site->ToolbarWindow() == nullptr);
    CHECK(LiveTreePaths() == 0);
    CHECK(LiveEntryRecords() == 0);
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    MainWindowHandle = nullptr;
    delete site;
}
