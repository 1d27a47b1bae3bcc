// Which rights an account holds over an object by its DACL alone, the way
// the system's access check reads the DACL, and the generic mapping of each
// type documented by Windows, for the types whose kernel does not give it.
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

// The rights who (or Everyone) is granted by descriptor's DACL and owner,
// generic bits mapped with mapping: a NULL DACL grants all of mapping's
// GenericAll; an empty one nothing. Entries apply in order, a right denied
// first stays denied and one granted first stays granted; inherit-only
// entries are skipped; the owner holds READ_CONTROL and WRITE_DAC unless an
// OWNER RIGHTS entry applies. Group membership is not expanded, nor are
// labels applied. *unevaluated counts the entries of other types (callback,
// object, conditional), which are skipped: with any, the answer may be short.
// 0 with *granted set; ERROR_INVALID_ACL for a DACL whose entries run past it
// (or past the descriptor's length bytes) or are too short for their SIDs;
// ERROR_INVALID_SECURITY_DESCR for a descriptor whose parts do so.
DWORD GrantedRights(PSECURITY_DESCRIPTOR descriptor, DWORD length, PSID who, const GENERIC_MAPPING& mapping,
                    ACCESS_MASK* granted, int* unevaluated);
