// The base of every control: its window's creation, text, appearance, state, family, clipboard and timers.
#include "core/controls/Control.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/ControlInternals.h"
#include "core/controls/Cursor.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"
#include "core/platform/windows/Desktop.h"

#include <cstring>
#include <windows.h>

#undef MessageBox

namespace Core::Controls
{

using namespace Internal;

namespace
{

int nextChildId = 1000;

} // namespace

// --- Control: life ---

Control::Control()
    : m_dpi(Theme::DefaultDpi), m_className(L"Core.Controls.Control"), m_windowType(WindowType::ChildControl),
      m_controls(this), m_visible(true)
{
}

Control::~Control()
{
    if (m_toolTip != nullptr)
    {
        m_toolTip->Remove(this);
    }
    if (m_handle != nullptr)
    {
        DestroyHandle();
    }
    if (m_parent != nullptr)
    {
        m_parent->m_controls.Remove(this);
    }
    ReleaseFont();
    delete m_font;
    delete m_accessibility; // cuts off any client still holding the object
}

AccessibleObject& Control::GetAccessibilityObject()
{
    if (m_accessibility == nullptr)
    {
        m_accessibility = CreateAccessibilityObject();
    }
    return *m_accessibility;
}

AccessibleObject* Control::CreateAccessibilityObject()
{
    return new AccessibleObject(*this);
}

Control* Control::FromHandle(WindowHandle handle)
{
    if (handle == nullptr)
    {
        return nullptr;
    }
    // Only windows of this toolkit carry its window procedure; others may use the user data otherwise.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(handle, GWLP_WNDPROC)) !=
        reinterpret_cast<WNDPROC>(&Control::WindowProcedure))
    {
        return nullptr;
    }
    return reinterpret_cast<Control*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
}

void Control::SetClassName(const String& className)
{
    if (m_handle != nullptr)
    {
        throw InvalidOperationException(
            String(L"SetClassName method should be called in the constructor, before handle is created."));
    }
    m_className = className;
}

void Control::SetWindowType(WindowType windowType)
{
    if (m_handle != nullptr)
    {
        throw InvalidOperationException(
            String(L"SetWindowType method should be called in the constructor, before handle is created."));
    }
    m_windowType = windowType;
    m_visible = windowType.IsChild();
}

uint32_t Control::GetClassStyle() const
{
    uint32_t style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    if (m_windowType == WindowType::PopupWindow)
    {
        style |= CS_DROPSHADOW;
    }
    return style;
}

void Control::GetCreateStyles(uint32_t& style, uint32_t& exStyle) const
{
    exStyle = 0;
    switch (m_windowType.GetValue())
    {
    case WindowType::ApplicationWindow:
        style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case WindowType::DialogWindow:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case WindowType::PopupWindow:
        style = WS_POPUP | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
        break;
    default:
        style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (m_visible ? WS_VISIBLE : 0);
        break;
    }
    if (!m_enabled)
    {
        style |= WS_DISABLED;
    }
}

void Control::RegisterWindowClass()
{
    HINSTANCE instance = Application::GetInstance();
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    String failure = String(L"Control.Create method. Failed to register class ") + m_className;
    // The system limits class names to 255 characters (and some versions overrun their buffer past it).
    if (m_className.IsEmpty() || m_className.GetLength() > 255)
    {
        throw Exception(failure);
    }
    if (GetClassInfoExW(instance, m_className.GetBuffer(), &windowClass))
    {
        // A class of that name with another window procedure (a system class) cannot be ours.
        if (windowClass.lpfnWndProc != reinterpret_cast<WNDPROC>(&Control::WindowProcedure))
        {
            throw Exception(failure);
        }
        return;
    }
    windowClass.style = GetClassStyle();
    windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(&Control::WindowProcedure);
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(Cursor::Arrow));
    windowClass.lpszClassName = m_className.GetBuffer();
    if (RegisterClassExW(&windowClass) == 0)
    {
        throw Exception(failure);
    }
}

