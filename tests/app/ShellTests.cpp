// The shell around the pane: loop, layout, bars and the About box.
#include "MainWindowFixture.h"

#include "AboutBox.h"
#include "FindDialog.h"
#include "WindowCentre.h"

namespace {

// Offers a key press, with the given keys held, to the loop's accelerators and Tab rule; true when they consume it.
bool Offer(HWND window, WPARAM key, std::initializer_list<int> heldKeys)
{
    BYTE state[256] = {};
    for (int held : heldKeys)
        state[held] = 0x80;
    SetKeyboardState(state);
    MSG msg = {window, WM_KEYDOWN, key, 0, 0, {}};
    const bool consumed = PreTranslateLoopMessage(&msg, Shell().accelerators, Shell().additionAccelerators);
    ZeroMemory(state, sizeof(state));
    SetKeyboardState(state);
    return consumed;
}

int CALLBACK CountFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count)
{
    return ++*reinterpret_cast<int*>(count);
}

}  // namespace

TEST_CASE("frame: Wine has Marlett, which it draws the caption buttons with (else they are letters)")
{
    LOGFONTW marlett = {0, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Marlett"};
    int faces = 0;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &marlett, CountFace, reinterpret_cast<LPARAM>(&faces), 0);
    ReleaseDC(nullptr, screen);
    CHECK(faces > 0);
}

TEST_CASE("loop: accelerators from anywhere in the window; Tab between tree and list; activation restores the focus")
{
    Program& p = Shell();
    p.ShowRows({{L"Event", L"a"}});
    SetFocus(p.List());
    p.site->commands.clear();
    CHECK(Offer(p.List(), VK_F5, {}));
    CHECK(Offer(p.window, VK_RETURN, {VK_MENU, VK_LMENU}));  // no row focused: no sheet
    CHECK(Offer(p.List(), 'A', {VK_CONTROL, VK_LCONTROL}));
    CHECK(Offer(p.Tree(), 'F', {VK_CONTROL, VK_LCONTROL}));  // from the second table
    CloseFindDialog();
    CHECK(p.site->commands == std::vector<WORD>{CMD_REFRESH, CMD_PROPERTIES, CMD_SELECT_ALL, CMD_FIND});

    // The tree keeps Tab and Escape from its incremental search.
    NMTVKEYDOWN key = {{p.Tree(), TreeControlId, static_cast<UINT>(TVN_KEYDOWN)}, 0, 0};
    for (WORD code : {WORD(VK_TAB), WORD(VK_ESCAPE), WORD('A'), WORD(VK_RETURN)}) {
        key.wVKey = code;
        CHECK(SendMessageW(p.Pane(), WM_NOTIFY, TreeControlId, reinterpret_cast<LPARAM>(&key))
              == (code == VK_TAB || code == VK_ESCAPE));
    }
    // Tab and Shift+Tab move the focus; Ctrl+Tab is left to the control.
    SetFocus(p.Tree());
    const struct { HWND from; std::initializer_list<int> held; bool consumed; HWND focus; } presses[] = {
        {p.Tree(), {}, true, p.List()}, {p.List(), {}, true, p.Tree()},
        {p.Tree(), {VK_SHIFT, VK_LSHIFT}, true, p.List()}, {p.List(), {VK_CONTROL, VK_LCONTROL}, false, p.List()}};
    for (const auto& press : presses) {
        CHECK(Offer(press.from, VK_TAB, press.held) == press.consumed);
        CHECK(GetFocus() == press.focus);
        SetFocus(p.window);
        SendMessageW(p.window, WM_ACTIVATE, WA_ACTIVE, 0);
        CHECK(GetFocus() == press.focus);
    }
}

TEST_CASE("layout and View toggles: bars, pane and menu marks on a 600 x 400 client in both looks")
{
    Program& p = Shell();
    HWND window = p.window, bar = p.frame.Bar().BarWindow(), status = p.frame.Status().Window();
    HMENU view = GetSubMenu(GetMenu(window), 2);
    RECT frame = {}, client = {};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left - client.right + 600,
                 frame.bottom - frame.top - client.bottom + 400, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    // The bar, the status bar and the pane; the pane without the bars.
    const struct { int major; const char *placed, *bare; } looks[] = {
        {10, "0,0,600,26 0,380,600,20 0,27,600,353", "0,1,600,399"},
        {3, "0,0,600,26 0,380,600,20 -1,27,602,353", "-1,-1,602,402"}};
    auto placed = [&] { return Placed(bar) + " " + Placed(status) + " " + Placed(p.Pane()); };
    for (const auto& look : looks) {
        CAPTURE(look.major);
        SystemMajorVersion = look.major;
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(600, 400));
        CHECK(placed() == look.placed);
        int edges[3] = {};  // the right part 300 pixels wide, the left one the rest
        CHECK(SendMessageW(status, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)) == 2);
        CHECK((edges[0] == 300 && edges[1] == 600));
        SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(2, 0));
        CHECK(std::string{MenuMark(view, CMD_VIEW_TOOLBAR), MenuMark(view, CMD_VIEW_STATUSBAR)} == "cc");
        // Each mark follows its own bar, and is set only at the View position.
        p.Command(CMD_VIEW_TOOLBAR);
        SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(1, 0));
        CHECK(MenuMark(view, CMD_VIEW_TOOLBAR) == 'c');
        SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(2, 0));
        CHECK(std::string{MenuMark(view, CMD_VIEW_TOOLBAR), MenuMark(view, CMD_VIEW_STATUSBAR)} == "-c");
        p.Command(CMD_VIEW_STATUSBAR);
        CHECK_FALSE((IsWindowVisible(bar) || IsWindowEnabled(bar) || IsWindowVisible(status)));
        CHECK(Placed(p.Pane()) == look.bare);
        p.Command(CMD_VIEW_TOOLBAR);
        p.Command(CMD_VIEW_STATUSBAR);
        CHECK((IsWindowVisible(bar) && IsWindowEnabled(bar) && IsWindowVisible(status)));
        CHECK(placed() == look.placed);
    }
    SystemMajorVersion = 10;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

