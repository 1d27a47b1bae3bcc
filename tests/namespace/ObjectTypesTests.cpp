#include <doctest.h>

#include <string>

#include "EntryRecord.h"
#include "ObjectTypes.h"

TEST_CASE("type names map to their codes and images, in any letter case")
{
    struct Case {
        const wchar_t* name;
        int code;
        int image;
    } cases[] = {
        {L"Directory", 0, 0},      {L"directory", 0, 0},     {L"DIRECTORY", 0, 0},   {L"DiReCtOrY", 0, 0},
        {L"Device", 11, 6},        {L"Driver", 10, 5},       {L"SymbolicLink", 2, 7}, {L"Section", 1, 12},
        {L"Event", 3, 8},          {L"EventPair", 14, 8},    {L"Mutant", 4, 9},      {L"Semaphore", 5, 10},
        {L"Port", 8, 3},           {L"Type", 7, 15},         {L"Timer", 12, 14},     {L"Key", 6, 13},
        {L"Callback", 13, 2},      {L"WindowStation", 9, 4}, {L"Profile", 15, 11},   {L"Job", 21, 16},
        {L"Process", 19, 2},       {L"Thread", 20, 2},
    };
    for (const Case& c : cases) {
        int image = -5;
        CAPTURE(c.code);
        CHECK(LookupObjectType(c.name, &image) == c.code);
        CHECK(image == c.image);
        CHECK(LookupObjectType(c.name, nullptr) == c.code);
    }
}

TEST_CASE("names outside the table, cut short or lengthened, are unknown with the generic image")
{
    for (const wchar_t* name : {L"File", L"Token", L"Desktop", L"", L"Direct", L"Directoryx", L"Even", L"Jobs",
                                L" Event", L"Event "}) {
        int image = -5;
        CHECK(LookupObjectType(name, &image) == -1);
        CHECK(image == 2);
    }
}

TEST_CASE("an entry record owns copies of its texts and classifies its type")
{
    wchar_t name[] = L"Foo";
    wchar_t type[] = L"Section";
    EntryRecord* record = MakeEntryRecord(-1, type, name);
    REQUIRE(record != nullptr);
    name[0] = L'X';
    type[0] = L'X';
    CHECK(std::wstring(record->name) == L"Foo");
    CHECK(std::wstring(record->typeName) == L"Section");
    CHECK(record->enumerationIndex == -1);
    CHECK(record->typeCode == 1);
    FreeEntryRecord(record);
    FreeEntryRecord(nullptr);
}
