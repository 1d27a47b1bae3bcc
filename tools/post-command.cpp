// Waits for a top-level window of a class to come up and, optionally, posts
// it a WM_COMMAND. `make run` uses it to know when Kagero's main window is
// ready, to bring it to the front for its screenshot, and to close Kagero
// through its own Exit command.
//   post-command.exe [--wait SECONDS] [--front] CLASS [COMMAND]
// Exit codes: 0 done, 1 no such window in time, 2 bad arguments, 3 the
// window could not be brought to the front or the command not posted.
#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace {

const DWORD PollMilliseconds = 100;
const UINT ResponseTimeoutMilliseconds = 5000;

bool ParseNumber(const wchar_t* text, unsigned long maximum, unsigned long* value)
{
    if (!text || !std::iswdigit(text[0]))
        return false;
    wchar_t* end = nullptr;
    unsigned long parsed = std::wcstoul(text, &end, 10);
    if (*end != L'\0' || parsed > maximum)
        return false;
    *value = parsed;
    return true;
}

// The window once it exists, is visible and has answered a message, so
// that its start-up has run through; null when the time runs out.
HWND WaitForWindow(const wchar_t* className, unsigned long seconds)
{
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        HWND window = FindWindowW(className, nullptr);
        DWORD_PTR ignored = 0;
        if (window && IsWindowVisible(window)
            && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ResponseTimeoutMilliseconds, &ignored))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(PollMilliseconds);
    }
}

int Usage()
{
    std::fwprintf(stderr, L"usage: post-command.exe [--wait SECONDS] [--front] CLASS [COMMAND]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int next = 1;
    unsigned long seconds = 30;
    if (next < argc && std::wcscmp(argv[next], L"--wait") == 0) {
        if (next + 1 >= argc || !ParseNumber(argv[next + 1], 3600, &seconds))
            return Usage();
        next += 2;
    }
    const bool front = next < argc && std::wcscmp(argv[next], L"--front") == 0;
    next += front;
    if (next >= argc || argc - next > 2)
        return Usage();
    const wchar_t* className = argv[next];
    unsigned long command = 0;
    bool post = argc - next == 2;
    if (post && !ParseNumber(argv[next + 1], 0xFFFF, &command))
        return Usage();

    HWND window = WaitForWindow(className, seconds);
    if (!window) {
        std::fwprintf(stderr, L"post-command: no visible window of class %ls\n", className);
        return 1;
    }
    // Without a window manager Wine may neither activate the window nor, once
    // it is the foreground, draw its frame active.
    DWORD_PTR ignored = 0;
    if (front && (!SetForegroundWindow(window) || GetForegroundWindow() != window ||
                  !SendMessageTimeoutW(window, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, ResponseTimeoutMilliseconds,
                                       &ignored))) {
        std::fwprintf(stderr, L"post-command: the window could not be brought to the front\n");
        return 3;
    }
    if (post && !PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0)) {
        std::fwprintf(stderr, L"post-command: posting failed (error %lu)\n", GetLastError());
        return 3;
    }
    return 0;
}