TEST_CASE("command bar: the published buttons in one rebar band, etched separators, tooltips")
{
    Program& p = Shell();
    HWND rebar = p.frame.Bar().BarWindow(), toolbar = p.frame.Bar().ToolbarWindow();
    std::string buttons;  // " command:image" per button, " -width" per separator
    TBBUTTON button = {};
    for (int i = 0; SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)); ++i)
        buttons += (button.fsStyle & TBSTYLE_SEP ? " -" : " " + std::to_string(button.idCommand) + ":") +
                   std::to_string(button.iBitmap);
    CHECK(buttons == " 40003:0 -8 40027:1 40008:2 -8 40020:3");
    CHECK((GetParent(toolbar) == rebar && SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0) == 1));

    // Items 23, 8, 23, 23, 8, 23 wide: the grooves' highlight at 27 and 81, the shadow just left of each.
    InvalidateRect(toolbar, nullptr, TRUE);
    UpdateWindow(toolbar);
    HDC dc = GetDC(toolbar);
    for (int x : {27, 81}) {
        CAPTURE(x);
        CHECK(GetPixel(dc, x, 10) == GetSysColor(COLOR_BTNHIGHLIGHT));
        CHECK(GetPixel(dc, x - 1, 10) == GetSysColor(COLOR_BTNSHADOW));
    }
    ReleaseDC(toolbar, dc);

    // Each tooltip is the text after the line feed of its button's string,
    // which the tooltip control asks the main window for.
    HWND tooltips = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    const std::pair<UINT, const char*> tips[] = {
        {CMD_REFRESH, "更新"}, {CMD_COPY, "コピー"}, {CMD_PROPERTIES, "プロパティ"}, {CMD_UP, "上のディレクトリへ"}};
    for (auto [id, expected] : tips) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool = {sizeof(tool), 0, toolbar, id, {}, nullptr, text, 0, nullptr};
        SendMessageW(tooltips, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&tool));
        CHECK(Utf8(text) == expected);
    }
}

TEST_CASE("centring: worked examples on a 1024 x 738 screen")
{
    // Window width and height; reference left, top, width and height; x and y.
    const int examples[][8] = {
        {300, 200, 100, 100, 600, 400, 250, 200}, {300, 10, -200, 50, 400, 10, 0, 50},
        {300, 10, 800, 0, 400, 10, 724, 0},       {300, 10, 100, 0, 199, 10, 50, 0},  // -101 halves toward 0
        {1200, 10, 0, 0, 400, 10, 0, 0},          {1200, 10, 2000, 0, 400, 10, -176, 0},
        {10, 300, 0, 600, 10, 200, 0, 438},
    };
    for (const auto& e : examples) {
        const POINT p = CentredPosition({0, 0, e[0], e[1]}, {e[2], e[3], e[2] + e[4], e[3] + e[5]}, 1024, 738);
        CHECK((p.x == e[6] && p.y == e[7]));
    }
}

TEST_CASE("About box: texts, version, icon, centred on the main window, the older look's colours; OK, Enter and Escape close it")
{
    Program& p = Shell();
    for (UINT key : {0, VK_RETURN, VK_ESCAPE}) {  // 0: a click on OK
        CAPTURE(key);
        modal::OnBox = [key](HWND about) {
            // Centred on the 960 x 768 main window for the template's 370 x 254, which Wine's font shrinks.
            CHECK(Placed(about) == "295,257,361,170");
            std::string texts = Utf8(TextOf(about));  // then the controls after the icon, in template order
            for (HWND c = GetWindow(GetWindow(about, GW_CHILD), GW_HWNDNEXT); c; c = GetWindow(c, GW_HWNDNEXT))
                texts += "|" + Utf8(TextOf(c));
            CHECK(texts == "Kageroのバージョン情報|Kagero|1.10.158.1|OK|カーネル オブジェクト名前空間ビューア");
            CHECK(SendMessageW(GetWindow(about, GW_CHILD), STM_GETICON, 0, 0) != 0);
            // The older look paints the box and its texts with the window colour.
            SystemMajorVersion = 3;
            HDC dc = GetDC(about);
            SetBkColor(dc, RGB(1, 2, 3));
            const INT_PTR brush = AboutDialogProc(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0);
            CHECK(brush == reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW)));
            CHECK(AboutDialogProc(about, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0) == brush);
            CHECK(GetBkColor(dc) == GetSysColor(COLOR_WINDOW));
            ReleaseDC(about, dc);
            SystemMajorVersion = 10;
            PostMessageW(key ? GetFocus() : GetDlgItem(about, IDOK), key ? WM_KEYDOWN : BM_CLICK, key, 1);
            return true;
        };
        const modal::Seen seen = modal::Run([&] { p.Command(CMD_ABOUT); });  // returns once the box is gone
        CHECK((seen.boxes.size() == 1 && seen.forced == 0));
    }
}
