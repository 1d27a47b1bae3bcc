#include <doctest.h>

#include <string>

#include "AccessCheck.h"
#include "AccessRights.h"
#include "ObjectTypes.h"

TEST_CASE("each type's row, valid mask and names bit by bit from the lowest (- unnamed); a type without a row: the generic ones")
{
    const struct { int type, row; ACCESS_MASK valid; const wchar_t* names; } cases[] = {
        {0, 0, 0x010F000F, L"情報の問い合わせ 検索 オブジェクトの作成 サブディレクトリの作成"},
        {1, 1, 0x010F001F, L"情報の問い合わせ 書き込みマップ 読み取りマップ 実行マップ 拡張"},
        {2, 2, 0x011F0001, L"情報の問い合わせ"}, {7, 3, 0x010F0001, L"生成"}, {20, 5, 0x011F03FF, L"停止 - - - - 設定"},
        {19, 4, 0x011F0FFF, L"情報の問い合わせ"},  // the generic list's: Process has no entries
        {5, 6, 0x011F0003, L"情報の問い合わせ 変更"}, {3, 7, 0x011F0003, L"情報の問い合わせ 変更"},
        {4, 8, 0x011F0001, L"情報の問い合わせ"}, {12, 9, 0x011F0003, L"情報の問い合わせ 変更"},
        {11, 10, 0x011F01FF, L"構成の問い合わせ 変更 状態の問い合わせ 依存関係の列挙 開始 停止 一時停止 問い合わせ コントロール"},
        {21, 11, 0x011F001F, L"プロセスの割り当て 属性の変更 情報の問い合わせ 停止 セキュリティ属性の設定"},
        {6, 12, 0x010F003F, L"情報の問い合わせ 値のセット サブキーの作成 サブキーの列挙 通知 リンクの作成"},
        {8, -1, 0x001F0001, L"情報の問い合わせ"}, {14, -1, 0x001F0001, L"情報の問い合わせ"},
        {-1, -1, 0x001F0001, L"情報の問い合わせ"}};
    for (const auto& c : cases) {
        CAPTURE(c.type);
        ACCESS_MASK valid = 0xDEADBEEF;
        int row = -7;
        CHECK(FindAccessRow(c.type, &valid, &row) == 0);
        CHECK(valid == c.valid);
        CHECK(row == c.row);
        std::wstring names;
        for (ACCESS_MASK bit = 1; bit < 0x10000; bit <<= 1) {
            wchar_t text[32] = L"-";
            GetAccessRightName(row, bit, text, 32);
            names += L" " + std::wstring(text);
        }
        CHECK(names.substr(1, names.find_last_not_of(L" -")) == c.names);  // the unnamed bits after the last left out
    }
}

TEST_CASE("names: a row's entry before the generic list, the first sharing a bit; none leaves the text alone")
{
    const struct { int row; ACCESS_MASK mask; size_t capacity; ULONG status; const wchar_t* name; } cases[] = {
        {-1, 0x10000000, 32, 0, L"すべて許可"}, {-1, 0x02000000, 32, 0, L"フルコントロール"},
        {12, 0x40000000, 32, 0, L"書き込み"}, {-1, 0x00030000, 32, 0, L"削除"},
        {13, 0x1, 32, 0, L"情報の問い合わせ"},   // a row past the table is no row
        {0, 0x8, 12, 0, L"サブディレクトリの作成"}, {0, 0x8, 11, 0xC0000023, L"untouched"},  // 11 characters
        {-1, 0x00200000, 32, 0xC0000225, L"untouched"},  // bit 21: in no list
    };
    for (const auto& c : cases) {
        INFO("row ", c.row, ", mask ", c.mask);
        wchar_t text[32] = L"untouched";
        CHECK(ULONG(GetAccessRightName(c.row, c.mask, text, c.capacity)) == c.status);
        CHECK(std::wstring(text) == c.name);
    }
}

TEST_CASE("a granted mask named as the security page names the type's rights; the bits no name fits as one mask")
{
    const int File = -2;  // a file's handle, by a file's rights
    const struct { int type; ACCESS_MASK mask; const wchar_t* text; } cases[] = {
        {File, 0x0012019F, L"データの読み取り、データの書き込み、データの追加、拡張属性の読み取り、拡張属性の書き込み、属性の読み取り、"
                           L"属性の書き込み、アクセス許可の読み取り、同期"},
        {File, 0x001F01FF, L"フルコントロール"}, {File, 0x00000060, L"ファイルの実行、子の削除"},
        {3, 0x001F0003, L"フルコントロール"}, {3, 0x00100001, L"情報の問い合わせ、同期"},
        {3, 0x011F0003, L"フルコントロール、監査"}, {4, 0x00100000, L"同期"}, {0, 0x000F000F, L"フルコントロール"},
        {-1, 0x001F0001, L"フルコントロール"}, {3, 0, L"0x00000000"}, {19, 0x00001410, L"0x00001410"},
        {19, 0x00100401, L"情報の問い合わせ、同期、0x00000400"},
        // Every bit: the longest text there is, within its buffer.
        {19, 0xFFFFFFFF, L"フルコントロール、監査、フルコントロール、すべて許可、実行、書き込み、読み取り、0x0CE0F000"}};
    for (const auto& c : cases) {
        INFO("type ", c.type, ", mask ", c.mask);
        wchar_t text[AccessTextChars];
        if (c.type == File)
            DescribeFileAccess(c.mask, text);
        else
            DescribeAccess(c.type, c.mask, text);
        CHECK(std::wstring(text) == c.text);
    }
}
