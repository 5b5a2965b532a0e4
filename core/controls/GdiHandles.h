// Scoped owners of GDI handles: each gives back what it holds when it goes, also when an exception passes.
#pragma once

#include <windows.h>

namespace Core::Controls
{

// A bitmap, brush, pen, font or region made by the caller, deleted with DeleteObject.
template <typename Handle> class GdiObject
{
public:
    explicit GdiObject(Handle handle = nullptr) : m_handle(handle) {}
    ~GdiObject()
    {
        if (m_handle != nullptr)
        {
            DeleteObject(m_handle);
        }
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Gives the handle away: nothing is deleted any more.
    Handle Release()
    {
        Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    Handle m_handle;
};

// The screen's device context, for measuring and for making compatible objects.
class ScreenContext
{
public:
    ScreenContext() : m_context(GetDC(nullptr)) {}
    ~ScreenContext()
    {
        if (m_context != nullptr)
        {
            ReleaseDC(nullptr, m_context);
        }
    }
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;

    HDC Get() const { return m_context; }

private:
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
