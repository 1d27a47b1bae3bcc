#include "DumpOptions.h"

#include <climits>
#include <cwchar>

#include "AccessSubject.h"
#include "DumpMessages.h"

namespace {

bool Is(const wchar_t* argument, const wchar_t* option) { return lstrcmpW(argument, option) == 0; }

ParseResult Bad(ArgumentError* error, const char* message, const wchar_t* argument)
{
    error->message = message;
    error->argument = argument;
    return ParseResult::Bad;
}

// Every option by its name: whether it takes a value, and whether that may be given more than once.
enum class Takes { Nothing, Value, Values };
struct OptionRow {
    const wchar_t* name;
    Takes takes;
};
const OptionRow Options[] = {
    {L"--json", Takes::Nothing},          {L"--details", Takes::Nothing},
    {L"--security", Takes::Nothing},      {L"--watch", Takes::Nothing},
    {L"--holders", Takes::Nothing},       {L"--explain", Takes::Nothing},
    {L"--elevated", Takes::Nothing},      {L"--write-restricted", Takes::Nothing},
    {L"--version", Takes::Nothing},       {L"--help", Takes::Nothing},
    {L"--find", Takes::Value},            {L"--depth", Takes::Value},
    {L"--interval", Takes::Value},        {L"--integrity", Takes::Value},
    {L"--appcontainer", Takes::Value},    {L"--type", Takes::Values},
    {L"--writable-by", Takes::Values},    {L"--writable-by-process", Takes::Values},
    {L"--held-by", Takes::Values},        {L"--restricted-to", Takes::Values},
    {L"--capability", Takes::Values},     {L"--find-from", Takes::Values},
    {L"--compare", Takes::Value},         {L"--against", Takes::Value},
};
const int OptionCount = static_cast<int>(sizeof(Options) / sizeof(Options[0]));

// The option's row, or -1.
int FindOption(const wchar_t* name)
{
    for (int i = 0; i < OptionCount; ++i)
        if (Is(name, Options[i].name))
            return i;
    return -1;
}

// Longer names are compared with no option: none is within reach of them.
const int ComparedChars = 32;
const int MostSuggestedEdits = 2;

// The edits (a character put in, taken out or replaced, two neighbours swapped) that make a into b; more than
// any limit when either is longer than ComparedChars.
int EditDistance(const wchar_t* a, const wchar_t* b)
{
    const int n = lstrlenW(a), m = lstrlenW(b);
    if (n > ComparedChars || m > ComparedChars)
        return ComparedChars + 1;
    int d[ComparedChars + 1][ComparedChars + 1];
    for (int i = 0; i <= n; ++i)
        d[i][0] = i;
    for (int j = 0; j <= m; ++j)
        d[0][j] = j;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= m; ++j) {
            int best = d[i - 1][j - 1] + (a[i - 1] != b[j - 1] ? 1 : 0);
            best = d[i - 1][j] + 1 < best ? d[i - 1][j] + 1 : best;
            best = d[i][j - 1] + 1 < best ? d[i][j - 1] + 1 : best;
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1] && d[i - 2][j - 2] + 1 < best)
                best = d[i - 2][j - 2] + 1;
            d[i][j] = best;
        }
    return d[n][m];
}

// The option typed was likely meant as: within a few edits, and nearer than every other. Null when none is.
const wchar_t* NearestOption(const wchar_t* typed)
{
    const wchar_t* nearest = nullptr;
    int best = MostSuggestedEdits + 1;
    bool tied = false;
    for (const OptionRow& option : Options) {
        const int distance = EditDistance(typed, option.name);
        tied = distance == best || (tied && distance > best);
        if (distance < best) {
            best = distance;
            nearest = option.name;
        }
    }
    return tied ? nullptr : nearest;
}

ParseResult RefuseUnknown(const wchar_t* argument, const wchar_t* name, ArgumentError* error)
{
    error->nearest = NearestOption(name[0] ? name : argument);
    return Bad(error, MessageText(Msg::UnknownOption), argument);
}

