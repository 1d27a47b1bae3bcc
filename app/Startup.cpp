#include "Startup.h"

#include <new>

#include "AppGlobals.h"
#include "MainFrame.h"
#include "ResourceIds.h"

namespace {

void RunMessageLoop(HACCEL accelerators)
{
    MSG message;
    // GetMessageW returns -1 on failure; only a positive result is a message.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslateLoopMessage(&message, accelerators))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

bool PreTranslateLoopMessage(MSG* message, HACCEL accelerators)
{
    if (accelerators && TranslateAcceleratorW(MainWindowHandle, accelerators, message))
        return true;
    // Tab and Shift+Tab move between the pane's controls; Ctrl+Tab is left
    // to the focused control.
    if (message->message != WM_KEYDOWN || message->wParam != VK_TAB)
        return false;
    if (GetKeyState(VK_CONTROL) & 0x8000)
        return false;
    return IsDialogMessageW(MainWindowHandle, message) != FALSE;
}

int RunKagero(HINSTANCE instance, int showCommand, PaneFactory paneFactory)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    AppInstance = instance;
    SystemMajorVersion = static_cast<int>(version.dwMajorVersion);

    MainFrame* frame = new (std::nothrow) MainFrame(paneFactory);
    if (!frame)
        return 0;
    MainWindowHandle = frame->CreateMainWindow(showCommand);
    if (MainWindowHandle)
        RunMessageLoop(LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS)));
    delete frame;
    return 0;
}
