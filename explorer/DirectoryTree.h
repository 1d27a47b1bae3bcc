// The directory tree: one node per object directory, rebuilt by Refresh.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The tree InsertDirectoryNode inserts into; RefreshTree sets it.
extern HWND TreeTargetWindow;

// Characters of a path a node keeps, terminator included: longer paths are
// cut to TreePathChars - 1 characters.
const int TreePathChars = 1024;

// Inserts the node of the directory at fullPath (label: its last component;
// item data: a heap copy of the path, at most 1023 characters) under parent,
// sorted. Returns the node, or null when the control refuses it (the copy is
// then freed at once).
HTREEITEM InsertDirectoryNode(HTREEITEM parent, const wchar_t* fullPath);

// Deletes every node, walks the namespace again, expands and selects the root.
void RefreshTree(HWND tree);
// Selects the parent of the selected node; nothing at the root.
void SelectParentDirectory(HWND tree);
// True when the root is selected, or the tree is empty.
bool IsRootSelected(HWND tree);

// The node in relation (TVGN_*) to item, or null.
HTREEITEM NextTreeNode(HWND tree, UINT relation, HTREEITEM item);
// The full path a node keeps as its item data; null for no node.
const wchar_t* TreeNodePath(HWND tree, HTREEITEM node);

// The tree's notifications, as the pane routes them.
LRESULT OnTreeDeleteItem(const NMTREEVIEWW* notification);
LRESULT OnTreeKeyDown(const NMTVKEYDOWN* notification);

// Path copies held by tree nodes and not yet freed; lets tests prove each is
// freed exactly once.
long LiveTreePaths();
