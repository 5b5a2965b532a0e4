// A control's geometry: bounds in 96-DPI units and in pixels, docking of children, measuring text, and DPI.
#include "core/controls/Control.h"

#include "core/controls/ControlInternals.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

using namespace Internal;

// --- Geometry ---

void Control::SetBounds(int left, int top, int width, int height)
{
    m_bounds = Rectangle{left, top, width < 0 ? 0 : width, height < 0 ? 0 : height};
    m_deviceBounds = ScaleRectangle(m_bounds, GetDpi());
    if (m_handle != nullptr)
    {
        ApplyNativeBounds();
    }
    if (m_parent != nullptr && m_dock != DockStyle::None)
    {
        m_parent->PerformLayout();
    }
}

void Control::SetSize(int width, int height)
{
    SetBounds(m_bounds.left, m_bounds.top, width, height);
}

void Control::SetWidth(int width)
{
    SetBounds(m_bounds.left, m_bounds.top, width, m_bounds.height);
}

void Control::SetHeight(int height)
{
    SetBounds(m_bounds.left, m_bounds.top, m_bounds.width, height);
}

void Control::SetLocation(int left, int top)
{
    SetBounds(left, top, m_bounds.width, m_bounds.height);
}

void Control::SetDeviceBounds(const Rectangle& bounds)
{
    m_deviceBounds = bounds;
    m_bounds = UnscaleRectangle(bounds, GetDpi());
    if (m_handle != nullptr)
    {
        ApplyNativeBounds();
    }
}

