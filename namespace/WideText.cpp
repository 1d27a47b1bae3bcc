#include "WideText.h"

wchar_t* WideText::Allocate(size_t length)
{
    if (length >= static_cast<size_t>(-1) / sizeof(wchar_t) - 1)
        return nullptr;
    auto* buffer = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (!buffer)
        return nullptr;
    buffer[length] = L'\0';
    Clear();
    data_ = buffer;
    length_ = length;
    return buffer;
}

bool WideText::Assign(const wchar_t* text, size_t length)
{
    // text may lie inside the held text: copy before the old one goes.
    WideText copy;
    wchar_t* buffer = copy.Allocate(length);
    if (!buffer)
        return false;
    if (length)
        CopyMemory(buffer, text, length * sizeof(wchar_t));
    Swap(copy);
    return true;
}

bool WideText::Assign(const wchar_t* text) { return Assign(text, static_cast<size_t>(lstrlenW(text))); }

void WideText::Clear()
{
    if (data_)
        HeapFree(GetProcessHeap(), 0, data_);
    data_ = nullptr;
    length_ = 0;
}

void WideText::Swap(WideText& other)
{
    wchar_t* data = data_;
    const size_t length = length_;
    data_ = other.data_;
    length_ = other.length_;
    other.data_ = data;
    other.length_ = length;
}

bool JoinObjectPath(const wchar_t* directory, const wchar_t* name, WideText* path)
{
    const size_t directoryLength = static_cast<size_t>(lstrlenW(directory));
    const size_t nameLength = static_cast<size_t>(lstrlenW(name));
    const bool separator = !(directoryLength > 0 && directory[directoryLength - 1] == L'\\');
    WideText joined;
    wchar_t* at = joined.Allocate(directoryLength + (separator ? 1 : 0) + nameLength);
    if (!at)
        return false;
    CopyMemory(at, directory, directoryLength * sizeof(wchar_t));
    at += directoryLength;
    if (separator)
        *at++ = L'\\';
    CopyMemory(at, name, nameLength * sizeof(wchar_t));
    path->Swap(joined);
    return true;
}

const wchar_t* LastPathComponent(const wchar_t* path)
{
    const wchar_t* last = path;
    for (const wchar_t* at = path; *at; ++at)
        if (*at == L'\\')
            last = at + 1;
    return last;
}
