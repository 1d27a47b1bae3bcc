#include "ListSort.h"

#include "EntryRecord.h"
#include "ResourceIds.h"
#include "SortMarks.h"

int CurrentSortKey = SortByName;
// The first fill is already by name ascending, so the first pick of Name
// turns it descending while Type and Enumeration start ascending.
int SortDescending[SortKeyCount] = {0, 1, 1};
HBITMAP HeaderMarkBitmap = nullptr;

namespace {

const int DirectoryTypeCode = 0;

// Key in the low 16 bits, direction in the next: fits a 32-bit LPARAM too.
int SortParameterKey(LPARAM parameter) { return static_cast<short>(LOWORD(static_cast<DWORD>(parameter))); }
int SortParameterDescending(LPARAM parameter) { return HIWORD(static_cast<DWORD>(parameter)) != 0; }

bool IsLetterOrDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool LettersAndDigitsOnly(const wchar_t* text)
{
    for (; *text; ++text)
        if (!IsLetterOrDigit(*text))
            return false;
    return true;
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// lstrcmpiW's order, spared the call for names of ASCII letters and digits
// alone: among those it puts digits before letters and letters in the
// alphabet's order, the order of their upper-case codes. A sort makes about
// n log n comparisons, so the call would cost more than the rows' inserts.
int CompareNames(const wchar_t* a, const wchar_t* b)
{
    const wchar_t* x = a;
    const wchar_t* y = b;
    while (*x && Upper(*x) == Upper(*y) && IsLetterOrDigit(*x)) {
        ++x;
        ++y;
    }
    if (!LettersAndDigitsOnly(x) || !LettersAndDigitsOnly(y))
        return lstrcmpiW(a, b);
    return static_cast<int>(Upper(*x)) - static_cast<int>(Upper(*y));
}

// Directories ahead of everything else; 0 when both or neither are.
int CompareDirectoryFirst(const EntryRecord* a, const EntryRecord* b)
{
    const bool aDirectory = a->typeCode == DirectoryTypeCode;
    const bool bDirectory = b->typeCode == DirectoryTypeCode;
    if (aDirectory && !bDirectory)
        return -1;
    if (bDirectory && !aDirectory)
        return 1;
    return 0;
}

int CompareByName(const EntryRecord* a, const EntryRecord* b)
{
    const int directories = CompareDirectoryFirst(a, b);
    return directories ? directories : CompareNames(a->name, b->name);
}

int CompareByType(const EntryRecord* a, const EntryRecord* b)
{
    const int directories = CompareDirectoryFirst(a, b);
    if (directories)
        return directories;
    const int types = CompareNames(a->typeName, b->typeName);
    return types ? types : CompareNames(a->name, b->name);
}

int CompareByEnumeration(const EntryRecord* a, const EntryRecord* b)
{
    if (a->enumerationIndex < b->enumerationIndex)
        return -1;
    return a->enumerationIndex > b->enumerationIndex ? 1 : 0;
}

// Reverses exact black to the button shadow and exact white to the button
// highlight, so the mark looks etched in any colour scheme.
void EtchMarkPixels(HDC dc, int width, int height)
{
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            if (pixel == RGB(0, 0, 0))
                SetPixel(dc, x, y, shadow);
            else if (pixel == RGB(255, 255, 255))
                SetPixel(dc, x, y, highlight);
        }
    }
}

// Draws mark image `image` on button face; null when it cannot be built.
HBITMAP BuildMarkBitmap(HWND list, int image)
{
    int width = 0;
    int height = 0;
    if (!HeaderMarkImageList || !ImageList_GetIconSize(HeaderMarkImageList, &width, &height))
        return nullptr;
    HDC listDc = GetDC(list);
    if (!listDc)
        return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(listDc, width, height);
    HDC memoryDc = bitmap ? CreateCompatibleDC(listDc) : nullptr;
    if (memoryDc) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        RECT whole = {0, 0, width, height};
        FillRect(memoryDc, &whole, GetSysColorBrush(COLOR_BTNFACE));
        ImageList_Draw(HeaderMarkImageList, image, memoryDc, 0, 0, ILD_NORMAL);
        EtchMarkPixels(memoryDc, width, height);
        SelectObject(memoryDc, old);
        DeleteDC(memoryDc);
    } else if (bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    ReleaseDC(list, listDc);
    return bitmap;
}

