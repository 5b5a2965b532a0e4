#include "core/controls/TreeNode.h"

namespace Core::Controls
{

// --- TreeNodeCollection ---

unsigned long long TreeNodeCollection::s_structureVersion = 1;

TreeNodeCollection::TreeNodeCollection(TreeNode* owner) : m_owner(owner), m_observer(nullptr) {}

TreeNodeCollection::~TreeNodeCollection()
{
    m_observer = nullptr;
    StructureChanged();
    for (int i = 0; i < m_count; i++)
    {
        m_items[i]->m_collection = nullptr;
    }
}

void TreeNodeCollection::Detach(TreeNode* node, TreeObserver* observer)
{
    if (observer != nullptr)
    {
        observer->OnNodeRemoving(node);
    }
    node->m_collection = nullptr;
    StructureChanged();
}

void TreeNodeCollection::TakeAll(Collections::ArrayList<TreeNode*>& nodes)
{
    for (int i = 0; i < m_count; i++)
    {
        nodes.Add(m_items[i]);
        m_items[i]->m_collection = nullptr;
        m_items[i] = nullptr;
    }
    m_count = 0;
    StructureChanged();
}

TreeObserver* TreeNodeCollection::GetObserver() const
{
    // Up to the root collection, in a loop: trees may be deeper than the stack allows calls.
    const TreeNodeCollection* collection = this;
    while (collection->m_observer == nullptr && collection->m_owner != nullptr &&
           collection->m_owner->m_collection != nullptr)
    {
        if (collection->m_rootCacheVersion == s_structureVersion)
        {
            collection = collection->m_rootCache;
            break;
        }
        collection = collection->m_owner->m_collection;
    }
    // Remember the root along the way: the next walk from anywhere on it takes one step.
    for (const TreeNodeCollection* step = this; step != collection && step->m_rootCacheVersion != s_structureVersion;
         step = step->m_owner->m_collection)
    {
        step->m_rootCache = collection;
        step->m_rootCacheVersion = s_structureVersion;
    }
    return collection->m_observer;
}

int TreeNodeCollection::IndexOf(const TreeNode* node) const
{
    for (int i = 0; i < m_count; i++)
    {
        if (m_items[i] == node)
        {
            return i;
        }
    }
    return -1;
}

void TreeNodeCollection::Remove(TreeNode* node)
{
    int index = IndexOf(node);
    if (index >= 0)
    {
        RemoveAt(index);
    }
}

void TreeNodeCollection::Insert(int index, TreeNode* node)
{
    if (node == nullptr)
    {
        throw ArgumentNullException(String(L"node"));
    }
    // A node belongs to one collection; two owners would delete it twice.
    if (node->m_collection != nullptr)
    {
        throw ArgumentException(String(L"TreeNodeCollection.Insert method - the node is already in a tree"));
    }
    PointerCollection<TreeNode>::Insert(index, node);
    node->m_collection = this;
    StructureChanged();
    if (TreeObserver* observer = GetObserver())
    {
        observer->OnNodeInserted(node);
    }
}

void TreeNodeCollection::RemoveAt(int index)
{
    CheckIndex(index, m_count - 1, L"Collection.RemoveAt method - index out of range");
    TreeNode* node = m_items[index];
    Detach(node, GetObserver());
    PointerCollection<TreeNode>::RemoveAt(index);
}

void TreeNodeCollection::RemoveRange(int index, int n)
{
    if (index >= 0 && n >= 0 && index <= m_count - n)
    {
        TreeObserver* observer = GetObserver();
        for (int i = index; i < index + n; i++)
        {
            Detach(m_items[i], observer);
        }
    }
    PointerCollection<TreeNode>::RemoveRange(index, n);
}

void TreeNodeCollection::Clear()
{
    TreeObserver* observer = GetObserver();
    for (int i = 0; i < m_count; i++)
    {
        Detach(m_items[i], observer);
    }
    PointerCollection<TreeNode>::Clear();
}

// --- TreeNode ---

TreeNode::TreeNode(const String& text, uint64_t data) : m_text(text), m_data(data), m_children(this) {}

TreeNode::~TreeNode()
{
    // Deleting each level from the one above would take a call per level (a deep tree overflows the stack) and
    // a walk up to this node per level. Instead the nodes below are taken out level by level, out of any tree,
    // so nobody is told, and deleted from the deepest level up: children still go before their parents, which
    // they may refer to while they are destroyed.
    Collections::ArrayList<TreeNode*> below;
    m_children.TakeAll(below);
    for (int i = 0; i < below.GetCount(); i++)
    {
        below[i]->m_children.TakeAll(below);
    }
    for (int i = below.GetCount() - 1; i >= 0; i--)
    {
        delete below[i];
    }
    delete m_ownedData;
}

void TreeNode::NotifyChanged()
{
    if (m_collection != nullptr)
    {
        if (TreeObserver* observer = m_collection->GetObserver())
        {
            observer->OnNodeChanged(this);
        }
    }
}

void TreeNode::SetText(const String& text)
{
    m_text = text;
    NotifyChanged();
}

void TreeNode::SetTag(const String& tag)
{
    m_tag = tag;
    NotifyChanged();
}

void TreeNode::SetImageIndex(int imageIndex)
{
    m_imageIndex = imageIndex;
    NotifyChanged();
}

void TreeNode::SetData(uint64_t data)
{
    if (m_ownedData != nullptr && static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_ownedData)) != data)
    {
        delete m_ownedData;
        m_ownedData = nullptr;
    }
    m_data = data;
    NotifyChanged();
}