// Decimal digits only, no more than an int holds: a number out of range is said, not cut to fit.
enum class Number { Good, NotNumber, TooLarge };
Number ParseNumber(const wchar_t* text, int* number)
{
    if (!*text)
        return Number::NotNumber;
    long long value = 0;
    bool large = false;
    for (const wchar_t* at = text; *at; ++at) {
        if (*at < L'0' || *at > L'9')
            return Number::NotNumber;
        value = value * 10 + (*at - L'0');
        if (value > INT_MAX) {
            large = true;
            value = INT_MAX;  // however many digits follow
        }
    }
    if (large)
        return Number::TooLarge;
    *number = static_cast<int>(value);
    return Number::Good;
}

// A number of at least minimum into *number; bad for anything else, large for one past what an int holds.
ParseResult TakeNumber(const wchar_t* value, int minimum, Msg bad, Msg large, int* number, ArgumentError* error)
{
    int parsed = 0;
    switch (ParseNumber(value, &parsed)) {
    case Number::TooLarge:
        return Bad(error, MessageText(large), value);
    case Number::NotNumber:
        return Bad(error, MessageText(bad), value);
    case Number::Good:
        break;
    }
    if (parsed < minimum)
        return Bad(error, MessageText(bad), value);
    *number = parsed;
    return ParseResult::Run;
}

// --writable-by's account resolved now, so that a name the system does not know is a command-line error;
// --writable-by-process's process is found when the dump starts.
ParseResult TakeSubject(const wchar_t* option, const wchar_t* value, DumpOptions* options, ArgumentError* error)
{
    if (options->subjectCount >= MaximumWritableBy)
        return Bad(error, MessageText(Msg::TooManySubjects), value);
    SubjectRequest& request = options->subjects[options->subjectCount++];
    request.text = value;
    request.process = Is(option, L"--writable-by-process");
    if (request.process)
        return value[0] ? ParseResult::Run : Bad(error, MessageText(Msg::EmptyWritableByProcess), value);
    const char* why = "";
    SID_NAME_USE use = SidTypeUnknown;
    if (!ResolveAccount(value, request.sid, &why, &use))
        return Bad(error, why, value);
    request.user = use == SidTypeUser;
    return ParseResult::Run;
}

static_assert(MaximumRestrictingSids == 16 && MaximumCapabilities == 16, "the messages say 16");

// A SID into one of a fixed number of slots.
ParseResult TakeSid(const wchar_t* value, bool resolved, const BYTE* sid, BYTE (*slots)[AccountSidBytes], int* count,
                    const char* full, const char* unknown, ArgumentError* error)
{
    if (!resolved)
        return Bad(error, unknown, value);
    if (*count >= 16)
        return Bad(error, full, value);
    CopyMemory(slots[(*count)++], sid, AccountSidBytes);
    return ParseResult::Run;
}

// What makes every subject a sandbox: its level, restricting SIDs, package and capabilities.
ParseResult TakeModifier(const wchar_t* option, const wchar_t* value, SubjectModifiers* modifiers, ArgumentError* error)
{
    BYTE sid[AccountSidBytes] = {};
    if (Is(option, L"--integrity")) {
        modifiers->integritySet = ParseIntegrityLevel(value, &modifiers->integrity);
        return modifiers->integritySet
                   ? ParseResult::Run
                   : Bad(error, MessageText(Msg::BadIntegrity), value);
    }
    if (Is(option, L"--restricted-to")) {
        const char* why = MessageText(Msg::EmptyRestrictedTo);
        const bool resolved = value[0] && ResolveAccount(value, sid, &why);
        return TakeSid(value, resolved, sid, modifiers->restrictedTo, &modifiers->restrictedCount,
                       MessageText(Msg::TooManyRestrictedTo), why, error);
    }
    if (Is(option, L"--capability"))
        return TakeSid(value, ResolveCapability(value, sid), sid, modifiers->capabilities, &modifiers->capabilityCount,
                       MessageText(Msg::TooManyCapabilities), MessageText(Msg::NotCapability), error);
    // --appcontainer
    switch (ResolvePackage(value, modifiers->package)) {
    case 0:
        modifiers->appContainer = true;
        return ParseResult::Run;
    case ERROR_NOT_SUPPORTED:
        return Bad(error, MessageText(Msg::PackageNamesUnsupported), value);
    default:
        return Bad(error, MessageText(Msg::NotPackage), value);
    }
}

