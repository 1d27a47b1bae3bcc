#include "DirectoryTree.h"

#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "ObjectTypes.h"

HWND TreeTargetWindow = nullptr;

namespace {

long LivePaths = 0;

// Receives the tree walk: every directory becomes a node of TreeTargetWindow.
class TreeSink final : public NamespaceSink {
public:
    DirectoryNode InsertDirectoryNode(DirectoryNode parent, const wchar_t* path) override
    {
        return ::InsertDirectoryNode(static_cast<HTREEITEM>(parent), path);
    }
    // The tree walk lists nothing.
    void AddListEntry(int, const wchar_t*, const wchar_t*) override {}
};

// The label is the last component; the root "\" (a path ending in its
// backslash) is its own label.
const wchar_t* LabelOf(const wchar_t* path)
{
    const wchar_t* lastSeparator = nullptr;
    for (const wchar_t* at = path; *at; ++at)
        if (*at == L'\\')
            lastSeparator = at;
    if (!lastSeparator)
        return path;
    return lastSeparator[1] ? lastSeparator + 1 : lastSeparator;
}

wchar_t* CopyTreePath(const wchar_t* path)
{
    wchar_t* copy = CopyText(path);
    if (copy)
        ++LivePaths;
    return copy;
}

void FreeTreePath(wchar_t* path)
{
    if (!path)
        return;
    --LivePaths;
    HeapFree(GetProcessHeap(), 0, path);
}

void SelectCaret(HWND tree, HTREEITEM item)
{
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

}  // namespace

long LiveTreePaths() { return LivePaths; }

HTREEITEM NextTreeNode(HWND tree, UINT relation, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

const wchar_t* TreeNodePath(HWND tree, HTREEITEM node)
{
    TVITEMW query = {};
    query.mask = TVIF_PARAM | TVIF_HANDLE;
    query.hItem = node;
    if (!node || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
        return nullptr;
    return reinterpret_cast<const wchar_t*>(query.lParam);
}

HTREEITEM InsertDirectoryNode(HTREEITEM parent, const wchar_t* fullPath)
{
    wchar_t path[TreePathChars];
    lstrcpynW(path, fullPath, TreePathChars);  // bounded: a longer path is cut
    wchar_t* label = const_cast<wchar_t*>(LabelOf(path));

    wchar_t* data = CopyTreePath(path);
    if (!data)
        return nullptr;

    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = label;
    insert.item.cchTextMax = lstrlenW(label) + 1;
    insert.item.iImage = ImageClosedFolder;
    insert.item.iSelectedImage = ImageOpenFolder;
    insert.item.lParam = reinterpret_cast<LPARAM>(data);

    HTREEITEM node = nullptr;
    if (IsWindow(TreeTargetWindow))
        node = reinterpret_cast<HTREEITEM>(
            SendMessageW(TreeTargetWindow, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    // A refused node never reports its deletion: its copy would be lost.
    if (!node)
        FreeTreePath(data);
    return node;
}

void RefreshTree(HWND tree)
{
    // Each deleted node frees its path through TVN_DELETEITEMW.
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    TreeTargetWindow = tree;
    TreeSink sink;
    WalkNamespaceTree(static_cast<DirectoryNode>(TVI_ROOT), sink);
    HTREEITEM root = NextTreeNode(tree, TVGN_ROOT, nullptr);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    // Selecting fills the object list (TVN_SELCHANGINGW).
    SelectCaret(tree, root);
}

void SelectParentDirectory(HWND tree)
{
    HTREEITEM caret = NextTreeNode(tree, TVGN_CARET, nullptr);
    if (!caret)
        return;
    HTREEITEM parent = NextTreeNode(tree, TVGN_PARENT, caret);
    if (!parent)
        return;
    SelectCaret(tree, parent);
}

bool IsRootSelected(HWND tree)
{
    return NextTreeNode(tree, TVGN_ROOT, nullptr) == NextTreeNode(tree, TVGN_CARET, nullptr);
}

LRESULT OnTreeDeleteItem(const NMTREEVIEWW* notification)
{
    FreeTreePath(reinterpret_cast<wchar_t*>(notification->itemOld.lParam));
    return 0;
}

LRESULT OnTreeKeyDown(const NMTVKEYDOWN* notification)
{
    // Keeps Tab and Escape out of the tree's incremental search.
    return notification->wVKey == VK_TAB || notification->wVKey == VK_ESCAPE ? 1 : 0;
}