// The mark stands right of the text, or left of it in a right-aligned column.
int MarkFormat(int format, int image)
{
    if (image == MarkNone)
        return format & ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
    format |= HDF_BITMAP;
    if (!(format & HDF_RIGHT))
        format |= HDF_BITMAP_ON_RIGHT;
    return format;
}

int MarkFor(int key) { return SortDescending[key] ? MarkDescending : MarkAscending; }

// Whether the column shows the mark image this code last built for it.
bool HeaderShowsMark(HWND list, int column, int image)
{
    HWND header = GetDlgItem(list, 0);
    HDITEMW item = {};
    item.mask = HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    if (!header || !HeaderMarkBitmap ||
        !SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
        return false;
    return item.hbm == HeaderMarkBitmap && (item.fmt & HDF_BITMAP) && item.iImage == image;
}

}  // namespace

LPARAM MakeSortParameter(int key, int descending)
{
    const DWORD packed = static_cast<DWORD>(static_cast<WORD>(key)) | (static_cast<DWORD>(descending ? 1 : 0) << 16);
    return static_cast<LPARAM>(packed);
}

int CALLBACK CompareEntries(LPARAM first, LPARAM second, LPARAM parameter)
{
    const auto* a = reinterpret_cast<const EntryRecord*>(first);
    const auto* b = reinterpret_cast<const EntryRecord*>(second);
    if (!a || !b)
        return 0;
    int result = 0;
    switch (SortParameterKey(parameter)) {
    case SortByName:
        result = CompareByName(a, b);
        break;
    case SortByType:
        result = CompareByType(a, b);
        break;
    case SortByEnumeration:
        result = CompareByEnumeration(a, b);
        break;
    default:
        break;
    }
    return SortParameterDescending(parameter) ? -result : result;
}

void SortObjectList(HWND list, int key, bool toggle)
{
    if (key == -1)
        key = CurrentSortKey;
    // The key indexes SortDescending: anything else would write past it.
    if (key < 0 || key >= SortKeyCount)
        return;
    // Every fill sorts again by the shown key: its mark stays, and building
    // the mark twice would cost more than the sort itself.
    const bool markStays = !toggle && key == CurrentSortKey && HeaderShowsMark(list, key, MarkFor(key));
    if (!markStays)
        SetHeaderSortMark(list, CurrentSortKey, MarkNone);
    if (toggle)
        SortDescending[key] = !SortDescending[key];
    SendMessageW(list, LVM_SORTITEMS, static_cast<WPARAM>(MakeSortParameter(key, SortDescending[key])),
                 reinterpret_cast<LPARAM>(CompareEntries));
    CurrentSortKey = key;
    if (!markStays)
        SetHeaderSortMark(list, key, MarkFor(key));
}

void SetHeaderSortMark(HWND list, int column, int image)
{
    HWND header = GetDlgItem(list, 0);
    if (!header)
        return;
    HDITEMW item = {};
    item.mask = HDI_WIDTH | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    item.iImage = image;
    item.fmt = MarkFormat(item.fmt, image);
    // One mark bitmap at a time: the one it replaces is no longer shown.
    if (HeaderMarkBitmap)
        DeleteObject(HeaderMarkBitmap);
    HeaderMarkBitmap = BuildMarkBitmap(list, image);
    item.hbm = HeaderMarkBitmap;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

void RebuildHeaderSortMark(HWND list)
{
    SetHeaderSortMark(list, CurrentSortKey, MarkFor(CurrentSortKey));
}

void SetHeaderMarkImages(HWND list, HIMAGELIST images)
{
    HeaderMarkImageList = images;
    HWND header = GetDlgItem(list, 0);
    if (header)
        SendMessageW(header, HDM_SETIMAGELIST, HDSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}