// One option with its value: Run, or Bad with the error set.
ParseResult TakeValue(const wchar_t* option, const wchar_t* value, DumpOptions* options, ArgumentError* error)
{
    if (Is(option, L"--depth"))
        return TakeNumber(value, 0, Msg::BadDepth, Msg::DepthTooLarge, &options->maxDepth, error);
    if (Is(option, L"--interval"))
        return TakeNumber(value, MinimumWatchIntervalMs, Msg::BadInterval, Msg::IntervalTooLarge, &options->intervalMs,
                          error);
    if (Is(option, L"--type")) {
        if (options->typeCount >= MaximumTypeFilters)
            return Bad(error, MessageText(Msg::TooManyTypes), value);
        options->types[options->typeCount++] = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--held-by")) {
        if (options->heldByCount >= MaximumHeldBy)
            return Bad(error, MessageText(Msg::TooManyHeldBy), value);
        options->heldBy[options->heldByCount++] = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--find-from")) {
        if (options->findFromCount >= MaximumFindFrom)
            return Bad(error, MessageText(Msg::TooManyFindFrom), value);
        options->findFrom[options->findFromCount++] = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--compare") || Is(option, L"--against")) {
        (Is(option, L"--compare") ? options->compare : options->against) = value;
        return ParseResult::Run;
    }
    if (Is(option, L"--writable-by") || Is(option, L"--writable-by-process"))
        return TakeSubject(option, value, options, error);
    if (Is(option, L"--find"))
        return options->find.Set(value) ? ParseResult::Run : Bad(error, MessageText(Msg::OutOfMemory), value);
    return TakeModifier(option, value, &options->modifiers, error);
}

// A PATH the kernel would refuse with a bare status is a command-line error
// here, in words.
ParseResult SetPath(const wchar_t* argument, DumpOptions* options, ArgumentError* error)
{
    switch (CheckPathSyntax(argument)) {
    case PathSyntax::NoLeadingSeparator:
        return Bad(error, MessageText(Msg::NoLeadingSeparator), argument);
    case PathSyntax::DoubledSeparator:
        return Bad(error, MessageText(Msg::DoubledSeparator), argument);
    case PathSyntax::Good:
        break;
    }
    size_t length = static_cast<size_t>(lstrlenW(argument));
    if (length > 1 && argument[length - 1] == L'\\')
        --length;
    return options->path.Assign(argument, length) ? ParseResult::Run
                                                  : Bad(error, MessageText(Msg::OutOfMemory), argument);
}

bool IsHelp(const wchar_t* argument)
{
    // Windows users ask with "/?" first.
    return Is(argument, L"--help") || Is(argument, L"-h") || Is(argument, L"/?");
}

// An option without a value; false when argument is none.
// A switch by its row: the table's first rows, in the order of the flags here.
bool TakeSwitch(int option, DumpOptions* options)
{
    bool* const switches[] = {&options->json,    &options->details, &options->security,           &options->watch,
                              &options->holders, &options->explain, &options->modifiers.elevated,
                              &options->modifiers.writeRestricted};
    if (option < 0 || option >= static_cast<int>(sizeof(switches) / sizeof(switches[0])))
        return false;
    *switches[option] = true;
    return true;
}

// What the loop over the arguments keeps: the options given so far, and --interval's value.
struct ParseState {
    bool given[OptionCount] = {};
    const wchar_t* interval = nullptr;
};

// An option's value. One that takes a single value, given again, is refused: which of the two was meant is not
// the dump's to guess.
ParseResult TakeOption(int option, const wchar_t* value, ParseState* state, DumpOptions* options, ArgumentError* error)
{
    const OptionRow& row = Options[option];
    if (state->given[option] && row.takes == Takes::Value)
        return Bad(error, MessageText(Msg::GivenTwice), row.name);
    state->given[option] = true;
    state->interval = Is(row.name, L"--interval") ? value : state->interval;
    return TakeValue(row.name, value, options, error);
}

