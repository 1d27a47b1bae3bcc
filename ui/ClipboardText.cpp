#include "ClipboardText.h"

namespace {

const wchar_t LineBreak[] = L"\r\n";
const int LineBreakLength = 2;

}  // namespace

ClipboardTextBuilder::~ClipboardTextBuilder()
{
    Close();
}

bool ClipboardTextBuilder::Open(HWND owner, SIZE_T firstSize)
{
    Close();
    owner_ = owner;
    characterCount_ = 0;
    failed_ = false;
    // Room for the terminating NUL even before any text is appended.
    capacity_ = firstSize < sizeof(wchar_t) ? sizeof(wchar_t) : firstSize;
    block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, capacity_);
    if (!block_)
        return false;
    if (!OpenClipboard(owner_)) {
        GlobalFree(block_);
        block_ = nullptr;
        return false;
    }
    open_ = true;
    return true;
}

bool ClipboardTextBuilder::Grow(SIZE_T neededBytes, SIZE_T extraBytes)
{
    const SIZE_T target = capacity_ + extraBytes > neededBytes ? capacity_ + extraBytes : neededBytes;
    HGLOBAL grown = grow_(block_, target, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown)
        return false;  // the old block stays ours and is freed on Close
    block_ = grown;
    capacity_ = target;
    return GlobalSize(block_) >= neededBytes;
}

bool ClipboardTextBuilder::Append(const wchar_t* text, bool lineBreak)
{
    if (!open_ || failed_ || !block_)
        return false;
    if (!text)
        text = L"";
    const SIZE_T length = static_cast<SIZE_T>(lstrlenW(text));
    const SIZE_T added = length + (lineBreak ? LineBreakLength : 0);
    const SIZE_T count = static_cast<SIZE_T>(characterCount_);
    // The text, its line break and the NUL after them must all fit.
    const SIZE_T neededBytes = (count + added + 1) * sizeof(wchar_t);
    if (!Grow(neededBytes, 2 * length + 4)) {
        failed_ = true;
        return false;
    }
    auto* characters = static_cast<wchar_t*>(GlobalLock(block_));
    if (!characters) {
        failed_ = true;
        return false;
    }
    CopyMemory(characters + count, text, length * sizeof(wchar_t));
    if (lineBreak)
        CopyMemory(characters + count + length, LineBreak, LineBreakLength * sizeof(wchar_t));
    characters[count + added] = L'\0';
    GlobalUnlock(block_);
    characterCount_ += static_cast<int>(added);
    return true;
}

bool ClipboardTextBuilder::Commit()
{
    if (!open_)
        return false;
    bool handedOver = false;
    // The old contents go only now, so a failed Copy leaves them in place.
    if (!failed_ && block_ && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block_)) {
        block_ = nullptr;  // the clipboard owns it now
        handedOver = true;
    }
    Close();
    return handedOver;
}

void ClipboardTextBuilder::Close()
{
    if (open_) {
        CloseClipboard();
        open_ = false;
    }
    if (block_) {
        GlobalFree(block_);
        block_ = nullptr;
    }
}
