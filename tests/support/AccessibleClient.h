// A client of the accessibility objects, as a screen reader would be: AccessibleObjectFromWindow, the IAccessible
// questions, and WinEvents recorded in the process.
#pragma once

#include <gtest/gtest.h>
#include <oleacc.h>
#include <string>
#include <vector>
#include <windows.h>

namespace Testing
{

// One reference to an accessible object, released at the end of the scope.
class Accessible
{
public:
    Accessible() = default;
    explicit Accessible(IAccessible* object) : m_object(object) {}
    ~Accessible()
    {
        if (m_object != nullptr)
        {
            m_object->Release();
        }
    }
    Accessible(Accessible&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    static Accessible OfWindow(void* window)
    {
        void* object = nullptr;
        HRESULT result = AccessibleObjectFromWindow(static_cast<HWND>(window), static_cast<DWORD>(OBJID_CLIENT),
                                                    __uuidof(IAccessible), &object);
        EXPECT_EQ(S_OK, result);
        return Accessible(static_cast<IAccessible*>(object));
    }

    IAccessible* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    std::wstring Name(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accName, child); }
    std::wstring Value(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accValue, child); }
    std::wstring Description(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accDescription, child); }
    std::wstring DefaultAction(long child = CHILDID_SELF) const
    {
        return Text(&IAccessible::get_accDefaultAction, child);
    }
    std::wstring Shortcut(long child = CHILDID_SELF) const
    {
        return Text(&IAccessible::get_accKeyboardShortcut, child);
    }
    long Role(long child = CHILDID_SELF) const { return Number(&IAccessible::get_accRole, child); }
    long State(long child = CHILDID_SELF) const { return Number(&IAccessible::get_accState, child); }
    long ChildCount() const
    {
        long count = -1;
        EXPECT_EQ(S_OK, m_object->get_accChildCount(&count));
        return count;
    }
    // A child that is an object of its own.
    Accessible Child(long child) const
    {
        Accessible found = TryChild(child);
        EXPECT_TRUE(found) << "child " << child << " is not an object";
        return found;
    }
    // A child as an object, or an empty one for a simple item.
    Accessible TryChild(long child) const
    {
        IDispatch* dispatch = nullptr;
        m_object->get_accChild(Id(child), &dispatch);
        IAccessible* object = nullptr;
        if (dispatch != nullptr)
        {
            dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object));
            dispatch->Release();
        }
        return Accessible(object);
    }
    // The first object below this one, depth first, whose role and (when given) name match; empty when none.
    Accessible Find(long role, const std::wstring& name = std::wstring()) const
    {
        long count = 0;
        m_object->get_accChildCount(&count);
        for (long i = 1; i <= count; i++)
        {
            Accessible child = TryChild(i);
            if (!child)
            {
                continue;
            }
            if (child.Role() == role && (name.empty() || child.Name() == name))
            {
                return child;
            }
            Accessible inner = child.Find(role, name);
            if (inner)
            {
                return inner;
            }
        }
        return Accessible();
    }

private:
    static VARIANT Id(long child)
    {
        VARIANT id;
        VariantInit(&id);
        id.vt = VT_I4;
        id.lVal = child;
        return id;
    }
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) const
    {
        BSTR text = nullptr;
        HRESULT result = (m_object->*get)(Id(child), &text);
        if (result != S_OK || text == nullptr)
        {
            return L"(none)";
        }
        std::wstring copy(text, SysStringLen(text));
        SysFreeString(text);
        return copy;
    }
    long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) const
    {
        VARIANT value;
        VariantInit(&value);
        EXPECT_EQ(S_OK, (m_object->*get)(Id(child), &value));
        return value.vt == VT_I4 ? value.lVal : -1;
    }

    IAccessible* m_object = nullptr;
};

struct RecordedEvent
{
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
};
inline std::vector<RecordedEvent> recordedEvents;

inline void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    recordedEvents.push_back({event, window, object, child});
}

// The events recorded so far; the record starts empty again, holding no memory.
inline std::vector<RecordedEvent> TakeEvents()
{
    std::vector<RecordedEvent> taken;
    taken.swap(recordedEvents);
    return taken;
}

} // namespace Testing
