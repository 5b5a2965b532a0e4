#include "core/controls/LinkLabel.h"

#include "core/Exception.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/io/SystemError.h"
#include "core/platform/windows/Desktop.h"

#include <windows.h>

namespace Core::Controls
{

LinkLabel::LinkLabel(const String& text) : Label(text)
{
    SetTabStop(true);
    SetUseMnemonic(false);
}

FontHandle LinkLabel::GetDefaultFontHandle()
{
    return Theme::GetFont(Theme::FontKind::Underlined, GetDpi());
}

Rectangle LinkLabel::GetLinkBounds()
{
    Rectangle client = GetClientRectangle();
    Size size = MeasureText(GetText(), GetFontHandle(), GetTextFormat() & ~TextFormat::EndEllipsis);
    size.width = size.width < client.width ? size.width : client.width;
    int format = GetTextFormat();
    int left = (format & TextFormat::Center) != 0  ? (client.width - size.width) / 2
               : (format & TextFormat::Right) != 0 ? client.width - size.width
                                                   : 0;
    int top = (format & TextFormat::VerticalCenter) != 0 ? (client.height - size.height) / 2
              : (format & TextFormat::Bottom) != 0       ? client.height - size.height
                                                         : 0;
    return Rectangle{left, top, size.width, size.height};
}

void LinkLabel::OnPaint(Graphics& graphics, const Rectangle&)
{
    Color color = !IsEnabled() ? Theme::GrayText() : m_pressed ? Theme::WindowText() : Theme::LinkText();
    if (!Colors::IsEmpty(GetForeColor()) && IsEnabled() && GetForeColor() != GetParent()->GetForeColor())
    {
        color = GetForeColor();
    }
    graphics.DrawString(GetText(), GetClientRectangle(), GetFontHandle(), color, GetTextFormat());
    if (IsFocused())
    {
        Rectangle link = GetLinkBounds();
        graphics.DrawFocusRectangle(link.Deflate(-graphics.Scale(1), 0), Theme::ControlText(), GetBackColor());
    }
}

void LinkLabel::OnMouseMove(const Point& point, int)
{
    SetCursorId(GetLinkBounds().Contains(point) ? 0x7F89 : 0x7F00);
}

void LinkLabel::OnMouseLeave()
{
    if (m_pressed)
    {
        m_pressed = false;
        Invalidate();
    }
}

void LinkLabel::OnMouseDown(const Point& point, int button, int)
{
    if (button == MouseButtons::Left && GetLinkBounds().Contains(point))
    {
        Focus();
        m_pressed = true;
        Invalidate();
    }
}

void LinkLabel::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || !m_pressed)
    {
        return;
    }
    m_pressed = false;
    Invalidate();
    if (GetLinkBounds().Contains(point))
    {
        PerformClick();
    }
}

bool LinkLabel::OnKeyDown(int keyData)
{
    if (keyData == Keys::Return || keyData == Keys::Space)
    {
        PerformClick();
        return true;
    }
    return false;
}

void LinkLabel::OnClick()
{
    Label::OnClick();
    CancelEventArgs args;
    LinkClicked.Raise(this, args);
    if (!args.GetCancel())
    {
        OpenLink();
    }
}

void LinkLabel::OpenLink()
{
    Control* top = GetTopLevelControl();
    intptr_t result = Platform::Windows::Desktop::Current().Execute(
        top->GetHandle(), String(L"open"), String(L"rundll32.exe"), String(L"url.dll,FileProtocolHandler ") + GetText(),
        String(), SW_SHOWNORMAL);
    if (result <= 32)
    {
        throw Exception(IO::GetLastErrorText());
    }
}

} // namespace Core::Controls
