#include "core/memory/SmallBlockAllocator.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

using Core::Memory::SmallBlockAllocator;

namespace
{

// Fills a block with a pattern derived from its owner, so overlapping blocks show as corruption.
void Stamp(void* block, size_t size, unsigned char owner)
{
    std::memset(block, owner, size);
}

bool StampIntact(const void* block, size_t size, unsigned char owner)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < size; i++)
    {
        if (bytes[i] != owner)
        {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(SmallBlockAllocator, EverySizeIsAlignedWritableAndRemembered)
{
    std::vector<std::pair<void*, size_t>> blocks;
    for (size_t size = 0; size <= 1200; size += 7)
    {
        void* block = SmallBlockAllocator::Allocate(size);
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(block) % SmallBlockAllocator::Alignment) << size;
        EXPECT_EQ(size, SmallBlockAllocator::GetSize(block));
        Stamp(block, size, static_cast<unsigned char>(blocks.size()));
        blocks.emplace_back(block, size);
    }
    for (size_t i = 0; i < blocks.size(); i++)
    {
        EXPECT_TRUE(StampIntact(blocks[i].first, blocks[i].second, static_cast<unsigned char>(i))) << i;
        SmallBlockAllocator::Release(blocks[i].first);
    }
}

TEST(SmallBlockAllocator, AReleasedSmallBlockIsReusedForTheSameSizeClass)
{
    void* first = SmallBlockAllocator::Allocate(40);
    SmallBlockAllocator::Release(first);
    void* second = SmallBlockAllocator::Allocate(44); // same 16-byte class
    EXPECT_EQ(first, second);
    SmallBlockAllocator::Release(second);
}

TEST(SmallBlockAllocator, ManyLiveBlocksNeverOverlap)
{
    std::vector<void*> blocks;
    std::set<uintptr_t> starts;
    for (int i = 0; i < 20000; i++)
    {
        void* block = SmallBlockAllocator::Allocate(24);
        EXPECT_TRUE(starts.insert(reinterpret_cast<uintptr_t>(block)).second);
        Stamp(block, 24, static_cast<unsigned char>(i));
        blocks.push_back(block);
    }
    for (size_t i = 0; i < blocks.size(); i++)
    {
        ASSERT_TRUE(StampIntact(blocks[i], 24, static_cast<unsigned char>(i))) << i;
        SmallBlockAllocator::Release(blocks[i]);
    }
    SmallBlockAllocator::Release(nullptr);
}

TEST(SmallBlockAllocator, BlocksMadeOnOneThreadAreFreedOnAnother)
{
    // The worker of a load makes the cells; the window's thread frees them.
    std::vector<void*> made(50000);
    std::thread worker(
        [&]
        {
            for (size_t i = 0; i < made.size(); i++)
            {
                made[i] = SmallBlockAllocator::Allocate(8 + i % 200);
                Stamp(made[i], 8 + i % 200, static_cast<unsigned char>(i));
            }
        });
    worker.join();
    for (size_t i = 0; i < made.size(); i++)
    {
        ASSERT_TRUE(StampIntact(made[i], 8 + i % 200, static_cast<unsigned char>(i)));
        SmallBlockAllocator::Release(made[i]);
    }
}

TEST(SmallBlockAllocator, ConcurrentAllocationAndReleaseKeepBlocksApart)
{
    std::vector<std::thread> threads;
    std::atomic<int> corrupted{0};
    for (int t = 0; t < 4; t++)
    {
        threads.emplace_back(
            [t, &corrupted]
            {
                std::vector<std::pair<void*, size_t>> live;
                for (int i = 0; i < 60000; i++)
                {
                    size_t size = static_cast<size_t>((i * 37 + t * 11) % 300);
                    void* block = SmallBlockAllocator::Allocate(size);
                    Stamp(block, size, static_cast<unsigned char>(t * 50 + i % 50));
                    live.emplace_back(block, size);
                    if (live.size() > 64)
                    {
                        // Free an older block, checking that nobody else wrote into it.
                        auto [old, oldSize] = live[static_cast<size_t>(i) % live.size()];
                        int stampIndex = -1;
                        for (int k = 0; k < 50 && oldSize > 0; k++)
                        {
                            if (static_cast<const unsigned char*>(old)[0] == static_cast<unsigned char>(t * 50 + k))
                            {
                                stampIndex = k;
                            }
                        }
                        if (oldSize > 0 &&
                            (stampIndex < 0 ||
                             !StampIntact(old, oldSize, static_cast<unsigned char>(t * 50 + stampIndex))))
                        {
                            corrupted++;
                        }
                        SmallBlockAllocator::Release(old);
                        live[static_cast<size_t>(i) % live.size()] = live.back();
                        live.pop_back();
                    }
                }
                for (auto& [block, size] : live)
                {
                    SmallBlockAllocator::Release(block);
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    EXPECT_EQ(0, corrupted.load());
}
