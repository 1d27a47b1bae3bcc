// The holders window driven as a user drives it, over a second process that holds known objects.
#include "MainWindowFixture.h"

#include "app/ColumnFit.h"

#include <regex>

#include "FindDialog.h"
#include "HolderProcess.h"
#include "HolderScanJob.h"
#include "HoldersWindow.h"
#include "NameQueryThread.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "SystemTables.h"

namespace {

const wchar_t Scanning[] = L"開いているプロセスを調べています...";

struct Holders {
    HWND dialog = HoldersWindowHandle();
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    HWND List() const { return Item(CTRL_HOLDERS_LIST); }
    std::wstring Status() const { return TextOf(Item(CTRL_HOLDERS_STATUS)); }
    // Pumps until the scan has ended (30 s at most: one that never ends fails); the status line.
    std::string Wait() const
    {
        for (const ULONGLONG end = GetTickCount64() + 30000; Status() == Scanning && GetTickCount64() < end;)
            Shell().Pump(), MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        return Utf8(Status());
    }
    // "program|pid|handle|access" per row in the list's order, the holder's pid as P and a handle's value as H.
    std::string Rows(DWORD pid) const
    {
        std::string rows;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            std::wstring row;
            for (int column = 0; column < 4; ++column)
                row += (column ? L"|" : L"") + ItemText(List(), i, column);
            rows += Utf8(row) + "\n";
        }
        rows = std::regex_replace(rows, std::regex("\\|" + std::to_string(pid) + "\\|0x[0-9A-F]+\\|"), "|P|H|");
        return rows;
    }
    void SortBy(int column) const
    {
        NMLISTVIEW click = {{List(), CTRL_HOLDERS_LIST, LVN_COLUMNCLICK}, -1, column, 0, 0, 0, {}, 0};
        SendMessageW(dialog, WM_NOTIFY, CTRL_HOLDERS_LIST, reinterpret_cast<LPARAM>(&click));
    }
    // The value shown in the handle column of a row.
    ULONG_PTR Value(int row) const { return std::wcstoull(ItemText(List(), row, 2).c_str(), nullptr, 16); }
};

void PressWithCtrl(HWND list, int control, WORD key)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    NMLVKEYDOWN press = {{list, static_cast<UINT_PTR>(control), LVN_KEYDOWN}, key, 0};
    SendMessageW(GetParent(list), WM_NOTIFY, control, reinterpret_cast<LPARAM>(&press));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

// The holder, started once on the test directory Holder.
HolderProcess& Holder()
{
    static HolderProcess* holder = nullptr;
    if (!holder) {
        REQUIRE(Objects().Directory(L"Holder") == 0);
        holder = new HolderProcess;
        REQUIRE(holder->Start(Objects().Path(L"Holder")));
        Shell().Command(CMD_REFRESH);
    }
    return *holder;
}

const char HeldTwice[] = "1 個のプロセスが 2 個のハンドルで開いています。";
const char HeldOnce[] = "1 個のプロセスが 1 個のハンドルで開いています。";
const char HeldByNone[] = "開いているプロセスはありません。";

// The scan's duplications held, once Hold is set, until its Stop is asked (10 s at most), so that the scan is
// still running then. Refused: the open of this process.
HandleScanCalls Real, Seam;
HANDLE Hold = nullptr, Duplicating = nullptr, StopAsked = nullptr;
DWORD RefusedPid = 0;
NTSTATUS NTAPI HeldDuplicate(HANDLE from, HANDLE source, HANDLE to, PHANDLE target, ACCESS_MASK access, ULONG attributes,
                             ULONG options)
{
    if (Hold && WaitForSingleObject(Hold, 0) == WAIT_OBJECT_0) {
        SetEvent(Duplicating);
        WaitForSingleObject(StopAsked, 10000);
    }
    return Real.duplicate(from, source, to, target, access, attributes, options);
}
NTSTATUS NTAPI RefusingOpen(PHANDLE process, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, CLIENT_ID* client)
{
    if (reinterpret_cast<ULONG_PTR>(client->UniqueProcess) == RefusedPid)
        return STATUS_ACCESS_DENIED;
    return Real.openProcess(process, access, attributes, client);
}
void OnStopAsked() { SetEvent(StopAsked); }

