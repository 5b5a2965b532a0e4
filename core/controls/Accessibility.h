// What assistive technology (screen readers, automation tools) learns of a control: its role, name, value,
// state and place, and the simple items inside it (tree items, tabs, buttons, panels), through Microsoft Active
// Accessibility. Every control answers WM_GETOBJECT with a COM object over its AccessibleObject; the object
// outlives neither the control nor its window: a client that keeps it afterwards gets CO_E_OBJNOTCONNECTED.
#pragma once

#include "core/String.h"
#include "core/controls/Geometry.h"

#include <cstdint>
#include <memory>

namespace Core::Controls
{

class Control;
class AccessibleProxy;

// Role and state values are those of oleacc.h (ROLE_SYSTEM_..., STATE_SYSTEM_...).
namespace AccessibleRoles
{
constexpr int TitleBar = 0x01;
constexpr int MenuBar = 0x02;
constexpr int ScrollBar = 0x03;
constexpr int Window = 0x09;
constexpr int Client = 0x0A;
constexpr int MenuPopup = 0x0B;
constexpr int MenuItem = 0x0C;
constexpr int ToolTip = 0x0D;
constexpr int Dialog = 0x12;
constexpr int Separator = 0x15;
constexpr int ToolBar = 0x16;
constexpr int StatusBar = 0x17;
constexpr int Table = 0x18;
constexpr int ColumnHeader = 0x19;
constexpr int Row = 0x1C;
constexpr int Cell = 0x1D;
constexpr int Link = 0x1E;
constexpr int List = 0x21;
constexpr int ListItem = 0x22;
constexpr int Outline = 0x23;
constexpr int OutlineItem = 0x24;
constexpr int PageTab = 0x25;
constexpr int PropertyPage = 0x26;
constexpr int Graphic = 0x28;
constexpr int StaticText = 0x29;
constexpr int Text = 0x2A;
constexpr int PushButton = 0x2B;
constexpr int CheckButton = 0x2C;
constexpr int ComboBox = 0x2E;
constexpr int PageTabList = 0x3C;
constexpr int Grouping = 0x14;
constexpr int Pane = 0x10;
} // namespace AccessibleRoles

namespace AccessibleStates
{
constexpr int Unavailable = 0x1;
constexpr int Selected = 0x2;
constexpr int Focused = 0x4;
constexpr int Pressed = 0x8;
constexpr int Checked = 0x10;
constexpr int Mixed = 0x20;
constexpr int ReadOnly = 0x40;
constexpr int HotTracked = 0x80;
constexpr int Default = 0x100;
constexpr int Expanded = 0x200;
constexpr int Collapsed = 0x400;
constexpr int Busy = 0x800;
constexpr int Invisible = 0x8000;
constexpr int Offscreen = 0x10000;
constexpr int HasPopup = 0x40000000;
constexpr int Focusable = 0x100000;
constexpr int Selectable = 0x200000;
constexpr int Linked = 0x400000;
constexpr int Protected = 0x20000000;
} // namespace AccessibleStates

// One simple item of a control, as a client sees it.
struct AccessibleItem
{
    int role = AccessibleRoles::Client;
    String name;
    String value;
    int state = 0;
    String description;
    String keyboardShortcut;
    String defaultAction;
    Rectangle bounds; // in the control's client area, device pixels
};

// The model behind an accessible object: a control's own, or a part of a control that clients see as an object
// of its own (a grid's row). Controls with items derive from it.
class AccessibleObject
{
public:
    explicit AccessibleObject(Control& control);
    // A part of control, alive as long as the control's own object (owner) is.
    AccessibleObject(Control& control, const AccessibleObject& owner);
    virtual ~AccessibleObject();
    AccessibleObject(const AccessibleObject&) = delete;
    AccessibleObject& operator=(const AccessibleObject&) = delete;

