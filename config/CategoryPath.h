// Class trees as deep as a configuration file nests its categories: built and deleted in time linear in
// the number of nodes, without recursion, whatever the depth.
#pragma once

#include <vector>

namespace Core::Controls
{
class TreeNode;
class TreeNodeCollection;
} // namespace Core::Controls

namespace Config
{

// The path of open categories while a tree is built from elements that arrive in document order with their
// depth. A category stays out of the tree while it is open and joins its parent when it closes, so adding
// below it never walks up to the tree's root; whatever is still open joins when the path is closed.
class CategoryPath
{
public:
    // root: where elements that no open category encloses go (not owned).
    explicit CategoryPath(Core::Controls::TreeNodeCollection& root);
    // Closes the path: what was built stays, also after a failure.
    ~CategoryPath();
    CategoryPath(const CategoryPath&) = delete;
    CategoryPath& operator=(const CategoryPath&) = delete;

    // Closes the categories at depth or deeper; the result is the category an element of that depth goes
    // under, or null for the root.
    Core::Controls::TreeNode* Reach(int depth);
    // Opens category (a new node, owned from now on) at depth, under what Reach(depth) returns.
    void Open(Core::Controls::TreeNode* category, int depth);
    // Adds node (a new node, owned from now on) under what Reach(depth) returns.
    void Add(Core::Controls::TreeNode* node, int depth);
    // Closes every open category, the innermost first. A category that cannot join its parent (out of
    // memory) is deleted with its content; the others still join, and the first failure is thrown after.
    void Close();

private:
    struct Entry
    {
        Core::Controls::TreeNode* node; // owned while open
        int depth;
    };

    // Puts the innermost open category under its parent.
    void CloseInnermost();

    Core::Controls::TreeNodeCollection& m_root;
    std::vector<Entry> m_open;
};

// Deletes every node of nodes with everything below it, the last first. The tree's observer hears of the nodes
// of the collection itself, as with Clear.
void DeleteNodes(Core::Controls::TreeNodeCollection& nodes);

} // namespace Config
