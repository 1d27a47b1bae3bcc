// Real main windows in the test process, with a stand-in pane that records
// what the frame hands it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <doctest.h>

#include "AppGlobals.h"
#include "CommandBar.h"
#include "MainFrame.h"

// Texts are compared as UTF-8, which failure reports can show.
inline std::string Utf8(const wchar_t* text)
{
    char buffer[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    return buffer;
}

// Its window is a control parent holding two tab stops, as the real pane
// holds the tree and the list.
class FakePane : public Pane {
public:
    HWND CreatePaneWindow(HWND mainWindow) override
    {
        window = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
            mainWindow, nullptr, AppInstance, nullptr);
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
    int activations = 0, menuPopups = 0;
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

inline RECT ClientRect(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect;
}

struct ShellFixture {
    // plainToolbar takes the path of common controls without
    // InitCommonControlsEx; a null factory gives a frame without a pane.
    explicit ShellFixture(int showCommand, bool plainToolbar = false, PaneFactory factory = MakeFakePane)
        : frame(factory)
    {
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = 10;
        LastFakePane = nullptr;
        if (plainToolbar)
            SetInitCommonControlsExLookup([]() -> InitCommonControlsExFunction { return nullptr; });
        window = MainWindowHandle = frame.CreateMainWindow(showCommand);
        pane = LastFakePane;
    }
    ~ShellFixture()
    {
        DestroyWindow(frame.Window());
        MSG message;  // drops the quit message of the destroyed window
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
        SetInitCommonControlsExLookup(nullptr);
        delete pane;
    }

    MainFrame frame;
    HWND window = nullptr;
    FakePane* pane = nullptr;
};

// Without a window manager Wine waits about two seconds whenever a shown
// top-level window is hidden or destroyed. So the cases share one shown main
// window (current look, both bars shown; a case that changes it restores it),
// left for the process's end, and a case that needs a frame of its own
// releases it and keeps its own hidden: the frame's class and its message
// routing allow one main window at a time.
inline ShellFixture* SharedShellFixture = nullptr;

inline ShellFixture& SharedShell()
{
    if (!SharedShellFixture)
        SharedShellFixture = new ShellFixture(SW_SHOWNORMAL);
    return *SharedShellFixture;
}

inline void ReleaseSharedShell()
{
    delete SharedShellFixture;
    SharedShellFixture = nullptr;
}

// "command:image" per button and "-width" per separator.
inline std::string DescribeToolbar(HWND toolbar)
{
    std::string out;
    TBBUTTON button = {};
    for (int i = 0; SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)); ++i) {
        if (button.fsStyle & TBSTYLE_SEP)
            out += " -" + std::to_string(button.iBitmap);
        else
            out += " " + std::to_string(button.idCommand) + ":" + std::to_string(button.iBitmap);
    }
    return out;
}

// Refresh | Copy Properties | Up, the images numbered over the buttons only.
inline const char PublishedToolbar[] = " 40003:0 -8 40027:1 40008:2 -8 40020:3";
