// Start-up through RunKagero, a frame made without InitCommonControlsEx and
// without a pane (each alone and hidden), and the built program run as a
// child process.
#include "ShellFixture.h"

#include "ResourceIds.h"
#include "Startup.h"

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

TEST_CASE("RunKagero records the system, runs the loop through Exit and returns 0")
{
    ReleaseSharedShell();
    AppInstance = nullptr;
    SystemMajorVersion = 0;
    SetTimer(nullptr, 0, 50, DriveMainWindow);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeFakePane) == 0);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    CHECK(SystemMajorVersion == static_cast<int>(version.dwMajorVersion));
    CHECK(AppInstance == GetModuleHandleW(nullptr));
    REQUIRE(LastFakePane);
    // F5 went through the loop's accelerators; Exit reached the pane after
    // the window had gone.
    CHECK(LastFakePane->commands == std::vector<WORD>{CMD_REFRESH, CMD_EXIT});
    delete LastFakePane;
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
}

TEST_CASE("no InitCommonControlsEx and no pane: a plain toolbar on the main window, every message handled")
{
    ReleaseSharedShell();
    ShellFixture shell(SW_HIDE, true, nullptr);
    CommandBar& bar = shell.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    REQUIRE(toolbar);
    CHECK(bar.BarWindow() == toolbar);
    CHECK(GetParent(toolbar) == shell.window);
    CHECK(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0) == MAKELONG(23, 23));
    CHECK(DescribeToolbar(toolbar) == PublishedToolbar);
    CHECK(bar.BarHeight(600, 400) == ClientRect(toolbar).bottom + 2);
    // Its separators are plain gaps, without the grooves' painting.
    CHECK(GetWindowLongPtrW(toolbar, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(ToolbarSeparatorProc));

    // Separators only use no images; a missing layout leaves the buttons be.
    const DWORD separators[] = {0, 0};
    CHECK(bar.AddToolbarButtons(separators, 2) == 1);
    CHECK(bar.LoadToolbarButtons(IDR_TOOLBAR + 1000) == 0);
    CHECK(DescribeToolbar(toolbar) == " -8 -8");

    // Without a pane every message is still handled, up to Exit.
    CHECK(SendMessageW(shell.window, WM_COMMAND, CMD_REFRESH, 0) == 0);
    CHECK(SendMessageW(shell.window, WM_INITMENUPOPUP, 0, 2) == 0);
    SendMessageW(shell.window, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageW(shell.window, WM_SIZE, 0, MAKELPARAM(300, 200));
    SendMessageW(shell.window, WM_COMMAND, CMD_EXIT, 0);
    CHECK_FALSE(IsWindow(shell.window));
}

TEST_CASE("kagero.exe ends with exit code 0 through Exit and through the close box")
{
    ReleaseSharedShell();
    CHECK(RunProgramAndClose(WM_COMMAND, CMD_EXIT) == 0);
    CHECK(RunProgramAndClose(WM_SYSCOMMAND, SC_CLOSE) == 0);
}
