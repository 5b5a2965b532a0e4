// A dialog busy with a worker: it keeps painting but takes no input, shows the wait cursor, and gets its focus
// back afterwards.
#pragma once

#include "core/controls/Cursor.h"

#include <windows.h>

namespace Config
{

// The dialog keeps painting but takes no input while a worker asks the machine; then the focus goes back where
// it was.
class DialogBusy
{
public:
    DialogBusy(bool& busy, HWND dialog) : m_busy(busy), m_dialog(dialog), m_focus(GetFocus())
    {
        m_busy = true;
        EnableWindow(m_dialog, FALSE);
    }
    ~DialogBusy()
    {
        m_busy = false;
        EnableWindow(m_dialog, TRUE);
        if (m_focus != nullptr && IsWindow(m_focus) && GetFocus() != m_focus)
        {
            SetFocus(m_focus);
        }
    }
    DialogBusy(const DialogBusy&) = delete;
    DialogBusy& operator=(const DialogBusy&) = delete;

private:
    bool& m_busy;
    HWND m_dialog;
    HWND m_focus;
    Core::Controls::WaitCursor m_wait;
};

} // namespace Config
