#include "config/CategoryPath.h"

#include "core/controls/TreeNode.h"

#include <exception>

using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;
using Core::Controls::TreeObserver;

namespace Config
{

namespace
{

// Set on the collections being emptied: each removal finds its observer at once instead of walking up to
// the root, and the tree's own observer is told only what Clear would tell it.
class SilentObserver : public TreeObserver
{
public:
    void OnNodeInserted(TreeNode*) override {}
    void OnNodeRemoving(TreeNode*) override {}
    void OnNodeChanged(TreeNode*) override {}
    void OnNodeExpandedChanged(TreeNode*) override {}
    void OnNodeCheckChanged(TreeNode*) override {}
};

// Deletes everything below top, always a node without children, so no destructor recurses.
void DeleteDescendants(TreeNode* top, SilentObserver& silent)
{
    TreeNode* node = top;
    for (;;)
    {
        TreeNodeCollection& children = node->GetNodes();
        if (children.GetCount() > 0)
        {
            children.SetObserver(&silent);
            node = children[children.GetCount() - 1];
            continue;
        }
        if (node == top)
        {
            return;
        }
        TreeNodeCollection* collection = node->GetCollection();
        node = collection->GetOwner();
        collection->RemoveAt(collection->GetCount() - 1);
    }
}

// Puts a collection's own observer back, however the emptying ends.
class ObserverRestore
{
public:
    ObserverRestore(TreeNodeCollection& nodes, TreeObserver* own) : m_nodes(nodes), m_own(own) {}
    ~ObserverRestore() { m_nodes.SetObserver(m_own); }
    ObserverRestore(const ObserverRestore&) = delete;
    ObserverRestore& operator=(const ObserverRestore&) = delete;

private:
    TreeNodeCollection& m_nodes;
    TreeObserver* m_own; // not owned
};

} // namespace

CategoryPath::CategoryPath(TreeNodeCollection& root) : m_root(root) {}

CategoryPath::~CategoryPath()
{
    try
    {
        Close();
    }
    catch (...)
    {
        // Out of memory while closing: what could join the tree has joined it.
    }
}

TreeNode* CategoryPath::Reach(int depth)
{
    while (!m_open.empty() && m_open.back().depth >= depth)
    {
        CloseInnermost();
    }
    return m_open.empty() ? nullptr : m_open.back().node;
}

void CategoryPath::Open(TreeNode* category, int depth)
{
    try
    {
        Reach(depth);
        m_open.push_back({category, depth});
    }
    catch (...)
    {
        DeleteTree(category);
        throw;
    }
}

void CategoryPath::Add(TreeNode* node, int depth)
{
    try
    {
        TreeNode* parent = Reach(depth);
        (parent != nullptr ? parent->GetNodes() : m_root).Add(node);
    }
    catch (...)
    {
        DeleteTree(node);
        throw;
    }
}

void CategoryPath::CloseInnermost()
{
    Entry innermost = m_open.back();
    m_open.pop_back();
    // The parent is still open, so this insertion does not walk up the tree.
    TreeNodeCollection& parent = m_open.empty() ? m_root : m_open.back().node->GetNodes();
    try
    {
        parent.Add(innermost.node);
    }
    catch (...)
    {
        DeleteTree(innermost.node);
        throw;
    }
}

void CategoryPath::Close()
{
    std::exception_ptr failure;
    while (!m_open.empty())
    {
        try
        {
            CloseInnermost();
        }
        catch (...)
        {
            if (!failure)
            {
                failure = std::current_exception();
            }
        }
    }
    if (failure)
    {
        std::rethrow_exception(failure);
    }
}

void DeleteNodes(TreeNodeCollection& nodes)
{
    TreeObserver* observer = nodes.GetObserver();
    SilentObserver silent;
    // Only a tree's root collection keeps an observer of its own; the others ask their root.
    ObserverRestore restore(nodes, nodes.GetOwner() == nullptr ? observer : nullptr);
    nodes.SetObserver(&silent);
    // From the end, so no removal moves the nodes after it.
    while (nodes.GetCount() > 0)
    {
        TreeNode* top = nodes[nodes.GetCount() - 1];
        if (observer != nullptr)
        {
            observer->OnNodeRemoving(top);
        }
        DeleteDescendants(top, silent);
        nodes.RemoveAt(nodes.GetCount() - 1);
    }
}

void DeleteTree(TreeNode* node)
{
    // One that made it into a collection after all (an observer failing on its insertion) is the collection's.
    if (node->GetCollection() != nullptr)
    {
        return;
    }
    SilentObserver silent;
    DeleteDescendants(node, silent);
    delete node;
}

} // namespace Config
