#include "core/collections/Collection.h"

#include "tests/core/collections/CollectionTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace Core;
using CollectionTesting::EventRecorder;
using CollectionTesting::ThrownMessage;
using Core::Collections::Collection;
using Strings = std::vector<std::string>;

TEST(Collection, InsertAndRemoveRaiseTheirEventPairs)
{
    Collection<int> items;
    EventRecorder recorder;
    recorder.Attach(items);
    items.Add(1);
    items.Insert(0, 0);
    items.RemoveAt(1);
    EXPECT_EQ((Strings{"Inserting(0)", "Inserted(0)", "Inserting(0)", "Inserted(0)", "Removing(1)", "Removed(1)"}),
              recorder.log);
    EXPECT_EQ(1, items.GetCount());
    EXPECT_EQ(0, items[0]);
}

TEST(Collection, SetItemIsARemovalFollowedByAnInsertion)
{
    Collection<String> items;
    items.Add(String(L"a"));
    items.Add(String(L"b"));
    EventRecorder recorder;
    recorder.Attach(items);
    items.SetItem(1, String(L"B"));
    EXPECT_EQ((Strings{"Removing(1)", "Removed(1)", "Inserting(1)", "Inserted(1)"}), recorder.log);
    EXPECT_STREQ(L"B", items[1].GetBuffer());
}

TEST(Collection, ClearRaisesItsEventsOnlyWhenNotEmpty)
{
    Collection<int> items;
    EventRecorder recorder;
    recorder.Attach(items);
    items.Clear();
    EXPECT_TRUE(recorder.log.empty());
    items.Add(5);
    recorder.log.clear();
    items.Clear();
    EXPECT_EQ((Strings{"Clearing(-1)", "Cleared(-1)"}), recorder.log);
    EXPECT_EQ(0, items.GetCount());
}

TEST(Collection, BoundsViolationsUseTheToolkitMessagesAndRaiseNothing)
{
    Collection<int> items;
    items.Add(1);
    EventRecorder recorder;
    recorder.Attach(items);
    EXPECT_EQ(L"Core::Collections::Collection::operator[] - index out of range", ThrownMessage([&] { items[1]; }));
    EXPECT_EQ(L"Core::Collections::Collection::operator[] - index out of range",
              ThrownMessage([&] { items.GetItem(-1); }));
    EXPECT_EQ(L"Core::Collections::Collection.SetItem method - index out of range",
              ThrownMessage([&] { items.SetItem(1, 0); }));
    EXPECT_EQ(L"Core::Collections::Collection.Insert method - index out of range",
              ThrownMessage([&] { items.Insert(2, 0); }));
    EXPECT_EQ(L"Core::Collections::Collection.RemoveAt method - index out of range",
              ThrownMessage([&] { items.RemoveAt(1); }));
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(1, items.GetCount());
}

TEST(Collection, AddRangeRaisesOnePairPerElement)
{
    Collection<int> items;
    EventRecorder recorder;
    recorder.Attach(items);
    const int values[] = {7, 8};
    items.AddRange(values, 2);
    EXPECT_EQ((Strings{"Inserting(0)", "Inserted(0)", "Inserting(1)", "Inserted(1)"}), recorder.log);
}

TEST(Collection, RemoveRangeRaisesNoEvents)
{
    Collection<int> items;
    for (int i = 0; i < 4; i++)
    {
        items.Add(i);
    }
    EventRecorder recorder;
    recorder.Attach(items);
    items.RemoveRange(0, 2);
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(2, items.GetCount());
}

TEST(Collection, ExplicitCapacityAndNoLeaks)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         Collection<String> items(4);
                         EXPECT_EQ(4, items.GetCapacity());
                         EventRecorder recorder;
                         recorder.Attach(items);
                         for (int i = 0; i < 10; i++)
                         {
                             items.Add(String(L"row") + i);
                         }
                         items.SetItem(3, String(L"x"));
                         items.Clear();
                     }));
}
