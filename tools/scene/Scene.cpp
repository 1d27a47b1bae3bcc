// kagero-scene.exe: the objects the README's examples and pictures look at.
//   kagero-scene          makes the scene and returns once it is there
//   kagero-scene --end    ends it and returns once it is gone
// The scene is a few objects in \BaseNamedObjects such as applications leave
// there, three events with descriptors of their own (one labelled Low), kept
// by a detached process of this program ("--keep READY GO PARENT"), and
// copies of this program under made-up program names that make and hold the
// mail programs' section ("--hold ROLE READY GO PARENT"), so that a program
// holds it from its first moment. The keeper waits on a pipe, whose name is
// no entry of the namespace, so a dump sees nothing of the scene but its
// objects; it also keeps the backup agent's catalog file open, so that the
// holders of a pipe and of a file have an example each. They are made in the dump's order, at once (the holders are
// started first and wait for GO), and ended in that order, so that a watch
// seldom has a look fall between two of them and, when it does, still writes
// them in the dump's order.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "Scene.h"

namespace {

const wchar_t PipeName[] = L"\\\\.\\pipe\\kagero-scene";
// In the Windows folder rather than the user's temporary one, so that its name is the same for every user.
const wchar_t CatalogFile[] = L"C:\\windows\\temp\\BackupAgent.catalog";

enum Kind { ManualEvent, AutoEvent, Mutant, Timer, Semaphore, Section };

// The indexer's queue: any signed-in user's program may set it and wait on
// it (and SYSTEM and Administrators do anything); Everyone, which includes
// the anonymous logon, nothing.
const wchar_t QueueDescriptor[] = L"O:BAG:BAD:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120003;;;AU)";
// What the mail client's preview, which runs at Low integrity, sets when it
// is done: labelled Low so that the preview may set it; Everyone may set it
// and wait on it.
const wchar_t PreviewDescriptor[] =
    L"O:BAG:BAD:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120003;;;WD)S:(ML;;NW;;;LW)";

// In the dump's order: names without regard to case. An object without a
// descriptor of its own has none under Wine.
const struct {
    const wchar_t* name;
    Kind kind;
    const wchar_t* descriptor;
} Objects[] = {
    {L"BackupAgent.Catalog.Lock", Mutant, nullptr},
    {L"BackupAgent.JobFinished", ManualEvent, nullptr},
    {L"BackupAgent.NextRun", Timer, nullptr},
    {L"Indexer.Queue.Ready", AutoEvent, QueueDescriptor},
    {scene::PanelObject, Semaphore, nullptr},
    {L"MailClient.NewMessage", AutoEvent, nullptr},
    {L"MailClient.PreviewDone", ManualEvent, PreviewDescriptor},
    {L"MailClient.Profile.Lock", Mutant, nullptr},
    {scene::SharedObject, Section, nullptr},
    {scene::SecuredObject, AutoEvent, scene::SecuredDescriptor},
};
const int ObjectCount = sizeof(Objects) / sizeof(Objects[0]);

// The programs that hold the section, and what each opens it for.
const struct {
    const wchar_t* program;
    DWORD access;
} Holders[] = {{L"MailClient.exe", FILE_MAP_ALL_ACCESS}, {L"MailSync.exe", FILE_MAP_READ}, {L"MailClient.exe", FILE_MAP_READ}};
const int HolderCount = sizeof(Holders) / sizeof(Holders[0]);

struct Owned {
    HANDLE handle = nullptr;
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }
    void Reset(HANDLE next = nullptr)
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = next;
    }
};

HANDLE HandleArgument(const wchar_t* text) { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(_wtoi64(text))); }

// An event with its own descriptor, opened for SYNCHRONIZE only, which each
// of the scene's descriptors gives its maker.
HANDLE MakeSecuredEvent(const std::wstring& name, bool manual, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    HANDLE event = CreateEventExW(&attributes, name.c_str(), manual ? CREATE_EVENT_MANUAL_RESET : 0, SYNCHRONIZE);
    LocalFree(descriptor);
    return event;
}

