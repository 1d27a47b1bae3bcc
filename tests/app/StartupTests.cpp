// The main window's life: teardown, start-up through RunKagero, the older
// look's controls, a frame without rebar or pane, and the built program run
// as a child process.
#include "MainWindowFixture.h"

#include "DirectoryTree.h"

namespace {

// Once the main window is up, a Refresh key press and then Exit go through
// the real loop.
void CALLBACK DriveMainWindow(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!IsWindow(MainWindowHandle))
        return;
    KillTimer(nullptr, timer);
    PostMessageW(MainWindowHandle, WM_KEYDOWN, VK_F5, 1);
    PostMessageW(MainWindowHandle, WM_COMMAND, CMD_EXIT, 0);
}

// Runs the built kagero.exe (drive Z: is the Unix root to Wine), sends its
// main window one closing message once its loop runs, and returns its exit
// code; -1 when it does not end.
long RunProgramAndClose(UINT message, WPARAM wParam)
{
    wchar_t path[MAX_PATH] = L"Z:";
    MultiByteToWideChar(CP_UTF8, 0, KAGERO_EXE, -1, path + 2, MAX_PATH - 2);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForInputIdle(process.hProcess, 30000);
    DWORD exitCode = static_cast<DWORD>(-1);
    HWND window = FindWindowW(L"Kagero_MainWndClass", L"Kagero");
    if (PostMessageW(window, message, wParam, 0) && WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(exitCode);
}

}  // namespace

TEST_CASE("The older look's pane: bordered controls in the system font; the posted Refresh; teardown frees every path and record")
{
    Shell().SelectRow(Objects().Root(), L"sem");
    EndShell();
    REQUIRE(LiveTreePaths() == 0);
    REQUIRE(LiveEntryRecords() == 0);
    {
        Program p(3);
        for (HWND control : {p.Tree(), p.List()}) {
            CHECK((GetWindowLongPtrW(control, GWL_STYLE) & WS_BORDER) == WS_BORDER);
            CHECK((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0);
            CHECK(SendMessageW(control, WM_GETFONT, 0, 0) == reinterpret_cast<LRESULT>(GetStockObject(SYSTEM_FONT)));
        }
        // The Refresh is posted: it runs from the loop.
        CHECK(p.Next(TVGN_ROOT) == nullptr);
        p.Pump();
        CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));
        CHECK(LiveTreePaths() > 3);
        CHECK(LiveEntryRecords() > 3);
        DestroyWindow(p.window);
        CHECK(p.site->ToolbarWindow() == nullptr);
        CHECK(LiveTreePaths() == 0);
        CHECK(LiveEntryRecords() == 0);
    }
    Program current;
    for (HWND control : {current.Tree(), current.List()}) {
        CHECK((GetWindowLongPtrW(control, GWL_STYLE) & WS_BORDER) == 0);
        CHECK((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == WS_EX_CLIENTEDGE);
    }
}

TEST_CASE("RunKagero records the system, runs the loop through Exit and returns 0")
{
    EndShell();
    AppInstance = nullptr;
    SystemMajorVersion = 0;
    SetTimer(nullptr, 0, 50, DriveMainWindow);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeRecordingSite) == 0);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    CHECK(SystemMajorVersion == static_cast<int>(version.dwMajorVersion));
    CHECK(AppInstance == GetModuleHandleW(nullptr));
    REQUIRE(LastSite);
    // F5 went through the accelerators; Exit reached the pane after the window had gone.
    CHECK(LastSite->commands == std::vector<WORD>{CMD_REFRESH, CMD_EXIT});
    delete LastSite;
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    SystemMajorVersion = 10;
}

TEST_CASE("No InitCommonControlsEx and no pane: a plain toolbar on the main window, every message handled")
{
    EndShell();
    SetInitCommonControlsExLookup([]() -> InitCommonControlsExFunction { return nullptr; });
    Program p(10, nullptr);
    SetInitCommonControlsExLookup(nullptr);
    CommandBar& bar = p.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    REQUIRE(toolbar);
    CHECK(bar.BarWindow() == toolbar);
    CHECK(GetParent(toolbar) == p.window);
    CHECK(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0) == MAKELONG(23, 23));
    CHECK(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) == 6);
    CHECK(bar.BarHeight(600, 400) == 29);
    // Its separators are plain gaps, without the grooves' painting.
    CHECK(GetWindowLongPtrW(toolbar, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(ToolbarSeparatorProc));
    // Separators only use no images; a missing layout leaves the buttons be.
    const DWORD separators[] = {0, 0};
    CHECK(bar.AddToolbarButtons(separators, 2) == 1);
    CHECK(bar.LoadToolbarButtons(IDR_TOOLBAR + 1000) == 0);
    CHECK(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) == 2);

    CHECK(SendMessageW(p.window, WM_COMMAND, CMD_REFRESH, 0) == 0);
    CHECK(SendMessageW(p.window, WM_INITMENUPOPUP, 0, 2) == 0);
    SendMessageW(p.window, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageW(p.window, WM_SIZE, 0, MAKELPARAM(300, 200));
    SendMessageW(p.window, WM_COMMAND, CMD_EXIT, 0);
    CHECK_FALSE(IsWindow(p.window));
}

TEST_CASE("kagero.exe ends with exit code 0 through Exit and through the close box")
{
    CHECK(RunProgramAndClose(WM_COMMAND, CMD_EXIT) == 0);
    CHECK(RunProgramAndClose(WM_SYSCOMMAND, SC_CLOSE) == 0);
}