void TreeNode::SetOwnedData(Object* object)
{
    if (m_ownedData != object)
    {
        delete m_ownedData;
    }
    m_ownedData = object;
    m_data = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(object));
    NotifyChanged();
}

Object* TreeNode::ReleaseOwnedData()
{
    Object* object = m_ownedData;
    if (object != nullptr)
    {
        m_ownedData = nullptr;
        m_data = 0;
        NotifyChanged();
    }
    return object;
}

void TreeNode::SetCheckState(int state)
{
    if (state < Unchecked || state > PartlyChecked)
    {
        throw ArgumentOutOfRangeException(state);
    }
    m_checkState = state;
    if (m_collection != nullptr)
    {
        if (TreeObserver* observer = m_collection->GetObserver())
        {
            observer->OnNodeCheckChanged(this);
        }
    }
}

void TreeNode::Expand()
{
    if (m_expanded)
    {
        return;
    }
    m_expanded = true;
    if (m_collection != nullptr)
    {
        if (TreeObserver* observer = m_collection->GetObserver())
        {
            observer->OnNodeExpandedChanged(this);
        }
    }
}

void TreeNode::Collapse()
{
    if (!m_expanded)
    {
        return;
    }
    m_expanded = false;
    if (m_collection != nullptr)
    {
        if (TreeObserver* observer = m_collection->GetObserver())
        {
            observer->OnNodeExpandedChanged(this);
        }
    }
}

void TreeNode::SetExpandable(bool expandable)
{
    if (m_expandable != expandable)
    {
        m_expandable = expandable;
        NotifyChanged();
    }
}

TreeNode* TreeNode::GetParent() const
{
    return m_collection != nullptr ? m_collection->GetOwner() : nullptr;
}

int TreeNode::GetIndex() const
{
    return m_collection != nullptr ? m_collection->IndexOf(this) : -1;
}

int TreeNode::GetLevel() const
{
    int level = 0;
    for (TreeNode* parent = GetParent(); parent != nullptr; parent = parent->GetParent())
    {
        level++;
    }
    return level;
}

TreeNode* TreeNode::GetFirstNode() const
{
    return m_children.GetCount() > 0 ? m_children[0] : nullptr;
}

TreeNode* TreeNode::GetLastNode() const
{
    return m_children.GetCount() > 0 ? m_children[m_children.GetCount() - 1] : nullptr;
}

} // namespace Core::Controls
