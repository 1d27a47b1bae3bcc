// kagero-screenshot.exe FOLDER: the README's pictures, taken of the real
// main window, property sheet, find window and holders window over the
// README's scene (kagero-scene.exe, started before). Saves
// FOLDER\main-window.bmp, general-page.bmp, security-page.bmp,
// find-window.bmp, find-writable.bmp, holders-window.bmp and holders-files.bmp, each the window's own rectangle of
// the screen; exit code 1 when one is missing.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "FindDialog.h"
#include "HoldersWindow.h"
#include "MainFrame.h"
#include "ResourceIds.h"
#include "Scene.h"
#include "Startup.h"

namespace {

using scene::PanelObject;
using scene::SecuredObject;
using scene::SharedObject;

std::wstring Folder;
HACCEL Accelerators = nullptr, AdditionAccelerators = nullptr;
bool Failed = false;

void Fail(const wchar_t* what, DWORD error)
{
    fwprintf(stderr, L"kagero-screenshot: %ls (error %lu)\n", what, error);
    Failed = true;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!PreTranslateLoopMessage(&message, Accelerators, AdditionAccelerators)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Runs the loop for a while, so that what was asked for is laid out and painted.
void Settle(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        Pump();
        Sleep(20);
    } while (GetTickCount() - start < milliseconds);
}

bool WriteBitmap(const std::wstring& path, const BITMAPINFOHEADER& header, const std::vector<BYTE>& pixels)
{
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(header);
    const BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(offset + pixels.size()), 0, 0, offset};
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                    WriteFile(out, &header, sizeof(header), &written, nullptr) &&
                    WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    return CloseHandle(out) && ok;
}

// Saves the window as it is on screen, frame included, to FOLDER\name.bmp (24 bits).
void SaveWindow(HWND window, const wchar_t* name)
{
    // Wine hands what was painted to the screen when the thread looks for
    // messages, at most every 50 ms: each round paints and then looks. Without
    // a window manager Wine may also leave the active window's frame drawn inactive.
    for (int round = 0; round < 3; ++round) {
        if (window == GetActiveWindow())
            SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(60);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    RECT r = {};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<BYTE> pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, previous);
    const bool read = copied && GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read || !WriteBitmap(Folder + L"\\" + name + L".bmp", info.bmiHeader, pixels))
        Fail((std::wstring(L"cannot save ") + name).c_str(), GetLastError());
}

HTREEITEM ChildNode(HWND tree, HTREEITEM parent, const wchar_t* label)
{
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t text[256] = {};
        TVITEMW query = {};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = 256;
        if (TreeView_GetItem(tree, &query) && lstrcmpW(text, label) == 0)
            return item;
    }
    return nullptr;
}

bool ShowDirectory(ControlSite& site, const wchar_t* name)
{
    HWND tree = site.TreeWindow();
    HTREEITEM node = ChildNode(tree, TreeView_GetRoot(tree), name);
    if (!node || !TreeView_SelectItem(tree, node))
        return false;
    SetFocus(tree);
    return true;
}

// Focuses and selects the row of that name, so that Properties opens it.
bool SelectRow(ControlSite& site, const wchar_t* name)
{
    HWND list = site.ListWindow();
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = name;
    const int row = ListView_FindItem(list, -1, &find);
    if (row < 0)
        return false;
    SetFocus(list);
    ListView_SetItemState(list, -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    return ListView_EnsureVisible(list, row, FALSE) != FALSE;
}

// The sheet's steps, one per tick of a timer that runs inside its modal loop; then Cancel.
typedef std::function<void(HWND sheet)> SheetStep;
std::vector<SheetStep> Steps;
size_t NextStep = 0;
int Ticks = 0;
const int MostTicks = 100;  // 30 s: a sheet that will not close ends the picture run instead of holding it

BOOL CALLBACK FindSheet(HWND window, LPARAM found)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (window == MainWindowHandle || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK SheetTick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSheet, reinterpret_cast<LPARAM>(&sheet));
    if (!sheet)
        return;
    if (++Ticks > MostTicks) {
        Fail(L"the property sheet did not close", 0);
        ExitProcess(1);
    }
    if (!FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr)) {  // a message box instead of the sheet
        Fail(L"the property sheet did not open", 0);
        PostMessageW(sheet, WM_COMMAND, IDOK, 0);
    } else if (NextStep < Steps.size()) {
        Steps[NextStep++](sheet);
    } else {
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }
}

