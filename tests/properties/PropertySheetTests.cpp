// The property sheet driven as a user drives it, in the real main window,
// over objects the tests make in Wine's namespace, with a seam that counts
// the opens and closes and can make opens fail.
#include "MainWindowFixture.h"

#include <map>

#include "AccessEditor.h"
#include "GeneralPage.h"
#include "ObjectOpen.h"
#include "ObjectSecurityInfo.h"
#include "Screenshot.h"

namespace {

struct CountingCalls {
    static inline int opens = 0, closes = 0, failFrom = -1, failures = 0;
    static inline NTSTATUS failWith = 0;
    static inline ObjectCalls table;

    template <NativeOpenCall ObjectCalls::*member>
    static NTSTATUS NTAPI Open(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
    {
        if (failFrom >= 0 && opens + failures >= failFrom)
            return ++failures, failWith;
        const NTSTATUS status = (NativeObjectCalls().*member)(handle, access, attributes);
        opens += status == 0;
        return status;
    }
    static NTSTATUS NTAPI Close(HANDLE handle) { return ++closes, NativeObjectCalls().close(handle); }
    static void Install()
    {
        if (table.close == Close)
            return;
        table = NativeObjectCalls();
        table.openDirectory = Open<&ObjectCalls::openDirectory>;
        table.openEvent = Open<&ObjectCalls::openEvent>;
        table.openMutant = Open<&ObjectCalls::openMutant>;
        table.openSemaphore = Open<&ObjectCalls::openSemaphore>;
        table.openSymbolicLink = Open<&ObjectCalls::openSymbolicLink>;
        table.close = Close;
        SetObjectCalls(&table);
    }
    // Opens fail with status from the given open on (-1: none fail).
    static void FailFrom(int open, NTSTATUS status)
    {
        failFrom = open;
        failWith = status;
        failures = opens = closes = 0;
    }
};

// What Wine will not report: a permanent object (it keeps OBJ_PERMANENT
// objects but reports no attributes) and an event of an unknown type.
NTSTATUS NTAPI PermanentObject(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    const NTSTATUS status = NativeObjectCalls().queryObject(handle, infoClass, buffer, length, returned);
    if (infoClass == 0 && status == 0)
        static_cast<OBJECT_BASIC_INFORMATION*>(buffer)->Attributes |= 0x10;
    return status;
}
NTSTATUS NTAPI OddEvent(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    const NTSTATUS status = NativeObjectCalls().queryEvent(handle, infoClass, buffer, length, returned);
    static_cast<LONG*>(buffer)[0] = 5;
    return status;
}

// The General page as a user reads it: its fields, and the type's panel.
struct General {
    std::map<int, std::wstring> fields;
    bool countOrFrameShown = true, panelOnFrame = false;
    std::string panel;  // "title|first|second"
};

General ReadGeneral(HWND page)
{
    General seen;
    for (int id = CTRL_PAGE_PATH; id <= CTRL_PAGE_PERMANENCE; ++id)
        seen.fields[id] = TextOf(GetDlgItem(page, id));
    seen.countOrFrameShown = IsWindowVisible(GetDlgItem(page, CTRL_PAGE_TYPE_COUNT)) ||
                             IsWindowVisible(GetDlgItem(page, CTRL_PAGE_PANEL_FRAME));
    if (HWND panel = FindWindowExW(page, nullptr, L"#32770", nullptr)) {
        seen.panel = Utf8(TextOf(FindWindowExW(panel, nullptr, L"Button", nullptr))) + "|" +
                     Utf8(TextOf(GetDlgItem(panel, CTRL_PANEL_FIRST))) + "|" + Utf8(TextOf(GetDlgItem(panel, CTRL_PANEL_SECOND)));
        RECT panelRect, frameRect;
        GetWindowRect(panel, &panelRect);
        GetWindowRect(GetDlgItem(page, CTRL_PAGE_PANEL_FRAME), &frameRect);
        seen.panelOnFrame = panelRect.left == frameRect.left && panelRect.top == frameRect.top && IsWindowVisible(panel);
    }
    return seen;
}

// Runs a command with the modal driver, reading every sheet's General page.
struct Shown {
    modal::Seen seen;
    std::vector<General> pages;
};
Shown Drive(const std::function<void()>& go, const wchar_t* screenshot = nullptr)
{
    CountingCalls::Install();
    Program& p = Shell();
    Shown shown;
    modal::OnSheet = [&, extra = modal::OnSheet](HWND sheet, HWND page) {
        shown.pages.push_back(ReadGeneral(page));
        if (screenshot)
            SaveScreenshotIfAsked(screenshot);
        if (extra)
            extra(sheet, page);
    };
    shown.seen = modal::Run([&] { go(), p.Pump(); });
    HoldKeys({});
    return shown;
}
Shown Properties(const wchar_t* screenshot = nullptr)
{
    return Drive([] { PostMessageW(MainWindowHandle, WM_COMMAND, CMD_PROPERTIES, 0); }, screenshot);
}

void CheckOneBox(const modal::Seen& seen, const char* text)
{
    CHECK(seen.sheets.empty());
    REQUIRE(seen.boxes.size() == 1);
    CHECK(Utf8(seen.boxes[0].text) == text);
    CHECK(Utf8(seen.boxes[0].caption) == "Kagero");
    CHECK(seen.boxes[0].errorIcon);
}

std::wstring ItemText(HWND list, int item, int subItem)
{
    wchar_t text[256] = {};
    ListView_GetItemText(list, item, subItem, text, 256);
    return text;
}

}  // namespace

TEST_CASE("The General page and the panel of each type show the object's state, from the list and from the tree")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    const std::string event = "Eventオブジェクトの付加情報|", mutant = "Mutexオブジェクトの付加情報|";
    const struct {
        std::wstring node, name;  // a list row when name is set, else a tree node
        const char* type;
        std::string panel;
    } rows[] = {
        {ns.Root(), L"auto", "Event", event + "自動リセット|リセット"},
        {ns.Root(), L"manual", "Event", event + "手動リセット|セット"},
        {ns.Root(), L"held", "Mutant", mutant + "はい|はい"},  // held twice by this thread
        {ns.Root(), L"once", "Mutant", mutant + "はい|はい"},
        {ns.Root(), L"abandoned", "Mutant", mutant + "いいえ|はい"},
        {ns.Root(), L"sem", "Semaphore", "Semaphoreオブジェクトの付加情報|3|10"},
        {ns.Root(), L"link", "SymbolicLink", "SymbolicLinkオブジェクトの付加情報|\\Device|"},  // Wine keeps no creation time
        {ns.Root(), L"longlink", "SymbolicLink", "SymbolicLinkオブジェクトの付加情報|" + Utf8(LongTarget) + "|"},
        {ns.Path(LongDirectory), LongName, "Event", event + "自動リセット|リセット"},  // the path opened whole
        {ns.Root(), L"Dir", "Directory", ""},
        {L"\\", L"", "Directory", ""},
        {L"\\Device", L"", "Directory", ""},
        {ns.Path(L"Dir\\Deeper"), L"", "Directory", ""},
    };
    for (const auto& row : rows) {
        const std::wstring path = row.name.empty() ? row.node : row.node + L"\\" + row.name;
        CAPTURE(Utf8(path.substr(0, 80)));
        if (row.name.empty())
            p.SelectNode(row.node);
        else
            p.SelectRow(row.node, row.name);
        CountingCalls::FailFrom(-1, 0);
        const Shown shown = Properties(row.name.empty() || row.name.size() > 20 ? nullptr : row.name.c_str());
        REQUIRE(shown.pages.size() == 1);
        const modal::Sheet& sheet = shown.seen.sheets[0];
        const General& page = shown.pages[0];
        const std::wstring last = path.substr(path.rfind(L'\\') + 1, 20);
        CHECK(sheet.caption.find(last.empty() ? L"\\" : last) != std::wstring::npos);
        CHECK(sheet.tabs == std::vector<std::wstring>{L"一般", L"セキュリティ"});
        CHECK(sheet.apply);
        CHECK(page.fields.at(CTRL_PAGE_PATH) == path);
        CHECK(Utf8(page.fields.at(CTRL_PAGE_TYPE)) == row.type);
        CHECK(Utf8(page.fields.at(CTRL_PAGE_PERMANENCE)) == "なし");
        if (!row.name.empty())
            CHECK(page.fields.at(CTRL_PAGE_HANDLES) == L"2");  // the test's handle and the page's
        CHECK(page.fields.at(CTRL_PAGE_PAGED) + page.fields.at(CTRL_PAGE_NONPAGED) == L"00");
        CHECK(std::stoi(page.fields.at(CTRL_PAGE_REFERENCES)) > 0);
        // The type's object count is filled but never shown, like its frame.
        CHECK(std::stoi(page.fields.at(CTRL_PAGE_TYPE_COUNT)) > 0);
        CHECK_FALSE(page.countOrFrameShown);
        CHECK(page.panel == row.panel);
        CHECK(page.panelOnFrame == !row.panel.empty());
        CHECK(CountingCalls::opens == CountingCalls::closes);
        CHECK(ActiveGeneralPage == nullptr);
        CHECK(LiveSecurityProviders() == 0);
        CHECK(LiveEntryRecords() == ListView_GetItemCount(p.List()));
    }

