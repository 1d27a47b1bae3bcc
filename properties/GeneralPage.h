// The property sheet of one object and its General page: full path, type,
// permanence, counts and pool charges, and the panel of the object's type.
#pragma once

#include <windows.h>
#include <prsht.h>

#include "PropertySheet.h"
#include "WideText.h"
#include "WindowObject.h"

struct EntryRecord;

const int GeneralTypeNameChars = 1024;

class GeneralPage : public WindowObject {
public:
    GeneralPage() = default;
    ~GeneralPage() override;
    GeneralPage(const GeneralPage&) = delete;
    GeneralPage& operator=(const GeneralPage&) = delete;

    // Shows the sheet of the entry record in directory (no record: the
    // directory itself, which only the root does). Returns PropertySheetW's
    // result, or 0 when no sheet was shown.
    INT_PTR RunPropertySheet(HWND owner, const wchar_t* directory, const EntryRecord* record);

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND PageWindow() const { return pageWindow_; }
    const wchar_t* FullPath() const { return fullPath_.Get(); }
    const wchar_t* TypeName() const { return typeName_; }
    int TypeCode() const { return typeCode_; }

private:
    INT_PTR OnInitDialog(HWND window);
    void FillFields(HWND window, HANDLE object);

    HWND pageWindow_ = nullptr;
    WideText fullPath_;  // held whole: a cut path would open another object
    wchar_t typeName_[GeneralTypeNameChars] = {};
    int typeCode_ = 0;
};

// The page whose sheet is open; null when no sheet is.
extern GeneralPage* ActiveGeneralPage;

INT_PTR CALLBACK GeneralPageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// For tests: what makes the General page's handle, to refuse it as the
// platform will not on demand (null: CreatePropertySheetPageW).
typedef HPROPSHEETPAGE(WINAPI* MakePageCall)(LPCPROPSHEETPAGEW);
void SetPageMakerForTests(MakePageCall make);
