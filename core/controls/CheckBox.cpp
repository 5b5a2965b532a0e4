#include "core/controls/CheckBox.h"

#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int BoxSize = 13;
constexpr int Gap = 6;
} // namespace

CheckBox::CheckBox(const String& text)
{
    SetClassName(String(L"Core.Controls.CheckBox"));
    SetTabStop(true);
    SetText(text);
    SetSize(150, 23);
}

void CheckBox::SetChecked(bool checked)
{
    if (m_checked == checked)
    {
        return;
    }
    m_checked = checked;
    Invalidate();
    NotifyAccessibleEvent(*this, EVENT_OBJECT_STATECHANGE);
    EventArgs args;
    CheckedChanged.Raise(this, args);
}

Size CheckBox::GetPreferredSize()
{
    Size text = MeasureText(GetText(), GetFontHandle());
    return Size{BoxSize + Gap + Unscale(text.width) + 4, 23};
}

void CheckBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    bool enabled = IsEnabled();
    bool hot = enabled && (IsMouseInside() || IsMouseHeld());
    int side = graphics.Scale(BoxSize);
    Rectangle box{graphics.Scale(1), (client.height - side) / 2, side, side};
    Color fill = Theme::Window();
    Color border = Theme::InputBorderHover();
    Color mark = Theme::WindowText();
    if (!enabled)
    {
        fill = Theme::Face();
        border = Theme::GrayText();
        mark = Theme::GrayText();
    }
    else if (IsPressed())
    {
        fill = Theme::PressedFill();
        border = Theme::PressedBorder();
    }
    else if (hot)
    {
        fill = Theme::HoverFill();
        border = Theme::HoverBorder();
        mark = Theme::IsHighContrast() ? Theme::HighlightText() : mark;
    }
    graphics.FillRectangle(box, fill);
    graphics.DrawRectangle(box, border, graphics.Scale(1));
    if (m_checked)
    {
        graphics.DrawCheckMark(box.Deflate(graphics.Scale(1), graphics.Scale(1)), mark);
    }
    FontHandle font = GetFontHandle();
    int textLeft = box.GetRight() + graphics.Scale(Gap);
    Rectangle textBounds{textLeft, 0, client.width - textLeft, client.height};
    graphics.DrawString(GetText(), textBounds, font, enabled ? GetForeColor() : Theme::GrayText(),
                        TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::EndEllipsis);
    if (IsFocused())
    {
        Size size = graphics.MeasureString(GetText(), font);
        int width = size.width < textBounds.width ? size.width : textBounds.width;
        Rectangle focus{textLeft - graphics.Scale(2), (client.height - size.height) / 2 - graphics.Scale(1),
                        width + graphics.Scale(4), size.height + graphics.Scale(2)};
        graphics.DrawFocusRectangle(focus, Theme::ControlText(), GetBackColor());
    }
}

void CheckBox::OnClick()
{
    SetChecked(!m_checked);
    Control::OnClick();
}

} // namespace Core::Controls
