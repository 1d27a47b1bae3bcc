#include "ObjectSecurityInfo.h"

#include <new>

namespace {
long LiveProviders = 0;
}

long LiveSecurityProviders() { return LiveProviders; }

ObjectSecurityInfo* ObjectSecurityInfo::Create() { return new (std::nothrow) ObjectSecurityInfo; }

ObjectSecurityInfo::ObjectSecurityInfo() { ++LiveProviders; }
ObjectSecurityInfo::~ObjectSecurityInfo() { --LiveProviders; }

// The security page is not built yet: the sheet shows the General page alone.
HPROPSHEETPAGE ObjectSecurityInfo::CreatePage(const wchar_t* fullPath, int typeCode)
{
    objectPath_.Assign(fullPath);
    typeCode_ = typeCode;
    AddRef();
    return nullptr;
}

STDMETHODIMP ObjectSecurityInfo::QueryInterface(REFIID, void** object)
{
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

STDMETHODIMP ObjectSecurityInfo::GetObjectInformation(PSI_OBJECT_INFO) { return E_NOTIMPL; }
STDMETHODIMP ObjectSecurityInfo::GetSecurity(SECURITY_INFORMATION, PSECURITY_DESCRIPTOR*, BOOL) { return E_NOTIMPL; }
STDMETHODIMP ObjectSecurityInfo::SetSecurity(SECURITY_INFORMATION, PSECURITY_DESCRIPTOR) { return E_NOTIMPL; }
STDMETHODIMP ObjectSecurityInfo::GetAccessRights(const GUID*, DWORD, PSI_ACCESS*, ULONG*, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP ObjectSecurityInfo::MapGeneric(const GUID*, UCHAR*, ACCESS_MASK*) { return S_OK; }
STDMETHODIMP ObjectSecurityInfo::GetInheritTypes(PSI_INHERIT_TYPE*, ULONG* count)
{
    *count = 0;
    return S_OK;
}
STDMETHODIMP ObjectSecurityInfo::PropertySheetPageCallback(HWND, UINT, SI_PAGE_TYPE) { return E_NOTIMPL; }
