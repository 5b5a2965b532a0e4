#include "core/controls/MenuItem.h"

#include "core/Exception.h"
#include "core/controls/ContextMenu.h"

namespace Core::Controls
{

void MenuItemCollection::Add(MenuItem* item)
{
    m_items.Add(item);
}

void MenuItemCollection::Insert(int index, MenuItem* item)
{
    m_items.Insert(index, item);
}

void MenuItemCollection::RemoveAt(int index)
{
    m_items.RemoveAt(index);
}

void MenuItemCollection::Clear()
{
    m_items.Clear();
}

int MenuItemCollection::GetCount() const
{
    return m_items.GetCount();
}

MenuItem* MenuItemCollection::operator[](int index) const
{
    // Menus accept only menu items (ValidateItem), so the cast holds.
    return static_cast<MenuItem*>(m_items[index]);
}

MenuItem::MenuItem(const String& text, int commandId, int imageIndex, Shortcut shortcut)
    : ToolBarDropDownItem(text, commandId, imageIndex), m_shortcut(shortcut)
{
}

void MenuItem::SetShortcut(Shortcut shortcut)
{
    m_shortcut = shortcut;
    Changed(true);
}

ContextMenu* MenuItem::EnsureChildren()
{
    if (m_dropDown == nullptr)
    {
        SetDropDown(new ContextMenu());
    }
    return static_cast<ContextMenu*>(m_dropDown);
}

MenuItemCollection& MenuItem::GetMenuItems()
{
    return EnsureChildren()->GetMenuItems();
}

int MenuItem::GetMenuItemCount() const
{
    return m_dropDown != nullptr ? m_dropDown->GetButtons().GetCount() : 0;
}

} // namespace Core::Controls