// Opens Properties on the selected row and runs the steps on its sheet.
void VisitSheet(std::vector<SheetStep> steps)
{
    Steps = std::move(steps);
    NextStep = 0;
    Ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, SheetTick);
    SendMessageW(MainWindowHandle, WM_COMMAND, CMD_PROPERTIES, 0);  // returns when the sheet has closed
    KillTimer(nullptr, timer);
    if (NextStep < Steps.size())
        Fail(L"the property sheet closed early", 0);
}

void ShowSecurityPage(HWND sheet) { SendMessageW(sheet, PSM_SETCURSEL, 1, 0); }

// Selects the shown account in the editor's list of accounts, so that its rights show.
void SelectAccount(HWND sheet)
{
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof(sid), nameLength = 256, domainLength = 256;
    wchar_t account[256] = {}, domain[256] = {};
    SID_NAME_USE use;
    if (!CreateWellKnownSid(scene::ShownAccount, nullptr, sid, &sidSize) ||
        !LookupAccountSidW(nullptr, sid, account, &nameLength, domain, &domainLength, &use)) {
        Fail(L"the shown account has no name", GetLastError());
        return;
    }
    HWND list = GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet), 101);
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = account;
    const int row = ListView_FindItem(list, -1, &find);
    if (row < 0) {
        Fail(L"the shown account is not on the security page", 0);
        return;
    }
    SetFocus(list);
    ListView_SetItemState(list, row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
}

// Starts the find window's search, waits for its end (5 s at most) and brings the window up.
void SearchAndShow(HWND find)
{
    SendMessageW(find, WM_COMMAND, CTRL_FIND_START, 0);
    for (int round = 0; round < 100 && IsWindowEnabled(GetDlgItem(find, CTRL_FIND_STOP)); ++round)
        Settle(50);
    if (IsWindowEnabled(GetDlgItem(find, CTRL_FIND_STOP)))
        Fail(L"the search did not end within 5 s", 0);
    SetForegroundWindow(find);
    Settle(200);
}

// The find window after a search of the whole namespace for the symbolic
// links named like Global.
void TakeFindPicture()
{
    SendMessageW(MainWindowHandle, WM_COMMAND, CMD_FIND, 0);
    HWND find = FindDialogWindow();
    if (!find) {
        Fail(L"the find window cannot be made", GetLastError());
        return;
    }
    HWND types = GetDlgItem(find, CTRL_FIND_TYPE);
    SetDlgItemTextW(find, CTRL_FIND_NAME, L"Global");
    SendMessageW(types, CB_SETCURSEL, SendMessageW(types, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(L"SymbolicLink")), 0);
    SetDlgItemTextW(find, CTRL_FIND_LOCATION, L"\\");
    SearchAndShow(find);
    SaveWindow(find, L"find-window");
    CloseFindDialog();
}

