// A growable array of plain values on the process heap, for the lists a
// scan builds: running out of memory is a return value, never an exception.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

template <typename T>
class HeapArray {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only: they are moved as bytes");

public:
    HeapArray() = default;
    ~HeapArray() { Free(); }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;

    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    T* Data() { return data_; }
    const T* Data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

    // Room for count values in all; false (nothing changed) when memory runs out.
    bool Reserve(size_t count)
    {
        if (count <= capacity_)
            return true;
        if (count > static_cast<size_t>(-1) / sizeof(T))
            return false;
        void* grown = data_ ? HeapReAlloc(GetProcessHeap(), 0, data_, count * sizeof(T))
                            : HeapAlloc(GetProcessHeap(), 0, count * sizeof(T));
        if (!grown)
            return false;
        data_ = static_cast<T*>(grown);
        capacity_ = count;
        return true;
    }
    // count values, the new ones left as they come; false when memory runs out.
    bool Resize(size_t count)
    {
        if (!Reserve(count))
            return false;
        size_ = count;
        return true;
    }
    bool Append(const T* values, size_t count)
    {
        if (count > static_cast<size_t>(-1) - size_)
            return false;
        if (size_ + count > capacity_) {
            // Doubling keeps appends cheap; the exact need when doubling would overflow.
            const size_t doubled = capacity_ < static_cast<size_t>(-1) / 2 ? capacity_ * 2 : 0;
            const size_t wanted = size_ + count > doubled ? size_ + count : doubled;
            if (!Reserve(wanted < 16 ? 16 : wanted))
                return false;
        }
        if (count)
            CopyMemory(data_ + size_, values, count * sizeof(T));
        size_ += count;
        return true;
    }
    bool Append(const T& value) { return Append(&value, 1); }
    // Keeps the memory for the next use.
    void Clear() { size_ = 0; }
    void Free()
    {
        if (data_)
            HeapFree(GetProcessHeap(), 0, data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
