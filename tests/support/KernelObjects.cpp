#include "KernelObjects.h"

#include <winternl.h>
#include <sddl.h>

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtCreateDirectoryObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtCreateEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, int, BOOLEAN);
NTSYSAPI NTSTATUS NTAPI NtCreateMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, BOOLEAN);
NTSYSAPI NTSTATUS NTAPI NtCreateSemaphore(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, LONG, LONG);
NTSYSAPI NTSTATUS NTAPI NtCreateIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG);
NTSYSAPI NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PUNICODE_STRING);
NTSYSAPI NTSTATUS NTAPI NtCreateSection(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PLARGE_INTEGER, ULONG, ULONG, HANDLE);
NTSYSAPI NTSTATUS NTAPI NtCreateTimer(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, int);
NTSYSAPI NTSTATUS NTAPI NtCreateJobObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
}

static int NextRootNumber = 0;
// Ends still owning the mutant: it is abandoned.
static DWORD WINAPI HoldAndExit(LPVOID mutant) { return WaitForSingleObject(static_cast<HANDLE>(mutant), INFINITE); }

TestNamespace::TestNamespace()
    : root_(L"\\KageroTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++NextRootNumber))
{
    Directory(L"");
}

TestNamespace::~TestNamespace()
{
    // Children first, so that nothing is left behind in the root.
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it)
        CloseHandle(it->second);
    LocalFree(descriptor_);
}

int TestNamespace::Build(std::initializer_list<ObjectRow> rows)
{
    int failed = 0;
    for (const ObjectRow& row : rows)
        failed += Create(row) < 0;
    return failed;
}

std::wstring TestNamespace::Path(const std::wstring& relative) const
{
    return relative.empty() ? root_ : root_ + L"\\" + relative;
}

HANDLE TestNamespace::Handle(const std::wstring& relative) const
{
    const auto kept = handles_.find(Path(relative));
    return kept == handles_.end() ? nullptr : kept->second;
}

void TestNamespace::Remove(const std::wstring& relative)
{
    CloseHandle(Handle(relative));
    handles_.erase(Path(relative));
}

long TestNamespace::Create(const ObjectRow& row)
{
    if (row.kind == Kind::Sddl) {
        LocalFree(descriptor_);
        descriptor_ = nullptr;
        return row.path.empty() || ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                       row.path.c_str(), SDDL_REVISION_1, &descriptor_, nullptr) ? 0 : -1;
    }
    if (row.kind == Kind::Refuse) {
        // An empty DACL grants no access to anyone; the handle we hold keeps working.
        PSECURITY_DESCRIPTOR empty = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &empty, nullptr);
        const BOOL set = SetKernelObjectSecurity(Handle(row.path), DACL_SECURITY_INFORMATION, empty);
        LocalFree(empty);
        return set ? 0 : -1;
    }
    const std::wstring path = Path(row.path);
    UNICODE_STRING name, target;
    RtlInitUnicodeString(&name, path.c_str());
    RtlInitUnicodeString(&target, row.target.c_str());
    OBJECT_ATTRIBUTES a;
    InitializeObjectAttributes(&a, &name, OBJ_CASE_INSENSITIVE, nullptr, descriptor_);
    HANDLE h = nullptr;
    NTSTATUS status = 0;
    switch (row.kind) {
    case Kind::Directory: status = NtCreateDirectoryObject(&h, 0xF000F, &a); break;
    // Event types: 0 notification (manual reset), 1 synchronization (auto reset).
    case Kind::Event: status = NtCreateEvent(&h, EVENT_ALL_ACCESS, &a, row.first ? 0 : 1, row.second != 0); break;
    case Kind::Mutant: status = NtCreateMutant(&h, MUTANT_ALL_ACCESS, &a, row.first == 1); break;
    case Kind::Semaphore: status = NtCreateSemaphore(&h, SEMAPHORE_ALL_ACCESS, &a, row.first, row.second); break;
    case Kind::IoCompletion: status = NtCreateIoCompletion(&h, 0x1F0003, &a, 0); break;
    case Kind::Section: {
        LARGE_INTEGER size = {};
        size.QuadPart = row.first;
        status = NtCreateSection(&h, SECTION_ALL_ACCESS, &a, &size, PAGE_READWRITE, SEC_COMMIT, nullptr);
        break;
    }
    case Kind::Timer: status = NtCreateTimer(&h, TIMER_ALL_ACCESS, &a, 0); break;  // a notification timer
    case Kind::Job: status = NtCreateJobObject(&h, JOB_OBJECT_ALL_ACCESS, &a); break;
    default: status = NtCreateSymbolicLinkObject(&h, 0xF0001, &a, &target); break;
    }
    if (status < 0)
        return status;
    handles_[path] = h;
    if (row.kind == Kind::Mutant && row.first == 2) {
        HANDLE thread = CreateThread(nullptr, 0, HoldAndExit, h, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return status;
}
