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
    {L"IoCompletion", TypeIoCompletion, 2},
};
const int ObjectTypeTableSize = sizeof(ObjectTypeTable) / sizeof(ObjectTypeTable[0]);

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool AsciiLettersOnly(const wchar_t* text)
{
    for (; *text; ++text)
        if (!IsAsciiLetter(*text))
            return false;
    return true;
}

// For texts of ASCII letters alone lstrcmpiW finds two equal exactly when
// they differ in letter case at most; the list looks up a type per row.
bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b)
{
    for (; *a && (*a | 0x20) == (*b | 0x20); ++a, ++b) {
    }
    return *a == *b;
}

}  // namespace

int LookupObjectType(const wchar_t* typeName, int* image)
{
    if (image)
        *image = ImageGenericType;
    if (!typeName)
        return TypeUnknown;
    const bool plain = AsciiLettersOnly(typeName);
    for (int i = 0; i < ObjectTypeTableSize; ++i) {
        const wchar_t* row = ObjectTypeTable[i].typeName;
        if (plain ? EqualIgnoringCase(typeName, row) : lstrcmpiW(typeName, row) == 0) {
            if (image)
                *image = ObjectTypeTable[i].image;
            return ObjectTypeTable[i].code;
        }
    }
    return TypeUnknown;
}
