// SIDs as people read them: the SDDL abbreviation of a well-known one, the
// SID string, the account's DOMAIN\name.
#pragma once

#include <windows.h>

#include <cstddef>

// Room for the longest SID string (S-1- and fifteen sub-authorities) and its terminator.
const size_t SidStringChars = 192;

// The SDDL abbreviation ("WD", "AU", "BA", ...) of a well-known SID that has
// one and is the same on every machine; null for any other.
const wchar_t* SddlAbbreviation(PSID sid);

// "S-1-5-11" into text; false for a SID that is not valid.
bool FormatSidString(PSID sid, wchar_t (&text)[SidStringChars]);

// The abbreviation where there is one, else the SID string.
bool FormatSidShort(PSID sid, wchar_t (&text)[SidStringChars]);

// DOMAIN\name, or name alone when it has no domain; false when the system
// names none or it does not fit chars (with its terminator).
bool FormatAccountName(PSID sid, wchar_t* text, size_t chars);
