#include "core/controls/ButtonBase.h"

#include "core/controls/Keys.h"

namespace Core::Controls
{

void ButtonBase::SetPressed(bool pressed)
{
    if (m_pressed != pressed)
    {
        m_pressed = pressed;
        Invalidate();
    }
}

void ButtonBase::OnMouseDown(const Point&, int button, int)
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

void ButtonBase::OnMouseMove(const Point& point, int)
{
    if (m_mouseHeld)
    {
        SetPressed(GetClientRectangle().Contains(point));
    }
}

void ButtonBase::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || !m_mouseHeld)
    {
        return;
    }
    m_mouseHeld = false;
    bool inside = GetClientRectangle().Contains(point);
    SetPressed(false);
    ReleaseMouse();
    if (inside)
    {
        PerformClick();
    }
}

void ButtonBase::OnMouseEnter()
{
    Invalidate();
}

void ButtonBase::OnMouseLeave()
{
    Invalidate();
}

void ButtonBase::OnCaptureLost()
{
    m_mouseHeld = false;
    if (!m_spaceHeld)
    {
        SetPressed(false);
    }
}

bool ButtonBase::OnKeyDown(int keyData)
{
    if (keyData == Keys::Space)
    {
        m_spaceHeld = true;
        SetPressed(true);
        return true;
    }
    return false;
}

bool ButtonBase::OnKeyUp(int keyData)
{
    if ((keyData & Keys::KeyCode) == Keys::Space && m_spaceHeld)
    {
        m_spaceHeld = false;
        SetPressed(false);
        PerformClick();
        return true;
    }
    return false;
}

void ButtonBase::OnLostFocus()
{
    m_spaceHeld = false;
    SetPressed(false);
    Control::OnLostFocus();
}

bool ButtonBase::ProcessMnemonic(wchar_t character)
{
    if (character == 0 || character != GetMnemonic() || !CanSelect())
    {
        return false;
    }
    Focus();
    PerformClick();
    return true;
}

} // namespace Core::Controls
