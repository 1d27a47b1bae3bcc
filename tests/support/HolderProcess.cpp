#include "HolderProcess.h"

namespace {

// Generous: they only end a test whose holder hangs.
const DWORD ReadyMilliseconds = 30000, EndMilliseconds = 30000;

std::wstring ProgramPath()
{
    const char* path = KAGERO_HOLDER_EXE;
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, &wide[0], static_cast<int>(wide.size()));
    wide.pop_back();
    return L"Z:" + wide;  // drive Z: is the Unix root to Wine
}

}  // namespace

bool HolderProcess::Start(const std::wstring& directory)
{
    Stop();
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE ready = CreateEventW(&inherit, TRUE, FALSE, nullptr);
    if (!ready || !CreatePipe(&reading, &input_, &inherit, 0)) {
        CloseHandle(ready);
        return false;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    const std::wstring program = ProgramPath();
    std::wstring line = L"kagero_holder \"" + directory + L"\" " +
                        std::to_wstring(reinterpret_cast<ULONG_PTR>(ready));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = reading;
    PROCESS_INFORMATION started = {};
    const BOOL created = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &started);
    CloseHandle(reading);  // the holder has its own
    if (created) {
        CloseHandle(started.hThread);
        process_ = started.hProcess;
        pid_ = started.dwProcessId;
    }
    // Ready, or ended without making its objects.
    const HANDLE waits[] = {ready, process_};
    const bool made = created && WaitForMultipleObjects(2, waits, FALSE, ReadyMilliseconds) == WAIT_OBJECT_0;
    CloseHandle(ready);
    if (!made)
        Stop();
    return made;
}

void HolderProcess::Stop()
{
    if (input_)
        CloseHandle(input_);
    input_ = nullptr;
    if (process_) {
        if (WaitForSingleObject(process_, EndMilliseconds) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    process_ = nullptr;
    pid_ = 0;
}
