#include "EntryRecord.h"

#include "ObjectTypes.h"

namespace {
long LiveRecords = 0;
}

long LiveEntryRecords() { return LiveRecords; }

wchar_t* CopyText(const wchar_t* text)
{
    const int length = lstrlenW(text);
    auto* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (copy)
        CopyMemory(copy, text, (length + 1) * sizeof(wchar_t));
    return copy;
}

EntryRecord* MakeEntryRecord(int enumerationIndex, const wchar_t* typeName, const wchar_t* name)
{
    return MakeEntryRecord(enumerationIndex, typeName, name, nullptr);
}

EntryRecord* MakeEntryRecord(int enumerationIndex, const wchar_t* typeName, const wchar_t* name, int* image)
{
    // One block holds the record and both texts: a record is whole or not made.
    const SIZE_T nameChars = static_cast<SIZE_T>(lstrlenW(name)) + 1;
    const SIZE_T typeChars = static_cast<SIZE_T>(lstrlenW(typeName)) + 1;
    auto* record = static_cast<EntryRecord*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(EntryRecord) + (nameChars + typeChars) * sizeof(wchar_t)));
    if (!record)
        return nullptr;
    ++LiveRecords;
    record->name = reinterpret_cast<wchar_t*>(record + 1);
    record->typeName = record->name + nameChars;
    CopyMemory(record->name, name, nameChars * sizeof(wchar_t));
    CopyMemory(record->typeName, typeName, typeChars * sizeof(wchar_t));
    record->enumerationIndex = enumerationIndex;
    record->typeCode = LookupObjectType(typeName, image);
    return record;
}

void FreeEntryRecord(EntryRecord* record)
{
    if (!record)
        return;
    --LiveRecords;
    HeapFree(GetProcessHeap(), 0, record);
}
