// Base of every control: an object that owns one native window, registers its window class once per
// name, receives the window's messages through one shared window procedure and a virtual handler that
// unpacks them into named operations (OnMouseDown, OnPaint, ...), paints double-buffered (also for
// WM_PRINTCLIENT), scales its 96-DPI geometry and fonts to its window's DPI, and raises events.
#pragma once

#include "core/EnumValue.h"
#include "core/Event.h"
#include "core/String.h"
#include "core/collections/Collection.h"
#include "core/controls/Color.h"
#include "core/controls/Font.h"
#include "core/controls/Geometry.h"
#include "core/controls/Keys.h"
#include "core/controls/NativeTypes.h"

#include <cstdint>

// <windows.h> maps MessageBox to MessageBoxW; the toolkit's operation keeps its own name.
#ifdef MessageBox
#undef MessageBox
#endif

namespace Core::Controls
{

class Control;
class AccessibleObject;
class ContextMenu;
class Graphics;
class ToolTip;
class Window;

// Decides a control's native window style; fixed in the constructor.
class WindowType : public EnumValue
{
public:
    enum Value
    {
        ChildControl = 1,      // child window, clips siblings
        ApplicationWindow = 2, // overlapped window; destroying it ends the application
        ChildWindow = 3,       // child window, clips siblings
        DialogWindow = 4,      // pop-up with caption and system menu
        PopupWindow = 5        // borderless pop-up that never takes activation: menus, drop-downs, tooltips
    };
    WindowType(Value value) : EnumValue(value) {}
    explicit WindowType(int value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
    bool IsChild() const { return GetValue() == ChildControl || GetValue() == ChildWindow; }
};

// Where a control sits in its parent's client area when the parent lays out its children.
enum class DockStyle
{
    None,
    Top,
    Bottom,
    Left,
    Right,
    Fill
};

namespace MouseButtons
{
constexpr int None = 0;
constexpr int Left = 1;
constexpr int Right = 2;
constexpr int Middle = 4;
} // namespace MouseButtons

// Placement of a control's content: one horizontal and one vertical choice.
namespace ContentAlignment
{
constexpr int TopLeft = 0x001;
constexpr int TopCenter = 0x002;
constexpr int TopRight = 0x004;
constexpr int MiddleLeft = 0x010;
constexpr int MiddleCenter = 0x020;
constexpr int MiddleRight = 0x040;
constexpr int BottomLeft = 0x100;
constexpr int BottomCenter = 0x200;
constexpr int BottomRight = 0x400;
// The TextFormat flags that place text so.
int ToTextFormat(int alignment);
} // namespace ContentAlignment

// A control's children, in creation and tab order. It does not own them: whoever created a control
// deletes it; a deleted child leaves its parent's collection.
class ControlCollection : public Collections::Collection<Control*>
{
public:
    explicit ControlCollection(Control* owner);
    ~ControlCollection() override;

    void Insert(int index, Control* control) override;
    void RemoveAt(int index) override;
    void Clear() override;
    int IndexOf(const Control* control) const;
    void Remove(Control* control);

private:
    Control* m_owner; // not owned
};

// Gets the first look at every message of every control while installed: open menus and drop-downs
// take the keyboard and the clicks outside them this way.
class MessageFilter
{
public:
    virtual ~MessageFilter() = default;
    // True when the message was consumed and must not reach the control.
    virtual bool PreFilterMessage(Control* target, unsigned int message, uintptr_t wParam, intptr_t lParam) = 0;
};

class Control : public Object
{
public:
    Control();
    // Destroys the native window (and with it the children's windows) and leaves the parent.
    ~Control() override;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // --- Native window ---
    WindowHandle GetHandle() const { return m_handle; }
    bool IsHandleCreated() const { return m_handle != nullptr; }
    // Registers the window class (once per name), creates the window bound to this object, creates
    // the children's windows and calls OnCreate.
    void Create();
    void DestroyHandle();
    // The control bound to a native window of this toolkit, or null.
    static Control* FromHandle(WindowHandle handle);

    // Only in the constructor, before the window exists.
    void SetClassName(const String& className);
    const String& GetNativeClassName() const { return m_className; }
    void SetWindowType(WindowType windowType);
    WindowType GetWindowType() const { return m_windowType; }

    // --- Text ---
    virtual void SetText(const String& text);
    const String& GetText() const { return m_text; }
    // The character after the first single "&" in upper case, or 0.
    static wchar_t GetMnemonic(const String& text);
    wchar_t GetMnemonic() const { return GetMnemonic(m_text); }

