#include "core/memory/SmallBlockAllocator.h"

#include <cstdint>
#include <new>
#include <windows.h>

namespace Core::Memory
{

namespace
{

constexpr size_t HeaderSize = SmallBlockAllocator::Alignment;
constexpr size_t ClassCount = SmallBlockAllocator::LargestSmallBlock / SmallBlockAllocator::Alignment;
constexpr size_t ChunkSize = 64 * 1024;
constexpr uint32_t LargeBlock = 0xFFFFFFFF;

struct FreeBlock
{
    FreeBlock* next;
};

// Zero-initialised statics: usable before any constructor of the program runs.
struct SizeClass
{
    SRWLOCK lock;
    FreeBlock* free;
    char* next; // the unused rest of the current chunk
    char* end;
};

SizeClass sizeClasses[ClassCount];

struct Header
{
    uint32_t sizeClass;
    uint32_t reserved;
    size_t size; // what the caller asked for
};
static_assert(sizeof(Header) <= HeaderSize, "the header must fit in front of an aligned block");

void* SystemAllocate(size_t size)
{
    void* memory = HeapAlloc(GetProcessHeap(), 0, size);
    if (memory == nullptr)
    {
        throw std::bad_alloc();
    }
    return memory;
}

} // namespace

void* SmallBlockAllocator::Allocate(size_t size)
{
    if (size > SIZE_MAX - 2 * Alignment)
    {
        throw std::bad_alloc();
    }
    size_t total = (size + HeaderSize + Alignment - 1) & ~(Alignment - 1);
    char* memory;
    uint32_t index;
    if (total > LargestSmallBlock)
    {
        memory = static_cast<char*>(SystemAllocate(total));
        index = LargeBlock;
    }
    else
    {
        index = static_cast<uint32_t>(total / Alignment - 1);
        SizeClass& sizeClass = sizeClasses[index];
        AcquireSRWLockExclusive(&sizeClass.lock);
        if (sizeClass.free != nullptr)
        {
            memory = reinterpret_cast<char*>(sizeClass.free);
            sizeClass.free = sizeClass.free->next;
        }
        else
        {
            if (sizeClass.next == nullptr || static_cast<size_t>(sizeClass.end - sizeClass.next) < total)
            {
                try
                {
                    sizeClass.next = static_cast<char*>(SystemAllocate(ChunkSize));
                }
                catch (...)
                {
                    ReleaseSRWLockExclusive(&sizeClass.lock);
                    throw;
                }
                sizeClass.end = sizeClass.next + ChunkSize;
            }
            memory = sizeClass.next;
            sizeClass.next += total;
        }
        ReleaseSRWLockExclusive(&sizeClass.lock);
    }
    Header* header = reinterpret_cast<Header*>(memory);
    header->sizeClass = index;
    header->size = size;
    return memory + HeaderSize;
}

void SmallBlockAllocator::Release(void* block)
{
    if (block == nullptr)
    {
        return;
    }
    char* memory = static_cast<char*>(block) - HeaderSize;
    uint32_t index = reinterpret_cast<Header*>(memory)->sizeClass;
    if (index == LargeBlock)
    {
        HeapFree(GetProcessHeap(), 0, memory);
        return;
    }
    SizeClass& sizeClass = sizeClasses[index];
    FreeBlock* freed = reinterpret_cast<FreeBlock*>(memory);
    AcquireSRWLockExclusive(&sizeClass.lock);
    freed->next = sizeClass.free;
    sizeClass.free = freed;
    ReleaseSRWLockExclusive(&sizeClass.lock);
}

size_t SmallBlockAllocator::GetSize(void* block)
{
    return reinterpret_cast<Header*>(static_cast<char*>(block) - HeaderSize)->size;
}

} // namespace Core::Memory
