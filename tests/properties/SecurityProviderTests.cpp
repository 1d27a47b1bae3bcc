#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "AccessEditor.h"
#include "KernelObjects.h"
#include "ObjectOpen.h"
#include "ObjectSecurityInfo.h"

namespace {

const SECURITY_INFORMATION OwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
const wchar_t MissingLibrary[] = L"kagero-no-such-editor.dll";
// Owned by the administrators, whom the test process belongs to; everyone may do everything.
const char OpenEventSddl[] = "O:BAG:BAD:(A;;0x1f0003;;;WD)";
const char OpenDirectorySddl[] = "O:BAG:BAD:(A;;0xf000f;;;WD)";
// Owned by SYSTEM and granting only SYNCHRONIZE: Wine gives an owner implicit
// rights, so a refused object must belong to someone else.
const char RefusedSddl[] = "O:SYG:SYD:(A;;0x100000;;;WD)";

// Switches SeSecurityPrivilege, which Wine wants enabled for ACCESS_SYSTEM_SECURITY.
void SecurityPrivilege(bool enabled)
{
    HANDLE token = nullptr;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    REQUIRE(LookupPrivilegeValueW(nullptr, L"SeSecurityPrivilege", &privileges.Privileges[0].Luid));
    REQUIRE(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr));
    CloseHandle(token);
}

// SDDL is plain ASCII: narrow text reads well in failure reports.
std::string Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts)
{
    LPWSTR text = nullptr;
    if (!descriptor ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text, nullptr))
        return "(none)";
    std::string result;
    for (const wchar_t* at = text; *at; ++at)
        result += static_cast<char>(*at);
    LocalFree(text);
    return result;
}

// What a handle of the test's own reads.
std::string ReadBack(HANDLE object, SECURITY_INFORMATION parts)
{
    BYTE buffer[1024];
    DWORD needed = 0;
    if (!GetKernelObjectSecurity(object, parts, buffer, sizeof(buffer), &needed))
        return "(unreadable)";
    return Sddl(buffer, parts);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A descriptor from SDDL, freed at scope end.
struct Descriptor {
    explicit Descriptor(const std::string& sddl)
    {
        REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(sddl).c_str(), SDDL_REVISION_1, &value,
                                                                     nullptr));
    }
    ~Descriptor() { LocalFree(value); }
    PSECURITY_DESCRIPTOR value = nullptr;
};

// A provider over one object as the sheet holds it, with no editor page.
class Provider {
public:
    Provider(const std::wstring& path, int typeCode) : provider_(ObjectSecurityInfo::Create())
    {
        REQUIRE(provider_ != nullptr);
        SetAccessEditorForTests(MissingLibrary, nullptr);
        provider_->CreatePage(path.c_str(), typeCode);
        SetAccessEditorForTests(nullptr, nullptr);
    }
    ~Provider() { provider_->Release(); }
    ObjectSecurityInfo* operator->() const { return provider_; }

    // GetSecurity's result and the descriptor as SDDL, freed as the editor would.
    HRESULT Read(SECURITY_INFORMATION parts, std::string* sddl) const
    {
        PSECURITY_DESCRIPTOR descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(static_cast<INT_PTR>(1));
        const HRESULT result = provider_->GetSecurity(parts, &descriptor, FALSE);
        *sddl = "(none)";
        if (FAILED(result)) {
            CHECK(descriptor == nullptr);
            return result;
        }
        *sddl = Sddl(descriptor, parts);
        LocalFree(descriptor);
        return result;
    }
    HRESULT Write(SECURITY_INFORMATION parts, const std::string& sddl) const
    {
        Descriptor descriptor(sddl);
        return provider_->SetSecurity(parts, descriptor.value);
    }

private:
    ObjectSecurityInfo* provider_;
};

// Every open the provider makes, with the access it passes, and every close.
struct OpenLog {
    std::vector<ACCESS_MASK> access;
    int opened = 0;
    int closed = 0;
} Log;

