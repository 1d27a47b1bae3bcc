// Which object the Properties command means, from the pane's tree and list;
// the holders' command means the same one.
#include <windows.h>
#include <commctrl.h>

#include "ControlSite.h"
#include "DirectoryTree.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "NativeApi.h"
#include "Owned.h"
#include "PropertySheet.h"

namespace {

const int NodeTextChars = 1024;

using OwnedRecord = Owned<EntryRecord*, FreeEntryRecord>;

// The object a command acts on: a directory and the record of the entry in
// it, or the directory alone for the root.
struct SelectionTarget {
    const wchar_t* directory = nullptr;
    const EntryRecord* record = nullptr;
    OwnedRecord lookedUp;  // the tree node's record, looked up in its parent
};

// The directory of the tree's caret node, looked up in its parent.
bool ResolveTreeSelection(HWND owner, HWND tree, HTREEITEM caret, SelectionTarget* target)
{
    wchar_t label[NodeTextChars] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = caret;
    query.pszText = label;
    query.cchTextMax = NodeTextChars;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    if (lstrcmpW(label, L"\\") == 0) {
        target->directory = L"\\";
        return true;
    }
    const wchar_t* parentPath = TreeNodePath(tree, NextTreeNode(tree, TVGN_PARENT, caret));
    NTSTATUS status = parentPath ? FindDirectoryEntry(parentPath, label, target->lookedUp.Receive())
                                 : STATUS_OBJECT_NAME_NOT_FOUND_NT;
    if (!target->lookedUp) {
        // Gone since the tree was built (its parent's parent too, when the
        // way is not found), or its parent cannot be read: say which.
        if (status == STATUS_OBJECT_PATH_NOT_FOUND_NT)
            status = STATUS_OBJECT_NAME_NOT_FOUND_NT;
        wchar_t text[OpenFailureTextChars];
        OpenFailureText(status, text);
        ShowOpenFailure(owner, text);
        return false;
    }
    target->directory = parentPath;
    target->record = target->lookedUp.Get();
    return true;
}

// The tree's caret directory when the tree has the focus, else the list row
// that is focused and selected. false when there is none, or (said in a box
// owned by owner) when it cannot be found.
bool ResolveSelection(HWND owner, SelectionTarget* target)
{
    if (!ActiveControlSite)
        return false;
    HWND tree = ActiveControlSite->TreeWindow();
    HWND list = ActiveControlSite->ListWindow();
    HTREEITEM caret = NextTreeNode(tree, TVGN_CARET, nullptr);
    if (!caret)
        return false;
    if (GetFocus() == tree)
        return ResolveTreeSelection(owner, tree, caret, target);
    const wchar_t* directory = TreeNodePath(tree, caret);
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                  LVNI_FOCUSED | LVNI_SELECTED));
    if (!directory || row < 0)
        return false;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
        return false;
    target->directory = directory;
    target->record = reinterpret_cast<const EntryRecord*>(item.lParam);
    return true;
}

}  // namespace

void OpenPropertiesForSelection(HWND owner)
{
    SelectionTarget target;
    if (ResolveSelection(owner, &target))
        ShowPropertySheet(owner, target.directory, target.record);
}

bool SelectedObjectPath(HWND owner, WideText* path, WideText* typeName)
{
    SelectionTarget target;
    if (!ResolveSelection(owner, &target))
        return false;
    if (!target.record)
        return path->Assign(target.directory) && typeName->Assign(L"Directory");
    return JoinObjectPath(target.directory, target.record->name, path) && typeName->Assign(target.record->typeName);
}
