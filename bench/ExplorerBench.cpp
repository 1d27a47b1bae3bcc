// Measures the real list fill and tree Refresh against the bare native
// enumeration of the same objects, timed in the same run.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AppGlobals.h"
#include "BenchSupport.h"
#include "ControlSite.h"
#include "DirectoryTree.h"
#include "DirectoryWalk.h"
#include "ImageStrips.h"
#include "KernelObjects.h"
#include "ListSort.h"
#include "MainFrame.h"
#include "ObjectList.h"
#include "ObjectTypes.h"

namespace {

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The real main window, toolbar and status bar included: the toolbar's
// state is updated on every message the pane receives during a fill.
struct Host {
    MainFrame* frame = nullptr;
    ControlSite* site = nullptr;
    HWND status = nullptr;
};

Host MakeHost()
{
    Host host;
    host.frame = new MainFrame(MakeControlSite);
    host.frame->CreateMainWindow(SW_SHOW);
    host.site = ActiveControlSite;
    host.status = host.frame->Status().Window();
    PumpMessages();  // the pane's first Refresh
    return host;
}

class ListSink : public NamespaceSink {
public:
    DirectoryNode InsertDirectoryNode(DirectoryNode, const wchar_t*) override { return nullptr; }
    void AddListEntry(int index, const wchar_t* type, const wchar_t* name) override { ::AddListEntry(index, type, name); }
};

// Where a fill's time goes: the same steps as FillObjectList, timed apart.
void PrintFillPhases(HWND list, const std::wstring& path)
{
    ListTargetWindow = list;
    ListSink sink;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    const double start = Seconds();
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const double deleted = Seconds();
    ListDirectoryEntries(path.c_str(), sink);
    const double listed = Seconds();
    SortObjectList(list, -1, false);
    const double sorted = Seconds();
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    const double shown = Seconds();
    std::printf("    phases: delete rows %.1f ms, list and insert %.1f ms, sort %.1f ms, redraw on %.1f ms\n",
                (deleted - start) * 1e3, (listed - deleted) * 1e3, (sorted - listed) * 1e3, (shown - sorted) * 1e3);
}

LRESULT CALLBACK BareParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// The list control's own floor: a visible report list of the pane list's
// style and size under a window that handles nothing.
HWND MakeBareList(HWND paneList)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BareParentProc;
    windowClass.hInstance = AppInstance;
    windowClass.lpszClassName = L"KageroBenchBareParent";
    RegisterClassW(&windowClass);
    RECT size;
    GetWindowRect(paneList, &size);
    HWND parent = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                                  nullptr, nullptr, AppInstance, nullptr);
    HWND list = CreateWindowExW(GetWindowLongW(paneList, GWL_EXSTYLE), WC_LISTVIEWW, L"",
                                GetWindowLongW(paneList, GWL_STYLE), 0, 0, size.right - size.left,
                                size.bottom - size.top, parent, nullptr, AppInstance, nullptr);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(L"");
    for (int i = 0; i < 2; ++i) {
        column.cx = static_cast<int>(SendMessageW(paneList, LVM_GETCOLUMNWIDTH, i, 0));
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(TypeImageList));
    return list;
}

// The list control's own share of a fill: with redrawing off, the old rows
// deleted and the same rows inserted (name, image, item data, type column),
// then redrawing on, which with a page or more of rows lays out and paints the
// scroll bar. Only the kernel's part and Kagero's own work are left out.
void BareListFill(HWND list, const std::vector<std::wstring>& names, int image)
{
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < names.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(names[i].c_str());
        item.iImage = image;
        item.lParam = static_cast<LPARAM>(i);
        const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        LVITEMW type = {};
        type.iSubItem = 1;
        type.pszText = const_cast<wchar_t*>(L"Event");
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&type));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

void MeasureFill(const Host& host, HWND bareList, int n)
{
    TestNamespace ns;
    std::vector<std::wstring> names;
    for (int i = 0; i < n; ++i) {
        names.push_back(L"event" + std::to_wstring(i));
        ns.Event(names.back());
    }
    const std::wstring path = ns.Root();
    int image = ImageGenericType;
    LookupObjectType(L"Event", &image);
    NMTREEVIEWW change = {};
    change.hdr.hwndFrom = host.site->TreeWindow();
    change.hdr.idFrom = 101;
    change.hdr.code = TVN_SELCHANGINGW;
    change.itemNew.hItem = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(1));
    change.itemNew.lParam = reinterpret_cast<LPARAM>(path.c_str());
    // The three in turn, best of each: a change in the machine's load between
    // them then affects all alike.
    double floor = 1e30, fill = 1e30, bare = 1e30;
    for (int run = 0; run < 5; ++run) {
        floor = std::min(floor, BestOf(1, [&] { BareEnumerate(path, false); }));
        fill = std::min(fill, BestOf(1, [&] { FillObjectList(host.site->ListWindow(), host.status, &change); }));
        bare = std::min(bare, BestOf(1, [&] { BareListFill(bareList, names, image); }));
    }
    const std::wstring label = L"FillObjectList, " + std::to_wstring(n) + L" events";
    PrintOverhead(label.c_str(), static_cast<unsigned long>(n), floor, fill);
    std::printf("    above the enumeration %.2f ms; the bare list's own fill %.2f ms; ratio %.2fx\n",
                (fill - floor) * 1e3, bare * 1e3, (fill - floor) / bare);
    std::printf("    against both floors together %.2f ms: ratio %.2fx\n", (floor + bare) * 1e3, fill / (floor + bare));
    PrintFillPhases(host.site->ListWindow(), path);
}

void MeasureRefresh(const Host& host)
{
    TestNamespace ns;
    const int directories = MakeDirectoryTree(ns);
    unsigned long entries = 0;
    double floor = 0, refresh = 0;
    Alternate(
        5, [&] { entries = BareEnumerate(L"\\", true); }, [&] { RefreshTree(host.site->TreeWindow()); }, &floor,
        &refresh);
    const std::wstring label = L"RefreshTree, namespace with " + std::to_wstring(directories) + L" more directories";
    PrintOverhead(label.c_str(), entries, floor, refresh);
}

}  // namespace

void RunExplorerBench()
{
    AppInstance = GetModuleHandleW(nullptr);
    SystemMajorVersion = 6;
    Host host = MakeHost();
    HWND bareList = MakeBareList(host.site->ListWindow());
    MeasureFill(host, bareList, 1000);
    MeasureFill(host, bareList, 10000);
    DestroyWindow(GetParent(bareList));
    MeasureRefresh(host);
    DestroyWindow(host.frame->Window());
    PumpMessages();
    delete host.frame;
}
