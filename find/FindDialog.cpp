// The modeless find window: the query, the search on its worker, and the
// results, from which the user goes to an object, opens its properties or
// copies its path.
#include "FindDialog.h"

#include <commctrl.h>

#include <new>

#include "AnchoredLayout.h"
#include "AppGlobals.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "FindResults.h"
#include "HoldersWindow.h"
#include "ImageStrips.h"
#include "LoadedText.h"
#include "ModelessSlot.h"
#include "ObjectTypes.h"
#include "Owned.h"
#include "Pane.h"
#include "PropertySheet.h"
#include "ReportList.h"
#include "ResourceIds.h"
#include "SearchSubject.h"
#include "SortMarks.h"
#include "WideText.h"
#include "WindowCentre.h"

namespace {

const UINT SearchMessage = WM_APP + 1;
const wchar_t RootPath[] = L"\\";
const int MaxTypeNames = 512;
// The status line: a loaded format with its counts, or the location's failure words.
const int StatusTextChars = LoadedTextChars + OpenFailureTextChars;
const UINT_PTR ListSubclassId = 1;

// Column titles and their shares of the list's width.
const ReportColumn Columns[PlainColumnCount] = {
    {IDS_FIND_COLUMN_NAME, 28, LVCFMT_LEFT}, {IDS_FIND_COLUMN_PLACE, 34, LVCFMT_LEFT},
    {IDS_FIND_COLUMN_TYPE, 14, LVCFMT_LEFT}, {IDS_FIND_COLUMN_TARGET, 24, LVCFMT_LEFT}};
// Added after them while the search has a subject; fitted when it ends.
const UINT AccessColumnTitles[FoundColumnCount - PlainColumnCount] = {IDS_FIND_COLUMN_RIGHTS, IDS_FIND_COLUMN_REASON};
const int AccessColumnWidth = 100;

const AnchoredControl Anchors[] = {
    {CTRL_FIND_NAME, Stretch},      {CTRL_FIND_TYPE, Stretch},      {CTRL_FIND_LOCATION, Stretch},
    {CTRL_FIND_WRITABLE, Stretch},
    {CTRL_FIND_START, MoveRight},   {CTRL_FIND_STOP, MoveRight},    {IDCANCEL, MoveRight},
    {CTRL_FIND_RESULTS, Stretch | Grow}, {CTRL_FIND_STATUS, Stretch | MoveDown},
};

struct FindState {
    Pane* pane = nullptr;  // the main window's, which outlives this window
    HWND dialog = nullptr;
    HWND list = nullptr;
    // Declared before the search: its worker reads it until the search stops.
    OwnedObject<AccessSubject> subject;
    NamespaceSearch search;
    TextPool shownTexts;  // the last search's, while its rows are still shown
    FoundList rows;  // declared after the search and the texts: let go of before them
    ColumnSort sort;
    bool searching = false;
    // The rows are the last search's: this one's first notice replaces them,
    // so that a search again draws the list once, not empty first.
    bool rowsBefore = false;
    long lost = 0;  // results of the current search no row could be made for
    AnchoredLayout layout{Anchors, sizeof(Anchors) / sizeof(Anchors[0])};

