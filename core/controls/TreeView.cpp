#include "core/controls/TreeView.h"

#include "core/controls/Accessibility.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/TextFinder.h"
#include "core/controls/Theme.h"

#include <algorithm>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

// Characters typed within this time continue one search.
constexpr unsigned long TypeAheadTimeout = 1000;

} // namespace

TreeView::TreeView() : m_companionFocusHandler(this, &TreeView::OnCompanionFocusChanged)
{
    SetClassName(String(L"Core.Controls.TreeView"));
    UseOwnScrollBars();
    SetTabStop(true);
    m_nodes.SetObserver(this);
}

TreeView::~TreeView()
{
    if (m_focusCompanion != nullptr)
    {
        m_focusCompanion->GotFocus.Unsubscribe(&m_companionFocusHandler);
        m_focusCompanion->LostFocus.Unsubscribe(&m_companionFocusHandler);
    }
    // The nodes are deleted with the collection; nobody needs to hear of it.
    m_nodes.SetObserver(nullptr);
}

Color TreeView::GetDefaultBackColor() const
{
    return Theme::Window();
}

// --- Model changes ---

void TreeView::MarkDirty()
{
    // The whole window is invalid already until the paint that rebuilds the list: the catalogue's hundreds
    // of inserts ask the window system once, not once each.
    if (m_rowsDirty)
    {
        return;
    }
    m_rowsDirty = true;
    Invalidate();
}

void TreeView::OnNodeInserted(TreeNode*)
{
    // One insert may carry a whole subtree: the list is rebuilt once, when it is next needed.
    MarkDirty();
}

void TreeView::OnNodeRemoving(TreeNode* node)
{
    if (m_selected != nullptr && IsAtOrBelow(m_selected, node))
    {
        m_selected = nullptr;
    }
    MarkDirty();
}

void TreeView::OnNodeChanged(TreeNode*)
{
    // The text's width may have changed.
    MarkDirty();
}

void TreeView::OnNodeExpandedChanged(TreeNode* node)
{
    MarkDirty();
    NotifyNodeChange(node, EVENT_OBJECT_STATECHANGE);
    NotifyAccessibleEvent(*this, EVENT_OBJECT_REORDER); // the visible items changed
}

void TreeView::OnNodeCheckChanged(TreeNode* node)
{
    Invalidate();
    NotifyNodeChange(node, EVENT_OBJECT_STATECHANGE);
    TreeViewEventArgs args(node);
    AfterCheck.Raise(this, args);
}

void TreeView::NotifyNodeChange(TreeNode* node, unsigned int event)
{
    if (GetHandle() == nullptr || !IsInTree(node))
    {
        return;
    }
    int row = RowOf(node);
    if (row >= 0)
    {
        NotifyAccessibleEvent(*this, event, row);
    }
}

// The visible nodes are the items, as the system's tree view shows them: an outline item whose value is its
// level, with its expanded, checked and selected states.
class TreeViewAccessibleObject : public AccessibleObject
{
public:
    explicit TreeViewAccessibleObject(TreeView& tree) : AccessibleObject(tree), m_tree(tree) {}

    int GetRole() override { return AccessibleRoles::Outline; }
    int GetItemCount() override { return m_tree.GetVisibleCount(); }

    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        TreeNode* node = m_tree.GetVisibleNode(index);
        if (node == nullptr)
        {
            return item;
        }
        item.role = AccessibleRoles::OutlineItem;
        item.name = node->GetText();
        item.value = String() + node->GetLevel();
        item.state = AccessibleStates::Focusable | AccessibleStates::Selectable;
        if (node == m_tree.GetSelectedNode())
        {
            item.state |= AccessibleStates::Selected | (m_tree.IsFocused() ? AccessibleStates::Focused : 0);
        }
        bool parent = node->GetNodes().GetCount() > 0 || node->IsExpandable();
        if (parent)
        {
            item.state |= node->IsExpanded() && node->GetNodes().GetCount() > 0 ? AccessibleStates::Expanded
                                                                                : AccessibleStates::Collapsed;
            item.defaultAction = String(item.state & AccessibleStates::Expanded ? L"Collapse" : L"Expand");
        }
        if (m_tree.GetCheckBoxes())
        {
            item.state |= node->GetCheckState() == TreeNode::Checked         ? AccessibleStates::Checked
                          : node->GetCheckState() == TreeNode::PartlyChecked ? AccessibleStates::Mixed
                                                                             : 0;
        }
        item.bounds = m_tree.GetRowBounds(node);
        Rectangle client = m_tree.GetClientRectangle();
        if (item.bounds.GetBottom() <= 0 || item.bounds.top >= client.height)
        {
            item.state |= AccessibleStates::Offscreen;
        }
        return item;
    }

    int HitTestItem(const Point& point) override
    {
        TreeNode* node = m_tree.GetNodeAt(point);
        return node != nullptr ? m_tree.GetVisibleRow(node) : -1;
    }
    int GetFocusedItem() override { return m_tree.IsFocused() ? GetSelectedItem() : -1; }
    int GetSelectedItem() override
    {
        return m_tree.GetSelectedNode() != nullptr ? m_tree.GetVisibleRow(m_tree.GetSelectedNode()) : -1;
    }
    bool SelectItem(int index) override
    {
        TreeNode* node = m_tree.GetVisibleNode(index);
        return node != nullptr && m_tree.SetSelectedNode(node);
    }
    bool DoItemAction(int index) override
    {
        TreeNode* node = m_tree.GetVisibleNode(index);
        if (node == nullptr)
        {
            return false;
        }
        if (node->IsExpanded() && node->GetNodes().GetCount() > 0)
        {
            m_tree.CollapseNode(node);
            return true;
        }
        return m_tree.ExpandNode(node);
    }

