// The property sheet driven as a user drives it, in the real main window,
// over objects the tests make in Wine's namespace.
#include "MainWindowFixture.h"

#include <windowsx.h>

#include <map>

#include "AccessEditor.h"
#include "EntryRecord.h"
#include "GeneralPage.h"
#include "ObjectOpen.h"
#include "ObjectSecurityInfo.h"

namespace {

// Seams under the native calls, set for one command: event opens failing from a given one on;
// when odd, what Wine never reports in a query's first field: a permanent object, an unknown event type;
// and the queries that fail, each leaving a partial answer behind as a refused query may.
namespace seam {
int failFrom = -1, eventOpens = 0;  // -1: none fails
NTSTATUS failWith = 0;
bool odd = false;
enum Failing { Basic = 1, Type = 2, State = 4, Target = 8 };  // NtQueryObject's two classes, a state, a link's
int failing = 0;

NTSTATUS NTAPI OpenEvent(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    if (failFrom >= 0 && eventOpens++ >= failFrom)
        return failWith;
    return NativeObjectCalls().openEvent(handle, access, attributes);
}
HPROPSHEETPAGE WINAPI NoPage(LPCPROPSHEETPAGEW) { return nullptr; }  // as when memory runs out
template <NativeQueryCall ObjectCalls::*query, LONG oddBits>
NTSTATUS NTAPI Query(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    const int kind = query != &ObjectCalls::queryObject ? State : infoClass == 0 ? Basic : infoClass == 2 ? Type : 0;
    if (failing & kind) {
        FillMemory(buffer, length, 0x11);
        return STATUS_ACCESS_DENIED;
    }
    const NTSTATUS status = (NativeObjectCalls().*query)(handle, infoClass, buffer, length, returned);
    if (odd && infoClass == 0 && status == 0)
        static_cast<LONG*>(buffer)[0] |= oddBits;
    return status;
}
NTSTATUS NTAPI QueryLink(HANDLE handle, PUNICODE_STRING target, PULONG needed)
{
    if (!(failing & Target))
        return NativeObjectCalls().querySymbolicLink(handle, target, needed);
    lstrcpynW(target->Buffer, L"\\Partial", target->MaximumLength / sizeof(wchar_t));
    target->Length = 8 * sizeof(wchar_t);
    return STATUS_ACCESS_DENIED;
}
}  // namespace seam

// The General page as a user sees it: its fields, hidden ones as "-", and
// the type's panel as "title|first|second" when it is shown on the frame.
struct General { std::map<int, std::wstring> fields; std::string panel; };

General ReadGeneral(HWND page)
{
    General seen;
    for (int id = CTRL_PAGE_PATH; id <= CTRL_PAGE_PERMANENCE; ++id)
        seen.fields[id] = IsWindowVisible(GetDlgItem(page, id)) ? TextOf(GetDlgItem(page, id)) : L"-";
    HWND panel = FindWindowExW(page, nullptr, L"#32770", nullptr);
    HWND title = FindWindowExW(panel, nullptr, L"Button", nullptr);
    RECT at = {}, frame = {};
    GetWindowRect(panel, &at);
    GetWindowRect(GetDlgItem(page, CTRL_PAGE_PANEL_FRAME), &frame);
    if (IsWindowVisible(panel) && at.left == frame.left && at.top == frame.top)
        seen.panel = Utf8(TextOf(title) + L"|" + TextOf(GetDlgItem(panel, CTRL_PANEL_FIRST)) + L"|" +
                          TextOf(GetDlgItem(panel, CTRL_PANEL_SECOND)));
    return seen;
}

// Runs a command (Properties by default) with the modal driver, reading every sheet's first page.
struct Shown { modal::Seen seen; std::vector<General> pages; };
void PostProperties() { PostMessageW(MainWindowHandle, WM_COMMAND, CMD_PROPERTIES, 0); }
Shown Properties(const std::function<void()>& go = PostProperties)
{
    static ObjectCalls calls = NativeObjectCalls();
    calls.openEvent = seam::OpenEvent;
    calls.queryObject = seam::Query<&ObjectCalls::queryObject, 0x10>;  // OBJ_PERMANENT
    calls.queryEvent = seam::Query<&ObjectCalls::queryEvent, 4>;  // 4: no event type
    calls.queryMutant = seam::Query<&ObjectCalls::queryMutant, 0>;
    calls.querySemaphore = seam::Query<&ObjectCalls::querySemaphore, 0>;
    calls.querySymbolicLink = seam::QueryLink;
    SetObjectCalls(&calls);
    seam::eventOpens = 0;
    Shown shown;
    modal::OnSheet = [&shown, extra = modal::OnSheet](HWND sheet, HWND page) {
        shown.pages.push_back(ReadGeneral(page));
        if (extra)
            extra(sheet, page);
    };
    shown.seen = modal::Run([&] { go(), Shell().Pump(); });
    seam::failFrom = -1, seam::odd = false, seam::failing = 0;
    // Nothing the command made outlives it.
    CHECK(ActiveGeneralPage == nullptr);
    CHECK(LiveSecurityProviders() == 0);
    CHECK(LiveEntryRecords() == ListView_GetItemCount(Shell().List()));
    return shown;
}

// Whether a dialog paints one of its edits in a system colour: the brush it answers and the back colour it sets.
bool PaintsEdit(HWND dialog, HWND edit, int colour)
{
    HDC dc = GetDC(edit);
    SetBkColor(dc, 1);
    const HBRUSH brush = FORWARD_WM_CTLCOLOREDIT(dialog, dc, edit, SendMessageW);
    const bool painted = brush == GetSysColorBrush(colour) && GetBkColor(dc) == GetSysColor(colour);
    ReleaseDC(edit, dc);
    return painted;
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
        bool odd = false;  // read through the seams for what Wine never reports
        int fail = 0;  // the queries that fail: their fields are blank, never a zero read as a value
    } rows[] = {
        {ns.Root(), L"auto", "Event", event + "自動リセット|リセット"},
        {ns.Root(), L"manual", "Event", event + "手動リセット|セット"},
        {ns.Root(), L"auto", "Event", event + "Unknown|リセット", true},
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
        {L"\\", L"", "", "", false, seam::Basic | seam::Type},  // the root's type is the query's
        {ns.Root(), L"auto", "Event", event + "|", false, seam::State},
        {ns.Root(), L"held", "Mutant", mutant + "|", false, seam::State},
        {ns.Root(), L"sem", "Semaphore", "Semaphoreオブジェクトの付加情報||", false, seam::State},
        {ns.Root(), L"link", "SymbolicLink", "SymbolicLinkオブジェクトの付加情報||", false, seam::Target},
    };
    for (const auto& row : rows) {
        const std::wstring path = row.name.empty() ? row.node : row.node + L"\\" + row.name;
        CAPTURE(Utf8(path.substr(0, 80)));
        if (row.name.empty())
            p.SelectNode(row.node);
        else
            p.SelectRow(row.node, row.name);
        seam::odd = row.odd, seam::failing = row.fail;
        const Shown shown = Properties();
        REQUIRE(shown.pages.size() == 1);
        const General& page = shown.pages[0];
        const bool unread = row.fail & seam::Basic;
        CHECK(page.fields.at(CTRL_PAGE_PATH) == path);
        CHECK(Utf8(page.fields.at(CTRL_PAGE_TYPE)) == row.type);
        CHECK(Utf8(page.fields.at(CTRL_PAGE_PERMANENCE)) == (unread ? "" : row.odd ? "あり" : "なし"));
        if (unread)  // the counts and pool charges
            for (int id = CTRL_PAGE_REFERENCES; id <= CTRL_PAGE_PAGED; ++id)
                CHECK(page.fields.at(id) == L"");
        else if (!row.name.empty())  // the test's handle and the page's: the sheet's test-open is closed
            CHECK(page.fields.at(CTRL_PAGE_HANDLES) == L"2");
        CHECK(page.fields.at(CTRL_PAGE_TYPE_COUNT) + page.fields.at(CTRL_PAGE_PANEL_FRAME) == L"--");  // both hidden
        CHECK(page.panel == row.panel);
    }
}

