// The texts the window's own code gives as they are rather than loading
// them from the string table: the main list's columns and count, the
// property sheet's words. Kept here, beside kagero.rc, so that every text
// of the window is under resources/; the additions' texts are loaded.
#pragma once

// The main window's object list.
const wchar_t ListNameTitle[] = L"名前";
const wchar_t ListTypeTitle[] = L"タイプ";
const wchar_t ListCountFormat[] = L"%d個のオブジェクト";  // the row count
const wchar_t ListErrorFormat[] = L"ERROR - 0x%08X";     // the status

// The property sheet.
const wchar_t GeneralPageTitle[] = L"一般";
const wchar_t OpenFailedFormat[] = L"オープンできませんでした。- CODE:0x%08X";  // the status
const wchar_t PermanentText[] = L"あり";
const wchar_t NotPermanentText[] = L"なし";
const wchar_t ManualResetText[] = L"手動リセット";
const wchar_t AutoResetText[] = L"自動リセット";
const wchar_t UnknownEventTypeText[] = L"Unknown";
const wchar_t SignalledText[] = L"セット";
const wchar_t NotSignalledText[] = L"リセット";
const wchar_t YesText[] = L"はい";
const wchar_t NoText[] = L"いいえ";
