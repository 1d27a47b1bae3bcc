// The security provider over real objects, its opens and closes seen through the seam.
#include <doctest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "AccessEditor.h"
#include "KernelObjects.h"
#include "ObjectOpen.h"
#include "ObjectSecurityInfo.h"

namespace {

const wchar_t MissingLibrary[] = L"kagero-no-such-editor.dll";
const std::wstring LongName(300, L'L');

// SDDL is plain ASCII: narrow text reads well in failure reports.
std::string Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts)
{
    LPWSTR text = nullptr;
    if (!descriptor || !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, 1, parts, &text, nullptr))
        return "(none)";
    const std::string result(text, text + lstrlenW(text));
    LocalFree(text);
    return result;
}

// A provider over one object as the sheet holds it, with no editor page.
struct Provider {
    Provider(const std::wstring& path, int typeCode)
    {
        SetAccessEditorForTests(MissingLibrary, nullptr);
        p->CreatePage(path.c_str(), typeCode);
        SetAccessEditorForTests(nullptr, nullptr);
    }
    ~Provider() { p->Release(); }
    ObjectSecurityInfo* operator->() const { return p; }
    ObjectSecurityInfo* p = ObjectSecurityInfo::Create();
};

// Every event and directory open the provider makes, with the access it passes, and every close.
std::vector<ACCESS_MASK> Asked;
int Opened = 0, Closed = 0;
template <NativeOpenCall ObjectCalls::*Member>
NTSTATUS NTAPI RecordOpen(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    Asked.push_back(access);
    const NTSTATUS status = (NativeObjectCalls().*Member)(handle, access, attributes);
    Opened += status == 0;
    return status;
}
NTSTATUS NTAPI RecordClose(HANDLE handle)
{
    ++Closed;
    return NativeObjectCalls().close(handle);
}
void RecordOpens()
{
    static ObjectCalls calls;
    Asked.clear();
    Opened = Closed = 0;
    calls = NativeObjectCalls();
    calls.openEvent = RecordOpen<&ObjectCalls::openEvent>;
    calls.openDirectory = RecordOpen<&ObjectCalls::openDirectory>;
    calls.close = RecordClose;
    SetObjectCalls(&calls);
}

ISecurityInformation* HeldByPage = nullptr;
// An editor that takes and drops a reference of its own, then fails; one whose page holds a reference until
// it is "destroyed", as a real page does.
HPROPSHEETPAGE WINAPI FailingPage(ISecurityInformation* p)
{
    p->AddRef();
    p->Release();
    return nullptr;
}
HPROPSHEETPAGE WINAPI HoldingPage(ISecurityInformation* p)
{
    HeldByPage = p;
    p->AddRef();
    return reinterpret_cast<HPROPSHEETPAGE>(static_cast<INT_PTR>(0x5EC));
}

}  // namespace

