// What --details adds for the types the window has no panel for, and what
// --security and --writable-by add to an entry, with their fields.
#pragma once

#include <windows.h>

#include "AccessReasons.h"
#include "FieldWriter.h"

struct MoreDetails {
    enum Kind { None, Section, Timer, IoCompletion, Job, LinkCreated };
    Kind kind = None;
    // Section: size and attributes; timer: time left (100 ns) and state;
    // I/O completion: queued packets; job: active processes; link: creation
    // time (100 ns units since 1601, UTC; 0 or less: none).
    LONGLONG value = 0;
    ULONG flags = 0;
};

class DumpSubjects;

struct SecurityFacts {
    const wchar_t* owner = nullptr;  // account name or SID string, when there is an owner
    const wchar_t* sddl = nullptr;   // --security, when read
    const wchar_t* error = nullptr;  // why it could not be read
    bool writableChecked = false;    // --writable-by, when read
    ACCESS_MASK writable = 0;
    int unevaluated = 0;  // the DACL's entries of types the evaluation skips
    const AccessReason* reasons = nullptr;  // in subject order, each's in DACL order, then owner, then NULL DACL
    size_t reasonCount = 0;
    const DumpSubjects* subjects = nullptr;  // with more than one, each reason names its own
    int rightsRow = -1;  // the type's row of the access-right names
};

struct EntryExtras {
    MoreDetails more;
    const SecurityFacts* security = nullptr;
};

// What --details reads of a section, timer, I/O completion object or job; a
// failed query leaves kind None.
void ReadMoreDetails(HANDLE object, int typeCode, MoreDetails* more);

void AppendExtraFields(FieldWriter& fields, const EntryExtras& extras);
