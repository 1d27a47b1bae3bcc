// The property sheet driven as a user drives it, in the real main window,
// over objects the tests make in Wine's namespace.
#include <doctest.h>

#include "AccessEditor.h"
#include "PropertiesProgram.h"

TEST_CASE("Properties of directories from the tree: the root, a first-level and a deeper one")
{
    Program& p = TheProgram();
    const struct {
        std::wstring node;
        std::wstring path;
        const char* type;
    } rows[] = {
        {L"\\", L"\\", "Directory"},
        {L"\\Device", L"\\Device", "Directory"},
        {p.ns.Path(L"Dir\\Deeper"), p.ns.Path(L"Dir\\Deeper"), "Directory"},
    };
    for (const auto& row : rows) {
        CAPTURE(Utf8(row.path));
        p.SelectNode(row.node);
        const Seen seen = p.Properties();
        REQUIRE(seen.sheets.size() == 1);
        const auto& sheet = seen.sheets[0];
        CHECK(sheet.caption.find(LastPathComponent(row.node.c_str())[0] ? LastPathComponent(row.node.c_str())
                                                                          : L"\\") != std::wstring::npos);
        REQUIRE(sheet.tabs.size() == 2);
        CHECK(Utf8(sheet.tabs[0]) == "一般");
        CHECK(sheet.apply);
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_PATH)) == Utf8(row.path));
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_TYPE)) == row.type);
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_PERMANENCE)) == "なし");
        CHECK(sheet.panelTitle.empty());
        CHECK(ActiveGeneralPage == nullptr);
    }
}

TEST_CASE("The General page and the panel of each type show the object's state")
{
    Program& p = TheProgram();
    const struct {
        const wchar_t* name;
        const char* type;
        const char* title;
        const char* first;
        const char* second;
    } rows[] = {
        {L"auto", "Event", "Eventオブジェクトの付加情報", "自動リセット", "リセット"},
        {L"manual", "Event", "Eventオブジェクトの付加情報", "手動リセット", "セット"},
        {L"held", "Mutant", "Mutexオブジェクトの付加情報", "はい", "はい"},  // held twice by this thread
        {L"abandoned", "Mutant", "Mutexオブジェクトの付加情報", "いいえ", "はい"},
        {L"sem", "Semaphore", "Semaphoreオブジェクトの付加情報", "3", "10"},
        {L"link", "SymbolicLink", "SymbolicLinkオブジェクトの付加情報", "\\Device", ""},  // Wine keeps no creation time
        {L"Dir", "Directory", "", "", ""},
    };
    for (const auto& row : rows) {
        CAPTURE(Utf8(row.name));
        p.SelectRow(p.ns.Root(), row.name);
        sheetdriver::OnSheet = [&](HWND, HWND) { SaveScreenshotIfAsked(row.name); };
        const Seen seen = p.Properties();
        REQUIRE(seen.sheets.size() == 1);
        const auto& sheet = seen.sheets[0];
        CHECK(sheet.caption.find(row.name) != std::wstring::npos);
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_PATH)) == Utf8(p.ns.Path(row.name)));
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_TYPE)) == row.type);
        CHECK(Utf8(sheet.fields.at(CTRL_PAGE_PERMANENCE)) == "なし");
        CHECK(sheet.fields.at(CTRL_PAGE_HANDLES) == L"2");  // the test's handle and the page's
        CHECK(sheet.fields.at(CTRL_PAGE_PAGED) == L"0");
        CHECK(sheet.fields.at(CTRL_PAGE_NONPAGED) == L"0");
        CHECK(std::stoi(sheet.fields.at(CTRL_PAGE_REFERENCES)) > 0);
        // The type's object count is filled but never shown, like its frame.
        CHECK(std::stoi(sheet.fields.at(CTRL_PAGE_TYPE_COUNT)) > 0);
        CHECK_FALSE(sheet.countVisible);
        CHECK_FALSE(sheet.frameVisible);
        CHECK(Utf8(sheet.panelTitle) == row.title);
        CHECK(Utf8(sheet.panelFirst) == row.first);
        CHECK(Utf8(sheet.panelSecond) == row.second);
        CHECK(sheet.panelOnFrame == (row.title[0] != '\0'));
    }
    CHECK(CountingCalls::opens == CountingCalls::closes);
}

TEST_CASE("Long paths and targets are opened and shown whole; what Wine does not report is shown as it comes")
{
    Program& p = TheProgram();
    p.SelectRow(p.ns.Root(), L"longlink");
    Seen seen = p.Properties();
    REQUIRE(seen.sheets.size() == 1);
    CHECK(seen.sheets[0].panelFirst.size() == 1500);
    CHECK(seen.sheets[0].panelFirst == LongTarget);

    p.SelectRow(p.ns.Path(LongDirectory), LongName);
    seen = p.Properties();
    REQUIRE(seen.sheets.size() == 1);
    const std::wstring path = seen.sheets[0].fields.at(CTRL_PAGE_PATH);
    CHECK(path.size() == p.ns.Root().size() + 1302);
    CHECK(path == p.ns.Path(LongDirectory + L"\\" + LongName));
    CHECK(Utf8(seen.sheets[0].panelFirst) == "自動リセット");  // the page opened that very object

    CountingCalls::table.queryObject = PermanentObject;
    CountingCalls::table.queryEvent = OddEvent;
    p.SelectRow(p.ns.Root(), L"auto");
    seen = p.Properties();
    CountingCalls::table.queryObject = NativeObjectCalls().queryObject;
    CountingCalls::table.queryEvent = NativeObjectCalls().queryEvent;
    REQUIRE(seen.sheets.size() == 1);
    CHECK(Utf8(seen.sheets[0].fields.at(CTRL_PAGE_PERMANENCE)) == "あり");
    CHECK(Utf8(seen.sheets[0].panelFirst) == "Unknown");
}

