// A pop-up menu of MenuItems: shown at a point of the screen for a control (its context menu), and
// the drop-down that holds a menu item's children.
#pragma once

#include "core/controls/MenuItem.h"
#include "core/controls/ToolBarDropDown.h"

namespace Core::Controls
{

class ContextMenu : public ToolBarDropDown
{
public:
    ContextMenu();

    MenuItemCollection& GetMenuItems() { return m_menuItems; }
    // Opens the menu at a point of the screen for the control; a click raises this menu's Click
    // (or, for an item's children, the Click of the menu at the root).
    void Show(Control* owner, const Point& screenPoint);

protected:
    void ValidateItem(ToolBarItem* item) override;

private:
    MenuItemCollection m_menuItems;
};

} // namespace Core::Controls