NTSTATUS Opened(NTSTATUS status)
{
    if (status == 0)
        ++Log.opened;
    return status;
}
NTSTATUS NTAPI RecordEvent(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    Log.access.push_back(access);
    return Opened(NativeObjectCalls().openEvent(handle, access, attributes));
}
NTSTATUS NTAPI RecordDirectory(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    Log.access.push_back(access);
    return Opened(NativeObjectCalls().openDirectory(handle, access, attributes));
}
NTSTATUS NTAPI RecordClose(HANDLE handle)
{
    ++Log.closed;
    return NativeObjectCalls().close(handle);
}

class RecordedOpens {
public:
    RecordedOpens() : calls_(NativeObjectCalls())
    {
        Log = OpenLog();
        calls_.openEvent = RecordEvent;
        calls_.openDirectory = RecordDirectory;
        calls_.close = RecordClose;
        SetObjectCalls(&calls_);
    }
    ~RecordedOpens() { SetObjectCalls(nullptr); }

private:
    ObjectCalls calls_;
};

// Objects with known descriptors, the security privilege enabled as the sheet enables it.
struct SecuredObjects {
    SecuredObjects()
    {
        SecurityPrivilege(true);
        REQUIRE(ns.UseDescriptor(Wide(OpenEventSddl)));
        REQUIRE(ns.Event(L"Open") == 0);
        REQUIRE(ns.Event(std::wstring(300, L'L')) == 0);
        REQUIRE(ns.UseDescriptor(Wide(OpenDirectorySddl)));
        REQUIRE(ns.Directory(L"Folder") == 0);
        REQUIRE(ns.UseDescriptor(Wide(RefusedSddl)));
        REQUIRE(ns.Event(L"Refused") == 0);
    }
    ~SecuredObjects() { SecurityPrivilege(true); }
    TestNamespace ns;
};

}  // namespace

TEST_CASE_FIXTURE(SecuredObjects, "reading gives the owner and DACL a separate handle reads, whatever the path's length")
{
    const struct {
        std::wstring name;
        int type;
        const char* expected;
    } cases[] = {
        {L"Open", 3, "O:BAD:(A;;0x1f0003;;;WD)"},
        {L"Folder", 0, "O:BAD:(A;;CCDCLCSWSDRCWDWO;;;WD)"},  // Wine names these bits
        {std::wstring(300, L'L'), 3, "O:BAD:(A;;0x1f0003;;;WD)"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name.size());
        Provider provider(ns.Path(c.name), c.type);
        std::string read;
        CHECK(provider.Read(OwnerAndDacl, &read) == S_OK);
        CHECK(read == c.expected);
        CHECK(ReadBack(ns.Handle(c.name), OwnerAndDacl) == c.expected);
    }
}

TEST_CASE_FIXTURE(SecuredObjects, "a new owner and an added ACE are written, and a separate handle reads them back")
{
    Provider provider(ns.Path(L"Open"), 3);
    CHECK(provider.Write(OwnerAndDacl, "O:SYD:(A;;0x1f0003;;;WD)(A;;0x100000;;;BU)") == S_OK);
    CHECK(ReadBack(ns.Handle(L"Open"), OwnerAndDacl) == "O:SYD:(A;;0x1f0003;;;WD)(A;;0x100000;;;BU)");
    // Only the parts named are written.
    CHECK(provider.Write(DACL_SECURITY_INFORMATION, "O:BAD:(A;;0x1f0003;;;WD)") == S_OK);
    CHECK(ReadBack(ns.Handle(L"Open"), OwnerAndDacl) == "O:SYD:(A;;0x1f0003;;;WD)");
}

