#include "KernelObjects.h"

#include <winternl.h>
#include <sddl.h>

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtCreateDirectoryObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtCreateEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, int, BOOLEAN);
NTSYSAPI NTSTATUS NTAPI NtCreateMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, BOOLEAN);
NTSYSAPI NTSTATUS NTAPI NtCreateSemaphore(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, LONG, LONG);
NTSYSAPI NTSTATUS NTAPI NtCreateTimer(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, int);
NTSYSAPI NTSTATUS NTAPI NtCreateIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG);
NTSYSAPI NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PUNICODE_STRING);
NTSYSAPI NTSTATUS NTAPI NtSetSecurityObject(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
}

namespace {

struct Attributes {
    explicit Attributes(std::wstring fullPath, PSECURITY_DESCRIPTOR descriptor = nullptr) : path(std::move(fullPath))
    {
        RtlInitUnicodeString(&name, path.c_str());
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    }
    std::wstring path;
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
};

int NextRootNumber = 0;

}  // namespace

TestNamespace::TestNamespace()
{
    root_ = L"\\KageroTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++NextRootNumber);
    Directory(L"");
}

TestNamespace::~TestNamespace()
{
    // Children first, so that nothing is left behind in the root.
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it)
        CloseHandle(it->second);
    UseDescriptor(L"");
}

bool TestNamespace::UseDescriptor(const std::wstring& sddl)
{
    if (descriptor_)
        LocalFree(descriptor_);
    descriptor_ = nullptr;
    return sddl.empty() ||
           ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
}

HANDLE TestNamespace::Handle(const std::wstring& relative) const
{
    const std::wstring path = Path(relative);
    for (const auto& kept : handles_)
        if (kept.first == path)
            return kept.second;
    return nullptr;
}

std::wstring TestNamespace::Path(const std::wstring& relative) const
{
    return relative.empty() ? root_ : root_ + L"\\" + relative;
}

long TestNamespace::Keep(long status, const HANDLE& handle, const std::wstring& path)
{
    if (status >= 0)
        handles_.emplace_back(path, handle);
    return status;
}

long TestNamespace::Directory(const std::wstring& relative)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    return Keep(NtCreateDirectoryObject(&h, 0xF000F, &a.attributes), h, a.path);
}

long TestNamespace::Event(const std::wstring& relative, bool manualReset, bool signalled)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    // Event types: 0 notification (manual reset), 1 synchronization (auto reset).
    return Keep(NtCreateEvent(&h, EVENT_ALL_ACCESS, &a.attributes, manualReset ? 0 : 1, signalled), h, a.path);
}

long TestNamespace::Mutant(const std::wstring& relative, bool owned)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    return Keep(NtCreateMutant(&h, MUTANT_ALL_ACCESS, &a.attributes, owned), h, a.path);
}

long TestNamespace::Semaphore(const std::wstring& relative, long initial, long maximum)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    return Keep(NtCreateSemaphore(&h, SEMAPHORE_ALL_ACCESS, &a.attributes, initial, maximum), h, a.path);
}

long TestNamespace::Timer(const std::wstring& relative)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    return Keep(NtCreateTimer(&h, TIMER_ALL_ACCESS, &a.attributes, 0), h, a.path);
}

long TestNamespace::IoCompletion(const std::wstring& relative)
{
    Attributes a(Path(relative), descriptor_);
    HANDLE h = nullptr;
    return Keep(NtCreateIoCompletion(&h, 0x1F0003, &a.attributes, 0), h, a.path);
}

long TestNamespace::SymbolicLink(const std::wstring& relative, const std::wstring& target)
{
    Attributes a(Path(relative), descriptor_);
    UNICODE_STRING to;
    RtlInitUnicodeString(&to, target.c_str());
    HANDLE h = nullptr;
    return Keep(NtCreateSymbolicLinkObject(&h, 0xF0001, &a.attributes, &to), h, a.path);
}

long TestNamespace::Refuse(const std::wstring& relative)
{
    HANDLE handle = Handle(relative);
    if (!handle)
        return static_cast<long>(0xC0000034L);
    // An empty DACL grants no access to anyone; the handle we hold keeps working.
    SECURITY_DESCRIPTOR descriptor;
    ACL acl;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE);
    return NtSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
}

void TestNamespace::Remove(const std::wstring& relative)
{
    const std::wstring path = Path(relative);
    for (auto it = handles_.begin(); it != handles_.end(); ++it) {
        if (it->first == path) {
            CloseHandle(it->second);
            handles_.erase(it);
            return;
        }
    }
}
