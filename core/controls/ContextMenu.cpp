#include "core/controls/ContextMenu.h"

#include "core/Exception.h"
#include "core/controls/MenuTracker.h"

namespace Core::Controls
{

ContextMenu::ContextMenu() : m_menuItems(GetButtons())
{
    SetClassName(String(L"Core.Controls.ContextMenu"));
}

void ContextMenu::ValidateItem(ToolBarItem* item)
{
    if (dynamic_cast<MenuItem*>(item) == nullptr)
    {
        throw ArgumentException(String(L"ContextMenu - only menu items can be added to a menu"));
    }
}

void ContextMenu::Show(Control* owner, const Point& screenPoint)
{
    if (owner == nullptr)
    {
        throw ArgumentNullException(String(L"owner"));
    }
    MenuTracker::Instance().ShowContextMenu(this, owner, screenPoint);
}

} // namespace Core::Controls
