#include "TypePanels.h"

#include "AppGlobals.h"
#include "FixedTexts.h"
#include "GeneralPage.h"
#include "ObjectQueries.h"
#include "ResourceIds.h"

namespace {

const int DateTimeChars = 100;

void SetPanelTexts(HWND panel, const wchar_t* first, const wchar_t* second)
{
    SetDlgItemTextW(panel, CTRL_PANEL_FIRST, first);
    SetDlgItemTextW(panel, CTRL_PANEL_SECOND, second);
}

// A state query that failed read nothing: its fields stay blank, never a
// zero shown as a state.
HWND BlankPanel(HWND panel)
{
    SetPanelTexts(panel, L"", L"");
    return panel;
}

// The user's short date and time of a UTC file time. No time known (0)
// gives an empty text rather than a made-up date in 1601.
void FormatCreationTime(LONGLONG creationTime, wchar_t* text)
{
    text[0] = L'\0';
    if (creationTime <= 0)
        return;
    FILETIME utc = {static_cast<DWORD>(creationTime), static_cast<DWORD>(creationTime >> 32)};
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time))
        return;
    wchar_t date[DateTimeChars] = {};
    wchar_t clock[DateTimeChars] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, date, DateTimeChars);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, DateTimeChars);
    wsprintfW(text, L"%s %s", date, clock);
}

}  // namespace

INT_PTR CALLBACK TypePanelDialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    return OlderLookColour(message, wParam);
}

LPCDLGTEMPLATEW LoadDialogTemplate(int templateId)
{
    HRSRC resource = FindResourceW(AppInstance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = resource ? LoadResource(AppInstance, resource) : nullptr;
    return loaded ? static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)) : nullptr;
}

HWND CreateTypePanel(HWND page, int templateId, int placeholderId)
{
    LPCDLGTEMPLATEW dialogTemplate = LoadDialogTemplate(templateId);
    if (!dialogTemplate)
        return nullptr;
    HWND panel = CreateDialogIndirectParamW(AppInstance, dialogTemplate, page, TypePanelDialogProc, 0);
    if (!panel)
        return nullptr;
    RECT placeholder = {};
    GetWindowRect(GetDlgItem(page, placeholderId), &placeholder);
    POINT corner = {placeholder.left, placeholder.top};
    ScreenToClient(page, &corner);
    SetWindowPos(panel, nullptr, corner.x, corner.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    ShowWindow(panel, SW_SHOWNORMAL);
    return panel;
}

HWND ShowSymbolicLinkPanel(GeneralPage& page, HANDLE object)
{
    HWND panel = CreateTypePanel(page.PageWindow(), DLG_SYMBOLIC_LINK_PANEL, CTRL_PAGE_PANEL_FRAME);
    WideText target;
    LONGLONG created = 0;
    // A failed query leaves the target empty and the time unknown: both blank.
    QuerySymbolicLink(object, &target, &created);
    wchar_t when[2 * DateTimeChars + 2];
    FormatCreationTime(created, when);
    SetPanelTexts(panel, target.Get(), when);
    return panel;
}

HWND ShowEventPanel(GeneralPage& page, HANDLE object)
{
    HWND panel = CreateTypePanel(page.PageWindow(), DLG_EVENT_PANEL, CTRL_PAGE_PANEL_FRAME);
    LONG eventType = 0;
    LONG state = 0;
    if (QueryEventState(object, &eventType, &state) < 0)
        return BlankPanel(panel);
    const wchar_t* typeText = eventType == 0 ? ManualResetText : eventType == 1 ? AutoResetText : UnknownEventTypeText;
    SetPanelTexts(panel, typeText, state ? SignalledText : NotSignalledText);
    return panel;
}

HWND ShowMutantPanel(GeneralPage& page, HANDLE object)
{
    HWND panel = CreateTypePanel(page.PageWindow(), DLG_MUTANT_PANEL, CTRL_PAGE_PANEL_FRAME);
    LONG currentCount = 0;
    ULONG flags = 0;
    if (QueryMutantState(object, &currentCount, &flags) < 0)
        return BlankPanel(panel);
    // A mutant acquired n times has a count of 1 - n: owned at 0 and below.
    SetPanelTexts(panel, currentCount <= 0 ? YesText : NoText, flags ? YesText : NoText);
    return panel;
}

HWND ShowSemaphorePanel(GeneralPage& page, HANDLE object)
{
    HWND panel = CreateTypePanel(page.PageWindow(), DLG_SEMAPHORE_PANEL, CTRL_PAGE_PANEL_FRAME);
    LONG currentCount = 0;
    LONG maximumCount = 0;
    if (QuerySemaphoreState(object, &currentCount, &maximumCount) < 0)
        return BlankPanel(panel);
    wchar_t current[16];
    wchar_t maximum[16];
    wsprintfW(current, L"%d", currentCount);
    wsprintfW(maximum, L"%d", maximumCount);
    SetPanelTexts(panel, current, maximum);
    return panel;
}