void Control::ApplyNativeBounds()
{
    SetWindowPos(m_handle, nullptr, m_deviceBounds.left, m_deviceBounds.top, m_deviceBounds.width,
                 m_deviceBounds.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SyncBoundsFromNative()
{
    if (m_handle == nullptr || IsIconic(m_handle))
    {
        return;
    }
    RECT rect;
    GetWindowRect(m_handle, &rect);
    if (m_windowType.IsChild())
    {
        MapWindowPoints(HWND_DESKTOP, ::GetParent(m_handle), reinterpret_cast<POINT*>(&rect), 2);
    }
    Rectangle device = ToRectangle(rect);
    if (device != m_deviceBounds)
    {
        m_deviceBounds = device;
        m_bounds = UnscaleRectangle(device, m_dpi);
    }
}

Rectangle Control::GetClientRectangle() const
{
    if (m_handle != nullptr)
    {
        RECT rect;
        GetClientRect(m_handle, &rect);
        return ToRectangle(rect);
    }
    return Rectangle{0, 0, m_deviceBounds.width, m_deviceBounds.height};
}

Rectangle Control::GetDisplayRectangle() const
{
    Rectangle client = GetClientRectangle();
    int left = Scale(m_padding.left);
    int top = Scale(m_padding.top);
    return Rectangle{left, top, client.width - left - Scale(m_padding.right),
                     client.height - top - Scale(m_padding.bottom)};
}

void Control::SetMargin(const Padding& margin)
{
    m_margin = margin;
    ParentLayout();
}

void Control::SetPadding(const Padding& padding)
{
    m_padding = padding;
    PerformLayout();
    Invalidate();
}

void Control::SetDock(DockStyle dock)
{
    m_dock = dock;
    ParentLayout();
}

Size Control::GetPreferredSize()
{
    return Size{m_bounds.width, m_bounds.height};
}

void Control::ParentLayout()
{
    if (m_parent != nullptr)
    {
        m_parent->PerformLayout();
    }
}

void Control::PerformLayout()
{
    if (m_inLayout)
    {
        return;
    }
    m_inLayout = true;
    try
    {
        OnLayout();
    }
    catch (...)
    {
        m_inLayout = false;
        throw;
    }
    m_inLayout = false;
}

void Control::OnLayout()
{
    LayoutDockedChildren(GetDisplayRectangle());
}

void Control::LayoutDockedChildren(const Rectangle& area)
{
    Rectangle remaining = area;
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (!child->m_visible || child->m_dock == DockStyle::None)
        {
            continue;
        }
        int ml = Scale(child->m_margin.left);
        int mt = Scale(child->m_margin.top);
        int mr = Scale(child->m_margin.right);
        int mb = Scale(child->m_margin.bottom);
        int width = Scale(child->m_bounds.width);
        int height = Scale(child->m_bounds.height);
        Rectangle place;
        switch (child->m_dock)
        {
        case DockStyle::Top:
            place = Rectangle{remaining.left + ml, remaining.top + mt, remaining.width - ml - mr, height};
            remaining.top += height + mt + mb;
            remaining.height -= height + mt + mb;
            break;
        case DockStyle::Bottom:
            place =
                Rectangle{remaining.left + ml, remaining.GetBottom() - mb - height, remaining.width - ml - mr, height};
            remaining.height -= height + mt + mb;
            break;
        case DockStyle::Left:
            place = Rectangle{remaining.left + ml, remaining.top + mt, width, remaining.height - mt - mb};
            remaining.left += width + ml + mr;
            remaining.width -= width + ml + mr;
            break;
        case DockStyle::Right:
            place = Rectangle{remaining.GetRight() - mr - width, remaining.top + mt, width, remaining.height - mt - mb};
            remaining.width -= width + ml + mr;
            break;
        default:
            place = Rectangle{remaining.left + ml, remaining.top + mt, remaining.width - ml - mr,
                              remaining.height - mt - mb};
            break;
        }
        if (place.width < 0)
        {
            place.width = 0;
        }
        if (place.height < 0)
        {
            place.height = 0;
        }
        // Only the docked side follows the layout; the other extent stays what the control asked for.
        Rectangle wanted = child->m_bounds;
        child->SetDeviceBounds(place);
        if (child->m_dock == DockStyle::Top || child->m_dock == DockStyle::Bottom)
        {
            child->m_bounds.height = wanted.height;
        }
        else if (child->m_dock == DockStyle::Left || child->m_dock == DockStyle::Right)
        {
            child->m_bounds.width = wanted.width;
        }
    }
}

void Control::OnResize()
{
    PerformLayout();
    EventArgs args;
    Resize.Raise(this, args);
}

namespace
{

// Texts are measured at every layout (menus, tabs, panels, labels): on a memory context kept for the thread that
// first measures (the window thread), which measures as the screen does, rather than on the screen's own context,
// asked for and given back each time with a call to the window system (under Wine, to its server) each way.
// Another thread measures on the screen's.
HDC MeasuringContext()
{
    static const DWORD owner = GetCurrentThreadId();
    static MemoryContext context(nullptr);
    return GetCurrentThreadId() == owner ? context.Get() : nullptr;
}

} // namespace

Size Control::MeasureText(const String& text, FontHandle font, int format, int width)
{
    if (HDC measuring = MeasuringContext())
    {
        Graphics graphics(measuring, Theme::DefaultDpi);
        return graphics.MeasureString(text, font, format, width);
    }
    ScreenContext screen;
    Graphics graphics(screen.Get(), Theme::DefaultDpi);
    return graphics.MeasureString(text, font, format, width);
}

int Control::MeasureLineHeight(FontHandle font, int dpi)
{
    if (HDC measuring = MeasuringContext())
    {
        Graphics graphics(measuring, dpi);
        return graphics.GetLineHeight(font);
    }
    ScreenContext screen;
    Graphics graphics(screen.Get(), dpi);
    return graphics.GetLineHeight(font);
}

// --- DPI ---

int Control::GetDpi() const
{
    if (m_handle != nullptr)
    {
        return m_dpi;
    }
    if (m_parent != nullptr)
    {
        return m_parent->GetDpi();
    }
    return m_dpi;
}

int Control::Scale(int value) const
{
    return Theme::Scale(value, GetDpi());
}

int Control::Unscale(int value) const
{
    return Theme::Unscale(value, GetDpi());
}

void Control::ApplyDpi(int dpi)
{
    int oldDpi = m_dpi;
    m_dpi = dpi;
    ReleaseFont();
    if (m_windowType.IsChild())
    {
        m_deviceBounds = ScaleRectangle(m_bounds, dpi);
        if (m_handle != nullptr)
        {
            ApplyNativeBounds();
        }
    }
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        m_controls[i]->ApplyDpi(dpi);
    }
    if (oldDpi != dpi)
    {
        OnDpiChanged(oldDpi, dpi);
    }
}

void Control::OnDpiChanged(int, int)
{
    Invalidate();
}

} // namespace Core::Controls
