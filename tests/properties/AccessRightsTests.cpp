#include <doctest.h>

#include <string>

#include "AccessRights.h"

TEST_CASE("each type's row and valid mask; a type without a row gets the generic mask")
{
    const struct { int type, row; ACCESS_MASK valid; } cases[] = {
        {0, 0, 0x010F000F}, {11, 10, 0x011F01FF}, {21, 11, 0x011F001F}, {19, 4, 0x011F0FFF},
        {20, 5, 0x011F03FF}, {8, -1, 0x001F0001}, {-1, -1, 0x001F0001}};
    for (const auto& c : cases) {
        CAPTURE(c.type);
        ACCESS_MASK valid = 0xDEADBEEF;
        int row = -7;
        CHECK(FindAccessRow(c.type, &valid, &row) == 0);
        CHECK(valid == c.valid);
        CHECK(row == c.row);
    }
}

TEST_CASE("names: a row's entry before the generic list, the first sharing a bit; none leaves the text alone")
{
    const struct { int row; ACCESS_MASK mask; size_t capacity; ULONG status; const wchar_t* name; } cases[] = {
        {10, 0x1, 32, 0, L"構成の問い合わせ"},  // Device
        {3, 0x1, 32, 0, L"生成"},                // Type
        {11, 0x1, 32, 0, L"プロセスの割り当て"}, // Job
        {4, 0x1, 32, 0, L"情報の問い合わせ"},    // Process has no entries of its own
        {-1, 0x10000000, 32, 0, L"すべて許可"},
        {-1, 0x02000000, 32, 0, L"フルコントロール"},
        {12, 0x40000000, 32, 0, L"書き込み"},
        {-1, 0x00030000, 32, 0, L"削除"},
        {13, 0x1, 32, 0, L"情報の問い合わせ"},   // a row past the table is no row
        {0, 0x8, 12, 0, L"サブディレクトリの作成"},  // 11 characters and the terminator
        {0, 0x8, 11, 0xC0000023, L"untouched"},
        {-1, 0x00200000, 32, 0xC0000225, L"untouched"},  // bit 21: in no list
        {4, 0x00000800, 32, 0xC0000225, L"untouched"},
        {5, 0x00000200, 32, 0xC0000225, L"untouched"},
    };
    for (const auto& c : cases) {
        INFO("row ", c.row, ", mask ", c.mask);
        wchar_t text[32] = L"untouched";
        CHECK(ULONG(GetAccessRightName(c.row, c.mask, text, c.capacity)) == c.status);
        CHECK(std::wstring(text) == c.name);
    }
}
