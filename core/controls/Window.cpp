#include "core/controls/Window.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/Button.h"
#include "core/controls/ImageList.h"
#include "core/controls/Theme.h"
#include "core/platform/windows/SystemFunction.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// The frame around a client area at a DPI.
RECT AdjustForDpi(RECT rect, DWORD style, DWORD exStyle, int dpi)
{
    static const auto adjust =
        Platform::Windows::SystemFunction<AdjustForDpiFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
    {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return rect;
}

} // namespace

Window::Window()
{
    SetClassName(String(L"Core.Controls.Window"));
    SetWindowType(WindowType::DialogWindow);
    SetBounds(0, 0, 300, 300);
}

Window::~Window()
{
    if (m_modal)
    {
        m_modal = false;
    }
    DestroyHandle();
    ReleaseIcons();
}

void Window::SetOwner(Control* owner)
{
    m_owner = owner;
    m_ownerHandle = owner != nullptr ? owner->GetTopLevelControl()->GetHandle() : nullptr;
    if (m_handle != nullptr && m_ownerHandle != nullptr)
    {
        SetWindowLongPtrW(m_handle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(m_ownerHandle));
    }
}

WindowHandle Window::GetOwnerHandle() const
{
    if (m_owner != nullptr && m_owner->GetTopLevelControl()->GetHandle() != nullptr)
    {
        return m_owner->GetTopLevelControl()->GetHandle();
    }
    return m_ownerHandle;
}

bool Window::UsesDefaultLocation() const
{
    return m_startPosition == StartPosition::WindowsDefault;
}

void Window::SetClientSize(int width, int height)
{
    uint32_t style = 0;
    uint32_t exStyle = 0;
    GetCreateStyles(style, exStyle);
    int dpi = GetDpi();
    RECT rect = {0, 0, Theme::Scale(width, dpi), Theme::Scale(height, dpi)};
    rect = AdjustForDpi(rect, style, exStyle, dpi);
    SetSize(Theme::Unscale(rect.right - rect.left, dpi), Theme::Unscale(rect.bottom - rect.top, dpi));
}

void Window::SetIcon(ImageList* images, int index)
{
    m_icons = images;
    m_iconIndex = index;
    if (!m_iconPending)
    {
        ApplyIcon();
    }
}

void Window::ReleaseIcons()
{
    if (m_smallIcon != nullptr)
    {
        DestroyIcon(m_smallIcon);
        m_smallIcon = nullptr;
    }
    if (m_bigIcon != nullptr)
    {
        DestroyIcon(m_bigIcon);
        m_bigIcon = nullptr;
    }
}

