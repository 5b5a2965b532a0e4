#include "core/controls/ToolTip.h"

#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int ShowTimer = 1;
constexpr int HideTimer = 2;
constexpr int MaximumWidth = 400;
constexpr int TextFlags = TextFormat::WordBreak | TextFormat::NoPrefix | TextFormat::ExpandTabs;

// Line breaks written as "\n\r", "\r\n" or "\r" all become one line feed.
String NormalizeLineBreaks(const String& text)
{
    String result;
    for (int i = 0; i < text.GetLength(); i++)
    {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n')
        {
            if (i + 1 < text.GetLength() && (text[i + 1] == L'\r' || text[i + 1] == L'\n') && text[i + 1] != c)
            {
                i++;
            }
            result += L'\n';
        }
        else
        {
            result += c;
        }
    }
    return result;
}

} // namespace

ToolTip::ToolTip()
{
    SetClassName(String(L"Core.Controls.ToolTip"));
    SetWindowType(WindowType::PopupWindow);
}

ToolTip::~ToolTip()
{
    for (int i = 0; i < m_entries.GetCount(); i++)
    {
        if (m_entries[i].control->m_toolTip == this)
        {
            m_entries[i].control->m_toolTip = nullptr;
        }
    }
}

void ToolTip::SetToolTip(Control* control, const String& text)
{
    if (control == nullptr)
    {
        throw ArgumentNullException(String(L"control"));
    }
    if (text.IsEmpty())
    {
        Remove(control);
        return;
    }
    for (int i = 0; i < m_entries.GetCount(); i++)
    {
        if (m_entries[i].control == control)
        {
            m_entries[i].text = text;
            return;
        }
    }
    m_entries.Add(Entry{control, text});
    control->m_toolTip = this;
}

String ToolTip::GetToolTip(Control* control) const
{
    for (int i = 0; i < m_entries.GetCount(); i++)
    {
        if (m_entries[i].control == control)
        {
            return m_entries[i].text;
        }
    }
    return String();
}

void ToolTip::Remove(Control* control)
{
    for (int i = m_entries.GetCount() - 1; i >= 0; i--)
    {
        if (m_entries[i].control == control)
        {
            m_entries.RemoveAt(i);
        }
    }
    if (control->m_toolTip == this)
    {
        control->m_toolTip = nullptr;
    }
    if (m_owner == control)
    {
        HideText();
        m_owner = nullptr;
    }
}

WindowHandle ToolTip::GetOwnerHandle() const
{
    return m_owner != nullptr ? m_owner->GetTopLevelControl()->GetHandle() : nullptr;
}

FontHandle ToolTip::GetDefaultFontHandle()
{
    return Theme::GetFont(Theme::FontKind::Status, GetDpi());
}

Color ToolTip::GetDefaultBackColor() const
{
    return Theme::ToolTipBackground();
}

bool ToolTip::IsShowing() const
{
    return GetHandle() != nullptr && IsWindowVisible(GetHandle());
}

void ToolTip::Relay(Control* control, unsigned int message)
{
    switch (message)
    {
    case WM_MOUSEMOVE:
    {
        if (m_owner == control && (IsShowing() || !m_text.IsEmpty()))
        {
            return;
        }
        String text = GetToolTip(control);
        POINT cursor;
        GetCursorPos(&cursor);
        ShowText(control, text, Point{cursor.x, cursor.y}, true);
        break;
    }
    default:
        // Leaving, clicking and typing end the tip.
        if (m_owner == control)
        {
            HideText();
            m_owner = message == WM_MOUSELEAVE ? nullptr : control;
        }
        break;
    }
}

void ToolTip::ShowText(Control* owner, const String& text, const Point& screenPoint, bool delayed)
{
    HideText();
    m_owner = owner;
    m_text = NormalizeLineBreaks(text);
    m_anchor = screenPoint;
    if (m_text.IsEmpty() || owner == nullptr || owner->GetHandle() == nullptr)
    {
        return;
    }
    Create();
    if (delayed)
    {
        StartTimer(ShowTimer, m_initialDelay);
    }
    else
    {
        Appear();
    }
}

void ToolTip::HideText()
{
    if (GetHandle() != nullptr)
    {
        KillTimer(GetHandle(), ShowTimer);
        KillTimer(GetHandle(), HideTimer);
        if (IsWindowVisible(GetHandle()))
        {
            Hide();
        }
    }
    m_text = String();
}

void ToolTip::ChangeText(const String& text)
{
    if (m_text.IsEmpty())
    {
        return; // nothing pending or shown
    }
    m_text = NormalizeLineBreaks(text);
    if (m_text.IsEmpty())
    {
        HideText();
    }
    else if (IsShowing())
    {
        Appear(); // sized for the new text
    }
}

void ToolTip::Appear()
{
    if (GetHandle() == nullptr || m_text.IsEmpty())
    {
        return;
    }
    if (m_owner != nullptr && m_owner->GetTopLevelControl()->GetHandle() != nullptr)
    {
        SetWindowLongPtrW(GetHandle(), GWLP_HWNDPARENT,
                          reinterpret_cast<LONG_PTR>(m_owner->GetTopLevelControl()->GetHandle()));
    }
    Size text = MeasureText(m_text, GetFontHandle(), TextFlags, Scale(MaximumWidth));
    int padding = Scale(5);
    int width = text.width + 2 * padding + Scale(2);
    int height = text.height + 2 * Scale(3) + Scale(2);
    // Below the cursor, inside the work area.
    int cursorHeight = GetSystemMetrics(SM_CYCURSOR) * 2 / 3;
    int x = m_anchor.x;
    int y = m_anchor.y + cursorHeight;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{m_anchor.x, m_anchor.y}, MONITOR_DEFAULTTONEAREST), &monitor);
    if (x + width > monitor.rcWork.right)
    {
        x = monitor.rcWork.right - width;
    }
    if (y + height > monitor.rcWork.bottom)
    {
        y = m_anchor.y - height - Scale(4);
    }
    SetDeviceBounds(Rectangle{x, y, width, height});
    Show();
    SetWindowPos(GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
    StartTimer(HideTimer, 8000);
}

void ToolTip::OnTimer(int id)
{
    KillTimer(GetHandle(), static_cast<UINT_PTR>(id));
    if (id == ShowTimer)
    {
        Appear();
    }
    else
    {
        HideText();
    }
}

void ToolTip::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    graphics.DrawRectangle(client, Theme::ToolTipBorder(), graphics.Scale(1));
    Rectangle text = client.Deflate(graphics.Scale(5) + graphics.Scale(1), graphics.Scale(3) + graphics.Scale(1));
    graphics.DrawString(m_text, text, GetFontHandle(), Theme::ToolTipText(), TextFlags);
}

intptr_t ToolTip::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST:
        // The mouse passes through to the window below.
        return HTTRANSPARENT;
    default:
        return Control::WndProc(message, wParam, lParam);
    }
}

} // namespace Core::Controls
