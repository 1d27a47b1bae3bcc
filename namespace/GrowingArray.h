// An array on the process heap that grows by doubling. Growth never throws:
// it returns false when memory runs out or the size would not fit a size_t,
// and leaves the contents as they were. The elements are moved as bytes.
// The array moves (the one moved from is left empty) and never copies; the
// debug build checks every element access against the count.
#pragma once

#include <windows.h>

#include <cassert>
#include <cstddef>
#include <type_traits>

template <typename T>
class GrowingArray {
    static_assert(std::is_trivially_copyable<T>::value, "HeapReAlloc moves the elements as bytes");

public:
    // firstCapacity (at least 1): the elements the first growth makes room for.
    explicit GrowingArray(size_t firstCapacity = 64) : firstCapacity_(firstCapacity) {}
    ~GrowingArray() { Free(); }
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    GrowingArray(GrowingArray&& other) noexcept
        : items_(other.items_), count_(other.count_), capacity_(other.capacity_), firstCapacity_(other.firstCapacity_)
    {
        other.items_ = nullptr;
        other.count_ = other.capacity_ = 0;
    }
    GrowingArray& operator=(GrowingArray&& other) noexcept
    {
        if (this != &other) {
            Free();
            items_ = other.items_;
            count_ = other.count_;
            capacity_ = other.capacity_;
            firstCapacity_ = other.firstCapacity_;
            other.items_ = nullptr;
            other.count_ = other.capacity_ = 0;
        }
        return *this;
    }

    // Room for more elements after the last.
    bool Reserve(size_t more)
    {
        if (capacity_ - count_ >= more)
            return true;
        const size_t most = static_cast<size_t>(-1) / sizeof(T);  // elements whose bytes a size_t can count
        if (more > most - count_)
            return false;
        const size_t needed = count_ + more;
        size_t wanted = capacity_ ? capacity_ : firstCapacity_;
        while (wanted < needed)
            wanted = wanted <= most / 2 ? wanted * 2 : needed;
        void* grown = items_ ? HeapReAlloc(GetProcessHeap(), 0, items_, wanted * sizeof(T))
                             : HeapAlloc(GetProcessHeap(), 0, wanted * sizeof(T));
        if (!grown)
            return false;
        items_ = static_cast<T*>(grown);
        capacity_ = wanted;
        return true;
    }
    bool Push(const T& item)
    {
        if (!Reserve(1))
            return false;
        items_[count_++] = item;
        return true;
    }
    bool Append(const T* items, size_t count)
    {
        if (!Reserve(count))
            return false;
        if (count)
            CopyMemory(items_ + count_, items, count * sizeof(T));
        count_ += count;
        return true;
    }
    // The last element, taken off; the array must not be empty.
    T Pop()
    {
        assert(count_ > 0);
        return items_[--count_];
    }
    void Clear() { count_ = 0; }
    // Keeps the first count elements (no more than there are).
    void Truncate(size_t count) { count_ = count < count_ ? count : count_; }

    // Writing in place: Tail is where the next element goes, and Commit counts
    // those written there, after a Reserve that made room for them.
    T* Tail() { return items_ + count_; }
    void Commit(size_t count) { count_ += count; }

    // Hands the elements to the caller, who frees them with HeapFree on the
    // process heap; the array is left empty. Null when it held no room.
    T* Release()
    {
        T* released = items_;
        items_ = nullptr;
        count_ = capacity_ = 0;
        return released;
    }

    T* Data() { return items_; }
    const T* Data() const { return items_; }
    size_t Count() const { return count_; }
    T& operator[](size_t i)
    {
        assert(i < count_);
        return items_[i];
    }
    const T& operator[](size_t i) const
    {
        assert(i < count_);
        return items_[i];
    }

private:
    void Free()
    {
        if (items_)
            HeapFree(GetProcessHeap(), 0, items_);
    }

    T* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
    size_t firstCapacity_;
};
