#include "ShellFixture.h"

#include "ResourceIds.h"
#include "Startup.h"

namespace {

// "text=id;" per item, "-;" per separator, "text>{...};" per popup.
std::string DescribeMenu(HMENU menu)
{
    std::string out;
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
        if (GetSubMenu(menu, static_cast<int>(i)))
            out += Utf8(text) + ">{" + DescribeMenu(GetSubMenu(menu, static_cast<int>(i))) + "};";
        else if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)
            out += "-;";
        else
            out += Utf8(text) + "=" + std::to_string(GetMenuItemID(menu, static_cast<int>(i))) + ";";
    }
    return out;
}

// Offers a key press, with the given keys held, to the loop's accelerators
// and Tab rule; true when they consume it.
bool Offer(HWND window, WPARAM key, std::initializer_list<int> heldKeys)
{
    static HACCEL accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
    HoldKeys(heldKeys);
    MSG msg = {window, WM_KEYDOWN, key, 0, 0, {}};
    bool consumed = PreTranslateLoopMessage(&msg, accelerators);
    HoldKeys({});
    return consumed;
}

bool Marked(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED) != 0; }

// A child's left, top, width and height in its parent's client coordinates.
RECT Placed(HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool Same(RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; }

}  // namespace

TEST_CASE("main window: class, title and the menu bar as published")
{
    HWND window = SharedShell().window;
    wchar_t text[64] = {};
    GetClassNameW(window, text, ARRAYSIZE(text));
    CHECK(Utf8(text) == "Kagero_MainWndClass");
    GetWindowTextW(window, text, ARRAYSIZE(text));
    CHECK(Utf8(text) == "Kagero");
    CHECK(DescribeMenu(GetMenu(window))
        == "オブジェクト(&O)>{プロパティ(&R)...=40008;-;終了(&X)=40002;};"
           "編集(&E)>{コピー(&C)=40027;すべて選択(&A)\tCtrl+A=40026;};"
           "表示(&V)>{ツール バー(&T)=59392;ステータス バー(&S)=59393;-;"
           "並べ替え(&O)>{名前(&N)=40023;タイプ(&T)=40024;-;列挙順(&E)=40025;};"
           "ひとつ上のディレクトリへ(&U)=40020;-;最新の状態に更新(&R)\tF5=40003;};"
           "ヘルプ(&H)>{バージョン情報(&A)...=40004;};");
}

TEST_CASE("loop: accelerators from anywhere in the window, and the Tab rule")
{
    ShellFixture& shell = SharedShell();
    HWND first = shell.pane->first, second = shell.pane->second;
    shell.pane->commands.clear();
    CHECK(Offer(first, VK_F5, {}));
    CHECK(Offer(first, 'A', {VK_CONTROL, VK_LCONTROL}));
    CHECK(Offer(shell.window, VK_RETURN, {VK_MENU, VK_LMENU}));
    CHECK_FALSE(Offer(first, VK_RETURN, {}));
    CHECK(shell.pane->commands == std::vector<WORD>{CMD_REFRESH, CMD_SELECT_ALL, CMD_PROPERTIES});

    // Tab and Shift+Tab are consumed and move the focus; Ctrl+Tab is left to
    // the focused control.
    SetFocus(first);
    CHECK(Offer(first, VK_TAB, {}));
    CHECK(GetFocus() == second);
    CHECK(Offer(second, VK_TAB, {VK_SHIFT, VK_LSHIFT}));
    CHECK(GetFocus() == first);
    CHECK_FALSE(Offer(first, VK_TAB, {VK_CONTROL, VK_LCONTROL}));
    CHECK(GetFocus() == first);
}

TEST_CASE("layout and View toggles: worked examples, then the real bars, pane and menu marks in both looks")
{
    // Client 600 x 400, BarHeight 31 (share 30) and status bar 20, then both
    // bars hidden.
    CHECK(Same(PanePlacement(600, 400, 30, 20, true, true, false), {0, 31, 600, 349}));
    CHECK(Same(PanePlacement(600, 400, 30, 20, true, true, true), {-1, 31, 602, 349}));
    CHECK(Same(PanePlacement(600, 400, 0, 0, false, false, false), {0, 1, 600, 399}));
    CHECK(Same(PanePlacement(600, 400, 0, 0, false, false, true), {-1, -1, 602, 402}));

    ShellFixture& shell = SharedShell();
    HWND window = shell.window, bar = shell.frame.Bar().BarWindow(), status = shell.frame.Status().Window();
    HMENU view = GetSubMenu(GetMenu(window), 2);
    RECT client = ClientRect(window);
    auto command = [&](WORD identifier) { SendMessageW(window, WM_COMMAND, identifier, 0); };
    auto openView = [&](WORD position) {
        SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(position, 0));
    };
    auto paneAt = [&](int barShare, int statusShare, bool barsShown) {
        return Same(Placed(shell.pane->window),
            PanePlacement(client.right, client.bottom, barShare, statusShare, barsShown, barsShown, IsOlderLook()));
    };
    shell.pane->commands.clear();
    int menuPopups = shell.pane->menuPopups;
    for (int major : {10, 3}) {
        CAPTURE(major);
        SystemMajorVersion = major;
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
        RECT barRect = Placed(bar), statusRect = Placed(status);
        CHECK(Same(barRect, {0, 0, client.right, barRect.bottom}));
        CHECK(statusRect.top + statusRect.bottom == client.bottom);
        CHECK(paneAt(barRect.bottom, statusRect.bottom, true));
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
        CHECK(paneAt(0, 0, false));

        command(CMD_VIEW_TOOLBAR);
        command(CMD_VIEW_STATUSBAR);
        CHECK((IsWindowVisible(bar) && IsWindowEnabled(bar) && IsWindowVisible(status)));
        CHECK(paneAt(barRect.bottom, statusRect.bottom, true));
    }
    SystemMajorVersion = 10;
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    CHECK(shell.pane->commands.size() == 8);
    CHECK(shell.pane->menuPopups == menuPopups + 6);
    int activations = shell.pane->activations;
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    CHECK(shell.pane->activations == activations + 1);
}