TEST_CASE("The access editor is looked for in the system directory only")
{
    wchar_t beside[MAX_PATH + 32] = {};
    GetModuleFileNameW(nullptr, beside, MAX_PATH);
    lstrcpyW(wcsrchr(beside, L'\\') + 1, L"kagero-planted.dll");
    const wchar_t* const planted[] = {beside, L"kagero-planted.dll"};  // and in the current folder
    for (const wchar_t* file : planted)
        FileHandle made(CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    SetAccessEditorForTests(L"kagero-planted.dll", nullptr);
    CHECK_FALSE(IsAccessEditorAvailable());
    SetAccessEditorForTests(nullptr, nullptr);
    for (const wchar_t* file : planted)
        DeleteFileW(file);
}

TEST_CASE("Enter and a double-click open the sheet of the focused and selected row")
{
    Program& p = Shell();
    p.SelectRow(Objects().Root(), L"sem");
    RECT item = {};
    ListView_GetItemRect(p.List(), p.row, &item, LVIR_LABEL);
    const Shown entered = Properties([&] { PostMessageW(p.List(), WM_KEYDOWN, VK_RETURN, 1); });
    const Shown clicked = Properties(
        [&] { PostMessageW(p.List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item.left + 4, item.top + 2)); });
    for (const Shown& shown : {entered, clicked}) {
        REQUIRE(shown.pages.size() == 1);
        CHECK(shown.pages[0].fields.at(CTRL_PAGE_PATH) == Objects().Path(L"sem"));
    }
    // Selected without the focus mark does not count.
    p.SelectRow(Objects().Root(), L"sem", LVIS_SELECTED);
    CHECK(Properties().seen.sheets.empty());
}

