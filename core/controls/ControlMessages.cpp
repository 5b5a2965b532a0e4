// Messages and the keyboard: the shared window procedure, the unpacking of messages into handlers, the
// default handlers, and the routing of keys to commands, dialogs and mnemonics.
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

#include <windows.h>
#include <windowsx.h>

namespace Core::Controls
{

using namespace Internal;

namespace
{

MessageFilter* messageFilter = nullptr; // not owned
// Alt went down and nothing else happened since: its release enters the menu bar.
bool altPending = false;

bool IsInputMessage(unsigned int message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Input reaches a window only while it and every window above it are enabled: a modal dialog's owner
// and a disabled control ignore even input that is posted to them.
bool IsEnabledChain(HWND handle)
{
    for (HWND window = handle; window != nullptr && window != GetDesktopWindow();
         window = GetAncestor(window, GA_PARENT))
    {
        if (!IsWindowEnabled(window))
        {
            return false;
        }
    }
    return true;
}

int MouseKeys(uintptr_t wParam)
{
    int keys = 0;
    keys |= (wParam & MK_SHIFT) != 0 ? Keys::Shift : 0;
    keys |= (wParam & MK_CONTROL) != 0 ? Keys::Control : 0;
    keys |= GetKeyState(VK_MENU) < 0 ? Keys::Alt : 0;
    return keys;
}

Point PointFromLParam(intptr_t lParam)
{
    return Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace

void Control::SetMessageFilter(MessageFilter* filter)
{
    messageFilter = filter;
}

MessageFilter* Control::GetMessageFilter()
{
    return messageFilter;
}

int Control::GetModifierKeys()
{
    int keys = 0;
    keys |= GetKeyState(VK_SHIFT) < 0 ? Keys::Shift : 0;
    keys |= GetKeyState(VK_CONTROL) < 0 ? Keys::Control : 0;
    keys |= GetKeyState(VK_MENU) < 0 ? Keys::Alt : 0;
    return keys;
}

// --- Default handlers ---

void Control::OnPaintBackground(Graphics& graphics, const Rectangle& clip)
{
    graphics.FillRectangle(clip, GetBackColor());
}

void Control::OnPaint(Graphics&, const Rectangle&) {}

void Control::OnMouseDown(const Point&, int, int) {}
void Control::OnMouseUp(const Point&, int, int) {}

void Control::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    // A fast second click is still a click for controls that do not care about double clicks.
    OnMouseDown(point, button, keys);
}

void Control::OnMouseMove(const Point&, int) {}

bool Control::OnMouseWheel(const Point&, int, int)
{
    return false;
}

void Control::OnMouseEnter() {}
void Control::OnMouseLeave() {}

bool Control::OnKeyDown(int)
{
    return false;
}

bool Control::OnKeyUp(int)
{
    return false;
}

bool Control::OnKeyPress(wchar_t)
{
    return false;
}

void Control::OnGotFocus()
{
    // On an item, when the control has one in focus (a tree's selected node), else on the control.
    NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, GetAccessibilityObject().GetFocusedItem());
    Control* top = GetTopLevelControl();
    if (top != this)
    {
        top->OnDescendantFocused(this);
    }
    Invalidate();
    EventArgs args;
    GotFocus.Raise(this, args);
}

void Control::OnLostFocus()
{
    Invalidate();
    EventArgs args;
    LostFocus.Raise(this, args);
}

void Control::OnContextMenuRequested(const Point& screenPoint)
{
    if (m_contextMenu != nullptr)
    {
        m_contextMenu->Show(this, screenPoint);
    }
}

bool Control::ProcessCmdKey(int)
{
    return false;
}

bool Control::IsInputKey(int) const
{
    return false;
}

bool Control::ProcessDialogKey(int)
{
    return false;
}

bool Control::ProcessDialogChar(wchar_t)
{
    return false;
}

bool Control::ProcessMnemonic(wchar_t)
{
    return false;
}

bool Control::ProcessKeyUp(int)
{
    return false;
}

bool Control::PreProcessKey(int keyData)
{
    for (Control* control = this; control != nullptr; control = control->m_parent)
    {
        if (control->ProcessCmdKey(keyData))
        {
            return true;
        }
    }
    if (IsInputKey(keyData))
    {
        return false;
    }
    for (Control* control = this; control != nullptr; control = control->m_parent)
    {
        if (control->ProcessDialogKey(keyData))
        {
            return true;
        }
    }
    return false;
}

// --- Messages ---

intptr_t Control::DefWndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    return DefWindowProcW(m_handle, message, wParam, lParam);
}

bool Control::DispatchKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int keyCode = static_cast<int>(wParam & 0xFFFF);
    int keyData = keyCode | GetModifierKeys();
    if (message == WM_SYSKEYDOWN && (lParam & (1 << 29)) != 0)
    {
        keyData |= Keys::Alt;
    }
    if (keyCode == Keys::Menu)
    {
        // Only the first press counts, not the keyboard's repeats.
        if ((lParam & (1 << 30)) == 0)
        {
            altPending = true;
        }
    }
    else if (keyCode != Keys::ShiftKey && keyCode != Keys::ControlKey)
    {
        altPending = false;
    }
    if (PreProcessKey(keyData))
    {
        return true;
    }
    return OnKeyDown(keyData);
}

