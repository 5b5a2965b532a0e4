#include "core/controls/CheckBox.h"

#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

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
    EventArgs args;
    CheckedChanged.Raise(this, args);
}

Size CheckBox::GetPreferredSize()
{
    Size text = MeasureText(GetText(), GetFontHandle());
    return Size{BoxSize + Gap + Unscale(text.width) + 4, 23};
}

void CheckBox::SetPressed(bool pressed)
{
    if (m_pressed != pressed)
    {
        m_pressed = pressed;
        Invalidate();
    }
}

void CheckBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    bool enabled = IsEnabled();
    bool hot = enabled && (IsMouseInside() || m_mouseHeld);
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
    else if (m_pressed)
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

void CheckBox::OnMouseDown(const Point&, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    Focus();
    m_mouseHeld = true;
    CaptureMouse();
    SetPressed(true);
}

void CheckBox::OnMouseMove(const Point& point, int)
{
    if (m_mouseHeld)
    {
        SetPressed(GetClientRectangle().Contains(point));
    }
}

void CheckBox::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || !m_mouseHeld)
    {
        return;
    }
    m_mouseHeld = false;
    SetPressed(false);
    ReleaseMouse();
    if (GetClientRectangle().Contains(point))
    {
        PerformClick();
    }
}

void CheckBox::OnMouseEnter()
{
    Invalidate();
}

void CheckBox::OnMouseLeave()
{
    Invalidate();
}

void CheckBox::OnCaptureLost()
{
    m_mouseHeld = false;
    SetPressed(false);
}

bool CheckBox::OnKeyDown(int keyData)
{
    if (keyData == Keys::Space)
    {
        SetPressed(true);
        return true;
    }
    return false;
}

bool CheckBox::OnKeyUp(int keyData)
{
    if ((keyData & Keys::KeyCode) == Keys::Space && m_pressed)
    {
        SetPressed(false);
        PerformClick();
        return true;
    }
    return false;
}

bool CheckBox::ProcessMnemonic(wchar_t character)
{
    if (character == 0 || character != GetMnemonic() || !CanSelect())
    {
        return false;
    }
    Focus();
    PerformClick();
    return true;
}

void CheckBox::OnClick()
{
    SetChecked(!m_checked);
    Control::OnClick();
}

} // namespace Core::Controls
