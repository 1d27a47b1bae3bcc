// The main window's life: teardown, the older look's controls, start-up
// through RunKagero, and a frame without rebar or pane.
#include "MainWindowFixture.h"

#include "DirectoryTree.h"

namespace {

// Once the main window is up and no box is open, records what it shows; then a Refresh key press and
// Exit go through the real loop.
std::wstring ShownAtStart;
void CALLBACK DriveMainWindow(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), modal::FindModal, reinterpret_cast<LPARAM>(&box));
    if (IsWindow(MainWindowHandle) && !box) {
        KillTimer(nullptr, timer);
        ShownAtStart = ShownIn(LastSite->TreeWindow(), LastSite->ListWindow());
        PostMessageW(MainWindowHandle, WM_KEYDOWN, VK_F5, 1);
        PostMessageW(MainWindowHandle, WM_COMMAND, CMD_EXIT, 0);
    }
}

}  // namespace

TEST_CASE("The older look's pane: bordered controls in the system font; the posted Refresh; teardown frees every path and record")
{
    Shell().SelectRow(Objects().Root(), L"sem");
    EndShell();
    REQUIRE((LiveTreePaths() == 0 && LiveEntryRecords() == 0));
    for (int major : {3, 10}) {
        CAPTURE(major);
        Program p(major);
        const bool older = major < 4;
        const LRESULT systemFont = reinterpret_cast<LRESULT>(GetStockObject(SYSTEM_FONT));
        for (HWND control : {p.Tree(), p.List()}) {
            CHECK(((GetWindowLongPtrW(control, GWL_STYLE) & WS_BORDER) != 0) == older);
            CHECK(((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) == older);
            CHECK((SendMessageW(control, WM_GETFONT, 0, 0) == systemFont) == older);
        }
        CHECK(p.Next(TVGN_ROOT) == nullptr);  // the Refresh is posted: it runs from the loop
        p.Pump();
        CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));
        CHECK((LiveTreePaths() > 3 && LiveEntryRecords() > 3));
        DestroyWindow(p.window);
        CHECK((LiveTreePaths() == 0 && LiveEntryRecords() == 0));
    }
}

TEST_CASE("RunKagero records the system, runs the loop through Exit and returns 0")
{
    EndShell();
    AppInstance = nullptr;
    SystemMajorVersion = 0;
    SetTimer(nullptr, 0, 50, DriveMainWindow);
    CHECK(RunKagero(GetModuleHandleW(nullptr), SW_HIDE, MakeRecordingSite) == 0);
    OSVERSIONINFOW version = {sizeof(version), 0, 0, 0, 0, {}};
    GetVersionExW(&version);
    CHECK(SystemMajorVersion == static_cast<int>(version.dwMajorVersion));
    // F5 went through the accelerators; Exit reached the pane after the window had gone.
    CHECK(LastSite->commands == std::vector<WORD>{CMD_REFRESH, CMD_EXIT});
    delete LastSite;
    UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    SystemMajorVersion = 10;
}

TEST_CASE("No InitCommonControlsEx and no pane: a plain toolbar on the main window, every message handled")
{
    EndShell();
    SetInitCommonControlsExLookup([]() -> InitCommonControlsExFunction { return nullptr; });
    Program p(10, nullptr);
    SetInitCommonControlsExLookup(nullptr);
    HWND toolbar = p.frame.Bar().ToolbarWindow();
    CHECK((p.frame.Bar().BarWindow() == toolbar && GetParent(toolbar) == p.window));
    CHECK(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) == 6);
    CHECK(p.frame.Bar().BarHeight(600, 400) == 29);
    // Its separators are plain gaps, without the grooves' painting.
    CHECK(GetWindowLongPtrW(toolbar, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(ToolbarSeparatorProc));
    SendMessageW(p.window, WM_INITMENUPOPUP, 0, 2);  // at the View position
    SendMessageW(p.window, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageW(p.window, WM_SIZE, 0, MAKELPARAM(300, 200));
    p.Command(CMD_REFRESH);
    p.Command(CMD_EXIT);
    CHECK_FALSE(IsWindow(p.window));
}

TEST_CASE("kagero.exe PATH starts at that directory or object, once the tree is built; a missing path at the root, saying why")
{
    EndShell();
    TestNamespace& ns = Objects();
    REQUIRE(ns.Event(L"Dir\\Deeper\\two words") >= 0);
    const struct { std::wstring commandLine, shown; std::string box; } runs[] = {
        {L" \"" + ns.Path(L"Dir\\Deeper") + L"\\\" ", ns.Path(L"Dir\\Deeper"), ""},  // quoted, with a trailing backslash
        {L"\"" + ns.Path(L"Dir\\Deeper\\two words") + L"\"", ns.Path(L"Dir\\Deeper") + L"|two words*", ""},
        {ns.Path(L"Objects\\AnEvent"), ns.Path(L"Objects") + L"|AnEvent*", ""},
        {ns.Path(L"Objects\\None"), L"\\", Utf8(ns.Path(L"Objects\\None")) + "\nオブジェクトが見つかりません。|Kagero|1"},
        {L"/?", L"\\", "使い方: kagero.exe [\\パス]\nパスのオブジェクトを選んだ状態でウィンドウを開きます。|Kagero"},
        {L"Device", L"\\", "Device\nパスは \\ で始めてください。|Kagero|1"},
        {L"\\\\Device", L"\\", "\\\\Device\nパスに \\ が二つ続いています。|Kagero|1"}};
    for (const auto& run : runs) {
        CAPTURE(Utf8(run.commandLine));
        SetTimer(nullptr, 0, 50, DriveMainWindow);
        const modal::Seen seen = modal::Run([&] {
            CHECK(RunKagero(GetModuleHandleW(nullptr), SW_SHOWNORMAL, MakeRecordingSite, run.commandLine.c_str()) == 0);
        });
        CHECK(Utf8(ShownAtStart) == Utf8(run.shown));
        const modal::Box box = seen.boxes.empty() ? modal::Box{} : seen.boxes[0];
        CHECK(Utf8(box.text + L"|" + box.caption) + (box.errorIcon ? "|1" : "") == (run.box.empty() ? "|" : run.box));
        delete LastSite;
        UnregisterClassW(L"Kagero_MainWndClass", AppInstance);
    }
    ns.Remove(L"Dir\\Deeper\\two words");
    SystemMajorVersion = 10;
}
