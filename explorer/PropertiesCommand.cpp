// Which object the Properties command means, from the pane's tree and list.
#include <windows.h>
#include <commctrl.h>

#include "ControlSite.h"
#include "DirectoryTree.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "NativeApi.h"
#include "PropertySheet.h"

namespace {

const int NodeTextChars = 1024;

// The directory of the tree's caret node, looked up in its parent.
void OpenTreeSelection(HWND owner, HWND tree, HTREEITEM caret)
{
    wchar_t label[NodeTextChars] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = caret;
    query.pszText = label;
    query.cchTextMax = NodeTextChars;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    if (lstrcmpW(label, L"\\") == 0) {
        ShowPropertySheet(owner, L"\\", nullptr);
        return;
    }
    const wchar_t* parentPath = TreeNodePath(tree, NextTreeNode(tree, TVGN_PARENT, caret));
    EntryRecord* record = nullptr;
    const NTSTATUS status = parentPath ? FindDirectoryEntry(parentPath, label, &record) : STATUS_OBJECT_NAME_NOT_FOUND_NT;
    if (!record) {
        // Gone since the tree was built, or its parent cannot be read: say which.
        wchar_t text[OpenFailureTextChars];
        OpenFailureText(status, text);
        ShowOpenFailure(owner, text);
        return;
    }
    ShowPropertySheet(owner, parentPath, record);
    FreeEntryRecord(record);
}

}  // namespace

void OpenPropertiesForSelection(HWND owner)
{
    if (!ActiveControlSite)
        return;
    HWND tree = ActiveControlSite->TreeWindow();
    HWND list = ActiveControlSite->ListWindow();
    HTREEITEM caret = NextTreeNode(tree, TVGN_CARET, nullptr);
    if (!caret)
        return;
    if (GetFocus() == tree) {
        OpenTreeSelection(owner, tree, caret);
        return;
    }
    const wchar_t* directory = TreeNodePath(tree, caret);
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                  LVNI_FOCUSED | LVNI_SELECTED));
    if (!directory || row < 0)
        return;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
        return;
    ShowPropertySheet(owner, directory, reinterpret_cast<const EntryRecord*>(item.lParam));
}
