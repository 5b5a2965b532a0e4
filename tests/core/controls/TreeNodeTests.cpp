#include "core/controls/TreeNode.h"

#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;
using Core::Controls::TreeObserver;

namespace
{

// Data that records its own deletion.
class Payload : public Core::Object
{
public:
    explicit Payload(int* deletions) : m_deletions(deletions) {}
    ~Payload() override { (*m_deletions)++; }

private:
    int* m_deletions;
};

class RecordingObserver : public TreeObserver
{
public:
    void OnNodeInserted(TreeNode* node) override { Record("inserted", node); }
    void OnNodeRemoving(TreeNode* node) override { Record("removing", node); }
    void OnNodeChanged(TreeNode* node) override { Record("changed", node); }
    void OnNodeExpandedChanged(TreeNode* node) override { Record("expanded", node); }
    void OnNodeCheckChanged(TreeNode* node) override { Record("checked", node); }

    std::vector<std::string> log;

private:
    void Record(const char* what, TreeNode* node)
    {
        std::wstring text = node->GetText().GetBuffer();
        log.push_back(std::string(what) + " " + std::string(text.begin(), text.end()));
    }
};

TreeNode* Child(TreeNode* parent, const wchar_t* text)
{
    auto* node = new TreeNode(String(text));
    parent->GetNodes().Add(node);
    return node;
}

} // namespace

TEST(TreeNode, AFreshNodeStandsAlone)
{
    TreeNode node(String(L"Local Machine"), 42);
    EXPECT_STREQ(L"Local Machine", node.GetText().GetBuffer());
    EXPECT_EQ(42u, node.GetData());
    EXPECT_EQ(0, node.GetTag().GetLength());
    EXPECT_EQ(-1, node.GetImageIndex());
    EXPECT_EQ(TreeNode::Unchecked, node.GetCheckState());
    EXPECT_FALSE(node.IsExpanded());
    EXPECT_EQ(nullptr, node.GetParent());
    EXPECT_EQ(-1, node.GetIndex());
    EXPECT_EQ(0, node.GetLevel());
    EXPECT_EQ(nullptr, node.GetFirstNode());
}

TEST(TreeNode, ChildrenKnowTheirParentIndexAndLevel)
{
    TreeNodeCollection roots;
    auto* machine = new TreeNode(String(L"M"));
    roots.Add(machine);
    TreeNode* group = Child(machine, L"Operating System");
    TreeNode* first = Child(group, L"Applications");
    TreeNode* second = Child(group, L"COM");
    EXPECT_EQ(machine, group->GetParent());
    EXPECT_EQ(nullptr, machine->GetParent());
    EXPECT_EQ(0, machine->GetIndex());
    EXPECT_EQ(1, second->GetIndex());
    EXPECT_EQ(2, second->GetLevel());
    EXPECT_EQ(first, group->GetFirstNode());
    EXPECT_EQ(second, group->GetLastNode());
    EXPECT_EQ(&group->GetNodes(), second->GetCollection());
    EXPECT_EQ(group, group->GetNodes().GetOwner());
}

TEST(TreeNode, RemovingANodeDeletesItsWholeSubtreeAndOwnedData)
{
    int deletions = 0;
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         TreeNodeCollection roots;
                         auto* machine = new TreeNode(String(L"M"));
                         roots.Add(machine);
                         TreeNode* category = Child(machine, L"Processes");
                         Child(category, L"Win32_Process")->SetOwnedData(new Payload(&deletions));
                         Child(category, L"Win32_Thread")->SetOwnedData(new Payload(&deletions));
                         machine->GetNodes().Remove(category);
                         EXPECT_EQ(2, deletions);
                         EXPECT_EQ(0, machine->GetNodes().GetCount());
                         Child(machine, L"Other")->SetOwnedData(new Payload(&deletions));
                     }));
    EXPECT_EQ(3, deletions);
}

