// Going to a path in the pane: the tree's nodes lead down to the directory,
// the list's rows name the object in it.
#include "GoToPath.h"

#include <commctrl.h>

#include "AppGlobals.h"
#include "ControlSite.h"
#include "DirectoryTree.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "NativeApi.h"
#include "ObjectList.h"
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

// The child of parent called name: the exact name first, else (unless
// exactOnly) the first without regard to case, as the kernel opens a path.
HTREEITEM ChildNode(HWND tree, HTREEITEM parent, const wchar_t* name, bool exactOnly)
{
    HTREEITEM caseless = nullptr;
    for (HTREEITEM child = NextTreeNode(tree, TVGN_CHILD, parent); child; child = NextTreeNode(tree, TVGN_NEXT, child)) {
        const wchar_t* path = TreeNodePath(tree, child);
        if (!path)
            continue;
        const wchar_t* label = LastPathComponent(path);
        if (wcscmp(label, name) == 0)
            return child;
        if (!caseless && !exactOnly && lstrcmpiW(label, name) == 0)
            caseless = child;
    }
    return caseless;
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
    int caseless = -1;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const EntryRecord* record = RowRecord(list, row);
        if (!record || !record->name)
            continue;
        if (wcscmp(record->name, name) == 0)
            return row;
        if (caseless < 0 && lstrcmpiW(record->name, name) == 0)
            caseless = row;
    }
    return caseless;
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
NTSTATUS GoToLeaf(HTREEITEM* node, const wchar_t* name, bool refreshed, Shown* shown, bool* stale)
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
    const int directories = parts.directory ? parts.count : parts.count - 1;
    const wchar_t* part = parts.text.Get();
    for (int i = 0; i < directories; part += lstrlenW(part) + 1, ++i) {
        HTREEITEM child = ChildNode(tree, node, part, false);
        if (!child) {
            *stale = true;
            return MissingBelow(TreeNodePath(tree, node));
        }
        node = child;
    }
    if (!parts.directory) {
        const NTSTATUS status = GoToLeaf(&node, part, refreshed, shown, stale);
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

NTSTATUS GoTo(const wchar_t* path, Shown* shown)
{
    *shown = Shown::Nothing;
    if (!ActiveControlSite)
        return STATUS_UNSUCCESSFUL_NT;
    PathParts parts;
    const NTSTATUS parsed = SplitPath(path, &parts);
    if (parsed < 0)
        return parsed;
    HWND tree = ActiveControlSite->TreeWindow();
    HTREEITEM before = NextTreeNode(tree, TVGN_CARET, nullptr);
    bool stale = false;
    NTSTATUS status = TryGoTo(parts, false, shown, &stale);
    if (status < 0 && stale) {
        // The pane's own Refresh, as F5 gives it; the root it selects is
        // then what a failure leaves.
        SendMessageW(GetParent(ActiveControlSite->PaneWindow()), WM_COMMAND, CMD_REFRESH, 0);
        before = NextTreeNode(tree, TVGN_CARET, nullptr);
        status = TryGoTo(parts, true, shown, &stale);
    }
    // A failed go-to leaves the pane as it was.
    if (status < 0 && before && NextTreeNode(tree, TVGN_CARET, nullptr) != before)
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(before));
    return status;
}

}  // namespace

NTSTATUS GoToObjectPath(const wchar_t* path)
{
    Shown shown;
    return GoTo(path, &shown);
}

bool GoToObjectPathOrSay(HWND owner, const wchar_t* path)
{
    Shown shown;
    const NTSTATUS status = GoTo(path, &shown);
    if (status < 0) {
        wchar_t text[OpenFailureTextChars];
        OpenFailureText(status, text);
        ShowOpenFailure(owner, text);
        return false;
    }
    if (MainWindowHandle)
        SetForegroundWindow(MainWindowHandle);
    SetFocus(shown == Shown::Object ? ActiveControlSite->ListWindow() : ActiveControlSite->TreeWindow());
    return true;
}
