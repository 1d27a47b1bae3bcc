// Going to a path in the pane: the tree's nodes lead down to the directory,
// the list's rows name the object in it.
#include "GoToPath.h"

#include <commctrl.h>

#include <algorithm>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "DirectoryTree.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "GrowingArray.h"
#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectList.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "PropertySheet.h"
#include "ResourceIds.h"
#include "WideText.h"

namespace {

enum class Shown { Nothing, Directory, Object };

// A path cut into its components, each terminated, one after the other.
struct PathParts {
    WideText text;
    int count = 0;
    bool directory = false;  // the root, or a name followed by "\"
    NTSTATUS opened = 0;     // a name followed by "\": the open of the path as a directory
};

// A path without the leading "\", or with an empty component ("\\",
// "\A\\B"), gets the kernel's answer for such a name.
NTSTATUS SplitPath(const wchar_t* path, PathParts* parts)
{
    if (!path || path[0] != L'\\')
        return STATUS_OBJECT_PATH_SYNTAX_BAD_NT;
    size_t length = static_cast<size_t>(lstrlenW(path + 1));
    parts->directory = length == 0 || path[length] == L'\\';
    if (length > 0 && path[length] == L'\\') {
        --length;  // "\Device\" is the directory \Device; "\\" names nothing
        if (length == 0)
            return STATUS_OBJECT_NAME_INVALID_NT;
    }
    wchar_t* text = parts->text.Allocate(length);
    if (!text)
        return STATUS_NO_MEMORY_NT;
    CopyMemory(text, path + 1, length * sizeof(wchar_t));
    parts->count = length ? 1 : 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != L'\\')
            continue;
        text[i] = L'\0';
        ++parts->count;
    }
    // Every component has a name: no separator at either end or twice in a row.
    const wchar_t* part = text;
    for (int i = 0; i < parts->count; part += lstrlenW(part) + 1, ++i)
        if (!*part)
            return STATUS_OBJECT_NAME_INVALID_NT;
    return 0;
}

// The child of parent called name, as the kernel opens a path (ChildPick; exactOnly: the exact name alone).
HTREEITEM ChildNode(HWND tree, HTREEITEM parent, const wchar_t* name, bool exactOnly)
{
    HTREEITEM found = nullptr;
    ChildPick pick(name, exactOnly);
    for (HTREEITEM child = NextTreeNode(tree, TVGN_CHILD, parent); child && !pick.Exact();
         child = NextTreeNode(tree, TVGN_NEXT, child)) {
        const wchar_t* path = TreeNodePath(tree, child);
        if (path && pick.Offer(LastPathComponent(path)))
            found = child;
    }
    return found;
}

const EntryRecord* RowRecord(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<const EntryRecord*>(item.lParam);
}

// The row of the entry called name, matched as ChildNode does; -1 when none.
int FindRow(HWND list, const wchar_t* name)
{
    int found = -1;
    ChildPick pick(name);
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows && !pick.Exact(); ++row) {
        const EntryRecord* record = RowRecord(list, row);
        if (record && record->name && pick.Offer(record->name))
            found = row;
    }
    return found;
}

void SetRowState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ShowRow(HWND list, int row)
{
    const UINT marks = LVIS_SELECTED | LVIS_FOCUSED;
    SetRowState(list, -1, 0, marks);
    SetRowState(list, row, marks, marks);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, row);
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

// The node after node in a walk of the whole tree, depth first; null after the last.
HTREEITEM NextInWalk(HWND tree, HTREEITEM node)
{
    if (HTREEITEM child = NextTreeNode(tree, TVGN_CHILD, node))
        return child;
    for (; node; node = NextTreeNode(tree, TVGN_PARENT, node))
        if (HTREEITEM next = NextTreeNode(tree, TVGN_NEXT, node))
            return next;
    return nullptr;
}

