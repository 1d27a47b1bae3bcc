#include "CommandBar.h"

#include <cstddef>

#include "AppGlobals.h"
#include "Owned.h"
#include "ResourceIds.h"
#include "WindowsLayout.h"

namespace {

InitCommonControlsExLookup initCommonControlsExLookup = nullptr;

const DWORD RebarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_BORDER | RBS_FIXEDORDER
    | RBS_BANDBORDERS | RBS_VARHEIGHT | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_TOP;
const DWORD BandToolbarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
    | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_TOP;
const DWORD PlainToolbarStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_TOP;

const int ToolbarImageCount = 12;
const int BandToolbarId = 4001;
const int SeparatorWidth = 8;
const int PlainButtonSize = 23;

// The layout resource: version, image width, image height, item count, then
// one command identifier per item, all 16-bit.
const DWORD LayoutHeaderBytes = 8;

// The rebar band structure as first published, ending with wID; its size
// differs between 32- and 64-bit builds, so it is computed, not written out.
const UINT BandInfoSize = offsetof(REBARBANDINFOW, wID) + sizeof(UINT);

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(BandInfoSize == WindowsLayout(56, 76) && offsetof(REBARBANDINFOW, clrBack) == 16
              && offsetof(REBARBANDINFOW, hwndChild) == WindowsLayout(32, 40)
              && offsetof(REBARBANDINFOW, cxMinChild) == WindowsLayout(36, 48)
              && offsetof(REBARBANDINFOW, cx) == WindowsLayout(44, 56), "first-version REBARBANDINFOW");
static_assert(sizeof(TBBUTTON) == WindowsLayout(20, 32) && offsetof(TBBUTTON, idCommand) == 4
              && offsetof(TBBUTTON, fsState) == 8 && offsetof(TBBUTTON, fsStyle) == 9
              && offsetof(TBBUTTON, dwData) == WindowsLayout(12, 16)
              && offsetof(TBBUTTON, iString) == WindowsLayout(16, 24), "TBBUTTON");
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "INITCOMMONCONTROLSEX");

HWND CreateToolbar(HWND parent, DWORD style, int controlId, HINSTANCE instance, int bitmapId)
{
    return CreateToolbarEx(parent, style, static_cast<UINT>(controlId), ToolbarImageCount, instance,
        static_cast<UINT_PTR>(bitmapId), nullptr, 0, 0, 0, 0, 0, sizeof(TBBUTTON));
}

// The height of the band's child: that of button 0, or, with no buttons,
// the toolbar's own height.
UINT BandChildHeight(HWND toolbar)
{
    RECT rect = {};
    if (!SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)))
        GetClientRect(toolbar, &rect);
    return static_cast<UINT>(rect.bottom > rect.top ? rect.bottom - rect.top : 0);
}

BOOL InsertToolbarBand(HWND rebar, HWND toolbar)
{
    REBARBANDINFOW band = {};
    band.cbSize = BandInfoSize;
    band.fMask = RBBIM_STYLE | RBBIM_COLORS | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID;
    band.fStyle = 0;
    band.clrFore = GetSysColor(COLOR_BTNFACE);
    band.clrBack = GetSysColor(COLOR_BTNFACE);
    band.hwndChild = toolbar;
    band.cxMinChild = 4;
    band.cyMinChild = BandChildHeight(toolbar);
    band.cx = 0;
    band.wID = 1;
    return static_cast<BOOL>(
        SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)));
}

int EtchLineX(int leftEdge, int width) { return leftEdge + width / 2; }

// One etched groove: highlight at x, shadow at x - 1, from y 1 to height - 2.
void DrawEtchedLine(HDC dc, HPEN highlight, HPEN shadow, int x, int height)
{
    HGDIOBJ previous = SelectObject(dc, highlight);
    MoveToEx(dc, x, 1, nullptr);
    LineTo(dc, x, height - 1);
    SelectObject(dc, shadow);
    MoveToEx(dc, x - 1, 1, nullptr);
    LineTo(dc, x - 1, height - 1);
    SelectObject(dc, previous);
}

void PaintSeparatorLines(HWND toolbar)
{
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    HPEN shadow = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNSHADOW));
    HPEN highlight = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNHIGHLIGHT));
    HDC dc = GetDC(toolbar);
    if (dc && shadow && highlight) {
        int leftEdge = 0;
        for (int i = 0; i < count; ++i) {
            RECT rect = {};
            TBBUTTON button = {};
            SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
            SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
            int width = rect.right - rect.left;
            if (button.fsStyle & TBSTYLE_SEP)
                DrawEtchedLine(dc, highlight, shadow, EtchLineX(leftEdge, width), rect.bottom - rect.top);
            leftEdge += width;
        }
    }
    if (dc)
        ReleaseDC(toolbar, dc);
    if (shadow)
        DeleteObject(shadow);
    if (highlight)
        DeleteObject(highlight);
}

}  // namespace

InitCommonControlsExFunction FindInitCommonControlsEx()
{
    HMODULE module = GetModuleHandleW(L"COMCTL32.DLL");
    if (!module)
        return nullptr;
    FARPROC procedure = GetProcAddress(module, "InitCommonControlsEx");
    return reinterpret_cast<InitCommonControlsExFunction>(reinterpret_cast<void (*)()>(procedure));
}