TEST_CASE("Objects that cannot be shown say why")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    // failFrom: the first of the command's event opens to fail, with status; -1: none.
    const struct { std::function<void()> select; int failFrom; ULONG status; const char* text; } rows[] = {
        {[&] { p.SelectRow(L"\\ObjectTypes", L"Event"); }, -1, 0, "このオブジェクトの情報は取得できません。"},
        {[&] {  // refused, with no access editor to fall back on
             SetAccessEditorForTests(L"kagero-no-such-editor.dll", nullptr);
             p.SelectRow(ns.Root(), L"refused");
         }, -1, 0, "アクセスは拒否されました。"},
        {[&] {  // a directory removed after the tree was built (Shut is the next row's)
             ns.Build({{Kind::Directory, L"Vanishing2"}, {Kind::Directory, L"Shut"}, {Kind::Directory, L"Shut\\In"}});
             p.Command(CMD_REFRESH);
             p.SelectNode(ns.Path(L"Vanishing2"));
             ns.Remove(L"Vanishing2");
         }, -1, 0, "オブジェクトが見つかりません。"},
        {[&] {  // a directory whose parent refuses to be read since the tree was built
             p.SelectNode(ns.Path(L"Shut\\In"));
             ns.Build({{Kind::Refuse, L"Shut"}});
         }, -1, 0, "アクセスは拒否されました。"},
        {[&] {  // opened, but no page could be made
             SetAccessEditorForTests(L"kagero-no-such-editor.dll", nullptr), SetPageMakerForTests(seam::NoPage);
             p.SelectRow(ns.Root(), L"auto");
         }, -1, 0, "オープンできませんでした。- CODE:0xC0000017"},
        {[&] { p.SelectRow(ns.Root(), L"auto"); }, 0, 0xC000003A, "オープンできませんでした。- CODE:0xC000003A"},
        // The test-open passes, the page's own open lacks a privilege: the sheet closes unshown.
        {[&] { p.SelectRow(ns.Root(), L"auto"); }, 1, 0xC0000061, "オープンできませんでした。- CODE:0xC0000061"},
    };
    for (const auto& row : rows) {
        CAPTURE(row.text);
        row.select();
        seam::failFrom = row.failFrom;
        seam::failWith = static_cast<NTSTATUS>(row.status);
        const modal::Seen seen = Properties().seen;
        SetAccessEditorForTests(nullptr, nullptr), SetPageMakerForTests(nullptr);
        CHECK(seen.sheets.empty());
        REQUIRE(seen.boxes.size() == 1);
        CHECK(Utf8(seen.boxes[0].text) == row.text);
        CHECK(Utf8(seen.boxes[0].caption) == "Kagero");
        CHECK(seen.boxes[0].errorIcon);
    }
    ns.Remove(L"Shut\\In"), ns.Remove(L"Shut");
}

