// kagero-screenshot.exe FOLDER: the README's pictures, taken of the real
// main window, property sheet, find window and holders window over objects
// such as applications leave in \BaseNamedObjects. Saves
// FOLDER\main-window.bmp, general-page.bmp, security-page.bmp,
// find-window.bmp and holders-window.bmp, each the window's own rectangle of
// the screen. The holders are copies of this program under made-up names,
// started as "NAME --hold ROLE READY PARENT": they open the scene's objects,
// set the inherited event READY and hold them until the process PARENT ends.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <sddl.h>

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
#include "Startup.h"

namespace {

const wchar_t SceneDirectory[] = L"BaseNamedObjects";
const wchar_t PanelObject[] = L"Indexer.Workers";              // the General page's semaphore
const wchar_t SecuredObject[] = L"PhotoViewer.SingleInstance";  // the security page's event
const wchar_t SharedObject[] = L"MailClient.SharedSettings";     // the holders window's section
// The programs that hold the section, and what each opens it for.
const struct {
    const wchar_t* program;
    DWORD sectionAccess;
} Holders[] = {{L"MailClient.exe", FILE_MAP_ALL_ACCESS}, {L"MailSync.exe", FILE_MAP_READ}, {L"MailClient.exe", FILE_MAP_READ}};
// Administrators own it and, with SYSTEM, may do anything; Users may wait on it
// and read it but neither set it nor change its security; Everyone may wait.
// The creator opens it for SYNCHRONIZE only, which Everyone is given. SYSTEM
// comes first: Wine's editor shows no rights for the DACL's first account.
const wchar_t SecuredDescriptor[] =
    L"O:BAG:BAD:(A;;0x1F0003;;;SY)(D;;0xC0002;;;BU)(A;;0x1F0003;;;BA)(A;;0x120001;;;BU)(A;;0x100000;;;WD)";
// The account whose rights the security picture shows: allowed and denied both.
const WELL_KNOWN_SID_TYPE ShownAccount = WinBuiltinUsersSid;

std::wstring Folder;
HACCEL Accelerators = nullptr, AdditionAccelerators = nullptr;
bool Failed = false;

void Fail(const wchar_t* what, DWORD error)
{
    fwprintf(stderr, L"kagero-screenshot: %ls (error %lu)\n", what, error);
    Failed = true;
}

void Hold(std::vector<HANDLE>& held, HANDLE object, const wchar_t* name)
{
    if (object)
        held.push_back(object);
    else
        Fail((std::wstring(L"cannot make ") + name).c_str(), GetLastError());
}

// A holder's part: the section opened as its role says, the event set, then
// everything held until the parent has ended.
int Hold(const wchar_t* role, const wchar_t* ready, const wchar_t* parent)
{
    const int index = _wtoi(role);
    if (index < 0 || index >= static_cast<int>(sizeof(Holders) / sizeof(Holders[0])))
        return 2;
    const std::wstring section = std::wstring(L"Global\\") + SharedObject;
    HANDLE held = OpenFileMappingW(Holders[index].sectionAccess, FALSE, section.c_str());
    HANDLE owner = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(_wtoi(parent)));
    HANDLE event = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(_wtoi64(ready)));
    if (!held || !owner)
        return 3;
    SetEvent(event);
    CloseHandle(event);
    WaitForSingleObject(owner, INFINITE);
    return 0;
}

