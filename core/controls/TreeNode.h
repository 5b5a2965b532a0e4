// The tree view's node model: text, tag, data word, image, check state and children, without any
// window. A tree's root collection can carry an observer that hears of every change below it.
#pragma once

#include "core/String.h"
#include "core/collections/PointerCollection.h"

#include <cstdint>

namespace Core::Controls
{

class TreeNode;
class TreeNodeCollection;

// Told of changes anywhere below a root collection; the tree view repaints from these.
class TreeObserver
{
public:
    virtual ~TreeObserver() = default;
    virtual void OnNodeInserted(TreeNode* node) = 0;
    // Raised before the node and its subtree are deleted.
    virtual void OnNodeRemoving(TreeNode* node) = 0;
    // Text, tag, image or data changed.
    virtual void OnNodeChanged(TreeNode* node) = 0;
    virtual void OnNodeExpandedChanged(TreeNode* node) = 0;
    virtual void OnNodeCheckChanged(TreeNode* node) = 0;
};

// The children of a node, or the root nodes of a tree. Owns its nodes: a node that leaves is deleted.
class TreeNodeCollection : public Collections::PointerCollection<TreeNode>
{
public:
    // owner is the node whose children these are, or null for a tree's root collection.
    explicit TreeNodeCollection(TreeNode* owner = nullptr);
    // Deletes the nodes without telling the observer: the whole tree is going.
    ~TreeNodeCollection() override;

    TreeNode* GetOwner() const { return m_owner; }
    // Only a root collection keeps an observer; the others ask their root.
    void SetObserver(TreeObserver* observer)
    {
        m_observer = observer;
        StructureChanged();
    }
    TreeObserver* GetObserver() const;
    // The position of node in this collection, or -1.
    int IndexOf(const TreeNode* node) const;
    // Removes node (deleting it) when it is in this collection.
    void Remove(TreeNode* node);

    void Insert(int index, TreeNode* node) override;
    void RemoveAt(int index) override;
    void RemoveRange(int index, int n) override;
    void Clear() override;

private:
    friend class TreeNode;

    // Cuts the node off before it is deleted, so nothing below it reports to the observer any more.
    void Detach(TreeNode* node, TreeObserver* observer);
    // Moves every node to the end of nodes, out of any tree and not deleted, and leaves the collection empty.
    void TakeAll(Collections::ArrayList<TreeNode*>& nodes);

    // Every node joining or leaving a collection invalidates the remembered roots below.
    static void StructureChanged() { s_structureVersion++; }

    TreeNode* m_owner;        // not owned: the node whose children these are
    TreeObserver* m_observer; // not owned
    // The root collection found by the last walk up, valid while the structure version is the same: a
    // deep tree would otherwise cost a walk to its root for every change of one of its nodes.
    mutable const TreeNodeCollection* m_rootCache = nullptr; // not owned
    mutable unsigned long long m_rootCacheVersion = 0;
    static unsigned long long s_structureVersion;
};

class TreeNode : public Object
{
public:
    enum CheckState
    {
        Unchecked = 0,
        Checked = 1,
        PartlyChecked = 2
    };

    explicit TreeNode(const String& text = String(), uint64_t data = 0);
    // Deletes the children, then the owned data object, if any.
    ~TreeNode() override;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    const String& GetText() const { return m_text; }
    void SetText(const String& text);
    const String& GetTag() const { return m_tag; }
    void SetTag(const String& tag);
    int GetImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int imageIndex);

    // The data word; for class and machine nodes a pointer to their object.
    uint64_t GetData() const { return m_data; }
    void SetData(uint64_t data);
    template <typename T> T* GetDataAs() const { return reinterpret_cast<T*>(static_cast<uintptr_t>(m_data)); }
    // Makes object the node's data and the node its owner: it is deleted with the node or when replaced.
    void SetOwnedData(Object* object);
    bool OwnsData() const { return m_ownedData != nullptr; }
    // Gives the owned object to the caller and clears the data word; null when the node owns nothing.
    Object* ReleaseOwnedData();

    int GetCheckState() const { return m_checkState; }
    void SetCheckState(int state);
    bool IsChecked() const { return m_checkState != Unchecked; }

    bool IsExpanded() const { return m_expanded; }
    void Expand();
    void Collapse();
    // Marks a node whose children are loaded when it is first expanded: the tree view shows its
    // expansion glyph although it has no children yet.
    void SetExpandable(bool expandable);
    bool IsExpandable() const { return m_expandable; }
    // Has children, or is marked expandable.
    bool CanExpand() const { return m_expandable || m_children.GetCount() > 0; }

    TreeNodeCollection& GetNodes() { return m_children; }
    const TreeNodeCollection& GetNodes() const { return m_children; }
    TreeNode* GetParent() const;
    // The collection the node is in, or null.
    TreeNodeCollection* GetCollection() const { return m_collection; }
    // The position among its siblings, -1 when the node is in no collection.
    int GetIndex() const;
    // The number of ancestors: 0 for a root node.
    int GetLevel() const;
    TreeNode* GetFirstNode() const;
    TreeNode* GetLastNode() const;

private:
    friend class TreeNodeCollection;
    // Expands whole subtrees in one step and tells its observer once.
    friend class TreeView;
    void NotifyChanged();

    String m_text;
    String m_tag;
    uint64_t m_data;
    Object* m_ownedData = nullptr; // owned; the same object m_data points to
    int m_imageIndex = -1;
    int m_checkState = Unchecked;
    bool m_expanded = false;
    bool m_expandable = false;
    TreeNodeCollection* m_collection = nullptr; // not owned: the collection holding this node
    TreeNodeCollection m_children;
};

} // namespace Core::Controls
