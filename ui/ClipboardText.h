// Text lines for the clipboard: every window that copies rows builds its
// text with this.
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
