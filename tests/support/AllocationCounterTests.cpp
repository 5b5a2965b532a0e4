#include "tests/support/AllocationCounter.h"
#include "tests/support/LeakCheck.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <memory>
#include <new>

// The counter is what every leak assertion rests on; check that it sees leaks and frees.
TEST(AllocationCounter, SeesAllocationsFreesAndLeaks)
{
    int* leaked = nullptr;
    EXPECT_EQ(1, Testing::LeakedBy([&] { leaked = new int(5); }));
    EXPECT_EQ(0, Testing::LeakedBy([] { ::operator delete[](::operator new[](10)); }));
    EXPECT_EQ(-1, Testing::LeakedBy([&] { delete leaked; }));
    Testing::AllocationScope scope;
    auto shared = std::make_unique<double>(1.0);
    EXPECT_EQ(1, scope.Allocations());
}

TEST(AllocationCounter, FailsTheChosenAllocationOnce)
{
    // Direct calls of operator new: the compiler may drop a new-expression whose block never escapes.
    void* first = nullptr;
    EXPECT_THROW(Testing::RunWithFailingAllocation(1,
                                                   [&]
                                                   {
                                                       first = ::operator new(4);
                                                       ::operator delete(::operator new(4));
                                                   }),
                 std::bad_alloc);
    ::operator delete(first);
    // Failing is switched off again afterwards, and a scenario with fewer allocations reports none injected.
    EXPECT_FALSE(Testing::RunWithFailingAllocation(5,
                                                   []
                                                   {
                                                       for (int i = 0; i < 3; i++)
                                                       {
                                                           ::operator delete(::operator new(4));
                                                       }
                                                   }));
    ::operator delete(::operator new(4));
}

// The listener that the test main installs around every test: it must see a block left behind, and only that.
TEST(LeakListener, FailsATestThatLeavesABlockBehind)
{
    static testing::TestEventListener* listener = Testing::CreateLeakListener();
    static const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    static void* block = nullptr;
    EXPECT_NONFATAL_FAILURE(
        {
            listener->OnTestStart(*test);
            block = ::operator new(8);
            listener->OnTestEnd(*test);
        },
        "LeakListener.FailsATestThatLeavesABlockBehind left 1 allocation(s) behind");
    ::operator delete(block);
    // Blocks freed before the end, and blocks freed that were made before the start, are no leak.
    listener->OnTestStart(*test);
    ::operator delete(::operator new(8));
    listener->OnTestEnd(*test);
    delete listener;
}
