// The generic mapping of each type documented by Windows, for the types
// whose kernel does not give it, and the rights that change an object.
#pragma once

#include <windows.h>

struct GenericMappingRow {
    int key;  // ObjectTypeCode
    GENERIC_MAPPING mapping;
};

const int GenericMappingRowCount = 14;
extern const GenericMappingRow GenericMappingRows[GenericMappingRowCount];

// The documented mapping of a type by its code (a file's by its name); types
// without a row get the standard rights alone and the first specific right
// for all.
GENERIC_MAPPING DocumentedGenericMapping(int typeCode, const wchar_t* typeName);

// The rights that change an object: DELETE, WRITE_DAC, WRITE_OWNER and the
// specific rights the type's generic write maps to.
ACCESS_MASK ChangingRights(const GENERIC_MAPPING& mapping);