void Control::Create()
{
    if (m_handle != nullptr)
    {
        return;
    }
    HWND parentHandle = nullptr;
    int dpi = Theme::GetSystemDpi();
    if (m_windowType.IsChild())
    {
        if (m_parent == nullptr || m_parent->m_handle == nullptr)
        {
            throw InvalidOperationException(String(L"Core::Controls::Control::Create() method: object of type '") +
                                            m_className + L"': handle for parent is not created");
        }
        parentHandle = m_parent->m_handle;
        dpi = m_parent->m_dpi;
    }
    else
    {
        parentHandle = GetOwnerHandle();
        if (m_windowType == WindowType::DialogWindow && parentHandle == nullptr)
        {
            throw InvalidOperationException(
                String(L"Core::Controls::Control::Create() method: owner of Dialog must be initialized"));
        }
        if (parentHandle != nullptr)
        {
            dpi = Theme::GetWindowDpi(parentHandle);
        }
    }
    RegisterWindowClass();
    uint32_t style = 0;
    uint32_t exStyle = 0;
    GetCreateStyles(style, exStyle);
    m_dpi = dpi;
    m_deviceBounds = ScaleRectangle(m_bounds, dpi);
    HMENU id = m_windowType.IsChild() ? reinterpret_cast<HMENU>(static_cast<intptr_t>(nextChildId++)) : nullptr;
    int x = UsesDefaultLocation() ? CW_USEDEFAULT : m_deviceBounds.left;
    int y = UsesDefaultLocation() ? CW_USEDEFAULT : m_deviceBounds.top;
    HWND handle = CreateWindowExW(exStyle, m_className.GetBuffer(), HoldsSecretText() ? L"" : m_text.GetBuffer(), style,
                                  x, y, m_deviceBounds.width, m_deviceBounds.height, parentHandle, id,
                                  Application::GetInstance(), this);
    if (handle == nullptr)
    {
        m_handle = nullptr;
        // A handler that threw while the window was being made is the better explanation.
        Application::ThrowPendingException();
        throw Exception(String(L"Control.Create method. Failed to create the window for class ") + m_className);
    }
    if (!m_windowType.IsChild())
    {
        int actualDpi = Theme::GetWindowDpi(handle);
        if (actualDpi != m_dpi)
        {
            ApplyDpi(actualDpi);
            m_deviceBounds = ScaleRectangle(m_bounds, m_dpi);
            ApplyNativeBounds();
        }
    }
    SyncBoundsFromNative();
    // A hidden child gets its window when it is first shown, as one added hidden to a made parent does: a
    // window's pages, find strips and scroll bars waiting hidden cost its start a fifth of a millisecond each.
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (child->m_visible)
        {
            child->Create();
        }
    }
    PerformLayout();
    if (!m_updatesEnabled)
    {
        SendMessageW(m_handle, WM_SETREDRAW, FALSE, 0);
    }
    EventArgs args;
    OnCreate(this, args);
}

void Control::DestroyHandle()
{
    if (m_handle != nullptr)
    {
        if (HasMouseCapture())
        {
            ::ReleaseCapture();
        }
        DestroyWindow(m_handle);
        m_handle = nullptr;
    }
}

void Control::OnCreate(Object* sender, EventArgs& args)
{
    Load.Raise(sender, args);
}

// --- Text ---

void Control::SetText(const String& text)
{
    if (m_text == text)
    {
        return;
    }
    if (HoldsSecretText())
    {
        m_text.Wipe();
    }
    m_text = text;
    SyncNativeText();
    OnTextChanged();
}

void Control::SyncNativeText()
{
    if (m_handle != nullptr)
    {
        SetWindowTextW(m_handle, HoldsSecretText() ? L"" : m_text.GetBuffer());
    }
}

wchar_t Control::GetMnemonic(const String& text)
{
    for (int i = 0; i + 1 < text.GetLength(); i++)
    {
        if (text[i] != L'&')
        {
            continue;
        }
        if (text[i + 1] == L'&')
        {
            i++;
            continue;
        }
        return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
            CharUpperW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(static_cast<unsigned short>(text[i + 1]))))));
    }
    return 0;
}

void Control::OnTextChanged()
{
    Invalidate();
    // A text box's text is its value; any other control's text is its name.
    NotifyAccessibleEvent(*this, GetAccessibilityObject().GetRole() == AccessibleRoles::Text ? EVENT_OBJECT_VALUECHANGE
                                                                                             : EVENT_OBJECT_NAMECHANGE);
    EventArgs args;
    TextChanged.Raise(this, args);
}

namespace ContentAlignment
{

int ToTextFormat(int alignment)
{
    int format = 0;
    if ((alignment & (TopCenter | MiddleCenter | BottomCenter)) != 0)
    {
        format |= TextFormat::Center;
    }
    else if ((alignment & (TopRight | MiddleRight | BottomRight)) != 0)
    {
        format |= TextFormat::Right;
    }
    if ((alignment & (MiddleLeft | MiddleCenter | MiddleRight)) != 0)
    {
        format |= TextFormat::VerticalCenter;
    }
    else if ((alignment & (BottomLeft | BottomCenter | BottomRight)) != 0)
    {
        format |= TextFormat::Bottom;
    }
    return format;
}

} // namespace ContentAlignment

// --- Appearance ---

void Control::SetFont(const Font& font)
{
    Font* copy = new Font(font);
    delete m_font;
    m_font = copy;
    ReleaseFont();
    OnFontChanged();
}

void Control::ResetFont()
{
    delete m_font;
    m_font = nullptr;
    ReleaseFont();
    OnFontChanged();
}

