// Double-buffered painting: one off-screen bitmap for every paint, also for WM_PRINTCLIENT.
#include "core/controls/Control.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/ControlInternals.h"
#include "core/controls/Cursor.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"
#include "core/platform/windows/Desktop.h"

#include <cstring>
#include <windows.h>
#include <windowsx.h>

#undef MessageBox

namespace Core::Controls
{

using namespace Internal;

namespace
{

// One off-screen bitmap serves every paint; a paint inside a paint gets one of its own.
struct BackBuffer
{
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    bool inUse = false;
};
BackBuffer backBuffer;

} // namespace

// --- Painting ---

void Control::PaintBuffered(DeviceContextHandle target, const Rectangle& clip)
{
    HDC memory = CreateCompatibleDC(target);
    bool shared = !backBuffer.inUse;
    HBITMAP bitmap = nullptr;
    if (shared)
    {
        if (backBuffer.bitmap == nullptr || backBuffer.width < clip.width || backBuffer.height < clip.height)
        {
            if (backBuffer.bitmap != nullptr)
            {
                DeleteObject(backBuffer.bitmap);
            }
            backBuffer.width = clip.width > backBuffer.width ? clip.width : backBuffer.width;
            backBuffer.height = clip.height > backBuffer.height ? clip.height : backBuffer.height;
            backBuffer.bitmap = CreateCompatibleBitmap(target, backBuffer.width, backBuffer.height);
        }
        bitmap = backBuffer.bitmap;
        backBuffer.inUse = true;
    }
    else
    {
        bitmap = CreateCompatibleBitmap(target, clip.width, clip.height);
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    struct Release
    {
        HDC memory;
        HGDIOBJ previous;
        HBITMAP bitmap;
        bool shared;
        ~Release()
        {
            SelectObject(memory, previous);
            DeleteDC(memory);
            if (shared)
            {
                backBuffer.inUse = false;
            }
            else
            {
                DeleteObject(bitmap);
            }
        }
    } release{memory, previous, bitmap, shared};
    SetViewportOrgEx(memory, -clip.left, -clip.top, nullptr);
    IntersectClipRect(memory, clip.left, clip.top, clip.GetRight(), clip.GetBottom());
    {
        Graphics graphics(memory, m_dpi);
        OnPaintBackground(graphics, clip);
        OnPaint(graphics, clip);
    }
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(target, clip.left, clip.top, clip.width, clip.height, memory, 0, 0, SRCCOPY);
}

void Control::PaintWhole(DeviceContextHandle deviceContext, bool withChildren)
{
    Rectangle client = GetClientRectangle();
    int saved = SaveDC(deviceContext);
    IntersectClipRect(deviceContext, 0, 0, client.width, client.height);
    {
        Graphics graphics(deviceContext, m_dpi);
        OnPaintBackground(graphics, client);
        OnPaint(graphics, client);
    }
    RestoreDC(deviceContext, saved);
    if (!withChildren || m_handle == nullptr)
    {
        return;
    }
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (child->m_handle == nullptr || !IsWindowVisible(child->m_handle))
        {
            continue;
        }
        RECT rect;
        GetWindowRect(child->m_handle, &rect);
        MapWindowPoints(HWND_DESKTOP, m_handle, reinterpret_cast<POINT*>(&rect), 2);
        int state = SaveDC(deviceContext);
        OffsetViewportOrgEx(deviceContext, rect.left, rect.top, nullptr);
        IntersectClipRect(deviceContext, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
        SendMessageW(child->m_handle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(deviceContext),
                     PRF_CLIENT | PRF_CHILDREN);
        RestoreDC(deviceContext, state);
    }
}

void Control::RenderTo(DeviceContextHandle deviceContext, bool withChildren)
{
    PaintWhole(deviceContext, withChildren);
}


} // namespace Core::Controls
