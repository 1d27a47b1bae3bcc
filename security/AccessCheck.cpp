#include "AccessCheck.h"

#include <cwchar>

#include "ObjectTypes.h"

namespace {

const ACCESS_MASK Standard = STANDARD_RIGHTS_REQUIRED;  // DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER
const ACCESS_MASK StandardAll = STANDARD_RIGHTS_ALL;    // ... and SYNCHRONIZE
const ACCESS_MASK Read = READ_CONTROL;
const ACCESS_MASK Sync = SYNCHRONIZE;

}  // namespace

// Sections, keys, files and processes as the SDK defines their *_GENERIC_* or
// *_READ/_WRITE/_EXECUTE/_ALL_ACCESS; the small synchronization objects query
// with read, modify with write, wait with execute.
const GenericMappingRow GenericMappingRows[GenericMappingRowCount] = {
    {TypeDirectory, {Read | 0x3, Read | 0xC, Read | 0x3, Standard | 0xF}},
    {TypeSymbolicLink, {Read | 0x1, Read, Read | 0x1, Standard | 0x1}},
    {TypeSection, {Read | 0x5, Read | 0x2, Read | 0x8, Standard | 0x1F}},
    {TypeEvent, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeEventPair, {Read, Read, Read | Sync, StandardAll}},
    {TypeMutant, {Read | 0x1, Read, Read | Sync, StandardAll | 0x1}},
    {TypeSemaphore, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeTimer, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeKey, {Read | 0x19, Read | 0x6, Read | 0x19, Standard | 0x3F}},
    {TypeJob, {Read | 0x4, Read | 0xB, Read | Sync, StandardAll | 0x1F}},
    {TypeProcess, {Read | 0x410, Read | 0xBEA, Read | Sync | 0x1000, StandardAll | 0xFFFF}},
    {TypeThread, {Read | 0x48, Read | 0x37, Read | Sync | 0x1800, StandardAll | 0xFFFF}},
    {TypeDevice, {Read | Sync | 0x89, Read | Sync | 0x116, Read | Sync | 0xA0, StandardAll | 0x1FF}},
    {TypeIoCompletion, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
};

GENERIC_MAPPING DocumentedGenericMapping(int typeCode, const wchar_t* typeName)
{
    for (const GenericMappingRow& row : GenericMappingRows)
        if (row.key == typeCode)
            return row.mapping;
    // Files are opened as devices are.
    if (typeName && wcscmp(typeName, L"File") == 0)
        return DocumentedGenericMapping(TypeDevice, nullptr);
    return {Read, Read, Read, StandardAll | 0x1};
}

ACCESS_MASK ChangingRights(const GENERIC_MAPPING& mapping)
{
    const ACCESS_MASK generic = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;
    return (mapping.GenericWrite & ~(READ_CONTROL | SYNCHRONIZE | generic)) | DELETE | WRITE_DAC | WRITE_OWNER;
}
