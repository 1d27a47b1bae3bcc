// A heap-held wide text of any length: paths and link targets are held
// whole, because a text cut to fit a buffer could name some other object.
#pragma once

#include <windows.h>

#include <cstddef>

class WideText {
public:
    WideText() = default;
    ~WideText() { Clear(); }
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    // false, with the old text kept, when memory runs out.
    bool Assign(const wchar_t* text, size_t length);
    bool Assign(const wchar_t* text);
    // Replaces the text with length characters for the caller to write,
    // terminated after them; null (old text kept) when memory runs out.
    wchar_t* Allocate(size_t length);
    void Clear();
    void Swap(WideText& other);

    // Never null: an empty text when nothing is held.
    const wchar_t* Get() const { return data_ ? data_ : L""; }
    size_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }

private:
    wchar_t* data_ = nullptr;
    size_t length_ = 0;
};

// directory + "\" + name, with no doubled separator after the root "\":
// the one way an object's path is made from its directory's. false (path
// left as it was) when memory runs out.
bool JoinObjectPath(const wchar_t* directory, const wchar_t* name, WideText* path);
// The same join of counted texts (name may hold any units) into a fixed
// buffer. Returns the joined length; the text is written, terminated, only
// when it and its terminator fit capacity units, else buffer holds an empty
// text (nothing is written when capacity is 0): a cut path would name some
// other object.
size_t JoinObjectPathInto(const wchar_t* directory, size_t directoryLength, const wchar_t* name, size_t nameLength,
                          wchar_t* buffer, size_t capacity);

// The part after the last "\" (the whole text when it has none).
const wchar_t* LastPathComponent(const wchar_t* path);

// What keeps a typed path from naming an object: it starts with "\" and has
// no "\" twice in a row (one "\" at its end is the directory's).
enum class PathSyntax { Good, NoLeadingSeparator, DoubledSeparator };
PathSyntax CheckPathSyntax(const wchar_t* path);
