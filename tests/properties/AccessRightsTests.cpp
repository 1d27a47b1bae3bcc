#include <doctest.h>

#include <string>
#include <vector>

#include "AccessRights.h"

namespace {

const NTSTATUS NotFound = static_cast<NTSTATUS>(0xC0000225);
const wchar_t Untouched[] = L"untouched";

// The name of one bit, or "" when the lookup reports STATUS_NOT_FOUND with the buffer left alone.
std::wstring NameOf(int row, ACCESS_MASK mask)
{
    wchar_t text[32];
    lstrcpyW(text, Untouched);
    const NTSTATUS status = GetAccessRightName(row, mask, text, 32);
    if (status == NotFound) {
        CHECK(std::wstring(text) == Untouched);
        return L"";
    }
    CHECK(status == 0);
    return text;
}

}  // namespace

TEST_CASE("each type's valid mask, and its rights named bit by bit from the lowest")
{
    struct Case {
        int type;
        int row;
        ACCESS_MASK valid;
        std::vector<std::wstring> names;  // one per bit of valid, lowest first; "" for no name
    } cases[] = {
        {0, 0, 0x010F000F,
         {L"情報の問い合わせ", L"検索", L"オブジェクトの作成", L"サブディレクトリの作成", L"削除",
          L"アクセス許可の読み取り", L"アクセス許可の変更", L"所有権の取得", L"監査"}},
        {11, 10, 0x011F01FF,
         {L"構成の問い合わせ", L"変更", L"状態の問い合わせ", L"依存関係の列挙", L"開始", L"停止", L"一時停止",
          L"問い合わせ", L"コントロール", L"削除", L"アクセス許可の読み取り", L"アクセス許可の変更", L"所有権の取得",
          L"同期", L"監査"}},
        {21, 11, 0x011F001F,
         {L"プロセスの割り当て", L"属性の変更", L"情報の問い合わせ", L"停止", L"セキュリティ属性の設定", L"削除",
          L"アクセス許可の読み取り", L"アクセス許可の変更", L"所有権の取得", L"同期", L"監査"}},
        {19, 4, 0x011F0FFF,
         {L"情報の問い合わせ", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"", L"削除",
          L"アクセス許可の読み取り", L"アクセス許可の変更", L"所有権の取得", L"同期", L"監査"}},
        {20, 5, 0x011F03FF,
         {L"停止", L"", L"", L"", L"", L"設定", L"", L"", L"", L"", L"削除", L"アクセス許可の読み取り",
          L"アクセス許可の変更", L"所有権の取得", L"同期", L"監査"}},
    };
    const std::vector<std::wstring> noRow = {L"情報の問い合わせ", L"削除", L"アクセス許可の読み取り",
                                             L"アクセス許可の変更", L"所有権の取得", L"同期"};
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (int type : {8, 14, -1})
        all.push_back({type, -1, 0x001F0001, noRow});
    for (const Case& c : all) {
        CAPTURE(c.type);
        ACCESS_MASK valid = 0xDEADBEEF;
        int row = -7;
        CHECK(FindAccessRow(c.type, &valid, &row) == 0);
        CHECK(valid == c.valid);
        CHECK(row == c.row);
        std::vector<std::wstring> names;
        for (int bit = 0; bit < 32; ++bit)
            if (c.valid & (1u << bit))
                names.push_back(NameOf(c.row, 1u << bit));
        CHECK(names == c.names);
    }
}

TEST_CASE("single lookups: a row's entry wins over the generic list; unnamed bits leave the output alone")
{
    const struct {
        int row;
        ACCESS_MASK mask;
        const wchar_t* name;  // "" for STATUS_NOT_FOUND
    } cases[] = {
        {10, 0x1, L"構成の問い合わせ"},     // Device
        {3, 0x1, L"生成"},                   // Type
        {11, 0x1, L"プロセスの割り当て"},   // Job
        {5, 0x1, L"停止"},                   // Thread
        {4, 0x1, L"情報の問い合わせ"},       // Process has no entries of its own
        {-1, 0x1, L"情報の問い合わせ"},
        {-1, 0x10000000, L"すべて許可"},
        {-1, 0x02000000, L"フルコントロール"},
        {-1, 0x80000000, L"読み取り"},
        {12, 0x40000000, L"書き込み"},
        {0, 0x20000000, L"実行"},
        {-1, 0x00200000, L""},               // bit 21: in no list
        {4, 0x00000800, L""},
        {5, 0x00000200, L""},
        {-1, 0x0000000E, L""},
        {-1, 0x00030000, L"削除"},           // several bits: the first entry sharing one wins
        {13, 0x1, L"情報の問い合わせ"},      // a row past the table is no row
    };
    for (const auto& c : cases) {
        CAPTURE(c.row);
        CAPTURE(c.mask);
        CHECK(NameOf(c.row, c.mask) == c.name);
    }
}

TEST_CASE("every name fits a 12-character buffer; a smaller one is refused untouched")
{
    std::vector<const wchar_t*> names;
    for (const AccessRightRow& row : TypeAccessRows)
        for (const AccessRightName& entry : row.entries)
            if (entry.mask)
                names.push_back(entry.name);
    for (const AccessRightName& entry : GenericAccessNames)
        names.push_back(entry.name);
    CHECK(names.size() == 52);
    for (const wchar_t* name : names) {
        CAPTURE(std::wstring(name));
        CHECK(lstrlenW(name) <= 11);
    }

    wchar_t text[12];
    lstrcpyW(text, L"untouched");
    // "サブディレクトリの作成" is 11 characters: 12 with its terminator.
    CHECK(GetAccessRightName(0, 0x8, text, 11) == static_cast<NTSTATUS>(0xC0000023));
    CHECK(std::wstring(text) == L"untouched");
    CHECK(GetAccessRightName(0, 0x8, text, 12) == 0);
    CHECK(std::wstring(text) == L"サブディレクトリの作成");
}
