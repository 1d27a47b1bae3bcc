// Watches the modal windows a command opens (message boxes and property
// sheets) from a timer inside their modal loop, reads them as a user would,
// and closes them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppGlobals.h"
#include "ResourceIds.h"

namespace sheetdriver {

const int ApplyButtonId = 0x3021;

struct Box {
    std::wstring text;
    std::wstring caption;
    bool errorIcon = false;
};

struct Sheet {
    std::wstring caption;
    std::vector<std::wstring> tabs;
    bool apply = false;
    HWND page = nullptr;
    std::map<int, std::wstring> fields;  // the General page's edits
    bool countVisible = true;
    bool frameVisible = true;
    std::wstring panelTitle, panelFirst, panelSecond;
    bool panelOnFrame = false;
};

struct Seen {
    std::vector<Box> boxes;
    std::vector<Sheet> sheets;
};

inline Seen* Current = nullptr;
inline std::set<HWND> Handled;
// Runs on every sheet once it has been read, before it is cancelled.
inline std::function<void(HWND sheet, HWND page)> OnSheet;
// Runs on every message box once it has been read, before it is closed.
inline std::function<void(HWND box)> OnBox;

inline std::wstring TextOf(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

inline BOOL CALLBACK FindModal(HWND window, LPARAM found)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (window != MainWindowHandle && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0 &&
        !Handled.count(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK FindIcon(HWND child, LPARAM found)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

inline Box ReadBox(HWND box)
{
    Box seen;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    HICON icon = nullptr;
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
    seen.errorIcon = icon && icon == LoadIconW(nullptr, IDI_HAND);
    return seen;
}

inline Sheet ReadSheet(HWND sheet, HWND tabs)
{
    Sheet seen;
    seen.caption = TextOf(sheet);
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        seen.tabs.push_back(text);
    }
    HWND apply = GetDlgItem(sheet, ApplyButtonId);
    seen.apply = apply && IsWindowVisible(apply);
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    seen.page = page;
    if (!page || !GetDlgItem(page, CTRL_PAGE_PANEL_FRAME))
        return seen;  // not the General page
    for (int id = CTRL_PAGE_PATH; id <= CTRL_PAGE_PERMANENCE; ++id)
        if (id != CTRL_PAGE_PANEL_FRAME)
            seen.fields[id] = TextOf(GetDlgItem(page, id));
    seen.countVisible = IsWindowVisible(GetDlgItem(page, CTRL_PAGE_TYPE_COUNT));
    seen.frameVisible = IsWindowVisible(GetDlgItem(page, CTRL_PAGE_PANEL_FRAME));
    if (HWND panel = FindWindowExW(page, nullptr, L"#32770", nullptr)) {
        seen.panelTitle = TextOf(FindWindowExW(panel, nullptr, L"Button", nullptr));
        seen.panelFirst = TextOf(GetDlgItem(panel, CTRL_PANEL_FIRST));
        seen.panelSecond = TextOf(GetDlgItem(panel, CTRL_PANEL_SECOND));
        RECT panelRect, frameRect;
        GetWindowRect(panel, &panelRect);
        GetWindowRect(GetDlgItem(page, CTRL_PAGE_PANEL_FRAME), &frameRect);
        seen.panelOnFrame = panelRect.left == frameRect.left && panelRect.top == frameRect.top &&
                            IsWindowVisible(panel);
    }
    return seen;
}

// The access-control editor's page as Wine's editor shows it: the accounts
// of the DACL (list 101) and, for the selected one, each right by name with
// "X" or "-" in its allow and deny columns (list 111).
struct Right {
    std::wstring name;
    std::wstring allow, deny;
};
struct SecurityView {
    std::vector<std::wstring> accounts;
    std::vector<std::vector<Right>> rights;  // per account
};

inline std::wstring ItemText(HWND list, int item, int subItem)
{
    wchar_t text[256] = {};
    LVITEMW query = {};
    query.iSubItem = subItem;
    query.pszText = text;
    query.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&query));
    return text;
}

// Selects each account in turn; pump lets the page answer the selection.
inline SecurityView ReadSecurityPage(HWND page, const std::function<void()>& pump)
{
    SecurityView view;
    HWND accounts = GetDlgItem(page, 101);
    HWND rights = GetDlgItem(page, 111);
    const int count = static_cast<int>(SendMessageW(accounts, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        view.accounts.push_back(ItemText(accounts, i, 0));
        LVITEMW select = {};
        select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(accounts, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&select));
        pump();
        std::vector<Right> shown;
        const int rows = static_cast<int>(SendMessageW(rights, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row)
            shown.push_back({ItemText(rights, row, 0), ItemText(rights, row, 1), ItemText(rights, row, 2)});
        view.rights.push_back(shown);
    }
    return view;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND modal = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindModal, reinterpret_cast<LPARAM>(&modal));
    if (!modal || !Current)
        return;
    // Read a window on the tick after it showed, once it has laid itself out and painted.
    static HWND fresh = nullptr;
    if (modal != fresh) {
        fresh = modal;
        return;
    }
    Handled.insert(modal);
    if (HWND tabs = FindWindowExW(modal, nullptr, WC_TABCONTROLW, nullptr)) {
        Current->sheets.push_back(ReadSheet(modal, tabs));
        if (OnSheet)
            OnSheet(modal, Current->sheets.back().page);
        PostMessageW(modal, WM_COMMAND, IDCANCEL, 0);
    } else {
        Current->boxes.push_back(ReadBox(modal));
        if (OnBox)
            OnBox(modal);
        PostMessageW(modal, WM_COMMAND, IDOK, 0);
    }
}

// Runs action, which may open modal windows, and reports what it showed.
inline Seen Run(const std::function<void()>& action)
{
    Seen seen;
    Current = &seen;
    Handled.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    action();
    KillTimer(nullptr, timer);
    Current = nullptr;
    OnSheet = nullptr;
    OnBox = nullptr;
    return seen;
}

}  // namespace sheetdriver