    // --- Geometry, in pixels at 96 DPI; a top-level window's bounds are its outer frame ---
    void SetBounds(int left, int top, int width, int height);
    void SetBounds(const Rectangle& bounds) { SetBounds(bounds.left, bounds.top, bounds.width, bounds.height); }
    Rectangle GetBounds() const { return m_bounds; }
    void SetSize(int width, int height);
    void SetWidth(int width);
    void SetHeight(int height);
    void SetLocation(int left, int top);
    // The client area in this window's own pixels (origin 0, 0).
    Rectangle GetClientRectangle() const;
    // Places the window at a rectangle of its parent's client area in device pixels: what layouts call.
    void SetDeviceBounds(const Rectangle& bounds);
    Rectangle GetDeviceBounds() const { return m_deviceBounds; }
    void SetMargin(const Padding& margin);
    const Padding& GetMargin() const { return m_margin; }
    void SetPadding(const Padding& padding);
    const Padding& GetPadding() const { return m_padding; }
    void SetDock(DockStyle dock);
    DockStyle GetDock() const { return m_dock; }
    // The size the control would like at 96 DPI; layouts may use it (0 means no preference).
    virtual Size GetPreferredSize();

    // --- DPI ---
    int GetDpi() const;
    int Scale(int value) const;
    int Unscale(int value) const;

    // --- Appearance ---
    void SetFont(const Font& font);
    // Back to the font the control would have without SetFont.
    void ResetFont();
    const Font* GetFont() const { return m_font; }
    // The native font to draw with at the control's DPI: its own, its parent's or the system's.
    FontHandle GetFontHandle();
    void SetForeColor(Color color);
    Color GetForeColor() const;
    void SetBackColor(Color color);
    Color GetBackColor() const;
    void SetTextAlignment(int alignment);
    int GetTextAlignment() const { return m_textAlignment; }
    // A standard cursor identifier (0x7F00 arrow, 0x7F01 I-beam, 0x7F89 hand, ...).
    void SetCursorId(int cursorId) { m_cursorId = cursorId; }
    int GetCursorId() const { return m_cursorId; }

    // --- State ---
    void SetEnabled(bool enabled);
    bool GetEnabled() const { return m_enabled; }
    // Enabled and every parent enabled.
    bool IsEnabled() const;
    void SetVisible(bool visible);
    bool GetVisible() const { return m_visible; }
    // Shown on the screen: the window exists and it and its parents are visible.
    bool IsVisible() const;
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Off: the window stops drawing. On again: it repaints at once when it and every parent draw.
    void SetUpdatesEnabled(bool enabled);
    bool GetUpdatesEnabled() const { return m_updatesEnabled; }
    void SetTabStop(bool tabStop) { m_tabStop = tabStop; }
    bool GetTabStop() const { return m_tabStop; }
    // Can take the keyboard focus now: created, visible, enabled, a tab stop.
    virtual bool CanSelect() const;
    bool Focus();
    bool IsFocused() const;
    bool ContainsFocus() const;
    void Invalidate();
    void Invalidate(const Rectangle& rectangle);
    void Update();
    void PerformLayout();
    // Paints the client area into a device context, as WM_PRINTCLIENT does.
    void RenderTo(DeviceContextHandle deviceContext, bool withChildren);

    // --- Family ---
    ControlCollection& GetControls() { return m_controls; }
    Control* GetParent() const { return m_parent; }
    // What screen readers and automation tools are told of this control; made on first request.
    AccessibleObject& GetAccessibilityObject();
    // The tip shown for this control, or null.
    ToolTip* GetToolTip() const { return m_toolTip; }
    // Only for controls of WindowType::ChildControl; null takes the control out of its parent.
    void SetParent(Control* parent);
    // The top-level control above this one (itself when it has no parent).
    Control* GetTopLevelControl() const;
    void SetContextMenu(ContextMenu* contextMenu) { m_contextMenu = contextMenu; }
    ContextMenu* GetContextMenu() const { return m_contextMenu; }

    // MessageBoxW owned by this control's window, through the Desktop seam; returns the pressed button.
    int MessageBox(const String& text, const String& caption, unsigned int style);

    // --- Timers (WM_TIMER to OnTimer) ---
    void StartTimer(int id, int milliseconds);
    void StopTimer(int id);

    // --- Mouse capture ---
    void CaptureMouse();
    void ReleaseMouse();
    bool HasMouseCapture() const;
    bool IsMouseInside() const { return m_mouseInside; }

