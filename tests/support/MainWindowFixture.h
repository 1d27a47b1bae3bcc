// The real main window and pane over one namespace of test objects, with the
// loop's pump, selection helpers, and a driver for the modal windows a command opens.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <doctest.h>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "KernelObjects.h"
#include "ListSort.h"
#include "MainFrame.h"
#include "ObjectList.h"
#include "ResourceIds.h"
#include "Startup.h"

inline std::string Utf8(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    std::string out(length * 4, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], length * 4, nullptr, nullptr));
    return out;
}

inline std::wstring TextOf(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

inline std::wstring ItemText(HWND list, int item, int subItem)
{
    wchar_t text[512] = {};
    ListView_GetItemText(list, item, subItem, text, 512);
    return text;
}

// The clipboard's text, read once Copy has closed the clipboard.
inline std::wstring ClipboardText()
{
    REQUIRE(GetOpenClipboardWindow() == nullptr);
    REQUIRE(OpenClipboard(nullptr));
    std::wstring text;
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

inline const std::wstring LongTarget = L"\\" + std::wstring(1499, L't');
inline const std::wstring LongDirectory(700, L'd');
inline const std::wstring LongName(600, L'n');
inline const wchar_t SecuredDescriptor[] = L"O:BAG:BAD:(A;;0x100000;;;SY)(A;;0x120001;;;BA)(A;;0x1F0003;;;WD)(D;;0x2;;;BG)";

// A menu item's state: 'g' greyed, else 'r' radio mark, 'c' plain check, '-' none.
inline char MenuMark(HMENU menu, UINT command)
{
    const UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
    return state & MF_GRAYED ? 'g' : !(state & MF_CHECKED) ? '-' : (state & MFT_RADIOCHECK) ? 'r' : 'c';
}

// Every object the GUI tests read, made before the main window's first Refresh.
inline TestNamespace& Objects()
{
    static TestNamespace* ns = nullptr;
    if (ns)
        return *ns;
    ns = new TestNamespace;
    REQUIRE(ns->Build({
        {Kind::Directory, L"Dir"}, {Kind::Directory, L"Dir\\Deeper"}, {Kind::Event, L"Dir\\Deeper\\x"},
        {Kind::Directory, L"Objects"}, {Kind::Event, L"Objects\\AnEvent"}, {Kind::Directory, L"Objects\\Folder"},
        {Kind::IoCompletion, L"Objects\\ACompletion"}, {Kind::SymbolicLink, L"Objects\\ALink", 0, 0, L"\\Device"},
        {Kind::Directory, L"Empty"}, {Kind::Directory, L"Closed"}, {Kind::Refuse, L"Closed"},
        {Kind::Directory, L"Vanishing"}, {Kind::Event, L"auto"}, {Kind::Event, L"manual", 1, 1},
        {Kind::Mutant, L"held", 1}, {Kind::Mutant, L"once", 1}, {Kind::Mutant, L"abandoned", 2},
        {Kind::Semaphore, L"sem", 3, 10}, {Kind::SymbolicLink, L"link", 0, 0, L"\\Device"},
        {Kind::SymbolicLink, L"longlink", 0, 0, LongTarget}, {Kind::Directory, LongDirectory},
        {Kind::Event, LongDirectory + L"\\" + LongName},
        // Wine's editor shows no marks for the DACL's first account: SYSTEM takes it.
        {Kind::Sddl, SecuredDescriptor}, {Kind::Event, L"secured"}, {Kind::Sddl, L""},
        {Kind::Event, L"refused"}, {Kind::Refuse, L"refused"},
    }) == 0);
    REQUIRE(WaitForSingleObject(ns->Handle(L"held"), 0) == WAIT_OBJECT_0);  // held twice
    return *ns;
}

// The real pane, recording the commands the frame hands it.
class RecordingSite : public ControlSite {
public:
    LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(LOWORD(wParam));
        return ControlSite::OnCommand(window, wParam, lParam);
    }
    std::vector<WORD> commands;
};
inline RecordingSite* LastSite = nullptr;
inline Pane* MakeRecordingSite() { return LastSite = new RecordingSite; }

// "left,top,width,height" of a window in its parent's client coordinates.
inline std::string Placed(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right - r.left) + "," +
           std::to_string(r.bottom - r.top);
}

struct Row { std::wstring name, type; int image; const EntryRecord* record; };