private:
    TreeView& m_tree;
};

AccessibleObject* TreeView::CreateAccessibilityObject()
{
    return new TreeViewAccessibleObject(*this);
}

bool TreeView::IsAtOrBelow(const TreeNode* node, const TreeNode* ancestor)
{
    for (const TreeNode* current = node; current != nullptr; current = current->GetParent())
    {
        if (current == ancestor)
        {
            return true;
        }
    }
    return false;
}

bool TreeView::IsInTree(const TreeNode* node) const
{
    const TreeNodeCollection* collection = node->GetCollection();
    while (collection != nullptr && collection->GetOwner() != nullptr)
    {
        collection = collection->GetOwner()->GetCollection();
    }
    return collection == &m_nodes;
}

// --- The list of visible nodes ---

void TreeView::EnsureRows()
{
    // Texts measured before the window knew its DPI are measured again.
    if (m_rowsDirty || m_rowsDpi != m_dpi)
    {
        RebuildRows();
        UpdateScrollSize();
    }
}

namespace
{

// The rows a node and its open descendants take.
int CountRows(TreeNode* top)
{
    int rows = 0;
    std::vector<TreeNode*> open{top};
    while (!open.empty())
    {
        TreeNode* node = open.back();
        open.pop_back();
        rows++;
        if (node->IsExpanded())
        {
            TreeNodeCollection& children = node->GetNodes();
            for (int i = 0; i < children.GetCount(); i++)
            {
                open.push_back(children[i]);
            }
        }
    }
    return rows;
}

} // namespace

int TreeView::RowOf(TreeNode* node)
{
    if (!m_rowsDirty && m_rowsDpi == m_dpi)
    {
        return GetVisibleRow(node);
    }
    // The rows before the node: at each level up, the rows of the siblings before it and the parent's own.
    int row = 0;
    for (TreeNode* at = node; at != nullptr; at = at->GetParent())
    {
        TreeNode* parent = at->GetParent();
        if (parent != nullptr && !parent->IsExpanded())
        {
            return -1;
        }
        TreeNodeCollection& siblings = parent != nullptr ? parent->GetNodes() : m_nodes;
        for (int i = 0; i < siblings.GetCount() && siblings[i] != at; i++)
        {
            row += CountRows(siblings[i]);
        }
        row += parent != nullptr ? 1 : 0;
    }
    return row;
}

void TreeView::RebuildRows()
{
    m_rowsDirty = false;
    m_rowsDpi = m_dpi;
    m_rows.Clear();
    m_selectedRow = -1;
    Metrics metrics = GetMetrics();
    WindowContext context(m_handle);
    HDC screen = context.Get();
    Selection font(screen, GetFontHandle());
    int widest = 0;
    // Depth first with a stack of its own: trees may be deeper than the call stack allows.
    struct Frame
    {
        TreeNodeCollection* nodes;
        int index;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{&m_nodes, 0});
    while (!stack.empty())
    {
        Frame& frame = stack.back();
        if (frame.index >= frame.nodes->GetCount())
        {
            stack.pop_back();
            continue;
        }
        TreeNode* node = (*frame.nodes)[frame.index++];
        int level = static_cast<int>(stack.size()) - 1;
        const String& text = node->GetText();
        SIZE size = {0, 0};
        GetTextExtentPoint32W(screen, text.GetBuffer(), text.GetLength(), &size);
        VisibleNode row;
        row.node = node;
        row.level = level;
        row.textWidth = static_cast<int>(size.cx);
        if (node == m_selected)
        {
            m_selectedRow = m_rows.GetCount();
        }
        m_rows.Add(row);
        int right = TextLeft(level) + row.textWidth + 2 * metrics.textPadding + metrics.gap;
        widest = right > widest ? right : widest;
        if (node->m_expanded && node->GetNodes().GetCount() > 0)
        {
            stack.push_back(Frame{&node->GetNodes(), 0});
        }
    }
    m_contentWidth = widest;
}

