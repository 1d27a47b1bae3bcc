#include "ObjectTypes.h"

// Scanned in this order; several types share an image.
const ObjectTypeRow ObjectTypeTable[] = {
    {L"Directory", TypeDirectory, 0},
    {L"Device", TypeDevice, 6},
    {L"Driver", TypeDriver, 5},
    {L"SymbolicLink", TypeSymbolicLink, 7},
    {L"Section", TypeSection, 12},
    {L"Event", TypeEvent, 8},
    {L"EventPair", TypeEventPair, 8},
    {L"Mutant", TypeMutant, 9},
    {L"Semaphore", TypeSemaphore, 10},
    {L"Port", TypePort, 3},
    {L"Type", TypeType, 15},
    {L"Timer", TypeTimer, 14},
    {L"Key", TypeKey, 13},
    {L"Callback", TypeCallback, 2},
    {L"WindowStation", TypeWindowStation, 4},
    {L"Profile", TypeProfile, 11},
    {L"Job", TypeJob, 16},
    {L"Process", TypeProcess, 2},
    {L"Thread", TypeThread, 2},
};
const int ObjectTypeTableSize = sizeof(ObjectTypeTable) / sizeof(ObjectTypeTable[0]);

int LookupObjectType(const wchar_t* typeName, int* image)
{
    if (image)
        *image = ImageGenericType;
    if (!typeName)
        return TypeUnknown;
    for (int i = 0; i < ObjectTypeTableSize; ++i) {
        if (lstrcmpiW(typeName, ObjectTypeTable[i].typeName) == 0) {
            if (image)
                *image = ObjectTypeTable[i].image;
            return ObjectTypeTable[i].code;
        }
    }
    return TypeUnknown;
}