    void Close();
};

// The open window's state; none while no window is open.
ModelessSlot<FindState> Current;

// Remembered while the program runs, never written anywhere.
WideText LastText;
WideText LastType;
WideText LastSubject;

// The names of \ObjectTypes, copied as the walk hands them over.
class TypeNameSink final : public NamespaceSink {
public:
    DirectoryNode InsertDirectoryNode(DirectoryNode, const wchar_t*) override { return nullptr; }
    void AddListEntry(int, const wchar_t*, const wchar_t* name) override
    {
        if (count < MaxTypeNames) {
            names[count].Reset(CopyText(name));
            count += names[count] ? 1 : 0;
        }
    }
    HeapBlock<wchar_t> names[MaxTypeNames];
    int count = 0;
};

// Adds the names to the combo in the list's name order; the array is sorted in place.
void AddSortedNames(HWND combo, const wchar_t** names, int count)
{
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && lstrcmpiW(names[j - 1], names[j]) > 0; --j) {
            const wchar_t* swapped = names[j];
            names[j] = names[j - 1];
            names[j - 1] = swapped;
        }
    for (int i = 0; i < count; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
}

// The system's types; where \ObjectTypes cannot be read, the ones Kagero knows.
void FillTypeList(HWND combo)
{
    wchar_t allTypes[LoadedTextChars];
    LoadText(IDS_FIND_ALL_TYPES, allTypes, LoadedTextChars);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(allTypes));
    const wchar_t* names[MaxTypeNames];
    int count = 0;
    TypeNameSink sink;
    if (ListDirectoryEntries(L"\\ObjectTypes", sink) == 0 && sink.count > 0) {
        for (; count < sink.count; ++count)
            names[count] = sink.names[count].Get();
    } else {
        for (; count < ObjectTypeTableSize; ++count)
            names[count] = ObjectTypeTable[count].typeName;
    }
    AddSortedNames(combo, names, count);
    int selected = 0;
    if (!LastType.Empty()) {
        const LRESULT found = SendMessageW(combo, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(LastType.Get()));
        selected = found == CB_ERR ? 0 : static_cast<int>(found);
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// A control's whole text, however long.
bool ReadControlText(HWND control, WideText* text)
{
    const int length = GetWindowTextLengthW(control);
    wchar_t* characters = text->Allocate(static_cast<size_t>(length));
    if (!characters)
        return false;
    GetWindowTextW(control, characters, length + 1);
    return true;
}

// The chosen type; empty for every type.
bool ReadChosenType(HWND combo, WideText* type)
{
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index <= 0)
        return type->Assign(L"");
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    wchar_t* characters = length >= 0 ? type->Allocate(static_cast<size_t>(length)) : nullptr;
    if (!characters)
        return false;
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(characters));
    return true;
}

// The list's choices; the last subject as it was chosen or typed.
void FillSubjectList(HWND combo)
{
    for (int choice = 0; choice < SubjectChoiceCount; ++choice) {
        wchar_t text[LoadedTextChars];
        LoadText(IDS_FIND_SUBJECT_FIRST + choice, text, LoadedTextChars);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    if (LastSubject.Empty())
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
    else
        SetWindowTextW(combo, LastSubject.Get());
}

// The choice the text names: one of the list's, else a typed account; none when empty.
SubjectChoice ChosenSubject(HWND combo, const WideText& text)
{
    if (text.Empty())
        return SubjectChoice::None;
    const LRESULT found = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.Get()));
    wchar_t item[LoadedTextChars] = {};
    // The list's search ignores case: only the choice's own text picks it.
    if (found >= 0 && found < SubjectChoiceCount &&
        SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(found), 0) < LoadedTextChars &&
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(found), reinterpret_cast<LPARAM>(item)) >= 0 &&
        lstrcmpW(item, text.Get()) == 0)
        return static_cast<SubjectChoice>(found);
    return SubjectChoice::Typed;
}

void SetStatus(const FindState& window, const wchar_t* text)
{
    SetDlgItemTextW(window.dialog, CTRL_FIND_STATUS, text);
}

void ShowProgress(const FindState& window, const SearchProgress& progress)
{
    wchar_t text[StatusTextChars];
    FormatText(text, StatusTextChars, IDS_FIND_PROGRESS, progress.directoriesDone, progress.objectsFound);
    SetStatus(window, text);
}