struct HeldScans {
    HeldScans()
    {
        Hold = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Duplicating = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        StopAsked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Real = Seam = ActiveHandleScanCalls();
        Seam.duplicate = HeldDuplicate;
        SetHandleScanCalls(&Seam);
        HolderScanStopAsked = OnStopAsked;
    }
    ~HeldScans()
    {
        HolderScanStopAsked = nullptr;
        SetHandleScanCalls(nullptr);
        for (HANDLE event : {Hold, Duplicating, StopAsked})
            CloseHandle(event);
        Hold = nullptr;
    }
    // Arms the hold, runs start, and returns once the scan is under way.
    void Start(const std::function<void()>& start) const
    {
        ResetEvent(Duplicating);
        ResetEvent(StopAsked);
        SetEvent(Hold);
        start();
        REQUIRE(WaitForSingleObject(Duplicating, 10000) == WAIT_OBJECT_0);
    }
};

// Name queries of files wait for Release, as one on a synchronous pipe can wait for good.
HANDLE Release = nullptr;
ObjectCalls RealObjects, Blocking;
NTSTATUS NTAPI BlockFileNames(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    alignas(8) BYTE type[TypeQueryBytes] = {};
    ULONG got = 0;
    if (infoClass == 1 /* ObjectNameInformation */ && RealObjects.queryObject(handle, 2, type, sizeof(type), &got) >= 0) {
        const UNICODE_STRING& name = reinterpret_cast<const TypeInformationHead*>(type)->TypeName;
        if (std::wstring(name.Buffer, name.Length / sizeof(wchar_t)) == L"File")
            WaitForSingleObject(Release, INFINITE);
    }
    return RealObjects.queryObject(handle, infoClass, buffer, length, returned);
}

void CALLBACK ScanAndExit(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    ShowHoldersWindow(MainWindowHandle, Objects().Path(L"Scanned").c_str(), L"Event");
    REQUIRE(WaitForSingleObject(Duplicating, 10000) == WAIT_OBJECT_0);
    PostMessageW(MainWindowHandle, WM_COMMAND, CMD_EXIT, 0);
}

// The same while a file's name query is stuck: the worker waits on it, the program still ends.
void CALLBACK StuckAndExit(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    ShowHoldersWindow(MainWindowHandle, L"\\Device\\NamedPipe", L"Device");
    for (const ULONGLONG end = GetTickCount64() + 10000; StuckNameQueries() == 0 && GetTickCount64() < end;)
        Sleep(10);
    PostMessageW(MainWindowHandle, WM_COMMAND, CMD_EXIT, 0);
}

}  // namespace

TEST_CASE("holders: a row's holders, one row per handle with its access named; the status; sort, Ctrl+C, F5; a second "
          "use turns the window to the other object")
{
    const DWORD pid = Holder().Pid();
    Shell().SelectRow(Objects().Path(L"Holder"), L"HeldEvent");
    Shell().Command(CMD_HOLDERS);
    Holders h;
    REQUIRE(h.dialog);
    CHECK((GetWindow(h.dialog, GW_OWNER) == Shell().window && TextOf(h.dialog) == L"開いているプロセス"));
    CHECK(TextOf(h.Item(CTRL_HOLDERS_PATH)) == Objects().Path(L"Holder\\HeldEvent"));
    CHECK(h.Wait() == HeldTwice);
    h.SortBy(2);  // by handle: the created one first
    REQUIRE(h.Value(0) < h.Value(1));
    CHECK(h.Rows(pid) == "kagero_holder.exe|P|H|フルコントロール\nkagero_holder.exe|P|H|情報の問い合わせ、同期\n");
    CHECK(UnfittedColumns(h.List(), 4, 0) == "");
    ListView_SetColumnWidth(h.List(), 3, 50);  // as the user narrows it: a sort keeps it, a scan fits it again
    h.SortBy(2);
    CHECK((h.Value(0) > h.Value(1) && ListView_GetColumnWidth(h.List(), 3) == 50));
    const std::wstring second = ItemText(h.List(), 1, 2);
    ListView_SetItemState(h.List(), -1, LVIS_SELECTED, LVIS_SELECTED);
    PressWithCtrl(h.List(), CTRL_HOLDERS_LIST, 'C');
    CHECK(ClipboardText() == L"kagero_holder.exe\t" + std::to_wstring(pid) + L"\t" + ItemText(h.List(), 0, 2) +
                                 L"\t情報の問い合わせ、同期\t\r\nkagero_holder.exe\t" + std::to_wstring(pid) + L"\t" +
                                 second + L"\tフルコントロール\t\r\n");

    MSG f5 = {h.List(), WM_KEYDOWN, VK_F5, 0, 0, {}};
    CHECK(PreTranslateHoldersMessage(&f5));
    CHECK(h.Status() == Scanning);
    CHECK(h.Wait() == HeldTwice);
    CHECK(UnfittedColumns(h.List(), 4, 0) == "");

    Shell().SelectRow(Objects().Path(L"Holder"), L"HeldMutant");
    Shell().Command(CMD_HOLDERS);
    CHECK((HoldersWindowHandle() == h.dialog && TextOf(h.Item(CTRL_HOLDERS_PATH)) == Objects().Path(L"Holder\\HeldMutant")));
    CHECK(h.Wait() == HeldOnce);
    CHECK(h.Rows(pid) == "kagero_holder.exe|P|H|フルコントロール\n");
    CloseHoldersWindow();
    CHECK(HoldersWindowHandle() == nullptr);
}

