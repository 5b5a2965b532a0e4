#include "core/controls/Accessibility.h"

#include "core/controls/Button.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/Control.h"
#include "core/controls/Form.h"
#include "core/controls/Label.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/Panel.h"
#include "core/controls/PictureBox.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/TabPage.h"
#include "core/controls/TextBox.h"
#include "core/controls/ToolTip.h"
#include "core/controls/Window.h"
#include "core/platform/windows/SystemFunction.h"
#include "core/threading/Completion.h"

#include <cwctype>
#include <oleacc.h>
#include <utility>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

// Calls from a screen reader in another process come in on COM's own threads (the process lives in the
// multithreaded apartment), but the controls and their models are the window thread's alone: such a call is
// carried to that thread and answered there. A thread that does not answer in time leaves the object cut off.
constexpr uint32_t HopTimeoutMilliseconds = 10000;

// oleacc.dll is mapped when a client first asks for an object, not by the loader at every start.
using LresultFromObjectFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

LresultFromObjectFunction LresultFromObjectOfSystem()
{
    static const auto function =
        Platform::Windows::SystemFunction<LresultFromObjectFunction>(L"oleacc.dll", "LresultFromObject");
    return function;
}

CreateStdAccessibleObjectFunction CreateStdAccessibleObjectOfSystem()
{
    static const auto function = Platform::Windows::SystemFunction<CreateStdAccessibleObjectFunction>(
        L"oleacc.dll", "CreateStdAccessibleObject");
    return function;
}

} // namespace

// The IAccessible that clients hold. It asks its model each time, so it never shows a stale state; once the
// model is cut off (its control or window went) or no longer present (a grid row removed or filtered out) every
// call answers CO_E_OBJNOTCONNECTED, and every call given a bad child id E_INVALIDARG.
class AccessibleProxy : public IAccessible
{
public:
    AccessibleProxy(AccessibleObject* model, bool ownsModel)
        : m_model(model), m_ownsModel(ownsModel), m_thread(GetCurrentThreadId())
    {
        // Made on the window thread itself, before its first accessible object goes out.
        Threading::WindowThread::Accept();
    }
    virtual ~AccessibleProxy()
    {
        if (m_ownsModel)
        {
            delete m_model;
        }
    }
    AccessibleProxy(const AccessibleProxy&) = delete;
    AccessibleProxy& operator=(const AccessibleProxy&) = delete;