// Meaningless combinations of the subjects' options, in words; Run when there is none.
ParseResult CheckSubjects(const DumpOptions& options, ArgumentError* error)
{
    const SubjectModifiers& modifiers = options.modifiers;
    bool account = false;
    for (int i = 0; i < options.subjectCount; ++i)
        account = account || options.subjects[i].user;
    const bool modified = modifiers.elevated || modifiers.integritySet || modifiers.restrictedCount > 0 ||
                          modifiers.writeRestricted || modifiers.appContainer || modifiers.capabilityCount > 0;
    if (options.subjectCount == 0 && (modified || options.explain))
        return Bad(error, MessageText(Msg::NoSubject),
                   options.explain ? L"--explain" : L"--integrity, --restricted-to, --appcontainer ...");
    if (modifiers.elevated && !account)
        return Bad(error, MessageText(Msg::ElevatedWithoutUser), L"--elevated");
    if (modifiers.capabilityCount > 0 && !modifiers.appContainer)
        return Bad(error, MessageText(Msg::CapabilityWithoutPackage), L"--capability");
    if (modifiers.writeRestricted && modifiers.restrictedCount == 0)
        return Bad(error, MessageText(Msg::WriteRestrictedAlone), L"--write-restricted");
    if (options.explain && (options.path.Empty() || options.watch))
        return Bad(error, options.watch ? MessageText(Msg::NotWithWatch) : MessageText(Msg::ExplainNeedsPath),
                   L"--explain");
    return ParseResult::Run;
}

}  // namespace

ParseResult ParseDumpArguments(int argc, wchar_t** argv, DumpOptions* options, ArgumentError* error)
{
    bool pathGiven = false;
    ParseState state;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        // --name=value as --name value; a name longer than any option's is no option.
        const wchar_t* equals = argument[0] == L'-' && argument[1] == L'-' ? wcschr(argument, L'=') : nullptr;
        wchar_t name[32] = L"";
        if (equals && equals - argument < 32)
            lstrcpynW(name, argument, static_cast<int>(equals - argument) + 1);
        const int named = equals ? FindOption(name) : -1;
        if (named >= 0 && Options[named].takes != Takes::Nothing) {
            const ParseResult taken = TakeOption(named, equals + 1, &state, options, error);
            if (taken != ParseResult::Run)
                return taken;
            continue;
        }
        const int option = FindOption(argument);
        if (IsHelp(argument))
            return ParseResult::Help;
        if (Is(argument, L"--version"))
            return ParseResult::Version;
        if (TakeSwitch(option, options))
            continue;
        if (option >= 0 && Options[option].takes != Takes::Nothing) {
            if (i + 1 >= argc)
                return Bad(error, MessageText(Msg::NoValue), argument);
            const ParseResult taken = TakeOption(option, argv[++i], &state, options, error);
            if (taken != ParseResult::Run)
                return taken;
            continue;
        }
        if (argument[0] == L'-')
            return RefuseUnknown(argument, name, error);
        if (pathGiven)
            return Bad(error, MessageText(Msg::OnePath), argument);
        const ParseResult taken = SetPath(argument, options, error);
        if (taken != ParseResult::Run)
            return taken;
        pathGiven = true;
    }
    // A watch reports what appears and goes, not who may change it.
    if (options->watch && (options->security || options->subjectCount > 0))
        return Bad(error, MessageText(Msg::NotWithWatch),
                   options->security ? L"--security"
                   : options->subjects[0].process ? L"--writable-by-process" : L"--writable-by");
    if (state.interval && !options->watch)
        return Bad(error, MessageText(Msg::IntervalWithoutWatch), state.interval);
    if (options->against && !options->compare)
        return Bad(error, MessageText(Msg::AgainstWithoutCompare), L"--against");
    if (options->compare && (options->watch || options->explain))
        return Bad(error, MessageText(Msg::NotWithCompare), options->watch ? L"--watch" : L"--explain");
    return CheckSubjects(*options, error);
}
