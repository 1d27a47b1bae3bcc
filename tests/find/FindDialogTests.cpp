// The find window driven as a user drives it, over the test objects and Wine's whole namespace.
#include "AccessRows.h"
#include "MainWindowFixture.h"

#include "app/ColumnFit.h"

#include "FindDialog.h"
#include "FindResults.h"
#include "NativeApi.h"
#include "ReportList.h"

namespace {

struct Finder {
    HWND dialog = ShowFindDialog(Shell().window, Shell().site);
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    HWND List() const { return Item(CTRL_FIND_RESULTS); }
    std::wstring Text(int id) const { return TextOf(Item(id)); }
    void Start(const wchar_t* text, const wchar_t* type, const std::wstring& location) const
    {
        SetWindowTextW(Item(CTRL_FIND_NAME), text);
        const LRESULT index = SendMessageW(Item(CTRL_FIND_TYPE), CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(type));
        SendMessageW(Item(CTRL_FIND_TYPE), CB_SETCURSEL, *type ? index : 0, 0);
        SetWindowTextW(Item(CTRL_FIND_LOCATION), location.c_str());
        SendMessageW(dialog, WM_COMMAND, CTRL_FIND_START, 0);
    }
    // Pumps as messages come until the search has ended (10 s at most: one that never ends fails); the status line.
    std::wstring Wait() const
    {
        for (const ULONGLONG end = GetTickCount64() + 10000; IsWindowEnabled(Item(CTRL_FIND_STOP)) && GetTickCount64() < end;)
            Shell().Pump(), MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        return Text(CTRL_FIND_STATUS);
    }
    // "name|directory|type|target|image " per row, the test root as "~", a long target as its length.
    std::string Rows() const
    {
        std::string rows;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            std::wstring texts[4];  // read whole: the list's own buffer is the caller's
            for (int column = 0; column < 4; ++column) {
                wchar_t text[2048] = {};
                ListView_GetItemText(List(), i, column, text, 2048);
                texts[column] = text;
            }
            if (texts[1].rfind(Objects().Root(), 0) == 0)
                texts[1].replace(0, Objects().Root().size(), L"~");
            for (std::wstring& text : texts)
                if (text.size() > 100)
                    text = L"<" + std::to_wstring(text.size()) + L">";
            LVITEMW item = {LVIF_IMAGE, i, 0, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, nullptr, nullptr, 0};
            ListView_GetItem(List(), &item);
            rows += Utf8(texts[0] + L"|" + texts[1] + L"|" + texts[2] + L"|" + texts[3] + L"|") +
                    std::to_string(item.iImage) + " ";
        }
        return rows;
    }
    // The 変更できる field's text, as chosen from its list or typed.
    void Ask(const wchar_t* subject) const { SetWindowTextW(Item(CTRL_FIND_WRITABLE), subject); }
    // "name|rights|reason " per row.
    std::string Access() const
    {
        std::string rows;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i)
            rows += Utf8(ItemText(List(), i, 0) + L"|" + ItemText(List(), i, 4) + L"|" + ItemText(List(), i, 5)) + " ";
        return rows;
    }
    int Columns() const { return Header_GetItemCount(ListView_GetHeader(List())); }
    void SortBy(int column) const
    {
        NMLISTVIEW click = {{List(), CTRL_FIND_RESULTS, LVN_COLUMNCLICK}, -1, column, 0, 0, 0, {}, 0};
        SendMessageW(dialog, WM_NOTIFY, CTRL_FIND_RESULTS, reinterpret_cast<LPARAM>(&click));
    }
};

// Once the main window is up: a search of the whole namespace, and Exit while it runs.
void CALLBACK SearchAndExit(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    SendMessageW(ShowFindDialog(MainWindowHandle, LastSite), WM_COMMAND, CTRL_FIND_START, 0);
    PostMessageW(MainWindowHandle, WM_COMMAND, CMD_EXIT, 0);
}

