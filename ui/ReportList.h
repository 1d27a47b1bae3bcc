// The report lists of the modeless windows: set up alike, so that they look
// like the main window's list in either look.
#pragma once

#include <windows.h>

struct ReportColumn {
    const wchar_t* title;
    int share;   // of the list's width, in hundredths
    int format;  // LVCFMT_LEFT or LVCFMT_RIGHT
};

// A plain border in the older look (as the main window's list has), rows
// selected whole, the header's sort marks, and the columns sharing the
// list's width.
void SetUpReportList(HWND list, const ReportColumn* columns, int count);