    // What Wine does not report, through the query seam: a permanent object
    // and an event of an unknown type.
    CountingCalls::table.queryObject = PermanentObject;
    CountingCalls::table.queryEvent = OddEvent;
    p.SelectRow(ns.Root(), L"auto");
    const Shown shown = Properties();
    CountingCalls::table.queryObject = NativeObjectCalls().queryObject;
    CountingCalls::table.queryEvent = NativeObjectCalls().queryEvent;
    REQUIRE(shown.pages.size() == 1);
    CHECK(Utf8(shown.pages[0].fields.at(CTRL_PAGE_PERMANENCE)) == "あり");
    CHECK(shown.pages[0].panel == event + "Unknown|リセット");
}

TEST_CASE("The access editor is looked for in the system directory only")
{
    CHECK(IsAccessEditorAvailable());
    // A file planted beside the program and in the current folder is not the editor.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring beside = program;
    const std::wstring planted[] = {beside.substr(0, beside.rfind(L'\\') + 1) + L"kagero-planted.dll", L"kagero-planted.dll"};
    for (const auto& file : planted)
        CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    SetAccessEditorForTests(L"kagero-planted.dll", nullptr);
    CHECK_FALSE(IsAccessEditorAvailable());
    const bool entryFound = FindCreateSecurityPage() != nullptr;
    CHECK_FALSE(entryFound);
    SetAccessEditorForTests(nullptr, nullptr);
    for (const auto& file : planted)
        DeleteFileW(file.c_str());
}

