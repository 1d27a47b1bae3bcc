// The type panels: small child dialogs laid over the General page's lower
// part with the state of a symbolic link, event, mutant or semaphore.
#pragma once

#include <windows.h>

class GeneralPage;

INT_PTR CALLBACK TypePanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog template of the program's own module; null when missing.
LPCDLGTEMPLATEW LoadDialogTemplate(int templateId);

// Creates the panel on the page at the placeholder's top-left corner.
HWND CreateTypePanel(HWND page, int templateId, int placeholderId);

HWND ShowSymbolicLinkPanel(GeneralPage& page, HANDLE object);
HWND ShowEventPanel(GeneralPage& page, HANDLE object);
HWND ShowMutantPanel(GeneralPage& page, HANDLE object);
HWND ShowSemaphorePanel(GeneralPage& page, HANDLE object);
