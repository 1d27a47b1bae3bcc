#include "EntryReader.h"

#include <cwchar>

#include "DumpSubjects.h"
#include "EntryLine.h"
#include "ObjectDetails.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "StatusText.h"

namespace {

void ReadState(HANDLE object, int typeCode, ObjectState* state)
{
    OBJECT_BASIC_INFORMATION basic = {};
    state->counted = QueryBasicInformation(object, &basic, ObjectBasicInformationBytes) >= 0;
    state->handles = basic.HandleCount;
    state->references = basic.PointerCount;
    NTSTATUS status = -1;
    switch (typeCode) {
    case TypeEvent:
    case TypeEventPair:
        state->kind = ObjectState::Event;
        status = QueryEventState(object, &state->first, &state->second);
        break;
    case TypeMutant: {
        state->kind = ObjectState::Mutant;
        ULONG flags = 0;
        status = QueryMutantState(object, &state->first, &flags);
        state->second = static_cast<LONG>(flags);
        break;
    }
    case TypeSemaphore:
        state->kind = ObjectState::Semaphore;
        status = QuerySemaphoreState(object, &state->first, &state->second);
        break;
    default:
        break;
    }
    if (status < 0)
        state->kind = ObjectState::Plain;
}

}  // namespace

EntryReader::EntryReader(const DumpOptions& options, const DumpSubjects* subjects)
    : options_(options), audit_(subjects, options.security),
      auditing_(options.security || (subjects && subjects->Count() > 0))
{
}

void EntryReader::AppendLine(ByteBuffer& out, const WideText& path, const wchar_t* typeName,
                             const EntryHolding* holders, const wchar_t* matched)
{
    AppendForms(options_.json ? &out : nullptr, options_.json ? nullptr : &out, path, typeName, holders, matched);
}

bool EntryReader::AppendForms(ByteBuffer* json, ByteBuffer* text, const WideText& path, const wchar_t* typeName,
                              const EntryHolding* holders, const wchar_t* matched)
{
    const wchar_t* name = LastPathComponent(path.Get());
    EntryFacts facts = {path.Get(), path.Length(), name, path.Length() - static_cast<size_t>(name - path.Get()), typeName};
    // Directories are most entries; the table gives them the same code.
    const int typeCode = wcscmp(typeName, L"Directory") == 0 ? TypeDirectory : LookupObjectType(typeName, nullptr);
    EntryExtras extras;
    SecurityFacts security;
    facts.extras = &extras;
    facts.holders = holders;
    facts.matched = matched;
    // First, so that an entry --writable-by leaves out costs no more opens.
    if (auditing_) {
        if (!audit_.Read(path.Get(), typeCode, typeName, &security))
            return false;
        extras.security = &security;
    }
    WideText target;
    ObjectState state;
    wchar_t openError[StatusTextChars];
    if (typeCode == TypeSymbolicLink || options_.details) {
        // Opened for this entry alone and closed before the next.
        ObjectHandle object;
        const NTSTATUS status = OpenForDetails(path.Get(), typeCode, OpenForQuery, object.Receive());
        if (status != 0) {
            StatusText(Failed::Open, status, openError);
            facts.openError = openError;
        } else {
            if (typeCode == TypeSymbolicLink) {
                LONGLONG created = 0;
                QuerySymbolicLink(object.Get(), &target, &created);
                facts.target = target.Get();
                facts.targetLength = target.Length();
                extras.more.kind = options_.details ? MoreDetails::LinkCreated : MoreDetails::None;
                extras.more.value = created;
            }
            if (options_.details) {
                ReadState(object.Get(), typeCode, &state);
                facts.state = &state;
                if (typeCode != TypeSymbolicLink)
                    ReadMoreDetails(object.Get(), typeCode, &extras.more);
            }
        }
    }
    if (json)
        AppendEntryLine(*json, facts, true);
    if (text)
        AppendEntryLine(*text, facts, false);
    return true;
}