void TreeView::UpdateScrollSize()
{
    Metrics metrics = GetMetrics();
    SetScrollLineSize(metrics.indent, metrics.itemHeight);
    SetScrollSize(Size{m_contentWidth, m_rows.GetCount() * metrics.itemHeight});
}

int TreeView::GetItemHeight() const
{
    return GetMetrics().itemHeight;
}

TreeView::Metrics TreeView::GetMetrics() const
{
    TreeView* self = const_cast<TreeView*>(this);
    if (m_itemHeight == 0 || m_itemHeightDpi != m_dpi)
    {
        int height = MeasureText(String(), self->GetFontHandle()).height + Scale(6);
        int least = Scale(ImageList::ImageSize + 4);
        self->m_itemHeight = height > least ? height : least;
        self->m_itemHeightDpi = m_dpi;
    }
    Metrics metrics;
    metrics.itemHeight = m_itemHeight;
    metrics.indent = Scale(19);
    metrics.glyph = Scale(16);
    metrics.checkBox = Scale(13);
    metrics.image = ImageList::GetImageSize(m_dpi);
    metrics.gap = Scale(3);
    metrics.textPadding = Scale(3);
    return metrics;
}

int TreeView::GlyphLeft(int level) const
{
    return Scale(3) + level * Scale(19);
}

int TreeView::CheckBoxLeft(int level) const
{
    return GlyphLeft(level) + Scale(16) + Scale(1);
}

int TreeView::ImageLeft(int level) const
{
    return m_checkBoxes ? CheckBoxLeft(level) + Scale(13) + Scale(4) : GlyphLeft(level) + Scale(16) + Scale(1);
}

int TreeView::TextLeft(int level) const
{
    return ImageLeft(level) + (m_imageList != nullptr ? ImageList::GetImageSize(m_dpi) + Scale(3) : 0);
}

void TreeView::OnFontChanged()
{
    m_itemHeight = 0;
    MarkDirty();
    ScrollableControl::OnFontChanged();
}

int TreeView::GetVisibleCount()
{
    EnsureRows();
    return m_rows.GetCount();
}

TreeNode* TreeView::GetVisibleNode(int row)
{
    EnsureRows();
    return row >= 0 && row < m_rows.GetCount() ? m_rows[row].node : nullptr;
}

int TreeView::GetVisibleRow(TreeNode* node)
{
    EnsureRows();
    if (node == nullptr)
    {
        return -1;
    }
    if (node == m_selected && m_selectedRow >= 0)
    {
        return m_selectedRow;
    }
    for (int i = 0; i < m_rows.GetCount(); i++)
    {
        if (m_rows[i].node == node)
        {
            return i;
        }
    }
    return -1;
}

TreeViewHitArea TreeView::HitTest(const Point& point, TreeNode** node)
{
    EnsureRows();
    *node = nullptr;
    Point position = GetScrollPosition();
    int y = point.y + position.y;
    int row = y >= 0 ? y / GetMetrics().itemHeight : -1;
    if (row < 0 || row >= m_rows.GetCount())
    {
        return TreeViewHitArea::None;
    }
    const VisibleNode& visible = m_rows[row];
    *node = visible.node;
    int x = point.x + position.x;
    int level = visible.level;
    if (x < GlyphLeft(level))
    {
        return TreeViewHitArea::Indent;
    }
    if (x < GlyphLeft(level) + Scale(16))
    {
        return TreeViewHitArea::Glyph;
    }
    if (m_checkBoxes && x < ImageLeft(level))
    {
        return x >= CheckBoxLeft(level) ? TreeViewHitArea::CheckBox : TreeViewHitArea::Indent;
    }
    if (x < TextLeft(level))
    {
        return TreeViewHitArea::Image;
    }
    if (x < TextLeft(level) + visible.textWidth + 2 * Scale(3))
    {
        return TreeViewHitArea::Text;
    }
    return TreeViewHitArea::Right;
}