    Control& GetControl() const { return m_control; }
    // False once the control's window or the control is gone: clients then get CO_E_OBJNOTCONNECTED.
    bool IsAlive() const { return *m_alive; }
    // Whether a part still stands for something its control shows (asked only while alive): a grid's row that
    // was removed or that the filter hides does not, and clients then get CO_E_OBJNOTCONNECTED.
    virtual bool IsPresent() { return true; }

    virtual int GetRole();
    // The name given by SetName, else the control's text without its mnemonic marker; a text box or drop-down
    // takes the label before it.
    virtual String GetName();
    // Names a control that shows no text and has no label (a tree, a grid).
    void SetName(const String& name) { m_name = name; }
    // A text box's text (none for a password), a drop-down's choice.
    virtual String GetValue();
    // What a client's put_accValue comes to: most values are the control's own and cannot be set.
    enum class ValueChange
    {
        NotSupported,
        Refused, // settable, but not now (a read-only text)
        Made
    };
    virtual ValueChange SetValue(const String&) { return ValueChange::NotSupported; }
    virtual int GetState();
    // The control's tool tip text, as the system describes controls.
    virtual String GetDescription();
    // The mnemonic as "Alt+X"; for a text box, the one of the label before it.
    virtual String GetKeyboardShortcut();
    // "Press" for a button, "Check" or "Uncheck" for a check box, "Jump" for a link; they click the control.
    virtual String GetDefaultAction();
    virtual bool DoDefaultAction();
    // Where the object is on the screen, device pixels.
    virtual Rectangle GetScreenBounds();
    // A new reference to the parent's IAccessible, or null.
    virtual void* GetParentInterface();
    // The control's child windows, which follow the items as children.
    virtual int GetChildControlCount();
    virtual Control* GetChildControl(int index);

    // Simple items, 0 .. count-1 (child ids 1 .. count).
    virtual int GetItemCount() { return 0; }
    virtual AccessibleItem GetItem(int) { return AccessibleItem{}; }
    // The item under a point of the client area, or -1.
    virtual int HitTestItem(const Point&) { return -1; }
    virtual int GetFocusedItem() { return -1; }
    virtual int GetSelectedItem() { return -1; }
    virtual bool DoItemAction(int) { return false; }
    virtual bool SelectItem(int) { return false; }
    // An item that is an accessible object of its own (a grid's row): a new reference, or null for a simple one.
    virtual void* GetItemObject(int) { return nullptr; }

    // The COM object clients hold (a new reference as an IAccessible*), made on first request.
    void* GetInterface();
    // Cuts every client off: called when the window goes.
    void Disconnect();

    // The label placed right before the control in its parent, as Windows names edit boxes.
    static Control* FindLabelBefore(Control& control);
    // "Alt+X" for text with mnemonic X, else empty.
    static String MnemonicShortcut(const String& text);
    // The text as shown: without the '&' that marks a mnemonic ("&&" stays one '&').
    static String WithoutMnemonic(const String& text);
    // The screen rectangle of a rectangle of control's client area.
    static Rectangle ClientToScreen(Control& control, const Rectangle& bounds);

private:
    friend class AccessibleProxy;
    Control& m_control;
    String m_name;
    std::shared_ptr<bool> m_alive;
    bool m_ownsAlive;
    AccessibleProxy* m_proxy = nullptr; // one reference held while connected
};

// Answers WM_GETOBJECT for a control: true with the result when the request was for its client object.
bool AnswerGetObject(Control& control, uintptr_t wParam, intptr_t lParam, intptr_t& result);
// A COM object owning a windowless model (a grid's row): a new reference as IAccessible*.
void* CreateWindowlessAccessible(AccessibleObject* model);
// Tells clients of a change (event: a WinEvent such as EVENT_OBJECT_FOCUS); item -1 is the control itself.
void NotifyAccessibleEvent(Control& control, unsigned int event, int item = -1);

} // namespace Core::Controls