void SetInitCommonControlsExLookup(InitCommonControlsExLookup lookup)
{
    initCommonControlsExLookup = lookup;
}

HWND CommandBar::CreateRebar(HWND parent, HINSTANCE instance, int controlId)
{
    InitCommonControlsExLookup lookup =
        initCommonControlsExLookup ? initCommonControlsExLookup : FindInitCommonControlsEx;
    InitCommonControlsExFunction initialise = lookup();
    if (!initialise)
        return nullptr;
    INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_COOL_CLASSES | ICC_USEREX_CLASSES};
    initialise(&classes);
    barWindow_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr, RebarStyle, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    return barWindow_;
}

void CommandBar::CreateBandToolbar(HWND parent, HINSTANCE instance, int bitmapId)
{
    HWND toolbar = CreateToolbar(parent, BandToolbarStyle, BandToolbarId, instance, bitmapId);
    if (!toolbar)
        return;
    // Without the record the toolbar still works; it only loses its grooves.
    SubclassToolbar(toolbar, ToolbarSeparatorProc);
    toolbarWindow_ = toolbar;
    LoadToolbarButtons(bitmapId);
    InsertToolbarBand(barWindow_, toolbar);
}

HWND CommandBar::CreatePlainToolbar(HWND parent, HINSTANCE instance, int controlId, int bitmapId)
{
    mode_ = 0;
    barWindow_ = CreateToolbar(parent, PlainToolbarStyle, controlId, instance, bitmapId);
    SendMessageW(barWindow_, TB_SETBUTTONSIZE, 0, MAKELONG(PlainButtonSize, PlainButtonSize));
    toolbarWindow_ = barWindow_;
    LoadToolbarButtons(bitmapId);
    return toolbarWindow_;
}

int CommandBar::LoadToolbarButtons(int resourceId)
{
    HRSRC found = FindResourceW(AppInstance, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(RT_TOOLBAR_LAYOUT));
    HGLOBAL loaded = found ? LoadResource(AppInstance, found) : nullptr;
    const WORD* layout = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!layout)
        return 0;
    // A layout whose count runs past its own end is refused, not read beyond.
    DWORD size = SizeofResource(AppInstance, found);
    if (size < LayoutHeaderBytes)
        return 0;
    DWORD count = layout[3];
    if (size < LayoutHeaderBytes + count * sizeof(WORD))
        return 0;
    LocalBlock block(LocalAlloc(LMEM_FIXED, (count ? count : 1) * sizeof(DWORD)));
    auto* identifiers = static_cast<DWORD*>(block.Get());
    if (!identifiers)
        return 0;
    for (DWORD i = 0; i < count; ++i)
        identifiers[i] = layout[4 + i];
    int result = AddToolbarButtons(identifiers, static_cast<int>(count));
    FreeResource(loaded);
    return result;
}

int CommandBar::AddToolbarButtons(const DWORD* identifiers, int count)
{
    int existing = static_cast<int>(SendMessageW(toolbarWindow_, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < existing; ++i)
        SendMessageW(toolbarWindow_, TB_DELETEBUTTON, 0, 0);
    int image = 0;
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        button.idCommand = static_cast<int>(identifiers[i]);
        button.fsState = TBSTATE_ENABLED;
        if (identifiers[i] != 0) {
            button.fsStyle = TBSTYLE_BUTTON;
            button.iBitmap = image++;
        } else {
            button.fsStyle = TBSTYLE_SEP;
            button.iBitmap = SeparatorWidth;
        }
        if (!SendMessageW(toolbarWindow_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button)))
            return 0;
    }
    return 1;
}

int CommandBar::BarHeight(int width, int height)
{
    if (!IsWindow(barWindow_))
        return 0;
    SendMessageW(barWindow_, WM_SIZE, 0, MAKELPARAM(width, height));
    RECT client = {};
    GetClientRect(barWindow_, &client);
    return client.bottom - client.top + (mode_ == 1 ? 5 : 2);
}

bool SubclassToolbar(HWND window, WNDPROC procedure)
{
    SubclassRecord* record = static_cast<SubclassRecord*>(LocalAlloc(LPTR, sizeof(SubclassRecord)));
    if (!record)
        return false;
    record->previousProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    return true;
}

LRESULT CALLBACK ToolbarSeparatorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const SubclassRecord* record = reinterpret_cast<const SubclassRecord*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!record || !record->previousProcedure)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message != WM_PAINT)
        return CallWindowProcW(record->previousProcedure, window, message, wParam, lParam);
    CallWindowProcW(record->previousProcedure, window, WM_PAINT, wParam, lParam);
    PaintSeparatorLines(window);
    return 0;
}

int SeparatorLineX(const int* itemWidths, int separatorIndex)
{
    int leftEdge = 0;
    for (int i = 0; i < separatorIndex; ++i)
        leftEdge += itemWidths[i];
    return EtchLineX(leftEdge, itemWidths[separatorIndex]);
}
