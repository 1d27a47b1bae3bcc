#include "ShellFixture.h"

#include "AboutBox.h"
#include "ResourceIds.h"
#include "WindowCentre.h"

namespace {

RECT Rect(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

const wchar_t AboutTitle[] = L"Kageroのバージョン情報";

// The box sits where CentredPosition puts it over its owner.
bool IsCentred(HWND box)
{
    RECT boxRect, ownerRect;
    GetWindowRect(box, &boxRect);
    GetWindowRect(GetParent(box), &ownerRect);
    POINT p = CentredPosition(boxRect, ownerRect, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    return boxRect.left == p.x && boxRect.top == p.y;
}

// The texts of the controls after the icon, in template order.
std::wstring Texts(HWND box)
{
    std::wstring texts;
    wchar_t text[128];
    for (HWND child = GetWindow(GetWindow(box, GW_CHILD), GW_HWNDNEXT); child; child = GetWindow(child, GW_HWNDNEXT))
        texts += (GetWindowTextW(child, text, ARRAYSIZE(text)), text) + std::wstring(L"|");
    return texts;
}

// The timer finds the modal box, closes it one of the user's ways, and ends
// it itself if that does not work, so a fault cannot hang the test.
int closeWay = 0;
int ticksAfterClose = -1;
bool wasCentred = false;
bool forced = false;

void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = FindWindowW(L"#32770", AboutTitle);
    if (!box || (ticksAfterClose >= 0 && ++ticksAfterClose < 40))
        return;
    if (ticksAfterClose >= 0) {
        forced = true;
        EndDialog(box, 0);
        return;
    }
    ticksAfterClose = 0;
    wasCentred = IsCentred(box);
    switch (closeWay) {
    case 0: PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); break;
    case 1: PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1); break;
    case 2: PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1); break;
    default: PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
}

}  // namespace

TEST_CASE("centring: the published worked examples")
{
    auto x = [](int width, int refLeft, int refWidth) {
        return CentredPosition(Rect(0, 0, width, 10), Rect(refLeft, 0, refWidth, 10), 1024, 738).x;
    };
    POINT p = CentredPosition(Rect(0, 0, 300, 200), Rect(100, 100, 600, 400), 1024, 738);
    CHECK((p.x == 250 && p.y == 200));
    CHECK(x(300, -200, 400) == 0);
    CHECK(x(300, 800, 400) == 724);
    CHECK(x(300, 100, 199) == 50);  // -101 halves toward zero to -50
    CHECK(x(1200, 0, 400) == 0);
    CHECK(x(1200, 2000, 400) == -176);
    CHECK(CentredPosition(Rect(0, 0, 10, 300), Rect(0, 600, 10, 200), 1024, 738).y == 438);
}

TEST_CASE("About box: texts, icon, centring, and the older look's colours")
{
    for (int major : {10, 3}) {
        CAPTURE(major);
        ShellFixture shell(major);
        HWND box = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), shell.window, AboutDialogProc, 0);
        REQUIRE(box);
        wchar_t title[64] = {};
        GetWindowTextW(box, title, ARRAYSIZE(title));
        CHECK(std::wstring(title) == AboutTitle);
        CHECK(Texts(box) == L"Kagero|1.10.158.1|OK|カーネル オブジェクト名前空間ビューア|");
        CHECK(SendMessageW(GetWindow(box, GW_CHILD), STM_GETICON, 0, 0) != 0);
        CHECK(IsCentred(box));

        HDC dc = GetDC(box);
        SetBkColor(dc, RGB(1, 2, 3));
        WPARAM dcParam = reinterpret_cast<WPARAM>(dc);
        INT_PTR brush = AboutDialogProc(box, WM_CTLCOLORSTATIC, dcParam, 0);
        INT_PTR windowBrush = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        CHECK(brush == (major < 4 ? windowBrush : FALSE));
        CHECK(AboutDialogProc(box, WM_CTLCOLORDLG, dcParam, 0) == brush);
        CHECK(GetBkColor(dc) == (major < 4 ? GetSysColor(COLOR_WINDOW) : RGB(1, 2, 3)));
        ReleaseDC(box, dc);
        DestroyWindow(box);
    }
}

TEST_CASE("About command: the modal box closes on OK, Enter, Escape and the close box")
{
    ShellFixture shell;
    for (closeWay = 0; closeWay < 4; ++closeWay) {
        CAPTURE(closeWay);
        ticksAfterClose = -1;
        wasCentred = forced = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseAboutBox);
        SendMessageW(shell.window, WM_COMMAND, CMD_ABOUT, 0);  // returns when the box is gone
        KillTimer(nullptr, timer);
        CHECK(wasCentred);
        CHECK_FALSE(forced);
        CHECK(FindWindowW(L"#32770", AboutTitle) == nullptr);
    }
    CHECK(shell.pane->commands == std::vector<WORD>(4, CMD_ABOUT));
}
