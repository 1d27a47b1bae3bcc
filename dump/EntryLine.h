// The dump's two output formats: a tab-separated line per entry, or one JSON
// object per line (JSON Lines).
#pragma once

#include <windows.h>

#include <cstddef>

#include "EntryExtras.h"
#include "TextEncoding.h"

struct EntryHolding;

// What --details read from an open object.
struct ObjectState {
    // A query that failed leaves its fields out: counted false, or kind Plain.
    enum Kind { Plain, Event, Mutant, Semaphore };
    bool counted = false;
    ULONG handles = 0;
    ULONG references = 0;
    Kind kind = Plain;
    // Event: type (0 notification, 1 synchronization) and state; mutant:
    // current count and the owned/abandoned flag word; semaphore: current
    // and maximum count.
    LONG first = 0;
    LONG second = 0;
};

struct EntryFacts {
    const wchar_t* path;
    size_t pathLength;
    const wchar_t* name;
    size_t nameLength;
    const wchar_t* type;
    const wchar_t* target = nullptr;  // a link whose target was read
    size_t targetLength = 0;
    const ObjectState* state = nullptr;  // --details, when the object opened
    const wchar_t* openError = nullptr;  // why it did not open, when it had to
    const EntryExtras* extras = nullptr;  // more --details, --security, --writable-by
    const EntryHolding* holders = nullptr;  // --holders
    const wchar_t* matched = nullptr;  // --find-from: the line it matched, as written
};

void AppendEntryLine(ByteBuffer& out, const EntryFacts& entry, bool json);
// A directory inside the walk that could not be listed, as a JSON object.
void AppendListingFailure(ByteBuffer& out, const wchar_t* path, const wchar_t* reason);
// The same for a person: "kagero-dump: PATH: reason" and a line feed.
void AppendFailureLine(ByteBuffer& out, const wchar_t* path, const wchar_t* reason);
