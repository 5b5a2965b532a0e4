// A self-drawn tree of TreeNode objects: expansion glyphs, images, optional three-state check boxes,
// selection with a veto, keyboard navigation and type-ahead. It paints, hit-tests and moves the
// keyboard over one cached list of the visible nodes, rebuilt only when the tree has changed.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/controls/ScrollableControl.h"
#include "core/controls/TreeNode.h"

namespace Core::Controls
{

class ImageList;

class TreeViewEventArgs : public EventArgs
{
public:
    explicit TreeViewEventArgs(TreeNode* node) : m_node(node) {}
    TreeNode* GetNode() const { return m_node; }

private:
    TreeNode* m_node; // not owned
};

class TreeViewCancelEventArgs : public CancelEventArgs
{
public:
    explicit TreeViewCancelEventArgs(TreeNode* node) : m_node(node) {}
    TreeNode* GetNode() const { return m_node; }

private:
    TreeNode* m_node; // not owned
};

// Where a point of the client area falls on a row.
enum class TreeViewHitArea
{
    None,     // below the last row
    Indent,   // left of the glyph
    Glyph,    // the expansion glyph
    CheckBox, // the check box
    Image,
    Text,
    Right // right of the text
};

class TreeView : public ScrollableControl, private TreeObserver
{
public:
    TreeView();
    ~TreeView() override;

    // The root nodes; the view owns them and hears of every change below them.
    TreeNodeCollection& GetNodes() { return m_nodes; }

    TreeNode* GetSelectedNode() const { return m_selected; }
    // Raises BeforeSelect (which may veto) and AfterSelect; expands the node's ancestors and scrolls it
    // into view. Null clears the selection. Returns whether the node is selected now.
    bool SetSelectedNode(TreeNode* node);

    // Images of the nodes (not owned); a node's image index selects one, -1 none.
    void SetImageList(ImageList* imageList);
    ImageList* GetImageList() const { return m_imageList; }
    // Shows a check box before each node: 0 unchecked, 1 checked, 2 partly checked.
    void SetCheckBoxes(bool checkBoxes);
    bool GetCheckBoxes() const { return m_checkBoxes; }
    // A control that works the tree from the keyboard, such as its find strip's text box (not owned; null for
    // none): while it has the focus, the selection shows as when the tree has it, so that one sees where the
    // keys took it. Set back to null before the companion goes.
    void SetFocusCompanion(Control* companion);
    Control* GetFocusCompanion() const { return m_focusCompanion; }

    // Repaints everything from the model.
    void Refresh();
    // Expands a node as the user does: BeforeExpand may veto, and loads the children of an expandable node.
    bool ExpandNode(TreeNode* node);
    void CollapseNode(TreeNode* node);
    // Every node below the given one (null: the whole tree) expanded, without recursion.
    void ExpandAll(TreeNode* node = nullptr);
    void CollapseAll();

    // --- Geometry, in client pixels ---
    int GetItemHeight() const;
    // The number of nodes whose ancestors are all expanded.
    int GetVisibleCount();
    // The visible node at a row of the visible list, or null.
    TreeNode* GetVisibleNode(int row);
    // The row of the node in the visible list, or -1 when an ancestor is collapsed.
    int GetVisibleRow(TreeNode* node);
    TreeNode* GetNodeAt(const Point& point);
    TreeViewHitArea HitTest(const Point& point, TreeNode** node);
    // The client rectangle of the node's row, empty when the node is not in the visible list.
    Rectangle GetRowBounds(TreeNode* node);
    // The client rectangle of a part of the node's row (Glyph, CheckBox, Image, Text).
    Rectangle GetPartBounds(TreeNode* node, TreeViewHitArea part);
    void EnsureVisible(TreeNode* node);

    // --- Find ---
    // The first node after the given one (null: from the first root) in the order the tree shows its nodes when
    // every node is expanded (children of collapsed nodes count too), whose text holds text regardless of case
    // (ordinally, as the grid's filter compares). The search goes round past the last node and ends with the
    // given node itself; null when no node holds the text, or the text is empty. SetSelectedNode then selects
    // the node found, expanding its ancestors and scrolling it into view.
    TreeNode* FindNextNode(const String& text, TreeNode* after = nullptr);
    // The same towards the first node: from the node before the given one (null: from the last node).
    TreeNode* FindPreviousNode(const String& text, TreeNode* before = nullptr);

