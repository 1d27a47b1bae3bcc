// One owner for whatever is closed or freed by a function: kernel handles,
// files, heap and local blocks, objects made with new. The value is released
// when the owner goes out of scope, on every path. An owner moves (the one
// moved from then holds nothing) and never copies.
#pragma once

#include <windows.h>

// What an owner holds when it holds nothing: zero for most kinds.
template <typename T>
struct ZeroIsEmpty {
    static T Value() { return T(); }
};
// CreateFile and its kin answer a failure with INVALID_HANDLE_VALUE, not
// null: for their handles that is the value never closed.
struct InvalidHandleIsEmpty {
    static HANDLE Value() { return INVALID_HANDLE_VALUE; }
};

template <typename T, auto Free, typename Empty = ZeroIsEmpty<T>>
class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    ~Owned() { Reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    T Get() const { return value_; }
    T operator->() const { return value_; }
    decltype(auto) operator*() const { return *value_; }
    explicit operator bool() const { return value_ != Empty::Value(); }
    // For a call that writes the value: anything held is released first.
    T* Receive()
    {
        Reset();
        return &value_;
    }
    // The caller takes the value over.
    T Release()
    {
        const T value = value_;
        value_ = Empty::Value();
        return value;
    }
    void Reset(T value = Empty::Value())
    {
        if (value_ != Empty::Value())
            Free(value_);
        value_ = value;
    }

private:
    T value_ = Empty::Value();
};

// The closers and freers the owners below call.
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void FreeLocalBlock(HLOCAL block) { LocalFree(block); }
template <typename T>
void FreeHeapBlock(T* block)
{
    HeapFree(GetProcessHeap(), 0, const_cast<void*>(static_cast<const void*>(block)));
}
template <typename T>
void DeleteObjectOf(T* object)
{
    delete object;
}

// A handle of kernel32's CloseHandle: a token, a thread, an event.
using KernelHandle = Owned<HANDLE, CloseKernelHandle>;
// A handle of CreateFile (a file, a pipe, a device), which is
// INVALID_HANDLE_VALUE when the call failed.
using FileHandle = Owned<HANDLE, CloseKernelHandle, InvalidHandleIsEmpty>;
// A handle closed through a seam's close call (NtClose or a test's).
template <NTSTATUS (*Close)(HANDLE)>
using OwnedHandle = Owned<HANDLE, Close>;
// A block of LocalAlloc, or of a call that hands back one to LocalFree.
using LocalBlock = Owned<HLOCAL, FreeLocalBlock>;
// A block of the process heap, typed.
template <typename T>
using HeapBlock = Owned<T*, FreeHeapBlock<T>>;
// An object made with new (std::nothrow).
template <typename T>
using OwnedObject = Owned<T*, DeleteObjectOf<T>>;
