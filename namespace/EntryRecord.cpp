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
    auto* record = static_cast<EntryRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(EntryRecord)));
    if (!record)
        return nullptr;
    record->name = CopyText(name);
    record->typeName = CopyText(typeName);
    if (!record->name || !record->typeName) {
        FreeEntryRecord(record);
        return nullptr;
    }
    ++LiveRecords;
    record->enumerationIndex = enumerationIndex;
    record->typeCode = LookupObjectType(typeName, image);
    return record;
}

void FreeEntryRecord(EntryRecord* record)
{
    if (!record)
        return;
    HANDLE heap = GetProcessHeap();
    if (record->name && record->typeName)
        --LiveRecords;
    if (record->name)
        HeapFree(heap, 0, record->name);
    if (record->typeName)
        HeapFree(heap, 0, record->typeName);
    HeapFree(heap, 0, record);
}