TreeNode* TreeView::GetNodeAt(const Point& point)
{
    TreeNode* node = nullptr;
    HitTest(point, &node);
    return node;
}

Rectangle TreeView::GetRowBounds(TreeNode* node)
{
    int row = GetVisibleRow(node);
    if (row < 0)
    {
        return Rectangle{};
    }
    int height = GetMetrics().itemHeight;
    Rectangle client = GetViewportRectangle();
    Point position = GetScrollPosition();
    return Rectangle{0, row * height - position.y, client.width, height};
}

Rectangle TreeView::GetPartBounds(TreeNode* node, TreeViewHitArea part)
{
    Rectangle row = GetRowBounds(node);
    if (row.IsEmpty())
    {
        return row;
    }
    Metrics metrics = GetMetrics();
    const VisibleNode& visible = m_rows[GetVisibleRow(node)];
    int x = -GetScrollPosition().x;
    switch (part)
    {
    case TreeViewHitArea::Glyph:
        return Rectangle{x + GlyphLeft(visible.level), row.top, metrics.glyph, row.height};
    case TreeViewHitArea::CheckBox:
        return Rectangle{x + CheckBoxLeft(visible.level), row.top + (row.height - metrics.checkBox) / 2,
                         metrics.checkBox, metrics.checkBox};
    case TreeViewHitArea::Image:
        return Rectangle{x + ImageLeft(visible.level), row.top + (row.height - metrics.image) / 2, metrics.image,
                         metrics.image};
    case TreeViewHitArea::Text:
        return Rectangle{x + TextLeft(visible.level), row.top, visible.textWidth + 2 * metrics.textPadding, row.height};
    default:
        return row;
    }
}

void TreeView::EnsureVisible(TreeNode* node)
{
    int row = GetVisibleRow(node);
    if (row < 0 || m_handle == nullptr)
    {
        return;
    }
    int height = GetMetrics().itemHeight;
    Point position = GetScrollPosition();
    ScrollIntoView(Rectangle{position.x, row * height, 1, height});
    // Sideways only when the text starts out of view: then it comes in with a little of its indent.
    int left = TextLeft(m_rows[row].level);
    Rectangle view = GetViewRectangle();
    if (left < view.left || left >= view.GetRight() - Scale(20))
    {
        SetScrollPosition(Point{left - Scale(40), GetScrollPosition().y});
    }
}

void TreeView::SetFocusCompanion(Control* companion)
{
    if (m_focusCompanion != nullptr)
    {
        m_focusCompanion->GotFocus.Unsubscribe(&m_companionFocusHandler);
        m_focusCompanion->LostFocus.Unsubscribe(&m_companionFocusHandler);
    }
    m_focusCompanion = companion;
    if (companion != nullptr)
    {
        companion->GotFocus.Subscribe(&m_companionFocusHandler);
        companion->LostFocus.Subscribe(&m_companionFocusHandler);
    }
    if (m_selected != nullptr)
    {
        InvalidateNode(m_selected);
    }
}

bool TreeView::ShowsSelectionFocused() const
{
    return IsFocused() || (m_focusCompanion != nullptr && m_focusCompanion->IsFocused());
}

void TreeView::OnCompanionFocusChanged(Object*, EventArgs&)
{
    // The focus going to or from the tree itself repaints it anyway; going elsewhere from the companion does not.
    if (m_selected != nullptr)
    {
        InvalidateNode(m_selected);
    }
}

void TreeView::InvalidateNode(TreeNode* node)
{
    Rectangle bounds = GetRowBounds(node);
    if (!bounds.IsEmpty())
    {
        Invalidate(bounds);
    }
}

void TreeView::Refresh()
{
    m_itemHeight = 0;
    MarkDirty();
}

void TreeView::SetImageList(ImageList* imageList)
{
    m_imageList = imageList;
    MarkDirty();
}

void TreeView::SetCheckBoxes(bool checkBoxes)
{
    m_checkBoxes = checkBoxes;
    MarkDirty();
}

// --- Selection, expansion, check state ---

