// Who the find window asks about: one of its list's subjects, or an
// account, group or SID typed as for kagero-dump's --writable-by.
#pragma once

#include <windows.h>

#include "AccessSubject.h"
#include "AccountResolve.h"

// The list's choices, in its order; Typed for any other text.
enum class SubjectChoice { None, Everyone, Users, AuthenticatedUsers, CurrentUser, CurrentUserLow, ThisProcess, Typed };
const int SubjectChoiceCount = 7;

// Makes the subject of choice (typed: the text). 0; for a typed text the
// system cannot resolve, ERROR_NONE_MAPPED with *problem saying why; else
// the Win32 error that kept the subject from being read or made.
DWORD BuildSearchSubject(SubjectChoice choice, const wchar_t* typed, AccessSubject* subject, AccountProblem* problem);
