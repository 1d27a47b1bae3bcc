#include "Startup.h"

#include <initializer_list>
#include <new>

#include "AppGlobals.h"
#include "FindDialog.h"
#include "GoToPath.h"
#include "HoldersWindow.h"
#include "LoadedText.h"
#include "MainFrame.h"
#include "ModalScope.h"
#include "Owned.h"
#include "ResourceIds.h"
#include "WideText.h"

namespace {

void RunMessageLoop(HACCEL accelerators, HACCEL additionAccelerators)
{
    MSG message;
    // GetMessageW returns -1 on failure; only a positive result is a message.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslateLoopMessage(&message, accelerators, additionAccelerators))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The path the command line names: all of it, blanks around it dropped, and
// the quotes around it, so that a name with blanks or a trailing "\" comes
// through whole. False when there is none.
bool StartPathOf(const wchar_t* commandLine, WideText* path)
{
    if (!commandLine)
        return false;
    while (IsBlank(*commandLine))
        ++commandLine;
    size_t length = static_cast<size_t>(lstrlenW(commandLine));
    while (length > 0 && IsBlank(commandLine[length - 1]))
        --length;
    if (length >= 2 && commandLine[0] == L'"' && commandLine[length - 1] == L'"') {
        ++commandLine;
        length -= 2;
    }
    return length > 0 && path->Assign(commandLine, length);
}

// The find window's own messages: Tab, Enter and Esc work in it as in a
// dialog, and the main window's keys stay out of it.
bool IsFindWindowMessage(const MSG* message)
{
    HWND find = FindDialogWindow();
    return find && (message->hwnd == find || IsChild(find, message->hwnd));
}

}  // namespace

void GoToStartPath(HWND window, const wchar_t* path)
{
    if (lstrcmpW(path, L"/?") == 0) {
        wchar_t usage[LoadedTextChars];
        LoadText(IDS_USAGE, usage, LoadedTextChars);
        ModalMessageBox(window, usage, L"Kagero", MB_ICONINFORMATION);
        return;
    }
    // kagero-dump's words for the same paths.
    wchar_t words[LoadedTextChars];
    switch (CheckPathSyntax(path)) {
    case PathSyntax::NoLeadingSeparator:
        LoadText(IDS_PATH_NO_LEADING_SEPARATOR, words, LoadedTextChars);
        ShowPathFailure(window, path, words);
        return;
    case PathSyntax::DoubledSeparator:
        LoadText(IDS_PATH_DOUBLED_SEPARATOR, words, LoadedTextChars);
        ShowPathFailure(window, path, words);
        return;
    case PathSyntax::Good:
        break;
    }
    GoToObjectPathOrSay(window, path, true);
}

bool PreTranslateLoopMessage(MSG* message, HACCEL accelerators, HACCEL additionAccelerators)
{
    if (IsFindWindowMessage(message))
        return IsDialogMessageW(FindDialogWindow(), message) != FALSE;
    if (PreTranslateHoldersMessage(message))
        return true;
    for (HACCEL table : {accelerators, additionAccelerators})
        if (table && TranslateAcceleratorW(MainWindowHandle, table, message))
            return true;
    // Tab and Shift+Tab move between the pane's controls; Ctrl+Tab is left
    // to the focused control.
    if (message->message != WM_KEYDOWN || message->wParam != VK_TAB)
        return false;
    if (GetKeyState(VK_CONTROL) & 0x8000)
        return false;
    return IsDialogMessageW(MainWindowHandle, message) != FALSE;
}

int RunKagero(HINSTANCE instance, int showCommand, PaneFactory paneFactory, const wchar_t* commandLine)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    AppInstance = instance;
    SystemMajorVersion = static_cast<int>(version.dwMajorVersion);

    OwnedObject<MainFrame> frame(new (std::nothrow) MainFrame(paneFactory));
    if (!frame)
        return 0;
    MainWindowHandle = frame->CreateMainWindow(showCommand);
    WideText startPath;
    // Posted after the pane's first Refresh, which the pane posted while it was created.
    if (MainWindowHandle && StartPathOf(commandLine, &startPath))
        PostMessageW(MainWindowHandle, GoToStartPathMessage, 0, reinterpret_cast<LPARAM>(startPath.Get()));
    if (MainWindowHandle)
        RunMessageLoop(LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS)),
            LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ADDITIONS_ACCELERATORS)));
    return 0;
}