TEST_CASE_FIXTURE(SecuredObjects, "audit entries are written with the security privilege and refused without it")
{
    Provider provider(ns.Path(L"Open"), 3);
    std::string read;
    CHECK(provider.Write(SACL_SECURITY_INFORMATION, "S:(AU;SA;0x1f0003;;;WD)") == S_OK);
    CHECK(provider.Read(SACL_SECURITY_INFORMATION, &read) == S_OK);
    CHECK(read == "S:(AU;SA;0x1f0003;;;WD)");

    // Every read asks for ACCESS_SYSTEM_SECURITY, so without the privilege
    // even the owner cannot be read; a DACL write does not ask for it.
    SecurityPrivilege(false);
    CHECK(provider.Write(SACL_SECURITY_INFORMATION, "S:(AU;FA;0x1f0003;;;WD)") == HRESULT(0x80070005));
    CHECK(provider.Read(OWNER_SECURITY_INFORMATION, &read) == HRESULT(0x80070005));
    CHECK(read == "(none)");
    CHECK(provider.Write(DACL_SECURITY_INFORMATION, OpenEventSddl) == S_OK);
    SecurityPrivilege(true);
    CHECK(provider.Read(SACL_SECURITY_INFORMATION, &read) == S_OK);
    CHECK(read == "S:(AU;SA;0x1f0003;;;WD)");
}

TEST_CASE_FIXTURE(SecuredObjects, "failed opens reach the editor as converted statuses, with no descriptor")
{
    const struct {
        std::wstring name;
        int type;
        HRESULT result;
    } cases[] = {
        {L"Refused", 3, HRESULT(0x80070005)},          // STATUS_ACCESS_DENIED
        {L"Missing", 3, HRESULT(0x80070002)},          // STATUS_OBJECT_NAME_NOT_FOUND
        {L"Missing\\Event", 3, HRESULT(0x80070003)},   // STATUS_OBJECT_PATH_NOT_FOUND
        {L"Open", 8, HRESULT(0xFFFFFFFF)},             // a Port: no open for the type (passes unchanged)
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.name.begin(), c.name.end()));
        Provider provider(ns.Path(c.name), c.type);
        std::string read;
        CHECK(provider.Read(OwnerAndDacl, &read) == c.result);
        CHECK(read == "(none)");
        CHECK(provider.Write(DACL_SECURITY_INFORMATION, OpenEventSddl) == c.result);
    }
    CHECK(ReadBack(ns.Handle(L"Refused"), OwnerAndDacl) == "O:SYD:(A;;0x100000;;;WD)");
}

TEST_CASE_FIXTURE(SecuredObjects, "each read and write opens afresh with its own mask and closes what it opened")
{
    const struct {
        const wchar_t* name;
        int type;
        const char* written;  // null: a read
        SECURITY_INFORMATION parts;
        ACCESS_MASK passed;
        int opened;
    } cases[] = {
        {L"Open", 3, nullptr, OWNER_SECURITY_INFORMATION, 0x01020001, 1},
        {L"Open", 3, nullptr, SACL_SECURITY_INFORMATION, 0x01020001, 1},
        {L"Open", 3, OpenEventSddl, DACL_SECURITY_INFORMATION, 0x000C0000, 1},
        {L"Open", 3, OpenEventSddl, OWNER_SECURITY_INFORMATION, 0x000C0000, 1},
        {L"Open", 3, OpenEventSddl, DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION, 0x010C0000, 1},
        {L"Folder", 0, nullptr, DACL_SECURITY_INFORMATION, 0x01020003, 1},  // a directory's open adds its bits
        {L"Folder", 0, OpenDirectorySddl, SACL_SECURITY_INFORMATION, 0x010E0003, 1},
        {L"Refused", 3, nullptr, DACL_SECURITY_INFORMATION, 0x01020001, 0},
        {L"Refused", 3, RefusedSddl, DACL_SECURITY_INFORMATION, 0x000C0000, 0},
    };
    for (const auto& c : cases) {
        CAPTURE(std::wstring(c.name).size());
        CAPTURE(c.parts);
        Provider provider(ns.Path(c.name), c.type);
        RecordedOpens recorded;
        std::string read;
        if (c.written)
            provider.Write(c.parts, c.written);
        else
            provider.Read(c.parts, &read);
        CHECK(Log.access == std::vector<ACCESS_MASK>{c.passed});
        CHECK(Log.opened == c.opened);
        CHECK(Log.closed == c.opened);
    }
}