void Window::ApplyIcon()
{
    if (m_handle == nullptr || m_icons == nullptr || m_iconIndex < 0)
    {
        return;
    }
    int dpi = GetDpi();
    int small = Theme::Scale(GetSystemMetrics(SM_CXSMICON), dpi) * 96 / Theme::GetSystemDpi();
    int big = Theme::Scale(GetSystemMetrics(SM_CXICON), dpi) * 96 / Theme::GetSystemDpi();
    HICON smallIcon = m_icons->CreateIconHandle(m_iconIndex, small);
    HICON bigIcon = m_icons->CreateIconHandle(m_iconIndex, big);
    // The window keeps drawing the old icons until it has the new ones.
    SendMessageW(m_handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageW(m_handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    ReleaseIcons();
    m_smallIcon = smallIcon;
    m_bigIcon = bigIcon;
}

void Window::OnDpiChanged(int oldDpi, int newDpi)
{
    ContainerControl::OnDpiChanged(oldDpi, newDpi);
    if (!m_iconPending)
    {
        ApplyIcon();
    }
}

void Window::SetAcceptButton(Button* button)
{
    Button* previous = m_acceptButton;
    m_acceptButton = button;
    if (button != nullptr && button->GetDialogResult() == DialogResult::None)
    {
        button->SetDialogResult(DialogResult::OK);
    }
    if (previous != nullptr)
    {
        previous->Invalidate();
    }
    if (button != nullptr)
    {
        button->Invalidate();
    }
}

void Window::SetCancelButton(Button* button)
{
    m_cancelButton = button;
    if (button != nullptr && button->GetDialogResult() == DialogResult::None)
    {
        button->SetDialogResult(DialogResult::Cancel);
    }
}

void Window::OnCreate(Object* sender, EventArgs& args)
{
    // Under Wine the window system takes an icon in dozens of calls to its server (5 ms for the main window):
    // a window not yet shown gets its icons from a timer, which comes only once its first paint is done.
    if (m_icons != nullptr && m_iconIndex >= 0 && !IsWindowVisible(m_handle) &&
        SetTimer(m_handle, IconTimer, 0, nullptr) != 0)
    {
        m_iconPending = true;
    }
    else
    {
        ApplyIcon();
    }
    ApplyStartPosition();
    ContainerControl::OnCreate(sender, args);
}

void Window::ApplyStartPosition()
{
    if (m_handle == nullptr)
    {
        return;
    }
    RECT window;
    GetWindowRect(m_handle, &window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = window.left;
    int y = window.top;
    HWND owner = GetOwnerHandle();
    int position = m_startPosition.GetValue();
    if (position == StartPosition::CenterOwner && owner != nullptr)
    {
        RECT ownerRect;
        GetWindowRect(owner, &ownerRect);
        x = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
        y = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;
    }
    else if (position == StartPosition::CenterScreen || position == StartPosition::CenterOwner)
    {
        HWND reference = owner != nullptr ? owner : GetActiveWindow();
        HMONITOR monitor = reference != nullptr && reference != m_handle
                               ? MonitorFromWindow(reference, MONITOR_DEFAULTTOPRIMARY)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(monitor, &info);
        x = info.rcWork.left + (info.rcWork.right - info.rcWork.left - width) / 2;
        y = info.rcWork.top + (info.rcWork.bottom - info.rcWork.top - height) / 2;
    }
    // Wherever it was put, the window stays inside the work area of its monitor, at its size.
    RECT placed = {x, y, x + width, y + height};
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromRect(&placed, MONITOR_DEFAULTTONEAREST), &info);
    if (x + width > info.rcWork.right)
    {
        x = info.rcWork.right - width;
    }
    if (x < info.rcWork.left)
    {
        x = info.rcWork.left;
    }
    if (y + height > info.rcWork.bottom)
    {
        y = info.rcWork.bottom - height;
    }
    if (y < info.rcWork.top)
    {
        y = info.rcWork.top;
    }
    SetWindowPos(m_handle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Window::ShowDialog(Control* owner)
{
    HWND ownerHandle = owner != nullptr ? owner->GetTopLevelControl()->GetHandle() : GetActiveWindow();
    if (ownerHandle == m_handle)
    {
        ownerHandle = nullptr;
    }
    if (ownerHandle == nullptr)
    {
        throw ArgumentNullException(String(L"owner"),
                                    String(L"CommonDialog.ShowModalDialog method - cannot determine owner."));
    }
    m_owner = owner != nullptr ? owner : Control::FromHandle(ownerHandle);
    m_ownerHandle = ownerHandle;
    if (m_handle == nullptr)
    {
        Create();
    }
    else
    {
        SetWindowLongPtrW(m_handle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerHandle));
        ApplyStartPosition();
    }
    m_dialogResult = DialogResult::None;
    m_modal = true;
    SetVisible(true);
    NotifyAccessibleEvent(*this, EVENT_SYSTEM_DIALOGSTART);
    SetActiveWindow(m_handle);
    // Each showing starts at the first entry, as a system dialog does, not on the button that closed it last.
    m_lastFocus = nullptr;
    RestoreFocus();
    EnableWindow(ownerHandle, FALSE);
    // Whatever ends the loop, the owner is usable again and the dialog hidden.
    struct Finish
    {
        Window* dialog;
        HWND owner;
        ~Finish()
        {
            dialog->m_modal = false;
            // The owner is enabled before the dialog hides, so that the system activates the owner and
            // not some other program's window.
            EnableWindow(owner, TRUE);
            if (dialog->m_handle != nullptr)
            {
                dialog->SetVisible(false);
            }
            if (IsWindow(owner))
            {
                SetActiveWindow(owner);
            }
        }
    } finish{this, ownerHandle};
    MSG message;
    while (m_modal && m_handle != nullptr)
    {
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == -1)
        {
            throw Exception(String(L"Error in modal dialog"));
        }
        if (result == 0)
        {
            // The application is quitting: the quit message belongs to the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (message.hwnd == nullptr && message.message == Application::ApplicationEndMessage)
        {
            PostThreadMessageW(GetCurrentThreadId(), message.message, message.wParam, message.lParam);
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        Application::ThrowPendingException();
    }
    return m_dialogResult;
}

bool Window::OnClosing(int)
{
    return true;
}

void Window::EndDialog(int result)
{
    if (!OnClosing(result))
    {
        return;
    }
    m_dialogResult = result;
    if (m_modal)
    {
        m_modal = false; // the modal loop hides the window
    }
    else
    {
        Hide();
    }
}

void Window::Close()
{
    if (m_handle != nullptr)
    {
        SendMessageW(m_handle, WM_CLOSE, 0, 0);
    }
}

void Window::Activate()
{
    if (m_handle != nullptr)
    {
        SetActiveWindow(m_handle);
    }
}

void Window::OnDescendantFocused(Control* control)
{
    m_lastFocus = control->GetHandle();
}

void Window::RestoreFocus()
{
    if (m_handle == nullptr)
    {
        return;
    }
    if (m_lastFocus != nullptr && IsWindow(m_lastFocus) && IsChild(m_handle, m_lastFocus))
    {
        Control* control = Control::FromHandle(m_lastFocus);
        if (control != nullptr && control->IsVisible() && control->IsEnabled() && control->Focus())
        {
            return;
        }
    }
    if (!SelectNextControl(nullptr, true, true))
    {
        ::SetFocus(m_handle);
    }
}

bool Window::ProcessDialogKey(int keyData)
{
    if ((keyData & (Keys::Control | Keys::Alt)) == 0)
    {
        int key = keyData & Keys::KeyCode;
        if (key == Keys::Return && m_acceptButton != nullptr && m_acceptButton->IsEnabled() &&
            m_acceptButton->IsVisible())
        {
            m_acceptButton->PerformClick();
            return true;
        }
        if (key == Keys::Escape)
        {
            if (m_cancelButton != nullptr && m_cancelButton->IsEnabled() && m_cancelButton->IsVisible())
            {
                m_cancelButton->PerformClick();
                return true;
            }
            if (m_modal || GetWindowType() == WindowType::DialogWindow)
            {
                EndDialog(DialogResult::Cancel);
                return true;
            }
        }
    }
    return ContainerControl::ProcessDialogKey(keyData);
}

intptr_t Window::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == IconTimer)
        {
            KillTimer(m_handle, IconTimer);
            m_iconPending = false;
            ApplyIcon();
            return 0;
        }
        break;
    case WM_CLOSE:
        if (m_modal || GetWindowType() == WindowType::DialogWindow)
        {
            EndDialog(DialogResult::Cancel);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0)
        {
            RestoreFocus();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        // The window itself got the focus (on activation or click on its face): give it to a control.
        if (GetFocus() == m_handle && GetControls().GetCount() > 0)
        {
            RestoreFocus();
            return 0;
        }
        break;
    default:
        break;
    }
    return ContainerControl::WndProc(message, wParam, lParam);
}

} // namespace Core::Controls