TEST_CASE("holders: the tree's node as Properties takes it; a node gone since said as Properties says it")
{
    Holder();
    REQUIRE(Objects().Directory(L"Fleeting") == 0);
    Shell().Command(CMD_REFRESH);
    Shell().SelectNode(Objects().Path(L"Holder"));
    Shell().Command(CMD_HOLDERS);
    Holders h;
    CHECK((TextOf(h.Item(CTRL_HOLDERS_PATH)) == Objects().Path(L"Holder") && h.Wait() == HeldByNone));
    CloseHoldersWindow();
    Shell().SelectNode(Objects().Path(L"Fleeting"));
    Objects().Remove(L"Fleeting");
    const modal::Seen seen = modal::Run([] { Shell().Command(CMD_HOLDERS); });
    REQUIRE(seen.boxes.size() == 1);
    CHECK((seen.boxes[0].text == L"オブジェクトが見つかりません。" && HoldersWindowHandle() == nullptr));
}

TEST_CASE("holders: a device's holders are its files, each with its name below it; names that never come are counted "
          "and said, and the window closes while one is awaited")
{
    const DWORD pid = Holder().Pid();
    ShowHoldersWindow(Shell().window, L"\\Device\\NamedPipe", L"Device");
    Holders h;
    REQUIRE(h.dialog);
    CHECK(h.Wait().find(" 個のプロセスが ") != std::string::npos);
    std::vector<std::wstring> files;
    for (int i = 0; i < ListView_GetItemCount(h.List()); ++i)
        if (ItemText(h.List(), i, 1) == std::to_wstring(pid) && ItemText(h.List(), i, 4) == Holder().PipeName())
            files.push_back(ItemText(h.List(), i, 3));
    CHECK(files.size() == 2);
    for (const std::wstring& access : files)  // a pipe's rights by a file's names, not the device's
        CHECK(access.rfind(L"データの読み取り、データの書き込み、", 0) == 0);
    CHECK(ListView_GetColumnWidth(h.List(), 4) > ListView_GetStringWidth(h.List(), Holder().PipeName().c_str()));

    Release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    RealObjects = Blocking = ActiveObjectCalls();
    Blocking.queryObject = BlockFileNames;
    SetObjectCalls(&Blocking);
    SendMessageW(h.dialog, WM_COMMAND, CTRL_HOLDERS_REFRESH, 0);
    for (const ULONGLONG end = GetTickCount64() + 10000; StuckNameQueries() == 0 && GetTickCount64() < end;)
        Shell().Pump(), MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    SendMessageW(h.dialog, WM_COMMAND, IDCANCEL, 0);
    CHECK((HoldersWindowHandle() == nullptr && LiveHolderWorkers() == 0));
    ShowHoldersWindow(Shell().window, L"\\Device\\NamedPipe", L"Device");
    const std::string stuck = Holders().Wait();
    SetObjectCalls(nullptr);
    CHECK(std::regex_search(stuck, std::regex(u8" [0-9]+ 個のハンドルは時間内に名前が分かりませんでした。$")));
    CHECK(StuckNameQueries() == MostStuckQueries);
    SetEvent(Release);
    for (const ULONGLONG end = GetTickCount64() + 10000; StuckNameQueries() > 0 && GetTickCount64() < end;)
        Sleep(10);
    CHECK(StuckNameQueries() == 0);
    CloseHandle(Release);
    CloseHoldersWindow();
}

