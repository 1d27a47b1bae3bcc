#include "ShellFixture.h"

#include "AboutBox.h"
#include "ResourceIds.h"
#include "WindowCentre.h"

namespace {

const wchar_t AboutTitle[] = L"Kageroのバージョン情報";

RECT Rect(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// Once the modal box is up the timer closes it with closeKey (0: a click on
// OK), and ends it itself five seconds later should that not work, so that
// a fault cannot hang the test.
UINT closeKey = 0;
int ticksSinceClose = -1;

void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindWindowW(L"#32770", AboutTitle);
    if (!box)
        return;
    if (ticksSinceClose < 0 && closeKey)
        PostMessageW(GetFocus(), WM_KEYDOWN, closeKey, 1);
    else if (ticksSinceClose < 0)
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    else if (ticksSinceClose == 100)
        EndDialog(box, 0);
    ++ticksSinceClose;
}

}  // namespace

TEST_CASE("centring: the worked examples on a 1024 x 738 screen")
{
    // Window width and height; reference left, top, width and height; x and y.
    const int examples[][8] = {
        {300, 200, 100, 100, 600, 400, 250, 200},
        {300, 10, -200, 50, 400, 10, 0, 50},
        {300, 10, 800, 0, 400, 10, 724, 0},
        {300, 10, 100, 0, 199, 10, 50, 0},  // -101 halves toward zero to -50
        {1200, 10, 0, 0, 400, 10, 0, 0},
        {1200, 10, 2000, 0, 400, 10, -176, 0},
        {10, 300, 0, 600, 10, 200, 0, 438},
    };
    for (const auto& e : examples) {
        POINT p = CentredPosition(Rect(0, 0, e[0], e[1]), Rect(e[2], e[3], e[4], e[5]), 1024, 738);
        CHECK((p.x == e[6] && p.y == e[7]));
    }
}

TEST_CASE("About box: texts, version, icon, centred on the main window, the older look's colours")
{
    HWND owner = SharedShell().window;
    // Its template has no WS_VISIBLE: the box stays hidden and quick to destroy.
    HWND box = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDialogProc, 0);
    REQUIRE(box);
    // The title, then the texts of the controls after the icon in template order.
    wchar_t text[128] = {};
    GetWindowTextW(box, text, ARRAYSIZE(text));
    std::string texts = Utf8(text);
    for (HWND child = GetWindow(GetWindow(box, GW_CHILD), GW_HWNDNEXT); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, text, ARRAYSIZE(text));
        texts += "|" + Utf8(text);
    }
    CHECK(texts == "Kageroのバージョン情報|Kagero|1.10.158.1|OK|カーネル オブジェクト名前空間ビューア");
    CHECK(SendMessageW(GetWindow(box, GW_CHILD), STM_GETICON, 0, 0) != 0);
    RECT boxRect, ownerRect;
    GetWindowRect(box, &boxRect);
    GetWindowRect(owner, &ownerRect);
    POINT centred =
        CentredPosition(boxRect, ownerRect, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    CHECK((boxRect.left == centred.x && boxRect.top == centred.y));

    HDC dc = GetDC(box);
    WPARAM dcParam = reinterpret_cast<WPARAM>(dc);
    for (int major : {10, 3}) {
        CAPTURE(major);
        SystemMajorVersion = major;
        SetBkColor(dc, RGB(1, 2, 3));
        INT_PTR brush = AboutDialogProc(box, WM_CTLCOLORSTATIC, dcParam, 0);
        CHECK(brush == (major < 4 ? reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW)) : FALSE));
        CHECK(AboutDialogProc(box, WM_CTLCOLORDLG, dcParam, 0) == brush);
        CHECK(GetBkColor(dc) == (major < 4 ? GetSysColor(COLOR_WINDOW) : RGB(1, 2, 3)));
    }
    SystemMajorVersion = 10;
    ReleaseDC(box, dc);
    DestroyWindow(box);
}

TEST_CASE("About command: the modal box closes on OK, Enter and Escape")
{
    ShellFixture& shell = SharedShell();
    shell.pane->commands.clear();
    for (UINT key : {0, VK_RETURN, VK_ESCAPE}) {
        CAPTURE(key);
        closeKey = key;
        ticksSinceClose = -1;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseAboutBox);
        SendMessageW(shell.window, WM_COMMAND, CMD_ABOUT, 0);  // returns when the box is gone
        KillTimer(nullptr, timer);
        CHECK(ticksSinceClose < 100);
        CHECK(FindWindowW(L"#32770", AboutTitle) == nullptr);
    }
    CHECK(shell.pane->commands == std::vector<WORD>(3, CMD_ABOUT));
}
