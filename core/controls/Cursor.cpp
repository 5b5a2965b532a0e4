#include "core/controls/Cursor.h"

#include "core/Exception.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

struct CachedCursor
{
    int id;
    HCURSOR handle;
};

// The standard identifiers number fewer than this; a fixed table needs no allocation.
CachedCursor cache[24] = {};
int currentId = Cursor::Arrow;
HCURSOR overrideCursor = nullptr;

} // namespace

Cursor::Cursor(int id) : m_id(id), m_handle(LoadStandard(id)) {}

IconHandle Cursor::LoadStandard(int id)
{
    for (const CachedCursor& entry : cache)
    {
        if (entry.handle != nullptr && entry.id == id)
        {
            return entry.handle;
        }
    }
    HCURSOR handle = LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
    if (handle == nullptr)
    {
        throw Exception(String(L"Cursor class. Failed to load cursor type"));
    }
    for (CachedCursor& entry : cache)
    {
        if (entry.handle == nullptr)
        {
            entry = CachedCursor{id, handle};
            break;
        }
    }
    return handle;
}

void Cursor::SetCurrent(const Cursor& cursor)
{
    currentId = cursor.m_id;
    overrideCursor = cursor.m_id == Arrow ? nullptr : cursor.m_handle;
    SetCursor(cursor.m_handle);
}

int Cursor::GetCurrentId()
{
    return currentId;
}

IconHandle Cursor::GetOverride()
{
    return overrideCursor;
}

} // namespace Core::Controls