intptr_t __stdcall Control::WindowProcedure(WindowHandle handle, unsigned int message, uintptr_t wParam,
                                            intptr_t lParam)
{
    Control* control = nullptr;
    if (message == WM_NCCREATE)
    {
        control = static_cast<Control*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
        control->m_handle = handle;
    }
    else
    {
        control = reinterpret_cast<Control*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
    }
    if (control == nullptr)
    {
        return DefWindowProcW(handle, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
    {
        SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
        control->m_handle = nullptr;
        control->m_mouseInside = false;
        if (control->m_accessibility != nullptr)
        {
            control->m_accessibility->Disconnect(); // the window is gone: so is what clients held of it
        }
        try
        {
            control->OnHandleDestroyed();
        }
        catch (...)
        {
            Application::StorePendingException(std::current_exception());
        }
        return DefWindowProcW(handle, message, wParam, lParam);
    }
    try
    {
        if (messageFilter != nullptr && messageFilter->PreFilterMessage(control, message, wParam, lParam))
        {
            return 0;
        }
        if (control->m_toolTip != nullptr &&
            (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE || message == WM_LBUTTONDOWN ||
             message == WM_RBUTTONDOWN || message == WM_KEYDOWN || message == WM_SYSKEYDOWN))
        {
            control->m_toolTip->Relay(control, message);
        }
        if (IsInputMessage(message) && !IsEnabledChain(handle))
        {
            return 0;
        }
        return control->WndProc(message, wParam, lParam);
    }
    catch (...)
    {
        Application::StorePendingException(std::current_exception());
        return 0;
    }
}

intptr_t Control::HandlePaint(unsigned int, uintptr_t, intptr_t)
{
    PAINTSTRUCT paint;
    HDC deviceContext = BeginPaint(m_handle, &paint);
    Rectangle clip = ToRectangle(paint.rcPaint);
    if (!clip.IsEmpty())
    {
        PaintBuffered(deviceContext, clip);
    }
    EndPaint(m_handle, &paint);
    return 0;
}

intptr_t Control::HandleNonClientPaint(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    // A child without a frame or system scroll bars has nothing outside its client area: the system's handling
    // would still take a context of the whole window for it, a fifth of a millisecond for each child shown.
    constexpr LONG_PTR Frames = WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL;
    constexpr LONG_PTR Edges = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME;
    if (m_windowType.IsChild() && (GetWindowLongPtrW(m_handle, GWL_STYLE) & Frames) == 0 &&
        (GetWindowLongPtrW(m_handle, GWL_EXSTYLE) & Edges) == 0)
    {
        return 0;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandlePrintClient(unsigned int, uintptr_t wParam, intptr_t lParam)
{
    PaintWhole(reinterpret_cast<HDC>(wParam), (lParam & PRF_CHILDREN) != 0);
    return 0;
}

intptr_t Control::HandleSize(unsigned int, uintptr_t wParam, intptr_t)
{
    if (wParam != SIZE_MINIMIZED)
    {
        SyncBoundsFromNative();
        OnResize();
    }
    return 0;
}

intptr_t Control::HandleMove(unsigned int, uintptr_t, intptr_t)
{
    SyncBoundsFromNative();
    return 0;
}

intptr_t Control::HandleFocus(unsigned int message, uintptr_t, intptr_t)
{
    if (message == WM_SETFOCUS)
    {
        OnGotFocus();
    }
    else
    {
        OnLostFocus();
    }
    return 0;
}

intptr_t Control::HandleMouseMove(unsigned int, uintptr_t wParam, intptr_t lParam)
{
    if (!m_mouseInside)
    {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_handle, 0};
        if (!TrackMouseEvent(&track))
        {
            throw Exception(String(L"Control.OnMouseEnter failed to track mouse events."));
        }
        m_mouseInside = true;
        OnMouseEnter();
    }
    OnMouseMove(PointFromLParam(lParam), MouseKeys(wParam));
    return 0;
}

intptr_t Control::HandleMouseLeave(unsigned int, uintptr_t, intptr_t)
{
    m_mouseInside = false;
    OnMouseLeave();
    return 0;
}

intptr_t Control::HandleButtonDown(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    altPending = false;
    int button = message == WM_LBUTTONDOWN   ? MouseButtons::Left
                 : message == WM_RBUTTONDOWN ? MouseButtons::Right
                                             : MouseButtons::Middle;
    OnMouseDown(PointFromLParam(lParam), button, MouseKeys(wParam));
    return 0;
}

intptr_t Control::HandleButtonUp(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int button = message == WM_LBUTTONUP   ? MouseButtons::Left
                 : message == WM_RBUTTONUP ? MouseButtons::Right
                                           : MouseButtons::Middle;
    OnMouseUp(PointFromLParam(lParam), button, MouseKeys(wParam));
    // The right button's release asks for the context menu.
    return message == WM_RBUTTONUP ? DefWndProc(message, wParam, lParam) : 0;
}

intptr_t Control::HandleDoubleClick(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int button = message == WM_LBUTTONDBLCLK   ? MouseButtons::Left
                 : message == WM_RBUTTONDBLCLK ? MouseButtons::Right
                                               : MouseButtons::Middle;
    OnMouseDoubleClick(PointFromLParam(lParam), button, MouseKeys(wParam));
    return 0;
}

intptr_t Control::HandleWheel(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    int keys = MouseKeys(GET_KEYSTATE_WPARAM(wParam));
    if (message == WM_MOUSEHWHEEL)
    {
        // A horizontal wheel scrolls like Shift with the vertical one; right is positive there.
        keys |= Keys::Shift;
        delta = -delta;
    }
    for (Control* target = this; target != nullptr; target = target->m_parent)
    {
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(target->m_handle, &point);
        if (target->OnMouseWheel(Point{point.x, point.y}, delta, keys))
        {
            return DefWndProc(message, wParam, lParam);
        }
    }
    return 0;
}

intptr_t Control::HandleKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (DispatchKeyDown(message, wParam, lParam))
    {
        return 0;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleKeyUp(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int keyData = static_cast<int>(wParam & 0xFFFF) | GetModifierKeys();
    if (wParam == VK_MENU)
    {
        // The release of Alt alone is the menu bar's; the flag tells whether it was alone.
        keyData = Keys::Menu | (altPending ? Keys::Alt : 0);
        altPending = false;
    }
    for (Control* control = this; control != nullptr; control = control->m_parent)
    {
        if (control->ProcessKeyUp(keyData))
        {
            return 0;
        }
    }
    if (OnKeyUp(keyData))
    {
        return 0;
    }
    if (wParam == VK_MENU || wParam == VK_F10)
    {
        // Otherwise the system enters its own menu mode and swallows the next key.
        return 0;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleChar(unsigned int, uintptr_t wParam, intptr_t)
{
    wchar_t character = static_cast<wchar_t>(wParam);
    if (!WantsCharacters() && character > L' ')
    {
        for (Control* control = this; control != nullptr; control = control->m_parent)
        {
            if (control->ProcessDialogChar(character))
            {
                return 0;
            }
        }
    }
    OnKeyPress(character);
    return 0;
}

intptr_t Control::HandleSysChar(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    // Alt+letter was handled at the key press; only Alt+Space (the system menu) goes on.
    if (wParam == L' ')
    {
        return DefWndProc(message, wParam, lParam);
    }
    return 0;
}

intptr_t Control::HandleTimer(unsigned int, uintptr_t wParam, intptr_t)
{
    OnTimer(static_cast<int>(wParam));
    return 0;
}

intptr_t Control::HandleSetCursor(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == m_handle)
    {
        HCURSOR cursor = Cursor::GetOverride();
        SetCursor(cursor != nullptr ? cursor : Cursor::LoadStandard(m_cursorId));
        return TRUE;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleCaptureChanged(unsigned int, uintptr_t, intptr_t)
{
    OnCaptureLost();
    return 0;
}

intptr_t Control::HandleContextMenu(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (reinterpret_cast<HWND>(wParam) == m_handle)
    {
        Point point = PointFromLParam(lParam);
        if (point.x == -1 && point.y == -1)
        {
            // From the keyboard: below the control's top-left corner.
            POINT corner = {Scale(4), Scale(4)};
            ClientToScreen(m_handle, &corner);
            point = Point{corner.x, corner.y};
        }
        OnContextMenuRequested(point);
        return 0;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleSettingsChange(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (!m_windowType.IsChild())
    {
        Theme::Reset();
        OnSystemSettingsChanged();
        RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleDpiChange(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (!m_windowType.IsChild())
    {
        int newDpi = LOWORD(wParam);
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ApplyDpi(newDpi);
        if (suggested != nullptr)
        {
            SetWindowPos(m_handle, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        m_deviceBounds = Rectangle{};
        SyncBoundsFromNative();
        PerformLayout();
        RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
        return 0;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleGetObject(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    intptr_t result = 0;
    if (AnswerGetObject(*this, wParam, lParam, result))
    {
        return result;
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::HandleDestroy(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (m_windowType == WindowType::ApplicationWindow)
    {
        PostThreadMessageW(GetCurrentThreadId(), Application::ApplicationEndMessage, 0, 0);
    }
    return DefWndProc(message, wParam, lParam);
}

intptr_t Control::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_ERASEBKGND:
        return 1; // the paint fills its background in the back buffer: no flicker
    case WM_PAINT:
        return HandlePaint(message, wParam, lParam);
    case WM_NCPAINT:
        return HandleNonClientPaint(message, wParam, lParam);
    case WM_PRINTCLIENT:
        return HandlePrintClient(message, wParam, lParam);
    case WM_SIZE:
        return HandleSize(message, wParam, lParam);
    case WM_MOVE:
        return HandleMove(message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        return HandleFocus(message, wParam, lParam);
    case WM_MOUSEMOVE:
        return HandleMouseMove(message, wParam, lParam);
    case WM_MOUSELEAVE:
        return HandleMouseLeave(message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return HandleButtonDown(message, wParam, lParam);
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return HandleButtonUp(message, wParam, lParam);
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        return HandleDoubleClick(message, wParam, lParam);
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        return HandleWheel(message, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return HandleKeyDown(message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return HandleKeyUp(message, wParam, lParam);
    case WM_CHAR:
        return HandleChar(message, wParam, lParam);
    case WM_SYSCHAR:
        return HandleSysChar(message, wParam, lParam);
    case WM_TIMER:
        return HandleTimer(message, wParam, lParam);
    case WM_SETCURSOR:
        return HandleSetCursor(message, wParam, lParam);
    case WM_CAPTURECHANGED:
        return HandleCaptureChanged(message, wParam, lParam);
    case WM_CONTEXTMENU:
        return HandleContextMenu(message, wParam, lParam);
    case WM_GETFONT:
        return reinterpret_cast<intptr_t>(GetFontHandle());
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        return HandleSettingsChange(message, wParam, lParam);
    case WM_DPICHANGED:
        return HandleDpiChange(message, wParam, lParam);
    case WM_GETOBJECT:
        return HandleGetObject(message, wParam, lParam);
    case WM_DESTROY:
        return HandleDestroy(message, wParam, lParam);
    default:
        return DefWndProc(message, wParam, lParam);
    }
}

} // namespace Core::Controls
