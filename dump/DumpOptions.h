// The command line of kagero-dump.
#pragma once

#include <windows.h>

#include "NameMatch.h"
#include "SecurityAudit.h"
#include "WideText.h"

class FindLists;

const int MaximumTypeFilters = 64;
const int UnlimitedDepth = -1;
const int MaximumWritableBy = 16;  // subjects: --writable-by and --writable-by-process together
const int MaximumRestrictingSids = 16;
const int MaximumCapabilities = 16;
const int MaximumHeldBy = 16;
const int MaximumFindFrom = 16;
const int DefaultWatchIntervalMs = 1000;
const int MinimumWatchIntervalMs = 100;

// One --writable-by or --writable-by-process, as typed (pointing into the
// caller's arguments); an account with its SID.
struct SubjectRequest {
    const wchar_t* text = L"";
    bool process = false;
    bool user = false;  // an account of a user, not a group or a well-known SID
    BYTE sid[AccountSidBytes] = {};
};

// What every subject is made into.
struct SubjectModifiers {
    bool elevated = false;
    bool integritySet = false;
    DWORD integrity = 0;
    BYTE restrictedTo[MaximumRestrictingSids][AccountSidBytes] = {};
    int restrictedCount = 0;
    bool writeRestricted = false;
    bool appContainer = false;
    BYTE package[AccountSidBytes] = {};
    BYTE capabilities[MaximumCapabilities][AccountSidBytes] = {};
    int capabilityCount = 0;
};

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
    // --writable-by and --writable-by-process in the order given, and what
    // makes each a sandbox; --explain.
    SubjectRequest subjects[MaximumWritableBy];
    int subjectCount = 0;
    SubjectModifiers modifiers;
    bool explain = false;
    bool watch = false;
    int intervalMs = DefaultWatchIntervalMs;
    // --holders: each entry's holders; --held-by programs (ids or names, as
    // typed), pointing into the caller's arguments.
    bool holders = false;
    const wchar_t* heldBy[MaximumHeldBy] = {};
    int heldByCount = 0;
    // --find-from files ("-": standard input); --compare's baseline and
    // --against's newer dump, as typed.
    const wchar_t* findFrom[MaximumFindFrom] = {};
    int findFromCount = 0;
    const wchar_t* compare = nullptr;
    const wchar_t* against = nullptr;
    // The --find-from files as read, once the program has read them.
    const FindLists* lists = nullptr;
};

enum class ParseResult { Run, Help, Version, Bad };

// What is wrong with the command line: a UTF-8 message and the argument it
// is about; for an unknown option, the known one nearest to it, if any.
struct ArgumentError {
    const char* message = "";
    const wchar_t* argument = L"";
    const wchar_t* nearest = nullptr;
};

// Reads argv[1..argc-1]. A PATH starts with "\\" and holds no empty name
// ("\\\\"); one "\\" after its last name is taken as the directory's.
ParseResult ParseDumpArguments(int argc, wchar_t** argv, DumpOptions* options, ArgumentError* error);

