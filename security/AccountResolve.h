// A subject named as people type one (kagero-dump's --writable-by, the find
// window's 変更できる): an account or group name, an SDDL abbreviation or a
// SID string, made into the SID and the subject it stands for.
#pragma once

#include <windows.h>

#include "AccessSubject.h"

enum class AccountProblem { None, Empty, NotFound, NotAccountOrGroup };

// who as a SID in sid. Empty for an empty who, NotFound for one the system
// knows none for, NotAccountOrGroup for one no caller ever is: a domain, a
// deleted or unknown account, a creator placeholder (CO, CG, OW). A SID
// string the system cannot name is taken: another domain's account. *use,
// when given, says what the system takes it for (SidTypeUser for a user).
AccountProblem ResolveAccountSid(const wchar_t* who, BYTE (&sid)[SECURITY_MAX_SID_SIZE], SID_NAME_USE* use = nullptr);

// A user as an interactive logon of it (named by the system, else as typed),
// any other SID as what every member of it has. 0, or the Win32 error of the
// group listing.
DWORD BuildResolvedSubject(PSID sid, bool user, const wchar_t* typed, bool elevated, AccessSubject* subject);
