// The words the user reads for a failure status: the object list's for a
// directory that cannot be listed, the property sheet's for an object that
// cannot be opened. The window and the console companion share them, so
// both programs name a failure alike.
#pragma once

#include <windows.h>

const wchar_t ListingAccessDeniedText[] = L"アクセスが拒否されました。";

// The open-failure words for status, or null when the table has none (the
// caller then shows the status in hexadecimal). The General page's own
// re-open leaves out the privilege row.
inline const wchar_t* OpenFailureWords(ULONG status, bool withPrivilegeRow = true)
{
    switch (status) {
    case 0xC0000022:
        return L"アクセスは拒否されました。";
    case 0xC0000024:
    case 0xFFFFFFFF:  // no open call for the type
        return L"このオブジェクトの情報は取得できません。";
    case 0xC0000034:
        return L"オブジェクトが見つかりません。";
    case 0xC0000043:
        return L"他のプロセスで使用中です。";
    case 0xC0000061:
        return withPrivilegeRow ? L"権限がありません。" : nullptr;
    default:
        return nullptr;
    }
}
