// The names of the README's scene (kagero-scene.exe), which the screenshot
// tool points its windows at.
#pragma once

#include <windows.h>

namespace scene {

const wchar_t Directory[] = L"BaseNamedObjects";
const wchar_t PanelObject[] = L"Indexer.Workers";              // a semaphore, 3 of 8
const wchar_t SecuredObject[] = L"MailClient.SingleInstance";  // the event with its own descriptor
const wchar_t SharedObject[] = L"MailClient.SharedSettings";   // the section the mail programs hold
// Administrators own it and, with SYSTEM, may do anything; Users may wait on it
// and read it but neither set it nor change its security; Everyone may wait.
// SYSTEM comes first: Wine's editor shows no rights for the DACL's first account.
const wchar_t SecuredDescriptor[] =
    L"O:BAG:BAD:(A;;0x1F0003;;;SY)(D;;0xC0002;;;BU)(A;;0x1F0003;;;BA)(A;;0x120001;;;BU)(A;;0x100000;;;WD)";
// The account whose rights the security picture shows: allowed and denied both.
const WELL_KNOWN_SID_TYPE ShownAccount = WinBuiltinUsersSid;

}  // namespace scene
