#include "config/CategoryPath.h"

#include "core/controls/TreeNode.h"

#include <exception>

using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;

namespace Config
{

namespace
{

// A node that made it into a collection after all (an observer failing on its insertion) is the collection's.
void DeleteUnlessOwned(TreeNode* node)
{
    if (node->GetCollection() == nullptr)
    {
        delete node;
    }
}

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
        delete category;
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
        DeleteUnlessOwned(node);
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
        DeleteUnlessOwned(innermost.node);
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
    // From the end, so no removal moves the nodes after it.
    while (nodes.GetCount() > 0)
    {
        nodes.RemoveAt(nodes.GetCount() - 1);
    }
}

} // namespace Config
