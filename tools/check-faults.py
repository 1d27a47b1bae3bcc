#!/usr/bin/env python3
"""Plants each fault listed in tests/FAULTS.md and shows that the suite catches it.

  tools/check-faults.py [--only ID,ID] [--list] [--check-applies] [--dir DIR] [--remove]

Each plant is one or more textual edits of the product (the old text must occur
exactly once) and the tests that must fail with it: doctest programs, or CTest
tests that run a shipped program. The plants go into a private git worktree of
HEAD under DIR (default build/faults of this clone), built there once, so that
no one else's build ever sees the broken code; --remove removes it. For each
plant: apply, build only what its tests need, run them under Wine, restore. A
plant counts as caught when a test exits non-zero; the failed test cases are
the ones doctest names in its "TEST CASE:" lines.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = {
    'gui_tests': 'tests/app/gui_tests.exe',
    'namespace_tests': 'tests/namespace/namespace_tests.exe',
    'security_tests': 'tests/security/security_tests.exe',
    'dump_tests': 'tests/dump/dump_tests.exe',
    'find_tests': 'tests/find/find_tests.exe',
}
# CTest tests that run a shipped program, with the build targets they need.
CTESTS = {
    'kagero_starts_and_exits': ['kagero', 'post-command'],
    'dist_archives': ['kagero', 'kagero-dump'],
    'floors': [],  # reads the sources; nothing to build
    'wine_runner': [],  # runs the runner alone
    'readme_examples': ['kagero-dump', 'kagero-scene'],
    'screenshot_tool': ['kagero-screenshot', 'kagero-scene'],
}
BUILD32_TESTS = {'dist_archives'}  # their CTESTS targets are built in build32 too
RUN_SECONDS = 240  # above every test's CTest timeout: a plant that hangs a program is caught

PLANTS = []


def plant(pid, tests, fault, *edits):
    """tests: names from PROGRAMS or CTESTS, space-separated; edits: (file, old text, new text)."""
    PLANTS.append({'id': pid, 'tests': tests.split(), 'fault': fault, 'edits': edits})


G, N, S, D, F = 'gui_tests', 'namespace_tests', 'security_tests', 'dump_tests', 'find_tests'

# Shell, explorer pane and property sheet.
plant('paths-never', G, "A tree path never freed (deleted nodes keep their copies)",
      ('explorer/DirectoryTree.cpp', "FreeTreePath(reinterpret_cast<wchar_t*>(notification->itemOld.lParam));",
       "(void)notification;"))
plant('paths-twice', G, "A tree path freed twice (at insertion and again at deletion)",
      ('explorer/DirectoryTree.cpp', "    if (!node)\n        FreeTreePath(data);", "    FreeTreePath(data);"))
plant('paths-refused', G, "A refused node's path never freed",
      ('explorer/DirectoryTree.cpp', "    if (!node)\n        FreeTreePath(data);",
       "    if (!node && false)\n        FreeTreePath(data);"))
plant('records-never', G, "An entry record never freed (deleted rows keep theirs)",
      ('explorer/ObjectList.cpp', "FreeEntryRecord(reinterpret_cast<EntryRecord*>(notification->lParam));",
       "(void)notification;"))
plant('records-refused', G, "A refused row's record never freed",
      ('explorer/ObjectList.cpp', "    if (row < 0) {\n        FreeEntryRecord(record);", "    if (row < 0) {\n        (void)0;"))
plant('records-twice', G, "An entry record freed twice (the row's record freed after its sheet)",
      ('explorer/PropertiesCommand.cpp',
       "    target->record = reinterpret_cast<const EntryRecord*>(item.lParam);",
       "    target->lookedUp.Reset(reinterpret_cast<EntryRecord*>(item.lParam));\n"
       "    target->record = target->lookedUp.Get();"))
plant('tree-record-never', G, "The tree sheet's looked-up record never freed",
      ('explorer/PropertiesCommand.cpp', "    target->record = target->lookedUp.Get();",
       "    target->record = target->lookedUp.Release();"))
plant('capture-lost', G, "The capture lost mid-drag leaves the drag running (children unclipped)",
      ('explorer/ControlSite.cpp', "    case WM_CAPTURECHANGED:\n        OnCaptureLost();",
       "    case WM_CAPTURECHANGED:\n        (void)0;"))
plant('clamp-order', G, "Split clamp order swapped: a pane narrower than the bar gets a negative bar",
      ('explorer/ControlSite.cpp', "    if (x > upper)\n        x = upper;\n    if (x < 0)\n        x = 0;",
       "    if (x < 0)\n        x = 0;\n    if (x > upper)\n        x = upper;"))
plant('ratio-zero-width', G, "A drag in a pane of no width learns a ratio (division by zero)",
      ('explorer/ControlSite.cpp', "    if (width > 0)\n        splitRatio_", "    if (width >= 0)\n        splitRatio_"))
plant('tab-answer', G, "The tree lets Tab into its incremental search",
      ('explorer/DirectoryTree.cpp', "notification->wVKey == VK_TAB || ", ""))
plant('activate-focus', G, "Activation does not restore the last focused control",
      ('explorer/ControlSite.cpp', "        SetFocus(lastFocusedChild_);", "        (void)0;"))
plant('older-border', G, "Older look: controls without WS_BORDER",
      ('explorer/ControlSite.cpp', "    if (IsOlderLook())\n        style |= WS_BORDER;", ""))
plant('older-font', G, "Older look: controls keep the GUI font instead of the system font",
      ('explorer/ControlSite.cpp', "HGDIOBJ font = GetStockObject(SYSTEM_FONT);",
       "HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);"))
plant('refresh-sent', G, "The first Refresh runs during creation instead of from the loop",
      ('explorer/ControlSite.cpp', "    PostMessageW(paneWindow_, WM_COMMAND, CMD_REFRESH, 0);",
       "    SendMessageW(paneWindow_, WM_COMMAND, CMD_REFRESH, 0);"))
plant('separator-paint', G, "The separator groove painted one pixel right",
      ('app/CommandBar.cpp', "return leftEdge + width / 2;", "return leftEdge + width / 2 + 1;"))
plant('clipboard-size', G, "The clipboard block grown one character short (no room for the NUL)",
      ('ui/ClipboardText.cpp',
       "const SIZE_T target = capacity_ + extraBytes > neededBytes ? capacity_ + extraBytes : neededBytes;",
       "const SIZE_T target = neededBytes - sizeof(wchar_t);"))
plant('clipboard-failed-grow', G, "A Copy whose block could not grow still replaces the clipboard",
      ('ui/ClipboardText.cpp', "if (!failed_ && block_ && EmptyClipboard()", "if (block_ && EmptyClipboard()"))
plant('copy-tree', G, "Copy with the tree focused copies nothing",
      ('explorer/CopyCommands.cpp', "    if (focus == tree)\n        CopyTreeLabel(tree, list);\n    else if", "    if"))
plant('select-all-focus', G, "Select All moves the row focus to the first row",
      ('explorer/CopyCommands.cpp', "if (rows > 0 && !focusSeen)", "if (rows > 0)"))
plant('menu-up', G, "Up enabled on the root",
      ('explorer/CopyCommands.cpp', "(IsRootSelected(tree) ? MF_GRAYED : MF_ENABLED)", "MF_ENABLED"))
plant('sort-older-mark', G, "The older look gets radio marks in the sort menu",
      ('explorer/CopyCommands.cpp', "    if (!IsOlderLook()) {\n        CheckMenuRadioItem",
       "    if (true) {\n        CheckMenuRadioItem"))
plant('sort-case', G, "Names compared with regard to case",
      ('explorer/ListSort.cpp', "while (*x && Upper(*x) == Upper(*y) && IsLetterOrDigit(*x)) {",
       "while (*x && *x == *y && IsLetterOrDigit(*x)) {"),
      ('explorer/ListSort.cpp', "return static_cast<int>(Upper(*x)) - static_cast<int>(Upper(*y));",
       "return static_cast<int>(*x) - static_cast<int>(*y);"),
      ('explorer/ListSort.cpp', "        return lstrcmpiW(a, b);\n    return static_cast",
       "        return lstrcmpW(a, b);\n    return static_cast"))
plant('sort-descending', G, "A descending sort shows ascending",
      ('explorer/ListSort.cpp', "? -result : result", "? result : result"))
plant('mark-bitmap-leak', G, "The old header mark bitmap never deleted",
      ('explorer/ListSort.cpp', "        DeleteObject(HeaderMarkBitmap);", "        (void)0;"))
plant('mark-kept-on-toggle', G, "A toggled sort keeps the old direction's header mark",
      ('explorer/ListSort.cpp', "const bool markStays = !toggle && key", "const bool markStays = key"))
plant('colours-not-forwarded', G, "A colour scheme change never reaches the main window's controls",
      ('app/MainFrame.cpp', "        ForwardToChildren(window, message, wParam, lParam);\n        return 0;", "        return 0;"))
plant('mark-colours-kept', G, "The header mark keeps the old scheme's etching",
      ('explorer/ControlSite.cpp', "        RebuildHeaderSortMark(listWindow_);\n", ""))
plant('status-refused', G, "A refused directory's count shows the error code",
      ('explorer/ObjectList.cpp', "    else if (status == STATUS_ACCESS_DENIED)", "    else if (false)"))
plant('ctrl-tab', G, "Ctrl+Tab taken by the loop's Tab rule",
      ('app/Startup.cpp', "    if (GetKeyState(VK_CONTROL) & 0x8000)\n        return false;", ""))
plant('pane-top', G, "The pane placed one pixel high (over the bar)",
      ('app/MainFrame.cpp', "        placement.top = barShare + 1;", "        placement.top = barShare;"))
plant('older-placement', G, "Older look: the pane's top border shown when the toolbar is hidden",
      ('app/MainFrame.cpp', "    int d = toolbarVisible ? 1 : -1;", "    int d = 1;"))
plant('view-marks', G, "View marks set for every popup",
      ('app/MainFrame.cpp', "    if (LOWORD(lParam) == ViewMenuPosition) {", "    if (true) {"))
plant('toggle-enable', G, "A hidden toolbar stays enabled",
      ('app/MainFrame.cpp', "    EnableWindow(bar, visible);", "    (void)0;"))
plant('tooltip-text', G, "The tooltip shows the whole string (the line feed kept)",
      ('app/MainFrame.cpp', "            return CharNextW(p);", "            return p;"))
plant('status-width', G, "The status bar's right part 200 pixels wide",
      ('app/StatusBar.cpp', "const int RightPartWidth = 300;", "const int RightPartWidth = 200;"))
plant('centre-clamp', G, "Centring clamps both edges (a box larger than the screen loses its left part)",
      ('ui/WindowCentre.cpp', "    else if (position + size > limit)", "    if (position + size > limit)"))
plant('about-colour', G, "Older look: About box painted with the button face",
      ('app/AboutBox.cpp', "    SetBkColor(dc, GetSysColor(COLOR_WINDOW));", "    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));"))
plant('about-centre', G, "About box not centred on the main window",
      ('app/AboutBox.cpp', "        CentreOnWindow(dialog, GetParent(dialog));", "        (void)dialog;"))
plant('loop-accelerators', G, "The program's own loop skips the accelerators (F5 does nothing)",
      ('app/Startup.cpp', "        if (PreTranslateLoopMessage(&message, accelerators, additionAccelerators))\n            continue;\n", ""))
plant('version-unrecorded', G, "The system's version never recorded (no older look on NT 3.51)",
      ('app/Startup.cpp', "    SystemMajorVersion = static_cast<int>(version.dwMajorVersion);\n", ""))
plant('no-plain-toolbar', G, "Without InitCommonControlsEx the main window gets no toolbar",
      ('app/MainFrame.cpp', "    else\n        commandBar_.CreatePlainToolbar(window, AppInstance, PlainToolbarId, IDR_TOOLBAR);\n", ""))
plant('plain-bar-height', G, "The plain toolbar's share of the window sized as a rebar's",
      ('app/CommandBar.cpp', "(mode_ == 1 ? 5 : 2)", "5"))
plant('file-version', G, "Explorer shows a file version other than the About box's",
      ('resources/VersionInfo.rc', "FILEVERSION     KAGERO_VERSION_NUMBERS", "FILEVERSION     1,0,0,0"))
plant('exit-code', 'kagero_starts_and_exits', "The shipped kagero.exe ends with an exit code other than 0",
      ('app/Main.cpp', "    return RunKagero(instance, showCommand, MakeControlSite, commandLine);",
       "    return RunKagero(instance, showCommand, MakeControlSite, commandLine) + 3;"))
plant('no-marlett', G, "The Wine prefix without Marlett: the caption buttons drawn as the letters \"0 1 r\"",
      ('tools/wine-run.sh', '    ln -sfn "$marlett" "$prefix/drive_c/windows/Fonts/marlett.ttf"',
       '    rm -f "$prefix/drive_c/windows/Fonts/marlett.ttf"'))
plant('unstripped', 'dist_archives', "The shipped programs keep their debug sections (more than twice their size)",
      ('CMakeLists.txt', "add_link_options($<$<CONFIG:Release>:-s>)\n", ""))
plant('road-tree', G, "Properties with the tree focused opens the list's row",
      ('explorer/PropertiesCommand.cpp', "    if (GetFocus() == tree)\n", "    if (false)\n"))
plant('road-row', G, "Properties takes a selected row without the focus mark",
      ('explorer/PropertiesCommand.cpp', "LVNI_FOCUSED | LVNI_SELECTED", "LVNI_SELECTED"))
plant('page-handles', G, "The General page shows the references as the handle count",
      ('properties/GeneralPage.cpp', "SetNumber(window, CTRL_PAGE_HANDLES, static_cast<LONG>(basic.HandleCount), basicRead);",
       "SetNumber(window, CTRL_PAGE_HANDLES, static_cast<LONG>(basic.PointerCount), basicRead);"))
plant('page-permanent', G, "A permanent object shown as not permanent",
      ('properties/GeneralPage.cpp', "const bool permanent = (basic.Attributes & ObjectPermanentFlag) != 0;",
       "const bool permanent = false;"))
plant('mutant-owned', G, "A mutant owned once (count 0) shown as not owned",
      ('properties/TypePanels.cpp', 'currentCount <= 0 ? YesText', 'currentCount < 0 ? YesText'))
plant('page-unread-counts', G, "A failed basic query shows zeros as the counts and pool charges",
      ('properties/GeneralPage.cpp', "    if (read)\n        wsprintfW", "    if (read || true)\n        wsprintfW"))
plant('page-unread-permanence', G, "A failed basic query shows the object as not permanent",
      ('properties/GeneralPage.cpp', '!basicRead ? L"" : permanent', 'permanent'))
plant('basic-failure-hidden', G, "A failed basic query reported as read: the General page shows zeros",
      ('namespace/ObjectQueries.cpp', "    CopyMemory(record, &basic, bytes < sizeof(basic) ? bytes : sizeof(basic));\n    return status;",
       "    CopyMemory(record, &basic, bytes < sizeof(basic) ? bytes : sizeof(basic));\n    return 0;"))
plant('event-unread', G, "A failed event query shown as a manual-reset event, reset",
      ('properties/TypePanels.cpp', "    if (QueryEventState(object, &eventType, &state) < 0)\n        return BlankPanel(panel);",
       "    QueryEventState(object, &eventType, &state);"))
plant('mutant-unread', G, "A failed mutant query shown as owned, not abandoned",
      ('properties/TypePanels.cpp', "    if (QueryMutantState(object, &currentCount, &flags) < 0)\n        return BlankPanel(panel);",
       "    QueryMutantState(object, &currentCount, &flags);"))
plant('semaphore-unread', G, "A failed semaphore query shown as counts 0 of 0",
      ('properties/TypePanels.cpp', "    if (QuerySemaphoreState(object, &currentCount, &maximumCount) < 0)\n        return BlankPanel(panel);",
       "    QuerySemaphoreState(object, &currentCount, &maximumCount);"))
plant('link-partial-target', G, "A failed target query shows what it left in the buffer as the target",
      ('namespace/ObjectQueries.cpp', "    if (status >= 0)\n        target->Assign(", "    if (true)\n        target->Assign("))
plant('cut-path', G, "A full path over 1023 characters cut before it is opened",
      ('properties/PropertySheet.cpp', "        named = JoinObjectPath(directory, record->name, &fullPath_);",
       "        wchar_t cut[1024];\n        const int room = 1023 - lstrlenW(directory);\n"
       "        lstrcpynW(cut, record->name, room > 1 ? room : 1);\n"
       "        named = JoinObjectPath(directory, cut, &fullPath_);"))
plant('long-target', G, "A link target over 1023 characters shown cut",
      ('properties/TypePanels.cpp', "    SetPanelTexts(panel, target.Get(), when);",
       "    wchar_t cut[1024] = {};\n    if (target.Get())\n        lstrcpynW(cut, target.Get(), 1024);\n"
       "    SetPanelTexts(panel, cut, when);"))
plant('active-page', G, "ActiveGeneralPage left set after a refused open",
      ('properties/PropertySheet.cpp', "    if (ActiveGeneralPage == this)\n        ActiveGeneralPage = nullptr;", "    (void)0;"),
      ('properties/PropertySheet.cpp', "        ShowOpenFailureFor(owner, status);\n        ActiveGeneralPage = nullptr;",
       "        ShowOpenFailureFor(owner, status);"))
plant('handle-leak', G, "The sheet's test-open handle never closed",
      ('properties/PropertySheet.cpp', "    probe.Reset();  // the test-open's handle is never kept",
       "    *reinterpret_cast<HANDLE*>(&probe) = nullptr;"))
plant('provider-never', G, "The security provider never released",
      ('properties/PropertySheet.cpp', "    if (provider)\n        provider->Release();", "    (void)0;"))
plant('provider-twice', G, "The security provider released twice",
      ('properties/PropertySheet.cpp', "    if (provider)\n        provider->Release();",
       "    if (provider) {\n        provider->AddRef();\n        provider->Release();\n"
       "        provider->Release();\n        provider->Release();\n    }"))
plant('apply-only', G, "A security-only sheet gets Apply",
      ('properties/PropertySheet.cpp', "(pageCount == 1 ? PSH_NOAPPLYNOW : 0)", "0"))
plant('box-icon', G, "Failure boxes with the warning icon",
      ('properties/PropertySheet.cpp', 'ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR)',
       'ModalMessageBox(owner, text, L"Kagero", MB_ICONWARNING)'))
plant('box-caption', G, "Failure boxes captioned other than `Kagero`",
      ('properties/PropertySheet.cpp', 'ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR)',
       'ModalMessageBox(owner, text, L"Kagero:", MB_ICONERROR)'))
plant('box-code', G, "An unknown status shown without its 0x",
      ('resources/FixedTexts.h', "CODE:0x%08X", "CODE:%08X"))
plant('box-notfound', G, "A vanished object reported as refused",
      ('properties/PropertySheet.cpp', "    const ULONG code = static_cast<ULONG>(status);",
       "    const ULONG code = static_cast<ULONG>(status) == 0xC0000034 ? 0xC0000022 : static_cast<ULONG>(status);"))
plant('page-colour', G, "Older look: the General page keeps the dialog manager's edit colours",
      ('properties/GeneralPage.cpp', "        return OlderLookColour(message, wParam);", "        return (void)wParam, 0;"))
plant('panel-colour', G, "Older look: the type panel's edits painted white",
      ('ui/AppGlobals.cpp',
       "        SetBkColor(reinterpret_cast<HDC>(deviceContext), GetSysColor(COLOR_BTNFACE));",
       "        SetBkColor(reinterpret_cast<HDC>(deviceContext), GetSysColor(COLOR_WINDOW));"))
plant('page-idok', G, "The page ignores IDOK",
      ('properties/GeneralPage.cpp', "if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)",
       "if (LOWORD(wParam) == IDCANCEL)"))
plant('security-moved', G, "A security-only sheet moved by a callback of its own",
      ('properties/PropertySheet.cpp', '#include "FailureWords.h"\n', '#include "FailureWords.h"\n#include "WindowCentre.h"\n'),
      ('properties/PropertySheet.cpp', "        header.phpage = pages;\n",
       "        header.phpage = pages;\n        header.dwFlags |= PSH_USECALLBACK;\n"
       "        header.pfnCallback = [](HWND sheet, UINT message, LPARAM) -> int {\n"
       "            if (message == PSCB_INITIALIZED)\n                CentreOnWindow(sheet, GetParent(sheet));\n"
       "            return 0;\n        };\n"))
plant('no-pages-code-0', G, "An object opened but given no page shows code 0",
      ('properties/PropertySheet.cpp', "status != 0 ? status : STATUS_NO_MEMORY_NT", "status"))
plant('tree-road-words', G, "Properties from the tree calls a directory missing when its parent refuses to be read",
      ('explorer/PropertiesCommand.cpp', "        OpenFailureText(status, text);",
       "        OpenFailureText(((void)status, STATUS_OBJECT_NAME_NOT_FOUND_NT), text);"))
plant('link-1601', G, "A link without a creation time shows a date in 1601",
      ('properties/TypePanels.cpp', "    if (creationTime <= 0)\n        return;\n", ""))

plant('records-never-all', G, "An entry record never freed by a fill's delete-all notice",
      ('explorer/ObjectList.cpp', "            FreeEntryRecord(reinterpret_cast<EntryRecord*>(item.lParam));",
       "            (void)item;"))
plant('editor-cwd', G, "The access editor looked for in the current folder",
      ('properties/AccessEditor.cpp', "    const DWORD attributes = GetFileAttributesW(path.Get());",
       "    const DWORD attributes = GetFileAttributesW(LibraryName);"))
plant('count-shown', G, "The General page shows the type's object count, which it cannot know",
      ('resources/kagero.rc', "ES_READONLY | ES_AUTOHSCROLL | NOT WS_VISIBLE", "ES_READONLY | ES_AUTOHSCROLL"))
plant('panel-off', G, "The type panel placed off its frame",
      ('properties/TypePanels.cpp', "SetWindowPos(panel, nullptr, corner.x, corner.y, 0, 0",
       "SetWindowPos(panel, nullptr, corner.x + 2, corner.y, 0, 0"))
plant('double-click', G, "A double-click on a row opens nothing",
      ('explorer/ControlSite.cpp', "    case NM_RETURN:\n    case NM_DBLCLK:", "    case NM_RETURN:"))
plant('enter', G, "Enter on a row opens nothing",
      ('explorer/ControlSite.cpp', "    case NM_RETURN:\n    case NM_DBLCLK:", "    case NM_DBLCLK:"))
plant('page-open-words', G, "The page's own failed open worded as the privilege's failure",
      ('properties/GeneralPage.cpp', "OpenFailureText(status, text, false);", "OpenFailureText(status, text, true);"))
plant('page-open-close', G, "The page's own failed open leaves an empty sheet up",
      ('properties/GeneralPage.cpp', "        SendMessageW(sheet, WM_CLOSE, 0, 0);\n", ""))


# Going to a path, Kagero at a path, and Find's place in the menu and keys.
plant('goto-no-refresh', G, "A directory new since the tree was built is never found (no Refresh)",
      ('explorer/GoToPath.cpp', "    if (status < 0 && stale) {", "    if (false) {"))
plant('goto-case', G, "A path spelled in another case than the kernel's is not found",
      ('explorer/GoToPath.cpp', "    ChildPick pick(name, exactOnly);", "    ChildPick pick(name, true);"),
      ('explorer/GoToPath.cpp', "    ChildPick pick(name);\n    const int rows", "    ChildPick pick(name, true);\n    const int rows"))
plant('goto-stale-list', G, "An object new in the directory already shown is not found (its list not filled afresh)",
      ('explorer/GoToPath.cpp', "    if (refill && NextTreeNode(tree, TVGN_CARET, nullptr) == node)\n        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, 0);\n", ""))
plant('goto-no-restore', G, "A failed go-to leaves another directory shown",
      ('explorer/GoToPath.cpp', "    if (status < 0)\n        before.Restore(tree, list);", "    if (false)\n        before.Restore(tree, list);"))
plant('goto-fill-status', G, "An object in a directory that cannot be listed reported missing instead of refused",
      ('explorer/GoToPath.cpp', "    if (ListFillStatus < 0)\n        return ListFillStatus;\n", ""))
plant('goto-missing-below', G, "A directory under one that cannot be listed reported missing instead of refused",
      ('explorer/GoToPath.cpp', "    return status < 0 ? status : STATUS_OBJECT_NAME_NOT_FOUND_NT;", "    return status < 0 ? STATUS_OBJECT_NAME_NOT_FOUND_NT : status;"))
plant('goto-gone-directory', G, "A directory gone since the tree was built is gone to as if it were there",
      ('explorer/GoToPath.cpp', "    if (ListFillStatus == STATUS_OBJECT_NAME_NOT_FOUND_NT || ListFillStatus == STATUS_OBJECT_PATH_NOT_FOUND_NT) {",
       "    if (false) {"))
plant('goto-doubled', G, "The path `\\\\` taken for the root",
      ('explorer/GoToPath.cpp', "        if (length == 0)\n            return STATUS_OBJECT_NAME_INVALID_NT;\n", ""))
plant('goto-focus', G, "After a go-to the focus stays where it was",
      ('explorer/GoToPath.cpp', "    SetFocus(shown == Shown::Object ? ActiveControlSite->ListWindow() : ActiveControlSite->TreeWindow());\n", ""))
plant('start-quotes', G, "A quoted start path keeps its quotes (never found)",
      ('app/Startup.cpp', '    if (length >= 2 && commandLine[0] == L\'"\' && commandLine[length - 1] == L\'"\') {', "    if (false) {"))
plant('start-early', G, "The start path gone to before the first Refresh, which then shows the root",
      ('app/Startup.cpp', "        PostMessageW(MainWindowHandle, GoToStartPathMessage, 0, reinterpret_cast<LPARAM>(startPath.Get()));", "        SendMessageW(MainWindowHandle, GoToStartPathMessage, 0, reinterpret_cast<LPARAM>(startPath.Get()));"))
plant('find-table', G, "Ctrl+F does nothing (the second table never translated)",
      ('app/Startup.cpp', "    for (HACCEL table : {accelerators, additionAccelerators})", "    for (HACCEL table : {accelerators})"))
plant('find-in-103', G, "Ctrl+F added to table 103 instead of a table of its own",
      ('resources/kagero.rc', "    VK_RETURN,  CMD_PROPERTIES, VIRTKEY, ALT, NOINVERT\nEND", '    VK_RETURN,  CMD_PROPERTIES, VIRTKEY, ALT, NOINVERT\n    "F",        CMD_FIND,       VIRTKEY, CONTROL, NOINVERT\nEND'))
plant('find-menu-place', G, "Find placed before Select All in the Edit menu",
      ('resources/kagero.rc', '        MENUITEM "すべて選択(&A)\\tCtrl+A",       CMD_SELECT_ALL\n        MENUITEM SEPARATOR\n        MENUITEM "検索(&F)...\\tCtrl+F",          CMD_FIND\n', '        MENUITEM SEPARATOR\n        MENUITEM "検索(&F)...\\tCtrl+F",          CMD_FIND\n        MENUITEM "すべて選択(&A)\\tCtrl+A",       CMD_SELECT_ALL\n'))

# Namespace layer.
plant('oversized', N, "An entry larger than the query buffer ends the listing (it and all after it lost)",
      ('namespace/DirectoryWalk.cpp', "if (needed <= size || needed > MaxEntryBytes)", "if (true)"))
plant('absurd', N, "An absurd size claim is allocated",
      ('namespace/DirectoryWalk.cpp', "if (needed <= size || needed > MaxEntryBytes)", "if (needed <= size)"))
plant('skip-failed', N, "A query failing partway is skipped and the listing goes on",
      ('namespace/DirectoryWalk.cpp',
       "        ended_ = QueryOneEntry(directory_.Get(), buffer_, size_, &context_, spill_, &entry);\n",
       "        ended_ = QueryOneEntry(directory_.Get(), buffer_, size_, &context_, spill_, &entry);\n"
       "        if (ended_ < 0) {\n            ++context_;\n"
       "            ended_ = QueryOneEntry(directory_.Get(), buffer_, size_, &context_, spill_, &entry);\n        }\n"))
plant('index-from-0', N, "Enumeration indexes numbered from 0",
      ('namespace/DirectoryWalk.cpp', "sink.AddListEntry(reader.Position(),", "sink.AddListEntry(reader.Position() - 1,"))
plant('child-cut', N, "A too-long child path cut and walked instead of skipped",
      ('namespace/WideText.cpp', "    const size_t length = directoryLength + separator + nameLength;",
       "    if (capacity > 0 && directoryLength + separator + nameLength >= capacity && directoryLength + separator < capacity)\n"
       "        nameLength = capacity - 1 - directoryLength - separator;\n"
       "    const size_t length = directoryLength + separator + nameLength;"))
plant('double-slash', N, "A doubled backslash after the root",
      ('namespace/WideText.cpp', "directoryLength > 0 && directory[directoryLength - 1] == L'\\\\' ? 0 : 1", "false ? 0 : 1"))
plant('child-fit', N, "A child path one character too long for its buffer accepted",
      ('namespace/WideText.cpp', "    if (length >= capacity) {", "    if (length > capacity) {"))
plant('find-cut', N, "FindDirectoryEntry cuts a too-long name and finds another object",
      ('namespace/DirectoryWalk.cpp', "    if (length >= capacity) {\n        destination[0] = L'\\0';\n        return false;\n    }",
       "    if (length >= capacity) {\n        lstrcpynW(destination, source, capacity);\n        return true;\n    }"))
plant('find-case', N, "FindDirectoryEntry ignores letter case",
      ('namespace/DirectoryWalk.cpp', "if (IsExactly(entry->Name, texts->name)) {",
       "if (lstrcmpiW(entry->Name.Buffer, texts->name) == 0) {"))
plant('find-refused', f'{N} {G}', "A lookup in a refused directory reports the entry missing",
      ('namespace/DirectoryWalk.cpp', "    const NTSTATUS opened = reader.Open(texts->path);\n    if (opened < 0)\n        return opened;",
       "    const NTSTATUS opened = reader.Open(texts->path);\n    if (opened < 0)\n        return STATUS_OBJECT_NAME_NOT_FOUND_NT;"))
plant('find-read-failed', N, "A lookup whose read fails reports the entry missing",
      ('namespace/DirectoryWalk.cpp', "return reader.Ended() == STATUS_NO_MORE_ENTRIES_NT ? STATUS_OBJECT_NAME_NOT_FOUND_NT : reader.Ended();",
       "return STATUS_OBJECT_NAME_NOT_FOUND_NT;"))
plant('find-too-long', N, "A lookup of a name too long for it reports the entry missing",
      ('namespace/DirectoryWalk.cpp', "        return STATUS_NAME_TOO_LONG_NT;", "        return STATUS_OBJECT_NAME_NOT_FOUND_NT;"))
plant('find-prefix', N, "A longer name matches an entry that is its prefix",
      ('namespace/DirectoryWalk.cpp', "    return wanted[length] == L'\\0';", "    return true;"))
plant('tree-case', N, "The tree descends into types named directory in another case",
      ('namespace/DirectoryWalk.cpp', 'IsExactly(entry->TypeName, L"Directory")',
       'lstrcmpiW(entry->TypeName.Buffer, L"Directory") == 0'))
plant('handle-never-closed', N, "A directory handle never closed",
      ('namespace/DirectoryWalk.cpp',
       "NTSTATUS CloseDirectoryHandle(HANDLE handle) { return ActiveDirectoryCalls().close(handle); }",
       "NTSTATUS CloseDirectoryHandle(HANDLE) { return 0; }"))
plant('open-failed-empty', N, "A refused or missing directory listed as empty, status lost",
      ('namespace/DirectoryWalk.cpp', "reader.Open(path);\n    if (opened < 0)\n        return opened;",
       "reader.Open(path);\n    if (opened < 0)\n        return 0;"))
plant('grandparent', N, "A directory inserted under its grandparent",
      ('namespace/DirectoryWalk.cpp', "EnumerateDirectory(level->child, mode, node, sink);",
       "EnumerateDirectory(level->child, mode, parent, sink);"))
plant('refused-ends-walk', N, "A refused subdirectory ends the tree walk",
      ('namespace/DirectoryWalk.cpp', "            EnumerateDirectory(level->child, mode, node, sink);",
       "            if (EnumerateDirectory(level->child, mode, node, sink) < 0)\n                break;"))
plant('find-index', N, "A looked-up record carries an index instead of -1",
      ('namespace/DirectoryWalk.cpp', "MakeEntryRecord(-1, entry->TypeName.Buffer",
       "MakeEntryRecord(reader.Position(), entry->TypeName.Buffer"))
plant('type-case', N, "Type lookup case-sensitive",
      ('namespace/ObjectTypes.cpp', "(plain ? EqualIgnoringCase(typeName, row) : lstrcmpiW(typeName, row) == 0)",
       "(plain ? lstrcmpW(typeName, row) == 0 : lstrcmpW(typeName, row) == 0)"))
plant('type-image', N, "A wrong image in the type table",
      ('namespace/ObjectTypes.cpp', '{L"Job", TypeJob, 16},', '{L"Job", TypeJob, 15},'))
plant('type-order', N, "A wrong code for Event",
      ('namespace/ObjectTypes.cpp', '    {L"Event", TypeEvent, 8},\n    {L"EventPair", TypeEventPair, 8},',
       '    {L"EventPair", TypeEventPair, 8},\n    {L"Event", TypeEvent, 14},'))
plant('generic-image', N, "An unknown type leaves the image unset",
      ('namespace/ObjectTypes.cpp', "        *image = ImageGenericType;\n    if (!typeName)", "        ;\n    if (!typeName)"))
plant('completion-no-code', f'{N} {D}', "An I/O completion object gets no type code (its queue unread)",
      ('namespace/ObjectTypes.cpp', '    {L"IoCompletion", TypeIoCompletion, 2},\n', ''))
plant('directory-mask', N, "A directory opened without READ_CONTROL, query or traverse",
      ('namespace/ObjectOpen.cpp', "        *access |= DirectoryOpenBits;", "        ;"))
plant('link-mask', N, "A link opened without its query bit",
      ('namespace/ObjectOpen.cpp', "        *access |= SymbolicLinkQuery;", "        ;"))
plant('job-mask', N, "A job opened with assign-process kept",
      ('namespace/ObjectOpen.cpp', "*access = (*access & ~JobAssignProcess) | JobQuery;", "*access |= JobQuery;"))
plant('opened-as-file', N, "Type, Port and WindowStation opened as files instead of -1",
      ('namespace/ObjectOpen.cpp', "    case TypeType:\n    case TypePort:\n    case TypeWindowStation:\n"
       "        return {nullptr, false};\n", ""))
plant('share-delete', N, "NtOpenFile without delete sharing",
      ('namespace/ObjectOpen.cpp', "FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE",
       "FILE_SHARE_READ | FILE_SHARE_WRITE"))
plant('handle-overwritten', N, "The caller's handle overwritten on a failed open",
      ('namespace/ObjectOpen.cpp', "    if (status == 0)\n        *handle = opened;", "    *handle = opened;"))
plant('path-cut', N, "A path over 32766 characters cut instead of refused",
      ('namespace/ObjectOpen.cpp', "    const size_t length = static_cast<size_t>(lstrlenW(path));\n"
       "    if (length > 0x7FFE)\n        return STATUS_NAME_TOO_LONG_NT;",
       "    const size_t full = static_cast<size_t>(lstrlenW(path));\n"
       "    const size_t length = full > 0x7FFE ? 0x7FFE : full;"))
plant('open-case', N, "Objects opened with regard to letter case",
      ('namespace/ObjectOpen.cpp', "    attributes_.Attributes = OBJ_CASE_INSENSITIVE;", "    attributes_.Attributes = 0;"))
plant('open-name-length', N, "An open's name counted in characters instead of bytes",
      ('namespace/ObjectOpen.cpp', "    name_.Length = static_cast<USHORT>(length * sizeof(wchar_t));",
       "    name_.Length = static_cast<USHORT>(length);"))
plant('privilege', N, "An unknown privilege reported as enabled",
      ('namespace/ObjectOpen.cpp', "    BOOL adjusted = FALSE;", "    BOOL adjusted = TRUE;"))
plant('abandoned-byte', N, "A mutant's abandoned byte lost",
      ('namespace/ObjectQueries.cpp', "*flags = static_cast<ULONG>(second) & 0xFFFF;",
       "*flags = static_cast<ULONG>(second) & 0xFF;"))
plant('event-swap', N, "Event type and state swapped",
      ('namespace/ObjectQueries.cpp', "QueryState(ActiveObjectCalls().queryEvent, handle, eventType, state);",
       "QueryState(ActiveObjectCalls().queryEvent, handle, state, eventType);"))
plant('semaphore-swap', N, "Semaphore current and maximum swapped",
      ('namespace/ObjectQueries.cpp', "QueryState(ActiveObjectCalls().querySemaphore, handle, currentCount, maximumCount);",
       "QueryState(ActiveObjectCalls().querySemaphore, handle, maximumCount, currentCount);"))
plant('state-zero', N, "A failed state query leaves the caller's values instead of zeros",
      ('namespace/ObjectQueries.cpp', "    LONG fields[2] = {0, 0};\n    ULONG returned = 0;\n"
       "    const NTSTATUS status = query(handle, 0, fields, StateBytes, &returned);\n"
       "    if (status < 0)\n        fields[0] = fields[1] = 0;",
       "    LONG fields[2] = {*first, *second};\n    ULONG returned = 0;\n"
       "    const NTSTATUS status = query(handle, 0, fields, StateBytes, &returned);"))
plant('basic-zero', N, "A failed type query leaves the old name and count",
      ('namespace/ObjectQueries.cpp', "    if (typeNameChars > 0)\n        typeName[0] = L'\\0';\n    *count = 0;", ""))
plant('link-long', N, "A link target over 2048 bytes blank",
      ('namespace/ObjectQueries.cpp', "if (status == STATUS_BUFFER_TOO_SMALL_NT && needed > LinkQueryBytes",
       "if (false && needed > LinkQueryBytes"))
plant('link-stale', N, "A failed target query leaves the old target",
      ('namespace/ObjectQueries.cpp', "    target->Clear();\n", ""))
plant('array-overflow', N, "A growing array's size past what a size_t counts taken (a tiny block, written past its end)",
      ('namespace/GrowingArray.h', "        if (more > most - count_)\n            return false;\n", ""))
plant('array-growth-loses', N, "A growing array loses its contents when it grows",
      ('namespace/GrowingArray.h', "void* grown = items_ ? HeapReAlloc(GetProcessHeap(), 0, items_, wanted * sizeof(T))",
       "void* grown = items_ ? HeapAlloc(GetProcessHeap(), 0, wanted * sizeof(T))"))
plant('owner-move-closes', N, "An owner moved from still closes what it handed over (closed twice)",
      ('namespace/Owned.h', "    Owned(Owned&& other) noexcept : value_(other.Release()) {}",
       "    Owned(Owned&& other) noexcept : value_(other.Get()) {}"))
plant('owner-assign-keeps', N, "An owner given another's value by a move never closes its own",
      ('namespace/Owned.h', "            Reset(other.Release());", "            value_ = other.Release();"))
plant('owner-invalid-closed', N, "A file's owner takes INVALID_HANDLE_VALUE as held and closes it",
      ('namespace/Owned.h', "    static HANDLE Value() { return INVALID_HANDLE_VALUE; }", "    static HANDLE Value() { return nullptr; }"))
plant('file-owner-zero', N, "A failed CreateFile's owner taken as holding a file",
      ('namespace/Owned.h', "using FileHandle = Owned<HANDLE, CloseKernelHandle, InvalidHandleIsEmpty>;",
       "using FileHandle = Owned<HANDLE, CloseKernelHandle>;"))
plant('array-move-keeps', N, "An array moved from keeps its block (freed twice)",
      ('namespace/GrowingArray.h', "    {\n        other.items_ = nullptr;\n        other.count_ = other.capacity_ = 0;\n    }\n",
       "    {\n        other.count_ = other.capacity_ = 0;\n    }\n"))
plant('array-assign-keeps', N, "An array moved from by an assignment keeps its block (freed twice)",
      ('namespace/GrowingArray.h', "            other.items_ = nullptr;\n            other.count_ = other.capacity_ = 0;\n",
       "            other.count_ = other.capacity_ = 0;\n"))
plant('state-failure-hidden', N, "A failed state query reported as read",
      ('namespace/ObjectQueries.cpp', "    *second = fields[1];\n    return status;", "    *second = fields[1];\n    return 0;"))

# Holders of an object.
H, T, C = 'namespace/HandleScan.cpp', 'namespace/SystemTables.cpp', 'namespace/NameCompare.cpp'
plant('holders-self', N, "Our own process's handles listed among the holders",
      (H, "        if (row.pid != self) {\n            rows->Push(row);\n        } else if (own",
          "        rows->Push(row);\n        if (row.pid != self) {\n        } else if (own"))
plant('holders-reused-file', N, "A handle a file took since the snapshot asked its name as the table's type",
      (H, "    if (file)\n        return AskFile(row, copy.Release());\n", ""))
plant('holders-type-ignored', N, "A scan narrowed to one type asks every type",
      (H, "EqualCaseless(typeName.Buffer, typeLength, options_.typeName, wcslen(options_.typeName)) ||", "true ||"))
plant('holders-type-case', N, "A scan narrowed to one type compares its name with regard to case",
      (H, "EqualCaseless(typeName.Buffer, typeLength, options_.typeName, wcslen(options_.typeName)) ||",
       "CompareStringOrdinal(typeName.Buffer, static_cast<int>(typeLength), options_.typeName, -1, FALSE) == CSTR_EQUAL ||"))
plant('holders-path-ignored', N, "A scan narrowed to one path keeps every named handle",
      (H, "(options_.path && CompareKeyCaseless(wanted_.Data(), wanted_.Count(), name, length) != 0))", "(false && CompareKeyCaseless(wanted_.Data(), wanted_.Count(), name, length) != 0))"))
plant('holders-lookup-case', N, "Holders looked up with regard to letter case",
      (C, "const wchar_t y = keys > 1 ? b[i] : UpcaseUnit(b[i]);", "const wchar_t y = keys > 0 ? b[i] : UpcaseUnit(b[i]);"))
plant('holders-prefix', N, "A path's holders include those of longer names it begins",
      (C, "    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);", "    return aLength < bLength ? -1 : 0;"))
plant('holders-name-growth', N, "A name longer than the first query's buffer is lost",
      ('namespace/ObjectQueries.cpp', "status == STATUS_BUFFER_OVERFLOW_NT) && needed > size && needed <= MaxNameBytes) {",
       "status == STATUS_BUFFER_OVERFLOW_NT) && false) {"))
plant('holders-access-column', N, "A handle's attributes shown as its access",
      (H, "                         entry.GrantedAccess, reinterpret_cast<ULONG_PTR>(entry.Object)};", "                         entry.HandleAttributes, reinterpret_cast<ULONG_PTR>(entry.Object)};"))
plant('holders-refused-dropped', N, "A process that cannot be opened silently dropped, not listed as not examined",
      (H, "        return notExamined_.Push(pid) ? 0 : STATUS_NO_MEMORY_NT;", "        return 0;"))
plant('holders-ended-listed', N, "A process that ended after the snapshot listed as not examined",
      (H, "    if (status == STATUS_INVALID_CID_NT || status == STATUS_INVALID_PARAMETER_NT ||\n        status == STATUS_PROCESS_IS_TERMINATING_NT) {",
       "    if (false) {"))
plant('holders-dups-refused', N, "A process none of whose handles could be duplicated counted as examined",
      (H, "        else if (!notExamined_.Push(pid))\n            return STATUS_NO_MEMORY_NT;", ""))
plant('holders-gone-listed', N, "A process whose handles are all gone listed as not examined",
      (H, "bool IsGone(NTSTATUS status) { return status == STATUS_INVALID_HANDLE_NT || status == STATUS_PROCESS_IS_TERMINATING_NT; }",
       "bool IsGone(NTSTATUS) { return false; }"))
plant('holders-one-gone-ends', N, "One handle closed since the snapshot ends its process's scan",
      (H, "        ++tried;\n", "        ++tried;\n        if (duplication < 0)\n            break;\n"))
plant('holders-process-leak', N, "A process opened to duplicate from never closed",
      (H, "    ScanHandle process;\n    *process.Receive() = opened;",
       "    struct { HANDLE held; HANDLE Get() const { return held; } } process = {opened};"))
plant('holders-duplicate-leak', N, "A duplicated handle never closed",
      (H, "    ScanHandle copy;\n    *copy.Receive() = raw;", "    struct { HANDLE held; HANDLE Get() const { return held; } } copy = {raw};"))
plant('holders-refused-closed', N, "What a refused process open wrote is closed as a handle",
      (H, "    HANDLE opened = nullptr;\n", "    ScanHandle kept;\n    HANDLE& opened = *kept.Receive();\n"))
plant('holders-stop', N, "A stop asked for does not end the scan",
      (H, "bool Stopped(volatile LONG* stop) { return stop && *stop != 0; }", "bool Stopped(volatile LONG*) { return false; }"))
plant('holders-held-by', N, "Any holder taken for one of the processes asked about",
      (H, "            if (items_[i].pid == pids[p])", "            if (pids[p] != 0)"))
plant('holders-processes-count', N, "The processes holding an object counted per handle",
      (H, "        processes += i == first || items_[i].pid != items_[i - 1].pid;", "        processes += 1;"))
plant('holders-table-bound', N, "The handle table's buffer grows past its bound to what the call claims",
      (T, "        if (next > MaxSystemTableBytes)\n            return STATUS_INFO_LENGTH_MISMATCH_NT;\n", ""))
plant('holders-table-attempts', N, "The handle table's query tried without a limit while it does not fit",
      (T, "    for (int attempt = 0; attempt < TableAttempts; ++attempt) {",
       "    for (int attempt = 0; attempt < TableAttempts * 4; ++attempt) {"))
plant('holders-parent-pid', N, "Each program name filed under its parent's pid",
      (T, "reinterpret_cast<ULONG_PTR>(head.UniqueProcessId)", "reinterpret_cast<ULONG_PTR>(head.InheritedFromUniqueProcessId)"))
plant('holders-pid-overflow', N, "A pid over 32 bits wraps round to another process",
      (T, "        if (value > 0xFFFFFFFFull)\n            return false;\n", ""))
plant('holders-exe-required', N, "A program name matches only with its .exe",
      (T, "    return length >= 4 && EqualCaseless(name + length - 4, 4, L\".exe\", 4) ? length - 4 : length;",
       "    return name ? length : length;"))
plant('holders-program-case', N, "Program names compared with regard to case",
      (T, "EqualCaseless(name, stem, text, textStem);",
       "CompareStringOrdinal(name, int(stem), text, int(textStem), FALSE) == CSTR_EQUAL;"))

# Holders of files, pipes and devices.
Q, V, E, W = 'namespace/NameQueryThread.cpp', 'namespace/FileDevices.cpp', 'dump/EntryHolders.cpp', 'dump/DumpWalk.cpp'
plant('files-dropped', f'{N} {D}', "File handles left out of the holders (a device shows nobody)",
      (H, "    if (file)\n        return AskFile(row, copy.Release());", "    if (file) {\n        CloseScanHandle(copy.Release());\n        return 0;\n    }"))
plant('files-link-unfollowed', f'{N} {D}', "A file named through a link not resolved to its device",
      (V, "        // A link: its target takes the place", "        return false;\n        // A link: its target takes the place"))
plant('files-stuck-uncounted', N, "A file whose name did not come in time not counted",
      (H, "        ++letGo_;\n        CountStuck(row.pid);", "        ++letGo_;"))
plant('files-stuck-unbounded', N, "Query threads left waiting without bound",
      (Q, "if (!shared_ && Stuck < MostStuckQueries) {", "if (!shared_) {"))
plant('files-stop-awaits-name', G, "A scan stopped while a file's name is awaited waits for the name, which may never come",
      (Q, "    const bool stopped = stop && *stop;\n", "    const bool stopped = stop && *stop;\n    if (stopped)\n        WaitForSingleObject(shared_->answered, INFINITE);\n"))
plant('files-access-by-device', G, "A file's handle in the holders window named by its device's rights",
      ('holders/HolderRows.cpp', "    if (held.file)\n        DescribeFileAccess", "    if (false)\n        DescribeFileAccess"))
plant('files-access-full-control', S, "A file's handle said to have full control when it has less",
      ('security/AccessRights.cpp', "DescribeWith(&FileAccessRow, FileAccessRow.validMask,", "DescribeWith(&FileAccessRow, DefaultValidAccess,"))
plant('holders-number-kept', N, "The handles of the chosen type's number left out, the others asked",
      ('namespace/HandleScan.h', "row.type == chosenNumber_; }", "row.type != chosenNumber_; }"))
plant('files-reused-verdict', N, "A value reused by a file since the snapshot drops its whole type's holders",
      (H, "bool Stopped(volatile LONG* stop)", "USHORT SkippedType = 0xFFFF;\nbool Stopped(volatile LONG* stop)"),
      (H, "        if (!Asked(rows[i]))\n            continue;\n",
       "        if (!Asked(rows[i]) || rows[i].type == SkippedType)\n            continue;\n"),
      (H, "    if (!chosen)\n        return 0;\n    if (file)", "    if (!chosen) {\n        SkippedType = row.type;\n        return 0;\n    }\n    if (file)"))
plant('files-json-field', D, "A file's handle without its \"file\" field in JSON",
      (E, "        if (handle.file) {", "        if (false) {"))
plant('files-line-whole-device', D, "A file's line lists the holders of its whole device",
      (E, "        if (holding.file && (!handle.file", "        if (false && (!handle.file"))
plant('files-path-listed', D, "A file's PATH without --holders not refused (exit 0)",
      (W, "        refused_ = true;", "        refused_ = false;"))
plant('files-stuck-unsaid', D, "Files whose names did not come in time not said by kagero-dump",
      (W, "        if (status >= 0 && holders.Scan().Counts().stuckNames > 0)\n", "        if (false)\n"))
plant('files-self-unsaid', D, "--held-by of kagero-dump alone says nothing",
      (E, "    return choosing_ && chosen_.Count() > 0;", "    return false;"))
plant('files-address-unused', N, "A table with addresses still matched by name, every handle duplicated",
      (H, "            *address = row.object;\n", ""))
plant('files-address-any', N, "Address matching keeps the handles of every object",
      (H, "        if (rows[i].object == address && !Keep(", "        if (rows[i].object != 0 && !Keep("))
plant('files-window-column', G, "The holders window's ファイル column left empty",
      ('holders/HolderRows.cpp', "        shown = held.file ? held.file : L\"\";", "        shown = L\"\";"))
plant('files-window-stuck', G, "The holders window says nothing of names that did not come in time",
      ('holders/HoldersWindow.cpp', "    if (scan.Counts().stuckNames > 0)", "    if (false)"))

# Names compared as the kernel compares them, and the child a path's name opens.
plant('compare-linguistic', f'{N} {D}', "Names compared as the user's language compares them (\u00df taken for SS, the Kelvin sign for K)",
      (C, "    return CompareUnits(a, aLength, b, bLength, 0);",
       "    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, int(aLength), b, int(bLength)) - CSTR_EQUAL;"))
plant('compare-key-linguistic', N, "Holders looked up as the user's language compares names",
      (C, "    return CompareUnits(key, keyLength, b, bLength, 1);",
       "    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, key, int(keyLength), b, int(bLength)) - CSTR_EQUAL;"))
plant('compare-first-unit', N, "Only a name's first unit upper-cased before the comparison",
      (C, "        const wchar_t x = keys > 0 ? a[i] : UpcaseUnit(a[i]);", "        const wchar_t x = keys > 0 || i > 0 ? a[i] : UpcaseUnit(a[i]);"))
plant('pick-linguistic', f'{N} {D} {G}', "A path's name matched to a child as the user's language compares names",
      (C, "!picked_ && !exactOnly_ && EqualCaseless(candidate, length, name_, length_)",
       "!picked_ && !exactOnly_ && lstrcmpiW(candidate, name_) == 0"))
plant('pick-exact-late', N, "An exact name after a caseless match loses to it",
      (C, "    const bool pick = exact_ || (", "    const bool pick = (exact_ && !picked_) || ("))
plant('pick-last-caseless', N, "The last caseless match picked instead of the first",
      (C, "exact_ || (!picked_ && !exactOnly_ && EqualCaseless(", "exact_ || (!exactOnly_ && EqualCaseless("))

# kagero-dump's holders.
E, W, K = 'dump/EntryHolders.cpp', 'dump/WatchLoop.cpp', 'dump/DumpWalk.cpp'
plant('dholders-per-handle', D, 'A holder written once per handle, not once per process',
      (E, 'const bool opens = written++ == 0 || handle.pid != previous;', 'const bool opens = written++ == 0 || handle.pid == handle.pid;'))
plant('dholders-held-by-ignored', D, '--held-by lists every entry',
      (E, '    if (!choosing_)\n        return true;', '    if (true)\n        return true;'))
plant('dholders-unknown-taken', D, 'A --held-by program that is not running taken (nothing listed, exit 0)',
      (E, 'if (processes.Match(options.heldBy[i], &pids) && pids.Count() == 0)', 'if (processes.Match(options.heldBy[i], &pids) && false)'))
plant('dholders-unseen-exit', D, 'A process not examined exits 0',
      (K, '    return unseen || !whole ? 1 : code;', '    return !whole ? 1 : code;'))
plant('dholders-unseen-json', D, 'A process not examined missing from the JSON output',
      (K, '        ByteBuffer* object = options.json ? &output.Buffer() : nullptr;', '        ByteBuffer* object = nullptr;'))
plant('dholders-link-root', D, 'A PATH reached through a link finds no holders',
      (K, '    if (status >= 0 && holders_)\n        paths_.SetRoot(typed);', '    if (false)\n        paths_.SetRoot(typed);'))
plant('dholders-link-own', D, 'A PATH that is no directory, reached through a link, finds no holders',
      (K, '        paths_.SetRoot(parent.Get());', '        (void)parent;'))
plant('dholders-empty-omitted', D, 'An entry no one holds written without its holders field',
      (K, 'options_.holders ? &holding : nullptr;', 'options_.holders && holding.count ? &holding : nullptr;'))
plant('dholders-access-value', D, "A handle's value written as its access",
      (E, 'out.Append(FormatHex(handle.access, 8, hex));', 'out.Append(FormatHex(handle.value, 8, hex));'))
plant('dholders-no-table-walks', D, 'A handle table that cannot be read leaves the walk going, every entry unheld (exit 0)',
      (K, '        if (status < 0) {\n            output.Flush();\n            return 1;\n        }\n', ''))
plant('dholders-limit', D, 'A 17th --held-by taken (past the end of its array)',
      ('dump/DumpOptions.cpp', 'options->heldByCount >= MaximumHeldBy', 'options->heldByCount > MaximumHeldBy'))
plant('dholders-json-empty', D, 'No holders written as an unclosed JSON array',
      (E, 'out.Append(!json ? "" : written > 0 ? "]}]" : "]");', 'out.Append(!json ? "" : "]}]");'))
plant('dwatch-deleted-now', D, 'A deleted entry chosen by the holders of the look that misses it (never reported)',
      (W, 'holders_[created ? 1 - before_ : before_]', 'holders_[1 - before_]'))
plant('dwatch-created-bare', D, 'A created entry written without its holders',
      (W, 'const EntryHolding* shown = options_.holders ? &holding : nullptr;', 'const EntryHolding* shown = options_.holders && false ? &holding : nullptr;'))
plant('dwatch-unseen-repeated', D, 'A process not examined said at every look',
      (W, 'known = before[j] == now[i];', 'known = false;'))
plant('dwatch-scan-once', D, 'The watch scans the handles at its first look only',
      (W, 'scanned = holders_[now].Take(options_);', 'scanned = first ? holders_[now].Take(options_) : 0;'))

# Access rights and the security provider.
plant('row-mask', S, "A type's valid mask wrong",
      ('security/AccessRights.cpp', "{TypeDirectory, 0x010F000F,", "{TypeDirectory, 0x000F000F,"))
plant('row-name', S, "A right's name wrong",
      ('security/AccessRights.cpp', '{0x8, L"サブディレクトリの作成"}', '{0x8, L"サブディレクトリ作成"}'))
plant('event-names-swapped', S, "Two right names swapped in the Event row",
      ('security/AccessRights.cpp', "{TypeEvent, 0x011F0003, {{0x1, QueryInformation}, {0x2, Modify}}},",
       "{TypeEvent, 0x011F0003, {{0x1, Modify}, {0x2, QueryInformation}}},"))
plant('generic-first', S, "Generic names looked up before the type's own",
      ('security/AccessRights.cpp',
       "    if (row)\n"
       "        for (const AccessRightName& entry : row->entries)\n"
       "            if (entry.mask & mask)\n                return CopyName(entry.name, text, capacity);\n"
       "    for (const AccessRightName& entry : GenericAccessNames)\n"
       "        if (entry.mask & mask)\n            return CopyName(entry.name, text, capacity);",
       "    for (const AccessRightName& entry : GenericAccessNames)\n"
       "        if (entry.mask & mask)\n            return CopyName(entry.name, text, capacity);\n"
       "    if (row)\n"
       "        for (const AccessRightName& entry : row->entries)\n"
       "            if (entry.mask & mask)\n                return CopyName(entry.name, text, capacity);"))
plant('name-fit', S, "A name that does not fit with its terminator accepted",
      ('security/AccessRights.cpp', "if (!text || length >= capacity)", "if (!text || length > capacity)"))
plant('no-row', S, "A type without a row leaves the row index unset",
      ('security/AccessRights.cpp', "    *row = NoAccessRow;\n    for", "    for"))
plant('read-mask', S, "The provider reads without ACCESS_SYSTEM_SECURITY",
      ('properties/ObjectSecurityInfo.cpp',
       "OpenObjectByType(objectPath_.Get(), typeCode_, OpenForInformation, object.Receive())",
       "OpenObjectByType(objectPath_.Get(), typeCode_, OpenForQuery | READ_CONTROL, object.Receive())"))
plant('write-audit', S, "Every write asks for ACCESS_SYSTEM_SECURITY",
      ('properties/ObjectSecurityInfo.cpp',
       "(information & SACL_SECURITY_INFORMATION) ? OpenForAuditWrite : OpenForSecurityWrite", "OpenForAuditWrite"))
plant('write-no-audit', S, "An audit write without ACCESS_SYSTEM_SECURITY",
      ('properties/ObjectSecurityInfo.cpp',
       "(information & SACL_SECURITY_INFORMATION) ? OpenForAuditWrite : OpenForSecurityWrite", "OpenForSecurityWrite"))
plant('result-rule', S, "The result rule: -1 converted instead of passed unchanged",
      ('properties/ObjectSecurityInfo.cpp', "if (static_cast<LONG>(error) <= 0)", "if (error == 0)"))
plant('result-efail', S, "A failed open reported as E_FAIL",
      ('properties/ObjectSecurityInfo.cpp',
       "HRESULT FromOpenStatus(NTSTATUS status) { return FromWin32(RtlNtStatusToDosError(status)); }",
       "HRESULT FromOpenStatus(NTSTATUS) { return E_FAIL; }"))
plant('provider-freed-twice', S, "The provider freed twice (the sheet's reference not taken first)",
      ('properties/ObjectSecurityInfo.cpp',
       "    // reference of its own while failing must not bring the count to 0.\n    AddRef();",
       "    // reference of its own while failing must not bring the count to 0."))
plant('provider-never-freed', S, "The provider never freed",
      ('properties/ObjectSecurityInfo.cpp', "    if (left == 0)\n        delete this;", ""))
plant('provider-path-cut', S, "A long path cut to 260 characters and opened",
      ('properties/ObjectSecurityInfo.cpp', "objectPath_.Assign(fullPath)",
       "objectPath_.Assign(fullPath, lstrlenW(fullPath) > 260 ? 260 : lstrlenW(fullPath))"))
plant('provider-handle-leak', S, "The provider's handle never closed after a read",
      ('properties/ObjectSecurityInfo.cpp', "    return ReadKernelSecurity(object.Get(), requested, descriptor);",
       "    const HRESULT read = ReadKernelSecurity(object.Get(), requested, descriptor);\n"
       "    *reinterpret_cast<HANDLE*>(&object) = nullptr;\n    return read;"))
plant('qi-reference', S, "QueryInterface takes no reference",
      ('properties/ObjectSecurityInfo.cpp', "        *object = static_cast<ISecurityInformation*>(this);\n        AddRef();",
       "        *object = static_cast<ISecurityInformation*>(this);"))
plant('qi-guid', S, "QueryInterface answers a near-miss interface",
      ('properties/ObjectSecurityInfo.cpp', "return memcmp(&a, &b, sizeof(GUID)) == 0;", "return memcmp(&a, &b, 12) == 0;"))
plant('map-generic', S, "MapGeneric maps GENERIC_READ to all rights",
      ('properties/ObjectSecurityInfo.cpp', "if (*mask & GENERIC_ALL)", "if (*mask & (GENERIC_ALL | GENERIC_READ))"))
plant('hex-name', S, "An unnamed bit offered under a short number",
      ('properties/ObjectSecurityInfo.cpp', 'L"0x%08X"', 'L"%X"'))
plant('editor-flags', S, "The editor offered no audit page",
      ('properties/ObjectSecurityInfo.cpp', "const DWORD EditorFlags = 0x00000713;", "const DWORD EditorFlags = 0x00000703;"))

# kagero-dump.
plant('dump-case', D, "Dump order case-sensitive",
      ('dump/DirectoryEntries.cpp', "a.plain && b.plain ? CompareUpper(first, second) : lstrcmpiW(first, second)",
       "wcscmp(first, second)"))
plant('dump-plain-case', D, "The plain-name fast path orders by case",
      ('dump/DirectoryEntries.cpp',
       "wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }",
       "wchar_t Upper(wchar_t c) { return c; }"))
plant('type-folds', D, "--type compares case",
      ('dump/DumpWalk.cpp', "typeMatches = EqualCaseless(typeName, options_.types[t]);",
       "typeMatches = lstrcmpW(typeName, options_.types[t]) == 0;"))
plant('depth', D, "--depth one level too deep",
      ('dump/DumpWalk.cpp', "frame.depth < options_.maxDepth", "frame.depth <= options_.maxDepth"))
plant('filter-descent', D, "Filters stop the walk descending",
      ('dump/DumpWalk.cpp', "    if (!descend && !selected)\n        return;", "    if (!selected)\n        return;"))
plant('surrogate', D, "An unpaired surrogate in JSON replaced by U+FFFD",
      ('dump/TextEncoding.cpp', "    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {\n"
       "        at = AppendUnicodeEscape(at, unit);",
       "    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {\n        at = AppendUtf8(at, 0xFFFD);"))
plant('exit-refused', D, "A refused directory exits 0",
      ('dump/DumpWalk.cpp', "    errors_.Flush();\n    failed_ = true;", "    errors_.Flush();"))
plant('exit-bad', D, "A bad command line exits 1",
      ('dump/DumpWalk.cpp', "    errors.Flush();\n    return 2;", "    errors.Flush();\n    return 1;"))
plant('stop-refused', D, "A refused directory ends the walk",
      ('dump/DumpWalk.cpp', "while (top_ && !output_.Broken())", "while (top_ && !output_.Broken() && !failed_)"))
plant('broken-pipe', D, "A reader that went away exits 0",
      ('dump/DumpWalk.cpp', "return failed_ || output_.Broken() ? 1 : 0;", "return failed_ ? 1 : 0;"))
plant('dump-target', D, "A link's target missing from the dump",
      ('dump/EntryReader.cpp', "                facts.target = target.Get();", ""))
plant('details-abandoned', D, "--details reports owned as abandoned",
      ('dump/EntryLine.cpp', "return (static_cast<ULONG>(state.second) & 0xFF00) != 0;",
       "return (static_cast<ULONG>(state.second) & 0x00FF) != 0;"))
plant('control-picture', D, "A control character breaks the text line",
      ('dump/TextEncoding.cpp', "return AppendUtf8(at, unit == 0x7F ? 0x2421 : 0x2400 + unit);",
       "return AppendUtf8(at, unit);"))
plant('path-relative', D, "A PATH without its leading backslash handed to the kernel",
      ('dump/DumpOptions.cpp', "    case PathSyntax::NoLeadingSeparator:\n        return Bad(error, MessageText(Msg::NoLeadingSeparator), argument);\n",
       ""))
plant('path-doubled', D, "Two backslashes in a row in PATH handed to the kernel",
      ('dump/DumpOptions.cpp', "    case PathSyntax::DoubledSeparator:\n        return Bad(error, MessageText(Msg::DoubledSeparator), argument);\n", ""))
plant('path-trailing', D, "A trailing backslash after a directory refused",
      ('dump/DumpOptions.cpp', "    if (length > 1 && argument[length - 1] == L'\\\\')\n        --length;\n", ""))
plant('help-slash', D, "/? taken as a path",
      ('dump/DumpOptions.cpp', ' || Is(argument, L"/?")', ""))
plant('own-line', D, "A PATH that is no directory prints no line of its own",
      ('dump/DumpWalk.cpp', "        Emit(ownPath, entries.TypeName(found), holding, matched);", "        (void)ownPath;"))
plant('own-line-filters', D, "A PATH that is no directory printed past --type and --find",
      ('dump/DumpWalk.cpp', "    if (Selected(ownName, ownLength, entries.TypeName(found)) && matched && Held(", "    if (ownLength && matched && Held("))
plant('own-line-case', D, "A PATH that is no directory looked up by its exact name only",
      ('dump/DumpWalk.cpp', "    ChildPick pick(name);\n    for (size_t i = 0; i < entries.Count()",
       "    ChildPick pick(name, true);\n    for (size_t i = 0; i < entries.Count()"))
plant('path-json-error', D, "PATH's own failure gives no JSON error record",
      ('dump/DumpWalk.cpp', "    if (options_.json)\n        AppendListingFailure", "    if (options_.json && top_)\n        AppendListingFailure"))
plant('path-words', D, "A missing directory on the way to PATH shown as a bare status",
      ('dump/StatusText.cpp', "    {true, true, WideMsg::ListingFailedCode},", "    {true, false, WideMsg::ListingFailedCode},"))
plant('type-unchecked', D, "An unknown --type name taken (nothing printed, exit 0)",
      ('dump/TypeCheck.cpp', "for (int t = 0; t < options.typeCount; ++t)", "for (int t = 0; t < 0; ++t)"))
plant('type-list', D, "An unknown --type name's line names no system type",
      ('dump/DumpWalk.cpp', "    if (types) {", "    if (!types) {"))
plant('type-fallback', D, "Every --type name refused where \\ObjectTypes cannot be read",
      ('dump/TypeCheck.cpp', "    if (ListDirectoryEntries(L\"\\\\ObjectTypes\", types) < 0 || !types.Complete() || types.Count() == 0)\n"
       "        return nullptr;", "    ListDirectoryEntries(L\"\\\\ObjectTypes\", types);"))
plant('watch-replaced', D, "An object replaced by one of another type under the same name not reported",
      ('dump/SubtreeSnapshot.cpp', "    if (wcscmp(a.Type(i), b.Type(j)) != 0 || (a.Target(i)", "    if ((a.Target(i)"))
plant('watch-link-target', D, "A link's target missing from the watch",
      ('dump/DumpWalk.cpp', "sink_->Entry(path, typeName, link ? &target : nullptr);", "sink_->Entry(path, typeName, nullptr);"))
plant('watch-first-look', D, "The watch's first look printed as created",
      ('dump/WatchLoop.cpp', "    if (whole && !first && scanned >= 0)\n        Compare(", "    if (whole && scanned >= 0)\n        Compare("))
plant('watch-failure-repeated', D, "A directory that cannot be listed reported at every look",
      ('dump/WatchLoop.cpp', "if (!Holds(before, now, j) && now.PathText(j, &path))", "if (now.PathText(j, &path))"))
plant('watch-refused-deleted', D, "The entries of a directory that cannot be listed reported deleted",
      ('dump/WatchLoop.cpp', "        now_.AddBelow(before_, path);\n", ""))
plant('watch-listable-unsaid', D, "A directory that can be listed again not said",
      ('dump/WatchLoop.cpp', "                recovered_.Add(path, known.Length(), L\"\", nullptr);", "                (void)known;"))
plant('watch-reader-gone', D, "A reader that leaves unnoticed while nothing changes",
      ('dump/WatchLoop.cpp', "GetFileType(outputHandle_) == FILE_TYPE_PIPE && !WriteFile", "false && !WriteFile"))
plant('watch-path-gone', D, "The watch goes on after PATH is gone",
      ('dump/WatchLoop.cpp', "const bool gone = whole && (IsGone(rootStatus) ||", "const bool gone = whole && ("))
plant('watch-order', D, "The watch compares a directory after its entries",
      ('dump/SubtreeSnapshot.cpp', "return (i < aLength ? 1 : 0) - (j < bLength ? 1 : 0);", "return (j < bLength ? 1 : 0) - (i < aLength ? 1 : 0);"))
plant('watch-details', D, "A created entry written without what --details reads",
      ('dump/WatchLoop.cpp', "    if (created && options_.details) {", "    if (false) {"))
plant('watch-interval', D, "An --interval under 100 ms taken",
      ('dump/DumpOptions.cpp', "    if (parsed < minimum)\n", "    if (parsed < 0)\n"))
plant('watch-audit', D, "A watch with --writable-by taken (its created and deleted lines would disagree)",
      ('dump/DumpOptions.cpp', "if (options->watch && (options->security", "if (false && (options->security"))

# kagero-dump's security audit and more details.
plant('dacl-null', S, 'A NULL DACL taken to grant nothing',
      ('security/AccessEngine.cpp', '        result.granted = MapGenericBits(GENERIC_ALL, mapping);\n        return true;',
       '        result.granted = 0;\n        return true;'))
plant('dacl-deny-first', S, 'A deny before an allow does not hold (the later allow grants the denied right)',
      ('security/AccessEngine.cpp', '        step.change = step.mask & ~*denied & ~*allowed;',
       '        step.change = step.mask & ~*allowed;'))
plant('dacl-inherit-only', S, 'Inherit-only entries applied to the object itself',
      ('security/AccessEngine.cpp', '    if (header->AceFlags & InheritOnly)\n        return step;', '    if (false)\n        return step;'))
plant('dacl-generic', S, "GENERIC_ALL in an entry not mapped to the type's rights",
      ('security/AccessEngine.cpp', '    if (mask & GENERIC_ALL)\n        mapped |= mapping.GenericAll;\n',
       ''))
plant('owner-implicit', S, "The owner's implicit WRITE_DAC missing",
      ('security/AccessEngine.cpp', '        allowed = result.ownerGranted = READ_CONTROL | WRITE_DAC;',
       '        allowed = result.ownerGranted = READ_CONTROL;'))
plant('owner-rights', S, "An OWNER RIGHTS entry leaves the owner's implicit rights in place",
      ('security/AccessEngine.cpp', '    if (result.owner && !result.ownerRightsEntry)', '    if (result.owner)'))
plant('read-control-changes', S, 'READ_CONTROL counted as a right that changes the object',
      ('security/AccessCheck.cpp', '~(READ_CONTROL | SYNCHRONIZE | generic)',
       '~(SYNCHRONIZE | generic)'))
plant('dacl-generic-write', S, "GENERIC_WRITE in an entry not mapped to the type's rights",
      ('security/AccessEngine.cpp', '    if (mask & GENERIC_WRITE)\n        mapped |= mapping.GenericWrite;\n', ''))
plant('dacl-generic-execute', S, "GENERIC_EXECUTE in an entry not mapped to the type's rights",
      ('security/AccessEngine.cpp', '    if (mask & GENERIC_EXECUTE)\n        mapped |= mapping.GenericExecute;\n', ''))
plant('dacl-mapped-as-event', S, "Every type's generic rights mapped as an event's",
      ('security/AccessEngine.cpp', 'MapGenericBits(reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask, mapping)',
       'MapGenericBits(reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask, DocumentedGenericMapping(TypeEvent, nullptr))'),
      ('security/AccessEngine.cpp', '#include "AccessCheck.h"\n', '#include "AccessCheck.h"\n#include "ObjectTypes.h"\n'))
plant('owner-rights-others', S, "An OWNER RIGHTS entry applied to accounts that do not own the object",
      ('security/AccessEngine.cpp', 'if (step.matched == NoMatch && owner && EqualSid(', 'if (step.matched == NoMatch && EqualSid('))
plant('owner-everyone', S, "An object owned by Everyone gives no account the owner's rights",
      ('security/AccessEngine.cpp', '    result.owner = parts.owner && sids.Find(parts.owner, true, &counts) != NoMatch && counts;',
       '    result.owner = parts.owner && sids.Find(parts.owner, true, &counts) == 0 && counts;'))
plant('synchronize-changes', S, "SYNCHRONIZE counted as a right that changes a device or file",
      ('security/AccessCheck.cpp', '~(READ_CONTROL | SYNCHRONIZE | generic)', '~(READ_CONTROL | generic)'))
plant('mapping-job-write', S, "A job's terminate right not counted as one that changes it",
      ('security/AccessCheck.cpp', '{Read | 0x4, Read | 0xB,', '{Read | 0x4, Read | 0x3,'))
plant('completion-mapping', S, "An I/O completion object gets the generic rights alone where the kernel gives no mapping",
      ('security/AccessCheck.cpp', '    {TypeIoCompletion, {Read | 0x1,', '    {TypeUnknown, {Read | 0x1,'))
plant('mapping-file', S, "A file mapped as a type without a row, not as a device",
      ('security/AccessCheck.cpp', 'if (typeName && wcscmp(typeName, L"File") == 0)', 'if (false)'))
# The access engine's passes, the integrity check and the reasons kagero-dump gives.
AE = 'security/AccessEngine.cpp'
plant('deny-only-allows', S, "A deny-only group's allow entries grant",
      (AE, 'if (allow ? SidAppliesToAllow(attributes) : SidAppliesToDeny(attributes)) {', 'if (SidAppliesToDeny(attributes)) {'))
plant('deny-only-denies-ignored', S, "A deny-only group's deny entries ignored",
      (AE, 'if (allow ? SidAppliesToAllow(attributes) : SidAppliesToDeny(attributes)) {', 'if (SidAppliesToAllow(attributes)) {'))
plant('restricted-ignored', S, "A restricted subject's restricting SIDs never checked",
      (AE, '    if (subject.Restricted()) {', '    if (false) {'))
plant('write-restricted-all', S, "A write-restricted subject's restricting SIDs checked for every right",
      (AE, 'subject.WriteRestricted() ? restricted | ~SpecificPart(mapping.GenericWrite) : restricted', 'restricted'))
plant('package-ignored', S, "An AppContainer subject gets what its user and groups get",
      (AE, '    if (subject.AppContainer()) {', '    if (false) {'))
plant('package-any-ignored', S, "An entry for ALL APPLICATION PACKAGES grants an AppContainer nothing",
      (AE, 'i == 1 ? const_cast<BYTE*>(Known().allPackages)', 'i == 1 ? subject_.Package()'))
plant('integrity-policy-ignored', S, "A subject whose mandatory policy is off still held back by labels",
      (AE, '(subject.MandatoryPolicy() & TOKEN_MANDATORY_POLICY_NO_WRITE_UP) &&', 'true &&'))
plant('integrity-equal-held', S, "A subject at the object's own level held back by its label",
      (AE, 'subject.Integrity() < integrity->objectLevel;', 'subject.Integrity() <= integrity->objectLevel;'))
plant('no-write-up-keeps-standard', S, "No-write-up leaves a lower subject DELETE, WRITE_DAC and WRITE_OWNER",
      (AE, '        integrity->removed |= ChangingRights(mapping);', '        integrity->removed |= SpecificPart(mapping.GenericWrite);'))
plant('no-read-up-ignored', S, "A label's no-read-up not applied",
      (AE, '        integrity->removed |= SpecificPart(mapping.GenericRead);\n', '        (void)0;\n'))
plant('no-execute-up-ignored', S, "A label's no-execute-up not applied",
      (AE, '        integrity->removed |= SpecificPart(mapping.GenericExecute);\n', '        (void)0;\n'))
plant('label-inherit-only', S, "An inherit-only label taken for the object's own",
      (AE, 'if (found || header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE || (header->AceFlags & InheritOnly))',
       'if (found || header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)'))
plant('label-default-low', S, "An object without a label taken as Low (a Low subject may change it)",
      (AE, '    *level = IntegrityMedium;\n    *policy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;\n    if (!sacl)',
       '    *level = IntegrityLow;\n    *policy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;\n    if (!sacl)'))
DS = 'dump/DumpSubjects.cpp'
plant('logon-without-users', S + ' ' + D, "An account's logon without Users (its allows and denies missed)",
      ('security/AccessSubject.cpp', '    {5, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS},\n', ''))
plant('details-uncounted-zeros', D, "--details writes zero handles and references when the basic query failed",
      ('dump/EntryReader.cpp', '    state->counted = QueryBasicInformation(object, &basic, ObjectBasicInformationBytes) >= 0;',
       '    state->counted = QueryBasicInformation(object, &basic, ObjectBasicInformationBytes) >= 0 || true;'))
plant('details-state-zeros', D, "--details writes an event's, mutant's or semaphore's state when its query failed",
      ('dump/EntryReader.cpp', '    if (status < 0)\n        state->kind = ObjectState::Plain;', '    (void)status;'))
plant('watch-start-unsaid', D, "A watch never says that its first look is taken (a script cannot know when changes count)",
      ('dump/WatchLoop.cpp', '    if (code < 0) {\n        AppendFailureLine(errors_.Buffer(), root_, WideMessageText(WideMsg::Watching));',
       '    if (false) {\n        AppendFailureLine(errors_.Buffer(), root_, WideMessageText(WideMsg::Watching));'))
plant('account-as-group', D, "A user account evaluated as a group (its groups and logon SIDs left out)",
      ('dump/DumpOptions.cpp', '    request.user = use == SidTypeUser;', '    request.user = false;'))
plant('integrity-modifier-ignored', D, "--integrity not applied to the subjects",
      (DS, '    if (modifiers.integritySet)\n        subject->SetIntegrity', '    if (false)\n        subject->SetIntegrity'))
plant('by-null-unsaid', D, "by= does not say a NULL DACL gave the rights",
      ('dump/EntryExtras.cpp', '    if (nullDacl)\n        out.Append(', '    if (false)\n        out.Append('))
plant('by-subject-unnamed', D, "With two subjects the JSON reasons do not say whose they are",
      ('dump/EntryExtras.cpp', 'if (security.subjects && security.subjects->Count() > 1) {', 'if (security.subjects && security.subjects->Count() > 2) {'))
plant('elevated-without-account', D, "--elevated without a user account taken (exit 0)",
      ('dump/DumpOptions.cpp', '    if (modifiers.elevated && !account)', '    if (false)'))
plant('capability-without-package', D, "--capability without --appcontainer taken (exit 0)",
      ('dump/DumpOptions.cpp', '    if (modifiers.capabilityCount > 0 && !modifiers.appContainer)', '    if (false)'))
plant('subject-process-missing', D, "--writable-by-process naming no process is exit 1 without words, not 2",
      (DS, '        if (processes.Match(request.text, &pids) && pids.Count() == 0)\n            return request.text;',
       '        if (processes.Match(request.text, &pids) && pids.Count() == 0)\n            return nullptr;'))
plant('explain-first-subject-only', D, "--explain explains the first subject alone",
      (K, '    for (size_t i = 0; i < subjects.Count() && !output.Broken(); ++i) {', '    for (size_t i = 0; i < 1 && !output.Broken(); ++i) {'))
# Who asks for access: a token's subject, an account's and a group's logons, levels, capabilities and packages.
SU = 'security/AccessSubject.cpp'
plant('subject-user-disabled', S, "A subject's user not enabled (entries allowing the user grant nothing)",
      (SU, '    if (!(attributes & SE_GROUP_USE_FOR_DENY_ONLY))\n        attributes |= SE_GROUP_ENABLED;\n', ''))
plant('subject-user-not-first', S, "A user set after groups not first among the subject's SIDs",
      (SU, '    MoveMemory(sids_.Data() + 1, sids_.Data(), (sids_.Count() - 1) * sizeof(SubjectSid));\n    sids_[0] = user;\n', ''))
plant('subject-label-as-group', S, "A token's integrity label taken as a group and not as its level",
      (SU, '        if (group.Attributes & SE_GROUP_INTEGRITY) {', '        if (false) {'))
plant('subject-group-attributes', S, "A token's groups all taken as enabled (a deny-only group's allow entries grant)",
      (SU, 'subject->AddGroup(group.Sid, group.Attributes)', 'subject->AddGroup(group.Sid, SE_GROUP_ENABLED)'))
plant('subject-unanswered-fails', S, 'A token not read at all where the platform does not answer its restricting SIDs (every token under Wine 8)',
      (SU, '    return error == ERROR_INVALID_FUNCTION || ', '    return '))
plant('subject-token-level', S, "A token's integrity level not read (a High token taken as Medium)",
      (SU, '    if (!error && LabelRid(reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(block.Get())->Label.Sid, &rid))\n        subject->SetIntegrity(rid);\n', '    (void)rid;\n'))
plant('subject-admins-unelevated', S, "Administrators enabled in an account's logon that is not elevated",
      (SU, 'admins && !elevated ? SE_GROUP_USE_FOR_DENY_ONLY : GroupOn', 'GroupOn'))
plant('subject-elevated-medium', S, "An elevated administrator's logon left at Medium integrity",
      (SU, 'administrator && elevated ? IntegrityHigh : IntegrityMedium', 'IntegrityMedium'))
plant('subject-global-groups-fail', S, "An account's logon refused where its global groups cannot be listed (every account under Wine 8)",
      (SU, '    if (globalError == NERR_Success) {', '    if (globalError != NERR_Success)\n        return globalError;\n    {'))
plant('subject-empty-account', S, 'An empty account name given a logon (Wine 8 lists Administrators for it)',
      (SU, '    if (!account || !*account)\n        return ERROR_INVALID_PARAMETER;\n', ''))
plant('subject-everyone-twice', S, 'A subject for Everyone holds Everyone twice',
      (SU, '    if (!subject->Holds(everyone) && !subject->AddGroup(everyone, GroupOn))', '    if (!subject->AddGroup(everyone, GroupOn))'))
plant('level-overflow', S, 'An integrity level S-1-16-N past a DWORD taken, wrapped round',
      (SU, '        if (value > 0xFFFFFFFFull)\n            return false;\n', ''))
plant('level-empty-number', S, 'S-1-16- with no number taken as the untrusted level',
      (SU, '    if (!digits || !*digits)', '    if (!digits)'))
plant('subject-names-case', S, 'Integrity levels and capabilities known by name only in one case',
      (SU, "return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;", 'return c;'))
plant('capability-any-sid', S, 'Any SID string taken as a capability (Administrators among them)',
      (SU, 'SidIs(parsed.Get(), 15, SECURITY_CAPABILITY_BASE_RID, 2) &&', ''))
plant('package-all-packages', S, 'ALL APPLICATION PACKAGES (S-1-15-2-1) taken as a package',
      (SU, 'SidIs(parsed.Get(), 15, SECURITY_APP_PACKAGE_BASE_RID, 3)', 'SidIs(parsed.Get(), 15, SECURITY_APP_PACKAGE_BASE_RID, 1)'))
plant('package-empty-name', S, 'An empty package name answered as one the system cannot derive, not as invalid',
      (SU, '    if (!text || !*text)\n        return ERROR_INVALID_PARAMETER;', '    if (!text)\n        return ERROR_INVALID_PARAMETER;'))
plant('owner-read-control', D, 'An object whose owner alone may read it reported as unreadable',
      ('security/ObjectSecurity.cpp', 'const ACCESS_MASK OpenForReadControl = READ_CONTROL;',
       'const ACCESS_MASK OpenForReadControl = 0x00020001;'))
plant('sddl-missing', D, '--security writes no SDDL',
      ('dump/SecurityAudit.cpp', '        facts->sddl = sddlText_.Get();',
       '        (void)facts;'))
plant('who-unknown', D, 'An account the system cannot name taken by --writable-by (exit 0)',
      ('dump/DumpOptions.cpp', '    if (!ResolveAccount(value, request.sid, &why, &use))\n        return Bad(error, why, value);',
       '    ResolveAccount(value, request.sid, &why, &use);'))
plant('section-size', D, "A section's size read from its attributes",
      ('namespace/ObjectDetails.cpp', '    details->value = basic.Size.QuadPart;',
       '    details->value = basic.Attributes;'))
plant('timer-units', D, "A timer's remaining time written in 100 ns units as milliseconds",
      ('dump/EntryExtras.cpp', 'more.value > 0 ? (more.value + 9999) / 10000 : 0',
       'more.value > 0 ? more.value : 0'))
plant('completion-open', D, 'An I/O completion object opened as a file (no queue count)',
      ('namespace/ObjectDetails.cpp', '    if (typeCode != TypeIoCompletion)\n        return', '    if (true)\n        return'))
plant('completion-audit', D, "The audit opens an I/O completion object as a file (a securityError for every one)",
      ('security/ObjectSecurity.cpp', "OpenForDetails(path, typeCode, OpenForInformation, handle)",
       "OpenObjectByType(path, typeCode, OpenForInformation, handle)"),
      ('security/ObjectSecurity.cpp', "OpenForDetails(path, typeCode, OpenForReadControl, handle)",
       "OpenObjectByType(path, typeCode, OpenForReadControl, handle)"))
plant('completion-queue-unread', D, "--details reads no I/O completion object's queue",
      ('dump/EntryExtras.cpp', '{TypeIoCompletion, MoreDetails::IoCompletion}', '{TypeUnknown, MoreDetails::IoCompletion}'))
plant('job-active', D, "A job's processes counted from its ended ones",
      ('namespace/ObjectDetails.cpp', '(info)->ActiveProcesses;',
       '(info)->TotalTerminatedProcesses;'))
plant('link-created', D, "A link's creation time missing from --details",
      ('dump/EntryReader.cpp', 'extras.more.kind = options_.details ? MoreDetails::LinkCreated : MoreDetails::None;',
       'extras.more.kind = MoreDetails::None;'))

# The find window.
plant('find-rows-never', G, "A new search keeps the last one's rows",
      ('find/FindResults.cpp', "    rows_.Clear();\n    keys_.Empty();\n", ""))
plant('find-worker-left', G, "Closing the find window during a search leaves its worker running",
      ('find/FindDialog.cpp', "    search.Stop();  // nothing is posted to this window from here on\n", ""),
      ('ui/ModelessSlot.h', "        OwnedObject<State> closing(state_.Release());", "        state_.Release();"))
plant('find-stop-enabled', G, "中止 stays enabled after the search",
      ('find/FindDialog.cpp', "EnableWindow(stop, searching ? TRUE : FALSE);", "EnableWindow(stop, TRUE);"))
plant('find-two-windows', G, "A second find window instead of the open one brought forward",
      ('find/FindDialog.cpp', "    if (Current) {\n        BringForward", "    if (Current && false) {\n        BringForward"))
plant('find-location-root', G, "The find window starts at the root, not at the tree's directory",
      ('find/FindDialog.cpp', "window.pane->SelectedDirectory(&location) ? location.Get() : RootPath",
       "RootPath"))
plant('find-types-unsorted', G, "The type list in the system's order, not in name order",
      ('find/FindDialog.cpp', "    for (int i = 1; i < count; ++i)", "    for (int i = count; i < count; ++i)"))
plant('find-query-forgotten', G, "The last search text forgotten when the window is opened again",
      ('find/FindDialog.cpp', "    LastText.Assign(text.Get(), text.Length());\n", ""))
plant('find-type-ignored', G, "The chosen type not handed to the search",
      ('find/FindDialog.cpp', "query = {text.Get(), type.Get(),", "query = {text.Get(), nullptr,"))
plant('find-failures-unsaid', G, "The status line leaves out the directories that could not be opened",
      ('find/FindDialog.cpp', "    if (progress.directoriesFailed > 0)", "    if (progress.directoriesFailed > 99)"))
plant('find-texts-cut', G, "Long names and targets cut in the result list",
      ('find/FindResults.cpp', "row->texts[item.iSubItem] : L\"\", item.cchTextMax);",
       "row->texts[item.iSubItem] : L\"\", item.cchTextMax < 260 ? item.cchTextMax : 260);"))
plant('find-descending', G, "A second click on a header does not turn the order round",
      ('find/FindResults.cpp', "        return descending ? result > 0 : result < 0;", "        return result < 0;"))
plant('find-copy-names', G, "Ctrl+C on results copies names instead of full paths",
      ('find/FindResults.cpp', "!builder.Append(path.Get(), true)", "!builder.Append(row->texts[ColumnName], true)"))
plant('find-sheet-root', G, "Alt+Enter on a result opens the sheet of another directory's object",
      ('find/FindDialog.cpp', "ShowPropertySheet(window.dialog, row->texts[ColumnDirectory], record);",
       "ShowPropertySheet(window.dialog, RootPath, record);"))
plant('find-enter-restarts', G, "Enter on a result starts the search again instead of going to it",
      ('find/FindDialog.cpp', "            return code | DLGC_WANTMESSAGE;", "            return code;"))
plant('find-goto-directory', G, "Going to a result shows its directory, not the object",
      ('find/FindDialog.cpp', "GW_OWNER), path.Get());", "GW_OWNER), row->texts[ColumnDirectory]);"))
plant('find-list-fixed', G, "The result list keeps its height when the window grows",
      ('find/FindDialog.cpp', "{CTRL_FIND_RESULTS, Stretch | Grow}", "{CTRL_FIND_RESULTS, Stretch}"))
plant('find-older-edge', G, "Older look: the result list keeps its client edge",
      ('ui/ReportList.cpp', "    if (IsOlderLook()) {", "    if (false) {"))


# The find window's search.
# The name match the search and --find share.
plant('find-folds', f'{F} {D}', "A name compared with its case against the text it should contain",
      ('namespace/NameMatch.cpp', "        while (i < wantedLength && UpcaseUnit(name[at + i]) == wanted[i])",
       "        while (i < wantedLength && name[at + i] == wanted[i])"))
plant('search-ascii-case', f'{F} {D}', "Names matched without regard to case only in ASCII",
      ('namespace/NameCompare.cpp', "wchar_t UpcaseUnit(wchar_t unit) { return RtlUpcaseUnicodeChar(unit); }",
       "wchar_t UpcaseUnit(wchar_t unit) { return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 32) : unit; }"))
plant('match-text-unfolded', f'{F} {D}', "The typed text kept in its own case (a lower-case letter finds nothing)",
      ('namespace/NameMatch.cpp', "    UpcaseText(folded, length);\n", ""))
plant('match-suffix', f'{F} {D}', "A text at the very end of a name not found in it",
      ('namespace/NameMatch.cpp', "    for (size_t at = 0; at + wantedLength <= length; ++at) {",
       "    for (size_t at = 0; at + wantedLength < length; ++at) {"))
plant('search-wildcard-as-text', f'{F} {D}', "A wildcard looked for as text",
      ('namespace/NameMatch.cpp', 'wildcard_ = wcspbrk(text, L"*?") != nullptr;', "wildcard_ = false;"))
plant('search-wildcard-open-end', f'{F} {D}', "A wildcard matches a name that goes on past it",
      ('namespace/NameMatch.cpp', "    return p == patternLength;", "    return true;"))
plant('match-wildcard-case', f'{F} {D}', "A wildcard compared with the name's case",
      ('namespace/NameMatch.cpp', "(pattern[p] == L'?' || pattern[p] == UpcaseUnit(name[n]))",
       "(pattern[p] == L'?' || pattern[p] == name[n])"))
plant('match-question-literal', f'{F} {D}', "A wildcard's ? taken as the character itself",
      ('namespace/NameMatch.cpp', "(pattern[p] == L'?' || pattern[p] ==", "(false || pattern[p] =="))
plant('match-no-backtrack', f'{F} {D}', "A wildcard's * never gives back what it took (*memory?ondition finds nothing)",
      ('namespace/NameMatch.cpp', "        } else if (star < patternLength) {", "        } else if (false) {"))
plant('match-trailing-star', f'{F} {D}', "A wildcard whose * stands where the name ends does not match it",
      ('namespace/NameMatch.cpp', "    while (p < patternLength && pattern[p] == L'*')\n        ++p;\n", ""))
plant('search-type-case', F, "The type filter regards case",
      ('find/NamespaceSearch.cpp', " && lstrcmpiW(typeName.Buffer, wanted) != 0", ""))
plant('search-no-target', F, "A link found without its target",
      ('find/NamespaceSearch.cpp', "            QuerySymbolicLink(link.Get(), &target, &created);", "            (void)created;"))
plant('search-follows-links', F, "The search follows links into other directories",
      ('find/NamespaceSearch.cpp', 'if (wcscmp(typeName.Buffer, L"Directory") == 0) {',
       'if (wcscmp(typeName.Buffer, L"Directory") == 0 || wcscmp(typeName.Buffer, L"SymbolicLink") == 0) {'))
plant('search-failed-uncounted', F, "A directory that cannot be opened is not counted",
      ('find/NamespaceSearch.cpp', "    if (status < 0)\n        ++failed_;\n    else", "    if (status < 0)\n        ;\n    else"))
plant('search-read-failed-done', F, "A directory whose reading fails partway counted as searched",
      ('namespace/DirectoryWalk.cpp', "    return reader.Ended() == STATUS_NO_MORE_ENTRIES_NT ? 0 : reader.Ended();", "    return 0;"))
plant('search-child-short', F, "A subdirectory's path one unit short of its terminator: the search goes no deeper",
      ('find/NamespaceSearch.cpp', "JoinObjectPathInto(directory, directoryLength, name.Buffer, Units(name), path, length + 1);",
       "JoinObjectPathInto(directory, directoryLength, name.Buffer, Units(name), path, length);"))
plant('search-start-slash', F, "A start with a backslash after its name searches nothing",
      ('find/NamespaceSearch.cpp', "    while (startLength > 1 && start[startLength - 1] == L'\\\\')\n        --startLength;\n", ""))
plant('search-stop-per-directory', F, "Stop waits for the directory under way to be read to its end",
      ('find/NamespaceSearch.cpp', "    if (Stopped())\n        return false;\n", ""))
plant('search-unanswered-posts', F, "The search posts again while its message is unanswered",
      ('find/NamespaceSearch.cpp', "const bool due = !shared_.messageOut && now", "const bool due = now"))
plant('search-message-per-row', F, "Results handed over and posted one by one",
      ('find/NamespaceSearch.cpp', "const size_t HandOverResults = 256;", "const size_t HandOverResults = 1;"),
      ('find/NamespaceSearch.cpp', "const ULONGLONG PostIntervalMs = 50;", "const ULONGLONG PostIntervalMs = 0;"))
plant('search-stop-keeps-message', F, "A message posted before Stop reaches the window after it",
      ('find/NamespaceSearch.cpp', "        while (PeekMessageW(&posted, s.window, s.message, s.message, PM_REMOVE)) {", "        while (false) {"))
plant('search-stop-keeps-results', F, "Results not taken survive Stop",
      ('find/NamespaceSearch.cpp', "    if (!s.completed) {\n        s.pending.Clear();\n", "    if (!s.completed) {\n"))
plant('search-destructor-left', F, "The search's destructor leaves its worker running",
      ('find/NamespaceSearch.cpp', "        return;\n    Stop();\n    DeleteCriticalSection", "        return;\n    DeleteCriticalSection"))

# The holders' access text.
plant('access-full-audit', S, "Full control not said of a handle that may also audit",
      ('security/AccessRights.cpp', "    const ACCESS_MASK all = valid & ~ACCESS_SYSTEM_SECURITY;", "    const ACCESS_MASK all = valid;"))
plant('access-unnamed-lost', S, "The rights no name fits left out of the access text",
      ('security/AccessRights.cpp', "    if (unnamed || length == 0) {", "    if (length == 0) {"))
plant('access-no-full', S, "A handle with all its type's rights shown right by right, not as full control",
      ('security/AccessRights.cpp', "    if ((mask & all) == all) {", "    if (false) {"))

# The holders window.
plant('holders-unexamined-unsaid', G, 'The holders window does not say that some processes could not be examined',
      ('holders/HoldersWindow.cpp', '    if (scan.NotExamined().Count() > 0)\n', '    if (false)\n'))
plant('holders-retarget-stale', G, 'A second use keeps the window on the first object',
      ('holders/HoldersWindow.cpp', '        Current->path.Swap(newPath);\n', ''))
plant('holders-worker-left', G, 'Closing the holders window during a scan leaves its worker running',
      ('holders/HolderScanJob.h', '    ~HolderScanJob() { Stop(); }', '    ~HolderScanJob() { if (worker_) CloseHandle(worker_.Release()); }'),
      ('holders/HoldersWindow.cpp', '    job.Stop();  // nothing is posted to this window from here on\n', ''))
plant('holders-copy-tabs', G, "The holders' rows copied without the tabs between their columns",
      ('holders/HolderRows.cpp', 'column + 1 < HolderColumnCount ? L"\\t" : L""', 'L""'))
plant('holders-sort-direction', G, 'A second click on a holders column keeps the order',
      ('holders/HolderRows.cpp', '    return context->descending ? -result : result;', '    return result;'))
plant('holders-f5', G, 'F5 in the holders window does nothing',
      ('holders/HoldersWindow.cpp', 'message->wParam == VK_F5', 'message->wParam == VK_F6'))
plant('holders-find-ctrl-h', G, 'Ctrl+H on a find result does nothing',
      ('find/FindDialog.cpp', "wVKey == 'H' && CtrlHeld()", "wVKey == 'H' && !CtrlHeld()"))
plant('holders-command', G, "The Object menu's holders command does nothing",
      ('app/MainFrame.cpp', '            ShowHoldersWindow(window, path.Get(), typeName.Get());', '            (void)0;'))
plant('holders-access-mask', G, "The access column shows the mask, not the rights' names",
      ('holders/HolderRows.cpp', '        DescribeHeld(held, source.typeCode, made);\n        break;', '        wsprintfW(made, L"0x%08lX", held.access);\n        break;'))

# The floors.
plant('floors-crossing', 'floors', "The find window includes the explorer's internals",
      ('find/FindDialog.cpp', '#include "FindResults.h"\n', '#include "FindResults.h"\n#include "DirectoryTree.h"\n'))
plant('floors-window-below', 'floors', "Window structures in the native layer",
      ('namespace/NativeApi.h', '#include <winternl.h>\n', '#include <winternl.h>\n#include <commctrl.h>\n'))
plant('floors-app-included', 'floors', "A shared window helper includes the top",
      ('ui/WindowCentre.cpp', '#include "WindowCentre.h"\n', '#include "WindowCentre.h"\n#include "MainFrame.h"\n'))
plant('floors-link-climbs', 'floors', "The namespace library links a window library",
      ('namespace/CMakeLists.txt', 'PUBLIC kagero_resource_ids ntdll', 'PUBLIC kagero_resource_ids kagero_ui ntdll'))

plant('floors-modal-ex', 'floors', "A message box in its extended form outside the scope that disables the other windows",
      ('properties/PropertySheet.cpp', 'ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR)', 'MessageBoxExW(owner, text, L"Kagero", MB_ICONERROR, 0)'))
plant('floors-modal-indirect', 'floors', "A message box from a parameter block outside the scope",
      ('properties/PropertySheet.cpp', '{ ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR); }',
       '{ MSGBOXPARAMSW box{sizeof box, owner, nullptr, text, L"Kagero", MB_ICONERROR, 0, 0, nullptr, 0}; MessageBoxIndirectW(&box); }'))
plant('floors-task-dialog', 'floors', "A task dialog outside the scope",
      ('properties/PropertySheet.cpp', 'ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR)',
       'TaskDialog(owner, nullptr, L"Kagero", text, nullptr, TDCBF_OK_BUTTON, TD_ERROR_ICON, nullptr)'))
plant('floors-dialog-indirect', 'floors', "A dialog from a template in memory outside the scope",
      ('app/MainFrame.cpp', 'ModalDialogBox(AppInstance, DLG_ABOUT, window, AboutDialogProc, 0);',
       'DialogBoxIndirectParamW(AppInstance, AboutTemplate(), window, AboutDialogProc, 0);'))
plant('floors-sheet-itself', 'floors', "A property sheet shown outside the scope",
      ('properties/PropertySheet.cpp', 'result = ModalPropertySheet(header);', 'result = PropertySheetW(&header);'))
plant('floors-call-after-string', 'floors', "A modal call after a string holding // taken for a comment",
      ('properties/PropertySheet.cpp', '{ ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR); }',
       '{ const wchar_t* help = L"https://example.invalid/"; MessageBoxW(owner, text, help, MB_ICONERROR); }'))
plant('floors-include-after-comment', 'floors', "An include after a comment on its line not seen (a shared helper includes the top)",
      ('ui/WindowCentre.cpp', '#include "WindowCentre.h"\n', '#include "WindowCentre.h"\n/* the frame */ #include "MainFrame.h"\n'))
plant('floors-unknown-library', 'floors', "A library of no known floor linked (taken as allowed)",
      ('namespace/CMakeLists.txt', 'PUBLIC kagero_resource_ids ntdll', 'PUBLIC kagero_resource_ids kagero_views ntdll'))

# The Wine runner.
plant('runner-mode-kept', 'wine_runner', "A run's window mode left in the prefix (windows of later runs without caption or border)",
      ('tools/wine-run.sh', '    wineserver -w >/dev/null 2>&1\n    restore_x11\n', '    wineserver -w >/dev/null 2>&1\n'))
plant('runner-bare-managed', 'wine_runner', "Windows on a bare Xvfb given as DISPLAY without caption or border (taken as managed)",
      ('tools/wine-run.sh', """[ -z "$private_display" ] && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '^_NET_SUPPORTING_WM_CHECK('""",
       '[ -z "$private_display" ]'))
plant('runner-manager-ignored', 'wine_runner', "Windows under a window manager left unmanaged (framed by no one but Wine)",
      ('tools/wine-run.sh', 'if window_manager_runs; then\n    run_section', 'if false; then\n    run_section'))
plant('runner-wait-unsaid', 'wine_runner', "A run waiting for another's prefix says nothing (it looks hung)",
      ('tools/wine-run.sh', '    echo "wine-run: waiting for $prefix: another run holds it" >&2\n', ''))
plant('runner-ready-unsaid', 'wine_runner', "An --exec session does not say when it is ready",
      ('tools/wine-run.sh', '    echo "wine-run: the session is ready (DISPLAY=$DISPLAY)" >&2\n', ''))

# The find window at scale, and the modal windows.
plant('find-stop-after-end', G, "中止 just after a search ended says 中止 and loses its last batch",
      ('find/NamespaceSearch.cpp', "    if (!s.completed) {", "    if (true) {"))
plant('find-location-unsaid', G, "A location that cannot be opened shown as a count of directories",
      ('find/FindDialog.cpp', "    if (progress.startStatus < 0) {", "    if (false) {"))
plant('find-plain-c', G, "C alone in the find results copies them",
      ('find/FindDialog.cpp', "wVKey == 'C' && CtrlHeld() &&", "wVKey == 'C' &&"))
plant('find-sort-column', G, "A header click sorts the results by name whatever the column",
      ('find/FindResults.cpp', "        int result = column == ColumnName        ? 0\n", "        int result = true ? 0\n"))
plant('find-sort-place', G, "A click on 場所 sorts the results by name",
      ('find/FindResults.cpp', "column == ColumnDirectory ? Order(a.directoryRank, b.directoryRank)", "column == ColumnDirectory ? 0"))
plant('find-sort-focus', G, "A sort leaves the focus on another result",
      ('find/FindResults.cpp', "(row.focused ? LVIS_FOCUSED : 0);", "0;"))
plant('find-count-untold', G, "Results held but never shown (the list not told their count)",
      ('find/FindResults.cpp', "    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);\n", ""))
plant('undrawn-left-hidden', G, "A list whose rows were told is left marked hidden",
      ('ui/ReportList.cpp', "    DefWindowProcW(list_, WM_SETREDRAW, TRUE, 0);\n", ""))
plant('undrawn-hidden-shown', G, "A hidden list is shown when its rows are told",
      ('ui/ReportList.cpp', "shown_(list && (GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE) != 0)", "shown_(list != nullptr)"))
plant('undrawn-rows-from-top', G, "Rows added below the ones in view draw every row in view again",
      ('ui/ReportList.cpp', "        rows_.top = row.top;\n", "        ;\n"))
plant('undrawn-from-ignored', G, "Rows added after the ones drawn draw the whole list again",
      ('ui/ReportList.cpp', "    from_ = true;\n", ""))
plant('fit-redraws-unchanged', G, "Columns fitted to the widths they have draw the list and its header again",
      ('ui/ReportList.cpp', "    if (!changed)\n        return;", "    if (false)\n        return;"))
plant('fit-first-column-only', G, "Columns fitted only when the first one's width changes",
      ('ui/ReportList.cpp', "changed |= fitted[column] != current[column];", "changed |= column == 0 && fitted[column] != current[column];"))
plant('find-again-empties-first', G, "A search again empties the list at once, drawn empty before its rows come",
      ('find/FindDialog.cpp', "    window.lost = 0;\n    const bool subjectTaken", "    ClearResults(window);\n    const bool subjectTaken"))
plant('find-again-older-texts', G, "A search started twice before any notice frees the texts of the rows shown",
      ('find/FindDialog.cpp', "window.rowsBefore ? nullptr : &window.shownTexts", "&window.shownTexts"))
plant('find-again-appended', G, "A search again adds its rows after the last one's",
      ('find/FindDialog.cpp', "    if (window.rowsBefore) {", "    if (false) {"))
plant('find-again-selection-kept', G, "A search again leaves the last rows' selection and focus on its own",
      ('find/FindResults.cpp', "    SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);\n    const size_t added", "    const size_t added"))
plant('search-start-keeps-pending', F, "A search started before the last one's end was taken hands over the last one's results",
      ('find/NamespaceSearch.cpp', "    s.pending.Clear();  // a last search", "    // a last search"))
plant('modal-others-enabled', G, "The main window takes input under a sheet opened from the find window",
      ('ui/ModalScope.cpp', "    EnableWindow(window, FALSE);\n", ""))
plant('modal-left-disabled', G, "The other windows left disabled after a modal window ends",
      ('ui/ModalScope.cpp', "            EnableWindow(window, TRUE);", "            (void)window;"))
plant('sheet-second', G, "A second property sheet opened over the first",
      ('properties/PropertySheet.cpp', "    if (ActiveGeneralPage)\n        return 0;\n    GeneralPage page;", "    GeneralPage page;"))
plant('floors-modal-call', 'floors', "A modal call outside the scope that disables the other windows",
      ('properties/PropertySheet.cpp', 'ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR)', 'MessageBoxW(owner, text, L"Kagero", MB_ICONERROR)'))
plant('search-star-at-end', F, "A wildcard ending in * misses a name that ends where the * starts",
      ('namespace/NameMatch.cpp', "    while (p < patternLength && pattern[p] == L'*')\n        ++p;\n    return p == patternLength;", "    return p == patternLength;"))
plant('search-from-root', F, "A search from \\ itself finds nothing",
      ('find/NamespaceSearch.cpp', "    while (startLength > 1 && start[startLength - 1] == L'\\\\')", "    while (startLength > 0 && start[startLength - 1] == L'\\\\')"))
plant('dump-entry-twice', D, "An entry the listing gave twice written twice (a watch says it was made twice)",
      ('dump/DirectoryEntries.cpp', "    items_.Truncate(kept);\n", ""))
# Who can change it, in the find window: the subjects, the unreadable, the columns.
plant('who-low-not-low', G, "現在のユーザー (低い整合性) searched at the user's own Medium level",
      ('find/SearchSubject.cpp', '        subject->SetIntegrity(IntegrityLow);\n', ''))
plant('who-unreadable-safe', G, 'An object whose security cannot be read left out as safe',
      ('find/NamespaceSearch.cpp', '        *rights = Unreadable(status);\n        return true;', '        *rights = Unreadable(status);\n        return false;'))
plant('who-unread-untold', G, 'The status line leaves out the objects whose security could not be read',
      ('find/FindDialog.cpp', '    if (progress.securityUnread > 0)', '    if (progress.securityUnread > 99)'))
plant('who-unknown-searched', G, 'An account that cannot be resolved searched for without a subject',
      ('find/FindDialog.cpp', '    if (!subjectTaken) {\n        ClearResults(window);\n        return;', '    if (!subjectTaken) {\n        ClearResults(window);'))
plant('who-columns-always', G, 'The rights and reason columns shown without a subject',
      ('find/FindDialog.cpp', 'ShowAccessColumns(window, window.subject.Get() != nullptr);', 'ShowAccessColumns(window, true);'))
plant('who-subject-forgotten', G, 'The last subject forgotten when the window is opened again',
      ('find/FindDialog.cpp', '    if (LastSubject.Empty())\n        SendMessageW(combo, CB_SETCURSEL, 0, 0);', '    if (true)\n        SendMessageW(combo, CB_SETCURSEL, 0, 0);'))
plant('who-choices-swapped', G, 'Users searched as Authenticated Users',
      ('find/SearchSubject.cpp', 'BuildWellKnownGroup(WinBuiltinUsersSid, subject)', 'BuildWellKnownGroup(WinAuthenticatedUserSid, subject)'))
plant('who-sort-ignored', G, 'A click on the rights or reason header sorts nothing',
      ('find/FindDialog.cpp', 'reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem, ShownColumns(window));', 'reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem, PlainColumnCount);'))
plant('who-rights-unmasked', G, 'Rights listed that do not change the object (read rights among them)',
      ('find/NamespaceSearch.cpp', 'const ACCESS_MASK written = evaluation_.granted & ChangingRights(object.mapping);', 'const ACCESS_MASK written = evaluation_.granted;'))
plant('who-row-moved', G, "The 変更できる row does not follow the window's width",
      ('find/FindDialog.cpp', '    {CTRL_FIND_WRITABLE, Stretch},\n', ''))
# The window's command line, and going to a path: a trailing "\\", a way gone, a failure that keeps the view.
plant('start-blank', G, "A blank before a quoted start path keeps its quotes (never found)",
      ('app/Startup.cpp', "    while (IsBlank(*commandLine))\n        ++commandLine;\n", ""))
plant('start-usage', G, "`kagero.exe /?` taken for a path (a raw code)",
      ('app/Startup.cpp', '    if (lstrcmpW(path, L"/?") == 0) {', "    if (false) {"))
plant('start-no-root-words', G, "A start path without a leading `\\` gets a raw code, not kagero-dump's words",
      ('app/Startup.cpp', '    case PathSyntax::NoLeadingSeparator:\n        LoadText(IDS_PATH_NO_LEADING_SEPARATOR, words, LoadedTextChars);\n'
       '        ShowPathFailure(window, path, words);\n        return;\n', ""))
plant('start-doubled-words', G, "A start path holding `\\\\` gets a raw code, not kagero-dump's words",
      ('namespace/WideText.cpp', "        if (at[0] == L'\\\\' && at[-1] == L'\\\\')\n            return PathSyntax::DoubledSeparator;\n", ""))
plant('start-path-unnamed', G, "The start path's failure box does not name the path",
      ('explorer/GoToPath.cpp', "        if (namePath)\n", "        if (false)\n"))
plant('goto-trailing-object', G, "A `\\` after an object that is no directory: not found",
      ('explorer/GoToPath.cpp', "    for (int i = 0; i < parts.count - 1; part", "    for (int i = 0; i < parts.count - (parts.directory ? 0 : 1); part"),
      ('explorer/GoToPath.cpp', "    if (parts.count > 0) {\n        const NTSTATUS status = GoToLeaf", "    if (!parts.directory) {\n        const NTSTATUS status = GoToLeaf"))
plant('goto-trailing-link', G, "A `\\` after a link to a directory shows the link, not its directory",
      ('explorer/GoToPath.cpp', "    if (parts.directory && parts.count > 0) {\n        parts.opened", "    if (false) {\n        parts.opened"))
plant('goto-refused-link', G, "A `\\` after a link whose way is refused shows the link as if nothing were hidden",
      ('explorer/GoToPath.cpp', "    if (record->typeCode == TypeSymbolicLink && parts.opened == STATUS_ACCESS_DENIED)\n        return STATUS_ACCESS_DENIED;\n", ""))
plant('goto-parent-gone', G, "Going to a directory whose parent is gone selects its stale node, with no Refresh and no box",
      ('explorer/GoToPath.cpp', "ListFillStatus == STATUS_OBJECT_NAME_NOT_FOUND_NT || ListFillStatus == STATUS_OBJECT_PATH_NOT_FOUND_NT",
       "ListFillStatus == STATUS_OBJECT_NAME_NOT_FOUND_NT"))
plant('goto-view-open', G, "A failed go-to after a Refresh leaves only the root open",
      ('explorer/GoToPath.cpp', "            if (IsExpanded(tree, node) != WasExpanded(path))", "            if (false)"))
plant('goto-view-rows', G, "A failed go-to loses the list's selection",
      ('explorer/GoToPath.cpp', "            if (state)\n                SetRowState(list, row, state, marks);", "            (void)state;"))
plant('goto-view-tree-scroll', G, "A failed go-to after a Refresh leaves the tree scrolled elsewhere",
      ('explorer/GoToPath.cpp', "        if (first)\n            SendMessageW(tree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(first));", "        (void)first;"))
plant('goto-view-gone', G, "A failed go-to whose shown directory is gone leaves the directory the attempt reached",
      ('explorer/GoToPath.cpp', "        HTREEITEM shown = caret ? caret : NextTreeNode(tree, TVGN_ROOT, nullptr);", "        HTREEITEM shown = caret;"))
plant('tree-way-gone', G, "Properties from the tree says a raw code when the node's parent's parent is gone",
      ('explorer/PropertiesCommand.cpp', "        if (status == STATUS_OBJECT_PATH_NOT_FOUND_NT)\n            status = STATUS_OBJECT_NAME_NOT_FOUND_NT;\n", ""))


# kagero-dump's bad input and failure paths, and the DACL's malformed lists.
A, O, X = 'security/AccessCheck.cpp', 'dump/DumpOptions.cpp', 'dump/SecurityAudit.cpp'
plant('dacl-execute-as-write', S, "GENERIC_EXECUTE in an entry mapped as generic write",
      ('security/AccessEngine.cpp', '    if (mask & GENERIC_EXECUTE)\n        mapped |= mapping.GenericExecute;', '    if (mask & GENERIC_EXECUTE)\n        mapped |= mapping.GenericWrite;'))
plant('owner-rights-inherit-only', S, "An inherit-only OWNER RIGHTS entry takes the owner's implicit rights away",
      ('security/AccessEngine.cpp', '        if (!(header->AceFlags & InheritOnly) && IsEvaluated(header->AceType) &&\n            EqualSid(',
       '        if (IsEvaluated(header->AceType) &&\n            EqualSid('))
plant('dacl-sid-unchecked', S, "An entry too short for its SID read past its end (the DACL taken as valid)",
      ('security/AccessEngine.cpp', '(header->AceSize < SidOffset || !SidFits(at + SidOffset, header->AceSize - SidOffset))', 'header->AceSize < SidOffset'))
plant('dacl-past-descriptor', S, "A DACL running past the descriptor's length read as valid",
      ('security/AccessEngine.cpp', ' || acl->AclSize > room)', ')'))
plant('dacl-unevaluated-uncounted', S, "Entries the evaluation skips (callback, object, conditional) not counted",
      ('security/AccessEngine.cpp', '            evaluation->unevaluated += !(header->AceFlags & InheritOnly) && !IsEvaluated(header->AceType);',
       '            evaluation->unevaluated += 0 && header;'))
plant('who-last-only', D, "Several --writable-by keep only the last one's rights",
      (X, '        facts->writable |= written;', '        facts->writable = written;'))
plant('who-empty', D, "An empty --writable-by taken",
      ('security/AccountResolve.cpp', '    if (!who[0])\n        return AccountProblem::Empty;', ''))
plant('who-domain', D, "A domain (BUILTIN) taken as a --writable-by account",
      ('security/AccountResolve.cpp', 'use != SidTypeDomain && ', ''))
plant('who-placeholder', D, "A creator placeholder (CO) taken as a --writable-by account",
      ('security/AccountResolve.cpp', 'return !placeholder && use', 'return use'))
plant('owner-without-security', D, "--writable-by without --security writes the owner",
      (X, '    if (sddl_) {\n        LocalBlock text;\n        NameOwner(object.descriptor, facts);',
       '    NameOwner(object.descriptor, facts);\n    if (sddl_) {\n        LocalBlock text;'))
plant('unevaluated-unsaid', D, "The text line does not say how many entries went unevaluated",
      ('dump/EntryExtras.cpp', '        fields.Number("unevaluated", security.unevaluated);\n', ''))
plant('watch-interval-minimum', D, "--interval 100 refused although 100 is the documented minimum",
      (O, '    if (parsed < minimum)\n', '    if (parsed <= minimum)\n'))
plant('interval-without-watch', D, "--interval without --watch silently ignored",
      (O, 'if (state.interval && !options->watch)', 'if (false && !options->watch)'))
plant('option-equals', D, "--name=value refused as an unknown option",
      (O, '        const int named = equals ? FindOption(name) : -1;', '        const int named = -1;'))
plant('number-saturates', D, "A number past what an int holds cut to the largest and taken",
      (O, '    if (large)\n        return Number::TooLarge;\n', ''))
plant('number-largest-refused', D, "The largest number an int holds refused as too large",
      (O, '        if (value > INT_MAX) {', '        if (value >= INT_MAX) {'))
plant('once-given-twice', D, "An option of one value given twice taken, the last one winning",
      (O, '    if (state->given[option] && row.takes == Takes::Value)', '    if (false)'))
plant('repeatable-once', D, "An option that repeats (--type, --writable-by, --held-by, ...) refused when given twice",
      (O, '    if (state->given[option] && row.takes == Takes::Value)', '    if (state->given[option] && row.takes != Takes::Nothing)'))
plant('capability-once', D, "--capability given twice refused",
      (O, '{L"--capability", Takes::Values}', '{L"--capability", Takes::Value}'))
plant('nearest-unsaid', D, "An unknown option's nearest never said",
      (O, '    error->nearest = NearestOption(name[0] ? name : argument);', '    error->nearest = nullptr;'))
plant('nearest-no-swap', D, "Two neighbours swapped counted as two edits (--dpeht not near --depth)",
      (O, 'if (i > 1 && j > 1 && a[i - 1] == b[j - 2]', 'if (false && a[i - 1] == b[j - 2]'))
plant('nearest-tie', D, "Of two options equally near an unknown one, one suggested",
      (O, '    return tied ? nullptr : nearest;', '    return nearest;'))
plant('nearest-far', D, "An option three edits away suggested",
      (O, 'const int MostSuggestedEdits = 2;', 'const int MostSuggestedEdits = 3;'))
plant('nearest-with-value', D, "An unknown --name=value compared whole, its value too (no nearest)",
      (O, 'NearestOption(name[0] ? name : argument)', 'NearestOption(argument)'))
plant('own-line-root', D, "kagero-dump \\Name for an object directly under the root fails",
      (K, 'parentLength ? parentLength : 1', 'parentLength'))
plant('path-typed-case', D, "PATH printed in the case it was typed in, not the kernel's",
      (K, '    UseKernelNames(options.path);\n', ''))
plant('link-created-local', D, "A link's created time written in local time with a Z",
      ('dump/EntryExtras.cpp', '    if (time > 0 && FileTimeToSystemTime(&file, &utc)) {',
       '    FILETIME local;\n    if (time > 0 && FileTimeToLocalFileTime(&file, &local) && FileTimeToSystemTime(&local, &utc)) {'))
plant('watch-link-retarget', D, "The watch misses a link deleted and made again with another target",
      ('dump/SubtreeSnapshot.cpp', '    return !a.Target(i) || (', '    return true || ('))
plant('watch-text-signs', D, "The text watch's + and - swapped",
      (W, "created ? '+' : '-'", "created ? '-' : '+'"))
plant('watch-not-directory', D, "A watch of an object that is no directory said as if its information were refused",
      (W, 'const bool notDirectory = rootStatus == STATUS_OBJECT_TYPE_MISMATCH_NT;', 'const bool notDirectory = false;'))
plant('watch-short-compared', D, "A look cut short by memory compared: objects still there reported deleted",
      (W, '    if (whole && !first && scanned >= 0)', '    if (!first && scanned >= 0)'))
plant('watch-short-kept', D, "A look cut short by memory taken as the one the next is compared with",
      (W, '    if (whole) {\n        before_ = now;', '    if (true) {\n        before_ = now;'))
plant('watch-short-unsaid', D, "A look cut short by memory not said",
      (W, '    if (!whole || gone) {', '    if (gone) {'))
# The created-time row needs a local time other than UTC, which Wine takes from the environment it starts in.
os.environ['TZ'] = 'JST-9'


# The README's examples, the archives and the screenshot tool.
plant('readme-drift', 'readme_examples', "A README example that no longer matches what it prints",
      ('docs/kagero-dump.md', '    1a2,4\n', '    1a2,3\n'))
plant('readme-pid-two-ids', 'readme_examples', "One process shown with two ids in two examples",
      ('docs/kagero-dump.md', '"pid": 340,', '"pid": 332,'))
plant('readme-pid-one-id', 'readme_examples', "Two processes shown with one id",
      ('docs/kagero-dump.md', 'MailSync.exe(348),MailClient.exe(356)', 'MailSync.exe(348),MailClient.exe(340)'))
plant('readme-docs-unread', 'readme_examples', "The examples of docs/ never run (the README's alone read)",
      ('tools/check-readme.py', "[os.path.join(TOP, 'README.md')] + sorted(", "[os.path.join(TOP, 'README.md')] or sorted("))
plant('scene-descriptor', 'readme_examples', "The scene's event made with another descriptor than the README shows",
      ('tools/scene/Scene.h', '(D;;0xC0002;;;BU)', '(D;;0xC0000;;;BU)'))
plant('scene-label', 'readme_examples', "The scene's preview event made without its Low label",
      ('tools/scene/Scene.cpp', '(A;;0x120003;;;WD)S:(ML;;NW;;;LW)"', '(A;;0x120003;;;WD)"'))
plant('scene-queue-everyone', 'readme_examples', "The scene's indexer queue made settable by Everyone, not Authenticated Users",
      ('tools/scene/Scene.cpp', '(A;;0x120003;;;AU)"', '(A;;0x120003;;;WD)"'))
plant('dist-flat', 'dist_archives', "An archive that unpacks its files into the folder it is unpacked in",
      ('tools/make-dist.py', 'name = folder_name(arch) + "/" + member', 'name = member'))
plant('dist-readme-private', 'dist_archives', "The archives' README.txt readable by its owner alone",
      ('tools/make-dist.py', 'info.external_attr = PLAIN_FILE << 16', 'info.external_attr = 0o100600 << 16'))
plant('dist-readme-which', 'dist_archives', "The archives' README.txt does not say which Windows the archive is for",
      ('tools/make-dist.py', '(text.read() + which_text(arch))', 'text.read()'))
plant('screenshot-help-runs', 'screenshot_tool', "kagero-screenshot --help runs the tool instead of showing its usage",
      ('tools/screenshot/Screenshot.cpp', 'if (argc != 2 || help) {', 'if (argc != 2) {'))
plant('screenshot-unsaved', 'screenshot_tool', "Pictures kagero-screenshot cannot save end it with exit code 0",
      ('tools/screenshot/Screenshot.cpp', 'return Failed ? 1 : 0;', 'return 0;'))

# kagero-dump --explain's words.
XP = 'dump/AccessExplain.cpp'
plant('explain-outcome-words', D, "An inherit-only entry's outcome named as a kind not evaluated, and the other way round",
      (XP, '{Msg::ExplainInheritOnly, "inheritOnly"},         {Msg::ExplainUnevaluated, "unevaluated"}',
       '{Msg::ExplainInheritOnly, "unevaluated"},         {Msg::ExplainUnevaluated, "inheritOnly"}'))
plant('explain-entry-sid', D, "An entry's SID read from the wrong place in the DACL",
      (XP, '.Sid(reinterpret_cast<BYTE*>(dacl) + step.sidAt)',
       '.Sid(reinterpret_cast<BYTE*>(dacl) + step.sidAt - 4)'))
plant('explain-unnamed-bit', D, 'A right without a name shown as the whole mask instead of its bit',
      (XP, 'Ascii(FormatHex(right, 8, hex));',
       'Ascii(FormatHex(mask, 8, hex));'))
plant('explain-policy-off', D, "An integrity check skipped for the subject's policy said to be skipped for its level",
      (XP, 'policyOff ? PolicyOff : NotLower',
       'NotLower'))
plant('explain-write-restricted', D, "A write-restricted subject's passes said to combine as a restricted one's",
      (XP, '(subject.WriteRestricted() ? ByWriteRestricted : 0)',
       '0'))
plant('explain-pass-entries', D, "Every pass's entries explained under each pass",
      (XP, 'if (static_cast<int>(evaluation.steps[i].pass) == pass)',
       'if (true)'))
plant('explain-null-dacl', D, 'A NULL DACL explained as an empty one (which grants nothing)',
      (XP, 'e.Say(evaluation.nullDacl || !dacl ? NullDacl : EmptyDacl);',
       'e.Say(EmptyDacl);'))
plant('explain-level-rid', D, 'A level without a name written without its RID',
      (XP, 'Put("\\"S-1-16-", "S-1-16-").Number(level)',
       'Put("\\"S-1-16-", "S-1-16-")'))
plant('explain-text-change', D, "The text gives a change for entries that changed nothing (inherit-only, not the subject's, ...)",
      (XP, 'if (e.Json() || step.outcome == EntryOutcome::Allowed || step.outcome == EntryOutcome::Denied)',
       'if (true)'))
plant('explain-deny-only', D, 'A deny-only SID shown as disabled',
      (XP, '{SE_GROUP_USE_FOR_DENY_ONLY, {Msg::ExplainDenyOnly, "denyOnly"}}',
       '{SE_GROUP_MANDATORY, {Msg::ExplainDenyOnly, "denyOnly"}}'))
plant('explain-account', D, "A SID's account name left out",
      (XP, 'return FormatAccountName(sid, account, AccountChars) ?',
       'return false ?'))
plant('explain-owner-rights', D, 'The OWNER RIGHTS entry said to take the implicit rights of every owner',
      (XP, 'e.Bool(result.ownerRightsEntry, Msg::ExplainPresent, Msg::ExplainNone);',
       'e.Bool(result.owner, Msg::ExplainPresent, Msg::ExplainNone);'))

# The windows' texts from the string table, and the lists' columns fitted to them.
plant('text-own-block', G, "An addition's text put in a block of the window's own string table entries",
      ('resources/ResourceIds.h', '#define IDS_FIND_ALL_TYPES          2000', '#define IDS_FIND_ALL_TYPES          40010'))
plant('text-own-dropped', G, "A string table entry of the window's own that it never loads dropped",
      ('resources/kagero.rc', '    CMD_OPEN_EDITOR     "テキストエディタで開きます。"\n', ''))
plant('text-addition-dropped', G, "An addition's text missing from the string table (the window shows an empty line)",
      ('resources/kagero.rc', '    IDS_HOLDERS_NOBODY          "開いているプロセスはありません。"\n', ''))
plant('text-load-past', G, 'A loaded text written one character past its buffer',
      ('ui/LoadedText.cpp', 'LoadStringW(AppInstance, id, buffer, count)', 'LoadStringW(AppInstance, id, buffer, count + 1)'))
plant('text-format-past', G, 'A filled-in format copied whole however small the buffer',
      ('ui/LoadedText.cpp', '    lstrcpynW(buffer, whole, count);\n', '    lstrcpyW(buffer, whole);\n'))
plant('text-append-blank', G, 'A further sentence leaves a bare blank where only the blank fits',
      ('ui/LoadedText.cpp', 'length + 3 > count', 'length + 2 > count'))
plant('holders-nobody-counted', G, 'Nobody holding the object said as 0 processes with 0 handles',
      ('holders/HoldersWindow.cpp', 'processes == 0 ? LoadText', 'false ? LoadText'))
plant('fit-find-never', G, "The find list's columns keep their first shares after a search (a long name or target cut off)",
      ('find/FindDialog.cpp', '    FitReportColumns(window.list, window.rows.Widths(), ShownColumns(window));\n', ''))
plant('fit-holders-never', G, "The holders list's columns keep their first shares after a scan (the access names cut off)",
      ('holders/HoldersWindow.cpp', '    FitHolderColumns(window.list, window.source);\n', ''))
plant('fit-no-image', G, "The find list's name column fitted without its icon (the longest name cut)",
      ('ui/ReportList.cpp', '    if (column != 0 || !images', '    if (true || !images'))
plant('fit-no-title', G, 'A column fitted to its cells alone, its title cut when the cells are short',
      ('ui/ReportList.cpp', 'cells > title ? cells : title', 'cells'))
plant('fit-whole-text', G, 'A column fitted to more of a long text than the list draws (far wider than its cells)',
      ('ui/ReportList.cpp', 'length < DrawnCellChars ? length : DrawnCellChars', 'length'))
plant('fit-sort-undoes', G, 'A sort undoes a width the user set',
      ('holders/HoldersWindow.cpp', '        SortHolderRows(window.list, window.source, window.sort, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);\n', '        SortHolderRows(window.list, window.source, window.sort, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);\n        FitHolderColumns(window.list, window.source);\n'))

# Names as programs write them, --find-from, --compare.
WN, NL, FL, IF, DC, SD = ('namespace/Win32Names.cpp', 'namespace/NameList.cpp', 'dump/FindList.cpp', 'dump/InputFile.cpp',
                          'dump/DumpCompare.cpp', 'dump/SavedDump.cpp')
plant('win32-directory-itself', N, 'A named-objects directory given a win32Name of its own',
      (WN, 'length > directoryLength + 1 &&', 'length > directoryLength &&'))
plant('win32-prefix-boundary', N, 'A directory whose name only begins like \\BaseNamedObjects taken for it',
      (WN, "                   path[directoryLength] == L'\\\\'\n", "                   true\n"))
plant('win32-no-session-number', N, 'A session directory without a number given a Session\\ name',
      (WN, 'cut = digits ? BelowDirectory', 'cut = true ? BelowDirectory'))
plant('win32-no-devices', N, 'The entries of \\?? given no device name',
      (WN, 'for (const wchar_t* devices : {L"\\\\GLOBAL??", L"\\\\??"}) {', 'for (const wchar_t* devices : {L"\\\\GLOBAL??"}) {'))
plant('listed-local-service', N, "Local\\ of a session-0 process looked for in \\Sessions\\0, not \\BaseNamedObjects",
      (WN, '        global = ownSession == 0;', '        global = false;'))
plant('listed-session-zero', N, 'Session\\0\\ looked for in \\Sessions\\0, where only a link is',
      (WN, '        global = lstrcmpW(session, L"0") == 0;', '        global = false;'))
plant('listed-empty-name', N, 'A prefix with no name after it taken as the named-objects directory itself',
      (WN, '    if (restLength == 0)\n        return ListedName::Bad;\n', ''))
plant('listed-backslash-bare', N, 'A bare name holding a backslash (a mistyped prefix) taken, matching nothing',
      (WN, '(!path && wmemchr(line, L\'\\\\\', length)) || ', ''))
plant('listed-long-session', N, 'A session number longer than any session id taken',
      (WN, 'digits > 10 || ', ''))
plant('namelist-later-line', N, 'An entry matching a path line and a later name line said to match the later',
      (NL, 'if (byPath >= 0 && (best < 0 || byPath < best))', 'if (byPath >= 0 && best < 0)'))
plant('namelist-grow-loses', N, 'A list grown past its first table forgets the names it held',
      (NL, '        if (old[i].folded)\n            Insert(old[i]);\n', ''))
plant('namelist-length-kind', N, "A path's length recorded as a name's (the path lines never looked up)",
      (NL, 'lengths_[path][(length >> 6) & 3]', 'lengths_[0][(length >> 6) & 3]'))
plant('findfrom-bom', D, "A list's byte-order mark kept in its first line (that line refused)",
      (IF, '    if (size >= 3 && memcmp(data, "\\xEF\\xBB\\xBF", 3) == 0)\n        at_ += 3;\n', ''))
plant('findfrom-crlf', D, "A list's \\r\\n lines kept with their \\r (no such name)",
      (IF, "    if (*length > 0 && at_[*length - 1] == '\\r')\n        --*length;\n", ''))
plant('findfrom-comment', D, "A list's # line read as a name",
      (FL, "    if (length > 0 && line[0] == '#')\n        return true;\n", ''))
plant('findfrom-blank', D, "A list's blank line refused as an empty name",
      (FL, "            return false;\n    return true;\n}\n\n}  // namespace", "            return false;\n    return length > 0;\n}\n\n}  // namespace"))
plant('findfrom-loose-utf8', D, 'A list line that is no UTF-8 read with U+FFFD in it',
      (FL, 'MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line,\n                                                                     static_cast<int>(length), nullptr, 0)',
       'MultiByteToWideChar(CP_UTF8, 0, line,\n                                                                     static_cast<int>(length), nullptr, 0)'),
      (FL, 'MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, static_cast<int>(length), text,',
       'MultiByteToWideChar(CP_UTF8, 0, line, static_cast<int>(length), text,'))
plant('findfrom-matched-line', D, "An entry's matched line said as the list's first",
      (FL, 'lines_[static_cast<size_t>(line)]', 'lines_[0]'))
plant('findfrom-stdin-file', D, '"-" opened as a file instead of standard input',
      (IF, 'const bool input = lstrcmpW(name, L"-") == 0;', 'const bool input = false;'))
plant('findfrom-pipe-end', D, "Standard input's closed pipe taken as a read error",
      (IF, 'return error == ERROR_BROKEN_PIPE ? 0 : error;', 'return error;'))
plant('compare-type-changed', D, 'An object replaced by one of another type said as changed',
      (DC, '    if (!SameValue(type, FindField(was_, "type"))) {', '    if (false) {'))
plant('compare-unknown-created', D, "An entry below a directory the baseline could not list said as created",
      (DC, '        if (!Unknown(names, length))\n            Created', '        if (true)\n            Created'))
plant('compare-options-named', D, 'A baseline made with more options said to lack the given ones',
      (DC, 'MessageText(extra ? Msg::BaselineMadeWith : Msg::BaselineMadeWithout)', 'MessageText(Msg::BaselineMadeWithout)'))
plant('compare-unknown-field', D, "A record with a field no dump writes (a watch's event) taken as an entry",
      (SD, '        if (group == ~0u)\n            return false;\n', ''))
plant('compare-type-ignored', D, "--type left out of what the saved entries are chosen by (the others said deleted)",
      (DC, '    bool typed = options_.typeCount == 0;', '    bool typed = true;'))
plant('compare-find-ignored', D, "--find left out of what the saved entries are chosen by",
      (DC, 'if (!typed || !options_.find.Matches(names + name, length - name))', 'if (!typed)'))
plant('compare-line-feed', D, 'A record line ending in a line feed refused (every entry now unreadable)',
      (SD, "*at == '\\t' || *at == '\\r' || *at == '\\n'", "*at == '\\t'"))
plant('compare-escape-wrong', D, "A saved path's escaped backslash read as a slash",
      (SD, 'static const wchar_t Meant[] = L"\\"\\\\/\\b\\f\\n\\r\\t";', 'static const wchar_t Meant[] = L"\\"//\\b\\f\\n\\r\\t";'))
plant('compare-against-text', D, "--against's created entry written from the baseline's record",
      (DC, '        out.Append("+ ");\n        AppendTextFrom(is_);', '        out.Append("+ ");\n        AppendTextFrom(was_);'))
plant('matched-always', D, '"matched" written on every JSON entry, with no --find-from',
      ('dump/DumpWalk.cpp', '    matched = options_.lists ? matched : nullptr;\n', ''))


def read(path):
    with open(path, encoding='utf-8', newline='') as f:
        return f.read()


def write(path, text):
    with open(path, 'w', encoding='utf-8', newline='') as f:
        f.write(text)


def fault_rows():
    """The first column of every table row in tests/FAULTS.md."""
    rows = []
    for line in read(os.path.join(REPO, 'tests/FAULTS.md')).splitlines():
        cells = [c.strip() for c in line.strip().strip('|').split(' | ')]
        if line.startswith('| ') and cells[0] not in ('Fault', '---'):
            rows.append(cells[0])
    return rows


def misfits(tree, p):
    """Why the plant's edits would not apply to the sources under tree, or []."""
    problems = []
    for path, old, _ in p['edits']:
        found = read(os.path.join(tree, path)).count(old)
        if found != 1:
            problems.append(f'{path}: old text found {found} times: {old.splitlines()[0].strip()!r}')
    return problems


