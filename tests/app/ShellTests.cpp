// The shell around the pane: menu, loop, layout, bars and the About box.
#include "MainWindowFixture.h"

#include "AboutBox.h"
#include "WindowCentre.h"

namespace {

// "text=id;" per item, "-;" per separator, "text>{...};" per popup.
std::string DescribeMenu(HMENU menu)
{
    std::string out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
        if (GetSubMenu(menu, i))
            out += Utf8(text) + ">{" + DescribeMenu(GetSubMenu(menu, i)) + "};";
        else if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)
            out += "-;";
        else
            out += Utf8(text) + "=" + std::to_string(GetMenuItemID(menu, i)) + ";";
    }
    return out;
}

// "command:image" per button and "-width" per separator.
std::string DescribeToolbar(HWND toolbar)
{
    std::string out;
    TBBUTTON button = {};
    for (int i = 0; SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)); ++i)
        out += button.fsStyle & TBSTYLE_SEP ? " -" + std::to_string(button.iBitmap)
                                            : " " + std::to_string(button.idCommand) + ":" + std::to_string(button.iBitmap);
    return out;
}

// Offers a key press, with the given keys held, to the loop's accelerators
// and Tab rule; true when they consume it.
bool Offer(HWND window, WPARAM key, std::initializer_list<int> heldKeys)
{
    HoldKeys(heldKeys);
    MSG msg = {window, WM_KEYDOWN, key, 0, 0, {}};
    const bool consumed = PreTranslateLoopMessage(&msg, Shell().accelerators);
    HoldKeys({});
    return consumed;
}

bool Marked(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED) != 0; }

COLORREF PaintedPixel(HWND toolbar, int x)
{
    InvalidateRect(toolbar, nullptr, TRUE);
    UpdateWindow(toolbar);
    HDC dc = GetDC(toolbar);
    const COLORREF colour = GetPixel(dc, x, 10);
    ReleaseDC(toolbar, dc);
    return colour;
}

}  // namespace

TEST_CASE("main window: class, title and the menu bar as published")
{
    HWND window = Shell().window;
    wchar_t text[64] = {};
    GetClassNameW(window, text, ARRAYSIZE(text));
    CHECK(Utf8(text) == "Kagero_MainWndClass");
    CHECK(Utf8(TextOf(window)) == "Kagero");
    CHECK(DescribeMenu(GetMenu(window))
        == "オブジェクト(&O)>{プロパティ(&R)...=40008;-;終了(&X)=40002;};"
           "編集(&E)>{コピー(&C)=40027;すべて選択(&A)\tCtrl+A=40026;};"
           "表示(&V)>{ツール バー(&T)=59392;ステータス バー(&S)=59393;-;"
           "並べ替え(&O)>{名前(&N)=40023;タイプ(&T)=40024;-;列挙順(&E)=40025;};"
           "ひとつ上のディレクトリへ(&U)=40020;-;最新の状態に更新(&R)\tF5=40003;};"
           "ヘルプ(&H)>{バージョン情報(&A)...=40004;};");
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
    CHECK_FALSE(Offer(p.List(), VK_RETURN, {}));
    CHECK(p.site->commands == std::vector<WORD>{CMD_REFRESH, CMD_PROPERTIES, CMD_SELECT_ALL});

    // The tree keeps Tab and Escape from its incremental search.
    NMTVKEYDOWN key = {{p.Tree(), TreeControlId, static_cast<UINT>(TVN_KEYDOWN)}, 0, 0};
    for (WORD code : {WORD(VK_TAB), WORD(VK_ESCAPE), WORD('A'), WORD(VK_RETURN)}) {
        key.wVKey = code;
        CHECK(SendMessageW(p.Pane(), WM_NOTIFY, TreeControlId, reinterpret_cast<LPARAM>(&key))
              == (code == VK_TAB || code == VK_ESCAPE));
    }
    // Tab and Shift+Tab move the focus; Ctrl+Tab is left to the control.
    SetFocus(p.Tree());
    const struct {
        HWND from;
        std::initializer_list<int> held;
        bool consumed;
        HWND focus;
    } presses[] = {{p.Tree(), {}, true, p.List()}, {p.List(), {}, true, p.Tree()},
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
    auto command = [&](WORD identifier) { SendMessageW(window, WM_COMMAND, identifier, 0); };
    auto openView = [&](WORD position) {
        SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(position, 0));
    };
    const struct {
        int major;
        const char *pane, *bareFrame;  // with both bars, without
    } looks[] = {{10, "0,27,600,353", "0,1,600,399"}, {3, "-1,27,602,353", "-1,-1,602,402"}};
    p.site->commands.clear();
    for (const auto& look : looks) {
        CAPTURE(look.major);
        SystemMajorVersion = look.major;
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(600, 400));
        CHECK(Placed(bar) == "0,0,600,26");
        CHECK(Placed(status) == "0,380,600,20");
        CHECK(Placed(p.Pane()) == look.pane);
        openView(2);
        CHECK((Marked(view, CMD_VIEW_TOOLBAR) && Marked(view, CMD_VIEW_STATUSBAR)));
        // Each mark follows its own bar, and is set only at the View position.
        command(CMD_VIEW_TOOLBAR);
        openView(1);
        CHECK(Marked(view, CMD_VIEW_TOOLBAR));
        openView(2);
        CHECK((!Marked(view, CMD_VIEW_TOOLBAR) && Marked(view, CMD_VIEW_STATUSBAR)));
        command(CMD_VIEW_STATUSBAR);
        CHECK_FALSE((IsWindowVisible(bar) || IsWindowEnabled(bar) || IsWindowVisible(status)));
        CHECK(Placed(p.Pane()) == look.bareFrame);
        command(CMD_VIEW_TOOLBAR);
        command(CMD_VIEW_STATUSBAR);
        CHECK((IsWindowVisible(bar) && IsWindowEnabled(bar) && IsWindowVisible(status)));
        CHECK(Placed(p.Pane()) == look.pane);
    }
    SystemMajorVersion = 10;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    CHECK(p.site->commands.size() == 8);  // the frame passes its own commands on
}