bool IsExpanded(HWND tree, HTREEITEM node)
{
    return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool AppendText(GrowingArray<wchar_t>* texts, const wchar_t* text)
{
    return texts->Append(text, static_cast<size_t>(lstrlenW(text)) + 1);
}

const wchar_t* RowName(HWND list, int row)
{
    const EntryRecord* record = RowRecord(list, row);
    return record && record->name ? record->name : L"";
}

// What the pane shows, kept by path and name so that it outlives a Refresh,
// which rebuilds the tree with the root alone open.
class PaneView {
public:
    void Take(HWND tree, HWND list)
    {
        const wchar_t* caret = TreeNodePath(tree, NextTreeNode(tree, TVGN_CARET, nullptr));
        const wchar_t* first = TreeNodePath(tree, NextTreeNode(tree, TVGN_FIRSTVISIBLE, nullptr));
        whole_ = caret && caret_.Assign(caret) && firstVisible_.Assign(first ? first : L"");
        for (HTREEITEM node = NextTreeNode(tree, TVGN_ROOT, nullptr); node && whole_; node = NextInWalk(tree, node))
            if (IsExpanded(tree, node) && TreeNodePath(tree, node))
                whole_ = AppendText(&expanded_, TreeNodePath(tree, node));
        for (int row = -1; whole_ && (row = NextRow(list, row, LVNI_SELECTED)) >= 0;)
            whole_ = order_.Push(selected_.Count()) && AppendText(&selected_, RowName(list, row));
        const int focused = NextRow(list, -1, LVNI_FOCUSED);
        whole_ = whole_ && focused_.Assign(focused >= 0 ? RowName(list, focused) : L"");
        top_ = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        const wchar_t* names = selected_.Data();
        std::sort(order_.Data(), order_.Data() + order_.Count(),
                  [names](size_t a, size_t b) { return wcscmp(names + a, names + b) < 0; });
    }

    // Expands and collapses the nodes as they were, selects the directory
    // again and then its rows, and scrolls both back; nothing when memory
    // ran out while taking it.
    void Restore(HWND tree, HWND list) const
    {
        if (!whole_)
            return;
        HTREEITEM caret = nullptr, first = nullptr;
        for (HTREEITEM node = NextTreeNode(tree, TVGN_ROOT, nullptr); node; node = NextInWalk(tree, node)) {
            const wchar_t* path = TreeNodePath(tree, node);
            if (!path)
                continue;
            if (IsExpanded(tree, node) != WasExpanded(path))
                SendMessageW(tree, TVM_EXPAND, IsExpanded(tree, node) ? TVE_COLLAPSE : TVE_EXPAND,
                             reinterpret_cast<LPARAM>(node));
            caret = !caret && wcscmp(path, caret_.Get()) == 0 ? node : caret;
            first = !first && wcscmp(path, firstVisible_.Get()) == 0 ? node : first;
        }
        // A directory gone meanwhile leaves the root, as a Refresh does.
        HTREEITEM shown = caret ? caret : NextTreeNode(tree, TVGN_ROOT, nullptr);
        if (shown && NextTreeNode(tree, TVGN_CARET, nullptr) != shown)
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(shown));
        if (first)
            SendMessageW(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(first));
        if (!caret)
            return;
        const UINT marks = LVIS_SELECTED | LVIS_FOCUSED;
        SetRowState(list, -1, 0, marks);
        const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            const wchar_t* name = RowName(list, row);
            const bool focused = !focused_.Empty() && wcscmp(name, focused_.Get()) == 0;
            const UINT state = (WasSelected(name) ? LVIS_SELECTED : 0) | (focused ? LVIS_FOCUSED : 0);
            if (state)
                SetRowState(list, row, state, marks);
            if (state & LVIS_FOCUSED)
                SendMessageW(list, LVM_SETSELECTIONMARK, 0, row);
        }
        RECT bounds = {};
        bounds.left = LVIR_BOUNDS;
        const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        if (SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)))
            SendMessageW(list, LVM_SCROLL, 0, (top_ - top) * (bounds.bottom - bounds.top));
    }

