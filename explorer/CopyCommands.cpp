#include "CopyCommands.h"

#include <commctrl.h>

#include "AppGlobals.h"
#include "DirectoryTree.h"
#include "ListSort.h"
#include "ResourceIds.h"

namespace {

// The list's rows are many short names: start small and grow per name.
const SIZE_T ListFirstBlockBytes = 8;

// Menu positions of the popups whose items depend on the pane's state.
const int EditPopupPosition = 1;
const int ViewPopupPosition = 2;
const int SortPopupPosition = 3;

bool HasSelectedRows(HWND list)
{
    return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 0;
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

bool RowHasState(HWND list, int row, UINT state)
{
    return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), state) & state) != 0;
}

void SetRowState(HWND list, int row, UINT state)
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = state;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The control may answer with a pointer to its own storage instead of
// filling ours; either way the result ends up in text, cut to fit.
void KeepReadText(wchar_t* text, const wchar_t* answered)
{
    if (answered && answered != text)
        lstrcpynW(text, answered, CopyTextCapacity);
    text[CopyTextCapacity - 1] = L'\0';
}

bool ReadTreeLabel(HWND tree, HTREEITEM node, wchar_t* text)
{
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = node;
    item.pszText = text;
    item.cchTextMax = CopyTextCapacity;
    text[0] = L'\0';
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    KeepReadText(text, item.pszText);
    return true;
}

void ReadRowName(HWND list, int row, wchar_t* text)
{
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = CopyTextCapacity;
    text[0] = L'\0';
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    KeepReadText(text, item.pszText);
}

// The tree's caret label, one line. The clipboard's owner is the list.
void CopyTreeLabel(HWND tree, HWND list)
{
    HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!caret)
        return;
    wchar_t label[CopyTextCapacity];
    if (!ReadTreeLabel(tree, caret, label))
        return;
    ClipboardTextBuilder builder;
    if (!builder.Open(list, static_cast<SIZE_T>(lstrlenW(label))))
        return;
    if (builder.Append(label, true))
        builder.Commit();
}

// Every selected row's name, one line each, in the order the list shows.
void CopySelectedNames(HWND list)
{
    ClipboardTextBuilder builder;
    if (!builder.Open(list, ListFirstBlockBytes))
        return;
    wchar_t name[CopyTextCapacity];
    const int rows = RowCount(list);
    for (int row = 0; row < rows; ++row) {
        if (!RowHasState(list, row, LVIS_SELECTED))
            continue;
        ReadRowName(list, row, name);
        if (!builder.Append(name, true))
            return;  // a partial list would pass for the whole selection
    }
    builder.Commit();
}

void MarkSortItem(HMENU menu)
{
    const UINT marked = CMD_SORT_NAME + static_cast<UINT>(CurrentSortKey);
    if (!IsOlderLook()) {
        CheckMenuRadioItem(menu, CMD_SORT_NAME, CMD_SORT_ENUM, marked, MF_BYCOMMAND);
        return;
    }
    for (UINT command = CMD_SORT_NAME; command <= CMD_SORT_ENUM; ++command)
        CheckMenuItem(menu, command, MF_BYCOMMAND | (command == marked ? MF_CHECKED : MF_UNCHECKED));
}

void EnableToolbarButton(HWND toolbar, UINT command, bool enabled)
{
    SendMessageW(toolbar, TB_ENABLEBUTTON, command, MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

}  // namespace

void CopySelection(HWND tree, HWND list)
{
    HWND focus = GetFocus();
    if (!focus)
        return;
    if (focus == tree)
        CopyTreeLabel(tree, list);
    else if (focus == list && HasSelectedRows(list))
        CopySelectedNames(list);
}

void SelectAllEntries(HWND list)
{
    const int rows = RowCount(list);
    SetFocus(list);
    bool focusSeen = false;
    for (int row = 0; row < rows; ++row) {
        if (RowHasState(list, row, LVIS_FOCUSED))
            focusSeen = true;
        SetRowState(list, row, LVIS_SELECTED);
    }
    if (rows > 0 && !focusSeen)
        SetRowState(list, 0, LVIS_FOCUSED | LVIS_SELECTED);
}

LRESULT InitMenuPopupState(HMENU menu, LPARAM lParam, HWND tree, HWND list)
{
    switch (LOWORD(lParam)) {
    case EditPopupPosition:
        EnableMenuItem(menu, CMD_COPY, MF_BYCOMMAND | (HasSelectedRows(list) ? MF_ENABLED : MF_GRAYED));
        break;
    case ViewPopupPosition:
        EnableMenuItem(menu, CMD_UP, MF_BYCOMMAND | (IsRootSelected(tree) ? MF_GRAYED : MF_ENABLED));
        break;
    case SortPopupPosition:
        MarkSortItem(menu);
        break;
    default:
        break;
    }
    return 0;
}

void UpdateToolbarState(HWND toolbar, HWND tree, HWND list, ToolbarButtonStates& sent)
{
    if (!IsWindow(toolbar))
        return;
    const bool up = !IsRootSelected(tree);
    const bool copy = HasSelectedRows(list);
    const bool fresh = sent.toolbar != toolbar;
    if (fresh || up != sent.up)
        EnableToolbarButton(toolbar, CMD_UP, up);
    if (fresh || copy != sent.copy)
        EnableToolbarButton(toolbar, CMD_COPY, copy);
    sent = {toolbar, up, copy};
}
