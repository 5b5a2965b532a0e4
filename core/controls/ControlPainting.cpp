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

// One off-screen bitmap serves every paint, selected for good into a memory context of its own; a paint inside a
// paint gets a context and a bitmap of its own. A section in memory, not a bitmap compatible with the window: making
// one of those, and a context for each paint, asks the window system about the display each time (three calls to
// the Wine server, for each of the fourteen windows of the main window's first paint).
struct BackBuffer
{
    HDC context = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ original = nullptr; // the context's own bitmap, selected back before a bitmap is replaced
    int width = 0;
    int height = 0;
    bool inUse = false;
};
BackBuffer backBuffer;

HBITMAP CreateBuffer(int width, int height)
{
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// The context one paint draws into, with a bitmap of at least the clip's size: the shared one, grown when
// needed, or one of its own while the shared one is in use further up the stack. Null when the system has none.
class BackBufferLease
{
public:
    BackBufferLease(HDC target, const Rectangle& clip) : m_shared(!backBuffer.inUse)
    {
        if (!m_shared)
        {
            m_ownContext = std::make_unique<MemoryContext>(target);
            m_ownBitmap = std::make_unique<GdiObject<HBITMAP>>(CreateCompatibleBitmap(target, clip.width, clip.height));
            m_ownSelection = std::make_unique<Selection>(m_ownContext->Get(), m_ownBitmap->Get());
            m_context = m_ownBitmap->Get() != nullptr ? m_ownContext->Get() : nullptr;
            return;
        }
        if (backBuffer.context == nullptr)
        {
            backBuffer.context = CreateCompatibleDC(nullptr);
        }
        if (backBuffer.context != nullptr &&
            (backBuffer.bitmap == nullptr || backBuffer.width < clip.width || backBuffer.height < clip.height))
        {
            int width = clip.width > backBuffer.width ? clip.width : backBuffer.width;
            int height = clip.height > backBuffer.height ? clip.height : backBuffer.height;
            HBITMAP grown = CreateBuffer(width, height);
            if (grown != nullptr)
            {
                HGDIOBJ previous = SelectObject(backBuffer.context, grown);
                if (backBuffer.bitmap == nullptr)
                {
                    backBuffer.original = previous;
                }
                else
                {
                    DeleteObject(backBuffer.bitmap);
                }
                backBuffer.bitmap = grown;
                backBuffer.width = width;
                backBuffer.height = height;
            }
        }
        m_context = backBuffer.bitmap != nullptr ? backBuffer.context : nullptr;
        if (m_context != nullptr)
        {
            // Whatever the paint sets (clip, origin, objects) goes with it.
            m_saved = SaveDC(m_context);
        }
        backBuffer.inUse = true;
    }
    ~BackBufferLease()
    {
        if (m_shared)
        {
            if (m_context != nullptr)
            {
                RestoreDC(m_context, m_saved);
            }
            backBuffer.inUse = false;
        }
    }
    BackBufferLease(const BackBufferLease&) = delete;
    BackBufferLease& operator=(const BackBufferLease&) = delete;

    HDC Get() const { return m_context; }

private:
    bool m_shared;
    HDC m_context = nullptr;
    int m_saved = 0;
    // In order of release: the selection first, then the bitmap, then the context.
    std::unique_ptr<MemoryContext> m_ownContext;
    std::unique_ptr<GdiObject<HBITMAP>> m_ownBitmap;
    std::unique_ptr<Selection> m_ownSelection;
};

} // namespace

// --- Painting ---

void Control::PaintBuffered(DeviceContextHandle target, const Rectangle& clip)
{
    BackBufferLease buffer(target, clip);
    HDC memory = buffer.Get();
    if (memory == nullptr)
    {
        // Without a buffer the paint goes straight to the window: it may flicker, but it shows.
        Graphics graphics(target, m_dpi);
        OnPaintBackground(graphics, clip);
        OnPaint(graphics, clip);
        return;
    }
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