TEST_CASE("Every road to Properties opens the sheet of the focused and selected row")
{
    Program& p = Shell();
    HWND list = p.List(), toolbar = p.frame.Bar().ToolbarWindow();
    const std::function<void()> roads[] = {
        [&] { PostMessageW(list, WM_KEYDOWN, VK_RETURN, 1); },
        [&] {
            RECT item = {LVIR_LABEL, 0, 0, 0};
            SendMessageW(list, LVM_GETITEMRECT, p.row, reinterpret_cast<LPARAM>(&item));
            PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item.left + 4, item.top + 2));
        },
        [&] {
            HoldKeys({VK_MENU});
            PostMessageW(list, WM_SYSKEYDOWN, VK_RETURN, 1 | (1 << 29));
        },
        [&] {
            RECT button = {};
            SendMessageW(toolbar, TB_GETITEMRECT, SendMessageW(toolbar, TB_COMMANDTOINDEX, CMD_PROPERTIES, 0),
                         reinterpret_cast<LPARAM>(&button));
            const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
            PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
        },
    };
    int road = 0;
    for (const auto& go : roads) {
        CAPTURE(road++);
        p.SelectRow(Objects().Root(), L"sem");
        const Shown shown = Drive(go);
        REQUIRE(shown.pages.size() == 1);
        CHECK(shown.pages[0].fields.at(CTRL_PAGE_PATH) == Objects().Path(L"sem"));
    }
    // Selected without the focus mark does not count.
    p.SelectRow(Objects().Root(), L"sem", LVIS_SELECTED);
    const Shown shown = Properties();
    CHECK((shown.seen.sheets.empty() && shown.seen.boxes.empty()));
}