private:
    static int NextRow(HWND list, int row, UINT flags)
    {
        return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), flags));
    }
    bool WasExpanded(const wchar_t* path) const
    {
        const wchar_t* end = expanded_.Data() + expanded_.Count();
        for (const wchar_t* at = expanded_.Data(); at && at < end; at += lstrlenW(at) + 1)
            if (wcscmp(at, path) == 0)
                return true;
        return false;
    }
    bool WasSelected(const wchar_t* name) const
    {
        const wchar_t* names = selected_.Data();
        const size_t* end = order_.Data() + order_.Count();
        const size_t* at = std::lower_bound(order_.Data(), end, name,
                                            [names](size_t a, const wchar_t* b) { return wcscmp(names + a, b) < 0; });
        return at != end && wcscmp(names + *at, name) == 0;
    }

    WideText caret_, firstVisible_, focused_;
    GrowingArray<wchar_t> expanded_;  // the open nodes' paths, each terminated
    GrowingArray<wchar_t> selected_;  // the selected rows' names, each terminated
    GrowingArray<size_t> order_;      // where each name starts in selected_, in name order
    int top_ = 0;
    bool whole_ = false;
};

// Selects node, its ancestors expanded. With refill, a node that is already
// selected is selected again, so that its list is filled afresh.
void SelectNode(HWND tree, HTREEITEM node, bool refill)
{
    for (HTREEITEM up = NextTreeNode(tree, TVGN_PARENT, node); up; up = NextTreeNode(tree, TVGN_PARENT, up))
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(up));
    if (refill && NextTreeNode(tree, TVGN_CARET, nullptr) == node)
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, 0);
    // Selecting fills the object list (TVN_SELCHANGINGW).
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node));
}

// Why a directory is missing below the node at path: the node cannot be
// listed, or there is no such directory. A node's path of the longest length
// a node keeps may have been cut, and is never opened.
NTSTATUS MissingBelow(const wchar_t* path)
{
    if (!path || lstrlenW(path) >= TreePathChars - 1)
        return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    DirectoryHandle directory;
    const NTSTATUS status = OpenDirectory(path, directory.Receive());
    return status < 0 ? status : STATUS_OBJECT_NAME_NOT_FOUND_NT;
}

// The last component of a path, in the directory of node: a directory of
// that exact name needs no listing; else the directory's rows say what the
// name is. *node becomes the directory to select, or the row is shown.
NTSTATUS GoToLeaf(HTREEITEM* node, const wchar_t* name, const PathParts& parts, bool refreshed, Shown* shown,
                  bool* stale)
{
    HWND tree = ActiveControlSite->TreeWindow();
    HWND list = ActiveControlSite->ListWindow();
    if (HTREEITEM child = ChildNode(tree, *node, name, true)) {
        *node = child;
        return 0;
    }
    SelectNode(tree, *node, true);
    if (NextTreeNode(tree, TVGN_CARET, nullptr) != *node)
        return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    if (ListFillStatus < 0)
        return ListFillStatus;
    const int row = FindRow(list, name);
    if (row < 0)
        return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    const EntryRecord* record = RowRecord(list, row);
    if (record->typeCode == TypeDirectory) {
        if (HTREEITEM child = ChildNode(tree, *node, record->name, true)) {
            *node = child;
            return 0;
        }
        // New since the tree was built: a Refresh shows it as a directory;
        // after one, its row has to do.
        *stale = !refreshed;
        if (*stale)
            return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    }
    // "\Link\" whose way is refused: what it leads to cannot be seen.
    if (record->typeCode == TypeSymbolicLink && parts.opened == STATUS_ACCESS_DENIED)
        return STATUS_ACCESS_DENIED;
    ShowRow(list, row);
    *shown = Shown::Object;
    return 0;
}

// One attempt on the tree as it stands. *stale is set when a directory on
// the way is not in the tree, so that a Refresh may find it; refreshed says
// that one already ran.
NTSTATUS TryGoTo(const PathParts& parts, bool refreshed, Shown* shown, bool* stale)
{
    HWND tree = ActiveControlSite->TreeWindow();
    HTREEITEM node = NextTreeNode(tree, TVGN_ROOT, nullptr);
    *stale = !node;
    if (!node)
        return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    const wchar_t* part = parts.text.Get();
    for (int i = 0; i < parts.count - 1; part += lstrlenW(part) + 1, ++i) {
        HTREEITEM child = ChildNode(tree, node, part, false);
        if (!child) {
            *stale = true;
            return MissingBelow(TreeNodePath(tree, node));
        }
        node = child;
    }
    if (parts.count > 0) {
        const NTSTATUS status = GoToLeaf(&node, part, parts, refreshed, shown, stale);
        if (status < 0 || *shown == Shown::Object)
            return status;
    }
    // Shown afresh, so that a directory gone since the tree was built is
    // found out, and another Refresh drops its node.
    SelectNode(tree, node, true);
    if (ListFillStatus == STATUS_OBJECT_NAME_NOT_FOUND_NT || ListFillStatus == STATUS_OBJECT_PATH_NOT_FOUND_NT) {
        *stale = true;
        return STATUS_OBJECT_NAME_NOT_FOUND_NT;
    }
    *shown = Shown::Directory;
    return 0;
}

