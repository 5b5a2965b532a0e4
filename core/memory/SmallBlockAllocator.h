// A fast allocator for the many small blocks the program makes (string buffers above all): size
// classes of 16 bytes up to 512, each a locked free list carved from 64 KB chunks. Larger blocks go
// to the system heap. Blocks may be freed on any thread.
#pragma once

#include <cstddef>

namespace Core::Memory
{

class SmallBlockAllocator
{
public:
    static constexpr size_t Alignment = 16;
    static constexpr size_t LargestSmallBlock = 512; // including the block's 16-byte header

    // Never null: throws std::bad_alloc when the system has no memory left.
    static void* Allocate(size_t size);
    // Accepts null; block must come from Allocate.
    static void Release(void* block);
    // The usable size of a block from Allocate.
    static size_t GetSize(void* block);
};

} // namespace Core::Memory