TEST_CASE("Objects that cannot be shown say why")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    SUBCASE("a Type entry has no open call")
    {
        p.SelectRow(L"\\ObjectTypes", L"Event");
        CheckOneBox(Properties().seen, "このオブジェクトの情報は取得できません。");
    }
    SUBCASE("a refused object, with no access editor to fall back on")
    {
        SetAccessEditorForTests(L"kagero-no-such-editor.dll", nullptr);
        p.SelectRow(ns.Root(), L"refused");
        modal::OnBox = [](HWND) { return SaveScreenshotIfAsked(L"refused"), false; };
        const Shown shown = Properties();
        SetAccessEditorForTests(nullptr, nullptr);
        CheckOneBox(shown.seen, "アクセスは拒否されました。");
    }
    SUBCASE("an object removed after it was listed")
    {
        REQUIRE(ns.Event(L"gone") >= 0);
        p.SelectRow(ns.Root(), L"gone");
        ns.Remove(L"gone");
        CheckOneBox(Properties().seen, "オブジェクトが見つかりません。");
    }
    SUBCASE("a directory removed after the tree was built")
    {
        REQUIRE(ns.Directory(L"Vanishing2") >= 0);
        p.Command(CMD_REFRESH);
        p.SelectNode(ns.Path(L"Vanishing2"));
        ns.Remove(L"Vanishing2");
        CheckOneBox(Properties().seen, "オブジェクトが見つかりません。");
    }
    SUBCASE("a status outside the table")
    {
        p.SelectRow(ns.Root(), L"auto");
        CountingCalls::FailFrom(0, static_cast<NTSTATUS>(0xC000003AL));
        const Shown shown = Properties();
        CountingCalls::FailFrom(-1, 0);
        CheckOneBox(shown.seen, "オープンできませんでした。- CODE:0xC000003A");
    }
    SUBCASE("the page's own open refused for want of a privilege")
    {
        p.SelectRow(ns.Root(), L"auto");
        CountingCalls::FailFrom(1, static_cast<NTSTATUS>(0xC0000061L));  // the test-open passes
        const Shown shown = Properties();
        CountingCalls::FailFrom(-1, 0);
        // The box, and the sheet closed by the page itself before it showed.
        CheckOneBox(shown.seen, "オープンできませんでした。- CODE:0xC0000061");
    }
    CHECK(ActiveGeneralPage == nullptr);
    CHECK(CountingCalls::opens == CountingCalls::closes);
}