bool TreeView::SetSelectedNode(TreeNode* node)
{
    if (node == m_selected)
    {
        return true;
    }
    if (node != nullptr && !IsInTree(node))
    {
        throw ArgumentException(String(L"TreeView.SetSelectedNode method - the node is not in this tree"));
    }
    TreeViewCancelEventArgs before(node);
    BeforeSelect.Raise(this, before);
    // A handler may ask the user first, and the tree may change while it waits.
    if (before.GetCancel() || (node != nullptr && !IsInTree(node)))
    {
        return false;
    }
    if (m_selected != nullptr && !m_rowsDirty)
    {
        InvalidateNode(m_selected);
    }
    m_selected = node;
    m_selectedRow = -1;
    if (node != nullptr)
    {
        bool opened = false;
        for (TreeNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent())
        {
            opened = opened || !parent->m_expanded;
            parent->m_expanded = true;
        }
        if (opened)
        {
            MarkDirty();
        }
        if (!m_rowsDirty)
        {
            m_selectedRow = GetVisibleRow(node);
            InvalidateNode(node);
        }
        else
        {
            EnsureRows();
        }
        EnsureVisible(node);
    }
    if (node != nullptr)
    {
        // A screen reader follows the focus from item to item.
        if (IsFocused())
        {
            NotifyNodeChange(node, EVENT_OBJECT_FOCUS);
        }
        NotifyNodeChange(node, EVENT_OBJECT_SELECTION);
    }
    TreeViewEventArgs after(node);
    AfterSelect.Raise(this, after);
    return true;
}

bool TreeView::SelectRow(int row)
{
    EnsureRows();
    if (row < 0 || row >= m_rows.GetCount())
    {
        return false;
    }
    return SetSelectedNode(m_rows[row].node);
}

bool TreeView::ExpandNode(TreeNode* node)
{
    if (node == nullptr || node->m_expanded)
    {
        return node != nullptr;
    }
    if (!node->CanExpand())
    {
        return false;
    }
    TreeViewCancelEventArgs before(node);
    BeforeExpand.Raise(this, before);
    if (before.GetCancel() || !IsInTree(node))
    {
        return false;
    }
    if (node->GetNodes().GetCount() == 0)
    {
        // Nothing was loaded: the node has no children after all, and loses its glyph.
        node->m_expandable = false;
        MarkDirty();
        return false;
    }
    node->Expand();
    TreeViewEventArgs after(node);
    AfterExpand.Raise(this, after);
    return true;
}

void TreeView::CollapseNode(TreeNode* node)
{
    if (node == nullptr || !node->m_expanded)
    {
        return;
    }
    node->Collapse();
    // The selection must not disappear into the closed branch.
    if (m_selected != nullptr && m_selected != node && IsAtOrBelow(m_selected, node))
    {
        SetSelectedNode(node);
    }
    TreeViewEventArgs after(node);
    AfterCollapse.Raise(this, after);
}

void TreeView::ToggleNode(TreeNode* node)
{
    if (node->m_expanded)
    {
        CollapseNode(node);
    }
    else
    {
        ExpandNode(node);
    }
}

void TreeView::ExpandAll(TreeNode* node)
{
    // Straight on the nodes, with one rebuild at the end: expanding through the model would tell the
    // view (and walk up to the root) once per node.
    std::vector<TreeNode*> pending;
    if (node != nullptr)
    {
        pending.push_back(node);
    }
    else
    {
        for (int i = 0; i < m_nodes.GetCount(); i++)
        {
            pending.push_back(m_nodes[i]);
        }
    }
    while (!pending.empty())
    {
        TreeNode* current = pending.back();
        pending.pop_back();
        TreeNodeCollection& children = current->GetNodes();
        if (children.GetCount() > 0)
        {
            current->m_expanded = true;
        }
        for (int i = 0; i < children.GetCount(); i++)
        {
            pending.push_back(children[i]);
        }
    }
    MarkDirty();
}

void TreeView::CollapseAll()
{
    std::vector<TreeNode*> pending;
    for (int i = 0; i < m_nodes.GetCount(); i++)
    {
        pending.push_back(m_nodes[i]);
    }
    while (!pending.empty())
    {
        TreeNode* current = pending.back();
        pending.pop_back();
        if (!current->m_expanded)
        {
            continue;
        }
        current->m_expanded = false;
        TreeNodeCollection& children = current->GetNodes();
        for (int i = 0; i < children.GetCount(); i++)
        {
            pending.push_back(children[i]);
        }
    }
    MarkDirty();
    if (m_selected != nullptr)
    {
        TreeNode* root = m_selected;
        while (root->GetParent() != nullptr)
        {
            root = root->GetParent();
        }
        SetSelectedNode(root);
    }
}

