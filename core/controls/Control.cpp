#include "core/controls/Control.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/Cursor.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"
#include "core/platform/windows/Desktop.h"

#include <cstring>
#include <windows.h>
#include <windowsx.h>

#undef MessageBox

namespace Core::Controls
{

namespace
{

MessageFilter* messageFilter = nullptr; // not owned
// Alt went down and nothing else happened since: its release enters the menu bar.
bool altPending = false;
int nextChildId = 1000;

// One off-screen bitmap serves every paint; a paint inside a paint gets one of its own.
struct BackBuffer
{
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    bool inUse = false;
};
BackBuffer backBuffer;

Rectangle ToRectangle(const RECT& rect)
{
    return Rectangle{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Rectangle ScaleRectangle(const Rectangle& rectangle, int dpi)
{
    int left = Theme::Scale(rectangle.left, dpi);
    int top = Theme::Scale(rectangle.top, dpi);
    return Rectangle{left, top, Theme::Scale(rectangle.GetRight(), dpi) - left,
                     Theme::Scale(rectangle.GetBottom(), dpi) - top};
}

Rectangle UnscaleRectangle(const Rectangle& rectangle, int dpi)
{
    int left = Theme::Unscale(rectangle.left, dpi);
    int top = Theme::Unscale(rectangle.top, dpi);
    return Rectangle{left, top, Theme::Unscale(rectangle.GetRight(), dpi) - left,
                     Theme::Unscale(rectangle.GetBottom(), dpi) - top};
}

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

// --- ControlCollection ---

ControlCollection::ControlCollection(Control* owner) : m_owner(owner) {}

ControlCollection::~ControlCollection()
{
    for (int i = 0; i < m_count; i++)
    {
        m_items[i]->m_parent = nullptr;
    }
}

void ControlCollection::Insert(int index, Control* control)
{
    if (control == nullptr)
    {
        throw ArgumentNullException(String(L"control"));
    }
    if (!control->m_windowType.IsChild())
    {
        throw InvalidOperationException(
            String(L"Control.SetParent method can only be called on child control of WindowType::ChildControl."));
    }
    for (Control* ancestor = m_owner; ancestor != nullptr; ancestor = ancestor->m_parent)
    {
        if (ancestor == control)
        {
            throw ArgumentException(String(L"ControlCollection.Insert method - a control cannot contain itself"));
        }
    }
    if (control->m_parent == m_owner)
    {
        return;
    }
    if (control->m_parent != nullptr)
    {
        control->m_parent->m_controls.Remove(control);
    }
    Collections::Collection<Control*>::Insert(index, control);
    control->m_parent = m_owner;
    if (m_owner->m_handle != nullptr && control->m_visible)
    {
        try
        {
            control->Create();
        }
        catch (...)
        {
            // A control whose window cannot be made does not stay half added.
            Collections::Collection<Control*>::RemoveAt(IndexOf(control));
            control->m_parent = nullptr;
            throw;
        }
    }
    m_owner->PerformLayout();
}

void ControlCollection::RemoveAt(int index)
{
    CheckIndex(index, m_count - 1, L"Core::Controls::ControlCollection.RemoveAt method - index out of range");
    Control* control = m_items[index];
    Collections::Collection<Control*>::RemoveAt(index);
    control->m_parent = nullptr;
    control->DestroyHandle();
    m_owner->PerformLayout();
}

void ControlCollection::Clear()
{
    while (m_count > 0)
    {
        RemoveAt(m_count - 1);
    }
}

int ControlCollection::IndexOf(const Control* control) const
{
    for (int i = 0; i < m_count; i++)
    {
        if (m_items[i] == control)
        {
            return i;
        }
    }
    return -1;
}

void ControlCollection::Remove(Control* control)
{
    int index = IndexOf(control);
    if (index >= 0)
    {
        RemoveAt(index);
    }
}

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
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (child->m_visible || child->m_windowType.IsChild())
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

// --- Geometry ---

void Control::SetBounds(int left, int top, int width, int height)
{
    m_bounds = Rectangle{left, top, width < 0 ? 0 : width, height < 0 ? 0 : height};
    m_deviceBounds = ScaleRectangle(m_bounds, GetDpi());
    if (m_handle != nullptr)
    {
        ApplyNativeBounds();
    }
    if (m_parent != nullptr && m_dock != DockStyle::None)
    {
        m_parent->PerformLayout();
    }
}

void Control::SetSize(int width, int height)
{
    SetBounds(m_bounds.left, m_bounds.top, width, height);
}

void Control::SetWidth(int width)
{
    SetBounds(m_bounds.left, m_bounds.top, width, m_bounds.height);
}

void Control::SetHeight(int height)
{
    SetBounds(m_bounds.left, m_bounds.top, m_bounds.width, height);
}

void Control::SetLocation(int left, int top)
{
    SetBounds(left, top, m_bounds.width, m_bounds.height);
}

void Control::SetDeviceBounds(const Rectangle& bounds)
{
    m_deviceBounds = bounds;
    m_bounds = UnscaleRectangle(bounds, GetDpi());
    if (m_handle != nullptr)
    {
        ApplyNativeBounds();
    }
}

void Control::ApplyNativeBounds()
{
    SetWindowPos(m_handle, nullptr, m_deviceBounds.left, m_deviceBounds.top, m_deviceBounds.width,
                 m_deviceBounds.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SyncBoundsFromNative()
{
    if (m_handle == nullptr || IsIconic(m_handle))
    {
        return;
    }
    RECT rect;
    GetWindowRect(m_handle, &rect);
    if (m_windowType.IsChild())
    {
        MapWindowPoints(HWND_DESKTOP, ::GetParent(m_handle), reinterpret_cast<POINT*>(&rect), 2);
    }
    Rectangle device = ToRectangle(rect);
    if (device != m_deviceBounds)
    {
        m_deviceBounds = device;
        m_bounds = UnscaleRectangle(device, m_dpi);
    }
}

Rectangle Control::GetClientRectangle() const
{
    if (m_handle != nullptr)
    {
        RECT rect;
        GetClientRect(m_handle, &rect);
        return ToRectangle(rect);
    }
    return Rectangle{0, 0, m_deviceBounds.width, m_deviceBounds.height};
}

Rectangle Control::GetDisplayRectangle() const
{
    Rectangle client = GetClientRectangle();
    int left = Scale(m_padding.left);
    int top = Scale(m_padding.top);
    return Rectangle{left, top, client.width - left - Scale(m_padding.right),
                     client.height - top - Scale(m_padding.bottom)};
}

void Control::SetMargin(const Padding& margin)
{
    m_margin = margin;
    ParentLayout();
}

void Control::SetPadding(const Padding& padding)
{
    m_padding = padding;
    PerformLayout();
    Invalidate();
}

void Control::SetDock(DockStyle dock)
{
    m_dock = dock;
    ParentLayout();
}

Size Control::GetPreferredSize()
{
    return Size{m_bounds.width, m_bounds.height};
}

void Control::ParentLayout()
{
    if (m_parent != nullptr)
    {
        m_parent->PerformLayout();
    }
}

void Control::PerformLayout()
{
    if (m_inLayout)
    {
        return;
    }
    m_inLayout = true;
    try
    {
        OnLayout();
    }
    catch (...)
    {
        m_inLayout = false;
        throw;
    }
    m_inLayout = false;
}

void Control::OnLayout()
{
    LayoutDockedChildren(GetDisplayRectangle());
}

void Control::LayoutDockedChildren(const Rectangle& area)
{
    Rectangle remaining = area;
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        Control* child = m_controls[i];
        if (!child->m_visible || child->m_dock == DockStyle::None)
        {
            continue;
        }
        int ml = Scale(child->m_margin.left);
        int mt = Scale(child->m_margin.top);
        int mr = Scale(child->m_margin.right);
        int mb = Scale(child->m_margin.bottom);
        int width = Scale(child->m_bounds.width);
        int height = Scale(child->m_bounds.height);
        Rectangle place;
        switch (child->m_dock)
        {
        case DockStyle::Top:
            place = Rectangle{remaining.left + ml, remaining.top + mt, remaining.width - ml - mr, height};
            remaining.top += height + mt + mb;
            remaining.height -= height + mt + mb;
            break;
        case DockStyle::Bottom:
            place =
                Rectangle{remaining.left + ml, remaining.GetBottom() - mb - height, remaining.width - ml - mr, height};
            remaining.height -= height + mt + mb;
            break;
        case DockStyle::Left:
            place = Rectangle{remaining.left + ml, remaining.top + mt, width, remaining.height - mt - mb};
            remaining.left += width + ml + mr;
            remaining.width -= width + ml + mr;
            break;
        case DockStyle::Right:
            place = Rectangle{remaining.GetRight() - mr - width, remaining.top + mt, width, remaining.height - mt - mb};
            remaining.width -= width + ml + mr;
            break;
        default:
            place = Rectangle{remaining.left + ml, remaining.top + mt, remaining.width - ml - mr,
                              remaining.height - mt - mb};
            break;
        }
        if (place.width < 0)
        {
            place.width = 0;
        }
        if (place.height < 0)
        {
            place.height = 0;
        }
        // Only the docked side follows the layout; the other extent stays what the control asked for.
        Rectangle wanted = child->m_bounds;
        child->SetDeviceBounds(place);
        if (child->m_dock == DockStyle::Top || child->m_dock == DockStyle::Bottom)
        {
            child->m_bounds.height = wanted.height;
        }
        else if (child->m_dock == DockStyle::Left || child->m_dock == DockStyle::Right)
        {
            child->m_bounds.width = wanted.width;
        }
    }
}

void Control::OnResize()
{
    PerformLayout();
    EventArgs args;
    Resize.Raise(this, args);
}

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

Size Control::MeasureText(const String& text, FontHandle font, int format, int width)
{
    HDC screen = GetDC(nullptr);
    Size size;
    {
        Graphics graphics(screen, Theme::DefaultDpi);
        size = graphics.MeasureString(text, font, format, width);
    }
    ReleaseDC(nullptr, screen);
    return size;
}

// --- DPI ---

int Control::GetDpi() const
{
    if (m_handle != nullptr)
    {
        return m_dpi;
    }
    if (m_parent != nullptr)
    {
        return m_parent->GetDpi();
    }
    return m_dpi;
}

int Control::Scale(int value) const
{
    return Theme::Scale(value, GetDpi());
}

int Control::Unscale(int value) const
{
    return Theme::Unscale(value, GetDpi());
}

void Control::ApplyDpi(int dpi)
{
    int oldDpi = m_dpi;
    m_dpi = dpi;
    ReleaseFont();
    if (m_windowType.IsChild())
    {
        m_deviceBounds = ScaleRectangle(m_bounds, dpi);
        if (m_handle != nullptr)
        {
            ApplyNativeBounds();
        }
    }
    for (int i = 0; i < m_controls.GetCount(); i++)
    {
        m_controls[i]->ApplyDpi(dpi);
    }
    if (oldDpi != dpi)
    {
        OnDpiChanged(oldDpi, dpi);
    }
}

void Control::OnDpiChanged(int, int)
{
    Invalidate();
}

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

// --- Painting ---

void Control::PaintBuffered(DeviceContextHandle target, const Rectangle& clip)
{
    HDC memory = CreateCompatibleDC(target);
    bool shared = !backBuffer.inUse;
    HBITMAP bitmap = nullptr;
    if (shared)
    {
        if (backBuffer.bitmap == nullptr || backBuffer.width < clip.width || backBuffer.height < clip.height)
        {
            if (backBuffer.bitmap != nullptr)
            {
                DeleteObject(backBuffer.bitmap);
            }
            backBuffer.width = clip.width > backBuffer.width ? clip.width : backBuffer.width;
            backBuffer.height = clip.height > backBuffer.height ? clip.height : backBuffer.height;
            backBuffer.bitmap = CreateCompatibleBitmap(target, backBuffer.width, backBuffer.height);
        }
        bitmap = backBuffer.bitmap;
        backBuffer.inUse = true;
    }
    else
    {
        bitmap = CreateCompatibleBitmap(target, clip.width, clip.height);
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    struct Release
    {
        HDC memory;
        HGDIOBJ previous;
        HBITMAP bitmap;
        bool shared;
        ~Release()
        {
            SelectObject(memory, previous);
            DeleteDC(memory);
            if (shared)
            {
                backBuffer.inUse = false;
            }
            else
            {
                DeleteObject(bitmap);
            }
        }
    } release{memory, previous, bitmap, shared};
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

intptr_t Control::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
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
    case WM_PRINTCLIENT:
        PaintWhole(reinterpret_cast<HDC>(wParam), (lParam & PRF_CHILDREN) != 0);
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
        {
            SyncBoundsFromNative();
            OnResize();
        }
        return 0;
    case WM_MOVE:
        SyncBoundsFromNative();
        return 0;
    case WM_SETFOCUS:
        OnGotFocus();
        return 0;
    case WM_KILLFOCUS:
        OnLostFocus();
        return 0;
    case WM_MOUSEMOVE:
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
    case WM_MOUSELEAVE:
        m_mouseInside = false;
        OnMouseLeave();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    {
        altPending = false;
        int button = message == WM_LBUTTONDOWN   ? MouseButtons::Left
                     : message == WM_RBUTTONDOWN ? MouseButtons::Right
                                                 : MouseButtons::Middle;
        OnMouseDown(PointFromLParam(lParam), button, MouseKeys(wParam));
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    {
        int button = message == WM_LBUTTONUP   ? MouseButtons::Left
                     : message == WM_RBUTTONUP ? MouseButtons::Right
                                               : MouseButtons::Middle;
        OnMouseUp(PointFromLParam(lParam), button, MouseKeys(wParam));
        // The right button's release asks for the context menu.
        return message == WM_RBUTTONUP ? DefWndProc(message, wParam, lParam) : 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    {
        int button = message == WM_LBUTTONDBLCLK   ? MouseButtons::Left
                     : message == WM_RBUTTONDBLCLK ? MouseButtons::Right
                                                   : MouseButtons::Middle;
        OnMouseDoubleClick(PointFromLParam(lParam), button, MouseKeys(wParam));
        return 0;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
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
                break;
            }
        }
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (DispatchKeyDown(message, wParam, lParam))
        {
            return 0;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
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
        break;
    }
    case WM_CHAR:
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
    case WM_SYSCHAR:
        // Alt+letter was handled at the key press; only Alt+Space (the system menu) goes on.
        if (wParam == L' ')
        {
            break;
        }
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<int>(wParam));
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == m_handle)
        {
            HCURSOR cursor = Cursor::GetOverride();
            SetCursor(cursor != nullptr ? cursor : Cursor::LoadStandard(m_cursorId));
            return TRUE;
        }
        break;
    case WM_CAPTURECHANGED:
        OnCaptureLost();
        return 0;
    case WM_CONTEXTMENU:
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
        break;
    case WM_GETFONT:
        return reinterpret_cast<intptr_t>(GetFontHandle());
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        if (!m_windowType.IsChild())
        {
            Theme::Reset();
            OnSystemSettingsChanged();
            RedrawWindow(m_handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
        }
        break;
    case WM_DPICHANGED:
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
        break;
    case WM_GETOBJECT:
    {
        intptr_t result = 0;
        if (AnswerGetObject(*this, wParam, lParam, result))
        {
            return result;
        }
        break;
    }
    case WM_DESTROY:
        if (m_windowType == WindowType::ApplicationWindow)
        {
            PostThreadMessageW(GetCurrentThreadId(), Application::ApplicationEndMessage, 0, 0);
        }
        break;
    default:
        break;
    }
    return DefWndProc(message, wParam, lParam);
}

} // namespace Core::Controls
