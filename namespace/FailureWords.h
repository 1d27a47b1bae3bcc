// The words the user reads for a failure status: the object list's for a
// directory that cannot be listed, the property sheet's for an object that
// cannot be opened. The window and the console companion share them, so
// both programs name a failure alike.
#pragma once

#include <windows.h>

#include "NtStatus.h"

const wchar_t ListingAccessDeniedText[] = L"アクセスが拒否されました。";

// The open-failure words for status, or null when the table has none (the
// caller then shows the status in hexadecimal). The General page's own
// re-open leaves out the privilege row.
inline const wchar_t* OpenFailureWords(ULONG status, bool withPrivilegeRow = true)
{
    switch (static_cast<NTSTATUS>(status)) {
    case STATUS_ACCESS_DENIED:
        return L"アクセスは拒否されました。";
    case STATUS_OBJECT_TYPE_MISMATCH_NT:
    case StatusNoOpenForType:
        return L"このオブジェクトの情報は取得できません。";
    case STATUS_OBJECT_NAME_NOT_FOUND_NT:
        return L"オブジェクトが見つかりません。";
    case STATUS_SHARING_VIOLATION_NT:
        return L"他のプロセスで使用中です。";
    case STATUS_PRIVILEGE_NOT_HELD_NT:
        return withPrivilegeRow ? L"権限がありません。" : nullptr;
    default:
        return nullptr;
    }
}