    void Disconnect() { m_model = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
        {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible))
        {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&m_references);
        if (left == 0)
        {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients use the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
        {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        return Guard(parent,
                     [&]
                     {
                         *parent = static_cast<IDispatch*>(static_cast<IAccessible*>(m_model->GetParentInterface()));
                         return *parent != nullptr ? S_OK : S_FALSE;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        return Guard(count,
                     [&]
                     {
                         *count = m_model->GetItemCount() + m_model->GetChildControlCount();
                         return S_OK;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override
    {
        return Guard(dispatch,
                     [&]
                     {
                         *dispatch = nullptr;
                         Target target = Resolve(child);
                         if (target.kind == Target::Invalid || target.kind == Target::Self)
                         {
                             return E_INVALIDARG;
                         }
                         void* object = target.kind == Target::Item
                                            ? m_model->GetItemObject(target.index)
                                            : target.control->GetAccessibilityObject().GetInterface();
                         *dispatch = static_cast<IDispatch*>(static_cast<IAccessible*>(object));
                         return object != nullptr ? S_OK : S_FALSE;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Text(
            child, name, [](AccessibleObject& self) { return self.GetName(); },
            [](const AccessibleItem& item) { return item.name; });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Text(
            child, value, [](AccessibleObject& self) { return self.GetValue(); },
            [](const AccessibleItem& item) { return item.value; });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return Text(
            child, description, [](AccessibleObject& self) { return self.GetDescription(); },
            [](const AccessibleItem& item) { return item.description; });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return Number(
            child, role, [](AccessibleObject& self) { return self.GetRole(); },
            [](const AccessibleItem& item) { return item.role; });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return Number(
            child, state, [](AccessibleObject& self) { return self.GetState(); },
            [](const AccessibleItem& item) { return item.state; });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return Guard(help,
                     [&]
                     {
                         *help = nullptr;
                         return Resolve(child).kind == Target::Invalid ? E_INVALIDARG : S_FALSE;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        if (file != nullptr)
        {
            *file = nullptr;
        }
        return Guard(topic,
                     [&]
                     {
                         *topic = 0;
                         return Resolve(child).kind == Target::Invalid ? E_INVALIDARG : S_FALSE;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return Text(
            child, shortcut, [](AccessibleObject& self) { return self.GetKeyboardShortcut(); },
            [](const AccessibleItem& item) { return item.keyboardShortcut; });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        return Guard(focus,
                     [&]
                     {
                         VariantInit(focus);
                         Control& control = m_model->GetControl();
                         if (control.IsFocused())
                         {
                             focus->vt = VT_I4;
                             int item = m_model->GetFocusedItem();
                             focus->lVal = item >= 0 ? item + 1 : CHILDID_SELF;
                             return S_OK;
                         }
                         for (int i = 0; i < m_model->GetChildControlCount(); i++)
                         {
                             Control* child = m_model->GetChildControl(i);
                             if (child->IsFocused() || child->ContainsFocus())
                             {
                                 focus->vt = VT_DISPATCH;
                                 focus->pdispVal = static_cast<IDispatch*>(
                                     static_cast<IAccessible*>(child->GetAccessibilityObject().GetInterface()));
                                 return S_OK;
                             }
                         }
                         return S_FALSE;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return Guard(selection,
                     [&]
                     {
                         VariantInit(selection);
                         int item = m_model->GetSelectedItem();
                         if (item < 0)
                         {
                             return S_FALSE;
                         }
                         selection->vt = VT_I4;
                         selection->lVal = item + 1;
                         return S_OK;
                     });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return Text(
            child, action, [](AccessibleObject& self) { return self.GetDefaultAction(); },
            [](const AccessibleItem& item) { return item.defaultAction; });
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return Call(
            [&]
            {
                Target target = Resolve(child);
                if (target.kind == Target::Item)
                {
                    return m_model->SelectItem(target.index) ? S_OK : S_FALSE;
                }
                if (target.kind == Target::Self && (flags & SELFLAG_TAKEFOCUS) != 0)
                {
                    return m_model->GetControl().Focus() ? S_OK : S_FALSE;
                }
                return target.kind == Target::Invalid ? E_INVALIDARG : DISP_E_MEMBERNOTFOUND;
            });
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
        {
            return E_POINTER;
        }
        *left = *top = *width = *height = 0;
        return Call(
            [&]
            {
                Target target = Resolve(child);
                Rectangle bounds;
                switch (target.kind)
                {
                case Target::Self:
                    bounds = m_model->GetScreenBounds();
                    break;
                case Target::Item:
                    bounds =
                        AccessibleObject::ClientToScreen(m_model->GetControl(), m_model->GetItem(target.index).bounds);
                    break;
                case Target::ChildControl:
                    bounds = target.control->GetAccessibilityObject().GetScreenBounds();
                    break;
                default:
                    return E_INVALIDARG;
                }
                *left = bounds.left;
                *top = bounds.top;
                *width = bounds.width;
                *height = bounds.height;
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return Guard(end,
                     [&]
                     {
                         VariantInit(end);
                         Target target = Resolve(start);
                         if (target.kind == Target::Invalid)
                         {
                             return E_INVALIDARG;
                         }
                         long count = m_model->GetItemCount() + m_model->GetChildControlCount();
                         long from = target.kind == Target::Self ? 0 : start.lVal;
                         long to = 0;
                         switch (direction)
                         {
                         case NAVDIR_FIRSTCHILD:
                             to = target.kind == Target::Self ? 1 : 0;
                             break;
                         case NAVDIR_LASTCHILD:
                             to = target.kind == Target::Self ? count : 0;
                             break;
                         case NAVDIR_NEXT:
                         case NAVDIR_DOWN:
                         case NAVDIR_RIGHT:
                             to = target.kind != Target::Self ? from + 1 : 0;
                             break;
                         case NAVDIR_PREVIOUS:
                         case NAVDIR_UP:
                         case NAVDIR_LEFT:
                             to = target.kind != Target::Self ? from - 1 : 0;
                             break;
                         default:
                             return E_INVALIDARG;
                         }
                         if (to < 1 || to > count)
                         {
                             return S_FALSE;
                         }
                         return Express(to, end);
                     });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        return Guard(child,
                     [&]
                     {
                         VariantInit(child);
                         Rectangle bounds = m_model->GetScreenBounds();
                         if (!bounds.Contains(Point{x, y}))
                         {
                             return S_FALSE;
                         }
                         for (int i = 0; i < m_model->GetChildControlCount(); i++)
                         {
                             Control* control = m_model->GetChildControl(i);
                             if (control->GetAccessibilityObject().GetScreenBounds().Contains(Point{x, y}))
                             {
                                 return Express(m_model->GetItemCount() + i + 1, child);
                             }
                         }
                         Rectangle origin = AccessibleObject::ClientToScreen(m_model->GetControl(), Rectangle{});
                         int item = m_model->HitTestItem(Point{x - origin.left, y - origin.top});
                         child->vt = VT_I4;
                         child->lVal = item >= 0 ? item + 1 : CHILDID_SELF;
                         return S_OK;
                     });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        return Call(
            [&]
            {
                Target target = Resolve(child);
                bool done = target.kind == Target::Self   ? m_model->DoDefaultAction()
                            : target.kind == Target::Item ? m_model->DoItemAction(target.index)
                                                          : false;
                return target.kind == Target::Invalid ? E_INVALIDARG : done ? S_OK : DISP_E_MEMBERNOTFOUND;
            });
    }
    // Names are the controls' own; so are values, except where the object takes one (a text area's text).
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR) override { return ReadOnly(child); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return Call(
            [&]
            {
                Target target = Resolve(child);
                if (target.kind != Target::Self)
                {
                    return target.kind == Target::Invalid ? E_INVALIDARG : DISP_E_MEMBERNOTFOUND;
                }
                String text = value != nullptr ? String(value, static_cast<int>(SysStringLen(value))) : String();
                switch (m_model->SetValue(text))
                {
                case AccessibleObject::ValueChange::Made:
                    return S_OK;
                case AccessibleObject::ValueChange::Refused:
                    return E_ACCESSDENIED;
                default:
                    return DISP_E_MEMBERNOTFOUND;
                }
            });
    }

private:
    struct Target
    {
        enum Kind
        {
            Invalid,
            Self,
            Item,
            ChildControl
        } kind = Invalid;
        int index = -1;
        Control* control = nullptr;
    };

    // Child id 0 is the object itself, 1 .. items its items, then its child windows.
    Target Resolve(const VARIANT& child)
    {
        Target target;
        if (child.vt != VT_I4)
        {
            return target;
        }
        long id = child.lVal;
        int items = m_model->GetItemCount();
        if (id == CHILDID_SELF)
        {
            target.kind = Target::Self;
        }
        else if (id >= 1 && id <= items)
        {
            target.kind = Target::Item;
            target.index = static_cast<int>(id - 1);
        }
        else if (id > items && id <= items + m_model->GetChildControlCount())
        {
            target.kind = Target::ChildControl;
            target.control = m_model->GetChildControl(static_cast<int>(id - items - 1));
        }
        return target;
    }

    HRESULT ReadOnly(const VARIANT& child)
    {
        return Call([&] { return Resolve(child).kind == Target::Invalid ? E_INVALIDARG : DISP_E_MEMBERNOTFOUND; });
    }

    // A child as a client wants it: a child window (or an item object) as its own IDispatch, a simple item by id.
    HRESULT Express(long id, VARIANT* result)
    {
        int items = m_model->GetItemCount();
        void* object = nullptr;
        if (id > items)
        {
            object =
                m_model->GetChildControl(static_cast<int>(id - items - 1))->GetAccessibilityObject().GetInterface();
        }
        else
        {
            object = m_model->GetItemObject(static_cast<int>(id - 1));
        }
        if (object != nullptr)
        {
            result->vt = VT_DISPATCH;
            result->pdispVal = static_cast<IDispatch*>(static_cast<IAccessible*>(object));
        }
        else
        {
            result->vt = VT_I4;
            result->lVal = id;
        }
        return S_OK;
    }

    // Every question goes through here, and is answered on the window thread.
    template <typename Body> HRESULT Call(Body body)
    {
        if (GetCurrentThreadId() != m_thread)
        {
            HRESULT result = CO_E_OBJNOTCONNECTED;
            if (!Threading::WindowThread::Send(
                    m_thread, [&] { result = CallHere(body); }, HopTimeoutMilliseconds))
            {
                return CO_E_OBJNOTCONNECTED;
            }
            return result;
        }
        return CallHere(body);
    }

    template <typename Body> HRESULT CallHere(Body& body)
    {
        if (m_model == nullptr || !m_model->IsAlive())
        {
            return CO_E_OBJNOTCONNECTED;
        }
        try
        {
            if (!m_model->IsPresent())
            {
                return CO_E_OBJNOTCONNECTED;
            }
            return body();
        }
        catch (...)
        {
            return E_FAIL; // a client's question must never bring the program down
        }
    }

    template <typename Out, typename Body> HRESULT Guard(Out* out, Body body)
    {
        if (out == nullptr)
        {
            return E_POINTER;
        }
        return Call(body);
    }

    // One property of the object itself, of an item or of a child window.
    template <typename T, typename Own, typename OfItem> bool Ask(VARIANT child, T& value, Own own, OfItem ofItem)
    {
        Target target = Resolve(child);
        switch (target.kind)
        {
        case Target::Self:
            value = own(*m_model);
            return true;
        case Target::Item:
            value = ofItem(m_model->GetItem(target.index));
            return true;
        case Target::ChildControl:
            value = own(target.control->GetAccessibilityObject());
            return true;
        default:
            return false;
        }
    }

    template <typename Own, typename OfItem> HRESULT Text(VARIANT child, BSTR* out, Own own, OfItem ofItem)
    {
        return Guard(out,
                     [&]
                     {
                         *out = nullptr;
                         String text;
                         if (!Ask(child, text, own, ofItem))
                         {
                             return E_INVALIDARG;
                         }
                         if (text.IsEmpty())
                         {
                             return S_FALSE;
                         }
                         *out = SysAllocStringLen(text.GetBuffer(), static_cast<UINT>(text.GetLength()));
                         return *out != nullptr ? S_OK : E_OUTOFMEMORY;
                     });
    }

    template <typename Own, typename OfItem> HRESULT Number(VARIANT child, VARIANT* out, Own own, OfItem ofItem)
    {
        return Guard(out,
                     [&]
                     {
                         VariantInit(out);
                         int value = 0;
                         if (!Ask(child, value, own, ofItem))
                         {
                             return E_INVALIDARG;
                         }
                         out->vt = VT_I4;
                         out->lVal = value;
                         return S_OK;
                     });
    }

    LONG m_references = 1;
    AccessibleObject* m_model;
    bool m_ownsModel;
    DWORD m_thread; // the window thread, where the model is asked
};

// --- AccessibleObject ---

AccessibleObject::AccessibleObject(Control& control)
    : m_control(control), m_alive(std::make_shared<bool>(true)), m_ownsAlive(true)
{
}

AccessibleObject::AccessibleObject(Control& control, const AccessibleObject& owner)
    : m_control(control), m_alive(owner.m_alive), m_ownsAlive(false)
{
}

AccessibleObject::~AccessibleObject()
{
    if (m_ownsAlive)
    {
        Disconnect();
    }
}

void AccessibleObject::Disconnect()
{
    if (m_ownsAlive)
    {
        // The parts handed out (grid rows) share this flag; a new connection gets a new one.
        *m_alive = false;
        m_alive = std::make_shared<bool>(true);
    }
    if (m_proxy != nullptr)
    {
        m_proxy->Disconnect();
        m_proxy->Release();
        m_proxy = nullptr;
    }
}

void* AccessibleObject::GetInterface()
{
    if (m_proxy == nullptr)
    {
        m_proxy = new AccessibleProxy(this, false);
    }
    m_proxy->AddRef();
    return static_cast<IAccessible*>(m_proxy);
}

namespace
{

template <typename T> bool Is(Control& control)
{
    return dynamic_cast<T*>(&control) != nullptr;
}

} // namespace

int AccessibleObject::GetRole()
{
    Control& control = m_control;
    // The first kind that matches: a check box is a button too, a link a label.
    const std::pair<bool (*)(Control&), int> kinds[] = {
        {&Is<CheckBox>, AccessibleRoles::CheckButton}, {&Is<ButtonBase>, AccessibleRoles::PushButton},
        {&Is<TextBox>, AccessibleRoles::Text},         {&Is<ComboBox>, AccessibleRoles::ComboBox},
        {&Is<LinkLabel>, AccessibleRoles::Link},       {&Is<Label>, AccessibleRoles::StaticText},
        {&Is<PictureBox>, AccessibleRoles::Graphic},   {&Is<ScrollBar>, AccessibleRoles::ScrollBar},
        {&Is<TabPage>, AccessibleRoles::PropertyPage},
    };
    for (const auto& [is, role] : kinds)
    {
        if (is(control))
        {
            return role;
        }
    }
    if (dynamic_cast<Window*>(&control) != nullptr && control.GetParent() == nullptr &&
        dynamic_cast<Form*>(&control) == nullptr)
    {
        return AccessibleRoles::Dialog;
    }
    return AccessibleRoles::Client;
}

String AccessibleObject::GetName()
{
    if (!m_name.IsEmpty())
    {
        return m_name;
    }
    Control& control = m_control;
    if (dynamic_cast<TextBox*>(&control) != nullptr || dynamic_cast<ComboBox*>(&control) != nullptr)
    {
        Control* label = FindLabelBefore(control);
        return label != nullptr ? WithoutMnemonic(label->GetText()) : String();
    }
    return WithoutMnemonic(control.GetText());
}

String AccessibleObject::GetValue()
{
    if (auto* text = dynamic_cast<TextBox*>(&m_control); text != nullptr)
    {
        return text->GetPasswordChar() != 0 ? String() : text->GetText();
    }
    // The entry shown: a drop-down list keeps no text of its own.
    if (auto* combo = dynamic_cast<ComboBox*>(&m_control); combo != nullptr)
    {
        ComboBoxItem* chosen = combo->GetSelectedItem();
        return chosen != nullptr ? chosen->GetText() : String();
    }
    return String();
}

int AccessibleObject::GetState()
{
    Control& control = m_control;
    int state = 0;
    if (!control.IsEnabled())
    {
        state |= AccessibleStates::Unavailable;
    }
    if (!control.IsVisible())
    {
        state |= AccessibleStates::Invisible;
    }
    if (control.CanSelect())
    {
        state |= AccessibleStates::Focusable;
    }
    if (control.IsFocused())
    {
        state |= AccessibleStates::Focused;
    }
    if (auto* box = dynamic_cast<CheckBox*>(&control); box != nullptr && box->GetChecked())
    {
        state |= AccessibleStates::Checked;
    }
    if (auto* text = dynamic_cast<TextBox*>(&control); text != nullptr)
    {
        if (text->GetPasswordChar() != 0)
        {
            state |= AccessibleStates::Protected;
        }
        if (text->GetReadOnly())
        {
            state |= AccessibleStates::ReadOnly;
        }
    }
    if (auto* button = dynamic_cast<Button*>(&control); button != nullptr && button->IsDefault())
    {
        state |= AccessibleStates::Default;
    }
    return state;
}

String AccessibleObject::GetKeyboardShortcut()
{
    Control& control = m_control;
    if (dynamic_cast<TextBox*>(&control) != nullptr || dynamic_cast<ComboBox*>(&control) != nullptr)
    {
        Control* label = FindLabelBefore(control);
        return label != nullptr ? MnemonicShortcut(label->GetText()) : String();
    }
    if (dynamic_cast<ButtonBase*>(&control) != nullptr || dynamic_cast<Label*>(&control) != nullptr)
    {
        return MnemonicShortcut(control.GetText());
    }
    return String();
}

String AccessibleObject::GetDescription()
{
    ToolTip* tip = m_control.GetToolTip();
    return tip != nullptr ? tip->GetToolTip(&m_control) : String();
}

String AccessibleObject::GetDefaultAction()
{
    if (auto* box = dynamic_cast<CheckBox*>(&m_control); box != nullptr)
    {
        return String(box->GetChecked() ? L"Uncheck" : L"Check");
    }
    if (dynamic_cast<ButtonBase*>(&m_control) != nullptr)
    {
        return String(L"Press");
    }
    if (dynamic_cast<LinkLabel*>(&m_control) != nullptr)
    {
        return String(L"Jump");
    }
    return String();
}

bool AccessibleObject::DoDefaultAction()
{
    if (GetDefaultAction().IsEmpty() || !m_control.IsEnabled())
    {
        return false;
    }
    m_control.PerformClick();
    return true;
}

Rectangle AccessibleObject::GetScreenBounds()
{
    RECT rect{};
    if (m_control.GetHandle() != nullptr)
    {
        GetWindowRect(static_cast<HWND>(m_control.GetHandle()), &rect);
    }
    return Rectangle{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void* AccessibleObject::GetParentInterface()
{
    if (m_control.GetParent() != nullptr)
    {
        return m_control.GetParent()->GetAccessibilityObject().GetInterface();
    }
    // A top-level window: the system's object for its frame holds this client area.
    void* frame = nullptr;
    CreateStdAccessibleObjectFunction create = CreateStdAccessibleObjectOfSystem();
    if (m_control.GetHandle() == nullptr || create == nullptr ||
        FAILED(create(static_cast<HWND>(m_control.GetHandle()), OBJID_WINDOW, __uuidof(IAccessible), &frame)))
    {
        return nullptr;
    }
    return frame;
}

namespace
{

bool IsShown(Control* control)
{
    return control->GetHandle() != nullptr && IsWindowVisible(static_cast<HWND>(control->GetHandle()));
}

} // namespace

int AccessibleObject::GetChildControlCount()
{
    int count = 0;
    ControlCollection& children = m_control.GetControls();
    for (int i = 0; i < children.GetCount(); i++)
    {
        count += IsShown(children[i]) ? 1 : 0;
    }
    return count;
}

Control* AccessibleObject::GetChildControl(int index)
{
    ControlCollection& children = m_control.GetControls();
    for (int i = 0; i < children.GetCount(); i++)
    {
        if (IsShown(children[i]) && index-- == 0)
        {
            return children[i];
        }
    }
    return nullptr;
}

Control* AccessibleObject::FindLabelBefore(Control& control)
{
    Control* parent = control.GetParent();
    if (parent == nullptr)
    {
        return nullptr;
    }
    ControlCollection& siblings = parent->GetControls();
    int index = siblings.IndexOf(&control);
    for (int i = index - 1; i >= 0; i--)
    {
        if (dynamic_cast<Label*>(siblings[i]) != nullptr && dynamic_cast<LinkLabel*>(siblings[i]) == nullptr)
        {
            return siblings[i];
        }
        if (siblings[i]->CanSelect())
        {
            break; // a field of its own comes between: that label is not this control's
        }
    }
    return nullptr;
}

String AccessibleObject::MnemonicShortcut(const String& text)
{
    wchar_t mnemonic = Control::GetMnemonic(text);
    if (mnemonic == 0)
    {
        return String();
    }
    String shortcut(L"Alt+");
    shortcut += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(mnemonic)));
    return shortcut;
}

String AccessibleObject::WithoutMnemonic(const String& text)
{
    String shown;
    for (int i = 0; i < text.GetLength(); i++)
    {
        if (text[i] == L'&')
        {
            if (i + 1 < text.GetLength() && text[i + 1] == L'&')
            {
                shown += L'&';
                i++;
            }
            continue;
        }
        shown += text[i];
    }
    return shown;
}

Rectangle AccessibleObject::ClientToScreen(Control& control, const Rectangle& bounds)
{
    POINT origin{bounds.left, bounds.top};
    if (control.GetHandle() != nullptr)
    {
        ::ClientToScreen(static_cast<HWND>(control.GetHandle()), &origin);
    }
    return Rectangle{origin.x, origin.y, bounds.width, bounds.height};
}

bool AnswerGetObject(Control& control, uintptr_t wParam, intptr_t lParam, intptr_t& result)
{
    LresultFromObjectFunction lresultFromObject = LresultFromObjectOfSystem();
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || lresultFromObject == nullptr)
    {
        return false;
    }
    auto* accessible = static_cast<IAccessible*>(control.GetAccessibilityObject().GetInterface());
    result = lresultFromObject(__uuidof(IAccessible), static_cast<WPARAM>(wParam), accessible);
    accessible->Release();
    return true;
}

void* CreateWindowlessAccessible(AccessibleObject* model)
{
    return static_cast<IAccessible*>(new AccessibleProxy(model, true));
}

void NotifyAccessibleEvent(Control& control, unsigned int event, int item)
{
    if (control.GetHandle() != nullptr)
    {
        NotifyWinEvent(event, static_cast<HWND>(control.GetHandle()), OBJID_CLIENT,
                       item >= 0 ? item + 1 : CHILDID_SELF);
    }
}

} // namespace Core::Controls
