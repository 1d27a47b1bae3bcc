#include "ShellFixture.h"

#include "ResourceIds.h"
#include "Startup.h"

namespace {

// "text=id" per item, "-" per separator, "text>{...}" per popup; "!" marks an
// item that is checked or greyed.
std::wstring DescribeMenu(HMENU menu)
{
    std::wstring out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        item.dwTypeData = text;
        item.cch = ARRAYSIZE(text);
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        if (item.fType & MFT_SEPARATOR)
            out += L"-;";
        else
            out += text + (item.hSubMenu ? L">{" + DescribeMenu(item.hSubMenu) + L"}" : L"=" + std::to_wstring(item.wID))
                + ((item.fState & (MFS_CHECKED | MFS_GRAYED)) ? L"!;" : L";");
    }
    return out;
}

bool Offer(HWND window, UINT message, WPARAM key, HACCEL accelerators)
{
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = 1 | (message == WM_SYSKEYDOWN ? 1 << 29 : 0);  // Alt is down
    return PreTranslateLoopMessage(&msg, accelerators);
}

bool Marked(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED) != 0; }

}  // namespace

TEST_CASE("main window: class, title and the menu bar as published")
{
    ShellFixture shell;
    REQUIRE(shell.window);
    wchar_t text[64] = {};
    GetClassNameW(shell.window, text, ARRAYSIZE(text));
    CHECK(std::wstring(text) == L"Kagero_MainWndClass");
    GetWindowTextW(shell.window, text, ARRAYSIZE(text));
    CHECK(std::wstring(text) == L"Kagero");
    CHECK(DescribeMenu(GetMenu(shell.window))
        == L"オブジェクト(&O)>{プロパティ(&R)...=40008;-;終了(&X)=40002;};"
           L"編集(&E)>{コピー(&C)=40027;すべて選択(&A)\tCtrl+A=40026;};"
           L"表示(&V)>{ツール バー(&T)=59392;ステータス バー(&S)=59393;-;"
           L"並べ替え(&O)>{名前(&N)=40023;タイプ(&T)=40024;-;列挙順(&E)=40025;};"
           L"ひとつ上のディレクトリへ(&U)=40020;-;最新の状態に更新(&R)\tF5=40003;};"
           L"ヘルプ(&H)>{バージョン情報(&A)...=40004;};");
}

TEST_CASE("loop: accelerators from anywhere in the window, and the Tab rule")
{
    ShellFixture shell;
    REQUIRE(shell.pane);
    HACCEL keys = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
    HWND first = shell.pane->first, second = shell.pane->second;
    CHECK(Offer(first, WM_KEYDOWN, VK_F5, keys));
    HoldKeys({VK_CONTROL, VK_LCONTROL});
    CHECK(Offer(first, WM_KEYDOWN, 'A', keys));
    HoldKeys({VK_MENU, VK_LMENU});
    CHECK(Offer(shell.window, WM_SYSKEYDOWN, VK_RETURN, keys));
    HoldKeys({});
    CHECK_FALSE(Offer(first, WM_KEYDOWN, VK_RETURN, keys));
    CHECK(shell.pane->commands == std::vector<WORD>{CMD_REFRESH, CMD_SELECT_ALL, CMD_PROPERTIES});

    // Tab and Shift+Tab are consumed and move the focus; Ctrl+Tab and the
    // arrows are left to the focused control.
    SetFocus(first);
    CHECK(Offer(first, WM_KEYDOWN, VK_TAB, keys));
    CHECK(GetFocus() == second);
    HoldKeys({VK_SHIFT, VK_LSHIFT});
    CHECK(Offer(second, WM_KEYDOWN, VK_TAB, keys));
    CHECK(GetFocus() == first);
    HoldKeys({VK_CONTROL, VK_LCONTROL});
    CHECK_FALSE(Offer(first, WM_KEYDOWN, VK_TAB, keys));
    HoldKeys({});
    CHECK_FALSE(Offer(first, WM_KEYDOWN, VK_RIGHT, keys));
    CHECK(GetFocus() == first);
    DestroyAcceleratorTable(keys);
}

