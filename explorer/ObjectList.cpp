#include "ObjectList.h"

#include <winternl.h>

#include "DirectoryWalk.h"
#include "FailureWords.h"
#include "FixedTexts.h"
#include "ListSort.h"
#include "NativeApi.h"
#include "ObjectTypes.h"

HWND ListTargetWindow = nullptr;
NTSTATUS ListFillStatus = 0;

namespace {

// Receives the list walk: every entry becomes a row of ListTargetWindow.
class ListSink final : public NamespaceSink {
public:
    // The list walk inserts no nodes.
    DirectoryNode InsertDirectoryNode(DirectoryNode, const wchar_t*) override { return nullptr; }
    void AddListEntry(int enumerationIndex, const wchar_t* typeName, const wchar_t* name) override
    {
        ::AddListEntry(enumerationIndex, typeName, name);
    }
};

void SetStatusText(HWND statusBar, int part, const wchar_t* text)
{
    SendMessageW(statusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}

// Inserts the row at the requested position; -1 when the list refuses it.
int InsertRow(int position, const wchar_t* name, int image, EntryRecord* record)
{
    if (!IsWindow(ListTargetWindow))
        return -1;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = position;
    item.pszText = const_cast<wchar_t*>(name);
    item.cchTextMax = lstrlenW(name) + 1;
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(record);
    return static_cast<int>(SendMessageW(ListTargetWindow, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

// Status-bar part 1 is formatted into this many characters.
const int CountTextChars = 256;

void FormatCountText(NTSTATUS status, int rowCount, wchar_t (&text)[CountTextChars])
{
    if (status == 0)
        wsprintfW(text, ListCountFormat, rowCount);
    else if (status == STATUS_ACCESS_DENIED)
        lstrcpynW(text, ListingAccessDeniedText, CountTextChars);
    else
        wsprintfW(text, ListErrorFormat, static_cast<unsigned>(status));
}

}  // namespace

void AddListEntry(int enumerationIndex, const wchar_t* typeName, const wchar_t* name)
{
    int image = ImageGenericType;
    EntryRecord* record = MakeEntryRecord(enumerationIndex, typeName, name, &image);
    if (!record)
        return;

    const int row = InsertRow(enumerationIndex, name, image, record);
    // A refused row never reports its deletion: its record would be lost.
    if (row < 0) {
        FreeEntryRecord(record);
        return;
    }
    LVITEMW type = {};
    type.iSubItem = 1;
    type.pszText = const_cast<wchar_t*>(typeName);
    SendMessageW(ListTargetWindow, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&type));
}

LRESULT FillObjectList(HWND list, HWND statusBar, const NMTREEVIEWW* notification)
{
    const wchar_t* path = reinterpret_cast<const wchar_t*>(notification->itemNew.lParam);
    if (!notification->itemNew.hItem || !path)
        return 0;

    ListTargetWindow = list;
    SetStatusText(statusBar, 0, path);
    // Off until sorted, so that a large directory is painted once.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    ListSink sink;
    const NTSTATUS status = ListDirectoryEntries(path, sink);
    ListFillStatus = status;
    SortObjectList(list, -1, false);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);

    wchar_t text[CountTextChars];
    FormatCountText(status, static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)), text);
    SetStatusText(statusBar, 1, text);
    return 0;
}

LRESULT OnListDeleteItem(const NMLISTVIEW* notification)
{
    FreeEntryRecord(reinterpret_cast<EntryRecord*>(notification->lParam));
    return 0;
}

LRESULT OnListDeleteAllItems(const NMLISTVIEW* notification)
{
    HWND list = notification->hdr.hwndFrom;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    for (int row = 0; row < rows; ++row) {
        item.iItem = row;
        item.lParam = 0;
        if (SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            FreeEntryRecord(reinterpret_cast<EntryRecord*>(item.lParam));
    }
    return TRUE;
}
