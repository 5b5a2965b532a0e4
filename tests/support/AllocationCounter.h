// Counts heap allocations made through operator new, so tests can assert that a scenario frees
// everything it allocated, and can make a chosen allocation fail to exercise clean-up paths.
#pragma once

#include <cstdint>

namespace Testing
{

class AllocationCounter
{
public:
    // Blocks allocated and not yet freed, over the whole process.
    static int64_t Live();
    // Allocations made since the program started.
    static int64_t Total();
    // After `successes` more allocations succeed, the next one throws std::bad_alloc (once).
    // A negative value switches failing off.
    static void FailAfter(int64_t successes);
    // Calls observer with every block just before it is freed (null: none), so a test can see what freed memory
    // still holds.
    static void ObserveReleases(void (*observer)(const void* block));
};

// Remembers the counters at construction.
class AllocationScope
{
public:
    AllocationScope();
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    // Blocks allocated inside the scope and still not freed (negative: more freed than allocated).
    int64_t Leaked() const;
    int64_t Allocations() const;

private:
    int64_t liveAtStart;
    int64_t totalAtStart;
};

// Runs scenario and returns the number of blocks it left allocated.
template <typename Scenario> int64_t LeakedBy(Scenario scenario)
{
    AllocationScope scope;
    scenario();
    return scope.Leaked();
}

// Runs scenario with allocation number `failing` (0-based, counted from the start) failing, and
// returns whether the scenario allocated at least that many blocks, i.e. whether a failure was injected.
template <typename Scenario> bool RunWithFailingAllocation(int64_t failing, Scenario scenario)
{
    int64_t before = AllocationCounter::Total();
    AllocationCounter::FailAfter(failing);
    try
    {
        scenario();
    }
    catch (...)
    {
        AllocationCounter::FailAfter(-1);
        throw;
    }
    AllocationCounter::FailAfter(-1);
    return AllocationCounter::Total() - before > failing;
}

} // namespace Testing