// Data that records when it goes, by its node's text.
class OrderedPayload : public Core::Object
{
public:
    OrderedPayload(std::vector<std::wstring>* order, const wchar_t* name) : m_order(order), m_name(name) {}
    ~OrderedPayload() override { m_order->push_back(m_name); }

private:
    std::vector<std::wstring>* m_order;
    std::wstring m_name;
};

// A class view can nest categories tens of thousands deep: deleting such a tree must neither recurse once per
// level (the stack overflows) nor leave anything behind, and a node's data still goes after its children's.
TEST(TreeNode, DeletesTreesOfAnyDepthChildrenBeforeParents)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         // Built from the bottom up, as a reader closes nested categories.
                         auto* node = new TreeNode(String(L"level"));
                         for (int level = 0; level < 200000; level++)
                         {
                             auto* parent = new TreeNode(String(L"level"));
                             parent->GetNodes().Add(node);
                             node = parent;
                         }
                         delete node;
                     }));
    std::vector<std::wstring> order;
    {
        TreeNodeCollection roots;
        auto* machine = new TreeNode(String(L"M"));
        roots.Add(machine);
        machine->SetOwnedData(new OrderedPayload(&order, L"M"));
        TreeNode* a = Child(machine, L"A");
        a->SetOwnedData(new OrderedPayload(&order, L"A"));
        Child(a, L"A1")->SetOwnedData(new OrderedPayload(&order, L"A1"));
        Child(machine, L"B")->SetOwnedData(new OrderedPayload(&order, L"B"));
    }
    ASSERT_EQ(4u, order.size());
    auto position = [&](const wchar_t* name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    EXPECT_LT(position(L"A1"), position(L"A"));
    EXPECT_LT(position(L"A"), position(L"M"));
    EXPECT_LT(position(L"B"), position(L"M"));
}

TEST(TreeNode, OwnedDataIsReplacedAndReleasedOnce)
{
    int deletions = 0;
    {
        TreeNode node;
        auto* first = new Payload(&deletions);
        node.SetOwnedData(first);
        EXPECT_TRUE(node.OwnsData());
        EXPECT_EQ(first, node.GetDataAs<Payload>());
        node.SetOwnedData(first); // the same object again is no replacement
        EXPECT_EQ(0, deletions);
        node.SetOwnedData(new Payload(&deletions));
        EXPECT_EQ(1, deletions);
        node.SetData(7); // a plain data word ends the ownership
        EXPECT_EQ(2, deletions);
        EXPECT_FALSE(node.OwnsData());

        // Released data leaves with its new owner, not with the node.
        auto* kept = new Payload(&deletions);
        node.SetOwnedData(kept);
        EXPECT_EQ(kept, node.ReleaseOwnedData());
        EXPECT_EQ(0u, node.GetData());
        EXPECT_FALSE(node.OwnsData());
        EXPECT_EQ(nullptr, node.ReleaseOwnedData());
        delete kept;
        EXPECT_EQ(3, deletions);
    }
    EXPECT_EQ(3, deletions);
}

TEST(TreeNode, ANodeBelongsToOneCollection)
{
    TreeNodeCollection roots;
    auto* node = new TreeNode(String(L"x"));
    roots.Add(node);
    TreeNodeCollection other;
    EXPECT_THROW(other.Add(node), Core::ArgumentException);
    EXPECT_THROW(other.Add(nullptr), Core::ArgumentNullException);
    EXPECT_EQ(L"Collection.RemoveAt method - index out of range", Testing::ThrownMessage([&] { roots.RemoveAt(1); }));
    EXPECT_THROW(node->SetCheckState(3), Core::ArgumentOutOfRangeException);
}

TEST(TreeObserver, HearsOfChangesAnywhereBelowTheRoot)
{
    RecordingObserver observer;
    TreeNodeCollection roots;
    roots.SetObserver(&observer);
    auto* machine = new TreeNode(String(L"M"));
    roots.Add(machine);
    TreeNode* category = Child(machine, L"C");
    TreeNode* leaf = Child(category, L"L");
    leaf->SetText(String(L"L2"));
    leaf->SetCheckState(TreeNode::Checked);
    category->Expand();
    category->Expand(); // no change, no notification
    category->Collapse();
    leaf->SetImageIndex(2);
    EXPECT_EQ((std::vector<std::string>{"inserted M", "inserted C", "inserted L", "changed L2", "checked L2",
                                        "expanded C", "expanded C", "changed L2"}),
              observer.log);
}

