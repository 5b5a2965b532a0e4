#include "core/controls/ToolBarDropDown.h"

#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int Border = 1;
constexpr int VerticalPadding = 3;
constexpr int ImageColumn = 30;
constexpr int TextGap = 6;
constexpr int ShortcutGap = 32;
constexpr int ArrowColumn = 22;
constexpr int MinimumWidth = 140;
} // namespace

ToolBarDropDown::ToolBarDropDown()
{
    SetClassName(String(L"Core.Controls.ToolBarDropDown"));
    SetWindowType(WindowType::PopupWindow);
}

ToolBar* ToolBarDropDown::GetRootBar()
{
    if (m_ownerItem != nullptr && m_ownerItem->GetOwner() != nullptr)
    {
        return m_ownerItem->GetOwner()->GetRootBar();
    }
    return this;
}

ImageList* ToolBarDropDown::GetImageList() const
{
    if (ToolBar::GetImageList() != nullptr)
    {
        return ToolBar::GetImageList();
    }
    if (m_ownerItem != nullptr && m_ownerItem->GetOwner() != nullptr)
    {
        return m_ownerItem->GetOwner()->GetImageList();
    }
    return nullptr;
}

bool ToolBarDropDown::IsOpen() const
{
    return GetHandle() != nullptr && IsWindowVisible(GetHandle());
}

Color ToolBarDropDown::GetDefaultBackColor() const
{
    return Theme::MenuBackground();
}

Color ToolBarDropDown::GetDefaultForeColor() const
{
    return Theme::MenuText();
}

FontHandle ToolBarDropDown::GetDefaultFontHandle()
{
    return Theme::GetFont(Theme::FontKind::Menu, GetDpi());
}

int ToolBarDropDown::GetRowHeight()
{
    int line = MeasureLineHeight(GetFontHandle(), GetDpi());
    int minimum = Scale(24);
    return line + Scale(10) > minimum ? line + Scale(10) : minimum;
}

int ToolBarDropDown::GetSeparatorHeight() const
{
    return Scale(9);
}

Size ToolBarDropDown::MeasurePopup()
{
    FontHandle font = GetFontHandle();
    int textWidth = 0;
    int shortcutWidth = 0;
    int height = 2 * Scale(Border + VerticalPadding);
    int row = GetRowHeight();
    auto& items = GetButtons();
    for (int i = 0; i < items.GetCount(); i++)
    {
        Size text = MeasureText(items[i]->GetText(), font);
        textWidth = text.width > textWidth ? text.width : textWidth;
        Size shortcut = MeasureText(items[i]->GetShortcutText(), font);
        shortcutWidth = shortcut.width > shortcutWidth ? shortcut.width : shortcutWidth;
        height += row + (items[i]->HasSeparator() && i > 0 ? GetSeparatorHeight() : 0);
    }
    int width = Scale(ImageColumn + TextGap) + textWidth +
                (shortcutWidth > 0 ? Scale(ShortcutGap) + shortcutWidth : 0) + Scale(ArrowColumn) + 2 * Scale(Border);
    return Size{width > Scale(MinimumWidth) ? width : Scale(MinimumWidth), height};
}

void ToolBarDropDown::ComputeLayout(Collections::ArrayList<Rectangle>& bounds)
{
    Rectangle client = GetClientRectangle();
    int border = Scale(Border);
    int y = border + Scale(VerticalPadding);
    int row = GetRowHeight();
    auto& items = GetButtons();
    for (int i = 0; i < items.GetCount(); i++)
    {
        if (items[i]->HasSeparator() && i > 0)
        {
            y += GetSeparatorHeight();
        }
        bounds.Add(Rectangle{border + Scale(2), y, client.width - 2 * border - Scale(4), row});
        y += row;
    }
}

void ToolBarDropDown::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    Rectangle client = GetClientRectangle();
    auto& items = GetButtons();
    for (int i = 0; i < items.GetCount(); i++)
    {
        Rectangle bounds = GetItemBounds(i);
        if (items[i]->HasSeparator() && i > 0)
        {
            int y = bounds.top - GetSeparatorHeight() / 2 - graphics.Scale(1) / 2;
            graphics.FillRectangle(Rectangle{bounds.left + graphics.Scale(ImageColumn), y,
                                             bounds.width - graphics.Scale(ImageColumn + 4), graphics.Scale(1)},
                                   Theme::Separator());
        }
        if (bounds.IntersectsWith(clip))
        {
            PaintItem(graphics, i, bounds);
        }
    }
    graphics.DrawRectangle(client, Theme::MenuBorder(), graphics.Scale(Border));
}

void ToolBarDropDown::PaintItem(Graphics& graphics, int index, const Rectangle& bounds)
{
    ToolBarItem* item = GetButtons()[index];
    bool enabled = item->IsEnabled();
    bool hot = index == GetHotIndex() || index == GetOpenIndex();
    Color text = enabled ? GetForeColor() : Theme::GrayText();
    if (hot && enabled)
    {
        graphics.FillRectangle(bounds, Theme::MenuHotFill());
        graphics.DrawRectangle(bounds, Theme::MenuHotBorder(), graphics.Scale(1));
        text = Theme::MenuHotText();
    }
    else if (hot)
    {
        // A disabled item can be highlighted by the keyboard, faintly.
        graphics.DrawRectangle(bounds, Theme::Separator(), graphics.Scale(1));
    }
    ImageList* images = GetImageList();
    if (images != nullptr && item->GetImageIndex() >= 0)
    {
        int size = ImageList::GetImageSize(graphics.GetDpi());
        int column = graphics.Scale(ImageColumn);
        images->Draw(graphics, item->GetImageIndex(), bounds.left + (column - size) / 2,
                     bounds.top + (bounds.height - size) / 2, enabled);
    }
    int left = bounds.left + graphics.Scale(ImageColumn + TextGap);
    int right = bounds.GetRight() - graphics.Scale(ArrowColumn);
    Rectangle textBounds{left, bounds.top, right - left, bounds.height};
    FontHandle font = GetFontHandle();
    int format = TextFormat::SingleLine | TextFormat::VerticalCenter;
    graphics.DrawString(item->GetText(), textBounds, font, text, format);
    String shortcut = item->GetShortcutText();
    if (!shortcut.IsEmpty())
    {
        graphics.DrawString(shortcut, textBounds, font, text, format | TextFormat::Right | TextFormat::NoPrefix);
    }
    if (item->HasDropDown())
    {
        Rectangle arrow{right, bounds.top, graphics.Scale(ArrowColumn), bounds.height};
        graphics.DrawChevron(arrow.Deflate(graphics.Scale(6), graphics.Scale(6)), Direction::Right, text);
    }
}

intptr_t ToolBarDropDown::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (message == WM_MOUSEACTIVATE)
    {
        return MA_NOACTIVATE;
    }
    return ToolBar::WndProc(message, wParam, lParam);
}

} // namespace Core::Controls
