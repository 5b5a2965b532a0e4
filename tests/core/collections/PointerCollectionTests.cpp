#include "core/collections/PointerCollection.h"

#include "tests/core/collections/CollectionTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace Core;
using CollectionTesting::EventRecorder;
using CollectionTesting::ThrownMessage;
using CollectionTesting::Tracked;
using Core::Collections::CollectionEventArgs;
using Core::Collections::PointerCollection;
using Strings = std::vector<std::string>;

namespace
{

// Notes, at Removed, whether the removed object has been deleted yet.
class DeletedAtRemoved : public EventHandler<CollectionEventArgs>
{
public:
    explicit DeletedAtRemoved(const std::vector<int>* log) : m_log(log) {}
    void Invoke(Object*, CollectionEventArgs&) override { deletionsSeen = m_log->size(); }
    size_t deletionsSeen = 99;

private:
    const std::vector<int>* m_log;
};

} // namespace

TEST(PointerCollection, SetItemDeletesTheOldObjectAndRaisesFourEventsInOrder)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    items.Add(new Tracked(0, &log));
    items.Add(new Tracked(1, &log));
    EventRecorder recorder;
    recorder.Attach(items);
    items.SetItem(0, new Tracked(10, &log));
    EXPECT_EQ((Strings{"Removing(0)", "Removed(0)", "Inserting(0)", "Inserted(0)"}), recorder.log);
    EXPECT_EQ(std::vector<int>{0}, log);
    EXPECT_EQ(10, items[0]->GetId());
}

TEST(PointerCollection, SettingTheSameObjectAgainKeepsIt)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    Tracked* only = new Tracked(0, &log);
    items.Add(only);
    items.SetItem(0, only);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(only, items[0]);
}

TEST(PointerCollection, RemoveAtDeletesAfterRemovedIsRaised)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    items.Add(new Tracked(0, &log));
    DeletedAtRemoved probe(&log);
    items.Removed.Subscribe(&probe);
    items.RemoveAt(0);
    EXPECT_EQ(0u, probe.deletionsSeen);
    EXPECT_EQ(std::vector<int>{0}, log);
}

TEST(PointerCollection, ClearOnEmptyRaisesNothingAndOnFullDeletesEachOnce)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    EventRecorder recorder;
    recorder.Attach(items);
    items.Clear();
    EXPECT_TRUE(recorder.log.empty());
    for (int i = 0; i < 3; i++)
    {
        items.Add(new Tracked(i, &log));
    }
    items.Add(nullptr);
    recorder.log.clear();
    items.Clear();
    EXPECT_EQ((Strings{"Clearing(-1)", "Cleared(-1)"}), recorder.log);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), log);
    EXPECT_EQ(16, items.GetCapacity());
}

TEST(PointerCollection, BoundsMessages)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    items.Add(new Tracked(0, &log));
    EXPECT_EQ(L"PointerCollection [] operator - index out of range", ThrownMessage([&] { items[1]; }));
    EXPECT_EQ(L"PointerCollection [] operator - index out of range", ThrownMessage([&] { items.GetItem(-1); }));
    EXPECT_EQ(L"Collection.Insert method - index out of range", ThrownMessage([&] { items.Insert(2, nullptr); }));
    EXPECT_EQ(L"Collection.RemoveAt method - index out of range", ThrownMessage([&] { items.RemoveAt(1); }));
    Tracked spare(7, &log);
    EXPECT_EQ(L"PointerCollection.SetItem method - index out of range",
              ThrownMessage([&] { items.SetItem(1, &spare); }));
    EXPECT_TRUE(log.empty());
}

TEST(PointerCollection, RemoveRangeDeletesWithoutEvents)
{
    std::vector<int> log;
    PointerCollection<Tracked> items;
    for (int i = 0; i < 4; i++)
    {
        items.Add(new Tracked(i, &log));
    }
    EventRecorder recorder;
    recorder.Attach(items);
    items.RemoveRange(1, 2);
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ((std::vector<int>{1, 2}), log);
}

TEST(PointerCollection, DestructionDeletesEveryOwnedObjectExactlyOnce)
{
    std::vector<int> log;
    log.reserve(64); // the log itself must not count as a leak of the scenario
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         PointerCollection<Tracked> items;
                         EventRecorder recorder;
                         recorder.Attach(items);
                         for (int i = 0; i < 50; i++)
                         {
                             items.Add(new Tracked(i, &log));
                         }
                         items.RemoveAt(10);
                         items.SetItem(0, new Tracked(100, &log));
                         items.RemoveRange(0, 5);
                     }));
    std::sort(log.begin(), log.end());
    ASSERT_EQ(51u, log.size());
    for (int i = 0; i < 50; i++)
    {
        EXPECT_EQ(i, log[i]);
    }
    EXPECT_EQ(100, log[50]);
}
