#include "core/Exception.h"
#include "tests/support/LeakCheck.h"

#include "core/io/IOException.h"
#include "core/platform/windows/COMException.h"
#include "core/xml/XmlException.h"
#include "wmi/InvalidWMIClassException.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

using namespace Core;

namespace
{

void ExpectText(const wchar_t* expected, const String& actual)
{
    EXPECT_STREQ(expected, actual.GetBuffer());
}

} // namespace

TEST(Object, ToStringNamesTheRootClass)
{
    Object object;
    ExpectText(L"Object", object.ToString());
    // Exceptions inherit it unchanged.
    ExpectText(L"Object", Exception(String(L"x")).ToString());
}

// SUCCEED() is recorded as a result that GoogleTest keeps until the program ends.
static Testing::KeepsAllocations successRecord("Exceptions.EveryClassDerivesDirectlyFromException",
                                               "GoogleTest keeps the record of SUCCEED()");

TEST(Exceptions, EveryClassDerivesDirectlyFromException)
{
    static_assert(std::is_base_of_v<Object, Exception>);
    static_assert(std::is_base_of_v<Exception, ArgumentException>);
    static_assert(std::is_base_of_v<Exception, ArgumentNullException>);
    static_assert(std::is_base_of_v<Exception, ArgumentOutOfRangeException>);
    static_assert(std::is_base_of_v<Exception, InvalidArgumentException>);
    static_assert(std::is_base_of_v<Exception, InvalidOperationException>);
    static_assert(std::is_base_of_v<Exception, NotImplementedException>);
    static_assert(std::is_base_of_v<Exception, Xml::XmlException>);
    static_assert(std::is_base_of_v<Exception, IO::IOException>);
    static_assert(std::is_base_of_v<Exception, Platform::Windows::COMException>);
    static_assert(std::is_base_of_v<Exception, WMI::InvalidWMIClassException>);
    // No deeper chain: the null and range exceptions are not argument exceptions.
    static_assert(!std::is_base_of_v<ArgumentException, ArgumentNullException>);
    static_assert(!std::is_base_of_v<ArgumentException, ArgumentOutOfRangeException>);
    SUCCEED();
}

TEST(Exceptions, CarryMessageDetailAndCodeThroughCopies)
{
    Exception original(String(L"message"), String(L"detail"), 42);
    Exception copy = original;
    ExpectText(L"message", copy.GetMessageText());
    ExpectText(L"detail", copy.GetDetail());
    EXPECT_EQ(42, copy.GetCode());
}

TEST(Exceptions, PlainClassesKeepEvenAnEmptyMessage)
{
    ExpectText(L"", ArgumentException(String()).GetMessageText());
    ExpectText(L"", InvalidOperationException().GetMessageText());
    ExpectText(L"Can not write", IO::IOException(String(L"Can not write")).GetMessageText());
    ExpectText(L"Bad", Xml::XmlException(String(L"Bad")).GetMessageText());
}

TEST(Exceptions, OutOfRangeDefaultMessageNamesTheIndex)
{
    ArgumentOutOfRangeException byDefault(3);
    ExpectText(L"Argument index is out of range: 3", byDefault.GetMessageText());
    EXPECT_EQ(3, byDefault.GetIndex());
    ExpectText(L"Argument index is out of range: -7", ArgumentOutOfRangeException(-7).GetMessageText());

    ArgumentOutOfRangeException withMessage(3, String(L"ArrayList.Insert method - index out of range"));
    ExpectText(L"ArrayList.Insert method - index out of range", withMessage.GetMessageText());
    EXPECT_EQ(3, withMessage.GetIndex());
}

TEST(Exceptions, NullDefaultMessageNamesTheParameter)
{
    ExpectText(L"Argument is null: items", ArgumentNullException(String(L"items")).GetMessageText());
    ExpectText(L"Argument stream is null",
               ArgumentNullException(String(L"stream"), String(L"Argument stream is null")).GetMessageText());
}

TEST(Exceptions, InvalidWMIClassJoinsTheClassNameWithoutABlank)
{
    ExpectText(L"WMI on target machine does not support classWin32_Process",
               WMI::InvalidWMIClassException(String(L"Win32_Process")).GetMessageText());
}

TEST(Exceptions, AreCaughtByReferenceToTheBase)
{
    try
    {
        throw ArgumentNullException(String(L"array"));
    }
    catch (const Exception& e)
    {
        ExpectText(L"Argument is null: array", e.GetMessageText());
        EXPECT_EQ(0, e.GetCode());
        ExpectText(L"", e.GetDetail());
    }
}

// A worker's failure as the user reads it: the exception's message, plain words for memory, the caller's text for
// anything that carries no message meant for a person.
TEST(Exceptions, AFailureHandedBackSaysWhatAPersonCanRead)
{
    auto text = [](std::exception_ptr failure)
    {
        Core::String said = Core::FailureText(failure, Core::String(L"The work could not be done."));
        return std::wstring(said.GetBuffer(), static_cast<size_t>(said.GetLength()));
    };
    EXPECT_EQ(L"Access is denied.",
              text(std::make_exception_ptr(Core::InvalidOperationException(Core::String(L"Access is denied.")))));
    EXPECT_EQ(L"There is not enough memory to complete the operation.",
              text(std::make_exception_ptr(std::bad_alloc())));
    EXPECT_EQ(L"The work could not be done.", text(std::make_exception_ptr(std::runtime_error("internal"))));
}
