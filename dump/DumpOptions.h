// The command line of kagero-dump.
#pragma once

#include <windows.h>

#include "NameMatch.h"
#include "SecurityAudit.h"
#include "WideText.h"

const int MaximumTypeFilters = 64;
const int UnlimitedDepth = -1;
const int MaximumWritableBy = 16;
const int MaximumHeldBy = 16;
const int DefaultWatchIntervalMs = 1000;
const int MinimumWatchIntervalMs = 100;

struct DumpOptions {
    // PATH as typed, less one backslash after its last name; empty: the root.
    WideText path;
    bool json = false;
    bool details = false;
    // --find's text; every name when there is no --find.
    NamePattern find;
    // --type names, pointing into the caller's arguments.
    const wchar_t* types[MaximumTypeFilters] = {};
    int typeCount = 0;
    int maxDepth = UnlimitedDepth;
    bool security = false;
    // --writable-by accounts as SIDs.
    BYTE writableBy[MaximumWritableBy][AccountSidBytes] = {};
    int writableByCount = 0;
    bool watch = false;
    int intervalMs = DefaultWatchIntervalMs;
    // --holders: each entry's holders; --held-by programs (ids or names, as
    // typed), pointing into the caller's arguments.
    bool holders = false;
    const wchar_t* heldBy[MaximumHeldBy] = {};
    int heldByCount = 0;
};

enum class ParseResult { Run, Help, Version, Bad };

// What is wrong with the command line: a UTF-8 message and the argument it
// is about.
struct ArgumentError {
    const char* message = "";
    const wchar_t* argument = L"";
};

// Reads argv[1..argc-1]. A PATH starts with "\\" and holds no empty name
// ("\\\\"); one "\\" after its last name is taken as the directory's.
ParseResult ParseDumpArguments(int argc, wchar_t** argv, DumpOptions* options, ArgumentError* error);

// The --help text in UTF-8, lines ended by "\n".
extern const char DumpUsageText[];