HANDLE Make(Kind kind, const wchar_t* name, const wchar_t* descriptor = nullptr)
{
    const std::wstring global = std::wstring(L"Global\\") + name;
    if (descriptor && (kind == ManualEvent || kind == AutoEvent))
        return MakeSecuredEvent(global, kind == ManualEvent, descriptor);
    switch (kind) {
    case ManualEvent: return CreateEventW(nullptr, TRUE, FALSE, global.c_str());
    case AutoEvent: return CreateEventW(nullptr, FALSE, FALSE, global.c_str());
    case Mutant: return CreateMutexW(nullptr, FALSE, global.c_str());
    case Timer: return CreateWaitableTimerW(nullptr, TRUE, global.c_str());
    case Semaphore: return CreateSemaphoreW(nullptr, 3, 8, global.c_str());
    case Section: return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536, global.c_str());
    }
    return nullptr;
}

// A process of this program, its events and how to wait for it.
struct Child {
    Owned process, ready, go;

    // Waits for READY (then reset for the next step), or the child's end.
    DWORD Wait()
    {
        HANDLE both[] = {ready.handle, process.handle};
        const DWORD waited = WaitForMultipleObjects(2, both, FALSE, 30000);
        if (waited == WAIT_OBJECT_0)
            return ResetEvent(ready.handle) ? 0 : GetLastError();
        DWORD code = ERROR_TIMEOUT;
        if (!GetExitCodeProcess(process.handle, &code) || code == STILL_ACTIVE)
            TerminateProcess(process.handle, code = ERROR_TIMEOUT);
        return code ? code : ERROR_GEN_FAILURE;
    }
};

// Starts `program arguments READY GO PARENT` detached, with no standard
// handles, so that it keeps no caller's pipe open, and waits for READY.
DWORD Start(Child& child, const std::wstring& program, const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    child.ready.Reset(CreateEventW(&inherited, TRUE, FALSE, nullptr));
    child.go.Reset(CreateEventW(&inherited, TRUE, FALSE, nullptr));
    if (!child.ready.handle || !child.go.handle)
        return GetLastError();
    std::wstring command = L"\"" + program + L"\" " + arguments + L" " +
                           std::to_wstring(reinterpret_cast<ULONG_PTR>(child.ready.handle)) + L" " +
                           std::to_wstring(reinterpret_cast<ULONG_PTR>(child.go.handle)) + L" " +
                           std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &started))
        return GetLastError();
    CloseHandle(started.hThread);
    child.process.Reset(started.hProcess);
    return child.Wait();
}

// A holder's part: up, then at GO the section made (the first) or opened
// as its role says, then held until the keeper ends.
int Hold(const wchar_t* role, const wchar_t* ready, const wchar_t* go, const wchar_t* parent)
{
    const int index = _wtoi(role);
    if (index < 0 || index >= HolderCount)
        return ERROR_INVALID_PARAMETER;
    Owned held, keeper;
    keeper.Reset(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(_wtoi(parent))));
    if (!keeper.handle || !SetEvent(HandleArgument(ready)))
        return GetLastError();
    HANDLE both[] = {HandleArgument(go), keeper.handle};
    if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0)
        return ERROR_CANCELLED;
    const std::wstring section = std::wstring(L"Global\\") + scene::SharedObject;
    held.Reset(index == 0 ? Make(Section, scene::SharedObject)
                          : OpenFileMappingW(Holders[index].access, FALSE, section.c_str()));
    if (!held.handle || !SetEvent(HandleArgument(ready)))
        return GetLastError();
    WaitForSingleObject(keeper.handle, INFINITE);
    return 0;
}

