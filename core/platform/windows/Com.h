// Process-wide COM set-up and object creation through a class factory.
#pragma once

#include "core/EnumValue.h"
#include "core/String.h"

#include <guiddef.h>
#include <wtypes.h>

namespace Core::Platform::Windows
{

// The class context of an object creation; 1 is an in-process server.
class ClassContext : public EnumValue
{
public:
    enum Value
    {
        InProcessServer = 1
    };
    ClassContext(Value value) : EnumValue(value) {}
};

// COM for the whole process in the multithreaded apartment; raises COMException on failure.
void InitializeCom();
// A worker thread's membership of the process's multithreaded apartment, for the scope; left only if joined.
class ComApartmentScope
{
public:
    ComApartmentScope();
    ~ComApartmentScope();
    ComApartmentScope(const ComApartmentScope&) = delete;
    ComApartmentScope& operator=(const ComApartmentScope&) = delete;

private:
    bool m_joined;
};
// Default process security: COM chooses the authentication services, default level, impersonation.
void InitializeComSecurity();
// Creates an object through its class factory and returns the requested interface (caller releases).
void* CreateComInstance(const CLSID& classId, const IID& interfaceId, ClassContext context);

// Holds one reference to a COM interface and releases it when it goes: in a scope, or as a member of an object
// that moves (the reference moves with it; copies would need an AddRef nobody asked for, so there are none).
template <typename T> class ComPointer
{
public:
    // Takes over a reference the caller owns.
    explicit ComPointer(T* pointer = nullptr) : m_pointer(pointer) {}
    ~ComPointer() { Reset(); }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ComPointer(ComPointer&& other) noexcept : m_pointer(other.Detach()) {}
    ComPointer& operator=(ComPointer&& other) noexcept
    {
        if (this != &other)
        {
            Reset(other.Detach());
        }
        return *this;
    }

    // A reference of its own to an interface someone else holds too.
    static ComPointer Share(T* pointer)
    {
        if (pointer != nullptr)
        {
            pointer->AddRef();
        }
        return ComPointer(pointer);
    }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // For out parameters: what was held is released first.
    T** Receive()
    {
        Reset();
        return &m_pointer;
    }
    // Releases what is held and takes over pointer's reference.
    void Reset(T* pointer = nullptr)
    {
        T* old = m_pointer;
        m_pointer = pointer;
        if (old != nullptr)
        {
            old->Release();
        }
    }
    // Gives the reference to the caller.
    T* Detach()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        return pointer;
    }

private:
    T* m_pointer; // owned reference
};

// The name the code of single operations uses.
template <typename T> using ComScope = ComPointer<T>;

// A BSTR copy of a text for the length of one call. The copy is wiped before it is freed: it may hold a password.
class ComString
{
public:
    // Throws std::bad_alloc when the copy cannot be made.
    explicit ComString(const String& text);
    // A null text gives a null BSTR, as calls take for "not given".
    explicit ComString(const String* text);
    ~ComString();
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;

    BSTR Get() const { return m_value; }

private:
    BSTR m_value; // owned
};

} // namespace Core::Platform::Windows
