// A menu item: text with mnemonic, command id, image, shortcut, enabled flag, separator above, and
// its own ContextMenu holding its child items (an item with children opens them instead of raising
// a command).
#pragma once

#include "core/controls/Keys.h"
#include "core/controls/ToolBarItem.h"

namespace Core::Controls
{

class ContextMenu;
class MenuItem;

// The items of a menu, typed: a view of the bar's item collection, which owns them.
class MenuItemCollection
{
public:
    explicit MenuItemCollection(ToolBarItemCollection& items) : m_items(items) {}

    void Add(MenuItem* item);
    void Insert(int index, MenuItem* item);
    void RemoveAt(int index);
    void Clear();
    int GetCount() const;
    MenuItem* operator[](int index) const;
    MenuItem* GetItem(int index) const { return (*this)[index]; }

private:
    ToolBarItemCollection& m_items;
};

class MenuItem : public ToolBarDropDownItem
{
public:
    explicit MenuItem(const String& text, int commandId = -1, int imageIndex = -1, Shortcut shortcut = Shortcut::None);

    void SetShortcut(Shortcut shortcut);
    Shortcut GetShortcut() const { return m_shortcut; }
    String GetShortcutText() const override { return m_shortcut.ToString(); }
    String GetToolTipText() const override { return String(); }
    // The child items; the item's ContextMenu is made on first use.
    MenuItemCollection& GetMenuItems();
    int GetMenuItemCount() const;

private:
    ContextMenu* EnsureChildren();

    Shortcut m_shortcut;
};

} // namespace Core::Controls