TEST_CASE("The page ends on IDOK and IDCANCEL, and colours itself in the older look")
{
    Program& p = Shell();
    p.SelectRow(Objects().Root(), L"auto");
    for (int version : {3, 10}) {
        CAPTURE(version);
        SystemMajorVersion = version;
        LRESULT pageBrush = -1, panelBrush = -1;  // what an edit of the page and of the panel is painted with
        COLORREF pageBack = 1, panelBack = 1;
        modal::OnSheet = [&](HWND, HWND page) {
            HWND edit = GetDlgItem(page, CTRL_PAGE_PATH);
            HWND panel = FindWindowExW(page, nullptr, L"#32770", nullptr);
            HDC dc = GetDC(edit);
            pageBrush = SendMessageW(page, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
            pageBack = GetBkColor(dc);
            SetBkColor(dc, 1);
            panelBrush = SendMessageW(panel, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(GetDlgItem(panel, CTRL_PANEL_FIRST)));
            panelBack = GetBkColor(dc);
            ReleaseDC(edit, dc);
            SendMessageW(page, WM_COMMAND, CTRL_PAGE_PATH, 0);
            CHECK(IsWindowVisible(page));
            SendMessageW(page, WM_COMMAND, version == 3 ? IDOK : IDCANCEL, 0);
            CHECK_FALSE(IsWindowVisible(page));
        };
        CHECK(Properties().seen.sheets.size() == 1);
        // From version 4 on the dialog manager's own edit colours apply.
        const LRESULT face = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        const COLORREF back = GetSysColor(version == 3 ? COLOR_BTNFACE : COLOR_WINDOW);
        CHECK((pageBrush == face) == (version == 3));
        CHECK((panelBrush == face) == (version == 3));
        CHECK((pageBack == back && panelBack == back));
    }
    SystemMajorVersion = 10;
}

TEST_CASE("The security page shows the DACL with the event's rights; a refused object gets it alone, centred, without Apply")
{
    Program& p = Shell();
    p.SelectRow(Objects().Root(), L"secured");
    std::vector<std::string> accounts;
    std::vector<std::string> marks;  // per account: each right's name, allow and deny
    modal::OnSheet = [&](HWND sheet, HWND) {
        SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
        p.Pump();
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        HWND list = GetDlgItem(page, 101), rights = GetDlgItem(page, 111);
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            accounts.push_back(Utf8(ItemText(list, i, 0)));
            ListView_SetItemState(list, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            p.Pump();
            std::string shown;
            for (int row = 0; row < ListView_GetItemCount(rights); ++row)
                shown += Utf8(ItemText(rights, row, 0) + L":" + ItemText(rights, row, 1) + ItemText(rights, row, 2) + L" ");
            marks.push_back(shown);
            if (accounts.back() == "Everyone")  // the picture shows an account with its marks
                SaveScreenshotIfAsked(L"security-event");
        }
    };
    Shown shown = Properties();
    REQUIRE(shown.seen.sheets.size() == 1);
    CHECK(shown.seen.sheets[0].tabs == std::vector<std::wstring>{L"一般", L"セキュリティ"});
    CHECK(shown.seen.sheets[0].apply);
    CHECK(accounts == std::vector<std::string>{"Administrators", "Everyone", "Guests", "SYSTEM"});
    REQUIRE(marks.size() == 4);
    // Rights in bit order; "X" where the account's ACE allows or denies.
    CHECK(marks[0] == "情報の問い合わせ:X- 変更:-- 削除:-- アクセス許可の読み取り:X- アクセス許可の変更:-- "
                      "所有権の取得:-- 同期:X- 監査:-- ");  // 0x120001
    CHECK(marks[1] == "情報の問い合わせ:X- 変更:X- 削除:X- アクセス許可の読み取り:X- アクセス許可の変更:X- "
                      "所有権の取得:X- 同期:X- 監査:-- ");  // 0x1F0003
    CHECK(marks[2] == "情報の問い合わせ:-- 変更:-X 削除:-- アクセス許可の読み取り:-- アクセス許可の変更:-- "
                      "所有権の取得:-- 同期:-- 監査:-- ");  // denied 0x2
    CHECK(LiveSecurityProviders() == 0);

    p.SelectRow(Objects().Root(), L"refused");
    std::string placed;
    modal::OnSheet = [&](HWND sheet, HWND) {
        SaveScreenshotIfAsked(L"security-only");
        placed = Placed(sheet);
    };
    shown = Properties();
    REQUIRE(shown.seen.sheets.size() == 1);
    CHECK(shown.seen.sheets[0].tabs == std::vector<std::wstring>{L"セキュリティ"});
    CHECK_FALSE(shown.seen.sheets[0].apply);
    // Centred on the 960 x 768 main window, as the General page centres a
    // sheet, for the size it has before its pages are laid out.
    CHECK(placed == "252,120,448,444");
    CHECK(LiveSecurityProviders() == 0);
    CHECK(CountingCalls::opens == CountingCalls::closes);
}
