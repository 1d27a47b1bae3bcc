// Whether a report list's columns fit their texts: each at least as wide as
// its widest cell as the list draws it (and the first column's image) and
// its title with the sort mark, and not far wider.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

// "" when every column fits, else "column:width<need" or "column:width>need+slack" for each that does not.
inline std::string UnfittedColumns(HWND list, int columns, int image)
{
    const int Slack = 40;
    std::string unfitted;
    for (int column = 0; column < columns; ++column) {
        int need = 0;
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            wchar_t text[260] = {};  // as much as the list draws
            ListView_GetItemText(list, row, column, text, 260);
            const int width = ListView_GetStringWidth(list, text) + (column == 0 ? image : 0);
            need = width > need ? width : need;
        }
        wchar_t title[64] = {};
        LVCOLUMNW item = {};
        item.mask = LVCF_TEXT;
        item.pszText = title;
        item.cchTextMax = 64;
        ListView_GetColumn(list, column, &item);
        const int titleNeed = ListView_GetStringWidth(list, title) + 16;  // the sort mark beside it
        need = titleNeed > need ? titleNeed : need;
        const int width = ListView_GetColumnWidth(list, column);
        if (width <= need || width > need + Slack)
            unfitted += std::to_string(column) + ":" + std::to_string(width) + (width <= need ? "<" : ">") +
                        std::to_string(need) + " ";
    }
    return unfitted;
}
