#include "ShellFixture.h"

#include "ResourceIds.h"
#include "StatusBar.h"

namespace {

// Paints the toolbar now and reads the column at x back, halfway down.
COLORREF PaintedPixel(HWND toolbar, int x)
{
    InvalidateRect(toolbar, nullptr, TRUE);
    UpdateWindow(toolbar);
    HDC dc = GetDC(toolbar);
    COLORREF colour = GetPixel(dc, x, ClientRect(toolbar).bottom / 2);
    ReleaseDC(toolbar, dc);
    return colour;
}

}  // namespace

TEST_CASE("band toolbar: the published buttons in one rebar band, etched lines through the separators")
{
    CHECK(CommandBar().BarHeight(600, 400) == 0);
    ShellFixture& shell = SharedShell();
    CommandBar& bar = shell.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    REQUIRE(toolbar);
    CHECK(shell.pane->toolbarWindow == toolbar);
    CHECK(shell.pane->statusWindow == shell.frame.Status().Window());
    CHECK(DescribeToolbar(toolbar) == PublishedToolbar);
    int imageWidth = 0, imageHeight = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &imageWidth,
        &imageHeight);
    CHECK((imageWidth == 16 && imageHeight == 16));  // the artwork whole
    RECT client = ClientRect(shell.window);
    CHECK(bar.BarHeight(client.right, client.bottom) == ClientRect(bar.BarWindow()).bottom + 5);

    // The rebar's one band holds the toolbar and is as high as a button.
    REBARBANDINFOW band = {};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
    SendMessageW(bar.BarWindow(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    RECT item = {};
    SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    CHECK(SendMessageW(bar.BarWindow(), RB_GETBANDCOUNT, 0, 0) == 1);
    CHECK(band.hwndChild == toolbar);
    CHECK(band.cyMinChild == static_cast<UINT>(item.bottom - item.top));

    // The items have the worked example's widths, and so a real paint shows
    // its grooves: highlight at 27 and 81, shadow just left of each.
    std::vector<int> widths;
    for (int i = 0; SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)); ++i)
        widths.push_back(item.right - item.left);
    REQUIRE(widths == std::vector<int>{23, 8, 23, 23, 8, 23});
    for (int x : {27, 81}) {
        CAPTURE(x);
        CHECK(PaintedPixel(toolbar, x) == GetSysColor(COLOR_BTNHIGHLIGHT));
        CHECK(PaintedPixel(toolbar, x - 1) == GetSysColor(COLOR_BTNSHADOW));
    }
}

TEST_CASE("tooltips: the text after the line feed of each button's string")
{
    HWND toolbar = SharedShell().frame.Bar().ToolbarWindow();
    HWND tooltips = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    const std::pair<UINT, const char*> tips[] = {
        {CMD_REFRESH, "更新"}, {CMD_COPY, "コピー"}, {CMD_PROPERTIES, "プロパティ"}, {CMD_UP, "上のディレクトリへ"}};
    for (auto [command, expected] : tips) {
        // The toolbar's tooltip control asks the main window, as on hovering.
        wchar_t text[80] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = toolbar;
        tool.uId = command;
        tool.lpszText = text;
        SendMessageW(tooltips, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&tool));
        CHECK(Utf8(text) == expected);
    }
}

TEST_CASE("status bar: two parts, the right one 300 pixels wide")
{
    CHECK(StatusBar().LayoutStatusBar(600, 400) == 0);
    ShellFixture& shell = SharedShell();
    HWND status = shell.frame.Status().Window();
    const int cases[][3] = {{800, 500, 800}, {300, 0, 300}, {250, 0, 300}};  // client width, right edges
    for (const auto& c : cases) {
        CAPTURE(c[0]);
        CHECK(shell.frame.Status().LayoutStatusBar(c[0], 600) == ClientRect(status).bottom);
        int edges[4] = {};
        CHECK(SendMessageW(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)) == 2);
        CHECK((edges[0] == c[1] && edges[1] == c[2]));
    }
    RECT client = ClientRect(shell.window);
    SendMessageW(shell.window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
}