void TreeView::ToggleCheck(TreeNode* node)
{
    node->SetCheckState(node->GetCheckState() == TreeNode::Checked ? TreeNode::Unchecked : TreeNode::Checked);
}

// --- Input ---

void TreeView::OnMouseDown(const Point& point, int button, int)
{
    Focus();
    TreeNode* node = nullptr;
    TreeViewHitArea area = HitTest(point, &node);
    if (node == nullptr || button != MouseButtons::Left)
    {
        return;
    }
    if (area == TreeViewHitArea::Glyph && node->CanExpand())
    {
        ToggleNode(node);
    }
    else if (area == TreeViewHitArea::CheckBox)
    {
        ToggleCheck(node);
    }
    else if (node == m_selected)
    {
        TreeViewEventArgs args(node);
        SelectedNodeClick.Raise(this, args);
    }
    else
    {
        SetSelectedNode(node);
    }
}

void TreeView::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    TreeNode* node = nullptr;
    TreeViewHitArea area = HitTest(point, &node);
    if (node == nullptr || button != MouseButtons::Left || area == TreeViewHitArea::Glyph ||
        area == TreeViewHitArea::CheckBox)
    {
        // A quick second click on the glyph or box counts as a click of its own.
        OnMouseDown(point, button, keys);
        return;
    }
    if (SetSelectedNode(node) && node->CanExpand())
    {
        ToggleNode(node);
    }
}

bool TreeView::IsInputKey(int keyData) const
{
    return Keys::IsNavigation(keyData);
}

int TreeView::RowsPerPage()
{
    int rows = GetViewportRectangle().height / GetMetrics().itemHeight;
    return rows > 1 ? rows : 1;
}

void TreeView::DropCharacter()
{
    // The keypad's +, - and * also arrive as characters, which must not act a second time.
    MSG message;
    PeekMessageW(&message, m_handle, WM_CHAR, WM_CHAR, PM_REMOVE | PM_NOYIELD);
}

