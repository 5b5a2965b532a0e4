// Double-buffered painting: one off-screen bitmap for every paint, also for WM_PRINTCLIENT.
#include "core/controls/Control.h"

#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"

#include <memory>
#include <windows.h>

namespace Core::Controls
{

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

// The bitmap one paint draws into: the shared one, grown to the clip when needed, or its own while the shared
// one is in use further up the stack.
class BackBufferLease
{
public:
    BackBufferLease(HDC target, const Rectangle& clip) : m_shared(!backBuffer.inUse)
    {
        if (!m_shared)
        {
            m_own = std::make_unique<GdiObject<HBITMAP>>(CreateCompatibleBitmap(target, clip.width, clip.height));
            return;
        }
        if (backBuffer.bitmap == nullptr || backBuffer.width < clip.width || backBuffer.height < clip.height)
        {
            GdiObject<HBITMAP> old(backBuffer.bitmap);
            backBuffer.width = clip.width > backBuffer.width ? clip.width : backBuffer.width;
            backBuffer.height = clip.height > backBuffer.height ? clip.height : backBuffer.height;
            backBuffer.bitmap = CreateCompatibleBitmap(target, backBuffer.width, backBuffer.height);
        }
        backBuffer.inUse = true;
    }
    ~BackBufferLease()
    {
        if (m_shared)
        {
            backBuffer.inUse = false;
        }
    }
    BackBufferLease(const BackBufferLease&) = delete;
    BackBufferLease& operator=(const BackBufferLease&) = delete;

    HBITMAP Get() const { return m_shared ? backBuffer.bitmap : m_own->Get(); }

private:
    bool m_shared;
    std::unique_ptr<GdiObject<HBITMAP>> m_own;
};

} // namespace

// --- Painting ---

void Control::PaintBuffered(DeviceContextHandle target, const Rectangle& clip)
{
    MemoryContext context(target);
    HDC memory = context.Get();
    BackBufferLease buffer(target, clip);
    Selection selected(memory, buffer.Get());
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
