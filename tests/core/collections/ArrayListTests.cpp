#include "core/collections/ArrayList.h"

#include "tests/core/collections/CollectionTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>
#include <new>

using namespace Core;
using CollectionTesting::ThrownMessage;
using Core::Collections::Array;
using Core::Collections::ArrayList;

namespace
{

ArrayList<int> Numbers(int count)
{
    ArrayList<int> list;
    for (int i = 0; i < count; i++)
    {
        list.Add(i);
    }
    return list;
}

} // namespace

// --- capacity policy ---

TEST(ArrayListCapacity, StartsAt16AndDoublesOnThe17thElement)
{
    ArrayList<int> list;
    EXPECT_EQ(16, list.GetCapacity());
    EXPECT_EQ(0, list.GetCount());
    for (int i = 0; i < 16; i++)
    {
        list.Add(i);
    }
    EXPECT_EQ(16, list.GetCapacity());
    list.Add(16);
    EXPECT_EQ(32, list.GetCapacity());
    EXPECT_EQ(17, list.GetCount());
}

TEST(ArrayListCapacity, HalvesOneStepPerRemovalAboveTheFloor)
{
    ArrayList<int> list = Numbers(33);
    list.SetCapacity(64);
    list.RemoveAt(32);
    ASSERT_EQ(32, list.GetCount());
    EXPECT_EQ(64, list.GetCapacity()); // 32 is not less than half of 64
    list.RemoveAt(0);
    EXPECT_EQ(31, list.GetCount());
    EXPECT_EQ(32, list.GetCapacity());
    EXPECT_EQ(1, list[0]);

    ArrayList<int> small = Numbers(3);
    small.RemoveAt(0);
    EXPECT_EQ(16, small.GetCapacity());
}

TEST(ArrayListCapacity, RemoveRangeShrinksOnlyOneStep)
{
    ArrayList<int> list = Numbers(100);
    ASSERT_EQ(128, list.GetCapacity());
    list.RemoveRange(0, 95);
    EXPECT_EQ(5, list.GetCount());
    EXPECT_EQ(64, list.GetCapacity());
    EXPECT_EQ(95, list[0]);
}

TEST(ArrayListCapacity, SetCapacityRules)
{
    ArrayList<int> list = Numbers(5);
    list.SetCapacity(0);
    EXPECT_EQ(16, list.GetCapacity());
    list.SetCapacity(5);
    EXPECT_EQ(5, list.GetCapacity());
    EXPECT_EQ(4, list[4]);
    try
    {
        list.SetCapacity(4);
        FAIL() << "no exception";
    }
    catch (const InvalidArgumentException& e)
    {
        EXPECT_STREQ(L"Capacity cannot be 0 or less than ArrayList size", e.GetMessageText().GetBuffer());
        EXPECT_STREQ(L"ArrayList", e.GetDetail().GetBuffer());
    }
    EXPECT_EQ(5, list.GetCapacity());
    EXPECT_THROW(list.SetCapacity(-1), InvalidArgumentException);

    ArrayList<int> big = Numbers(20);
    EXPECT_THROW(big.SetCapacity(0), InvalidArgumentException);
}

TEST(ArrayListCapacity, ExplicitInitialCapacity)
{
    EXPECT_EQ(100, ArrayList<int>(100).GetCapacity());
    EXPECT_EQ(16, ArrayList<int>(0).GetCapacity());
    EXPECT_EQ(L"The \"capacity\" parameter value can not be negative", ThrownMessage([] { ArrayList<int>(-1); }));
}

TEST(ArrayListCapacity, ClearReturnsTo16)
{
    ArrayList<int> list = Numbers(40);
    list.Clear();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(16, list.GetCapacity());
}

// --- insertion and removal ---

TEST(ArrayListInsert, AtAnyIndexUpToCount)
{
    ArrayList<int> list = Numbers(3);
    list.Insert(3, 30);
    list.Insert(0, -1);
    list.Insert(2, 15);
    const int expected[] = {-1, 0, 15, 1, 2, 30};
    ASSERT_EQ(6, list.GetCount());
    for (int i = 0; i < 6; i++)
    {
        EXPECT_EQ(expected[i], list[i]);
    }
}