TEST_CASE("QueryInterface answers IUnknown and ISecurityInformation only")
{
    const struct {
        GUID iid;
        HRESULT result;
    } cases[] = {
        {{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, S_OK},
        {{0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}}, S_OK},
        {{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, E_NOINTERFACE},  // IDispatch
        {{0xC3CCFDB4, 0x6F88, 0x11D2, {0xA3, 0xCE, 0x00, 0xC0, 0x4F, 0xB1, 0x78, 0x2A}}, E_NOINTERFACE},  // ISecurityInformation2
        {{0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x24}}, E_NOINTERFACE},  // last byte off
    };
    Provider provider(L"\\", 0);
    // The count, read without changing it; the sheet's reference keeps it above 0.
    auto count = [&provider] {
        provider->AddRef();
        return provider->Release();
    };
    for (const auto& c : cases) {
        CAPTURE(c.iid.Data1);
        void* object = &provider;
        CHECK(provider->QueryInterface(c.iid, &object) == c.result);
        const ULONG after = count();
        if (c.result == S_OK) {
            CHECK(object == static_cast<ISecurityInformation*>(provider.operator->()));
            CHECK(after == 2);
        } else {
            CHECK(object == nullptr);
            CHECK(after == 1);
        }
        if (after == 2)
            provider->Release();
    }
}

namespace {

ISecurityInformation* HeldByPage = nullptr;
HPROPSHEETPAGE WINAPI NoPage(ISecurityInformation*) { return nullptr; }
// Takes and drops a reference of its own, then fails, as an editor may.
HPROPSHEETPAGE WINAPI FailingPage(ISecurityInformation* provider)
{
    provider->AddRef();
    provider->Release();
    return nullptr;
}
// Holds a reference until "destroyed", as a real page does.
HPROPSHEETPAGE WINAPI HoldingPage(ISecurityInformation* provider)
{
    HeldByPage = provider;
    provider->AddRef();
    return reinterpret_cast<HPROPSHEETPAGE>(static_cast<INT_PTR>(0x5EC));
}

}  // namespace

TEST_CASE("every road destroys the provider exactly once, after the last reference")
{
    const struct {
        const char* road;
        const wchar_t* library;
        CreateSecurityPageCall entry;
        bool page;
    } roads[] = {
        {"no editor library", MissingLibrary, nullptr, false},
        {"the editor gives no page", nullptr, NoPage, false},
        {"the editor fails after taking a reference", nullptr, FailingPage, false},
        {"a page holds its own reference", nullptr, HoldingPage, true},
        {"the system's editor", nullptr, nullptr, true},
    };
    for (const auto& r : roads) {
        CAPTURE(r.road);
        const long before = LiveSecurityProviders();
        ObjectSecurityInfo* provider = ObjectSecurityInfo::Create();
        REQUIRE(provider != nullptr);
        SetAccessEditorForTests(r.library, r.entry);
        HeldByPage = nullptr;
        HPROPSHEETPAGE page = provider->CreatePage(L"\\", 0);
        SetAccessEditorForTests(nullptr, nullptr);
        CHECK((page != nullptr) == r.page);
        CHECK(LiveSecurityProviders() == before + 1);
        if (page && !HeldByPage) {
            // The system's page drops its reference when it is destroyed.
            DestroyPropertySheetPage(page);
            CHECK(LiveSecurityProviders() == before + 1);
        }
        // The sheet's release, once the sheet has closed.
        provider->Release();
        if (HeldByPage) {
            CHECK(LiveSecurityProviders() == before + 1);
            CHECK(HeldByPage->Release() == 0);
        }
        CHECK(LiveSecurityProviders() == before);
    }
}

