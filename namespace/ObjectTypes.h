// Classifies kernel object type names into type codes and type images.
#pragma once

#include <windows.h>

enum ObjectTypeCode : int {
    TypeUnknown = -1,
    TypeDirectory = 0,
    TypeSection = 1,
    TypeSymbolicLink = 2,
    TypeEvent = 3,
    TypeMutant = 4,
    TypeSemaphore = 5,
    TypeKey = 6,
    TypeType = 7,
    TypePort = 8,
    TypeWindowStation = 9,
    TypeDriver = 10,
    TypeDevice = 11,
    TypeTimer = 12,
    TypeCallback = 13,
    TypeEventPair = 14,
    TypeProfile = 15,
    TypeProcess = 19,
    TypeThread = 20,
    TypeJob = 21,
    // Past the numbering above: a type the details and the audit open and
    // read by their own calls.
    TypeIoCompletion = 22,
};

struct ObjectTypeRow {
    const wchar_t* typeName;
    int code;
    int image;
};

// Images of the type image list that are not tied to one type row.
const int ImageClosedFolder = 0;
const int ImageOpenFolder = 1;
const int ImageGenericType = 2;
const int TypeImageCount = 17;

extern const ObjectTypeRow ObjectTypeTable[];
extern const int ObjectTypeTableSize;

// Returns the type code of a type name (-1 when the table lacks it) and,
// when image is given, its image (2 when the table lacks it).
int LookupObjectType(const wchar_t* typeName, int* image);
