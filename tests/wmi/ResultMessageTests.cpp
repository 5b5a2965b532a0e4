#include "wmi/ResultMessage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

using WMI::GetResultMessage;

namespace
{

// Leaves a COM error object with the given description on the calling thread, as a failing call would.
void SetComError(const wchar_t* description)
{
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    info->Release();
    create->Release();
}

std::wstring Message(int32_t result)
{
    return GetResultMessage(result).GetBuffer();
}

class ResultMessage : public testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        SetErrorInfo(0, nullptr);
    }
    void TearDown() override { CoUninitialize(); }
};

} // namespace

TEST_F(ResultMessage, EveryTableEntry)
{
    const std::wstring accessDenied =
        L"The current or specified user name and password were not valid or authorized to make the connection";
    EXPECT_EQ(L"The call succeeded", Message(0));
    EXPECT_EQ(accessDenied, Message(0x80041003));
    EXPECT_EQ(accessDenied, Message(0x80070005));
    EXPECT_EQ(L"Unspecified error", Message(0x80041001));
    EXPECT_EQ(L"The specified namespace did not exist on the server", Message(0x8004100E));
    EXPECT_EQ(L"An invalid parameter was specified", Message(0x80041008));
    EXPECT_EQ(L"There was not enough memory to complete the operation", Message(0x80041006));
    EXPECT_EQ(L"This indicates the failure of the remote procedure call (RPC) link between the current process and "
              L"Windows Management",
              Message(0x80041015));
    EXPECT_EQ(L"WMI is passing the user credential on local connection", Message(0x80041064));
    EXPECT_EQ(L"Cannot locate server", Message(0x800706BA));
    EXPECT_EQ(L"The query was not syntactically valid", Message(0x80041017));
    EXPECT_EQ(L"The requested query language is not supported", Message(0x80041018));
    EXPECT_EQ(L"Windows Management service was probably stopped and restarted. A new call to ConnectServer is needed",
              Message(0x80041033));
    EXPECT_EQ(L"The query specifies a class that does not exist", Message(0x80041002));
    EXPECT_EQ(L"Quota violation", Message(0x8004106C));
    EXPECT_EQ(L"An object in the enumeration has been deleted, destroying the validity of the enumeration",
              Message(0x8004101D));
    EXPECT_EQ(L"A time-out occurred before you obtained all the objects", Message(0x00040004));
}

TEST_F(ResultMessage, CodesOutsideTheTableAreUnknownWithoutANumber)
{
    EXPECT_EQ(L"Unknown error", Message(1));          // WBEM_S_FALSE
    EXPECT_EQ(L"Unknown error", Message(0x80041010)); // WBEM_E_INVALID_CLASS
    EXPECT_EQ(L"Unknown error", Message(-1));
}

TEST_F(ResultMessage, NoMessageEndsWithAFullStop)
{
    for (uint32_t code : {0x0u, 0x80041003u, 0x80041033u, 0x8004101Du, 0x00040004u, 0x12345678u})
    {
        std::wstring text = Message(static_cast<int32_t>(code));
        ASSERT_FALSE(text.empty());
        EXPECT_NE(L'.', text.back()) << std::hex << code;
    }
}

TEST_F(ResultMessage, TheCOMErrorObjectsDescriptionWins)
{
    SetComError(L"Access denied by the remote provider");
    EXPECT_EQ(L"Access denied by the remote provider", Message(0x80041003));
    // GetErrorInfo takes the object: the next lookup falls back to the table.
    EXPECT_EQ(L"Unspecified error", Message(0x80041001));
    SetComError(L"Provider says no");
    EXPECT_EQ(L"Provider says no", Message(0x80041010));
}

TEST_F(ResultMessage, AnErrorObjectWithoutDescriptionKeepsTheTableText)
{
    SetComError(L"");
    EXPECT_EQ(L"Quota violation", Message(0x8004106C));
}

TEST_F(ResultMessage, AReasonAddsTheCodeOnlyToAResultTheTableLacks)
{
    EXPECT_STREQ(L"Unspecified error", WMI::GetResultReason(static_cast<int32_t>(0x80041001)).GetBuffer());
    EXPECT_STREQ(L"Unknown error (0x80041010)", WMI::GetResultReason(static_cast<int32_t>(0x80041010)).GetBuffer());
    EXPECT_STREQ(L"Unknown error (0x00000001)", WMI::GetResultReason(1).GetBuffer());
}

TEST_F(ResultMessage, AReasonPrefersTheComErrorDescriptionToo)
{
    SetComError(L"Provider load failure");
    EXPECT_STREQ(L"Provider load failure (0x80041013)",
                 WMI::GetResultReason(static_cast<int32_t>(0x80041013)).GetBuffer());
}