    // Runs the click as if the user clicked: raises Click.
    void PerformClick();
    // Acts on the control's own mnemonic as Alt+letter does; true when it did something.
    bool PerformMnemonic() { return ProcessMnemonic(GetMnemonic()); }

    // The filter that sees every message first (one at a time), or null.
    static void SetMessageFilter(MessageFilter* filter);
    static MessageFilter* GetMessageFilter();
    // Ctrl, Shift and Alt as they are held now, as Keys bits.
    static int GetModifierKeys();

    Event<EventArgs> Load;
    Event<EventArgs> Click;
    Event<EventArgs> GotFocus;
    Event<EventArgs> LostFocus;
    Event<EventArgs> TextChanged;
    Event<EventArgs> Resize;

    // The dispatcher of every key press: menus and dialogs get their turn before the control.
    bool PreProcessKey(int keyData);

protected:
    friend class ControlCollection;
    friend class ToolTip;

    // The per-object message handler. The default unpacks the messages into the named handlers below
    // and passes the rest to DefWndProc.
    virtual intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t DefWndProc(unsigned int message, uintptr_t wParam, intptr_t lParam);
    // Native styles for CreateWindowEx; the defaults follow the window type.
    virtual void GetCreateStyles(uint32_t& style, uint32_t& exStyle) const;
    virtual uint32_t GetClassStyle() const;
    // The native owner of a pop-up window, or null.
    virtual WindowHandle GetOwnerHandle() const { return nullptr; }

    // Called once the native window and its children exist; raises Load.
    virtual void OnCreate(Object* sender, EventArgs& args);
    virtual void OnHandleDestroyed() {}
    // The model behind the control's accessible object; controls with items of their own return their own.
    virtual AccessibleObject* CreateAccessibilityObject();
    virtual void OnPaintBackground(Graphics& graphics, const Rectangle& clip);
    virtual void OnPaint(Graphics& graphics, const Rectangle& clip);
    virtual void OnResize();
    // Places the children; the default docks them.
    virtual void OnLayout();
    virtual void OnMouseDown(const Point& point, int button, int keys);
    virtual void OnMouseUp(const Point& point, int button, int keys);
    virtual void OnMouseDoubleClick(const Point& point, int button, int keys);
    virtual void OnMouseMove(const Point& point, int keys);
    // True when the wheel was used; otherwise the parent gets it. delta: 120 per notch, positive away from the user.
    virtual bool OnMouseWheel(const Point& point, int delta, int keys);
    virtual void OnMouseEnter();
    virtual void OnMouseLeave();
    // Return true when the key was used.
    virtual bool OnKeyDown(int keyData);
    virtual bool OnKeyUp(int keyData);
    virtual bool OnKeyPress(wchar_t character);
    virtual void OnGotFocus();
    virtual void OnLostFocus();
    virtual void OnEnabledChanged();
    virtual void OnVisibleChanged() {}
    // After SetUpdatesEnabled changed the switch (window created). The default stops the window's
    // drawing (WM_SETREDRAW) and repaints it whole when drawing resumes; views that track their own
    // changes repaint only those.
    virtual void OnUpdatesEnabledChanged();
    virtual void OnTextChanged();
    // A control whose text is a secret keeps it out of its native window (where any process can read it)
    // and wipes each text it lets go.
    virtual bool HoldsSecretText() const { return false; }
    // Puts the text the native window may hold there (empty for a secret).
    void SyncNativeText();
    virtual void OnFontChanged();
    virtual void OnDpiChanged(int oldDpi, int newDpi);
    virtual void OnCaptureLost() {}
    virtual void OnTimer(int id);
    virtual void OnClick();
    // Asked for the context menu key or a right click: shows the context menu, if any.
    virtual void OnContextMenuRequested(const Point& screenPoint);
    virtual void OnSystemSettingsChanged();
    // Told to the top-level control when a control below it gets the focus.
    virtual void OnDescendantFocused(Control*) {}
    // A top-level window created at the system's default position.
    virtual bool UsesDefaultLocation() const { return false; }

