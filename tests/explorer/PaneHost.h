// Hosts the real explorer pane of a freshly started program in a top-level
// window with a real status bar; the pane is sized and its posted Refresh
// has run when the constructor returns.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "DirectoryTree.h"
#include "EntryRecord.h"
#include "KernelObjects.h"
#include "ListSort.h"
#include "ObjectList.h"
#include "ResourceIds.h"
#include "Startup.h"

namespace panehost {

// One round of the program's message loop, Tab rule included.
inline void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateLoopMessage(&message, nullptr))
            continue;
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
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = AppInstance;
        windowClass.lpszClassName = L"KageroTestPaneHost";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"Kagero", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                                 0, 800, 600, nullptr, nullptr, AppInstance, nullptr);
        status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr,
                                 AppInstance, nullptr);
        const int edges[2] = {300, -1};
        SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
        ShowWindow(window, SW_SHOW);
    }
    *statusBar = status;
    return window;
}

inline HTREEITEM Next(HWND tree, UINT relation, HTREEITEM item = nullptr)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

struct Node {
    HTREEITEM item;
    std::wstring label;
    std::wstring path;  // the item data
    int image;
    int selectedImage;
};

inline Node NodeOf(HWND tree, HTREEITEM item)
{
    wchar_t label[1100] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = label;
    query.cchTextMax = 1100;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    const auto* path = reinterpret_cast<const wchar_t*>(query.lParam);
    return {item, label, path ? path : L"", query.iImage, query.iSelectedImage};
}

// Every node from item on, depth first.
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

inline void SetRowState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The sort state the program starts with, taken before any test changes it.
struct SortState {
    int key;
    int descending[SortKeyCount];
};
inline const SortState StartingSort = {CurrentSortKey, {SortDescending[0], SortDescending[1], SortDescending[2]}};

// (type name, name) pairs.
using Entries = std::vector<std::pair<const wchar_t*, const wchar_t*>>;

class PaneHost {
public:
    PaneHost()
    {
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = 6;
        CurrentSortKey = StartingSort.key;
        for (int key = 0; key < SortKeyCount; ++key)
            SortDescending[key] = StartingSort.descending[key];
        window = SharedTopWindow(&statusBar);
        for (int part = 0; part < 2; ++part)
            SendMessageW(statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(L""));
        site = static_cast<ControlSite*>(MakeControlSite());
        site->CreatePaneWindow(window);
        site->SetBarWindows(nullptr, statusBar);
        MoveWindow(Pane(), 0, 0, 800, 500, TRUE);
        Pump();  // the posted Refresh runs here
    }
    ~PaneHost()
    {
        DestroyWindow(Pane());
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
    void Command(WORD id) const { site->OnCommand(window, id, 0); }

    // Selects the directory's node: the list fills from the namespace.
    void Show(const std::wstring& path) const
    {
        SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(FindNode(Tree(), path)));
    }

    // Replaces the rows by the entries, numbered from 1 as the list walk
    // adds them; no row selected or focused.
    void ShowRows(const Entries& entries) const
    {
        SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
        ListTargetWindow = List();
        int index = 0;
        for (const auto& entry : entries)
            AddListEntry(++index, entry.first, entry.second);
        SetRowState(List(), -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    }

    HWND window = nullptr;
    HWND statusBar = nullptr;
    ControlSite* site = nullptr;
};

}  // namespace panehost