void Control::ReleaseFont()
{
    if (m_fontHandle != nullptr)
    {
        DeleteObject(m_fontHandle);
        m_fontHandle = nullptr;
    }
}

FontHandle Control::GetFontHandle()
{
    if (m_font == nullptr)
    {
        return GetDefaultFontHandle();
    }
    int dpi = GetDpi();
    if (m_fontHandle == nullptr || m_fontDpi != dpi)
    {
        ReleaseFont();
        m_fontHandle = m_font->CreateHandle(dpi);
        m_fontDpi = dpi;
    }
    return m_fontHandle;
}

FontHandle Control::GetDefaultFontHandle()
{
    if (m_parent != nullptr && InheritsAppearance())
    {
        return m_parent->GetFontHandle();
    }
    return Theme::GetFont(Theme::FontKind::Message, GetDpi());
}

void Control::OnFontChanged()
{
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        if (m_controls[i]->m_font == nullptr)
        {
            m_controls[i]->OnFontChanged();
        }
    }
    Invalidate();
    ParentLayout();
}

void Control::SetForeColor(Color color)
{
    m_foreColor = color;
    Invalidate();
}

Color Control::GetForeColor() const
{
    return Colors::IsEmpty(m_foreColor) ? GetDefaultForeColor() : m_foreColor;
}

Color Control::GetDefaultForeColor() const
{
    if (m_parent != nullptr && InheritsAppearance())
    {
        return m_parent->GetForeColor();
    }
    return Theme::ControlText();
}

void Control::SetBackColor(Color color)
{
    m_backColor = color;
    Invalidate();
}

Color Control::GetBackColor() const
{
    return Colors::IsEmpty(m_backColor) ? GetDefaultBackColor() : m_backColor;
}

Color Control::GetDefaultBackColor() const
{
    if (m_parent != nullptr && InheritsAppearance())
    {
        return m_parent->GetBackColor();
    }
    return Theme::Face();
}

void Control::SetTextAlignment(int alignment)
{
    m_textAlignment = alignment;
    Invalidate();
}

void Control::OnSystemSettingsChanged()
{
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        m_controls[i]->OnSystemSettingsChanged();
    }
    PerformLayout();
    Invalidate();
}

// --- State ---

void Control::SetEnabled(bool enabled)
{
    if (m_enabled == enabled)
    {
        return;
    }
    bool hadFocus = !enabled && ContainsFocus();
    m_enabled = enabled;
    if (m_handle != nullptr)
    {
        EnableWindow(m_handle, enabled);
    }
    if (hadFocus)
    {
        // A disabled window keeps the focus but takes no keys: hand the focus on.
        Control* top = GetTopLevelControl();
        Collections::ArrayList<Control*> selectable;
        top->CollectSelectable(selectable, true);
        if (selectable.GetCount() > 0)
        {
            selectable[0]->Focus();
        }
        else if (top->m_handle != nullptr)
        {
            ::SetFocus(top->m_handle);
        }
    }
    OnEnabledChanged();
}

bool Control::IsEnabled() const
{
    for (const Control* control = this; control != nullptr; control = control->m_parent)
    {
        if (!control->m_enabled)
        {
            return false;
        }
    }
    return true;
}

void Control::OnEnabledChanged()
{
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        m_controls[i]->OnEnabledChanged();
    }
    Invalidate();
}

void Control::SetVisible(bool visible)
{
    bool changed = m_visible != visible;
    m_visible = visible;
    if (visible && m_handle == nullptr)
    {
        if (!m_windowType.IsChild())
        {
            Create();
        }
        else if (m_parent != nullptr && m_parent->m_handle != nullptr)
        {
            Create();
        }
    }
    if (m_handle != nullptr)
    {
        if (!visible && ContainsFocus() && m_windowType.IsChild())
        {
            ::SetFocus(GetTopLevelControl()->m_handle);
        }
        int command = SW_HIDE;
        if (visible)
        {
            command = m_windowType.IsChild()                    ? SW_SHOWNA
                      : m_windowType == WindowType::PopupWindow ? SW_SHOWNOACTIVATE
                                                                : SW_SHOW;
        }
        ShowWindow(m_handle, command);
        if (visible && !m_updatesEnabled)
        {
            SendMessageW(m_handle, WM_SETREDRAW, FALSE, 0);
        }
    }
    if (changed)
    {
        OnVisibleChanged();
        ParentLayout();
    }
}

bool Control::IsVisible() const
{
    const Control* top = this;
    for (const Control* control = this; control != nullptr; control = control->m_parent)
    {
        if (!control->m_visible)
        {
            return false;
        }
        top = control;
    }
    if (m_handle == nullptr || top->m_handle == nullptr)
    {
        return false;
    }
    return IsWindowVisible(top->m_handle) || !top->m_updatesEnabled;
}