void ShowOutcome(const FindState& window, const SearchProgress& progress)
{
    wchar_t text[StatusTextChars];
    if (progress.startStatus < 0) {
        // Nothing was searched: the failure is the location's, not a count.
        wchar_t words[OpenFailureTextChars];
        OpenFailureText(progress.startStatus, words);
        FormatText(text, StatusTextChars, IDS_FIND_NO_LOCATION, words);
        SetStatus(window, text);
        return;
    }
    int length = progress.stopped ? LoadText(IDS_FIND_STOPPED, text, StatusTextChars) : 0;
    length += FormatText(text + length, StatusTextChars - length, IDS_FIND_FOUND, static_cast<long>(window.rows.Count()));
    if (progress.directoriesFailed > 0)
        length = AppendSentence(text, StatusTextChars, length, IDS_FIND_DIRECTORIES_FAILED, progress.directoriesFailed);
    if (progress.securityUnread > 0)
        length = AppendSentence(text, StatusTextChars, length, IDS_FIND_SECURITY_UNREAD, progress.securityUnread);
    const long lost = progress.resultsLost + window.lost;
    if (lost > 0)
        AppendSentence(text, StatusTextChars, length, IDS_FIND_RESULTS_LOST, lost);
    SetStatus(window, text);
}

// Stop is enabled only while searching; the focus never stays on a disabled button.
void SetSearching(FindState& window, bool searching)
{
    window.searching = searching;
    HWND stop = GetDlgItem(window.dialog, CTRL_FIND_STOP);
    if (!searching && GetFocus() == stop)
        SendMessageW(window.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window.dialog, CTRL_FIND_START)),
                     TRUE);
    EnableWindow(stop, searching ? TRUE : FALSE);
}

void ClearResults(FindState& window)
{
    window.rows.Clear();
    window.shownTexts.Empty();
    window.rowsBefore = false;
    window.lost = 0;
}

void FindState::Close()
{
    search.Stop();  // nothing is posted to this window from here on
    ClearResults(*this);
}

