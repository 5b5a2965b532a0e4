// The children of a control: adding makes their windows when the parent has one, removing destroys them.
#include "core/controls/Control.h"

#include "core/Exception.h"

namespace Core::Controls
{

// --- ControlCollection ---

ControlCollection::ControlCollection(Control* owner) : m_owner(owner) {}

ControlCollection::~ControlCollection()
{
    for (int i = 0; i < m_count; i++)
    {
        m_items[i]->m_parent = nullptr;
    }
}

void ControlCollection::Insert(int index, Control* control)
{
    if (control == nullptr)
    {
        throw ArgumentNullException(String(L"control"));
    }
    if (!control->m_windowType.IsChild())
    {
        throw InvalidOperationException(
            String(L"Control.SetParent method can only be called on child control of WindowType::ChildControl."));
    }
    for (Control* ancestor = m_owner; ancestor != nullptr; ancestor = ancestor->m_parent)
    {
        if (ancestor == control)
        {
            throw ArgumentException(String(L"ControlCollection.Insert method - a control cannot contain itself"));
        }
    }
    if (control->m_parent == m_owner)
    {
        return;
    }
    if (control->m_parent != nullptr)
    {
        control->m_parent->m_controls.Remove(control);
    }
    Collections::Collection<Control*>::Insert(index, control);
    control->m_parent = m_owner;
    if (m_owner->m_handle != nullptr && control->m_visible)
    {
        try
        {
            control->Create();
        }
        catch (...)
        {
            // A control whose window cannot be made does not stay half added.
            Collections::Collection<Control*>::RemoveAt(IndexOf(control));
            control->m_parent = nullptr;
            throw;
        }
    }
    m_owner->PerformLayout();
}

void ControlCollection::RemoveAt(int index)
{
    CheckIndex(index, m_count - 1, L"Core::Controls::ControlCollection.RemoveAt method - index out of range");
    Control* control = m_items[index];
    Collections::Collection<Control*>::RemoveAt(index);
    control->m_parent = nullptr;
    control->DestroyHandle();
    m_owner->PerformLayout();
}

void ControlCollection::Clear()
{
    while (m_count > 0)
    {
        RemoveAt(m_count - 1);
    }
}

int ControlCollection::IndexOf(const Control* control) const
{
    for (int i = 0; i < m_count; i++)
    {
        if (m_items[i] == control)
        {
            return i;
        }
    }
    return -1;
}

void ControlCollection::Remove(Control* control)
{
    int index = IndexOf(control);
    if (index >= 0)
    {
        RemoveAt(index);
    }
}

} // namespace Core::Controls