def check_applies(plants):
    failed = False
    for p in plants:
        for problem in misfits(REPO, p):
            print(f"{p['id']}\tDID NOT APPLY\t{problem}")
            failed = True
    # The table and FAULTS.md must name the same faults, each once.
    faults = [p['fault'] for p in PLANTS]
    rows = fault_rows()
    for row in rows:
        if faults.count(row) != 1:
            print(f'FAULTS.md row with {faults.count(row)} plants: {row}')
            failed = True
    for fault in faults:
        if fault not in rows:
            print(f'plant for no FAULTS.md row: {fault}')
            failed = True
    print(f'{len(plants)} plants checked: ' + ('problems above' if failed else 'every old text occurs once'))
    return not failed


def git(*args, **kw):
    return subprocess.run(['git', '-C', REPO, *args], check=True, capture_output=True, text=True, **kw).stdout.strip()


def prepare_worktree(tree):
    """A clean worktree of HEAD at tree, configured with the two builds' presets."""
    head = git('rev-parse', 'HEAD')
    git('worktree', 'prune')  # one whose folder went with a `make clean`
    if os.path.exists(os.path.join(tree, '.git')):
        theirs = subprocess.run(['git', '-C', tree, 'rev-parse', '--path-format=absolute', '--git-common-dir'],
                                capture_output=True, text=True).stdout.strip()
        if theirs != git('rev-parse', '--path-format=absolute', '--git-common-dir'):
            sys.exit(f'check-faults: {tree} belongs to another clone ({theirs or "none"}): '
                     'give another --dir, or remove it there with --remove')
        subprocess.run(['git', '-C', tree, 'checkout', '--quiet', '--force', '--detach', head], check=True)
    else:
        git('worktree', 'add', '--detach', tree, head)
    for preset in ('x64', 'x86'):
        subprocess.run(['cmake', '--preset', preset], cwd=tree, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(tree, 'build')


def run_test(tree, build, test):
    """Runs one doctest program under Wine, or one CTest test: (exit code, failed case names)."""
    if test in PROGRAMS:
        exe = os.path.join(build, PROGRAMS[test])
        command = [os.path.join(tree, 'tools/wine-run.sh'), '--prefix', os.path.join(build, 'wineprefix'), exe]
        folder = os.path.dirname(exe)
    else:
        command = ['ctest', '--output-on-failure', '--no-tests=error', '-R', f'^{test}$']
        folder = build
    # A session of its own, so that a stuck run can be ended with all its children.
    child = subprocess.Popen(command, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             start_new_session=True)
    try:
        output, _ = child.communicate(timeout=RUN_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGTERM)
        child.communicate()
        return -1, [f'{test}: (no end after {RUN_SECONDS} s)']
    text = output.decode('utf-8', errors='replace')
    cases = []
    for name in re.findall(r'^TEST CASE:\s+(.*?)\s*$', text, re.M):
        if name not in cases:
            cases.append(name)
    if child.returncode != 0 and not cases:
        cases = [f'{test}: (crash or exit {child.returncode} outside any case)' if test in PROGRAMS
                 else f'{test} failed']
    return child.returncode, cases


def build_tests(build, tests):
    builds = {build: [t for test in tests for t in CTESTS.get(test, [test])],
              build + '32': [t for test in tests if test in BUILD32_TESTS for t in CTESTS[test]]}
    for folder, targets in builds.items():
        if not targets:
            continue
        result = subprocess.run(['cmake', '--build', folder, '-j2', '--target', *targets],
                                capture_output=True, text=True, errors='replace')
        if result.returncode != 0:
            return False, result.stdout[-2000:] + result.stderr[-2000:]
    return True, ''


def check_plant(tree, build, p):
    """Plants p, builds and runs its tests, restores the sources: (verdict, details)."""
    problems = misfits(tree, p)
    if problems:
        return 'DID NOT APPLY', problems
    saved = {}
    try:
        for path, old, new in p['edits']:
            full = os.path.join(tree, path)
            text = read(full)
            saved.setdefault(full, text)
            write(full, text.replace(old, new))
        built, log = build_tests(build, p['tests'])
        if not built:
            return 'DID NOT BUILD', [log]
        failed = []
        for test in p['tests']:
            code, cases = run_test(tree, build, test)
            if code != 0:
                failed += cases
        return ('caught' if failed else 'NOT CAUGHT'), failed
    finally:
        for full, text in saved.items():
            write(full, text)


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quiet when piped into head
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--only', help='comma-separated plant ids')
    parser.add_argument('--list', action='store_true', help='list the plants and exit')
    parser.add_argument('--check-applies', action='store_true',
                        help="check that every plant's old text occurs once in the current sources (no build)")
    parser.add_argument('--dir', default=os.path.join(REPO, 'build', 'faults'),
                        help="where the private worktree lives (default: under this clone's build folder)")
    parser.add_argument('--remove', action='store_true', help='remove the private worktree and exit')
    args = parser.parse_args()

    plants = PLANTS
    if args.only:
        wanted = args.only.split(',')
        unknown = [w for w in wanted if w not in {p['id'] for p in PLANTS}]
        if unknown:
            parser.error('unknown plant ids: ' + ', '.join(unknown))
        plants = [p for p in PLANTS if p['id'] in wanted]
    tree = os.path.join(os.path.abspath(args.dir), 'worktree')

    if args.list:
        for p in plants:
            print(f"{p['id']}\t{' '.join(p['tests'])}\t{p['fault']}")
        return 0
    if args.check_applies:
        return 0 if check_applies(plants) else 1
    if args.remove:
        if os.path.exists(tree):
            git('worktree', 'remove', '--force', tree)
        if os.path.isdir(args.dir) and not os.listdir(args.dir):
            os.rmdir(args.dir)
        return 0

    build = prepare_worktree(tree)
    # Each test must pass unplanted, or a failure would prove nothing.
    tests = sorted({test for p in plants for test in p['tests']})
    built, log = build_tests(build, tests)
    if not built:
        print(log)
        print('the unplanted tests do not build')
        return 1
    for test in tests:
        code, cases = run_test(tree, build, test)
        if code != 0:
            print(f'{test} fails unplanted: ' + ' | '.join(cases))
            return 1
    print(f"{len(plants)} plants; unplanted {', '.join(tests)} pass", flush=True)

    bad = 0
    for p in plants:
        started = time.time()
        verdict, details = check_plant(tree, build, p)
        bad += verdict != 'caught'
        print(f"{p['id']}\t{verdict}\t{time.time() - started:.0f}s\t" + ' | '.join(details), flush=True)
    print(f'{len(plants) - bad} of {len(plants)} caught')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
