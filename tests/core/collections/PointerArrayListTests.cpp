#include "core/collections/PointerArrayList.h"

#include "tests/core/collections/CollectionTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace Core;
using CollectionTesting::ThrownMessage;
using CollectionTesting::Tracked;
using Core::Collections::PointerArrayList;

namespace
{

void Fill(PointerArrayList<Tracked>& list, int count, std::vector<int>* log)
{
    for (int i = 0; i < count; i++)
    {
        list.Add(new Tracked(i, log));
    }
}

} // namespace

TEST(PointerArrayList, DestructorDeletesEveryElementOnceInIndexOrder)
{
    std::vector<int> log;
    log.reserve(32); // the log itself must not count as a leak of the scenario
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         PointerArrayList<Tracked> list;
                         Fill(list, 20, &log);
                         list.Add(nullptr); // null elements are skipped
                     }));
    ASSERT_EQ(20u, log.size());
    for (int i = 0; i < 20; i++)
    {
        EXPECT_EQ(i, log[i]);
    }
}

TEST(PointerArrayList, RemoveAtDeletesOnlyTheRemovedObject)
{
    std::vector<int> log;
    PointerArrayList<Tracked> list;
    Fill(list, 3, &log);
    Tracked* last = list[2];
    list.RemoveAt(1);
    EXPECT_EQ(std::vector<int>{1}, log);
    EXPECT_EQ(last, list.GetItem(1));
    EXPECT_EQ(L"Argument index is out of range: 2", ThrownMessage([&] { list.RemoveAt(2); }));
    EXPECT_EQ(std::vector<int>{1}, log);
}

TEST(PointerArrayList, RemoveRangeDeletesTheRangeThenClosesTheGap)
{
    std::vector<int> log;
    PointerArrayList<Tracked> list;
    Fill(list, 5, &log);
    list.RemoveRange(1, 3);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), log);
    ASSERT_EQ(2, list.GetCount());
    EXPECT_EQ(4, list[1]->GetId());
    EXPECT_EQ(L"PointerArrayList.RemoveRange method - index out of range",
              ThrownMessage([&] { list.RemoveRange(1, 2); }));
    EXPECT_EQ(3u, log.size());
}

TEST(PointerArrayList, ClearDeletesAllAndResetsCapacity)
{
    std::vector<int> log;
    PointerArrayList<Tracked> list;
    Fill(list, 40, &log);
    list.Clear();
    EXPECT_EQ(40u, log.size());
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(16, list.GetCapacity());
    list.Clear();
    EXPECT_EQ(40u, log.size());
}

TEST(PointerArrayList, GrowingAndShrinkingNeverDeletes)
{
    std::vector<int> log;
    PointerArrayList<Tracked> list;
    Fill(list, 100, &log);
    list.SetCapacity(100);
    for (int i = 0; i < 60; i++)
    {
        Tracked* kept = list[0];
        list[0] = nullptr; // take ownership back before removing the slot
        list.RemoveAt(0);
        delete kept;
    }
    EXPECT_EQ(60u, log.size());
    EXPECT_EQ(40, list.GetCount());
    EXPECT_EQ(60, list[0]->GetId());
}
