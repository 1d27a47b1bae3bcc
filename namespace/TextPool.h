// Texts copied one after another into large heap blocks that never move: a
// pointer to a copy stays good until the pool is emptied. Many small texts
// then cost one allocation per block instead of one each.
#pragma once

#include <windows.h>

#include <cstddef>

class TextPool {
public:
    TextPool() = default;
    ~TextPool() { Empty(); }
    TextPool(const TextPool&) = delete;
    TextPool& operator=(const TextPool&) = delete;

    // A terminated copy of the length units at text; null when memory runs out.
    const wchar_t* Copy(const wchar_t* text, size_t length)
    {
        if (length >= (static_cast<size_t>(-1) - sizeof(Block)) / sizeof(wchar_t))
            return nullptr;
        Block* block = head_;
        if (!block || block->size - block->used <= length) {
            const size_t size = length < BlockUnits ? BlockUnits : length + 1;
            block = static_cast<Block*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Block) + size * sizeof(wchar_t)));
            if (!block)
                return nullptr;
            block->size = size;
            block->used = 0;
            if (size > BlockUnits && head_) {
                // A text of its own size goes behind the block still being filled.
                block->next = head_->next;
                head_->next = block;
            } else {
                block->next = head_;
                head_ = block;
            }
        }
        wchar_t* copy = block->Units() + block->used;
        CopyMemory(copy, text, length * sizeof(wchar_t));
        copy[length] = L'\0';
        block->used += length + 1;
        bytes_ += (length + 1) * sizeof(wchar_t);
        return copy;
    }

    void Empty()
    {
        while (Block* block = head_) {
            head_ = block->next;
            HeapFree(GetProcessHeap(), 0, block);
        }
        bytes_ = 0;
    }

    // The bytes of the texts held, their terminators included.
    size_t Bytes() const { return bytes_; }

private:
    static const size_t BlockUnits = 32768;
    struct Block {
        Block* next;
        size_t size;  // units
        size_t used;
        wchar_t* Units() { return reinterpret_cast<wchar_t*>(this + 1); }
    };
    Block* head_ = nullptr;
    size_t bytes_ = 0;
};