// The rights and reason columns after the others while there is a subject;
// a sort by one of them goes with them.
void ShowAccessColumns(FindState& window, bool shown)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(window.list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    if (count != (shown ? PlainColumnCount : FoundColumnCount))
        return;  // already as asked
    const UndrawnChange change(window.list, RDW_ERASE | RDW_ALLCHILDREN);  // the header too
    if (shown) {
        for (int column = PlainColumnCount; column < FoundColumnCount; ++column) {
            wchar_t title[LoadedTextChars];
            LoadText(AccessColumnTitles[column - PlainColumnCount], title, LoadedTextChars);
            LVCOLUMNW item = {};
            item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
            item.fmt = LVCFMT_LEFT;
            item.pszText = title;
            item.cx = AccessColumnWidth;
            item.iSubItem = column;
            SendMessageW(window.list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        }
    } else {
        for (int column = FoundColumnCount - 1; column >= PlainColumnCount; --column)
            SendMessageW(window.list, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0);
        if (window.sort.column >= PlainColumnCount)
            window.sort = ColumnSort();
    }
}

int ShownColumns(const FindState& window) { return window.subject.Get() ? FoundColumnCount : PlainColumnCount; }

// The subject the field names, made anew for each search; false, with the
// status line saying why, when there is none to search with.
bool TakeSubject(FindState& window, const WideText& text)
{
    const SubjectChoice choice = ChosenSubject(GetDlgItem(window.dialog, CTRL_FIND_WRITABLE), text);
    window.subject.Reset();
    if (choice == SubjectChoice::None)
        return true;
    OwnedObject<AccessSubject> subject(new (std::nothrow) AccessSubject);
    AccountProblem problem = AccountProblem::None;
    const DWORD error = subject ? BuildSearchSubject(choice, text.Get(), subject.Get(), &problem) : ERROR_NOT_ENOUGH_MEMORY;
    if (error == 0) {
        window.subject.Reset(subject.Release());
        return true;
    }
    wchar_t status[StatusTextChars];
    if (problem != AccountProblem::None)
        FormatText(status, StatusTextChars, IDS_FIND_NO_ACCOUNT, text.Get());
    else
        FormatText(status, StatusTextChars, IDS_FIND_START_FAILED, error);
    SetStatus(window, status);
    return false;
}

void StartSearch(FindState& window)
{
    WideText text, type, start, subject;
    HWND dialog = window.dialog;
    if (!ReadControlText(GetDlgItem(dialog, CTRL_FIND_NAME), &text) ||
        !ReadChosenType(GetDlgItem(dialog, CTRL_FIND_TYPE), &type) ||
        !ReadControlText(GetDlgItem(dialog, CTRL_FIND_LOCATION), &start) ||
        !ReadControlText(GetDlgItem(dialog, CTRL_FIND_WRITABLE), &subject))
        return;
    LastText.Assign(text.Get(), text.Length());
    LastType.Assign(type.Get(), type.Length());
    LastSubject.Assign(subject.Get(), subject.Length());
    window.search.Stop();  // before its subject goes
    SetSearching(window, false);
    window.lost = 0;
    const bool subjectTaken = TakeSubject(window, subject);
    ShowAccessColumns(window, window.subject.Get() != nullptr);
    if (!subjectTaken) {
        ClearResults(window);
        return;  // nothing is searched for a subject that is not there
    }
    const SearchQuery query = {text.Get(), type.Get(), start.Empty() ? RootPath : start.Get(), window.subject.Get()};
    // Rows still of the search before the last keep their texts; the last one's were never shown.
    const DWORD error = window.search.Start(query, dialog, SearchMessage, window.rowsBefore ? nullptr : &window.shownTexts);
    window.rowsBefore = true;
    if (error != 0) {
        ClearResults(window);
        wchar_t status[StatusTextChars];
        FormatText(status, StatusTextChars, IDS_FIND_START_FAILED, error);
        SetStatus(window, status);
        return;
    }
    SetSearching(window, true);
    ShowProgress(window, SearchProgress{});
}

// The worker's notice: rows and counts wait to be taken.
void TakeResults(FindState& window)
{
    if (!window.searching)
        return;  // posted before a Stop; nothing is owed to it
    SearchProgress progress = {};
    SearchBatch* batch = window.search.TakeResults(&progress);
    const SearchBatch none = {nullptr, 0};
    const SearchBatch& taken = batch ? *batch : none;
    if (window.rowsBefore) {
        window.lost += static_cast<long>(taken.count - window.rows.Replace(taken));
        window.shownTexts.Empty();
        window.rowsBefore = false;
    } else if (batch) {
        window.lost += static_cast<long>(taken.count - window.rows.Add(taken));
    }
    FreeSearchBatch(batch);
    if (!progress.finished) {
        ShowProgress(window, progress);
        return;
    }
    // Sorted once at the end: rows come in the order found while it runs.
    window.rows.Resort(window.sort);
    FitReportColumns(window.list, window.rows.Widths(), ShownColumns(window));
    SetSearching(window, false);
    ShowOutcome(window, progress);
}

// A search that had already ended keeps its last rows and says so; one
// stopped midway says that it was stopped.
void StopSearch(FindState& window)
{
    if (!window.searching)
        return;
    window.search.Stop();
    TakeResults(window);
}

void GoToResult(const FindState& window)
{
    const FoundRow* row = window.rows.Focused();
    WideText path;
    if (row && FoundRowPath(row, &path))
        window.pane->GoToPath(GetWindow(window.dialog, GW_OWNER), path.Get());
}

// The same sheet as the window's Properties, for the object as found.
void OpenResultProperties(const FindState& window)
{
    const FoundRow* row = window.rows.Focused();
    if (!row)
        return;
    EntryRecord* record = MakeEntryRecord(-1, row->texts[ColumnType], row->texts[ColumnName]);
    if (!record)
        return;
    ShowPropertySheet(window.dialog, row->texts[ColumnDirectory], record);
    FreeEntryRecord(record);
}

// The holders window, owned by the main window as from its own command, for
// the object as found.
void OpenResultHolders(const FindState& window)
{
    const FoundRow* row = window.rows.Focused();
    WideText path;
    if (row && FoundRowPath(row, &path))
        ShowHoldersWindow(GetWindow(window.dialog, GW_OWNER), path.Get(), row->texts[ColumnType]);
}

// Enter on a result goes to it instead of starting a search again; Alt+Enter
// opens its sheet.
LRESULT CALLBACK ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_GETDLGCODE: {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = DefSubclassProc(list, message, wParam, lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN && Current && Current->rows.Focused())
            return code | DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_RETURN && Current) {
            OpenResultProperties(*Current);
            return 0;
        }
        break;
    case WM_SYSCHAR:
        if (wParam == L'\r')
            return 0;  // handled as Alt+Enter above: no beep
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ResultListProc, ListSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

// The list of results: the window's type images, the main list's sort marks.
void SetUpList(FindState& window, HWND list)
{
    window.rows.Attach(list);
    SetUpReportList(list, Columns, PlainColumnCount);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(LoadTypeImages(AppInstance)));
    SetWindowSubclass(list, ResultListProc, ListSubclassId, 0);
}