TEST_CASE("the rights offered: one entry per valid bit, unnamed bits under their number")
{
    const struct {
        int type;
        std::vector<std::pair<ACCESS_MASK, std::wstring>> entries;
    } cases[] = {
        {8,
         {{0x1, L"情報の問い合わせ"}, {0x10000, L"削除"}, {0x20000, L"アクセス許可の読み取り"},
          {0x40000, L"アクセス許可の変更"}, {0x80000, L"所有権の取得"}, {0x100000, L"同期"}}},
        {20,
         {{0x1, L"停止"}, {0x2, L"0x00000002"}, {0x4, L"0x00000004"}, {0x8, L"0x00000008"},
          {0x10, L"0x00000010"}, {0x20, L"設定"}, {0x40, L"0x00000040"}, {0x80, L"0x00000080"},
          {0x100, L"0x00000100"}, {0x200, L"0x00000200"}, {0x10000, L"削除"},
          {0x20000, L"アクセス許可の読み取り"}, {0x40000, L"アクセス許可の変更"}, {0x80000, L"所有権の取得"},
          {0x100000, L"同期"}, {0x1000000, L"監査"}}},
    };
    const GUID zero = {};
    for (const auto& c : cases) {
        CAPTURE(c.type);
        Provider provider(L"\\Some\\Object", c.type);
        PSI_ACCESS access = nullptr;
        ULONG count = 99;
        ULONG defaultIndex = 99;
        CHECK(provider->GetAccessRights(nullptr, SI_ADVANCED, &access, &count, &defaultIndex) == S_OK);
        CHECK(defaultIndex == 0);
        REQUIRE(count == c.entries.size());
        for (ULONG i = 0; i < count; ++i) {
            CAPTURE(i);
            CHECK(access[i].mask == c.entries[i].first);
            CHECK(access[i].pszName == c.entries[i].second);
            CHECK(access[i].dwFlags == 0x000B0000);
            REQUIRE(access[i].pguid != nullptr);
            CHECK(memcmp(access[i].pguid, &zero, sizeof(GUID)) == 0);
        }
    }
}

TEST_CASE("object information, generic mapping and the fixed answers")
{
    const struct {
        const wchar_t* path;
        const wchar_t* name;
    } names[] = {{L"\\", L""}, {L"\\Device\\Harddisk0", L"Harddisk0"}, {L"\\Device", L"Device"}};
    for (const auto& n : names) {
        Provider provider(n.path, 0);
        SI_OBJECT_INFO info;
        memset(&info, 0x5A, sizeof(info));
        CHECK(provider->GetObjectInformation(&info) == S_OK);
        CHECK(info.dwFlags == 0x00000713);
        CHECK(info.hInstance == nullptr);
        CHECK(info.pszServerName == nullptr);
        CHECK(info.pszPageTitle == nullptr);
        CHECK(std::wstring(info.pszObjectName) == n.name);
    }

    const struct {
        ACCESS_MASK in;
        ACCESS_MASK out;
    } maps[] = {{0x90000000, 0x011F0001}, {0x10000000, 0x011F0001}, {0x10000001, 0x011F0001},
                {0x80000000, 0x80000000}, {0x60000000, 0x60000000}, {0x00000001, 0x00000001}};
    Provider provider(L"\\", 0);
    for (const auto& m : maps) {
        ACCESS_MASK mask = m.in;
        UCHAR flags = 0;
        CHECK(provider->MapGeneric(nullptr, &flags, &mask) == S_OK);
        CHECK(mask == m.out);
    }
    ULONG count = 5;
    CHECK(provider->GetInheritTypes(nullptr, &count) == S_OK);
    CHECK(count == 0);
    CHECK(provider->PropertySheetPageCallback(nullptr, PSPCB_CREATE, SI_PAGE_PERM) == E_NOTIMPL);
}
