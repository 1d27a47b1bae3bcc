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

// Runs the built kagero.exe (seen by Wine on drive Z:), sends its main
// window one closing message and returns its exit code; -1 on a time-out.
long RunProgramAndClose(UINT message, WPARAM wParam)
{
    std::wstring path = L"Z:";
    for (const char* c = KAGERO_EXE; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -2;
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        Sleep(100);
        DWORD owner = 0;
        window = FindWindowW(L"Kagero_MainWndClass", nullptr);
        GetWindowThreadProcessId(window, &owner);
        window = owner == process.dwProcessId && IsWindowVisible(window) ? window : nullptr;
    }
    DWORD exitCode = static_cast<DWORD>(-1);
    if (window && PostMessageW(window, message, wParam, 0) && WaitForSingleObject(process.hProcess, 30000) == 0)
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
    HoldKeys({});
    SetTimer(nullptr, 0, 50, DriveMainWindow);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_SHOWNORMAL, MakeFakePane) == 0);
    CHECK_FALSE(IsWindow(MainWindowHandle));
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    CHECK(SystemMajorVersion == static_cast<int>(version.dwMajorVersion));
    CHECK(AppInstance == GetModuleHandleW(nullptr));
    REQUIRE(LastFakePane);
    // Exit still reaches the pane after the window has gone.
    CHECK(LastFakePane->commands == std::vector<WORD>{CMD_REFRESH, CMD_EXIT});
    delete LastFakePane;
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    MainWindowHandle = nullptr;
}

TEST_CASE("kagero.exe ends with exit code 0 through Exit and through the close box")
{
    CHECK(RunProgramAndClose(WM_COMMAND, CMD_EXIT) == 0);
    CHECK(RunProgramAndClose(WM_SYSCOMMAND, SC_CLOSE) == 0);
    CHECK(RunProgramAndClose(WM_CLOSE, 0) == 0);
}