TEST(ArrayListInsert, BadIndexChangesNothing)
{
    ArrayList<int> list = Numbers(3);
    EXPECT_EQ(L"ArrayList.Insert method - index out of range", ThrownMessage([&] { list.Insert(4, 9); }));
    EXPECT_EQ(L"ArrayList.Insert method - index out of range", ThrownMessage([&] { list.Insert(-1, 9); }));
    EXPECT_EQ(3, list.GetCount());
}

TEST(ArrayListInsert, AddingAnElementOfTheListItselfSurvivesGrowth)
{
    ArrayList<String> list;
    for (int i = 0; i < 16; i++)
    {
        list.Add(String(L"item"));
    }
    list.Add(list[0]);
    EXPECT_STREQ(L"item", list[16].GetBuffer());
}

TEST(ArrayListRemove, RemoveAtMovesLaterElementsDown)
{
    ArrayList<int> list = Numbers(4);
    list.RemoveAt(1);
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ(2, list[1]);
    EXPECT_EQ(3, list[2]);
}

TEST(ArrayListRemove, RemoveAtCountIsRejectedAndChangesNothing)
{
    ArrayList<int> list = Numbers(4);
    EXPECT_EQ(L"ArrayList.RemoveAt method - index out of range", ThrownMessage([&] { list.RemoveAt(4); }));
    EXPECT_EQ(L"ArrayList.RemoveAt method - index out of range", ThrownMessage([&] { list.RemoveAt(-1); }));
    EXPECT_EQ(4, list.GetCount());
    EXPECT_EQ(3, list[3]);
}

TEST(ArrayListRemove, RemoveRangeBounds)
{
    ArrayList<int> list = Numbers(5);
    EXPECT_EQ(L"ArrayList.RemoveRange method - index out of range", ThrownMessage([&] { list.RemoveRange(1, 5); }));
    EXPECT_EQ(L"ArrayList.RemoveRange method - index out of range", ThrownMessage([&] { list.RemoveRange(-1, 1); }));
    EXPECT_EQ(L"ArrayList.RemoveRange method - index out of range", ThrownMessage([&] { list.RemoveRange(2, -1); }));
    EXPECT_EQ(5, list.GetCount());
    list.RemoveRange(1, 2);
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ(3, list[1]);
    list.RemoveRange(0, list.GetCount());
    EXPECT_EQ(0, list.GetCount());
}

TEST(ArrayListRemove, RemovedStringsAreReleasedAtOnce)
{
    ArrayList<String> list;
    list.Add(String(L"keep"));
    list.Add(String(L'x', 1000));
    Testing::AllocationScope scope;
    list.RemoveAt(1);
    // The vacated slot gets an empty string, which needs no block; the large buffer is gone.
    EXPECT_EQ(-1, scope.Leaked());
}

// --- element access ---

TEST(ArrayListAccess, IndexesAreCheckedWithTheDefaultMessage)
{
    ArrayList<int> list = Numbers(2);
    EXPECT_EQ(1, list.GetItem(1));
    EXPECT_EQ(L"Argument index is out of range: 2", ThrownMessage([&] { list[2]; }));
    EXPECT_EQ(L"Argument index is out of range: -1", ThrownMessage([&] { list.GetItem(-1); }));
}

// --- ranges ---

TEST(ArrayListAddRange, GrowsByDoublingThenAppendsInOrder)
{
    ArrayList<int> list = Numbers(10);
    int more[40];
    for (int i = 0; i < 40; i++)
    {
        more[i] = 100 + i;
    }
    list.AddRange(more, 40);
    EXPECT_EQ(50, list.GetCount());
    EXPECT_EQ(64, list.GetCapacity());
    EXPECT_EQ(100, list[10]);
    EXPECT_EQ(139, list[49]);
}

