#include "ObjectSecurityInfo.h"

#include <new>

#include "AccessEditor.h"
#include "AccessRights.h"
#include "ObjectOpen.h"
#include "WindowsLayout.h"

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(SI_OBJECT_INFO) == WindowsLayout(36, 56)
              && offsetof(SI_OBJECT_INFO, hInstance) == WindowsLayout(4, 8)
              && offsetof(SI_OBJECT_INFO, pszServerName) == WindowsLayout(8, 16)
              && offsetof(SI_OBJECT_INFO, pszObjectName) == WindowsLayout(12, 24)
              && offsetof(SI_OBJECT_INFO, pszPageTitle) == WindowsLayout(16, 32)
              && offsetof(SI_OBJECT_INFO, guidObjectType) == WindowsLayout(20, 40), "SI_OBJECT_INFO");
static_assert(sizeof(SI_ACCESS) == WindowsLayout(16, 32) && offsetof(SI_ACCESS, mask) == WindowsLayout(4, 8)
              && offsetof(SI_ACCESS, pszName) == WindowsLayout(8, 16)
              && offsetof(SI_ACCESS, dwFlags) == WindowsLayout(12, 24), "SI_ACCESS");
static_assert(sizeof(SI_INHERIT_TYPE) == WindowsLayout(12, 24)
              && offsetof(SI_INHERIT_TYPE, dwFlags) == WindowsLayout(4, 8)
              && offsetof(SI_INHERIT_TYPE, pszName) == WindowsLayout(8, 16), "SI_INHERIT_TYPE");

namespace {

long LiveProviders = 0;

// Our own copies: compared byte for byte, and no import library needed.
const GUID UnknownInterface = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID SecurityInformationInterface = {
    0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}};
const GUID NoObjectType = {};  // GUID_NULL: the rights apply to the object itself

// SI_EDIT_OWNER | SI_EDIT_AUDITS | SI_ADVANCED | SI_OWNER_RECURSE | SI_NO_ACL_PROTECT | SI_NO_TREE_APPLY
const DWORD EditorFlags = 0x00000713;
// SI_ACCESS_SPECIFIC | SI_ACCESS_GENERAL | SI_ACCESS_PROPERTY: every right on every page.
const DWORD AccessEntryFlags = 0x000B0000;
// ACCESS_SYSTEM_SECURITY | STANDARD_RIGHTS_ALL | the first specific right, for every type.
const ACCESS_MASK AllRights = 0x011F0001;

bool SameGuid(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

// HRESULT_FROM_WIN32: zero and negative values pass unchanged.
HRESULT FromWin32(DWORD error)
{
    if (static_cast<LONG>(error) <= 0)
        return static_cast<HRESULT>(error);
    return static_cast<HRESULT>((error & 0xFFFF) | 0x80070000);
}

HRESULT FromOpenStatus(NTSTATUS status) { return FromWin32(RtlNtStatusToDosError(status)); }

}  // namespace

long LiveSecurityProviders() { return LiveProviders; }

ObjectSecurityInfo* ObjectSecurityInfo::Create() { return new (std::nothrow) ObjectSecurityInfo; }

ObjectSecurityInfo::ObjectSecurityInfo() { ++LiveProviders; }
ObjectSecurityInfo::~ObjectSecurityInfo() { --LiveProviders; }

HPROPSHEETPAGE ObjectSecurityInfo::CreatePage(const wchar_t* fullPath, int typeCode)
{
    // The sheet's reference comes first: an editor that takes and drops a
    // reference of its own while failing must not bring the count to 0.
    AddRef();
    typeCode_ = typeCode;
    // Without the whole path there is no page: a shorter one names another object.
    if (!objectPath_.Assign(fullPath))
        return nullptr;
    CreateSecurityPageCall createPage = FindCreateSecurityPage();
    return createPage ? createPage(this) : nullptr;
}