    // Keyboard preprocessing, in this order: ProcessCmdKey from the focused control up to the top,
    // then (unless the focused control wants the key itself, IsInputKey) ProcessDialogKey likewise.
    virtual bool ProcessCmdKey(int keyData);
    virtual bool IsInputKey(int keyData) const;
    virtual bool ProcessDialogKey(int keyData);
    // A character the focused control does not take (WantsCharacters false) may be a mnemonic.
    virtual bool WantsCharacters() const { return false; }
    virtual bool ProcessDialogChar(wchar_t character);
    // The control's own reaction to its mnemonic (Alt+letter): true when it acted.
    virtual bool ProcessMnemonic(wchar_t character);
    virtual bool ProcessKeyUp(int keyData);

    // The colour and font when none was set and none is inherited.
    virtual Color GetDefaultBackColor() const;
    virtual Color GetDefaultForeColor() const;
    virtual FontHandle GetDefaultFontHandle();
    // Whether the parent's ambient font and colours pass to this control.
    virtual bool InheritsAppearance() const { return true; }

    // Selectable descendants in tab order (depth first, in collection order).
    void CollectSelectable(Collections::ArrayList<Control*>& list, bool selectableOnly);
    // Hover highlighting and pressed states repaint through this.
    void SetMouseInside(bool inside) { m_mouseInside = inside; }
    void LayoutDockedChildren(const Rectangle& area);
    // The size of text in device pixels, measured on the screen.
    static Size MeasureText(const String& text, FontHandle font, int format = 0x20, int width = 0);
    // The height of a line of the font at a DPI, as Graphics::GetLineHeight gives it on the screen.
    static int MeasureLineHeight(FontHandle font, int dpi);
    // Replaces the clipboard's content by text (nothing happens when the clipboard is not to be had).
    void PutOnClipboard(const String& text);
    // The client area minus the padding, in device pixels.
    Rectangle GetDisplayRectangle() const;

    WindowHandle m_handle = nullptr;
    int m_dpi;

private:
    static intptr_t __stdcall WindowProcedure(WindowHandle handle, unsigned int message, uintptr_t wParam,
                                              intptr_t lParam);
    void RegisterWindowClass();
    void ApplyNativeBounds();
    void SyncBoundsFromNative();
    void ApplyDpi(int dpi);
    void PaintBuffered(DeviceContextHandle target, const Rectangle& clip);
    void PaintWhole(DeviceContextHandle deviceContext, bool withChildren);
    void ReleaseFont();
    bool DispatchKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam);
    // What WndProc does for each message; a message a handler leaves goes to DefWndProc.
    intptr_t HandlePaint(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleNonClientPaint(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandlePrintClient(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleSize(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleMove(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleFocus(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleMouseMove(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleMouseLeave(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleButtonDown(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleButtonUp(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleDoubleClick(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleWheel(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleKeyUp(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleChar(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleSysChar(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleTimer(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleSetCursor(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleCaptureChanged(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleContextMenu(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleSettingsChange(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleDpiChange(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleGetObject(unsigned int message, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleDestroy(unsigned int message, uintptr_t wParam, intptr_t lParam);
    void ParentLayout();

    String m_text;
    String m_className;
    WindowType m_windowType;
    Control* m_parent = nullptr;                 // not owned
    AccessibleObject* m_accessibility = nullptr; // owned; made on first request
    ControlCollection m_controls;
    Rectangle m_bounds;
    Rectangle m_deviceBounds;
    Padding m_margin;
    Padding m_padding;
    DockStyle m_dock = DockStyle::None;
    Font* m_font = nullptr;            // owned; null: inherited or the system's
    FontHandle m_fontHandle = nullptr; // owned; m_font at m_fontDpi
    int m_fontDpi = 0;
    Color m_foreColor = Colors::Empty;
    Color m_backColor = Colors::Empty;
    int m_textAlignment = ContentAlignment::MiddleLeft;
    int m_cursorId = 0x7F00;
    bool m_enabled = true;
    bool m_visible;
    bool m_updatesEnabled = true;
    bool m_tabStop = false;
    bool m_mouseInside = false;
    bool m_inLayout = false;
    ContextMenu* m_contextMenu = nullptr; // not owned
    ToolTip* m_toolTip = nullptr;         // not owned: the tooltip that shows a text for this control
};

// Switches a control's drawing off for a scope and on again however the scope ends: many changes, one repaint.
class UpdatesPaused
{
public:
    explicit UpdatesPaused(Control& control) : m_control(control) { control.SetUpdatesEnabled(false); }
    ~UpdatesPaused() { m_control.SetUpdatesEnabled(true); }
    UpdatesPaused(const UpdatesPaused&) = delete;
    UpdatesPaused& operator=(const UpdatesPaused&) = delete;

private:
    Control& m_control;
};

} // namespace Core::Controls
