#include "core/controls/MainMenu.h"

#include "core/Exception.h"
#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/MenuTracker.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolBarDropDown.h"

namespace Core::Controls
{

namespace
{

constexpr int ItemPadding = 8;

MenuItem* FindIn(MenuItemCollection& items, int keyData)
{
    for (int i = 0; i < items.GetCount(); i++)
    {
        MenuItem* item = items[i];
        if (item->IsEnabled() && !item->GetShortcut().IsNone() && item->GetShortcut().GetValue() == keyData)
        {
            return item;
        }
        if (item->GetMenuItemCount() > 0)
        {
            if (MenuItem* found = FindIn(item->GetMenuItems(), keyData))
            {
                return found;
            }
        }
    }
    return nullptr;
}

} // namespace

MainMenu::MainMenu() : m_menuItems(GetButtons())
{
    SetClassName(String(L"Core.Controls.MainMenu"));
    SetHeight(26);
}

void MainMenu::ValidateItem(ToolBarItem* item)
{
    if (dynamic_cast<MenuItem*>(item) == nullptr)
    {
        throw ArgumentException(String(L"MainMenu - only menu items can be added to a menu"));
    }
}

Size MainMenu::GetPreferredSize()
{
    return Size{GetBounds().width, 26};
}

Color MainMenu::GetDefaultBackColor() const
{
    return Theme::MenuBar();
}

Color MainMenu::GetDefaultForeColor() const
{
    return Theme::MenuText();
}

FontHandle MainMenu::GetDefaultFontHandle()
{
    return Theme::GetFont(Theme::FontKind::Menu, GetDpi());
}

MenuItem* MainMenu::FindShortcut(int keyData)
{
    return FindIn(m_menuItems, keyData);
}

bool MainMenu::ProcessShortcut(int keyData)
{
    // Only combinations with Ctrl or Shift, and the function keys, are shortcuts; other plain keys belong to the
    // focused control.
    int key = keyData & Keys::KeyCode;
    if ((keyData & (Keys::Control | Keys::Shift)) == 0 && (key < Keys::F1 || key > Keys::F24))
    {
        return false;
    }
    MenuItem* item = FindShortcut(keyData);
    if (item == nullptr)
    {
        return false;
    }
    MenuTracker::Instance().Close();
    PerformItemClick(item);
    return true;
}

bool MainMenu::OpenByMnemonic(wchar_t character)
{
    if (character == 0 || !IsVisible())
    {
        return false;
    }
    for (int i = 0; i < m_menuItems.GetCount(); i++)
    {
        if (m_menuItems[i]->GetMnemonic() == character && m_menuItems[i]->IsEnabled())
        {
            MenuTracker::Instance().OpenBarItem(this, i, true);
            return true;
        }
    }
    return false;
}

void MainMenu::EnterMenuMode()
{
    if (m_menuItems.GetCount() > 0 && IsVisible())
    {
        MenuTracker::Instance().EnterBar(this, 0);
    }
}

void MainMenu::ComputeLayout(Collections::ArrayList<Rectangle>& bounds)
{
    Rectangle client = GetClientRectangle();
    FontHandle font = GetFontHandle();
    int x = Scale(2);
    ImageList* images = GetImageList();
    for (int i = 0; i < m_menuItems.GetCount(); i++)
    {
        MenuItem* item = m_menuItems[i];
        int width = MeasureText(item->GetText(), font).width + 2 * Scale(ItemPadding);
        if (images != nullptr && item->GetImageIndex() >= 0)
        {
            width += ImageList::GetImageSize(GetDpi()) + Scale(4);
        }
        bounds.Add(Rectangle{x, Scale(1), width, client.height - Scale(2)});
        x += width;
    }
}

void MainMenu::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    for (int i = 0; i < m_menuItems.GetCount(); i++)
    {
        Rectangle bounds = GetItemBounds(i);
        if (bounds.IntersectsWith(clip))
        {
            PaintItem(graphics, i, bounds);
        }
    }
}

void MainMenu::PaintItem(Graphics& graphics, int index, const Rectangle& bounds)
{
    MenuItem* item = m_menuItems[index];
    bool enabled = item->IsEnabled() && IsEnabled();
    bool open = index == GetOpenIndex();
    bool hot = index == GetHotIndex();
    Color text = enabled ? GetForeColor() : Theme::GrayText();
    if (enabled && (open || hot))
    {
        graphics.FillRectangle(bounds, open ? Theme::PressedFill() : Theme::MenuHotFill());
        graphics.DrawRectangle(bounds, open ? Theme::PressedBorder() : Theme::MenuHotBorder(), graphics.Scale(1));
        text = Theme::IsHighContrast() ? Theme::HighlightText() : text;
    }
    Rectangle content = bounds;
    ImageList* images = GetImageList();
    if (images != nullptr && item->GetImageIndex() >= 0)
    {
        int size = ImageList::GetImageSize(graphics.GetDpi());
        images->Draw(graphics, item->GetImageIndex(), content.left + graphics.Scale(ItemPadding),
                     content.top + (content.height - size) / 2, enabled);
        content.left += size + graphics.Scale(4);
        content.width -= size + graphics.Scale(4);
    }
    graphics.DrawString(item->GetText(),
                        Rectangle{content.left + graphics.Scale(ItemPadding), content.top,
                                  content.width - graphics.Scale(ItemPadding), content.height},
                        GetFontHandle(), text, TextFormat::SingleLine | TextFormat::VerticalCenter);
}

void MainMenu::OnMouseDown(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    int index = HitTest(point);
    if (index >= 0 && m_menuItems[index]->IsEnabled())
    {
        MenuTracker::Instance().OpenBarItem(this, index, false);
    }
}

void MainMenu::OnMouseMove(const Point& point, int)
{
    SetHotIndex(HitTest(point));
}

void MainMenu::OnMouseUp(const Point&, int, int) {}

} // namespace Core::Controls