TEST_CASE("The access editor is looked for in the system directory only")
{
    CHECK(IsAccessEditorAvailable());
    // A file planted beside the program and in the current folder is not the editor.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring beside = program;
    beside = beside.substr(0, beside.rfind(L'\\') + 1) + L"kagero-planted.dll";
    const std::wstring planted[] = {beside, L"kagero-planted.dll"};
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
    Program& p = TheProgram();
    HWND list = p.site->ListWindow();
    HWND toolbar = p.frame->Bar().ToolbarWindow();
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
            const auto index = SendMessageW(toolbar, TB_COMMANDTOINDEX, CMD_PROPERTIES, 0);
            SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
            const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
            PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
        },
    };
    int road = 0;
    for (const auto& go : roads) {
        CAPTURE(road++);
        p.SelectRow(p.ns.Root(), L"sem");
        const Seen seen = sheetdriver::Run([&] {
            go();
            p.PumpAll();
        });
        HoldKeys({});
        REQUIRE(seen.sheets.size() == 1);
        CHECK(Utf8(seen.sheets[0].fields.at(CTRL_PAGE_PATH)) == Utf8(p.ns.Path(L"sem")));
    }
    // Selected without the focus mark does not count.
    p.SelectRow(p.ns.Root(), L"sem", LVIS_SELECTED);
    const Seen seen = p.Properties();
    CHECK(seen.sheets.empty());
    CHECK(seen.boxes.empty());
}

TEST_CASE("Objects that cannot be shown say why")
{
    Program& p = TheProgram();
    SUBCASE("a Type entry has no open call")
    {
        p.SelectRow(L"\\ObjectTypes", L"Event");
        CheckOneBox(p.Properties(), L"このオブジェクトの情報は取得できません。");
    }
    SUBCASE("a refused object, with no access editor to fall back on")
    {
        SetAccessEditorForTests(L"kagero-no-such-editor.dll", nullptr);
        p.SelectRow(p.ns.Root(), L"refused");
        sheetdriver::OnBox = [](HWND) { SaveScreenshotIfAsked(L"refused"); };
        const Seen seen = p.Properties();
        SetAccessEditorForTests(nullptr, nullptr);
        CheckOneBox(seen, L"アクセスは拒否されました。");
    }
    SUBCASE("an object removed after it was listed")
    {
        REQUIRE(p.ns.Event(L"gone") >= 0);
        p.SelectRow(p.ns.Root(), L"gone");
        p.ns.Remove(L"gone");
        CheckOneBox(p.Properties(), L"オブジェクトが見つかりません。");
    }
    SUBCASE("a directory removed after the tree was built")
    {
        REQUIRE(p.ns.Directory(L"Vanishing2") >= 0);
        PostMessageW(MainWindowHandle, WM_COMMAND, CMD_REFRESH, 0);
        p.PumpAll();
        p.SelectNode(p.ns.Path(L"Vanishing2"));
        p.ns.Remove(L"Vanishing2");
        CheckOneBox(p.Properties(), L"オブジェクトが見つかりません。");
    }
    SUBCASE("a status outside the table")
    {
        p.SelectRow(p.ns.Root(), L"auto");
        CountingCalls::FailFrom(0, static_cast<NTSTATUS>(0xC000003AL));
        const Seen seen = p.Properties();
        CountingCalls::FailFrom(-1, 0);
        CheckOneBox(seen, L"オープンできませんでした。- CODE:0xC000003A");
    }
    SUBCASE("the page's own open refused for want of a privilege")
    {
        p.SelectRow(p.ns.Root(), L"auto");
        CountingCalls::FailFrom(1, static_cast<NTSTATUS>(0xC0000061L));  // the test-open passes
        const Seen seen = p.Properties();
        CountingCalls::FailFrom(-1, 0);
        // The box, and the sheet closed by the page itself before it showed.
        CheckOneBox(seen, L"オープンできませんでした。- CODE:0xC0000061");
    }
    CHECK(ActiveGeneralPage == nullptr);
    CHECK(CountingCalls::opens == CountingCalls::closes);
}

TEST_CASE("The page ends on IDOK and IDCANCEL, and colours itself in the older look")
{
    Program& p = TheProgram();
    p.SelectRow(p.ns.Root(), L"auto");
    for (int version : {3, 6}) {
        CAPTURE(version);
        SystemMajorVersion = version;
        // What an edit of the page and of the panel is painted with.
        LRESULT pageBrush = -1, panelBrush = -1;
        COLORREF pageBack = 1, panelBack = 1;
        sheetdriver::OnSheet = [&](HWND, HWND page) {
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
        const Seen seen = p.Properties();
        CHECK(seen.sheets.size() == 1);
        // From version 4 on the dialog manager's own edit colours apply.
        const LRESULT face = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        const COLORREF back = GetSysColor(version == 3 ? COLOR_BTNFACE : COLOR_WINDOW);
        CHECK((pageBrush == face) == (version == 3));
        CHECK((panelBrush == face) == (version == 3));
        CHECK(pageBack == back);
        CHECK(panelBack == back);
    }
    SystemMajorVersion = 6;
}

