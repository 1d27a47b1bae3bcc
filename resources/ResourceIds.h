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

// Holders: the processes that have an object open, an addition likewise.
#define CMD_HOLDERS             40031
#define DLG_HOLDERS             122
#define CTRL_HOLDERS_PATH       1201
#define CTRL_HOLDERS_LIST       1202
#define CTRL_HOLDERS_STATUS     1203
#define CTRL_HOLDERS_REFRESH    1204
