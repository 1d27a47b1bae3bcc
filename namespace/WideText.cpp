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

size_t JoinObjectPathInto(const wchar_t* directory, size_t directoryLength, const wchar_t* name, size_t nameLength,
                          wchar_t* buffer, size_t capacity)
{
    const size_t separator = directoryLength > 0 && directory[directoryLength - 1] == L'\\' ? 0 : 1;
    const size_t length = directoryLength + separator + nameLength;
    if (length >= capacity) {
        if (capacity > 0)
            buffer[0] = L'\0';
        return length;
    }
    CopyMemory(buffer, directory, directoryLength * sizeof(wchar_t));
    if (separator)
        buffer[directoryLength] = L'\\';
    CopyMemory(buffer + directoryLength + separator, name, nameLength * sizeof(wchar_t));
    buffer[length] = L'\0';
    return length;
}

bool JoinObjectPath(const wchar_t* directory, const wchar_t* name, WideText* path)
{
    const size_t directoryLength = static_cast<size_t>(lstrlenW(directory));
    const size_t nameLength = static_cast<size_t>(lstrlenW(name));
    const size_t length = JoinObjectPathInto(directory, directoryLength, name, nameLength, nullptr, 0);
    WideText joined;
    wchar_t* buffer = joined.Allocate(length);
    if (!buffer)
        return false;
    JoinObjectPathInto(directory, directoryLength, name, nameLength, buffer, length + 1);
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

PathSyntax CheckPathSyntax(const wchar_t* path)
{
    if (path[0] != L'\\')
        return PathSyntax::NoLeadingSeparator;
    for (const wchar_t* at = path + 1; *at; ++at)
        if (at[0] == L'\\' && at[-1] == L'\\')
            return PathSyntax::DoubledSeparator;
    return PathSyntax::Good;
}
