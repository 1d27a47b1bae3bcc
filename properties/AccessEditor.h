// The system's access-control editor ("aclui.dll"). It is looked for and
// loaded from the system directory only: a file of that name planted beside
// the program or in the current folder must never run inside Kagero.
#pragma once

#include <windows.h>
#include <prsht.h>

struct ISecurityInformation;
typedef HPROPSHEETPAGE(WINAPI* CreateSecurityPageCall)(ISecurityInformation*);

// The loaded library; null until the first security page, then kept.
extern HMODULE AccessEditorModule;

// True when the editor's library is present in the system directory.
bool IsAccessEditorAvailable();

// The editor's CreateSecurityPage, loading the library on first use; null
// when the library or the entry point is missing.
CreateSecurityPageCall FindCreateSecurityPage();

// For tests: look for libraryName instead of "aclui.dll" (null restores
// it), and use entry in place of the library's own entry point (null: the
// library's). The loaded module is forgotten, not freed.
void SetAccessEditorForTests(const wchar_t* libraryName, CreateSecurityPageCall entry);
