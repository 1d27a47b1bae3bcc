// Hosts the real explorer pane in a top-level window playing the main
// window's part: the pane comes from the factory, gets a real status bar, is
// sized, and receives the commands.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "EntryRecord.h"

namespace panehost {

inline ControlSite* HostedSite = nullptr;

inline LRESULT CALLBACK HostWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE && HostedSite) {
        SendMessageW(GetDlgItem(window, 4), WM_SIZE, 0, 0);
        MoveWindow(HostedSite->PaneWindow(), 0, 0, LOWORD(lParam), HIWORD(lParam) - 20, TRUE);
        return 0;
    }
    if (message == WM_COMMAND && HostedSite)
        return HostedSite->OnCommand(window, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

inline void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// One top-level window and status bar for every test: hiding or destroying
// a top-level window costs Wine two seconds. Each PaneHost has its own pane.
inline HWND SharedTopWindow(HWND* statusBar)
{
    static HWND window = nullptr;
    static HWND status = nullptr;
    if (!window) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = HostWndProc;
        windowClass.hInstance = AppInstance;
        windowClass.lpszClassName = L"KageroTestPaneHost";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"Kagero", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                                 0, 800, 600, nullptr, nullptr, AppInstance, nullptr);
        status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                 reinterpret_cast<HMENU>(4), AppInstance, nullptr);
        const int edges[2] = {300, -1};
        SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
        ShowWindow(window, SW_SHOW);
    }
    *statusBar = status;
    return window;
}

class PaneHost {
public:
    explicit PaneHost(int majorVersion = 6)
    {
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = majorVersion;
        window = SharedTopWindow(&statusBar);
        for (int part = 0; part < 2; ++part)
            SendMessageW(statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(L""));
        site = static_cast<ControlSite*>(MakeControlSite());
        HostedSite = site;
        site->CreatePaneWindow(window);
        site->SetBarWindows(nullptr, statusBar);
        RECT client;
        GetClientRect(window, &client);
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
        Pump();  // the posted Refresh runs here
    }
    ~PaneHost()
    {
        DestroyWindow(site->PaneWindow());
        HostedSite = nullptr;
        delete site;
    }
    PaneHost(const PaneHost&) = delete;
    PaneHost& operator=(const PaneHost&) = delete;

    HWND Pane() const { return site->PaneWindow(); }
    HWND Tree() const { return site->TreeWindow(); }
    HWND List() const { return site->ListWindow(); }
    std::wstring Status(int part) const
    {
        wchar_t text[1100] = {};
        if (LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0)) < 1100)
            SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void Command(WORD id) { SendMessageW(window, WM_COMMAND, id, 0); }

    HWND window = nullptr;
    HWND statusBar = nullptr;
    ControlSite* site = nullptr;
};

inline HTREEITEM Next(HWND tree, UINT relation, HTREEITEM item = nullptr)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

struct Node {
    HTREEITEM item;
    std::wstring label;
    std::wstring path;  // the item data
    UINT state;
    int image;
    int selectedImage;
};

inline Node NodeOf(HWND tree, HTREEITEM item)
{
    wchar_t label[1100] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    query.hItem = item;
    query.stateMask = 0xFFFF;
    query.pszText = label;
    query.cchTextMax = 1100;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    const auto* path = reinterpret_cast<const wchar_t*>(query.lParam);
    return {item, label, path ? path : L"", query.state, query.iImage, query.iSelectedImage};
}

// Every node below (and beside) item, depth first.
inline void Collect(HWND tree, HTREEITEM item, std::vector<Node>& nodes)
{
    for (; item; item = Next(tree, TVGN_NEXT, item)) {
        nodes.push_back(NodeOf(tree, item));
        Collect(tree, Next(tree, TVGN_CHILD, item), nodes);
    }
}

inline std::vector<Node> AllNodes(HWND tree)
{
    std::vector<Node> nodes;
    Collect(tree, Next(tree, TVGN_ROOT), nodes);
    return nodes;
}

inline HTREEITEM FindNode(HWND tree, const std::wstring& path)
{
    for (const Node& node : AllNodes(tree))
        if (node.path == path)
            return node.item;
    return nullptr;
}

inline void Select(HWND tree, HTREEITEM item)
{
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

struct Row {
    std::wstring name;
    std::wstring type;
    int image;
    const EntryRecord* record;
};

inline std::vector<Row> Rows(HWND list)
{
    std::vector<Row> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t name[512] = {};
        wchar_t type[512] = {};
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        item.pszText = name;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = type;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        rows.push_back({name, type, item.iImage, reinterpret_cast<const EntryRecord*>(item.lParam)});
    }
    return rows;
}

inline const Row* FindRow(const std::vector<Row>& rows, const std::wstring& name)
{
    for (const Row& row : rows)
        if (row.name == name)
            return &row;
    return nullptr;
}

}  // namespace panehost
