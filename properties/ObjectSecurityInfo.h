// The security information provider for one kernel object: what the
// system's access-control editor reads and writes through.
#pragma once

#include <windows.h>
#include <aclui.h>

#include "WideText.h"

class ObjectSecurityInfo final : public ISecurityInformation {
public:
    // A new provider with a count of 0; null when memory runs out.
    static ObjectSecurityInfo* Create();

    // Asks the editor for its page over the object. Always takes the
    // sheet's reference, page or none, which the sheet drops with Release
    // after it has closed: every road destroys the provider exactly once.
    HPROPSHEETPAGE CreatePage(const wchar_t* fullPath, int typeCode);

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // ISecurityInformation
    STDMETHOD(GetObjectInformation)(PSI_OBJECT_INFO info) override;
    STDMETHOD(GetSecurity)(SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor, BOOL isDefault) override;
    STDMETHOD(SetSecurity)(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) override;
    STDMETHOD(GetAccessRights)(const GUID* objectType, DWORD flags, PSI_ACCESS* access, ULONG* count,
                               ULONG* defaultIndex) override;
    STDMETHOD(MapGeneric)(const GUID* objectType, UCHAR* aceFlags, ACCESS_MASK* mask) override;
    STDMETHOD(GetInheritTypes)(PSI_INHERIT_TYPE* types, ULONG* count) override;
    STDMETHOD(PropertySheetPageCallback)(HWND window, UINT message, SI_PAGE_TYPE page) override;

private:
    // One entry and one name slot per bit of an access mask.
    static const int AccessSlots = 32;
    static const int NameChars = 32;

    ObjectSecurityInfo();
    ~ObjectSecurityInfo();

    LONG references_ = 0;
    WideText objectPath_;
    int typeCode_ = -1;
    SI_ACCESS access_[AccessSlots] = {};
    wchar_t names_[AccessSlots][NameChars] = {};
};

// Providers made and not yet destroyed; lets tests prove each is destroyed once.
long LiveSecurityProviders();

// Reads the requested parts of the object's descriptor into a LocalAlloc
// block (*descriptor; the caller frees it with LocalFree). S_OK, or
// E_OUTOFMEMORY, E_ACCESSDENIED or E_FAIL with *descriptor null.
HRESULT ReadKernelSecurity(HANDLE object, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR* descriptor);

// Writes the given parts of descriptor: 0 or the Win32 error.
DWORD WriteKernelSecurity(HANDLE object, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);