bool TreeView::OnKeyDown(int keyData)
{
    EnsureRows();
    int count = m_rows.GetCount();
    if (count == 0)
    {
        return false;
    }
    int current = m_selected != nullptr ? m_selectedRow : -1;
    int last = count - 1;
    auto clamp = [last](int row) { return row < 0 ? 0 : (row > last ? last : row); };
    switch (keyData & Keys::KeyCode)
    {
    case Keys::Up:
        SelectRow(current < 0 ? 0 : clamp(current - 1));
        return true;
    case Keys::Down:
        SelectRow(current < 0 ? 0 : clamp(current + 1));
        return true;
    case Keys::Home:
        SelectRow(0);
        return true;
    case Keys::End:
        SelectRow(last);
        return true;
    case Keys::PageUp:
        SelectRow(clamp(current - (RowsPerPage() - 1)));
        return true;
    case Keys::PageDown:
        SelectRow(clamp(current < 0 ? RowsPerPage() - 1 : current + (RowsPerPage() - 1)));
        return true;
    case Keys::Left:
        CollapseOrMoveToParent();
        return true;
    case Keys::Right:
        ExpandOrMoveToChild();
        return true;
    case VK_ADD:
        DropCharacter();
        ExpandNode(m_selected);
        return true;
    case VK_SUBTRACT:
        DropCharacter();
        CollapseNode(m_selected);
        return true;
    case VK_MULTIPLY:
        DropCharacter();
        if (m_selected != nullptr)
        {
            ExpandAll(m_selected);
        }
        return true;
    case Keys::Space:
        if (m_checkBoxes && m_selected != nullptr)
        {
            ToggleCheck(m_selected);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void TreeView::CollapseOrMoveToParent()
{
    if (m_selected == nullptr)
    {
        SelectRow(0);
    }
    else if (m_selected->m_expanded && m_selected->GetNodes().GetCount() > 0)
    {
        CollapseNode(m_selected);
    }
    else if (m_selected->GetParent() != nullptr)
    {
        SetSelectedNode(m_selected->GetParent());
    }
}

void TreeView::ExpandOrMoveToChild()
{
    if (m_selected == nullptr)
    {
        SelectRow(0);
    }
    else if (!m_selected->m_expanded && m_selected->CanExpand())
    {
        ExpandNode(m_selected);
    }
    else if (m_selected->m_expanded && m_selected->GetNodes().GetCount() > 0)
    {
        SetSelectedNode(m_selected->GetFirstNode());
    }
}

bool TreeView::OnKeyPress(wchar_t character)
{
    switch (character)
    {
    case L'+':
        ExpandNode(m_selected);
        return true;
    case L'-':
        CollapseNode(m_selected);
        return true;
    case L'*':
        if (m_selected != nullptr)
        {
            ExpandAll(m_selected);
        }
        return true;
    default:
        return character > L' ' && TypeAhead(character);
    }
}

// --- Find ---

namespace
{

// Walks every node in the order the tree shows them with every node expanded, from a node on either way,
// wrapping at the ends: the path from the roots to the current node, as each level's collection and index.
class NodeWalk
{
public:
    // Starts at node; null starts before the first root (or, going back, after the last node).
    NodeWalk(TreeNodeCollection& roots, TreeNode* node) : m_roots(roots)
    {
        for (TreeNode* current = node; current != nullptr; current = current->GetParent())
        {
            m_path.push_back(Level{current->GetCollection(), current->GetIndex()});
        }
        std::reverse(m_path.begin(), m_path.end());
    }

    TreeNode* Next()
    {
        if (!m_path.empty())
        {
            TreeNodeCollection& children = Current()->GetNodes();
            if (children.GetCount() > 0)
            {
                m_path.push_back(Level{&children, 0});
                return Current();
            }
        }
        while (!m_path.empty())
        {
            Level& level = m_path.back();
            if (level.index + 1 < level.collection->GetCount())
            {
                level.index++;
                return Current();
            }
            m_path.pop_back();
        }
        // Past the last node: round to the first.
        if (m_roots.GetCount() == 0)
        {
            return nullptr;
        }
        m_path.push_back(Level{&m_roots, 0});
        return Current();
    }

    TreeNode* Previous()
    {
        if (m_path.empty())
        {
            // Before the first node: round to the last.
            if (m_roots.GetCount() == 0)
            {
                return nullptr;
            }
            m_path.push_back(Level{&m_roots, m_roots.GetCount()});
        }
        Level& level = m_path.back();
        if (level.index == 0)
        {
            m_path.pop_back();
            return m_path.empty() ? Previous() : Current();
        }
        level.index--;
        // The last node below the sibling before.
        for (TreeNodeCollection* children = &Current()->GetNodes(); children->GetCount() > 0;
             children = &Current()->GetNodes())
        {
            m_path.push_back(Level{children, children->GetCount() - 1});
        }
        return Current();
    }

private:
    struct Level
    {
        TreeNodeCollection* collection; // not owned: belongs to the tree
        int index;
    };

    TreeNode* Current() const { return (*m_path.back().collection)[m_path.back().index]; }

    TreeNodeCollection& m_roots;
    std::vector<Level> m_path;
};

} // namespace

TreeNode* TreeView::FindNextNode(const String& text, TreeNode* after)
{
    return FindNode(text, after, true);
}

TreeNode* TreeView::FindPreviousNode(const String& text, TreeNode* before)
{
    return FindNode(text, before, false);
}

TreeNode* TreeView::FindNode(const String& text, TreeNode* start, bool forward)
{
    if (start != nullptr && !IsInTree(start))
    {
        throw ArgumentException(String(L"TreeView.FindNextNode method - the node is not in this tree"));
    }
    TextFinder finder(text);
    if (finder.IsEmpty())
    {
        return nullptr;
    }
    NodeWalk walk(m_nodes, start);
    // Round once: the search ends at the node it started from, looked at last.
    TreeNode* end = start;
    for (;;)
    {
        TreeNode* node = forward ? walk.Next() : walk.Previous();
        if (node == nullptr)
        {
            return nullptr;
        }
        if (finder.IsFoundIn(node->GetText()))
        {
            return node;
        }
        if (node == end)
        {
            return nullptr;
        }
        end = end != nullptr ? end : node;
    }
}

namespace
{

bool StartsWith(const String& text, const String& prefix)
{
    if (text.GetLength() < prefix.GetLength())
    {
        return false;
    }
    return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, text.GetBuffer(), prefix.GetLength(),
                           prefix.GetBuffer(), prefix.GetLength(), nullptr, nullptr, 0) == CSTR_EQUAL;
}

} // namespace

bool TreeView::TypeAhead(wchar_t character)
{
    unsigned long now = GetTickCount();
    if (now - m_lastTypeTime > TypeAheadTimeout)
    {
        m_typed = String();
    }
    m_lastTypeTime = now;
    m_typed += character;
    EnsureRows();
    int count = m_rows.GetCount();
    if (count == 0)
    {
        return true;
    }
    // The same letter again and again steps through the nodes that start with it.
    bool repeated = true;
    for (int i = 1; i < m_typed.GetLength() && repeated; i++)
    {
        repeated = m_typed[i] == m_typed[0];
    }
    String prefix = repeated ? String(m_typed.GetBuffer(), 1) : m_typed;
    int current = m_selected != nullptr ? m_selectedRow : -1;
    // A new search starts after the selection; a longer prefix may still match the selection itself.
    int start = repeated ? current + 1 : (current < 0 ? 0 : current);
    for (int i = 0; i < count; i++)
    {
        int row = (start + i) % count;
        if (StartsWith(m_rows[row].node->GetText(), prefix))
        {
            SelectRow(row);
            return true;
        }
    }
    return true;
}

intptr_t TreeView::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (message == WM_PAINT)
    {
        // Before BeginPaint: the rebuild may show or hide a scroll bar.
        EnsureRows();
    }
    return ScrollableControl::WndProc(message, wParam, lParam);
}

// --- Painting ---

void TreeView::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    EnsureRows();
    Metrics metrics = GetMetrics();
    Point position = GetScrollPosition();
    int height = metrics.itemHeight;
    int first = (clip.top + position.y) / height;
    int last = (clip.GetBottom() - 1 + position.y) / height;
    last = last < m_rows.GetCount() - 1 ? last : m_rows.GetCount() - 1;
    for (int row = first < 0 ? 0 : first; row <= last; row++)
    {
        PaintRow(graphics, m_rows[row], row * height - position.y, metrics);
    }
}