void Control::SetUpdatesEnabled(bool enabled)
{
    if (m_updatesEnabled == enabled)
    {
        return;
    }
    m_updatesEnabled = enabled;
    if (m_handle != nullptr)
    {
        OnUpdatesEnabledChanged();
    }
}

void Control::OnUpdatesEnabledChanged()
{
    bool enabled = m_updatesEnabled;
    if (!enabled)
    {
        SendMessageW(m_handle, WM_SETREDRAW, FALSE, 0);
        return;
    }
    // WM_SETREDRAW TRUE would also show a window that was hidden meanwhile.
    if (m_visible)
    {
        SendMessageW(m_handle, WM_SETREDRAW, TRUE, 0);
    }
    RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
    for (const Control* parent = m_parent; parent != nullptr; parent = parent->m_parent)
    {
        if (!parent->m_updatesEnabled)
        {
            return;
        }
    }
    UpdateWindow(m_handle);
}

bool Control::CanSelect() const
{
    return m_tabStop && m_handle != nullptr && IsVisible() && IsEnabled();
}

bool Control::Focus()
{
    if (m_handle == nullptr || !IsVisible() || !IsEnabled())
    {
        return false;
    }
    ::SetFocus(m_handle);
    return GetFocus() == m_handle;
}

bool Control::IsFocused() const
{
    return m_handle != nullptr && GetFocus() == m_handle;
}

bool Control::ContainsFocus() const
{
    if (m_handle == nullptr)
    {
        return false;
    }
    HWND focus = GetFocus();
    return focus != nullptr && (focus == m_handle || IsChild(m_handle, focus));
}

void Control::Invalidate()
{
    if (m_handle != nullptr)
    {
        InvalidateRect(m_handle, nullptr, FALSE);
    }
}

void Control::Invalidate(const Rectangle& rectangle)
{
    if (m_handle != nullptr)
    {
        RECT rect = {rectangle.left, rectangle.top, rectangle.GetRight(), rectangle.GetBottom()};
        InvalidateRect(m_handle, &rect, FALSE);
    }
}

void Control::Update()
{
    if (m_handle != nullptr)
    {
        UpdateWindow(m_handle);
    }
}

// --- Family ---

void Control::SetParent(Control* parent)
{
    if (m_windowType != WindowType::ChildControl)
    {
        throw InvalidOperationException(
            String(L"Control.SetParent method can only be called on child control of WindowType::ChildControl."));
    }
    if (parent == m_parent)
    {
        return;
    }
    if (parent != nullptr)
    {
        parent->m_controls.Add(this);
    }
    else if (m_parent != nullptr)
    {
        m_parent->m_controls.Remove(this);
    }
}

Control* Control::GetTopLevelControl() const
{
    const Control* control = this;
    while (control->m_parent != nullptr)
    {
        control = control->m_parent;
    }
    return const_cast<Control*>(control);
}

void Control::CollectSelectable(Collections::ArrayList<Control*>& list, bool selectableOnly)
{
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (!child->m_visible || child->m_handle == nullptr)
        {
            continue;
        }
        if (!selectableOnly || child->CanSelect())
        {
            list.Add(child);
        }
        child->CollectSelectable(list, selectableOnly);
    }
}

int Control::MessageBox(const String& text, const String& caption, unsigned int style)
{
    return Platform::Windows::Desktop::Current().ShowMessage(m_handle, text, caption, style);
}

// --- Clipboard ---

void Control::PutOnClipboard(const String& text)
{
    if (!OpenClipboard(m_handle))
    {
        return;
    }
    EmptyClipboard();
    size_t bytes = (static_cast<size_t>(text.GetLength()) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory != nullptr)
    {
        void* target = GlobalLock(memory);
        std::memcpy(target, text.GetBuffer(), bytes);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

// --- Timers and capture ---

void Control::StartTimer(int id, int milliseconds)
{
    if (m_handle == nullptr ||
        SetTimer(m_handle, static_cast<UINT_PTR>(id), static_cast<UINT>(milliseconds), nullptr) == 0)
    {
        throw Exception(String(L"Failed to start the timer."));
    }
}

void Control::StopTimer(int id)
{
    if (m_handle == nullptr || !KillTimer(m_handle, static_cast<UINT_PTR>(id)))
    {
        throw Exception(String(L"Failed to stop the timer."));
    }
}

void Control::OnTimer(int) {}

void Control::CaptureMouse()
{
    if (m_handle != nullptr)
    {
        ::SetCapture(m_handle);
    }
}

void Control::ReleaseMouse()
{
    if (HasMouseCapture())
    {
        ::ReleaseCapture();
    }
}

bool Control::HasMouseCapture() const
{
    return m_handle != nullptr && GetCapture() == m_handle;
}

void Control::PerformClick()
{
    OnClick();
}

void Control::OnClick()
{
    EventArgs args;
    Click.Raise(this, args);
}

} // namespace Core::Controls
