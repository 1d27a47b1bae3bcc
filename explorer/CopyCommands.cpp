#include "CopyCommands.h"

// Placeholder bodies until the commands land.
ClipboardTextBuilder::~ClipboardTextBuilder() {}
bool ClipboardTextBuilder::Open(HWND, SIZE_T) { return false; }
bool ClipboardTextBuilder::Append(const wchar_t*, bool) { return false; }
bool ClipboardTextBuilder::Commit() { return false; }
void CopySelection(HWND, HWND) {}
void SelectAllEntries(HWND) {}
LRESULT InitMenuPopupState(HMENU, LPARAM, HWND, HWND) { return 0; }
void UpdateToolbarState(HWND, HWND, HWND) {}
