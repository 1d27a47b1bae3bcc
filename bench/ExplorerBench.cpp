// Measures the real list fill and tree Refresh against the bare native
// enumeration of the same objects, timed in the same run.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "AppGlobals.h"
#include "BenchSupport.h"
#include "ControlSite.h"
#include "DirectoryTree.h"
#include "KernelObjects.h"
#include "MainFrame.h"
#include "DirectoryWalk.h"
#include "ListSort.h"
#include "ObjectList.h"

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
    std::printf("    phases: delete rows %.1f ms, list and insert %.1f ms, sort %.1f ms\n", (deleted - start) * 1e3,
                (listed - deleted) * 1e3, (sorted - listed) * 1e3);
}

void MeasureFill(const Host& host, int n)
{
    TestNamespace ns;
    for (int i = 0; i < n; ++i)
        ns.Event(L"event" + std::to_wstring(i));
    const std::wstring path = ns.Root();
    NMTREEVIEWW change = {};
    change.hdr.hwndFrom = host.site->TreeWindow();
    change.hdr.idFrom = 101;
    change.hdr.code = TVN_SELCHANGINGW;
    change.itemNew.hItem = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(1));
    change.itemNew.lParam = reinterpret_cast<LPARAM>(path.c_str());
    double floor = 0, fill = 0;
    Alternate(
        5, [&] { BareEnumerate(path, false); },
        [&] { FillObjectList(host.site->ListWindow(), host.status, &change); }, &floor, &fill);
    const std::wstring label = L"FillObjectList, " + std::to_wstring(n) + L" events";
    PrintOverhead(label.c_str(), static_cast<unsigned long>(n), floor, fill);
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
    MeasureFill(host, 1000);
    MeasureFill(host, 10000);
    MeasureRefresh(host);
    DestroyWindow(host.frame->Window());
    PumpMessages();
    delete host.frame;
}
