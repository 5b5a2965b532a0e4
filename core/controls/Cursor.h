// The system's standard cursors by identifier, each loaded once and kept; and the current cursor,
// which the toolkit's windows keep showing while the program is busy (a wait cursor stays until the
// arrow is set again, even when the mouse moves).
#pragma once

#include "core/Object.h"
#include "core/controls/NativeTypes.h"

namespace Core::Controls
{

class Cursor : public Object
{
public:
    enum Id
    {
        Arrow = 0x7F00,
        IBeam = 0x7F01,
        Wait = 0x7F02,
        Cross = 0x7F03,
        UpArrow = 0x7F04,
        SizeNWSE = 0x7F82,
        SizeNESW = 0x7F83,
        SizeWE = 0x7F84,
        SizeNS = 0x7F85,
        SizeAll = 0x7F86,
        No = 0x7F88,
        Hand = 0x7F89,
        AppStarting = 0x7F8A,
        Help = 0x7F8B
    };

    // Loads the cursor (once per identifier); a failure reports "Cursor class. Failed to load cursor type".
    explicit Cursor(int id);

    int GetId() const { return m_id; }
    IconHandle GetHandle() const { return m_handle; }

    // Shows the cursor now. Any cursor but the arrow stays over the toolkit's windows until the arrow is set.
    static void SetCurrent(const Cursor& cursor);
    // The identifier set last (the arrow at start).
    static int GetCurrentId();
    // The cursor the toolkit's windows show instead of their own, or null.
    static IconHandle GetOverride();
    // The cached handle of a standard cursor; throws like the constructor.
    static IconHandle LoadStandard(int id);

private:
    int m_id;
    IconHandle m_handle; // shared, never destroyed: system cursors
};

// Shows the wait cursor for a scope, and the arrow again however the scope ends.
class WaitCursor
{
public:
    WaitCursor() { Cursor::SetCurrent(Cursor(Cursor::Wait)); }
    ~WaitCursor() { Cursor::SetCurrent(Cursor(Cursor::Arrow)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace Core::Controls