TEST(TreeObserver, ARemovedSubtreeIsAnnouncedOnceAtItsTop)
{
    RecordingObserver observer;
    TreeNodeCollection roots;
    auto* machine = new TreeNode(String(L"M"));
    roots.Add(machine);
    TreeNode* category = Child(machine, L"C");
    Child(category, L"L1");
    Child(category, L"L2");
    roots.SetObserver(&observer);
    machine->GetNodes().RemoveAt(0);
    EXPECT_EQ(std::vector<std::string>{"removing C"}, observer.log);
    Child(machine, L"A");
    Child(machine, L"B");
    observer.log.clear();
    machine->GetNodes().Clear();
    EXPECT_EQ((std::vector<std::string>{"removing A", "removing B"}), observer.log);
}

TEST(TreeObserver, NodesOutsideATreeAndADyingTreeReportNothing)
{
    RecordingObserver observer;
    TreeNode loose(String(L"loose"));
    Child(&loose, L"child")->SetText(String(L"renamed"));
    {
        TreeNodeCollection roots;
        roots.SetObserver(&observer);
        auto* machine = new TreeNode(String(L"M"));
        roots.Add(machine);
        Child(machine, L"C");
        observer.log.clear();
    }
    EXPECT_TRUE(observer.log.empty());
}

TEST(TreeObserver, ASubtreeBuiltApartReportsToTheTreeItJoinsAndNotToTheOneItLeft)
{
    RecordingObserver first;
    RecordingObserver second;
    TreeNodeCollection one;
    TreeNodeCollection two;
    one.SetObserver(&first);
    two.SetObserver(&second);
    auto* category = new TreeNode(String(L"C"));
    TreeNode* property = Child(Child(category, L"K"), L"P");
    // Changes while apart reach nobody, and the walk that found no root must not be remembered.
    property->SetText(String(L"P1"));
    one.Add(category);
    property->SetText(String(L"P2"));
    EXPECT_EQ((std::vector<std::string>{"inserted C", "changed P2"}), first.log);
    // A second tree: a subtree taken from the first one would be deleted, so a fresh one joins.
    auto* machine = new TreeNode(String(L"M"));
    two.Add(machine);
    auto* other = new TreeNode(String(L"O"));
    TreeNode* leaf = Child(other, L"L");
    machine->GetNodes().Add(other);
    leaf->SetCheckState(TreeNode::Checked);
    property->SetCheckState(TreeNode::Checked);
    EXPECT_EQ((std::vector<std::string>{"inserted M", "inserted O", "checked L"}), second.log);
    EXPECT_EQ((std::vector<std::string>{"inserted C", "changed P2", "checked P2"}), first.log);
    // Removed from its tree, the category is deleted; the rest still reports.
    one.Clear();
    machine->SetText(String(L"M2"));
    EXPECT_EQ("changed M2", second.log.back());
}

TEST(TreeObserver, EveryNodeOfADeepChainReportsItsChanges)
{
    RecordingObserver observer;
    TreeNodeCollection roots;
    roots.SetObserver(&observer);
    // Built bottom-up, then attached in one step, as the class view does.
    auto* top = new TreeNode(String(L"n"));
    std::vector<TreeNode*> chain{top};
    for (int level = 1; level < 20000; level++)
    {
        auto* parent = new TreeNode(String(L"n"));
        parent->GetNodes().Add(chain.back());
        chain.push_back(parent);
    }
    roots.Add(chain.back());
    observer.log.clear();
    // Top down, as a check state spreads to the descendants: each change finds the root.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    {
        (*it)->SetCheckState(TreeNode::Checked);
    }
    EXPECT_EQ(20000u, observer.log.size());
    EXPECT_EQ(19999, top->GetLevel());
}
