// The holders window: the object's path, the handles other processes hold
// to it, and what the scan could not see.
#include "HoldersWindow.h"

#include <commctrl.h>

#include "AnchoredLayout.h"
#include "AppGlobals.h"
#include "HolderRows.h"
#include "HolderScanJob.h"
#include "LoadedText.h"
#include "ModelessSlot.h"
#include "ObjectTypes.h"
#include "Owned.h"
#include "ReportList.h"
#include "ResourceIds.h"
#include "WideText.h"
#include "WindowCentre.h"

namespace {

const UINT ScanDoneMessage = WM_APP + 2;
// The status line: three loaded formats with their counts, blanks between.
const int StatusTextChars = 3 * LoadedTextChars + 48;

// Column titles and their shares of the list's width.
const ReportColumn Columns[HolderColumnCount] = {
    {IDS_HOLDERS_COLUMN_PROGRAM, 26, LVCFMT_LEFT}, {IDS_HOLDERS_COLUMN_PID, 10, LVCFMT_RIGHT},
    {IDS_HOLDERS_COLUMN_HANDLE, 14, LVCFMT_RIGHT}, {IDS_HOLDERS_COLUMN_ACCESS, 30, LVCFMT_LEFT},
    {IDS_HOLDERS_COLUMN_FILE, 20, LVCFMT_LEFT}};

const AnchoredControl Anchors[] = {
    {CTRL_HOLDERS_PATH, Stretch},
    {CTRL_HOLDERS_LIST, Stretch | Grow},
    {CTRL_HOLDERS_STATUS, Stretch | MoveDown},
    {CTRL_HOLDERS_REFRESH, MoveRight | MoveDown},
    {IDCANCEL, MoveRight | MoveDown},
};

struct HoldersState {
    HWND dialog = nullptr;
    HWND list = nullptr;
    WideText path;
    WideText typeName;
    HolderScanJob job;
    OwnedObject<HandleScan> scan;  // the last finished scan, which the rows show
    HolderRowsSource source;
    ColumnSort sort;
    AnchoredLayout layout{Anchors, sizeof(Anchors) / sizeof(Anchors[0])};

