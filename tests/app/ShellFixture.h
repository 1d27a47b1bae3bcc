// A real main window in the test process, with a stand-in pane that records
// what the frame hands it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <doctest.h>

#include "AppGlobals.h"
#include "CommandBar.h"
#include "MainFrame.h"

// Wide texts appear in failure reports as UTF-8.
namespace doctest {
template <> struct StringMaker<std::wstring> {
    static String convert(const std::wstring& text)
    {
        char buffer[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
        return String(buffer);
    }
};
}  // namespace doctest

// Its window holds two tab stops and, like the real pane, is a control
// parent, so they take part in the main window's Tab order.
class FakePane : public Pane {
public:
    HWND CreatePaneWindow(HWND mainWindow) override
    {
        WNDCLASSW paneClass = {};
        paneClass.lpfnWndProc = DefWindowProcW;
        paneClass.hInstance = AppInstance;
        paneClass.lpszClassName = L"KageroTest_FakePane";
        RegisterClassW(&paneClass);  // fails harmlessly once registered
        window = CreateWindowExW(WS_EX_CONTROLPARENT, paneClass.lpszClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0,
            10, 10, mainWindow, nullptr, AppInstance, nullptr);
        first = CreateWindowExW(0, L"BUTTON", L"1", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 40, 20, window,
            nullptr, AppInstance, nullptr);
        second = CreateWindowExW(0, L"BUTTON", L"2", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 50, 0, 40, 20, window,
            nullptr, AppInstance, nullptr);
        return window;
    }
    HWND PaneWindow() const override { return window; }
    void SetBarWindows(HWND toolbar, HWND statusBar) override
    {
        toolbarWindow = toolbar;
        statusWindow = statusBar;
    }
    LRESULT OnCommand(HWND, WPARAM wParam, LPARAM) override { return commands.push_back(LOWORD(wParam)), 0; }
    LRESULT OnActivate(UINT, UINT, LPARAM) override { return ++activations, 0; }
    LRESULT OnInitMenuPopup(HWND, HMENU, LPARAM) override { return ++menuPopups, 0; }

    HWND window = nullptr, first = nullptr, second = nullptr;
    HWND toolbarWindow = nullptr, statusWindow = nullptr;
    std::vector<WORD> commands;
    int activations = 0;
    int menuPopups = 0;
};

inline FakePane* LastFakePane = nullptr;
inline Pane* MakeFakePane() { return LastFakePane = new FakePane(); }

inline void HoldKeys(std::initializer_list<int> keys)
{
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    SetKeyboardState(state);
}

// Runs the queue dry, dropping the WM_QUIT of a destroyed main window.
inline void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

struct ShellFixture {
    // majorVersion < 4 selects the older look; plainToolbar takes the path of
    // common controls without InitCommonControlsEx.
    explicit ShellFixture(int majorVersion = 10, bool plainToolbar = false, PaneFactory factory = MakeFakePane)
        : frame(factory)
    {
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = majorVersion;
        LastFakePane = nullptr;
        if (plainToolbar)
            SetInitCommonControlsExLookup([]() -> InitCommonControlsExFunction { return nullptr; });
        window = MainWindowHandle = frame.CreateMainWindow(SW_SHOWNORMAL);
        pane = LastFakePane;
        SetForegroundWindow(window);
        PumpMessages();
    }
    ~ShellFixture()
    {
        HoldKeys({});
        if (IsWindow(window))
            DestroyWindow(window);
        PumpMessages();
        UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
        SetInitCommonControlsExLookup(nullptr);
        MainWindowHandle = nullptr;
        delete pane;
    }
    // A child's rectangle in the main window's client coordinates.
    RECT Placed(HWND child) const
    {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    MainFrame frame;
    HWND window = nullptr;
    FakePane* pane = nullptr;
};
