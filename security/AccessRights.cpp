#include "AccessRights.h"

#include "NtStatus.h"
#include "ObjectTypes.h"

namespace {

// Shared texts: the same query right serves many rows and the generic list.
const wchar_t QueryInformation[] = L"情報の問い合わせ";
const wchar_t Modify[] = L"変更";
const wchar_t Stop[] = L"停止";
const wchar_t FullControl[] = L"フルコントロール";
const wchar_t Separator = L'、';

// Copies name when it fits; a name is never cut.
NTSTATUS CopyName(const wchar_t* name, wchar_t* text, size_t capacity)
{
    const size_t length = static_cast<size_t>(lstrlenW(name));
    if (!text || length >= capacity)
        return STATUS_BUFFER_TOO_SMALL_NT;
    CopyMemory(text, name, (length + 1) * sizeof(wchar_t));
    return 0;
}

}  // namespace

const AccessRightRow TypeAccessRows[AccessRowCount] = {
    {TypeDirectory, 0x010F000F,
     {{0x1, QueryInformation}, {0x2, L"検索"}, {0x4, L"オブジェクトの作成"}, {0x8, L"サブディレクトリの作成"}}},
    {TypeSection, 0x010F001F,
     {{0x1, QueryInformation}, {0x2, L"書き込みマップ"}, {0x4, L"読み取りマップ"}, {0x8, L"実行マップ"},
      {0x10, L"拡張"}}},
    {TypeSymbolicLink, 0x011F0001, {{0x1, QueryInformation}}},
    {TypeType, 0x010F0001, {{0x1, L"生成"}}},
    {TypeProcess, 0x011F0FFF, {}},
    {TypeThread, 0x011F03FF, {{0x1, Stop}, {0x20, L"設定"}}},
    {TypeSemaphore, 0x011F0003, {{0x1, QueryInformation}, {0x2, Modify}}},
    {TypeEvent, 0x011F0003, {{0x1, QueryInformation}, {0x2, Modify}}},
    {TypeMutant, 0x011F0001, {{0x1, QueryInformation}}},
    {TypeTimer, 0x011F0003, {{0x1, QueryInformation}, {0x2, Modify}}},
    {TypeDevice, 0x011F01FF,
     {{0x1, L"構成の問い合わせ"}, {0x2, Modify}, {0x4, L"状態の問い合わせ"}, {0x8, L"依存関係の列挙"},
      {0x10, L"開始"}, {0x20, Stop}, {0x40, L"一時停止"}, {0x80, L"問い合わせ"}, {0x100, L"コントロール"}}},
    {TypeJob, 0x011F001F,
     {{0x1, L"プロセスの割り当て"}, {0x2, L"属性の変更"}, {0x4, QueryInformation}, {0x8, Stop},
      {0x10, L"セキュリティ属性の設定"}}},
    {TypeKey, 0x010F003F,
     {{0x1, QueryInformation}, {0x2, L"値のセット"}, {0x4, L"サブキーの作成"}, {0x8, L"サブキーの列挙"},
      {0x10, L"通知"}, {0x20, L"リンクの作成"}}},
};

// Not a type of the security page's: a file's handle, as the holders of a
// device list them, is named by a file's own rights.
const AccessRightRow FileAccessRow = {
    -1, 0x011F01FF,
    {{0x1, L"データの読み取り"}, {0x2, L"データの書き込み"}, {0x4, L"データの追加"}, {0x8, L"拡張属性の読み取り"},
     {0x10, L"拡張属性の書き込み"}, {0x20, L"ファイルの実行"}, {0x40, L"子の削除"}, {0x80, L"属性の読み取り"},
     {0x100, L"属性の書き込み"}}};

const AccessRightName GenericAccessNames[GenericAccessNameCount] = {
    {0x00000001, QueryInformation},
    {0x00010000, L"削除"},
    {0x00020000, L"アクセス許可の読み取り"},
    {0x00040000, L"アクセス許可の変更"},
    {0x00080000, L"所有権の取得"},
    {0x00100000, L"同期"},
    {0x01000000, L"監査"},
    {0x02000000, FullControl},
    {0x80000000, L"読み取り"},
    {0x40000000, L"書き込み"},
    {0x20000000, L"実行"},
    {0x10000000, L"すべて許可"},
};

NTSTATUS FindAccessRow(int typeCode, ACCESS_MASK* validMask, int* row)
{
    *validMask = DefaultValidAccess;
    *row = NoAccessRow;
    for (int i = 0; i < AccessRowCount; ++i) {
        if (TypeAccessRows[i].key == typeCode) {
            *validMask = TypeAccessRows[i].validMask;
            *row = i;
            break;
        }
    }
    return 0;
}

namespace {

// The row's first entry sharing a bit with mask, else the generic list's.
NTSTATUS NameRight(const AccessRightRow* row, ACCESS_MASK mask, wchar_t* text, size_t capacity)
{
    if (row)
        for (const AccessRightName& entry : row->entries)
            if (entry.mask & mask)
                return CopyName(entry.name, text, capacity);
    for (const AccessRightName& entry : GenericAccessNames)
        if (entry.mask & mask)
            return CopyName(entry.name, text, capacity);
    return STATUS_NOT_FOUND_NT;
}

void DescribeWith(const AccessRightRow* row, ACCESS_MASK valid, ACCESS_MASK mask, wchar_t (&text)[AccessTextChars])
{
    // The auditing right is the page's own; holding all the others is full control.
    const ACCESS_MASK all = valid & ~ACCESS_SYSTEM_SECURITY;
    size_t length = 0;
    ACCESS_MASK rest = mask;
    if ((mask & all) == all) {
        length = static_cast<size_t>(lstrlenW(FullControl));
        CopyMemory(text, FullControl, (length + 1) * sizeof(wchar_t));
        rest &= ~all;
    }
    ACCESS_MASK unnamed = 0;
    for (ACCESS_MASK bit = 1; bit && rest; bit <<= 1) {
        if (!(rest & bit))
            continue;
        rest &= ~bit;
        wchar_t name[AccessNameMaxChars];
        if (NameRight(row, bit, name, AccessNameMaxChars) != 0) {
            unnamed |= bit;
            continue;
        }
        if (length > 0)
            text[length++] = Separator;
        const size_t chars = static_cast<size_t>(lstrlenW(name));
        CopyMemory(text + length, name, chars * sizeof(wchar_t));
        length += chars;
    }
    if (unnamed || length == 0) {
        if (length > 0)
            text[length++] = Separator;
        length += static_cast<size_t>(wsprintfW(text + length, L"0x%08X", unnamed));
    }
    text[length] = L'\0';
}

}  // namespace

void DescribeAccess(int typeCode, ACCESS_MASK mask, wchar_t (&text)[AccessTextChars])
{
    ACCESS_MASK valid = 0;
    int row = NoAccessRow;
    FindAccessRow(typeCode, &valid, &row);
    DescribeWith(row == NoAccessRow ? nullptr : &TypeAccessRows[row], valid, mask, text);
}

void DescribeFileAccess(ACCESS_MASK mask, wchar_t (&text)[AccessTextChars])
{
    DescribeWith(&FileAccessRow, FileAccessRow.validMask, mask, text);
}

NTSTATUS GetAccessRightName(int row, ACCESS_MASK mask, wchar_t* text, size_t capacity)
{
    return NameRight(row >= 0 && row < AccessRowCount ? &TypeAccessRows[row] : nullptr, mask, text, capacity);
}
