// Texts (of wide or byte units) copied one after another into large heap
// blocks that never move: a pointer to a copy stays good until the pool is
// emptied. Many small texts then cost one allocation per block, not one each.
#pragma once

#include <windows.h>

#include <cstddef>

template <typename Unit>
class BlockPool {
public:
    BlockPool() = default;
    ~BlockPool() { Empty(); }
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A terminated copy of the length units at text; null when memory runs out.
    const Unit* Copy(const Unit* text, size_t length)
    {
        if (length >= (static_cast<size_t>(-1) - sizeof(Block)) / sizeof(Unit))
            return nullptr;
        Block* block = head_;
        if (!block || block->size - block->used <= length) {
            const size_t size = length < BlockUnits ? BlockUnits : length + 1;
            block = static_cast<Block*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Block) + size * sizeof(Unit)));
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
        Unit* copy = block->Units() + block->used;
        CopyMemory(copy, text, length * sizeof(Unit));
        copy[length] = Unit();
        block->used += length + 1;
        bytes_ += (length + 1) * sizeof(Unit);
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

    // Each pool takes the other's texts; pointers to them stay good.
    void Swap(BlockPool& other)
    {
        Block* head = head_;
        head_ = other.head_;
        other.head_ = head;
        const size_t bytes = bytes_;
        bytes_ = other.bytes_;
        other.bytes_ = bytes;
    }

    // The bytes of the texts held, their terminators included.
    size_t Bytes() const { return bytes_; }

private:
    static const size_t BlockUnits = 65536 / sizeof(Unit);
    struct Block {
        Block* next;
        size_t size;  // units
        size_t used;
        Unit* Units() { return reinterpret_cast<Unit*>(this + 1); }
    };
    Block* head_ = nullptr;
    size_t bytes_ = 0;
};

using TextPool = BlockPool<wchar_t>;
