#include "core/controls/Button.h"

#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/Theme.h"
#include "core/controls/Window.h"

namespace Core::Controls
{

Button::Button(const String& text)
{
    SetClassName(String(L"Core.Controls.Button"));
    SetTabStop(true);
    SetText(text);
    SetSize(75, 23);
}

void Button::SetImage(ImageList* images, int index)
{
    m_images = images;
    m_imageIndex = index;
    Invalidate();
}

bool Button::IsDefault() const
{
    if (IsFocused())
    {
        return true;
    }
    auto* window = dynamic_cast<Window*>(GetTopLevelControl());
    if (window == nullptr || window->GetAcceptButton() != this)
    {
        return false;
    }
    // While another button has the focus, that one is the default.
    auto* focused = dynamic_cast<Button*>(window->GetActiveControl());
    return focused == nullptr;
}

Size Button::GetPreferredSize()
{
    Size text = MeasureText(GetText(), GetFontHandle());
    int width = Unscale(text.width) + 24;
    return Size{width > 75 ? width : 75, 23};
}

void Button::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    bool enabled = IsEnabled();
    bool hot = enabled && (IsMouseInside() || IsMouseHeld());
    Color face = Theme::ButtonFace();
    Color border = Theme::ButtonBorder();
    Color text = GetForeColor();
    int thickness = graphics.Scale(1);
    if (!enabled)
    {
        face = Colors::Blend(Theme::ButtonFace(), Theme::Face(), 50);
        border = Colors::Blend(Theme::ButtonBorder(), Theme::Face(), 45);
        text = Theme::GrayText();
    }
    else if (IsPressed())
    {
        face = Theme::PressedFill();
        border = Theme::PressedBorder();
    }
    else if (hot)
    {
        face = Theme::HoverFill();
        border = Theme::HoverBorder();
    }
    else if (IsDefault())
    {
        border = Theme::Highlight();
    }
    if (enabled && IsFocused())
    {
        border = IsPressed() ? Theme::PressedBorder() : Theme::Highlight();
        thickness = graphics.Scale(2);
    }
    graphics.FillRectangle(client, face);
    graphics.DrawRectangle(client, border, thickness);
    if (enabled && (IsFocused() || IsDefault()) && !IsPressed() && !hot && Theme::IsHighContrast())
    {
        graphics.DrawRectangle(client.Deflate(thickness, thickness), Theme::ControlText(), graphics.Scale(1));
    }

    Rectangle content = client.Deflate(graphics.Scale(6), graphics.Scale(2));
    FontHandle font = GetFontHandle();
    int format = ContentAlignment::ToTextFormat(GetTextAlignment() == ContentAlignment::MiddleLeft
                                                    ? ContentAlignment::MiddleCenter
                                                    : GetTextAlignment()) |
                 TextFormat::SingleLine | TextFormat::EndEllipsis;
    if (m_images != nullptr && m_imageIndex >= 0)
    {
        int imageSize = ImageList::GetImageSize(graphics.GetDpi());
        Size textSize = graphics.MeasureString(GetText(), font);
        int gap = GetText().IsEmpty() ? 0 : graphics.Scale(4);
        int total = imageSize + gap + textSize.width;
        int left = content.left + (content.width - total) / 2;
        m_images->Draw(graphics, m_imageIndex, left, content.top + (content.height - imageSize) / 2, enabled);
        content =
            Rectangle{left + imageSize + gap, content.top, content.GetRight() - left - imageSize - gap, content.height};
        format = (format & ~TextFormat::Center) | TextFormat::Left;
    }
    graphics.DrawString(GetText(), content, font, text, format);
}

bool Button::IsInputKey(int keyData) const
{
    // Enter on a focused button presses that button, not the window's accept button.
    return (keyData & Keys::KeyCode) == Keys::Return && (keyData & Keys::Modifiers) == 0;
}

bool Button::OnKeyDown(int keyData)
{
    if (keyData == Keys::Return)
    {
        PerformClick();
        return true;
    }
    return ButtonBase::OnKeyDown(keyData);
}

void Button::OnClick()
{
    Control::OnClick();
    if (m_dialogResult != DialogResult::None)
    {
        if (auto* window = dynamic_cast<Window*>(GetTopLevelControl()))
        {
            window->EndDialog(m_dialogResult);
        }
    }
}

} // namespace Core::Controls