BOOL OnInitDialog(HWND dialog)
{
    FindState& window = *Current;
    window.dialog = dialog;
    window.list = GetDlgItem(dialog, CTRL_FIND_RESULTS);
    SetUpList(window, window.list);
    window.layout.Record(dialog);
    FillTypeList(GetDlgItem(dialog, CTRL_FIND_TYPE));
    FillSubjectList(GetDlgItem(dialog, CTRL_FIND_WRITABLE));
    SetDlgItemTextW(dialog, CTRL_FIND_NAME, LastText.Get());
    WideText location;
    SetDlgItemTextW(dialog, CTRL_FIND_LOCATION, window.pane->SelectedDirectory(&location) ? location.Get() : RootPath);
    CentreOnWindow(dialog, GetWindow(dialog, GW_OWNER));
    HWND name = GetDlgItem(dialog, CTRL_FIND_NAME);
    SetFocus(name);
    SendMessageW(name, EM_SETSEL, 0, -1);
    return FALSE;  // the focus is set
}

BOOL OnCommand(FindState& window, WORD id)
{
    switch (id) {
    case CTRL_FIND_START:
    case IDOK:
        StartSearch(window);
        return TRUE;
    case CTRL_FIND_STOP:
        StopSearch(window);
        return TRUE;
    case IDCANCEL:
        DestroyWindow(window.dialog);  // its destruction stops the search first
        return TRUE;
    default:
        return FALSE;
    }
}

bool CtrlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

LRESULT OnListNotify(FindState& window, const NMHDR* header)
{
    switch (header->code) {
    case NM_RETURN:
    case NM_DBLCLK:
        GoToResult(window);
        return 0;
    case LVN_COLUMNCLICK:
        window.rows.SortBy(window.sort, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem, ShownColumns(window));
        return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == 'C' && CtrlHeld() &&
            SendMessageW(window.list, LVM_GETSELECTEDCOUNT, 0, 0) > 0)
            window.rows.CopyPaths();
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == 'H' && CtrlHeld())
            OpenResultHolders(window);
        return 0;
    default:
        return 0;
    }
}

// The list may still ask while the dialog is being destroyed, when Current is already gone.
INT_PTR OnNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != CTRL_FIND_RESULTS || !Current)
        return FALSE;
    LRESULT result = 0;
    if (!Current->rows.OnNotify(header, &result))
        result = OnListNotify(*Current, header);
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK FindDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return Current ? OnCommand(*Current, LOWORD(wParam)) : FALSE;
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case SearchMessage:
        if (Current)
            TakeResults(*Current);
        return TRUE;
    default:
        return Current.OnFrameMessage(dialog, message, wParam, lParam);
    }
}

}  // namespace

HWND ShowFindDialog(HWND owner, Pane* pane)
{
    if (!pane)
        return nullptr;
    if (Current) {
        BringForward(Current->dialog);
        return Current->dialog;
    }
    return Current.Open(owner, DLG_FIND, FindDialogProc, [pane](FindState& window) {
        window.pane = pane;
        return true;
    });
}

HWND FindDialogWindow()
{
    return Current.Window();
}

void CloseFindDialog()
{
    Current.Destroy();
}
