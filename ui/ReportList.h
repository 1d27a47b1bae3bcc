// The report lists of the modeless windows: set up alike, so that they look
// like the main window's list in either look.
#pragma once

#include <windows.h>

struct ReportColumn {
    UINT title;  // the string table's id of its title
    int share;   // of the list's width, in hundredths, until the columns are fitted
    int format;  // LVCFMT_LEFT or LVCFMT_RIGHT
};

// A plain border in the older look (as the main window's list has), rows
// selected whole, the header's sort marks, and the columns sharing the
// list's width.
void SetUpReportList(HWND list, const ReportColumn* columns, int count);

// The list draws at most this many characters of a cell.
const int DrawnCellChars = 259;

// Widths of texts as the list draws them: in its font, a cell's first
// DrawnCellChars characters. Holds a device context while it lives.
class CellMeasure {
public:
    explicit CellMeasure(HWND list);
    ~CellMeasure();
    CellMeasure(const CellMeasure&) = delete;
    CellMeasure& operator=(const CellMeasure&) = delete;
    int Width(const wchar_t* text) const;

private:
    HWND list_;
    HDC context_;
    HGDIOBJ oldFont_;
};

// Widens or narrows each column to the larger of its widest cell (widths,
// by column, as CellMeasure gives them) and its title, with the list's
// margins round them; the user may resize them afterwards. Columns already
// at their width are left alone, and the list is not drawn again for them.
void FitReportColumns(HWND list, const int* widths, int count);

// A change of a list's rows or columns made while its window is marked hidden
// (the style bit only; nothing moves or repaints): the control then sets its
// scroll bars without drawing them, which a theme can make cost milliseconds
// a bar, change after change. When it ends, the list and its frame are left
// to the next paint, as RedrawWindow's flags say (RDW_INVALIDATE always, and
// RDW_FRAME when a scroll bar or the client changed): Windows drops what the
// control invalidates meanwhile. A list not shown is left as it is.
class UndrawnChange {
public:
    UndrawnChange(HWND list, UINT redraw);
    ~UndrawnChange();
    UndrawnChange(const UndrawnChange&) = delete;
    UndrawnChange& operator=(const UndrawnChange&) = delete;

    // Rows added after the ones drawn: only the frame and the rows from this
    // one down are drawn again.
    void From(int first);

private:
    // What the frame draws: which bars there are, their ranges and places.
    struct Bars {
        DWORD style;
        RECT client;
        int range[2][4];
    };
    Bars ReadBars() const;
    static bool BarsChanged(const Bars& before, const Bars& after);
    void InvalidateFrame() const;

    HWND list_;
    UINT redraw_;
    bool shown_;
    bool from_ = false;
    RECT rows_ = {};
    Bars bars_ = {};
};