TEST_CASE("View menu marks follow the bar toggles; toggles and activation reach the pane")
{
    ShellFixture shell;
    HMENU view = GetSubMenu(GetMenu(shell.window), 2);
    HWND rebar = shell.frame.Bar().BarWindow();
    HWND status = shell.frame.Status().Window();
    auto open = [&](WORD position) {
        SendMessageW(shell.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(position, 0));
    };
    auto toggleBoth = [&] {
        SendMessageW(shell.window, WM_COMMAND, CMD_VIEW_TOOLBAR, 0);
        SendMessageW(shell.window, WM_COMMAND, CMD_VIEW_STATUSBAR, 0);
    };
    open(2);
    CHECK((Marked(view, CMD_VIEW_TOOLBAR) && Marked(view, CMD_VIEW_STATUSBAR)));
    toggleBoth();
    CHECK_FALSE(IsWindowVisible(rebar));
    CHECK_FALSE(IsWindowEnabled(rebar));
    CHECK_FALSE(IsWindowVisible(status));
    open(1);  // another position leaves the marks as they were
    CHECK(Marked(view, CMD_VIEW_TOOLBAR));
    open(2);
    CHECK_FALSE((Marked(view, CMD_VIEW_TOOLBAR) || Marked(view, CMD_VIEW_STATUSBAR)));
    toggleBoth();
    open(2);
    CHECK((Marked(view, CMD_VIEW_TOOLBAR) && Marked(view, CMD_VIEW_STATUSBAR)));
    CHECK((IsWindowVisible(rebar) && IsWindowEnabled(rebar) && IsWindowVisible(status)));

    CHECK(shell.pane->commands.size() == 4);
    CHECK(shell.pane->menuPopups == 4);
    int activations = shell.pane->activations;
    SendMessageW(shell.window, WM_ACTIVATE, WA_ACTIVE, 0);
    CHECK(shell.pane->activations == activations + 1);
}

TEST_CASE("layout: worked examples, then the real bars and pane in both looks")
{
    auto is = [](RECT r, int x, int y, int w, int h) { return r.left == x && r.top == y && r.right == w && r.bottom == h; };
    CHECK(is(PanePlacement(600, 400, 30, 20, true, true, false), 0, 31, 600, 349));
    CHECK(is(PanePlacement(600, 400, 30, 20, true, true, true), -1, 31, 602, 349));
    CHECK(is(PanePlacement(600, 400, 0, 0, false, false, false), 0, 1, 600, 399));
    CHECK(is(PanePlacement(600, 400, 0, 0, false, false, true), -1, -1, 602, 402));

    for (int major : {10, 3}) {
        CAPTURE(major);
        ShellFixture shell(major);
        RECT client = {};
        GetClientRect(shell.window, &client);
        auto paneIs = [&](RECT expected) {
            RECT pane = shell.Placed(shell.pane->window);
            CHECK(is({pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top}, expected.left,
                expected.top, expected.right, expected.bottom));
        };
        RECT bar = shell.Placed(shell.frame.Bar().BarWindow());
        RECT status = shell.Placed(shell.frame.Status().Window());
        CHECK(is(bar, 0, 0, client.right, bar.bottom));
        CHECK(status.bottom == client.bottom);
        paneIs(PanePlacement(client.right, client.bottom, bar.bottom, status.bottom - status.top, true, true, major < 4));
        SendMessageW(shell.window, WM_COMMAND, CMD_VIEW_TOOLBAR, 0);
        SendMessageW(shell.window, WM_COMMAND, CMD_VIEW_STATUSBAR, 0);
        paneIs(PanePlacement(client.right, client.bottom, 0, 0, false, false, major < 4));
    }
}

TEST_CASE("without a pane every message is still handled")
{
    ShellFixture shell(10, false, nullptr);
    REQUIRE(shell.window);
    CHECK(SendMessageW(shell.window, WM_COMMAND, CMD_REFRESH, 0) == 0);
    CHECK(SendMessageW(shell.window, WM_INITMENUPOPUP, 0, 2) == 0);
    SendMessageW(shell.window, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageW(shell.window, WM_SIZE, 0, MAKELPARAM(300, 200));
    SendMessageW(shell.window, WM_COMMAND, CMD_EXIT, 0);
    CHECK_FALSE(IsWindow(shell.window));
}
