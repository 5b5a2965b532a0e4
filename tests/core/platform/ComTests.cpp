#include "core/platform/windows/COMException.h"
#include "core/platform/windows/Com.h"
#include "tests/support/ThrownMessage.h"

#include <cwchar>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <thread>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Platform::Windows;
using Testing::ThrownMessage;

namespace
{

// {8E1A7C6B-2D9F-4C4E-9B7A-51C0E3D2F001}: a class id nobody registers.
const CLSID UnknownClass = {0x8e1a7c6b, 0x2d9f, 0x4c4e, {0x9b, 0x7a, 0x51, 0xc0, 0xe3, 0xd2, 0xf0, 0x01}};

class RefusingFactory : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        *object = (id == IID_IUnknown || id == IID_IClassFactory) ? this : nullptr;
        if (*object == nullptr)
        {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override
    {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    ULONG references = 1;
};

} // namespace

TEST(Com, CreatingAnUnknownClassFailsAtTheFactory)
{
    EXPECT_EQ(L"Failed to create class factory",
              ThrownMessage([] { CreateComInstance(UnknownClass, IID_IUnknown, ClassContext::InProcessServer); }));
}

TEST(Com, AFactoryThatCannotCreateReportsTheObjectAndIsReleased)
{
    RefusingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(UnknownClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    ULONG before = factory.references;
    EXPECT_EQ(L"Failed to create object",
              ThrownMessage([] { CreateComInstance(UnknownClass, IID_IUnknown, ClassContext::InProcessServer); }));
    EXPECT_EQ(before, factory.references);
    CoRevokeClassObject(cookie);
}

TEST(Com, AThreadAlreadyInASingleThreadedApartmentCannotJoinTheMultithreadedOne)
{
    std::wstring message;
    std::thread other(
        [&]
        {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            message = ThrownMessage([] { InitializeCom(); });
            CoUninitialize();
        });
    other.join();
    EXPECT_EQ(L"Failed to initialize COM", message);
}

TEST(Com, TheWbemLocatorIsCreatedThroughItsFactory)
{
    IWbemLocator* locator = static_cast<IWbemLocator*>(
        CreateComInstance(CLSID_WbemLocator, IID_IWbemLocator, ClassContext::InProcessServer));
    ASSERT_NE(nullptr, locator);
    locator->Release();
}

// A BSTR carries its length: the copy must keep every unit, also a NUL inside the text.
TEST(ComString, CopiesEveryUnitOfTheText)
{
    const wchar_t units[] = {L'a', L'\0', L'b'};
    Core::String text(units, 3);
    ComString copy(text);
    ASSERT_NE(nullptr, copy.Get());
    ASSERT_EQ(3u, SysStringLen(copy.Get()));
    EXPECT_EQ(0, std::wmemcmp(units, copy.Get(), 3));
}

TEST(ComString, NullTextIsNotGivenButEmptyTextIs)
{
    ComString none(static_cast<const Core::String*>(nullptr));
    EXPECT_EQ(nullptr, none.Get());
    ComString empty{Core::String()};
    ASSERT_NE(nullptr, empty.Get());
    EXPECT_EQ(0u, SysStringLen(empty.Get()));
}
