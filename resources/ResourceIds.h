// Resource and command identifiers shared by the .rc file and the code.
#pragma once

#define IDM_MAINMENU        101
#define IDA_ACCELERATORS    103
#define IDI_KAGERO          104
#define CUR_SPLITTER        105
#define DLG_ABOUT           106
#define IDR_TOOLBAR         107
#define IDB_TYPEIMAGES      110
#define IDB_SORTMARKS       114

// Dialog templates of the property sheet. The Event panel shares its number
// with the sort-mark bitmap; the resource type keeps them apart.
#define DLG_GENERAL_PAGE        112
#define DLG_SYMBOLIC_LINK_PANEL 113
#define DLG_EVENT_PANEL         114
#define DLG_MUTANT_PANEL        115
#define DLG_SEMAPHORE_PANEL     116

#define RT_TOOLBAR_LAYOUT   241

#define CTRL_ABOUT_VERSION  1000

// Controls of the General page.
#define CTRL_PAGE_PATH          1002
#define CTRL_PAGE_TYPE          1003
#define CTRL_PAGE_REFERENCES    1004
#define CTRL_PAGE_HANDLES       1005
#define CTRL_PAGE_NONPAGED      1006
#define CTRL_PAGE_PAGED         1007
#define CTRL_PAGE_TYPE_COUNT    1008
#define CTRL_PAGE_PANEL_FRAME   1009
#define CTRL_PAGE_PERMANENCE    1010
// Controls of every type panel.
#define CTRL_PANEL_FIRST        1002
#define CTRL_PANEL_SECOND       1003

#define CMD_EXIT            40002
#define CMD_REFRESH         40003
#define CMD_ABOUT           40004
#define CMD_OPEN            40005
#define CMD_OPEN_EDITOR     40007
#define CMD_PROPERTIES      40008
#define CMD_UP              40020
#define CMD_SORT_NAME       40023
#define CMD_SORT_TYPE       40024
#define CMD_SORT_ENUM       40025
#define CMD_SELECT_ALL      40026
#define CMD_COPY            40027
#define CMD_EDIT_COPY       57634
#define CMD_APP_EXIT        57665
#define CMD_VIEW_TOOLBAR    59392
#define CMD_VIEW_STATUSBAR  59393

// Find: additions beside the window's own resources, each with an id of its own.
#define CMD_FIND                40030
#define DLG_FIND                120
#define IDA_ADDITIONS_ACCELERATORS   121
#define CTRL_FIND_NAME          1101
#define CTRL_FIND_TYPE          1102
#define CTRL_FIND_LOCATION      1103
#define CTRL_FIND_START         1104
#define CTRL_FIND_STOP          1105
#define CTRL_FIND_RESULTS       1106
#define CTRL_FIND_STATUS        1107
#define CTRL_FIND_WRITABLE      1108

// Holders: the processes that have an object open, an addition likewise.
#define CMD_HOLDERS             40031
#define DLG_HOLDERS             122
#define CTRL_HOLDERS_PATH       1201
#define CTRL_HOLDERS_LIST       1202
#define CTRL_HOLDERS_STATUS     1203
#define CTRL_HOLDERS_REFRESH    1204

// Texts of the additions, in the string table beside the window's own
// entries; each has an id of its own. Blocks of sixteen: none shares a block
// with the window's own entries.
// The find window.
#define IDS_FIND_ALL_TYPES          2000
#define IDS_FIND_COLUMN_NAME        2001
#define IDS_FIND_COLUMN_PLACE       2002
#define IDS_FIND_COLUMN_TYPE        2003
#define IDS_FIND_COLUMN_TARGET      2004
#define IDS_FIND_PROGRESS           2005
#define IDS_FIND_NO_LOCATION        2006
#define IDS_FIND_STOPPED            2007
#define IDS_FIND_FOUND              2008
#define IDS_FIND_DIRECTORIES_FAILED 2009
#define IDS_FIND_RESULTS_LOST       2010
#define IDS_FIND_START_FAILED       2011
// The holders window.
#define IDS_HOLDERS_COLUMN_PROGRAM  2016
#define IDS_HOLDERS_COLUMN_PID      2017
#define IDS_HOLDERS_COLUMN_HANDLE   2018
#define IDS_HOLDERS_COLUMN_ACCESS   2019
#define IDS_HOLDERS_START_FAILED    2020
#define IDS_HOLDERS_SCANNING        2021
#define IDS_HOLDERS_NO_TABLE        2022
#define IDS_HOLDERS_HELD            2023
#define IDS_HOLDERS_NOT_EXAMINED    2024
#define IDS_HOLDERS_NOBODY          2025
#define IDS_HOLDERS_COLUMN_FILE     2026
#define IDS_HOLDERS_STUCK           2027
// The command line's path.
#define IDS_USAGE                   2032
#define IDS_PATH_NO_LEADING_SEPARATOR 2033
#define IDS_PATH_DOUBLED_SEPARATOR  2034
// The find window's question of who can change an object.
#define IDS_FIND_COLUMN_RIGHTS      2048
#define IDS_FIND_COLUMN_REASON      2049
#define IDS_FIND_REASON_OWNER       2050
#define IDS_FIND_REASON_NULL_DACL   2051
#define IDS_FIND_SECURITY_UNREADABLE 2052
#define IDS_FIND_SECURITY_UNREAD    2053
#define IDS_FIND_NO_ACCOUNT         2054
// The 変更できる list's choices (2056 to 2062), in the order of SubjectChoice.
#define IDS_FIND_SUBJECT_FIRST      2056
