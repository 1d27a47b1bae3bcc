// The property sheet: which pages it gets, and the texts of open failures.
#include "PropertySheet.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstddef>

#include "AccessEditor.h"
#include "AppGlobals.h"
#include "EntryRecord.h"
#include "FailureWords.h"
#include "FixedTexts.h"
#include "GeneralPage.h"
#include "ModalScope.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectSecurityInfo.h"
#include "ObjectTypes.h"
#include "ResourceIds.h"
#include "WindowsLayout.h"

GeneralPage* ActiveGeneralPage = nullptr;

namespace {

// Both structures are passed in their first version: 40 bytes each in the
// 32-bit build, 72 in the 64-bit one.
const UINT PageStructureSize = offsetof(PROPSHEETPAGEW, pcRefParent) + sizeof(UINT*);
const UINT SheetStructureSize = offsetof(PROPSHEETHEADERW, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK);
// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(PageStructureSize == WindowsLayout(40, 72) && offsetof(PROPSHEETPAGEW, hInstance) == 8
              && offsetof(PROPSHEETPAGEW, pszTemplate) == WindowsLayout(12, 16)
              && offsetof(PROPSHEETPAGEW, pszTitle) == WindowsLayout(20, 32)
              && offsetof(PROPSHEETPAGEW, pfnDlgProc) == WindowsLayout(24, 40), "first-version PROPSHEETPAGEW");
static_assert(SheetStructureSize == WindowsLayout(40, 72) && offsetof(PROPSHEETHEADERW, hwndParent) == 8
              && offsetof(PROPSHEETHEADERW, hInstance) == WindowsLayout(12, 16)
              && offsetof(PROPSHEETHEADERW, pszCaption) == WindowsLayout(20, 32)
              && offsetof(PROPSHEETHEADERW, nPages) == WindowsLayout(24, 40)
              && offsetof(PROPSHEETHEADERW, nStartPage) == WindowsLayout(28, 48)
              && offsetof(PROPSHEETHEADERW, phpage) == WindowsLayout(32, 56)
              && offsetof(PROPSHEETHEADERW, pfnCallback) == WindowsLayout(36, 64), "first-version PROPSHEETHEADERW");

const int MaximumPages = 2;
MakePageCall MakePage = CreatePropertySheetPageW;

HPROPSHEETPAGE CreateGeneralPage()
{
    PROPSHEETPAGEW page = {};
    page.dwSize = PageStructureSize;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = AppInstance;
    page.pszTemplate = MAKEINTRESOURCEW(DLG_GENERAL_PAGE);
    page.pszTitle = GeneralPageTitle;
    page.pfnDlgProc = GeneralPageDialogProc;
    return MakePage(&page);
}

void ShowOpenFailureFor(HWND owner, NTSTATUS status)
{
    wchar_t text[OpenFailureTextChars];
    OpenFailureText(status, text);
    ShowOpenFailure(owner, text);
}

// A type name longer than the field is not shown cut: the page then shows
// the name the kernel reports.
void CopyTypeName(const wchar_t* source, wchar_t* destination)
{
    destination[0] = L'\0';
    const int length = lstrlenW(source);
    if (length < GeneralTypeNameChars)
        CopyMemory(destination, source, (length + 1) * sizeof(wchar_t));
}

}  // namespace

INT_PTR CALLBACK GeneralPageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!ActiveGeneralPage)
        return 0;
    return ActiveGeneralPage->OnMessage(window, message, wParam, lParam);
}

void OpenFailureText(NTSTATUS status, wchar_t* buffer, bool withPrivilegeRow)
{
    const ULONG code = static_cast<ULONG>(status);
    if (const wchar_t* words = OpenFailureWords(code, withPrivilegeRow))
        lstrcpynW(buffer, words, OpenFailureTextChars);
    else
        wsprintfW(buffer, OpenFailedFormat, code);
}

void SetPageMakerForTests(MakePageCall make) { MakePage = make ? make : CreatePropertySheetPageW; }

void ShowOpenFailure(HWND owner, const wchar_t* text) { ModalMessageBox(owner, text, L"Kagero", MB_ICONERROR); }

GeneralPage::~GeneralPage()
{
    if (ActiveGeneralPage == this)
        ActiveGeneralPage = nullptr;
}

INT_PTR GeneralPage::RunPropertySheet(HWND owner, const wchar_t* directory, const EntryRecord* record)
{
    ActiveGeneralPage = this;
    pageWindow_ = nullptr;
    EnablePrivilege(L"SeSecurityPrivilege");
    EnablePrivilege(L"SeTakeOwnershipPrivilege");

    typeName_[0] = L'\0';
    const wchar_t* caption = directory;
    bool named = false;
    if (record) {
        named = JoinObjectPath(directory, record->name, &fullPath_);
        typeCode_ = LookupObjectType(record->typeName, nullptr);
        CopyTypeName(record->typeName, typeName_);
        caption = record->name;
    } else {
        named = fullPath_.Assign(directory);
        typeCode_ = TypeDirectory;
    }
    if (!named) {
        ShowOpenFailureFor(owner, STATUS_NO_MEMORY_NT);
        ActiveGeneralPage = nullptr;
        return 0;
    }

    HPROPSHEETPAGE pages[MaximumPages] = {};
    int pageCount = 0;
    ObjectHandle probe;
    const NTSTATUS status = OpenForProperties(FullPath(), typeCode_, &probe);
    probe.Reset();  // the test-open's handle is never kept
    if (status == 0) {
        if (HPROPSHEETPAGE general = CreateGeneralPage())
            pages[pageCount++] = general;
    } else if (!(status == STATUS_ACCESS_DENIED && IsAccessEditorAvailable())) {
        ShowOpenFailureFor(owner, status);
        ActiveGeneralPage = nullptr;
        return 0;
    }

    ObjectSecurityInfo* provider = ObjectSecurityInfo::Create();
    if (provider) {
        if (HPROPSHEETPAGE security = provider->CreatePage(FullPath(), typeCode_))
            pages[pageCount++] = security;
    }

    INT_PTR result = 0;
    if (pageCount == 0) {
        // Nothing to show: say why instead of an empty sheet. The open may
        // have succeeded; then the pages could not be made, for want of memory.
        ShowOpenFailureFor(owner, status != 0 ? status : STATUS_NO_MEMORY_NT);
    } else {
        PROPSHEETHEADERW header = {};
        header.dwSize = SheetStructureSize;
        header.dwFlags = PSH_PROPTITLE | (pageCount == 1 ? PSH_NOAPPLYNOW : 0);
        header.hwndParent = owner;
        header.hInstance = AppInstance;
        header.pszCaption = caption;
        header.nPages = static_cast<UINT>(pageCount);
        header.nStartPage = 0;
        header.phpage = pages;
        result = ModalPropertySheet(header);
    }
    if (provider)
        provider->Release();
    ActiveGeneralPage = nullptr;
    pageWindow_ = nullptr;
    return result;
}

INT_PTR ShowPropertySheet(HWND owner, const wchar_t* directory, const EntryRecord* record)
{
    // One sheet at most: the General page's state is the program's one.
    if (ActiveGeneralPage)
        return 0;
    GeneralPage page;
    return page.RunPropertySheet(owner, directory, record);
}