// The directory path leads to, named as the kernel names it: a link's
// directory is gone to by its own path. path ends with its "\".
NTSTATUS KernelDirectoryName(const wchar_t* path, WideText* name)
{
    WideText trimmed;
    DirectoryHandle directory;
    if (!trimmed.Assign(path, static_cast<size_t>(lstrlenW(path)) - 1))
        return STATUS_NO_MEMORY_NT;
    NTSTATUS status = OpenDirectory(trimmed.Get(), directory.Receive());
    GrowingArray<BYTE> buffer;
    const wchar_t* text = nullptr;
    size_t length = 0;
    if (status >= 0)
        status = QueryObjectName(directory.Get(), &buffer, &text, &length);
    if (status >= 0 && (length == 0 || !name->Assign(text, length)))
        status = length ? STATUS_NO_MEMORY_NT : STATUS_OBJECT_NAME_NOT_FOUND_NT;
    return status;
}

NTSTATUS GoTo(const wchar_t* path, Shown* shown)
{
    *shown = Shown::Nothing;
    if (!ActiveControlSite)
        return STATUS_UNSUCCESSFUL_NT;
    PathParts parts;
    NTSTATUS status = SplitPath(path, &parts);
    if (status < 0)
        return status;
    WideText resolved;
    if (parts.directory && parts.count > 0) {
        parts.opened = KernelDirectoryName(path, &resolved);
        if (parts.opened >= 0 && (status = SplitPath(resolved.Get(), &parts)) < 0)
            return status;
    }
    HWND tree = ActiveControlSite->TreeWindow();
    HWND list = ActiveControlSite->ListWindow();
    PaneView before;
    before.Take(tree, list);
    bool stale = false;
    status = TryGoTo(parts, false, shown, &stale);
    if (status < 0 && stale) {
        // The pane's own Refresh, as F5 gives it.
        SendMessageW(GetParent(ActiveControlSite->PaneWindow()), WM_COMMAND, CMD_REFRESH, 0);
        status = TryGoTo(parts, true, shown, &stale);
    }
    // A failed go-to leaves the pane as it was, a Refresh on the way or not.
    if (status < 0)
        before.Restore(tree, list);
    return status;
}

}  // namespace

NTSTATUS GoToObjectPath(const wchar_t* path)
{
    Shown shown;
    return GoTo(path, &shown);
}

void ShowPathFailure(HWND owner, const wchar_t* path, const wchar_t* words)
{
    const size_t pathLength = static_cast<size_t>(lstrlenW(path)), wordsLength = static_cast<size_t>(lstrlenW(words));
    WideText text;
    wchar_t* buffer = text.Allocate(pathLength + 1 + wordsLength);
    if (buffer) {
        CopyMemory(buffer, path, pathLength * sizeof(wchar_t));
        buffer[pathLength] = L'\n';
        CopyMemory(buffer + pathLength + 1, words, wordsLength * sizeof(wchar_t));
    }
    ShowOpenFailure(owner, buffer ? text.Get() : words);
}

bool GoToObjectPathOrSay(HWND owner, const wchar_t* path, bool namePath)
{
    Shown shown;
    const NTSTATUS status = GoTo(path, &shown);
    if (status < 0) {
        wchar_t text[OpenFailureTextChars];
        OpenFailureText(status, text);
        if (namePath)
            ShowPathFailure(owner, path, text);
        else
            ShowOpenFailure(owner, text);
        return false;
    }
    if (MainWindowHandle)
        SetForegroundWindow(MainWindowHandle);
    SetFocus(shown == Shown::Object ? ActiveControlSite->ListWindow() : ActiveControlSite->TreeWindow());
    return true;
}