TEST(ArrayListAddRange, ArgumentRules)
{
    ArrayList<int> list = Numbers(2);
    int one = 5;
    EXPECT_EQ(L"ArrayList::AddRange - length cannot be negative", ThrownMessage([&] { list.AddRange(&one, -1); }));
    list.AddRange(&one, 0);
    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ(L"Argument is null: array", ThrownMessage([&] { list.AddRange(static_cast<const int*>(nullptr), 1); }));
    EXPECT_EQ(L"Argument is null: items", ThrownMessage([&] { list.AddRange(static_cast<Array<int>*>(nullptr)); }));
    Array<int> array(&one, 1);
    list.AddRange(&array);
    EXPECT_EQ(5, list[2]);
}

TEST(ArrayListAddRange, FromItsOwnBlock)
{
    ArrayList<int> list = Numbers(16);
    list.AddRange(&list[0], 16);
    EXPECT_EQ(32, list.GetCount());
    EXPECT_EQ(15, list[31]);
}

TEST(ArrayListCopyTo, CopiesUpToTheEndAndChecksArguments)
{
    ArrayList<int> list = Numbers(4);
    Array<int> destination(6);
    list.CopyTo(&destination);
    EXPECT_EQ(3, destination[3]);
    list.CopyTo(&destination, 2);
    EXPECT_EQ(3, destination[5]);
    int buffer[3] = {9, 9, 9};
    list.CopyTo(3, buffer, 0, 5);
    EXPECT_EQ(3, buffer[0]);
    EXPECT_EQ(9, buffer[1]);
    list.CopyTo(4, buffer, 0, 1); // index == count copies nothing
    EXPECT_THROW(list.CopyTo(5, buffer, 0, 1), ArgumentOutOfRangeException);
    EXPECT_EQ(L"Argument is null: array", ThrownMessage([&] { list.CopyTo(static_cast<Array<int>*>(nullptr)); }));
    // Opaque to the optimiser, which would otherwise warn about the write that the check prevents.
    volatile int minusOne = -1;
    EXPECT_THROW(list.CopyTo(0, buffer, minusOne, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(list.CopyTo(0, buffer, 0, -1), ArgumentOutOfRangeException);
    // A destination array too small for the copy is refused before anything is written.
    Array<int> small(2);
    EXPECT_THROW(list.CopyTo(&small), ArgumentException);
    EXPECT_EQ(0, small[0]);
}

// --- ownership and failure ---

TEST(ArrayListMemory, CopiesAreDeepAndNothingLeaks)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         ArrayList<String> list;
                         for (int i = 0; i < 40; i++)
                         {
                             list.Add(String(L"cell ") + i);
                         }
                         ArrayList<String> copy(list);
                         copy[0] = L"changed";
                         EXPECT_STREQ(L"cell 0", list[0].GetBuffer());
                         list = copy;
                         list.RemoveRange(5, 30);
                         list.Insert(2, String(L"x"));
                         list.Clear();
                     }));
}

TEST(ArrayListMemory, EveryFailedAllocationOfAGrowingAddLeavesTheListUnchanged)
{
    ArrayList<String> list;
    for (int i = 0; i < 16; i++)
    {
        list.Add(String(L"v") + i);
    }
    // Fail the first, second, ... allocation of the Add in turn until it gets through.
    int failures = 0;
    for (int64_t failing = 0;; failing++)
    {
        int64_t live = Testing::AllocationCounter::Live();
        try
        {
            Testing::RunWithFailingAllocation(failing, [&] { list.Add(String(L"new")); });
            break;
        }
        catch (const std::bad_alloc&)
        {
            failures++;
        }
        ASSERT_EQ(live, Testing::AllocationCounter::Live()) << "allocation " << failing;
        ASSERT_EQ(16, list.GetCount());
        ASSERT_EQ(16, list.GetCapacity());
        ASSERT_STREQ(L"v15", list[15].GetBuffer());
    }
    EXPECT_EQ(2, failures); // the copy of the argument, then the larger block
    EXPECT_EQ(17, list.GetCount());
    EXPECT_STREQ(L"new", list[16].GetBuffer());
}