// Starts the holders, each a copy of this program under its made-up name in
// the temporary folder; they end when this program does.
void StartHolders()
{
    wchar_t self[MAX_PATH], folder[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!length || length >= MAX_PATH || !GetTempPathW(MAX_PATH, folder)) {
        Fail(L"cannot find this program or the temporary folder", GetLastError());
        return;
    }
    for (int i = 0; i < static_cast<int>(sizeof(Holders) / sizeof(Holders[0])); ++i) {
        const std::wstring program = std::wstring(folder) + Holders[i].program;
        SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
        HANDLE ready = CreateEventW(&inherited, TRUE, FALSE, nullptr);
        std::wstring command = L"\"" + program + L"\" --hold " + std::to_wstring(i) + L" " +
                               std::to_wstring(reinterpret_cast<ULONG_PTR>(ready)) + L" " +
                               std::to_wstring(GetCurrentProcessId());
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child = {};
        if (!ready || (!CopyFileW(self, program.c_str(), FALSE) && GetLastError() != ERROR_SHARING_VIOLATION) ||
            !CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
            Fail(L"cannot start a holder", GetLastError());
        } else {
            HANDLE both[] = {ready, child.hProcess};
            if (WaitForMultipleObjects(2, both, FALSE, 10000) != WAIT_OBJECT_0)
                Fail(L"a holder did not open the section", 0);
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
        if (ready)
            CloseHandle(ready);
    }
}

// The scene's objects, held until the pictures are taken.
std::vector<HANDLE> MakeScene()
{
    std::vector<HANDLE> held;
    Hold(held, CreateEventW(nullptr, TRUE, FALSE, L"Global\\BackupAgent.JobFinished"), L"an event");
    Hold(held, CreateEventW(nullptr, FALSE, FALSE, L"Global\\MailClient.NewMessage"), L"an event");
    Hold(held, CreateMutexW(nullptr, FALSE, L"Global\\BackupAgent.Catalog.Lock"), L"a mutant");
    Hold(held, CreateMutexW(nullptr, FALSE, L"Global\\MailClient.Profile.Lock"), L"a mutant");
    Hold(held, CreateWaitableTimerW(nullptr, TRUE, L"Global\\BackupAgent.NextRun"), L"a timer");
    Hold(held, CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536,
                                  L"Global\\MailClient.SharedSettings"), L"a section");
    const std::wstring semaphore = std::wstring(L"Global\\") + PanelObject;
    Hold(held, CreateSemaphoreW(nullptr, 3, 8, semaphore.c_str()), PanelObject);

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(SecuredDescriptor, SDDL_REVISION_1, &descriptor, nullptr)) {
        Fail(L"cannot read the event's descriptor", GetLastError());
        return held;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const std::wstring event = std::wstring(L"Global\\") + SecuredObject;
    Hold(held, CreateEventExW(&attributes, event.c_str(), 0, SYNCHRONIZE), SecuredObject);
    LocalFree(descriptor);
    return held;
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
    if (!CreateWellKnownSid(ShownAccount, nullptr, sid, &sidSize) ||
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
    SendMessageW(find, WM_COMMAND, CTRL_FIND_START, 0);
    for (int round = 0; round < 100 && IsWindowEnabled(GetDlgItem(find, CTRL_FIND_STOP)); ++round)
        Settle(50);
    if (IsWindowEnabled(GetDlgItem(find, CTRL_FIND_STOP)))
        Fail(L"the search did not end within 5 s", 0);
    SetForegroundWindow(find);
    Settle(200);
    SaveWindow(find, L"find-window");
    CloseFindDialog();
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
    HWND list = GetDlgItem(holders, CTRL_HOLDERS_LIST);
    for (int round = 0; round < 100 && ListView_GetItemCount(list) == 0; ++round)
        Settle(50);
    if (ListView_GetItemCount(list) == 0)
        Fail(L"the scan found no holders within 5 s", 0);
    // By process, so that the two handles of one program stand together.
    NMLISTVIEW click = {{list, CTRL_HOLDERS_LIST, LVN_COLUMNCLICK}, -1, 0, 0, 0, 0, {}, 0};
    SendMessageW(holders, WM_NOTIFY, CTRL_HOLDERS_LIST, reinterpret_cast<LPARAM>(&click));
    ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SetForegroundWindow(holders);
    Settle(300);
    SaveWindow(holders, L"holders-window");
    CloseHoldersWindow();
}

void TakePictures(ControlSite& site)
{
    Settle(1000);  // the first Refresh
    if (!ShowDirectory(site, SceneDirectory)) {
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
    TakeHoldersPicture(site);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && lstrcmpW(argv[1], L"--hold") == 0)
        return Hold(argv[2], argv[3], argv[4]);
    if (argc != 2) {
        fwprintf(stderr, L"usage: kagero-screenshot FOLDER\n");
        return 2;
    }
    Folder = argv[1];
    std::vector<HANDLE> scene = MakeScene();
    StartHolders();

    AppInstance = GetModuleHandleW(nullptr);
    SystemMajorVersion = 10;  // the current look
    MainFrame frame(MakeControlSite);
    MainWindowHandle = frame.CreateMainWindow(SW_SHOWNORMAL);
    Accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
    AdditionAccelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ADDITIONS_ACCELERATORS));
    if (!MainWindowHandle || !ActiveControlSite)
        Fail(L"the main window cannot be made", GetLastError());
    else if (!Failed)
        TakePictures(*ActiveControlSite);

    if (MainWindowHandle)
        DestroyWindow(MainWindowHandle);
    Pump();
    for (HANDLE object : scene)
        CloseHandle(object);
    return Failed ? 1 : 0;
}
