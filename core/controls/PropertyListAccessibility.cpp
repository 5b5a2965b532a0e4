// The property list's accessible object: an outline whose items are the rows shown, each named by its name with its
// value as the value, and the events that tell screen readers of the selection and of rows opened and closed.
#include "core/controls/PropertyList.h"

#include "core/controls/Accessibility.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int NoRow = PropertyListModel::NoRow;

// Items are positions among the rows shown, as the tree view's are; a row's type and key mark describe it.
class PropertyListAccessibleObject : public AccessibleObject
{
public:
    explicit PropertyListAccessibleObject(PropertyList& list) : AccessibleObject(list), m_list(list) {}

    int GetRole() override { return AccessibleRoles::Outline; }
    int GetItemCount() override { return m_list.GetModel().GetVisibleRowCount(); }

    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        int row = RowAt(index);
        if (row == NoRow)
        {
            return item;
        }
        PropertyListModel& model = m_list.GetModel();
        int flags = model.GetFlags(row);
        bool group = (flags & PropertyRowFlags::Group) != 0;
        item.role = AccessibleRoles::OutlineItem;
        item.name = model.GetName(row);
        if (!group)
        {
            item.value = model.GetValue(row);
            String type = model.GetType(row);
            item.description =
                (flags & PropertyRowFlags::Key) != 0 ? (type.IsEmpty() ? String(L"Key") : L"Key, " + type) : type;
        }
        item.state = AccessibleStates::Focusable | AccessibleStates::Selectable;
        if (model.IsRowSelected(row))
        {
            item.state |= AccessibleStates::Selected;
        }
        if (m_list.IsFocused() && row == model.GetSelectedRow())
        {
            item.state |= AccessibleStates::Focused;
        }
        if (model.GetChildCount(row) > 0)
        {
            bool expanded = model.IsExpanded(row);
            item.state |= expanded ? AccessibleStates::Expanded : AccessibleStates::Collapsed;
            item.defaultAction = String(expanded ? L"Collapse" : L"Expand");
        }
        if ((flags & PropertyRowFlags::Link) != 0 && !group)
        {
            item.state |= AccessibleStates::Linked;
            item.defaultAction = String(L"Jump");
        }
        item.bounds = m_list.GetRowBounds(row);
        if (item.bounds.GetBottom() <= m_list.GetHeaderHeight() ||
            item.bounds.top >= m_list.GetViewportRectangle().height)
        {
            item.state |= AccessibleStates::Offscreen;
        }
        return item;
    }

    int HitTestItem(const Point& point) override
    {
        int row = m_list.GetRowAt(point);
        return row != NoRow ? m_list.GetModel().GetPositionOf(row) : -1;
    }
    int GetFocusedItem() override { return m_list.IsFocused() ? GetSelectedItem() : -1; }
    int GetSelectedItem() override
    {
        int row = m_list.GetSelectedRow();
        return row != NoRow ? m_list.GetModel().GetPositionOf(row) : -1;
    }
    bool SelectItem(int index) override
    {
        int row = RowAt(index);
        if (row == NoRow)
        {
            return false;
        }
        m_list.SelectRow(row);
        return true;
    }
    bool DoItemAction(int index) override
    {
        int row = RowAt(index);
        if (row == NoRow)
        {
            return false;
        }
        if (m_list.ActivateLink(row))
        {
            return true;
        }
        if (m_list.GetModel().GetChildCount(row) == 0)
        {
            return false;
        }
        m_list.ToggleRow(row);
        return true;
    }

private:
    int RowAt(int index)
    {
        PropertyListModel& model = m_list.GetModel();
        return index >= 0 && index < model.GetVisibleRowCount() ? model.GetVisibleRow(index) : NoRow;
    }

    PropertyList& m_list;
};

} // namespace

AccessibleObject* PropertyList::CreateAccessibilityObject()
{
    return new PropertyListAccessibleObject(*this);
}

void PropertyList::NotifyAccessibleSelection()
{
    if (m_model.IsAllSelected())
    {
        NotifyAccessibleEvent(*this, EVENT_OBJECT_SELECTIONWITHIN);
        return;
    }
    int row = m_model.GetSelectedRow();
    int position = row != NoRow ? m_model.GetPositionOf(row) : -1;
    if (position < 0)
    {
        return;
    }
    // A screen reader follows the focus from row to row.
    if (IsFocused())
    {
        NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, position);
    }
    NotifyAccessibleEvent(*this, EVENT_OBJECT_SELECTION, position);
}

void PropertyList::NotifyAccessibleExpansion(int row)
{
    int position = m_model.GetPositionOf(row);
    if (position >= 0)
    {
        NotifyAccessibleEvent(*this, EVENT_OBJECT_STATECHANGE, position);
    }
    // The items below are others now.
    NotifyAccessibleEvent(*this, EVENT_OBJECT_REORDER);
}

} // namespace Core::Controls
