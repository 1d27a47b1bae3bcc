// Copy, Select All, and the enabling of Copy and Up in menus and toolbar.
#pragma once

#include <windows.h>

// Grows a global memory block; GlobalReAlloc's shape, replaceable in tests.
typedef HGLOBAL(WINAPI* BlockReAllocator)(HGLOBAL block, SIZE_T bytes, UINT flags);

// Collects clipboard text in a growing global block for one Copy. The
// clipboard keeps its old contents until Commit; a builder that fails or
// is dropped before Commit closes the clipboard and changes nothing.
class ClipboardTextBuilder {
public:
    explicit ClipboardTextBuilder(BlockReAllocator grow = GlobalReAlloc) : grow_(grow) {}
    ~ClipboardTextBuilder();
    ClipboardTextBuilder(const ClipboardTextBuilder&) = delete;
    ClipboardTextBuilder& operator=(const ClipboardTextBuilder&) = delete;

    // False when the clipboard cannot be opened or no block can be had.
    bool Open(HWND owner, SIZE_T firstSize);
    // Appends the text, and CR LF after it when lineBreak is set. False once
    // the block could not grow: nothing more is appended, Commit does nothing.
    bool Append(const wchar_t* text, bool lineBreak);
    // Hands the text to the clipboard as CF_UNICODETEXT and closes it.
    bool Commit();

private:
    bool Grow(SIZE_T neededBytes, SIZE_T extraBytes);
    void Close();

    BlockReAllocator grow_;
    HWND owner_ = nullptr;
    HGLOBAL block_ = nullptr;
    SIZE_T capacity_ = 0;  // bytes asked for; the block may be larger
    int characterCount_ = 0;
    bool open_ = false;
    bool failed_ = false;
};

// Capacity of the text read from a tree label or a list row's name.
const int CopyTextCapacity = 4096;

void CopySelection(HWND tree, HWND list);
void SelectAllEntries(HWND list);
LRESULT InitMenuPopupState(HMENU menu, LPARAM lParam, HWND tree, HWND list);

// The Up and Copy states last sent to one toolbar. The pane alone sets these
// two buttons; a toolbar handed to it again is sent both states afresh.
struct ToolbarButtonStates {
    HWND toolbar = nullptr;  // none: nothing sent yet
    bool up = false;
    bool copy = false;
};

// Enables Up unless the root is selected and Copy when rows are selected.
// Runs before every message of the pane, so it sends a state only when it
// differs from the one in sent.
void UpdateToolbarState(HWND toolbar, HWND tree, HWND list, ToolbarButtonStates& sent);