// The find window listing what a low-integrity process of the user can
// change in the scene's directory, with the rights and the entries that give them.
void TakeWritablePicture()
{
    SendMessageW(MainWindowHandle, WM_COMMAND, CMD_FIND, 0);
    HWND find = FindDialogWindow();
    if (!find) {
        Fail(L"the find window cannot be made", GetLastError());
        return;
    }
    const std::wstring place = std::wstring(L"\\") + scene::Directory;
    SetDlgItemTextW(find, CTRL_FIND_NAME, L"");
    SendDlgItemMessageW(find, CTRL_FIND_TYPE, CB_SETCURSEL, 0, 0);
    SetDlgItemTextW(find, CTRL_FIND_LOCATION, place.c_str());
    SetDlgItemTextW(find, CTRL_FIND_WRITABLE, L"現在のユーザー (低い整合性)");
    // Wide enough for the two columns the subject adds.
    RECT frame = {};
    GetWindowRect(find, &frame);
    SetWindowPos(find, nullptr, 0, 0, frame.right - frame.left + 160, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    SearchAndShow(find);
    SaveWindow(find, L"find-writable");
    SetDlgItemTextW(find, CTRL_FIND_WRITABLE, L"");
    CloseFindDialog();
}

// The holders window's list once its scan has found someone (5 s at most).
HWND WaitForHolders(HWND holders)
{
    HWND list = GetDlgItem(holders, CTRL_HOLDERS_LIST);
    for (int round = 0; round < 100 && ListView_GetItemCount(list) == 0; ++round)
        Settle(50);
    if (ListView_GetItemCount(list) == 0)
        Fail(L"the scan found no holders within 5 s", 0);
    return list;
}

// The holders window on the section the mail programs share.
void TakeHoldersPicture(ControlSite& site)
{
    if (!SelectRow(site, SharedObject)) {
        Fail(L"the section is not in the list", 0);
        return;
    }
    SendMessageW(MainWindowHandle, WM_COMMAND, CMD_HOLDERS, 0);
    HWND holders = HoldersWindowHandle();
    if (!holders) {
        Fail(L"the holders window cannot be made", GetLastError());
        return;
    }
    HWND list = WaitForHolders(holders);
    // By process, so that the two handles of one program stand together.
    NMLISTVIEW click = {{list, CTRL_HOLDERS_LIST, LVN_COLUMNCLICK}, -1, 0, 0, 0, 0, {}, 0};
    SendMessageW(holders, WM_NOTIFY, CTRL_HOLDERS_LIST, reinterpret_cast<LPARAM>(&click));
    ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SetForegroundWindow(holders);
    Settle(300);
    SaveWindow(holders, L"holders-window");
    CloseHoldersWindow();
}

// The holders window on the pipes' device: each row a pipe open in a
// process, the scene keeper's among them, with the pipe's name in its own column.
void TakeFileHoldersPicture()
{
    HWND holders = ShowHoldersWindow(MainWindowHandle, L"\\Device\\NamedPipe", L"Device");
    if (!holders) {
        Fail(L"the holders window cannot be made", GetLastError());
        return;
    }
    HWND list = WaitForHolders(holders);
    RECT frame = {};
    GetWindowRect(holders, &frame);
    SetWindowPos(holders, nullptr, 0, 0, frame.right - frame.left + 260, frame.bottom - frame.top + 60,
                 SWP_NOMOVE | SWP_NOZORDER);
    LVFINDINFOW find = {LVFI_STRING, L"kagero-scene.exe", 0, {}, 0};
    const int keeper = ListView_FindItem(list, -1, &find);
    if (keeper >= 0) {
        ListView_SetItemState(list, keeper, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        ListView_EnsureVisible(list, keeper, FALSE);
    }
    // A file's access names run long: the column narrowed, as a user drags it, so that the file column shows.
    ListView_SetColumnWidth(list, 3, 260);
    SetForegroundWindow(holders);
    Settle(300);
    SaveWindow(holders, L"holders-files");
    CloseHoldersWindow();
}

void TakePictures(ControlSite& site)
{
    Settle(1000);  // the first Refresh
    if (!ShowDirectory(site, scene::Directory)) {
        Fail(L"the scene's directory is not in the tree", 0);
        return;
    }
    SetForegroundWindow(MainWindowHandle);
    Settle(500);
    SaveWindow(MainWindowHandle, L"main-window");
    if (!SelectRow(site, PanelObject)) {
        Fail(L"the semaphore is not in the list", 0);
        return;
    }
    Settle(200);
    VisitSheet({SetForegroundWindow, [](HWND sheet) { SaveWindow(sheet, L"general-page"); }});
    if (!SelectRow(site, SecuredObject)) {
        Fail(L"the event is not in the list", 0);
        return;
    }
    Settle(200);
    VisitSheet({SetForegroundWindow, ShowSecurityPage, SelectAccount,
                [](HWND sheet) { SaveWindow(sheet, L"security-page"); }});
    TakeFindPicture();
    TakeWritablePicture();
    TakeHoldersPicture(site);
    TakeFileHoldersPicture();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool help = argc == 2 && (lstrcmpW(argv[1], L"--help") == 0 || lstrcmpW(argv[1], L"-h") == 0 ||
                                    lstrcmpW(argv[1], L"/?") == 0);
    if (argc != 2 || help) {
        fwprintf(help ? stdout : stderr, L"usage: kagero-screenshot FOLDER   (with kagero-scene's scene there)\n");
        return help ? 0 : 2;
    }
    Folder = argv[1];

    AppInstance = GetModuleHandleW(nullptr);
    SystemMajorVersion = 10;  // the current look
    MainFrame frame(MakeControlSite);
    MainWindowHandle = frame.CreateMainWindow(SW_SHOWNORMAL);
    Accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
    AdditionAccelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ADDITIONS_ACCELERATORS));
    if (!MainWindowHandle || !ActiveControlSite)
        Fail(L"the main window cannot be made", GetLastError());
    else
        TakePictures(*ActiveControlSite);

    if (MainWindowHandle)
        DestroyWindow(MainWindowHandle);
    Pump();
    return Failed ? 1 : 0;
}