// Starts the section's holders, each a copy of this program under its
// program's name in the temporary folder; they wait for GO.
DWORD StartHolders(Child (&holders)[HolderCount])
{
    wchar_t self[MAX_PATH], folder[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!length || length >= MAX_PATH || !GetTempPathW(MAX_PATH, folder))
        return GetLastError();
    for (int i = 0; i < HolderCount; ++i) {
        const std::wstring program = std::wstring(folder) + Holders[i].program;
        // A copy already running (the second mail client) cannot be replaced, and need not be.
        if (!CopyFileW(self, program.c_str(), FALSE) && GetLastError() != ERROR_SHARING_VIOLATION)
            return GetLastError();
        if (const DWORD error = Start(holders[i], program, L"--hold " + std::to_wstring(i)))
            return error;
    }
    return 0;
}

// The keeper: makes the scene, sets READY, and at the pipe's first client ends
// it in the dump's order. Its exit code is the error that stopped it.
int Keep(const wchar_t* ready)
{
    Owned pipe, catalog, objects[ObjectCount];
    Child holders[HolderCount];
    pipe.Reset(CreateNamedPipeW(PipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 16, 16, 0, nullptr));
    if (pipe.handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    // Gone with the keeper: nothing of the scene is left on the disk.
    catalog.Reset(CreateFileW(CatalogFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (catalog.handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    if (const DWORD error = StartHolders(holders))
        return error;
    for (int i = 0; i < ObjectCount; ++i) {
        if (Objects[i].kind != Section) {
            objects[i].Reset(Make(Objects[i].kind, Objects[i].name, Objects[i].descriptor));
            if (!objects[i].handle)
                return GetLastError();
            continue;
        }
        for (Child& holder : holders) {
            if (!SetEvent(holder.go.handle))
                return GetLastError();
            if (const DWORD error = holder.Wait())
                return error;
        }
    }
    SetEvent(HandleArgument(ready));

    if (!ConnectNamedPipe(pipe.handle, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
        return GetLastError();
    for (int i = 0; i < ObjectCount; ++i) {
        objects[i].Reset();
        for (Child& holder : holders) {
            if (Objects[i].kind == Section && TerminateProcess(holder.process.handle, 0))
                WaitForSingleObject(holder.process.handle, 30000);
        }
    }
    return 0;  // the pipe closes as the keeper ends, which ends --end's wait
}

int Start()
{
    if (WaitNamedPipeW(PipeName, 1) || GetLastError() == ERROR_SEM_TIMEOUT) {
        fwprintf(stderr, L"kagero-scene: the scene is there already\n");
        return 0;
    }
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!length || length >= MAX_PATH) {
        fwprintf(stderr, L"kagero-scene: cannot find this program (error %lu)\n", GetLastError());
        return 1;
    }
    Child keeper;
    if (const DWORD error = Start(keeper, self, L"--keep")) {
        fwprintf(stderr, L"kagero-scene: the scene cannot be made (error %lu)\n", error);
        return 1;
    }
    return 0;
}

int End()
{
    Owned pipe;
    pipe.Reset(CreateFileW(PipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (pipe.handle == INVALID_HANDLE_VALUE) {
        fwprintf(stderr, L"kagero-scene: there is no scene to end (error %lu)\n", GetLastError());
        return 1;
    }
    // The keeper writes nothing: the read ends when it does.
    char none;
    DWORD read = 0;
    while (ReadFile(pipe.handle, &none, 1, &read, nullptr))
        ;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring first = argc > 1 ? argv[1] : L"";
    if (argc == 1)
        return Start();
    if (argc == 2 && first == L"--end")
        return End();
    if (argc == 5 && first == L"--keep")
        return Keep(argv[2]);
    if (argc == 6 && first == L"--hold")
        return Hold(argv[2], argv[3], argv[4], argv[5]);
    const bool help = argc == 2 && (first == L"--help" || first == L"-h" || first == L"/?");
    fwprintf(help ? stdout : stderr,
             L"usage: kagero-scene          makes the README's scene in \\BaseNamedObjects and returns;\n"
             L"                             it stays until the Wine session ends or:\n"
             L"       kagero-scene --end    ends it\n");
    return help ? 0 : 2;
}
