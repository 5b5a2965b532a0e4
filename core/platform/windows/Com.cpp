#include "core/platform/windows/Com.h"

#include "core/platform/windows/COMException.h"

#include <new>
#include <objbase.h>
#include <oleauto.h>

namespace Core::Platform::Windows
{

ComApartmentScope::ComApartmentScope() : m_joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}

ComApartmentScope::~ComApartmentScope()
{
    if (m_joined)
    {
        CoUninitialize();
    }
}

void InitializeCom()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
    {
        throw COMException(String(L"Failed to initialize COM"));
    }
}

void InitializeComSecurity()
{
    HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(result))
    {
        String message(L"Failed to initialize COM security (error code: ");
        message += static_cast<int>(result);
        message += L")";
        throw COMException(message);
    }
}

void* CreateComInstance(const CLSID& classId, const IID& interfaceId, ClassContext context)
{
    IClassFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(classId, static_cast<DWORD>(context.GetValue()), nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory))))
    {
        throw COMException(String(L"Failed to create class factory"));
    }
    void* instance = nullptr;
    HRESULT created = factory->CreateInstance(nullptr, interfaceId, &instance);
    factory->Release();
    if (FAILED(created))
    {
        throw COMException(String(L"Failed to create object"));
    }
    return instance;
}

ComString::ComString(const String& text) : ComString(&text) {}

ComString::ComString(const String* text) : m_value(nullptr)
{
    if (text == nullptr)
    {
        return;
    }
    m_value = SysAllocStringLen(text->GetBuffer(), static_cast<UINT>(text->GetLength()));
    if (m_value == nullptr)
    {
        throw std::bad_alloc();
    }
}

ComString::~ComString()
{
    if (m_value != nullptr)
    {
        SecureZeroMemory(m_value, SysStringByteLen(m_value));
        SysFreeString(m_value);
    }
}

} // namespace Core::Platform::Windows
