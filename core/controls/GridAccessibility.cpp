// The grid's accessible objects: a table whose first row holds the column headers, then a row object for each row
// shown, whose cells are its items; and the events that tell screen readers of the focus, the selection and the rows.
#include "core/controls/Grid.h"

#include "core/controls/Accessibility.h"

#include <windows.h>

namespace Core::Controls
{

// Rows are objects of their own, made only when a client asks for one, so a million rows cost nothing until
// then; their cells are simple items named by their text and described by their column's header. A row object
// stands for its row, not for a place in the order, so a client holding it across a sort still reads that row.

namespace
{

class GridRowAccessibleObject : public AccessibleObject
{
public:
    // row -1 is the row of column headers.
    GridRowAccessibleObject(Grid& grid, const AccessibleObject& owner, int row)
        : AccessibleObject(grid, owner), m_grid(grid), m_row(row), m_clearCount(grid.GetModel().GetClearCount())
    {
    }

    // Gone while the filter hides the row, and for good once the rows are cleared: a new row may take its index.
    bool IsPresent() override
    {
        return m_row < 0 || (m_grid.GetModel().GetClearCount() == m_clearCount && m_row < m_grid.GetRowCount() &&
                             m_grid.IsRowVisible(m_row));
    }
    int GetRole() override { return AccessibleRoles::Row; }
    String GetName() override
    {
        if (m_row < 0)
        {
            return String(L"Column headers");
        }
        return m_grid.GetColumns().GetCount() > 0 ? m_grid.GetShownText(m_row, 0) : String();
    }
    int GetState() override
    {
        if (m_row < 0)
        {
            return 0;
        }
        int state = AccessibleStates::Selectable | AccessibleStates::Focusable;
        if (m_grid.IsRowSelected(m_row))
        {
            state |= AccessibleStates::Selected;
        }
        if (m_grid.IsFocused() && m_grid.GetSelectedRow() == m_row)
        {
            state |= AccessibleStates::Focused;
        }
        Rectangle bounds = RowBounds();
        if (bounds.GetBottom() <= m_grid.GetHeaderHeight() || bounds.top >= m_grid.GetClientRectangle().height)
        {
            state |= AccessibleStates::Offscreen;
        }
        return state;
    }
    Rectangle GetScreenBounds() override { return ClientToScreen(m_grid, RowBounds()); }
    void* GetParentInterface() override { return m_grid.GetAccessibilityObject().GetInterface(); }
    int GetChildControlCount() override { return 0; }
    Control* GetChildControl(int) override { return nullptr; }

    int GetItemCount() override { return m_grid.GetColumns().GetCount(); }
    AccessibleItem GetItem(int column) override
    {
        AccessibleItem item;
        Rectangle row = RowBounds();
        int right = m_grid.GetColumnRight(column);
        int left = column == 0 ? -m_grid.GetScrollPosition().x : m_grid.GetColumnRight(column - 1);
        item.bounds = Rectangle{left, row.top, right - left, row.height};
        if (m_row < 0)
        {
            item.role = AccessibleRoles::ColumnHeader;
            item.name = m_grid.GetHeaderText(column);
            item.defaultAction = String(L"Sort");
            return item;
        }
        item.role = AccessibleRoles::Cell;
        item.name = m_grid.GetShownText(m_row, column);
        item.description = m_grid.GetHeaderText(column);
        item.state = GetState() & (AccessibleStates::Selected | AccessibleStates::Offscreen);
        return item;
    }
    int HitTestItem(const Point& point) override { return m_grid.GetColumnAt(point); }
    bool DoItemAction(int column) override
    {
        if (m_row >= 0)
        {
            return false;
        }
        bool descending = m_grid.GetSortColumn() == column && !m_grid.IsSortDescending();
        m_grid.Sort(column, descending);
        return true;
    }

private:
    Rectangle RowBounds()
    {
        if (m_row < 0)
        {
            return Rectangle{0, 0, m_grid.GetClientRectangle().width, m_grid.GetHeaderHeight()};
        }
        return m_grid.GetRowBounds(m_row);
    }

    Grid& m_grid;
    int m_row;             // as added
    uint64_t m_clearCount; // the model's when the object was made
};

class GridAccessibleObject : public AccessibleObject
{
public:
    explicit GridAccessibleObject(Grid& grid) : AccessibleObject(grid), m_grid(grid) {}

    int GetRole() override { return AccessibleRoles::Table; }
    // Item 0 is the row of column headers; item i the row shown i-th.
    int GetItemCount() override { return m_grid.GetVisibleRowCount() + 1; }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::Row;
        if (index > 0)
        {
            item.bounds = m_grid.GetRowBounds(m_grid.GetRowAtViewIndex(index - 1));
        }
        return item;
    }
    void* GetItemObject(int index) override
    {
        if (index < 0 || index >= GetItemCount())
        {
            return nullptr;
        }
        int row = index == 0 ? -1 : m_grid.GetRowAtViewIndex(index - 1);
        return CreateWindowlessAccessible(new GridRowAccessibleObject(m_grid, *this, row));
    }
    int HitTestItem(const Point& point) override
    {
        if (point.y < m_grid.GetHeaderHeight())
        {
            return 0;
        }
        int row = m_grid.GetRowAt(point);
        return row >= 0 ? m_grid.GetViewIndexOfRow(row) + 1 : -1;
    }
    int GetFocusedItem() override { return m_grid.IsFocused() ? GetSelectedItem() : -1; }
    int GetSelectedItem() override
    {
        int row = m_grid.GetSelectedRow();
        int view = row >= 0 && row < m_grid.GetModel().GetRowCount() ? m_grid.GetViewIndexOfRow(row) : -1;
        return view >= 0 ? view + 1 : -1;
    }
    bool SelectItem(int index) override
    {
        if (index < 1 || index >= GetItemCount())
        {
            return false;
        }
        m_grid.SelectRow(m_grid.GetRowAtViewIndex(index - 1));
        return true;
    }

private:
    Grid& m_grid;
};

} // namespace

AccessibleObject* Grid::CreateAccessibilityObject()
{
    return new GridAccessibleObject(*this);
}

void Grid::NotifyAccessibleSelection()
{
    int focus = m_view.GetFocusRow();
    int view = focus >= 0 && focus < m_model.GetRowCount() ? GetViewIndexOfRow(focus) : -1;
    if (view < 0)
    {
        return;
    }
    // Item 0 is the header row: the row shown i-th is item i + 1.
    int item = view + 1;
    if (IsFocused())
    {
        NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, item);
    }
    NotifyAccessibleEvent(*this, EVENT_OBJECT_SELECTION, item);
}

void Grid::NotifyAccessibleReorder()
{
    // The table's rows are others now: screen readers ask again.
    NotifyAccessibleEvent(*this, EVENT_OBJECT_REORDER);
}

} // namespace Core::Controls