void TreeView::PaintRow(Graphics& graphics, const VisibleNode& row, int y, const Metrics& metrics)
{
    TreeNode* node = row.node;
    int x = -GetScrollPosition().x;
    int height = metrics.itemHeight;
    bool enabled = IsEnabled();
    if (node->CanExpand())
    {
        Rectangle box{x + GlyphLeft(row.level), y, metrics.glyph, height};
        Color glyph = node->m_expanded ? Colors::Blend(Theme::WindowText(), Theme::Window(), 70)
                                       : Colors::Blend(Theme::WindowText(), Theme::Window(), 50);
        graphics.DrawChevron(box, node->m_expanded ? Direction::Down : Direction::Right, glyph);
    }
    if (m_checkBoxes)
    {
        Rectangle box{x + CheckBoxLeft(row.level), y + (height - metrics.checkBox) / 2, metrics.checkBox,
                      metrics.checkBox};
        PaintCheckBox(graphics, box, node->GetCheckState());
    }
    if (m_imageList != nullptr)
    {
        int index = node->GetImageIndex();
        if (index >= 0 && index < m_imageList->GetCount())
        {
            m_imageList->Draw(graphics, index, x + ImageLeft(row.level), y + (height - metrics.image) / 2, enabled);
        }
    }
    Rectangle text{x + TextLeft(row.level), y + Scale(1), row.textWidth + 2 * metrics.textPadding,
                   height - 2 * Scale(1)};
    Color textColor = enabled ? GetForeColor() : Theme::GrayText();
    if (node == m_selected)
    {
        bool focused = ShowsSelectionFocused();
        graphics.FillRectangle(text, focused ? Theme::Highlight() : Theme::Face());
        textColor = focused ? Theme::HighlightText() : Theme::ControlText();
    }
    graphics.DrawString(node->GetText(), text.Deflate(metrics.textPadding, 0), GetFontHandle(), textColor,
                        TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix);
    if (node == m_selected && IsFocused())
    {
        graphics.DrawFocusRectangle(text, Theme::HighlightText(), Theme::Highlight());
    }
}

void TreeView::PaintCheckBox(Graphics& graphics, const Rectangle& box, int state)
{
    bool enabled = IsEnabled();
    Color border = enabled ? Colors::Blend(Theme::WindowText(), Theme::Window(), 75) : Theme::GrayText();
    Color mark = enabled ? Theme::WindowText() : Theme::GrayText();
    graphics.FillRectangle(box, enabled ? Theme::Window() : Theme::Face());
    graphics.DrawRectangle(box, border, graphics.Scale(1));
    if (state == TreeNode::Checked)
    {
        graphics.DrawCheckMark(box.Deflate(graphics.Scale(1), graphics.Scale(1)), mark);
    }
    else if (state == TreeNode::PartlyChecked)
    {
        int inset = graphics.Scale(3);
        graphics.FillRectangle(box.Deflate(inset, inset), mark);
    }
}

} // namespace Core::Controls