TEST_CASE("command bar: the published buttons in one rebar band, etched separators, tooltips; a two-part status bar")
{
    Program& p = Shell();
    CommandBar& bar = p.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    CHECK(p.site->ToolbarWindow() == toolbar);
    CHECK(p.site->StatusBarWindow() == p.frame.Status().Window());
    CHECK(DescribeToolbar(toolbar) == " 40003:0 -8 40027:1 40008:2 -8 40020:3");
    int imageWidth = 0, imageHeight = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &imageWidth,
                          &imageHeight);
    CHECK((imageWidth == 16 && imageHeight == 16));
    CHECK(bar.BarHeight(600, 400) == 27);
    REBARBANDINFOW band = {};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
    SendMessageW(bar.BarWindow(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    CHECK(SendMessageW(bar.BarWindow(), RB_GETBANDCOUNT, 0, 0) == 1);
    CHECK(band.hwndChild == toolbar);
    CHECK(band.cyMinChild == 22);

    // Items 23, 8, 23, 23, 8, 23 wide: the grooves' highlight at 27 and 81,
    // the shadow just left of each.
    RECT item = {};
    std::vector<int> widths;
    for (int i = 0; SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)); ++i)
        widths.push_back(item.right - item.left);
    REQUIRE(widths == std::vector<int>{23, 8, 23, 23, 8, 23});
    for (int x : {27, 81}) {
        CAPTURE(x);
        CHECK(PaintedPixel(toolbar, x) == GetSysColor(COLOR_BTNHIGHLIGHT));
        CHECK(PaintedPixel(toolbar, x - 1) == GetSysColor(COLOR_BTNSHADOW));
    }

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

    // The right part is 300 pixels wide, the left one takes the rest.
    HWND status = p.frame.Status().Window();
    const int cases[][3] = {{800, 500, 800}, {300, 0, 300}, {250, 0, 300}};  // client width, right edges
    for (const auto& c : cases) {
        CAPTURE(c[0]);
        CHECK(p.frame.Status().LayoutStatusBar(c[0], 600) == 20);
        int edges[4] = {};
        CHECK(SendMessageW(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)) == 2);
        CHECK((edges[0] == c[1] && edges[1] == c[2]));
    }
    RECT client = {};
    GetClientRect(p.window, &client);
    SendMessageW(p.window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
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
    CHECK(Placed(p.window) == "0,0,960,768");
    // Its template has no WS_VISIBLE: the box stays hidden and quick to destroy.
    HWND box = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(DLG_ABOUT), p.window, AboutDialogProc, 0);
    REQUIRE(box);
    std::string texts = Utf8(TextOf(box));  // then the controls after the icon, in template order
    for (HWND child = GetWindow(GetWindow(box, GW_CHILD), GW_HWNDNEXT); child; child = GetWindow(child, GW_HWNDNEXT))
        texts += "|" + Utf8(TextOf(child));
    CHECK(texts == "Kageroのバージョン情報|Kagero|1.10.158.1|OK|カーネル オブジェクト名前空間ビューア");
    CHECK(SendMessageW(GetWindow(box, GW_CHILD), STM_GETICON, 0, 0) != 0);

    HDC dc = GetDC(box);
    for (int major : {10, 3}) {
        CAPTURE(major);
        SystemMajorVersion = major;
        SetBkColor(dc, RGB(1, 2, 3));
        const INT_PTR brush = AboutDialogProc(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0);
        CHECK(brush == (major < 4 ? reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW)) : FALSE));
        CHECK(AboutDialogProc(box, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0) == brush);
        CHECK(GetBkColor(dc) == (major < 4 ? GetSysColor(COLOR_WINDOW) : RGB(1, 2, 3)));
    }
    SystemMajorVersion = 10;
    ReleaseDC(box, dc);
    DestroyWindow(box);

    p.site->commands.clear();
    for (UINT key : {0, VK_RETURN, VK_ESCAPE}) {  // 0: a click on OK
        CAPTURE(key);
        modal::OnBox = [key](HWND about) {
            // Centred on the 960 x 768 main window for the template's 370 x 254,
            // which Wine's font then shrinks.
            CHECK(Placed(about) == "295,257,361,170");
            PostMessageW(key ? GetFocus() : GetDlgItem(about, IDOK), key ? WM_KEYDOWN : BM_CLICK, key, 1);
            return true;
        };
        const modal::Seen seen = modal::Run([&] { p.Command(CMD_ABOUT); });  // returns once the box is gone
        CHECK(seen.boxes.size() == 1);
        CHECK(seen.boxes[0].caption == L"Kageroのバージョン情報");
        CHECK(seen.forced == 0);
    }
    CHECK(p.site->commands == std::vector<WORD>(3, CMD_ABOUT));

}
