#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace
{

std::atomic<int64_t> liveBlocks{0};
std::atomic<int64_t> totalBlocks{0};
std::atomic<int64_t> failCountdown{-1};
std::atomic<void (*)(const void*)> releaseObserver{nullptr};

void* Allocate(std::size_t size, std::size_t alignment)
{
    if (failCountdown.load(std::memory_order_relaxed) >= 0 && failCountdown.fetch_sub(1) == 0)
    {
        throw std::bad_alloc();
    }
    if (size == 0)
    {
        size = 1;
    }
    void* block = alignment > alignof(std::max_align_t) ? _aligned_malloc(size, alignment) : std::malloc(size);
    if (block == nullptr)
    {
        throw std::bad_alloc();
    }
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    totalBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void Release(void* block, std::size_t alignment)
{
    if (block == nullptr)
    {
        return;
    }
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    if (void (*observer)(const void*) = releaseObserver.load())
    {
        observer(block);
    }
    if (alignment > alignof(std::max_align_t))
    {
        _aligned_free(block);
    }
    else
    {
        std::free(block);
    }
}

void* AllocateNoThrow(std::size_t size, std::size_t alignment) noexcept
{
    try
    {
        return Allocate(size, alignment);
    }
    catch (...)
    {
        return nullptr;
    }
}

constexpr std::size_t Plain = alignof(std::max_align_t);

} // namespace

namespace Testing
{

int64_t AllocationCounter::Live()
{
    return liveBlocks.load();
}

int64_t AllocationCounter::Total()
{
    return totalBlocks.load();
}

void AllocationCounter::FailAfter(int64_t successes)
{
    failCountdown.store(successes < 0 ? -1 : successes);
}

void AllocationCounter::ObserveReleases(void (*observer)(const void* block))
{
    releaseObserver.store(observer);
}

AllocationScope::AllocationScope() : liveAtStart(AllocationCounter::Live()), totalAtStart(AllocationCounter::Total()) {}

AllocationScope::~AllocationScope() = default;

int64_t AllocationScope::Leaked() const
{
    return AllocationCounter::Live() - liveAtStart;
}

int64_t AllocationScope::Allocations() const
{
    return AllocationCounter::Total() - totalAtStart;
}

} // namespace Testing

void* operator new(std::size_t size)
{
    return Allocate(size, Plain);
}
void* operator new[](std::size_t size)
{
    return Allocate(size, Plain);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(size, Plain);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(size, Plain);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept
{
    Release(block, Plain);
}
void operator delete[](void* block) noexcept
{
    Release(block, Plain);
}
void operator delete(void* block, std::size_t) noexcept
{
    Release(block, Plain);
}
void operator delete[](void* block, std::size_t) noexcept
{
    Release(block, Plain);
}
void operator delete(void* block, std::align_val_t alignment) noexcept
{
    Release(block, static_cast<std::size_t>(alignment));
}
void operator delete[](void* block, std::align_val_t alignment) noexcept
{
    Release(block, static_cast<std::size_t>(alignment));
}
void operator delete(void* block, std::size_t, std::align_val_t alignment) noexcept
{
    Release(block, static_cast<std::size_t>(alignment));
}
void operator delete[](void* block, std::size_t, std::align_val_t alignment) noexcept
{
    Release(block, static_cast<std::size_t>(alignment));
}
