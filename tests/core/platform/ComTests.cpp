#include "core/platform/windows/COMException.h"
#include "core/platform/windows/Com.h"
#include "tests/support/ThrownMessage.h"

#include <cwchar>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <thread>
#include <utility>
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

namespace
{

// Counts its references and never deletes itself, so a test can look at the count afterwards.
class CountedUnknown : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    int references = 1;
};

} // namespace

// A member holding an interface: it releases once, moves its reference with it, shares only with an AddRef, and
// an out parameter first lets go of what was held.
TEST(ComPointer, HoldsExactlyOneReferenceThroughMovesResetsAndOutParameters)
{
    CountedUnknown first;
    CountedUnknown second;
    {
        ComPointer<IUnknown> held(&first);
        EXPECT_EQ(1, first.references);
        ComPointer<IUnknown> moved(std::move(held));
        EXPECT_FALSE(held);
        EXPECT_EQ(&first, moved.Get());
        EXPECT_EQ(1, first.references);
        ComPointer<IUnknown> shared = ComPointer<IUnknown>::Share(&second);
        EXPECT_EQ(2, second.references);
        moved = std::move(shared); // the first is let go, the second's reference moves over
        EXPECT_EQ(0, first.references);
        EXPECT_EQ(2, second.references);
        first.references = 1;
        *moved.Receive() = &first; // what was held goes before the call fills it
        EXPECT_EQ(1, second.references);
        IUnknown* detached = moved.Detach();
        EXPECT_EQ(&first, detached);
    }
    EXPECT_EQ(1, first.references) << "a detached reference is the caller's";
    EXPECT_EQ(1, second.references);
}

TEST(ComPointer, ReleasesItsReferenceWhenItGoes)
{
    CountedUnknown object;
    object.AddRef(); // the pointer's reference
    {
        ComPointer<IUnknown> held(&object);
        EXPECT_TRUE(held);
        EXPECT_EQ(2, object.references);
    }
    EXPECT_EQ(1, object.references);
    ComPointer<IUnknown> empty;
    EXPECT_FALSE(empty);
    EXPECT_EQ(nullptr, empty.Get());
}

TEST(ComPointer, ResetLetsGoOfTheOldReferenceAndTakesOverTheNew)
{
    CountedUnknown first;
    CountedUnknown second;
    ComPointer<IUnknown> held(&first);
    held.Reset(&second);
    EXPECT_EQ(0, first.references);
    EXPECT_EQ(1, second.references);
    EXPECT_EQ(&second, held.Get());
    held.Reset();
    EXPECT_EQ(0, second.references);
    EXPECT_FALSE(held);
    held.Reset(); // nothing held: nothing released
    EXPECT_EQ(0, second.references);
}

// An out parameter on an empty pointer gets the slot itself, so the callee's reference is the one held.
TEST(ComPointer, ReceiveHandsTheSlotToTheCallee)
{
    CountedUnknown object;
    {
        ComPointer<IUnknown> received;
        IUnknown** slot = received.Receive();
        *slot = &object;
        EXPECT_EQ(&object, received.Get());
        EXPECT_EQ(1, object.references);
    }
    EXPECT_EQ(0, object.references);
}

namespace
{

struct Holder
{
    ComPointer<IUnknown> member;
};

} // namespace

// The reason the pointer moves: an object holding one can be moved without a second Release.
TEST(ComPointer, MovesWithTheObjectThatHoldsIt)
{
    CountedUnknown object;
    {
        Holder first{ComPointer<IUnknown>(&object)};
        Holder second = std::move(first);
        EXPECT_FALSE(first.member);
        Holder third;
        third = std::move(second);
        EXPECT_EQ(&object, third.member.Get());
        EXPECT_EQ(1, object.references);
        ComPointer<IUnknown>& same = third.member;
        third.member = std::move(same); // moving into itself keeps the reference
        EXPECT_EQ(1, object.references);
    }
    EXPECT_EQ(0, object.references);
}
