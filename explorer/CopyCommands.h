// Copy, Select All, and the enabling of Copy and Up in menus and toolbar.
#pragma once

#include <windows.h>

// Collects clipboard text in a growing global block for one Copy.
class ClipboardTextBuilder {
public:
    ClipboardTextBuilder() = default;
    ~ClipboardTextBuilder();
    ClipboardTextBuilder(const ClipboardTextBuilder&) = delete;
    ClipboardTextBuilder& operator=(const ClipboardTextBuilder&) = delete;

    bool Open(HWND owner, SIZE_T firstSize);
    bool Append(const wchar_t* text, bool lineBreak);
    bool Commit();

private:
    HWND owner_ = nullptr;
    HGLOBAL block_ = nullptr;
    int characterCount_ = 0;
    bool open_ = false;
};

void CopySelection(HWND tree, HWND list);
void SelectAllEntries(HWND list);
LRESULT InitMenuPopupState(HMENU menu, LPARAM lParam, HWND tree, HWND list);
void UpdateToolbarState(HWND toolbar, HWND tree, HWND list);