TEST_CASE("each read and write opens afresh with its own mask, closes it, and gives the result rule's HRESULT")
{
    EnablePrivilege(L"SeSecurityPrivilege");  // as the sheet does: Wine wants it for ACCESS_SYSTEM_SECURITY
    TestNamespace ns;
    // Owned by the administrators, whom the test process belongs to; "Refused" is SYSTEM's and grants only
    // SYNCHRONIZE (Wine gives an owner implicit rights).
    REQUIRE(ns.Build({{Kind::Sddl, L"O:BAG:BAD:(A;;0x1f0003;;;WD)"}, {Kind::Event, L"Open"}, {Kind::Event, LongName},
                      {Kind::Sddl, L"O:BAG:BAD:(A;;0xf000f;;;WD)"}, {Kind::Directory, L"Folder"},
                      {Kind::Sddl, L"O:SYG:SYD:(A;;0x100000;;;WD)"}, {Kind::Event, L"Refused"}}) == 0);
    const SECURITY_INFORMATION Owner = 1, Dacl = 4, Sacl = 8;  // the parts of a descriptor
    // written null: a read. after: what a read gives; after a write, owner and DACL through the test's own handle.
    const struct { std::wstring name; int type; const wchar_t* written; SECURITY_INFORMATION parts; HRESULT result;
                   const char* after; std::vector<ACCESS_MASK> asked; } cases[] = {
        {L"Open", 3, nullptr, Owner | Dacl, S_OK, "O:BAD:(A;;0x1f0003;;;WD)", {0x01020001}},
        {LongName, 3, nullptr, Owner | Dacl, S_OK, "O:BAD:(A;;0x1f0003;;;WD)", {0x01020001}},
        {L"Open", 3, L"O:SYD:(A;;0x1f0003;;;WD)(A;;0x100000;;;BU)", Owner | Dacl, S_OK,
         "O:SYD:(A;;0x1f0003;;;WD)(A;;0x100000;;;BU)", {0x000C0000}},
        // Only the parts named are written.
        {L"Open", 3, L"O:BAD:(A;;0x1f0003;;;WD)", Dacl, S_OK, "O:SYD:(A;;0x1f0003;;;WD)", {0x000C0000}},
        {L"Open", 3, L"D:(A;;0x1f0003;;;WD)S:(AU;SA;0x1f0003;;;WD)", Dacl | Sacl, S_OK, "O:SYD:(A;;0x1f0003;;;WD)",
         {0x010C0000}},
        {L"Open", 3, nullptr, Sacl, S_OK, "S:(AU;SA;0x1f0003;;;WD)", {0x01020001}},
        // A directory's open adds its own bits; Wine names the rights of its DACL.
        {L"Folder", 0, L"S:(AU;SA;0xf000f;;;WD)", Sacl, S_OK, "O:BAD:(A;;CCDCLCSWSDRCWDWO;;;WD)", {0x010E0003}},
        {L"Refused", 3, nullptr, Dacl, HRESULT(0x80070005), "(none)", {0x01020001}},
        {L"Refused", 3, L"D:(A;;0x1f0003;;;WD)", Dacl, HRESULT(0x80070005), "O:SYD:(A;;0x100000;;;WD)", {0x000C0000}},
        {L"Missing", 3, nullptr, Dacl, HRESULT(0x80070002), "(none)", {0x01020001}},
        {L"Missing\\Event", 3, L"D:(A;;0x1f0003;;;WD)", Dacl, HRESULT(0x80070003), "(none)", {0x000C0000}},
        {L"Open", 8, nullptr, Dacl, HRESULT(0xFFFFFFFF), "(none)", {}},  // a Port: no open, -1 passes unchanged
        {L"Open", 8, L"D:(A;;0x1f0003;;;WD)", Dacl, HRESULT(0xFFFFFFFF), "O:SYD:(A;;0x1f0003;;;WD)", {}},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        Provider provider(ns.Path(c.name), c.type);
        RecordOpens();
        PSECURITY_DESCRIPTOR descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(static_cast<INT_PTR>(1));
        if (c.written) {
            REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.written, 1, &descriptor, nullptr));
            CHECK(provider->SetSecurity(c.parts, descriptor) == c.result);
            LocalFree(descriptor);
            descriptor = nullptr;
            GetSecurityInfo(ns.Handle(c.name), SE_KERNEL_OBJECT, Owner | Dacl, nullptr, nullptr, nullptr, nullptr,
                            &descriptor);
        } else {
            CHECK(provider->GetSecurity(c.parts, &descriptor, FALSE) == c.result);
        }
        SetObjectCalls(nullptr);
        CHECK(Sddl(descriptor, c.written ? Owner | Dacl : c.parts) == c.after);
        LocalFree(descriptor);
        CHECK(Asked == c.asked);
        CHECK(Opened == (c.result == S_OK));
        CHECK(Closed == Opened);
    }
}

