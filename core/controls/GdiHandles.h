// Scoped owners of GDI handles: each gives back what it holds when it goes, also when an exception passes.
#pragma once

#include <windows.h>

namespace Core::Controls
{

// A handle made by the caller, given back with Free when the owner goes.
template <typename Handle, typename Free> class OwnedHandle
{
public:
    OwnedHandle() : m_handle(nullptr) {}
    explicit OwnedHandle(Handle handle) : m_handle(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : m_handle(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Gives the handle away: nothing is freed any more.
    Handle Release()
    {
        Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    // Frees the handle held, unless it is the one taken over.
    void Reset(Handle handle = nullptr)
    {
        if (m_handle != nullptr && m_handle != handle)
        {
            Free()(m_handle);
        }
        m_handle = handle;
    }

private:
    Handle m_handle;
};

struct DeleteGdiObject
{
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

struct DestroyIconHandle
{
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

// A bitmap, brush, pen, font or region made by the caller, deleted with DeleteObject.
template <typename Handle> using GdiObject = OwnedHandle<Handle, DeleteGdiObject>;

// An icon made by the caller, destroyed with DestroyIcon.
using OwnedIcon = OwnedHandle<HICON, DestroyIconHandle>;

// A window's device context (null: the screen's), for measuring and for making compatible objects.
class WindowContext
{
public:
    explicit WindowContext(HWND window = nullptr) : m_window(window), m_context(GetDC(window)) {}
    ~WindowContext()
    {
        if (m_context != nullptr)
        {
            ReleaseDC(m_window, m_context);
        }
    }
    WindowContext(const WindowContext&) = delete;
    WindowContext& operator=(const WindowContext&) = delete;

    HDC Get() const { return m_context; }

private:
    HWND m_window;
    HDC m_context;
};

using ScreenContext = WindowContext;

// The device context of a whole window, its frame included (GetWindowDC): a control that draws its own frame.
class WholeWindowContext
{
public:
    explicit WholeWindowContext(HWND window) : m_window(window), m_context(GetWindowDC(window)) {}
    ~WholeWindowContext()
    {
        if (m_context != nullptr)
        {
            ReleaseDC(m_window, m_context);
        }
    }
    WholeWindowContext(const WholeWindowContext&) = delete;
    WholeWindowContext& operator=(const WholeWindowContext&) = delete;

    HDC Get() const { return m_context; }

private:
    HWND m_window;
    HDC m_context;
};

// A memory device context compatible with another one (null: the screen).
class MemoryContext
{
public:
    explicit MemoryContext(HDC compatibleWith) : m_context(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryContext()
    {
        if (m_context != nullptr)
        {
            DeleteDC(m_context);
        }
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;

    HDC Get() const { return m_context; }

private:
    HDC m_context;
};

// An object selected into a device context, the one before it selected again at the end.
class Selection
{
public:
    Selection(HDC context, HGDIOBJ object) : m_context(context), m_previous(SelectObject(context, object)) {}
    ~Selection()
    {
        if (m_previous != nullptr && m_previous != HGDI_ERROR)
        {
            SelectObject(m_context, m_previous);
        }
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC m_context;
    HGDIOBJ m_previous;
};

} // namespace Core::Controls