// The worker's directory reads held until its Stop is asked (10 s at most), so that the search is still running
// then; the windows' own reads, on the test's thread, go on.
DirectoryCalls Real, Held;
DWORD TestThread = 0;
HANDLE StopAsked = nullptr;
NTSTATUS NTAPI HeldQuery(HANDLE directory, PVOID buffer, ULONG size, BOOLEAN one, BOOLEAN restart, PULONG context,
                         PULONG needed)
{
    if (GetCurrentThreadId() != TestThread)
        WaitForSingleObject(StopAsked, 10000);
    return Real.query(directory, buffer, size, one, restart, context, needed);
}

const char Found3[] = "3 個のオブジェクトが見つかりました。 1 個のディレクトリを開けませんでした。";

}  // namespace

TEST_CASE("find: one window at the tree's directory, with the system's types in name order, remembering the last query")
{
    Shell().SelectNode(Objects().Path(L"Objects"));
    Finder f;
    REQUIRE(f.dialog);
    CHECK((ShowFindDialog(Shell().window, Shell().site) == f.dialog && FindDialogWindow() == f.dialog));
    CHECK((GetWindow(f.dialog, GW_OWNER) == Shell().window && TextOf(f.dialog) == L"オブジェクトの検索"));
    CHECK((f.Text(CTRL_FIND_LOCATION) == Objects().Path(L"Objects") && !IsWindowEnabled(f.Item(CTRL_FIND_STOP))));
    RECT r = {};
    GetWindowRect(f.dialog, &r);
    SetWindowPos(f.dialog, nullptr, 0, 0, r.right - r.left + 100, r.bottom - r.top + 80, SWP_NOMOVE | SWP_NOZORDER);
    CHECK(Placed(f.List()) + " " + Placed(f.Item(CTRL_FIND_STATUS)) + " " + Placed(f.Item(IDCANCEL)) + " " +
              Placed(f.Item(CTRL_FIND_WRITABLE)) == "12,117,671,295 12,421,671,15 576,65,107,23 116,89,447,21");  // 100 x 80 more
    std::vector<std::wstring> types;
    for (int i = 0; i < SendMessageW(f.Item(CTRL_FIND_TYPE), CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[256] = {};
        SendMessageW(f.Item(CTRL_FIND_TYPE), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        types.push_back(text);
    }
    REQUIRE(types.size() > 10);
    CHECK(types[0] == L"(すべてのタイプ)");
    CHECK(std::is_sorted(types.begin() + 1, types.end(), [](auto& a, auto& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; }));
    for (const wchar_t* type : {L"Directory", L"Event", L"SymbolicLink"})
        CHECK(std::find(types.begin(), types.end(), type) != types.end());
    f.Start(L"nothing", L"Event", Objects().Path(L"Objects"));
    CHECK(Utf8(f.Wait()) == "0 個のオブジェクトが見つかりました。");
    CloseFindDialog();
    CHECK(FindDialogWindow() == nullptr);
    Finder again;
    CHECK((again.Text(CTRL_FIND_NAME) == L"nothing" && again.Text(CTRL_FIND_TYPE) == L"Event"));
    CloseFindDialog();
}

TEST_CASE("find: the rows, their columns and icons, the counts, the header sort; Ctrl+C and Alt+Enter on results")
{
    const char links[] = "ALink|~\\Objects|SymbolicLink|\\Device|7 link|~|SymbolicLink|\\Device|7 longlink|~|SymbolicLink|<1500>|7 ";
    const struct { const wchar_t *text, *type, *place; std::string rows, status; } searches[] = {
        {L"a*t", L"", L"Objects", "AnEvent|~\\Objects|Event||8 ", "1 個のオブジェクトが見つかりました。"},
        {L"N", L"Event", L"", "AnEvent|~\\Objects|Event||8 manual|~|Event||8 <600>|<702>|Event||8 ", Found3},
        {L"", L"SymbolicLink", L"", links, Found3},
        {L"x", L"", L"NoSuch", "", "場所を開けません: オブジェクトが見つかりません。"},
        {L"x", L"", L"Closed", "", "場所を開けません: アクセスは拒否されました。"},
        {L"LINK", L"", L"", links, Found3},
    };
    Finder f;
    f.SortBy(0);  // chosen before the search: its rows sorted when it ends
    f.Start(L"N", L"Event", Objects().Path(L""));
    for (const ULONGLONG end = GetTickCount64() + 10000; LiveSearchWorkers() > 0 && GetTickCount64() < end;)
        Sleep(1);
    SendMessageW(f.dialog, WM_COMMAND, CTRL_FIND_STOP, 0);  // the search has ended, its last batch not yet shown
    CHECK((Utf8(f.Text(CTRL_FIND_STATUS)) == Found3 && f.Rows() == searches[1].rows));
    for (const auto& search : searches) {
        CAPTURE(Utf8(search.text));
        f.Start(search.text, search.type, Objects().Path(search.place));
        CHECK(Utf8(f.Wait()) == search.status);
        CHECK(f.Rows() == search.rows);
        CHECK(UnfittedColumns(f.List(), 4, 16) == "");  // the long name and target whole, as far as the list draws
    }
    f.SortBy(0);  // the same column again: the other way round
    CHECK(f.Rows().rfind("longlink|", 0) == 0);
    f.SortBy(1);
    CHECK(f.Rows().rfind("link|~|", 0) == 0);

    ListView_SetItemState(f.List(), -1, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(f.List(), 2, LVIS_FOCUSED, LVIS_FOCUSED);  // ALink, sorted by place
    REQUIRE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    SendMessageW(f.List(), WM_KEYDOWN, 'C', 0);  // C alone copies nothing
    CHECK(ClipboardText().empty());
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(f.List(), WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    const std::wstring root = Objects().Root();
    CHECK(ClipboardText() == root + L"\\link\r\n" + root + L"\\longlink\r\n" + root + L"\\Objects\\ALink\r\n");
    std::wstring path;
    bool mainTookInput = true;
    modal::OnSheet = [&](HWND, HWND page) {
        path = TextOf(GetDlgItem(page, CTRL_PAGE_PATH));
        mainTookInput = IsWindowEnabled(Shell().window);
        SendMessageW(f.List(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29);  // a second sheet is not made
    };
    const modal::Seen seen = modal::Run([&] { SendMessageW(f.List(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29); });
    REQUIRE(seen.sheets.size() == 1);
    CHECK((seen.sheets[0].tabs == std::vector<std::wstring>{L"一般", L"セキュリティ"} && path == root + L"\\Objects\\ALink"));
    CHECK((!mainTookInput && IsWindowEnabled(Shell().window)));
    f.SortBy(0);  // the focus stays on its row
    CHECK(ItemText(f.List(), ListView_GetNextItem(f.List(), -1, LVNI_FOCUSED), 0) == L"ALink");
    CloseFindDialog();
    CHECK(LiveFoundRows() == 0);
}

TEST_CASE("find: Enter or a double-click on a result shows it in the main window; one gone since says so")
{
    REQUIRE(Objects().Event(L"Objects\\Fleeting") == 0);
    Finder f;
    f.Start(L"e", L"Event", Objects().Path(L"Objects"));
    f.Wait();
    f.SortBy(0);  // AnEvent, Fleeting
    REQUIRE(f.Rows() == "AnEvent|~\\Objects|Event||8 Fleeting|~\\Objects|Event||8 ");
    ListView_SetItemState(f.List(), 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SetFocus(f.List());
    MSG enter = {f.List(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    CHECK(IsDialogMessageW(f.dialog, &enter));
    const int shown = ListView_GetNextItem(Shell().List(), -1, LVNI_FOCUSED | LVNI_SELECTED);
    CHECK((Shell().PathOf(Shell().Next(TVGN_CARET)) == Objects().Path(L"Objects") && shown >= 0 &&
           Shell().Rows()[shown].name == L"AnEvent"));
    // The main window's sheet and boxes leave the find window no input while they are up.
    std::vector<bool> findTookInput;
    modal::OnSheet = [&](HWND, HWND) { findTookInput.push_back(IsWindowEnabled(f.dialog)); };
    modal::OnBox = [&](HWND) { findTookInput.push_back(IsWindowEnabled(f.dialog)); return false; };
    modal::Run([&] { SendMessageW(Shell().window, WM_COMMAND, CMD_PROPERTIES, 0); });
    Objects().Remove(L"Objects\\Fleeting");
    ListView_SetItemState(f.List(), 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    NMITEMACTIVATE click = {{f.List(), CTRL_FIND_RESULTS, NM_DBLCLK}, 1, 0, 0, 0, 0, {}, 0, 0};
    modal::OnBox = [&](HWND) { findTookInput.push_back(IsWindowEnabled(f.dialog)); return false; };
    const modal::Seen seen = modal::Run([&] { SendMessageW(f.dialog, WM_NOTIFY, CTRL_FIND_RESULTS, reinterpret_cast<LPARAM>(&click)); });
    REQUIRE(seen.boxes.size() == 1);
    CHECK(seen.boxes[0].text == L"オブジェクトが見つかりません。");
    CHECK((findTookInput == std::vector<bool>{false, false} && IsWindowEnabled(f.dialog)));
    // A sheet that cannot be made: its box leaves the main window no input, then both windows have it again.
    bool mainTookInput = true;
    modal::OnBox = [&](HWND) { mainTookInput = IsWindowEnabled(Shell().window); return false; };
    const modal::Seen failed = modal::Run([&] { SendMessageW(f.List(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29); });
    CHECK((failed.sheets.empty() && failed.boxes.size() == 1 && !mainTookInput));
    CHECK((IsWindowEnabled(Shell().window) && IsWindowEnabled(f.dialog)));
    CloseFindDialog();
}

TEST_CASE("find: who can change it, by each subject of the list and a typed SID, with the rights and reasons; the "
          "unreadable listed and counted; an unknown account; the columns only with a subject, sorted by; Alt+Enter")
{
    REQUIRE(BuildAccessRows(Objects(), L"Access") == 0);
    const std::string w = "|変更、削除、アクセス許可の変更、所有権の取得|", refused = "refused|読めません: アクセスは拒否されました。| ";
    // In name order: the refused one between the two Everyone may change.
    const std::string wd = "low-label" + w + "#0:WD " + refused + "unlabelled" + w + "#0:WD ";
    const std::string counted = " 1 個のオブジェクトのセキュリティを読めませんでした。";
    const struct { const wchar_t* subject; std::string rows, status; } asked[] = {
        {L"Everyone", wd, "3 個のオブジェクトが見つかりました。" + counted},
        {L"Users", wd, "3 個のオブジェクトが見つかりました。" + counted},
        {L"Authenticated Users", "au-only" + w + "#1:AU " + wd, "4 個のオブジェクトが見つかりました。" + counted},
        // Wine's user: its groups as a logon gives them, Administrators for denying only.
        {L"現在のユーザー", "au-only" + w + "#1:AU " + wd, "4 個のオブジェクトが見つかりました。" + counted},
        {L"現在のユーザー (低い整合性)", "low-label" + w + "#0:WD " + refused, "2 個のオブジェクトが見つかりました。" + counted},
        // Wine's own token: High, every group enabled.
        {L"このプロセス", "au-only" + w + "#1:AU ba-only" + w + "#1:BA " + wd,
         "5 個のオブジェクトが見つかりました。" + counted},
        {L"S-1-5-32-544", "ba-only" + w + "#1:BA " + wd, "4 個のオブジェクトが見つかりました。" + counted},
        {L"NoSuchAccount-Kagero", "", "アカウントが見つかりません: NoSuchAccount-Kagero"},
        {L"(指定なし)", "", "5 個のオブジェクトが見つかりました。"},
    };
    Finder f;
    f.SortBy(0);
    for (const auto& ask : asked) {
        CAPTURE(Utf8(ask.subject));
        f.Ask(ask.subject);
        f.Start(L"", L"", Objects().Path(L"Access"));
        CHECK(Utf8(f.Wait()) == ask.status);
        CHECK(f.Columns() == (ask.rows.empty() ? 4 : 6));
        if (ask.rows.empty())
            CHECK(ListView_GetItemCount(f.List()) == (*ask.subject == L'(' ? 5 : 0));
        else
            CHECK(f.Access() == ask.rows);
    }
    f.Ask(L"現在のユーザー (低い整合性)");
    f.Start(L"", L"", Objects().Path(L"Access"));
    f.Wait();
    f.SortBy(4);  // 読めません (よ) before 変更 (へ) in the collation's order
    CHECK(f.Access() == refused + "low-label" + w + "#0:WD ");
    f.SortBy(4);
    CHECK(f.Access() == "low-label" + w + "#0:WD " + refused);
    f.SortBy(5);
    CHECK(f.Access().rfind("refused|", 0) == 0);  // no reason first
    CloseFindDialog();
    Finder again;  // the subject kept
    CHECK((again.Text(CTRL_FIND_WRITABLE) == L"現在のユーザー (低い整合性)" && again.Columns() == 4));
    again.Start(L"low", L"", Objects().Path(L"Access"));
    again.Wait();
    ListView_SetItemState(again.List(), 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    std::wstring path;
    modal::OnSheet = [&](HWND, HWND page) { path = TextOf(GetDlgItem(page, CTRL_PAGE_PATH)); };
    const modal::Seen seen = modal::Run([&] { SendMessageW(again.List(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29); });
    CHECK((seen.sheets.size() == 1 && path == Objects().Path(L"Access\\low-label")));
    NMITEMACTIVATE click = {{again.List(), CTRL_FIND_RESULTS, NM_DBLCLK}, 0, 0, 0, 0, 0, {}, 0, 0};
    SendMessageW(again.dialog, WM_NOTIFY, CTRL_FIND_RESULTS, reinterpret_cast<LPARAM>(&click));
    CHECK(Shell().PathOf(Shell().Next(TVGN_CARET)) == Objects().Path(L"Access"));
    again.Ask(L"");  // the next tests' searches without one
    again.Start(L"", L"", Objects().Path(L"NoSuch"));
    again.Wait();
    CloseFindDialog();
}

TEST_CASE("find: a search again keeps the last rows until its first notice; 中止, closing the window and exiting the "
          "program during a search stop it; no row or worker is left")
{
    Real = Held = ActiveDirectoryCalls();
    Held.query = HeldQuery;
    TestThread = GetCurrentThreadId();
    StopAsked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Finder f;
    f.Start(L"", L"", L"\\ObjectTypes");
    f.Wait();
    const std::string listed = f.Rows();
    ListView_SetItemState(f.List(), 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    f.Start(L"", L"", L"\\ObjectTypes");
    f.Wait();  // the same rows anew, none of them selected or focused
    CHECK((f.Rows() == listed && ListView_GetSelectedCount(f.List()) == 0 &&
           ListView_GetNextItem(f.List(), -1, LVNI_FOCUSED) == -1));
    SetDirectoryCalls(&Held);
    f.Start(L"", L"", L"\\");  // held at its first directory: nothing told yet
    SearchStopAsked = [] { SetEvent(StopAsked); };
    CHECK((!listed.empty() && f.Rows() == listed));  // the last search's rows stay, whole, until then
    f.Start(L"", L"", L"\\NoSuch");  // stops that one, which never showed a row
    void* reused[8];  // over texts freed meanwhile, as blocks of the heap they came from
    for (void*& block : reused)
        FillMemory(block = HeapAlloc(GetProcessHeap(), 0, 65560), 65560, 'x');
    CHECK(f.Rows() == listed);
    for (void* block : reused)
        HeapFree(GetProcessHeap(), 0, block);
    f.Wait();
    CHECK(ListView_GetItemCount(f.List()) == 0);  // given way to this one's none
    ResetEvent(StopAsked);
    f.Start(L"", L"", L"\\");
    SendMessageW(f.dialog, WM_COMMAND, CTRL_FIND_STOP, 0);
    const std::wstring stopped = f.Text(CTRL_FIND_STATUS);
    CHECK(stopped.rfind(L"検索を中止しました。", 0) == 0);
    CHECK((!IsWindowEnabled(f.Item(CTRL_FIND_STOP)) && LiveSearchWorkers() == 0));
    ResetEvent(StopAsked);
    f.Ask(L"Everyone");  // its worker reads the subject until it has stopped
    f.Start(L"", L"", L"\\");
    SendMessageW(f.dialog, WM_COMMAND, IDCANCEL, 0);
    CHECK((!IsWindow(f.dialog) && FindDialogWindow() == nullptr && LiveSearchWorkers() == 0 && LiveFoundRows() == 0));
    Finder plain;  // the next searches without a subject
    plain.Ask(L"");
    plain.Start(L"", L"", L"\\NoSuch");
    plain.Wait();
    CloseFindDialog();

    EndShell();
    ResetEvent(StopAsked);
    SetTimer(nullptr, 0, 50, SearchAndExit);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeRecordingSite) == 0);
    CHECK((FindDialogWindow() == nullptr && LiveSearchWorkers() == 0 && LiveFoundRows() == 0));
    SetDirectoryCalls(nullptr);
    SearchStopAsked = nullptr;
    CloseHandle(StopAsked);
    delete LastSite;
    UnregisterClassW(L"Kagero_MainWndClass", GetModuleHandleW(nullptr));
}

TEST_CASE("find: 20,000 results all listed and sorted by each column, also when a header is clicked during the search; 中止 once it has ended")
{
    TestNamespace big;
    int failed = big.Build({{Kind::SymbolicLink, L"zlink", 0, 0, L"\\Device"}, {Kind::Directory, L"Sub"}});
    for (int i = 0; i < 19998; ++i) {
        wchar_t name[8];
        wsprintfW(name, L"e%05d", i);
        failed += big.Event(name) < 0;
    }
    REQUIRE(failed == 0);
    Real = Held = ActiveDirectoryCalls();
    Held.query = HeldQuery;
    TestThread = GetCurrentThreadId();
    StopAsked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetDirectoryCalls(&Held);
    Finder f;
    f.Start(L"", L"", big.Root());
    f.SortBy(2);  // while the worker is held: the rows are sorted by type when it ends
    SetEvent(StopAsked);
    CHECK(Utf8(f.Wait()) == "20000 個のオブジェクトが見つかりました。");
    SetDirectoryCalls(nullptr);
    CloseHandle(StopAsked);
    const auto ends = [&] { return Utf8(ItemText(f.List(), 0, 0) + L" " + ItemText(f.List(), 19999, 0)); };
    REQUIRE(ListView_GetItemCount(f.List()) == 20000);
    CHECK(ends() == "Sub zlink");  // Directory, Event, SymbolicLink
    const struct { int column; const char* ends; } sorts[] = {{0, "e00000 zlink"}, {0, "zlink e00000"}, {1, "e00000 zlink"}, {3, "e00000 zlink"}};
    for (const auto& sort : sorts) {
        f.SortBy(sort.column);
        CHECK(ends() == sort.ends);
    }
    CloseFindDialog();
}

TEST_CASE("find: the older look's plain border round the results")
{
    Shell();  // made in the current look
    SystemMajorVersion = 3;
    Finder f;
    CHECK((GetWindowLongPtrW(f.List(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0);
    CHECK((GetWindowLongPtrW(f.List(), GWL_STYLE) & WS_BORDER) != 0);
    CloseFindDialog();
    SystemMajorVersion = 10;
}

TEST_CASE("find: rows told to the list without drawing; the next paint draws them, the scroll bar set; columns fitted "
          "as they are left as drawn; a hidden list stays hidden")
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 300, 200,
                                parent, nullptr, nullptr, nullptr);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ListView_InsertColumn(list, 0, &column);
    SearchResult results[40];
    for (SearchResult& result : results)
        result = {L"\\", L"Event", L"Event", L"", L"", L""};
    FoundList rows;
    rows.Attach(list);
    const auto rowsToDraw = [list] {
        RECT update = {};
        GetUpdateRect(list, &update, FALSE);
        return !IsRectEmpty(&update);
    };
    rows.Add({results, 40});
    CHECK(rowsToDraw());
    Shell().Pump();
    rows.Add({results, 40});  // below the rows in view, which stay as drawn
    CHECK((GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE) != 0);
    CHECK_FALSE(rowsToDraw());
    SCROLLINFO bar = {sizeof(bar), SIF_RANGE, 0, 0, 0, 0, 0};
    CHECK((GetScrollInfo(list, SB_VERT, &bar) && bar.nMax == 79));
    const int widths[1] = {150};
    FitReportColumns(list, widths, 1);
    Shell().Pump();
    FitReportColumns(list, widths, 1);  // as they are: nothing to draw again, the header neither
    CHECK_FALSE((rowsToDraw() || GetUpdateRect(ListView_GetHeader(list), nullptr, FALSE)));
    ShowWindow(list, SW_HIDE);
    rows.Clear();
    CHECK((GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE) == 0);
    DestroyWindow(parent);
}
