// The program's operator new and delete: small blocks from the small-block allocator. Linked into
// the program and its benchmarks; the test programs count allocations with an operator new of their own.
#include "core/memory/SmallBlockAllocator.h"

#include <malloc.h>
#include <new>

using Core::Memory::SmallBlockAllocator;

namespace
{

void* AlignedAllocate(std::size_t size, std::align_val_t alignment)
{
    void* block = _aligned_malloc(size == 0 ? 1 : size, static_cast<std::size_t>(alignment));
    if (block == nullptr)
    {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

void* operator new(std::size_t size)
{
    return SmallBlockAllocator::Allocate(size);
}
void* operator new[](std::size_t size)
{
    return SmallBlockAllocator::Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return SmallBlockAllocator::Allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return SmallBlockAllocator::Allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void operator delete(void* block) noexcept
{
    SmallBlockAllocator::Release(block);
}
void operator delete[](void* block) noexcept
{
    SmallBlockAllocator::Release(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    SmallBlockAllocator::Release(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    SmallBlockAllocator::Release(block);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return AlignedAllocate(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return AlignedAllocate(size, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept
{
    _aligned_free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept
{
    _aligned_free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept
{
    _aligned_free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept
{
    _aligned_free(block);
}