TEST_CASE("every road destroys the provider exactly once, after the last reference")
{
    const struct { const wchar_t* library; CreateSecurityPageCall entry; bool page; } roads[] = {
        {MissingLibrary, nullptr, false}, {nullptr, FailingPage, false}, {nullptr, HoldingPage, true},
        {nullptr, nullptr, true}};  // the last: the system's editor
    for (const auto& r : roads) {
        CAPTURE(&r - roads);
        const long before = LiveSecurityProviders();
        ObjectSecurityInfo* provider = ObjectSecurityInfo::Create();
        SetAccessEditorForTests(r.library, r.entry);
        HeldByPage = nullptr;
        HPROPSHEETPAGE page = provider->CreatePage(L"\\", 0);
        SetAccessEditorForTests(nullptr, nullptr);
        CHECK((page != nullptr) == r.page);
        REQUIRE(LiveSecurityProviders() == before + 1);  // else it is gone while the sheet holds it
        if (page && !HeldByPage)
            DestroyPropertySheetPage(page);  // the system's page drops its reference
        provider->Release();  // the sheet's, once the sheet has closed
        CHECK(LiveSecurityProviders() == before + (HeldByPage ? 1 : 0));
        if (HeldByPage)
            CHECK(HeldByPage->Release() == 0);
        CHECK(LiveSecurityProviders() == before);
    }
}

TEST_CASE("the editor's questions: QueryInterface with a reference; a right per valid bit, unnamed ones by number; MapGeneric")
{
    Provider provider(L"\\Device\\Harddisk0", 20);  // a Thread: names of its own before the generic ones, unnamed bits
    const struct { GUID iid; HRESULT result; } interfaces[] = {
        {{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, S_OK},
        {{0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}}, S_OK},
        {{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, E_NOINTERFACE},  // IDispatch
        {{0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x24}}, E_NOINTERFACE},  // last byte off
    };
    for (const auto& c : interfaces) {
        CAPTURE(c.iid.Data1);
        void* object = &provider;
        CHECK(provider->QueryInterface(c.iid, &object) == c.result);
        CHECK(object == (c.result == S_OK ? static_cast<ISecurityInformation*>(provider.p) : nullptr));
        provider->AddRef();
        const ULONG count = provider->Release();  // the sheet's reference, and the answer's
        CHECK(count == (c.result == S_OK ? 2u : 1u));
        if (count == 2)
            provider->Release();
    }

    PSI_ACCESS access = nullptr;
    ULONG count = 99, defaultIndex = 99;
    CHECK(provider->GetAccessRights(nullptr, SI_ADVANCED, &access, &count, &defaultIndex) == S_OK);
    CHECK(defaultIndex == 0);
    std::vector<std::wstring> names;
    for (ULONG i = 0; i < count; ++i) {
        names.push_back(access[i].pszName);
        CHECK(access[i].dwFlags == 0x000B0000);
    }
    CHECK(names == std::vector<std::wstring>{L"停止", L"0x00000002", L"0x00000004", L"0x00000008", L"0x00000010",
                                             L"設定", L"0x00000040", L"0x00000080", L"0x00000100", L"0x00000200", L"削除",
                                             L"アクセス許可の読み取り", L"アクセス許可の変更", L"所有権の取得", L"同期", L"監査"});
    SI_OBJECT_INFO info;
    memset(&info, 0x5A, sizeof(info));
    CHECK(provider->GetObjectInformation(&info) == S_OK);
    CHECK(info.dwFlags == 0x00000713);
    CHECK(std::wstring(info.pszObjectName) == L"Harddisk0");
    const std::pair<ACCESS_MASK, ACCESS_MASK> maps[] = {
        {0x90000000, 0x011F0001}, {0x10000001, 0x011F0001}, {0x80000000, 0x80000000}, {0x60000000, 0x60000000}};
    for (auto [mask, mapped] : maps) {
        CHECK(provider->MapGeneric(nullptr, nullptr, &mask) == S_OK);
        CHECK(mask == mapped);
    }
}