    void Close();
};

// The open window's state; none while no window is open.
ModelessSlot<HoldersState> Current;

void SetStatus(const HoldersState& window, const wchar_t* text)
{
    SetDlgItemTextW(window.dialog, CTRL_HOLDERS_STATUS, text);
}

// The rows go with the scan they index: both are let go together.
void ClearRows(HoldersState& window)
{
    SendMessageW(window.list, LVM_DELETEALLITEMS, 0, 0);
    window.source.scan = nullptr;
    window.scan.Reset();
}

void HoldersState::Close()
{
    job.Stop();  // nothing is posted to this window from here on
    ClearRows(*this);
}

void StartScan(HoldersState& window)
{
    window.job.Stop();
    ClearRows(window);
    SetDlgItemTextW(window.dialog, CTRL_HOLDERS_PATH, window.path.Get());
    window.source.typeCode = LookupObjectType(window.typeName.Get(), nullptr);
    const DWORD error = window.job.Start(window.path.Get(), window.typeName.Get(), window.dialog, ScanDoneMessage);
    wchar_t text[StatusTextChars];
    if (error != 0)
        FormatText(text, StatusTextChars, IDS_HOLDERS_START_FAILED, error);
    else
        LoadText(IDS_HOLDERS_SCANNING, text, StatusTextChars);
    SetStatus(window, text);
}

void ShowOutcome(HoldersState& window, NTSTATUS status)
{
    wchar_t text[StatusTextChars];
    if (status < 0 || !window.scan) {
        FormatText(text, StatusTextChars, IDS_HOLDERS_NO_TABLE, static_cast<unsigned long>(status));
        SetStatus(window, text);
        return;
    }
    const HandleScan& scan = *window.scan;
    size_t first = 0;
    const size_t handles = scan.Find(window.path.Get(), &first);
    const size_t processes = scan.ProcessesHolding(window.path.Get());
    const int length = processes == 0 ? LoadText(IDS_HOLDERS_NOBODY, text, StatusTextChars)
                                : FormatText(text, StatusTextChars, IDS_HOLDERS_HELD,
                                             static_cast<unsigned long>(processes), static_cast<unsigned long>(handles));
    int said = length;
    if (scan.NotExamined().Count() > 0)
        said = AppendSentence(text, StatusTextChars, said, IDS_HOLDERS_NOT_EXAMINED,
                              static_cast<unsigned long>(scan.NotExamined().Count()));
    if (scan.Counts().stuckNames > 0)
        AppendSentence(text, StatusTextChars, said, IDS_HOLDERS_STUCK, static_cast<unsigned long>(scan.Counts().stuckNames));
    SetStatus(window, text);
}

void TakeScan(HoldersState& window)
{
    NTSTATUS status = 0;
    window.scan = window.job.TakeScan(&status);
    if (status < 0)
        window.scan.Reset();
    window.source.scan = window.scan.Get();
    FillHolderRows(window.list, window.source, window.path.Get(), window.sort);
    FitHolderColumns(window.list, window.source);
    ShowOutcome(window, status);
}

BOOL OnInitDialog(HWND dialog)
{
    HoldersState& window = *Current;
    window.dialog = dialog;
    window.list = GetDlgItem(dialog, CTRL_HOLDERS_LIST);
    SetUpReportList(window.list, Columns, HolderColumnCount);
    window.layout.Record(dialog);
    CentreOnWindow(dialog, GetWindow(dialog, GW_OWNER));
    StartScan(window);
    SetFocus(window.list);
    return FALSE;  // the focus is set
}

bool CtrlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

LRESULT OnListNotify(HoldersState& window, const NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header));
        if (info->item.mask & LVIF_TEXT)
            HolderRowText(window.source, info->item.lParam, info->item.iSubItem, info->item.pszText,
                          info->item.cchTextMax);
        return 0;
    }
    case LVN_COLUMNCLICK:
        SortHolderRows(window.list, window.source, window.sort, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == 'C' && CtrlHeld())
            CopyHolderRows(window.list, window.source);
        return 0;
    default:
        return 0;
    }
}

INT_PTR CALLBACK HoldersDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        if (!Current)
            return FALSE;
        if (LOWORD(wParam) == CTRL_HOLDERS_REFRESH) {
            StartScan(*Current);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(dialog);  // its destruction stops the scan first
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!Current || header->idFrom != CTRL_HOLDERS_LIST)
            return FALSE;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, OnListNotify(*Current, header));
        return TRUE;
    }
    case ScanDoneMessage:
        if (Current)
            TakeScan(*Current);
        return TRUE;
    default:
        return Current.OnFrameMessage(dialog, message, wParam, lParam);
    }
}

}  // namespace

HWND ShowHoldersWindow(HWND owner, const wchar_t* path, const wchar_t* typeName)
{
    if (Current) {
        WideText newPath, newType;
        if (!newPath.Assign(path) || !newType.Assign(typeName))
            return nullptr;
        Current->path.Swap(newPath);
        Current->typeName.Swap(newType);
        StartScan(*Current);
        BringForward(Current->dialog);
        return Current->dialog;
    }
    return Current.Open(owner, DLG_HOLDERS, HoldersDialogProc, [path, typeName](HoldersState& window) {
        return window.path.Assign(path) && window.typeName.Assign(typeName);
    });
}

HWND HoldersWindowHandle()
{
    return Current.Window();
}

bool PreTranslateHoldersMessage(MSG* message)
{
    HWND dialog = HoldersWindowHandle();
    if (!dialog || (message->hwnd != dialog && !IsChild(dialog, message->hwnd)))
        return false;
    if (message->message == WM_KEYDOWN && message->wParam == VK_F5) {
        SendMessageW(dialog, WM_COMMAND, CTRL_HOLDERS_REFRESH, 0);
        return true;
    }
    return IsDialogMessageW(dialog, message) != FALSE;
}

void CloseHoldersWindow()
{
    Current.Destroy();
}