TEST_CASE("holders: Ctrl+H on a find result; a process that cannot be opened is said; after the holder ends, its rows "
          "are gone")
{
    const DWORD pid = Holder().Pid();
    HWND find = ShowFindDialog(Shell().window, Shell().site);
    SetDlgItemTextW(find, CTRL_FIND_NAME, L"HeldMutant");
    SetDlgItemTextW(find, CTRL_FIND_LOCATION, Objects().Path(L"Holder").c_str());
    SendMessageW(find, WM_COMMAND, CTRL_FIND_START, 0);
    HWND results = GetDlgItem(find, CTRL_FIND_RESULTS);
    for (const ULONGLONG end = GetTickCount64() + 10000; IsWindowEnabled(GetDlgItem(find, CTRL_FIND_STOP)) && GetTickCount64() < end;)
        Shell().Pump(), MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    REQUIRE(ListView_GetItemCount(results) == 1);
    ListView_SetItemState(results, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    PressWithCtrl(results, CTRL_FIND_RESULTS, 'H');
    Holders h;
    REQUIRE(h.dialog);
    CHECK((GetWindow(h.dialog, GW_OWNER) == Shell().window && TextOf(h.Item(CTRL_HOLDERS_PATH)) == Objects().Path(L"Holder\\HeldMutant")));
    CHECK(h.Wait() == HeldOnce);
    CloseFindDialog();

    Real = Seam = ActiveHandleScanCalls();
    Seam.openProcess = RefusingOpen;
    RefusedPid = pid;
    SetHandleScanCalls(&Seam);
    SendMessageW(h.dialog, WM_COMMAND, CTRL_HOLDERS_REFRESH, 0);
    const std::string refused = h.Wait();
    SetHandleScanCalls(nullptr);
    CHECK(refused.rfind(std::string(HeldByNone) + " ", 0) == 0);
    CHECK(refused.find(" 個のプロセスは調べられませんでした。") != std::string::npos);
    CHECK(ListView_GetItemCount(h.List()) == 0);

    Holder().Stop();
    SendMessageW(h.dialog, WM_COMMAND, CTRL_HOLDERS_REFRESH, 0);
    CHECK(h.Wait() == HeldByNone);
    CHECK(ListView_GetItemCount(h.List()) == 0);
    CloseHoldersWindow();
}

TEST_CASE("holders: closing the window and exiting the program during a scan stop it, a stuck name query too; no "
          "worker is left")
{
    REQUIRE(Objects().Event(L"Scanned") == 0);
    HeldScans held;
    held.Start([] { ShowHoldersWindow(Shell().window, Objects().Path(L"Scanned").c_str(), L"Event"); });
    Holders h;
    CHECK((h.Status() == Scanning && LiveHolderWorkers() == 1));
    SendMessageW(h.dialog, WM_COMMAND, IDCANCEL, 0);
    CHECK((!IsWindow(h.dialog) && HoldersWindowHandle() == nullptr && LiveHolderWorkers() == 0));

    EndShell();
    ResetEvent(Duplicating);
    ResetEvent(StopAsked);
    SetTimer(nullptr, 0, 50, ScanAndExit);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeRecordingSite) == 0);
    CHECK((HoldersWindowHandle() == nullptr && LiveHolderWorkers() == 0));
    delete LastSite;
    UnregisterClassW(L"Kagero_MainWndClass", GetModuleHandleW(nullptr));

    ResetEvent(Hold);
    Release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    RealObjects = Blocking = ActiveObjectCalls();
    Blocking.queryObject = BlockFileNames;
    SetObjectCalls(&Blocking);
    SetTimer(nullptr, 0, 50, StuckAndExit);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeRecordingSite) == 0);
    CHECK((HoldersWindowHandle() == nullptr && LiveHolderWorkers() == 0 && StuckNameQueries() > 0));
    SetObjectCalls(nullptr);
    SetEvent(Release);
    for (const ULONGLONG end = GetTickCount64() + 10000; StuckNameQueries() > 0 && GetTickCount64() < end;)
        Sleep(10);
    CHECK(StuckNameQueries() == 0);
    CloseHandle(Release);
    delete LastSite;
    UnregisterClassW(L"Kagero_MainWndClass", GetModuleHandleW(nullptr));
}
