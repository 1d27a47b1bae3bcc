// The General page: what the object manager reports about one object, read
// once when the page initialises.
#include "GeneralPage.h"

#include "AppGlobals.h"
#include "FixedTexts.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "ResourceIds.h"
#include "TypePanels.h"
#include "WindowCentre.h"

namespace {

// A number the kernel gave; a query that failed gave none, and its field
// stays blank rather than show a zero it never read.
void SetNumber(HWND window, int control, LONG value, bool read)
{
    wchar_t text[16] = L"";
    if (read)
        wsprintfW(text, L"%d", value);
    SetDlgItemTextW(window, control, text);
}

}  // namespace

LRESULT GeneralPage::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(window, 0);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return OlderLookColour(message, wParam);
    default:
        return 0;
    }
}

INT_PTR GeneralPage::OnInitDialog(HWND window)
{
    pageWindow_ = window;
    HWND sheet = GetParent(window);
    CentreOnWindow(sheet, GetParent(sheet));

    ObjectHandle object;
    const NTSTATUS status = OpenForProperties(FullPath(), typeCode_, &object);
    if (status != 0) {
        wchar_t text[OpenFailureTextChars];
        OpenFailureText(status, text, false);
        ShowOpenFailure(window, text);
        SendMessageW(sheet, WM_CLOSE, 0, 0);
        return 0;
    }
    FillFields(window, object.Get());
    switch (typeCode_) {
    case TypeSymbolicLink:
        ShowSymbolicLinkPanel(*this, object.Get());
        break;
    case TypeEvent:
    case TypeEventPair:
        ShowEventPanel(*this, object.Get());
        break;
    case TypeMutant:
        ShowMutantPanel(*this, object.Get());
        break;
    case TypeSemaphore:
        ShowSemaphorePanel(*this, object.Get());
        break;
    default:
        break;
    }
    return 1;  // the dialog manager sets the focus
}

void GeneralPage::FillFields(HWND window, HANDLE object)
{
    OBJECT_BASIC_INFORMATION basic = {};
    wchar_t queriedType[TypeNameChars] = {};
    LONG typeCount = 0;
    const bool basicRead = QueryBasicInformation(object, &basic, ObjectBasicInformationBytes) >= 0;
    const bool typeRead = QueryTypeNameAndCount(object, queriedType, TypeNameChars, &typeCount) >= 0;

    SetDlgItemTextW(window, CTRL_PAGE_PATH, FullPath());
    SetDlgItemTextW(window, CTRL_PAGE_TYPE, typeName_[0] ? typeName_ : queriedType);
    SetNumber(window, CTRL_PAGE_TYPE_COUNT, typeCount, typeRead);
    const bool permanent = (basic.Attributes & ObjectPermanentFlag) != 0;
    SetDlgItemTextW(window, CTRL_PAGE_PERMANENCE, !basicRead ? L"" : permanent ? PermanentText : NotPermanentText);
    SetNumber(window, CTRL_PAGE_REFERENCES, static_cast<LONG>(basic.PointerCount), basicRead);
    SetNumber(window, CTRL_PAGE_HANDLES, static_cast<LONG>(basic.HandleCount), basicRead);
    SetNumber(window, CTRL_PAGE_NONPAGED, static_cast<LONG>(basic.NonPagedPoolUsage), basicRead);
    SetNumber(window, CTRL_PAGE_PAGED, static_cast<LONG>(basic.PagedPoolUsage), basicRead);
}