TEST_CASE("The page ends on IDOK and IDCANCEL, and colours itself in the older look")
{
    Shell().SelectRow(Objects().Root(), L"auto");
    for (int version : {3, 10}) {
        CAPTURE(version);
        SystemMajorVersion = version;
        // The older look paints edits on the button face, later ones as the dialog manager does.
        const int colour = version == 3 ? COLOR_BTNFACE : COLOR_WINDOW;
        modal::OnSheet = [&](HWND, HWND page) {
            HWND panel = FindWindowExW(page, nullptr, L"#32770", nullptr);
            CHECK(PaintsEdit(page, GetDlgItem(page, CTRL_PAGE_PATH), colour));
            CHECK(PaintsEdit(panel, GetDlgItem(panel, CTRL_PANEL_FIRST), colour));
            SendMessageW(page, WM_COMMAND, CTRL_PAGE_PATH, 0);
            CHECK(IsWindowVisible(page));
            SendMessageW(page, WM_COMMAND, version == 3 ? IDOK : IDCANCEL, 0);
            CHECK_FALSE(IsWindowVisible(page));
        };
        CHECK(Properties().seen.sheets.size() == 1);
    }
    SystemMajorVersion = 10;
}

TEST_CASE("The security page shows the DACL with the event's rights; a refused object gets it alone, unmoved, without Apply")
{
    Program& p = Shell();
    p.SelectRow(Objects().Root(), L"secured");
    std::vector<std::string> marks;  // per account: its name, then each right's allow and deny
    modal::OnSheet = [&](HWND sheet, HWND) {
        SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
        p.Pump();
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        HWND list = GetDlgItem(page, 101), rights = GetDlgItem(page, 111);
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            ListView_SetItemState(list, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            p.Pump();
            std::wstring account = ItemText(list, i, 0);
            for (int row = 0; row < ListView_GetItemCount(rights); ++row)
                account += L" " + ItemText(rights, row, 1) + ItemText(rights, row, 2);
            marks.push_back(Utf8(account));
        }
    };
    Shown shown = Properties();
    REQUIRE(shown.seen.sheets.size() == 1);
    CHECK(shown.seen.sheets[0].tabs == std::vector<std::wstring>{L"一般", L"セキュリティ"});
    CHECK(shown.seen.sheets[0].apply);
    // Rights in bit order, "X" where the ACE allows or denies; Wine shows none for the DACL's first account.
    CHECK(marks == std::vector<std::string>{"Administrators X- -- -- X- -- -- X- --",  // 0x120001
                                            "Everyone X- X- X- X- X- X- X- --",  // 0x1F0003
                                            "Guests -- -X -- -- -- -- -- --",  // denied 0x2
                                            "SYSTEM -- -- -- -- -- -- -- --"});

    p.SelectRow(Objects().Root(), L"refused");
    std::string placed;
    modal::OnSheet = [&](HWND sheet, HWND) { placed = Placed(sheet); };
    shown = Properties();
    REQUIRE(shown.seen.sheets.size() == 1);
    CHECK(shown.seen.sheets[0].tabs == std::vector<std::wstring>{L"セキュリティ"});
    CHECK_FALSE(shown.seen.sheets[0].apply);
    // Left where the dialog manager puts it, at its owner's corner: nothing moves it.
    CHECK(placed == "-3,5,448,444");
}