    Event<TreeViewCancelEventArgs> BeforeSelect;
    Event<TreeViewEventArgs> AfterSelect;
    // A click on the text or image of the node already selected: no selection event comes, yet the user asked
    // for the node again (to retry what failed there).
    Event<TreeViewEventArgs> SelectedNodeClick;
    Event<TreeViewCancelEventArgs> BeforeExpand;
    Event<TreeViewEventArgs> AfterExpand;
    Event<TreeViewEventArgs> AfterCollapse;
    // Raised whenever a node's check state changes, by the user or by code.
    Event<TreeViewEventArgs> AfterCheck;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseDoubleClick(const Point& point, int button, int keys) override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyPress(wchar_t character) override;
    bool IsInputKey(int keyData) const override;
    bool WantsCharacters() const override { return true; }
    void OnFontChanged() override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    // Tells accessibility clients of a change to a visible node.
    void NotifyNodeChange(TreeNode* node, unsigned int event);
    struct VisibleNode
    {
        TreeNode* node = nullptr;
        int level = 0;
        int textWidth = 0;
    };
    struct Metrics
    {
        int itemHeight;
        int indent;
        int glyph;
        int checkBox;
        int image;
        int gap;
        int textPadding;
    };

    // --- TreeObserver ---
    void OnNodeInserted(TreeNode* node) override;
    void OnNodeRemoving(TreeNode* node) override;
    void OnNodeChanged(TreeNode* node) override;
    void OnNodeExpandedChanged(TreeNode* node) override;
    void OnNodeCheckChanged(TreeNode* node) override;

    // Marks the visible list stale; it is rebuilt when next needed.
    void MarkDirty();
    void EnsureRows();
    void RebuildRows();
    // The row of a node in the tree, -1 when a closed node hides it; counted from the nodes themselves while the
    // list is stale, so that a burst of changes (the catalogue opening its categories) measures no text.
    int RowOf(TreeNode* node);
    void UpdateScrollSize();
    Metrics GetMetrics() const;
    // The left edge of each part of a row at a level, in content coordinates.
    int GlyphLeft(int level) const;
    int CheckBoxLeft(int level) const;
    int ImageLeft(int level) const;
    int TextLeft(int level) const;
    void InvalidateNode(TreeNode* node);
    bool IsInTree(const TreeNode* node) const;
    // Whether node is ancestor itself or lies below it.
    static bool IsAtOrBelow(const TreeNode* node, const TreeNode* ancestor);
    bool SelectRow(int row);
    TreeNode* FindNode(const String& text, TreeNode* start, bool forward);
    // Left and Right: collapse the node or go to its parent; expand it or go to its first child.
    void CollapseOrMoveToParent();
    void ExpandOrMoveToChild();
    void ToggleNode(TreeNode* node);
    void ToggleCheck(TreeNode* node);
    int RowsPerPage();
    bool TypeAhead(wchar_t character);
    void DropCharacter();
    // Whether the selection shows as focused: the tree or its companion has the focus.
    bool ShowsSelectionFocused() const;
    void OnCompanionFocusChanged(Object* sender, EventArgs& args);
    void PaintRow(Graphics& graphics, const VisibleNode& row, int y, const Metrics& metrics);
    void PaintCheckBox(Graphics& graphics, const Rectangle& box, int state);

    TreeNodeCollection m_nodes;
    Collections::ArrayList<VisibleNode> m_rows;
    bool m_rowsDirty = true;
    int m_rowsDpi = 0;
    int m_selectedRow = -1;           // the selected node's row in m_rows while that is current
    TreeNode* m_selected = nullptr;   // not owned: belongs to the tree
    ImageList* m_imageList = nullptr; // not owned
    bool m_checkBoxes = false;
    int m_contentWidth = 0;
    String m_typed;
    unsigned long m_lastTypeTime = 0;
    int m_itemHeight = 0;
    int m_itemHeightDpi = 0;
    Control* m_focusCompanion = nullptr; // not owned
    MemberEventHandler<TreeView, EventArgs> m_companionFocusHandler;
};

} // namespace Core::Controls