// The tree's caret path, then "|" and the whole name of each selected row, "*" after the focused one.
inline std::wstring ShownIn(HWND tree, HWND list)
{
    TVITEMW node = {TVIF_PARAM | TVIF_HANDLE, TreeView_GetSelection(tree), 0, 0, nullptr, 0, 0, 0, 0, 0};
    TreeView_GetItem(tree, &node);
    std::wstring shown = node.lParam ? reinterpret_cast<const wchar_t*>(node.lParam) : L"";
    for (int i = -1; (i = ListView_GetNextItem(list, i, LVNI_SELECTED)) >= 0;) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        ListView_GetItem(list, &item);
        shown += L"|" + std::wstring(reinterpret_cast<const EntryRecord*>(item.lParam)->name) +
                 (ListView_GetItemState(list, i, LVIS_FOCUSED) ? L"*" : L"");
    }
    return shown;
}

// The sort state the program starts with, taken before any test changes it.
inline const int StartingSort[] = {CurrentSortKey, SortDescending[0], SortDescending[1], SortDescending[2]};

struct Program {
    explicit Program(int major = 10, PaneFactory factory = MakeRecordingSite) : frame(factory)
    {
        Objects();
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = major;
        window = MainWindowHandle = frame.CreateMainWindow(SW_SHOWNORMAL);
        site = static_cast<RecordingSite*>(frame.PaneObject());
        accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
        additionAccelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ADDITIONS_ACCELERATORS));
    }
    // Ends the window as Exit does; the pane lives on, as in the program.
    ~Program()
    {
        DestroyWindow(window);
        Pump();  // drops the quit message
        UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
        MainWindowHandle = nullptr;
        delete site;
        SystemMajorVersion = 10;
    }
    // One round of the program's loop: accelerators, Tab rule, dispatch.
    void Pump() const
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!PreTranslateLoopMessage(&message, accelerators, additionAccelerators)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    HWND Tree() const { return site->TreeWindow(); }
    HWND List() const { return site->ListWindow(); }
    HWND Pane() const { return site->PaneWindow(); }
    void Command(WORD id) const { SendMessageW(window, WM_COMMAND, id, 0); }
    std::wstring Status(int part) const
    {
        wchar_t text[4096] = {};
        SendMessageW(frame.Status().Window(), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void ResetSort() const
    {
        CurrentSortKey = StartingSort[0];
        std::copy(StartingSort + 1, StartingSort + 1 + SortKeyCount, SortDescending);
    }

    HTREEITEM Next(UINT relation, HTREEITEM item = nullptr) const { return TreeView_GetNextItem(Tree(), item, relation); }
    // A node's label and path (its item data).
    std::pair<std::wstring, std::wstring> NodeOf(HTREEITEM item) const
    {
        wchar_t label[1100] = {};
        TVITEMW query = {TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE, item, 0, 0, label, 1100, 0, 0, 0, 0};
        TreeView_GetItem(Tree(), &query);
        return {label, query.lParam ? reinterpret_cast<const wchar_t*>(query.lParam) : L""};
    }
    std::wstring PathOf(HTREEITEM item) const { return NodeOf(item).second; }
    // The nodes below item (all of them for TVI_ROOT), depth first.
    std::vector<HTREEITEM> Nodes(HTREEITEM item = TVI_ROOT) const
    {
        std::vector<HTREEITEM> nodes;
        for (item = item == TVI_ROOT ? Next(TVGN_ROOT) : Next(TVGN_CHILD, item); item; item = Next(TVGN_NEXT, item)) {
            nodes.push_back(item);
            for (HTREEITEM below : Nodes(item))
                nodes.push_back(below);
        }
        return nodes;
    }
    HTREEITEM FindNode(const std::wstring& path) const
    {
        for (HTREEITEM node : Nodes())
            if (PathOf(node) == path)
                return node;
        return nullptr;
    }
    // Selects the directory's node, so that the list fills from it, and focuses the tree.
    void SelectNode(const std::wstring& path) const
    {
        HTREEITEM node = FindNode(path);
        REQUIRE(node);
        TreeView_SelectItem(Tree(), node);
        SetFocus(Tree());
    }

    std::vector<Row> Rows() const
    {
        std::vector<Row> rows;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            LVITEMW item = {};
            item.mask = LVIF_IMAGE | LVIF_PARAM;
            item.iItem = i;
            ListView_GetItem(List(), &item);
            rows.push_back({ItemText(List(), i, 0), ItemText(List(), i, 1), item.iImage,
                            reinterpret_cast<const EntryRecord*>(item.lParam)});
        }
        return rows;
    }
    void SetRowState(int row, UINT state, UINT mask) const { ListView_SetItemState(List(), row, state, mask); }
    // Shows the directory afresh and gives the row of that whole name state, the list focused.
    void SelectRow(const std::wstring& directory, const std::wstring& name, UINT state = LVIS_FOCUSED | LVIS_SELECTED)
    {
        TreeView_SelectItem(Tree(), nullptr);
        SelectNode(directory);
        SetFocus(List());
        SetRowState(-1, 0, LVIS_FOCUSED | LVIS_SELECTED);
        const std::vector<Row> rows = Rows();
        for (row = static_cast<int>(rows.size()) - 1; row >= 0 && rows[row].record->name != name; --row)
            ;
        REQUIRE(row >= 0);
        SetRowState(row, state, LVIS_FOCUSED | LVIS_SELECTED);
    }
    // Replaces the rows by (type, name) entries numbered from 1, none selected or focused.
    void ShowRows(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& entries) const
    {
        ListView_DeleteAllItems(List());
        ListTargetWindow = List();
        for (size_t i = 0; i < entries.size(); ++i)
            AddListEntry(static_cast<int>(i) + 1, entries[i].first, entries[i].second);
        SetRowState(-1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    }

    mutable MainFrame frame;
    HWND window = nullptr;
    RecordingSite* site = nullptr;
    HACCEL accelerators = nullptr, additionAccelerators = nullptr;
    int row = -1;
};

// One shown main window for every case (a case that changes it restores it);
// EndShell closes it for a case that needs a frame of its own.
inline Program* SharedProgram = nullptr;
inline Program& Shell()
{
    if (!SharedProgram)
        (SharedProgram = new Program)->Pump();  // the posted Refresh runs here
    return *SharedProgram;
}
inline void EndShell()
{
    delete SharedProgram;
    SharedProgram = nullptr;
}

// Reads the modal windows an action opens from a timer inside their modal loop
// and closes them: a sheet with Cancel, anything else with OK unless OnBox did.
namespace modal {

struct Box { std::wstring text, caption; bool errorIcon; };
struct Sheet { std::vector<std::wstring> tabs; bool apply; };
struct Seen {
    std::vector<Box> boxes;
    std::vector<Sheet> sheets;
    int forced = 0;  // windows still open 3 seconds after their close
};

inline Seen* Current = nullptr;
// Run on a sheet (with its current page) or a box once read, before the close.
inline std::function<void(HWND sheet, HWND page)> OnSheet;
inline std::function<bool(HWND box)> OnBox;  // true: it closed the box itself

inline BOOL CALLBACK FindModal(HWND window, LPARAM found)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (window == MainWindowHandle || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    static HWND fresh = nullptr, closed = nullptr;
    static int ticks = 0;
    HWND modal = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindModal, reinterpret_cast<LPARAM>(&modal));
    if (!modal || !Current)
        return;
    if (modal == closed && ++ticks == 100) {  // a fault could otherwise hang the test
        ++Current->forced;
        EndDialog(modal, 0);
    }
    if (modal == closed || modal != fresh) {  // read a window on the tick after it showed, laid out and painted
        fresh = modal;
        return;
    }
    closed = modal;
    ticks = 0;
    if (HWND tabs = FindWindowExW(modal, nullptr, WC_TABCONTROLW, nullptr)) {
        HWND apply = GetDlgItem(modal, 0x3021);
        Sheet sheet = {{}, apply && IsWindowVisible(apply)};
        for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
            wchar_t text[64] = {};
            TCITEMW item = {TCIF_TEXT, 0, 0, text, 64, 0, 0};
            TabCtrl_GetItem(tabs, i, &item);
            sheet.tabs.push_back(text);
        }
        Current->sheets.push_back(sheet);
        if (OnSheet)
            OnSheet(modal, PropSheet_GetCurrentPageHwnd(modal));
        PostMessageW(modal, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // A message box's first static control holds its icon.
    const LRESULT icon = SendMessageW(FindWindowExW(modal, nullptr, L"Static", nullptr), STM_GETICON, 0, 0);
    const bool error = icon && icon == reinterpret_cast<LRESULT>(LoadIconW(nullptr, IDI_HAND));
    Current->boxes.push_back({TextOf(GetDlgItem(modal, 0xFFFF)), TextOf(modal), error});
    if (!OnBox || !OnBox(modal))
        PostMessageW(modal, WM_COMMAND, IDOK, 0);
}

// Runs action, which may open modal windows, and reports what it showed.
inline Seen Run(const std::function<void()>& action)
{
    Seen seen;
    Current = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    action();
    KillTimer(nullptr, timer);
    Current = nullptr;
    OnSheet = nullptr;
    OnBox = nullptr;
    return seen;
}

}  // namespace modal
