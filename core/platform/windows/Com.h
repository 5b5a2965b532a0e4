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

// Releases a COM interface when the scope ends; for interfaces held only inside one operation.
template <typename T> class ComScope
{
public:
    explicit ComScope(T* pointer = nullptr) : m_pointer(pointer) {}
    ~ComScope() { Reset(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    // For out parameters; the scope must be empty.
    T** Receive() { return &m_pointer; }
    // Releases the interface now.
    void Reset()
    {
        if (m_pointer != nullptr)
        {
            m_pointer->Release();
            m_pointer = nullptr;
        }
    }

private:
    T* m_pointer; // owned reference
};

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
