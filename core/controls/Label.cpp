#include "core/controls/Label.h"

#include "core/controls/ContainerControl.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

Label::Label(const String& text)
{
    SetClassName(String(L"Core.Controls.Label"));
    SetText(text);
    SetSize(100, 23);
}

void Label::SetWordWrap(bool wordWrap)
{
    m_wordWrap = wordWrap;
    Invalidate();
}

void Label::SetUseMnemonic(bool useMnemonic)
{
    m_useMnemonic = useMnemonic;
    Invalidate();
}

int Label::GetTextFormat() const
{
    int format = ContentAlignment::ToTextFormat(GetTextAlignment());
    format |= m_wordWrap ? TextFormat::WordBreak : (TextFormat::SingleLine | TextFormat::EndEllipsis);
    if (!m_useMnemonic)
    {
        format |= TextFormat::NoPrefix;
    }
    if (m_wordWrap)
    {
        // DrawText centres vertically only single lines; word-broken text starts at the top.
        format &= ~(TextFormat::VerticalCenter | TextFormat::Bottom);
    }
    return format;
}

Size Label::GetPreferredSize()
{
    Size text = MeasureText(GetText(), GetFontHandle(), GetTextFormat() & ~TextFormat::EndEllipsis);
    return Size{Unscale(text.width) + 2, Unscale(text.height) + 2};
}

Rectangle Label::GetTextBounds(Graphics&)
{
    return GetClientRectangle();
}

void Label::OnPaint(Graphics& graphics, const Rectangle&)
{
    FontHandle font = GetFontHandle();
    Color color = IsEnabled() ? GetForeColor() : Theme::GrayText();
    LOGFONTW description = {};
    GetObjectW(font, sizeof(description), &description);
    if (description.lfEscapement != 0)
    {
        DrawRotated(graphics, font, color);
        return;
    }
    Rectangle bounds = GetTextBounds(graphics);
    if (m_wordWrap && (GetTextAlignment() & (ContentAlignment::MiddleLeft | ContentAlignment::MiddleCenter |
                                             ContentAlignment::MiddleRight)) != 0)
    {
        Size size = graphics.MeasureString(GetText(), font, GetTextFormat(), bounds.width);
        bounds.top += (bounds.height - size.height) / 2;
    }
    graphics.DrawString(GetText(), bounds, font, color, GetTextFormat());
}

// Turned text is drawn from its baseline origin: the bottom-left corner for 90 degrees, the top-right
// for 270, centred along the control.
void Label::DrawRotated(Graphics& graphics, FontHandle font, Color color)
{
    HDC deviceContext = graphics.GetHandle();
    SelectObject(deviceContext, font);
    SetTextColor(deviceContext, Colors::ToColorRef(color));
    SIZE extent = {};
    GetTextExtentPoint32W(deviceContext, GetText().GetBuffer(), GetText().GetLength(), &extent);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(deviceContext, &metrics);
    Rectangle client = GetClientRectangle();
    LOGFONTW description = {};
    GetObjectW(font, sizeof(description), &description);
    UINT align = SetTextAlign(deviceContext, TA_LEFT | TA_TOP);
    if (description.lfEscapement == 900)
    {
        int x = (client.width - metrics.tmHeight) / 2;
        int y = client.height - (client.height - extent.cx) / 2;
        TextOutW(deviceContext, x, y, GetText().GetBuffer(), GetText().GetLength());
    }
    else
    {
        int x = (client.width + metrics.tmHeight) / 2;
        int y = (client.height - extent.cx) / 2;
        TextOutW(deviceContext, x, y, GetText().GetBuffer(), GetText().GetLength());
    }
    SetTextAlign(deviceContext, align);
}

bool Label::ProcessMnemonic(wchar_t character)
{
    if (!m_useMnemonic || character == 0 || character != GetMnemonic())
    {
        return false;
    }
    // A label's mnemonic belongs to the control that follows it.
    auto* container = dynamic_cast<ContainerControl*>(GetTopLevelControl());
    return container != nullptr && container->SelectNextControl(this, true, false);
}

} // namespace Core::Controls
