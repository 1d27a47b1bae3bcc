#include "ShellFixture.h"

#include <commctrl.h>

#include "ResourceIds.h"
#include "StatusBar.h"

namespace {

// Command, image and width of each item, and the separator line x of each
// separator computed from those widths.
struct Items {
    std::vector<int> commands, images, widths, lineX;
};

Items ReadItems(HWND toolbar)
{
    Items items;
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        RECT rect = {};
        SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
        SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
        items.commands.push_back((button.fsStyle & TBSTYLE_SEP) ? 0 : button.idCommand);
        items.images.push_back(button.iBitmap);
        items.widths.push_back(rect.right - rect.left);
        if (button.fsStyle & TBSTYLE_SEP)
            items.lineX.push_back(SeparatorLineX(items.widths.data(), i));
    }
    return items;
}

// Refresh | Copy Properties | Up, with whole 16 x 16 images.
void CheckPublishedButtons(HWND toolbar)
{
    Items items = ReadItems(toolbar);
    CHECK(items.commands == std::vector<int>{CMD_REFRESH, 0, CMD_COPY, CMD_PROPERTIES, 0, CMD_UP});
    CHECK(items.images == std::vector<int>{0, 8, 1, 2, 8, 3});
    int width = 0, height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &width, &height);
    CHECK((width == 16 && height == 16));
}

int ClientHeight(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect.bottom;
}

// Paints the toolbar now and reads the column at x back, halfway down.
COLORREF PaintedPixel(HWND toolbar, int x)
{
    InvalidateRect(toolbar, nullptr, TRUE);
    UpdateWindow(toolbar);
    HDC dc = GetDC(toolbar);
    COLORREF colour = GetPixel(dc, x, ClientHeight(toolbar) / 2);
    ReleaseDC(toolbar, dc);
    return colour;
}

}  // namespace

TEST_CASE("band toolbar: one band in a rebar, etched lines through the separators")
{
    const int published[] = {23, 8, 23, 23, 8, 23};
    CHECK(SeparatorLineX(published, 1) == 27);
    CHECK(SeparatorLineX(published, 4) == 81);

    ShellFixture shell;
    CommandBar& bar = shell.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    REQUIRE(toolbar);
    CHECK(bar.Mode() == 1);
    CHECK(GetParent(toolbar) == bar.BarWindow());
    CHECK(shell.pane->toolbarWindow == toolbar);
    CHECK(shell.pane->statusWindow == shell.frame.Status().Window());
    CheckPublishedButtons(toolbar);
    CHECK(bar.BarHeight(600, 400) == ClientHeight(bar.BarWindow()) + 5);

    CHECK(SendMessageW(bar.BarWindow(), RB_GETBANDCOUNT, 0, 0) == 1);
    REBARBANDINFOW band = {};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
    SendMessageW(bar.BarWindow(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    RECT first = {};
    SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    CHECK(band.hwndChild == toolbar);
    CHECK(band.cxMinChild == 4);
    CHECK(band.cyMinChild == static_cast<UINT>(first.bottom - first.top));

    // Read back from a real paint: highlight at x, shadow just left of it.
    for (int x : ReadItems(toolbar).lineX) {
        CAPTURE(x);
        CHECK(PaintedPixel(toolbar, x) == GetSysColor(COLOR_BTNHIGHLIGHT));
        CHECK(PaintedPixel(toolbar, x - 1) == GetSysColor(COLOR_BTNSHADOW));
    }
}

TEST_CASE("plain toolbar when the common controls have no InitCommonControlsEx")
{
    ShellFixture shell(10, true);
    CommandBar& bar = shell.frame.Bar();
    HWND toolbar = bar.ToolbarWindow();
    REQUIRE(toolbar);
    CHECK(bar.Mode() == 0);
    CHECK(bar.BarWindow() == toolbar);
    CHECK(GetParent(toolbar) == shell.window);
    CHECK(FindWindowExW(shell.window, nullptr, L"ReBarWindow32", nullptr) == nullptr);
    CHECK(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0) == MAKELONG(23, 23));
    CheckPublishedButtons(toolbar);
    CHECK(bar.BarHeight(600, 400) == ClientHeight(toolbar) + 2);
    CHECK(PaintedPixel(toolbar, ReadItems(toolbar).lineX.at(0) - 1) != GetSysColor(COLOR_BTNSHADOW));

    // Separators only use no images; a missing layout leaves the buttons be.
    const DWORD separators[] = {0, 0};
    CHECK(bar.AddToolbarButtons(separators, 2) == 1);
    CHECK(ReadItems(toolbar).images == std::vector<int>{8, 8});
    CHECK(bar.LoadToolbarButtons(IDR_TOOLBAR + 1000) == 0);
    CHECK(ReadItems(toolbar).commands.size() == 2);
    CHECK(CommandBar().BarHeight(600, 400) == 0);
}

TEST_CASE("tooltips show the text after the line feed of the command's string")
{
    CHECK(TextAfterLineFeed(nullptr) == nullptr);
    CHECK(TextAfterLineFeed(L"none") == nullptr);
    CHECK(std::wstring(TextAfterLineFeed(L"a\nb\nc")) == L"b\nc");

    ShellFixture shell;
    HWND toolbar = shell.frame.Bar().ToolbarWindow();
    const std::pair<UINT, const wchar_t*> tips[] = {{CMD_REFRESH, L"更新"}, {CMD_COPY, L"コピー"},
        {CMD_PROPERTIES, L"プロパティ"}, {CMD_UP, L"上のディレクトリへ"}, {CMD_OPEN_EDITOR, L"(none)"}};
    for (auto [command, text] : tips) {
        NMTTDISPINFOW info = {};
        info.hdr = {toolbar, command, TTN_NEEDTEXTW};
        CHECK(SendMessageW(shell.window, WM_NOTIFY, command, reinterpret_cast<LPARAM>(&info)) == 0);
        CHECK(info.hinst == AppInstance);
        CHECK(std::wstring(info.lpszText ? info.lpszText : L"(none)") == text);
    }
    // The toolbar's own tooltip control gets its text the same way.
    wchar_t text[80] = {};
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = toolbar;
    tool.uId = CMD_UP;
    tool.lpszText = text;
    SendMessageW(reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0)), TTM_GETTEXTW, ARRAYSIZE(text),
        reinterpret_cast<LPARAM>(&tool));
    CHECK(std::wstring(text) == L"上のディレクトリへ");
}

TEST_CASE("status bar: two parts, the right one 300 pixels wide")
{
    const int cases[][3] = {{800, 500, 800}, {300, 0, 300}, {250, 0, 300}};  // width, edges
    for (const int* c : cases) {
        int edges[2];
        StatusPartEdges(c[0], edges);
        CHECK((edges[0] == c[1] && edges[1] == c[2]));
    }
    ShellFixture shell;
    StatusBar& status = shell.frame.Status();
    int parts[4] = {};
    CHECK(SendMessageW(status.Window(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)) == 2);
    CHECK(status.LayoutStatusBar(800, 600) == ClientHeight(status.Window()));
    SendMessageW(status.Window(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    CHECK((parts[0] == 500 && parts[1] == 800));
    CHECK(StatusBar().LayoutStatusBar(600, 400) == 0);
}