STDMETHODIMP ObjectSecurityInfo::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (SameGuid(iid, UnknownInterface) || SameGuid(iid, SecurityInformationInterface)) {
        *object = static_cast<ISecurityInformation*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ObjectSecurityInfo::AddRef() { return static_cast<ULONG>(++references_); }

STDMETHODIMP_(ULONG) ObjectSecurityInfo::Release()
{
    const LONG left = --references_;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP ObjectSecurityInfo::GetObjectInformation(PSI_OBJECT_INFO info)
{
    if (!info)
        return E_POINTER;
    info->dwFlags = EditorFlags;
    info->hInstance = nullptr;
    info->pszServerName = nullptr;
    info->pszPageTitle = nullptr;
    // Empty for the root "\"; points into the provider's own path.
    info->pszObjectName = const_cast<LPWSTR>(LastPathComponent(objectPath_.Get()));
    return S_OK;
}

STDMETHODIMP ObjectSecurityInfo::GetSecurity(SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor, BOOL)
{
    if (!descriptor)
        return E_POINTER;
    *descriptor = nullptr;
    // Always the full information mask, so a refused audit right shows at once.
    ObjectHandle object;
    const NTSTATUS status = OpenObjectByType(objectPath_.Get(), typeCode_, OpenForInformation, object.Receive());
    if (status != 0)
        return FromOpenStatus(status);
    return ReadKernelSecurity(object.Get(), requested, descriptor);
}

STDMETHODIMP ObjectSecurityInfo::SetSecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor)
{
    const ACCESS_MASK access =
        (information & SACL_SECURITY_INFORMATION) ? OpenForAuditWrite : OpenForSecurityWrite;
    ObjectHandle object;
    const NTSTATUS status = OpenObjectByType(objectPath_.Get(), typeCode_, access, object.Receive());
    if (status != 0)
        return FromOpenStatus(status);
    return FromWin32(WriteKernelSecurity(object.Get(), information, descriptor));
}

STDMETHODIMP ObjectSecurityInfo::GetAccessRights(const GUID*, DWORD, PSI_ACCESS* access, ULONG* count,
                                                 ULONG* defaultIndex)
{
    if (!access || !count || !defaultIndex)
        return E_POINTER;
    ACCESS_MASK valid = 0;
    int row = NoAccessRow;
    FindAccessRow(typeCode_, &valid, &row);
    int n = 0;
    for (int bit = 0; bit < AccessSlots; ++bit) {
        const ACCESS_MASK mask = static_cast<ACCESS_MASK>(1) << bit;
        if (!(valid & mask))
            continue;
        // A right without a name is offered under its bit, never blank.
        if (GetAccessRightName(row, mask, names_[n], NameChars) != 0)
            wsprintfW(names_[n], L"0x%08X", mask);
        access_[n].pguid = &NoObjectType;
        access_[n].mask = mask;
        access_[n].pszName = names_[n];
        access_[n].dwFlags = AccessEntryFlags;
        ++n;
    }
    *access = access_;
    *count = static_cast<ULONG>(n);
    *defaultIndex = 0;
    return S_OK;
}

STDMETHODIMP ObjectSecurityInfo::MapGeneric(const GUID*, UCHAR*, ACCESS_MASK* mask)
{
    if (!mask)
        return E_POINTER;
    if (*mask & GENERIC_ALL)
        *mask = AllRights;
    return S_OK;
}

STDMETHODIMP ObjectSecurityInfo::GetInheritTypes(PSI_INHERIT_TYPE*, ULONG* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ObjectSecurityInfo::PropertySheetPageCallback(HWND, UINT, SI_PAGE_TYPE) { return E_NOTIMPL; }

HRESULT ReadKernelSecurity(HANDLE object, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor)
{
    *descriptor = nullptr;
    DWORD needed = 0;
    if (!GetKernelObjectSecurity(object, requested, nullptr, 0, &needed)) {
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return error == ERROR_ACCESS_DENIED ? E_ACCESSDENIED : E_FAIL;
    }
    if (needed == 0)
        return E_FAIL;
    LocalBlock buffer(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, needed));
    if (!buffer)
        return E_OUTOFMEMORY;
    if (!GetKernelObjectSecurity(object, requested, buffer.Get(), needed, &needed))
        return GetLastError() == ERROR_ACCESS_DENIED ? E_ACCESSDENIED : E_FAIL;
    *descriptor = buffer.Release();
    return S_OK;
}

DWORD WriteKernelSecurity(HANDLE object, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor)
{
    if (!SetKernelObjectSecurity(object, information, descriptor))
        return GetLastError();
    return 0;
}
