// kagero_holder.exe DIRECTORY READY: a second process holding known objects
// for the tests that look for holders. In DIRECTORY (a full object path) it
// makes the event HeldEvent, with a second handle of other access, and the
// mutant HeldMutant, each with a descriptor of its own (under Wine an object
// made without one has none); it keeps its own program file open too, and
// both ends of the pipe kagero_holder_pipe_PID, the file
// C:\windows\temp\kagero_holder_PID.txt (gone when it ends) and NUL. Then
// it sets the inherited event whose handle value READY gives, and holds
// everything until its standard input closes.
#include <windows.h>
#include <winternl.h>
#include <sddl.h>

#include <cwchar>
#include <string>

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtCreateEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, int, BOOLEAN);
NTSYSAPI NTSTATUS NTAPI NtOpenEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtCreateMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, BOOLEAN);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    const std::wstring directory = argv[1];
    const std::wstring eventPath = directory + L"\\HeldEvent", mutantPath = directory + L"\\HeldMutant";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr))
        return 3;
    UNICODE_STRING eventName, mutantName;
    RtlInitUnicodeString(&eventName, eventPath.c_str());
    RtlInitUnicodeString(&mutantName, mutantPath.c_str());
    OBJECT_ATTRIBUTES event, mutant;
    InitializeObjectAttributes(&event, &eventName, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    InitializeObjectAttributes(&mutant, &mutantName, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    HANDLE created = nullptr, opened = nullptr, owned = nullptr;
    if (NtCreateEvent(&created, EVENT_ALL_ACCESS, &event, 0, FALSE) != 0 ||
        NtOpenEvent(&opened, SYNCHRONIZE | 0x0001 /* EVENT_QUERY_STATE */, &event) != 0 ||
        NtCreateMutant(&owned, MUTANT_ALL_ACCESS, &mutant, FALSE) != 0)
        return 4;
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    HANDLE file = length && length < MAX_PATH ? CreateFileW(program, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                            OPEN_EXISTING, 0, nullptr) : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return 5;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring pipeName = L"\\\\.\\pipe\\kagero_holder_pipe_" + pid;
    const std::wstring fileName = L"C:\\windows\\temp\\kagero_holder_" + pid + L".txt";
    HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
    HANDLE client = server == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE
                        : CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE held = CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE || held == INVALID_HANDLE_VALUE || null == INVALID_HANDLE_VALUE)
        return 6;

    HANDLE ready = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(argv[2], nullptr, 10)));
    SetEvent(ready);
    CloseHandle(ready);
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read > 0) {
    }
    return 0;
}
