#include "wmi/InvalidWMIClassException.h"
#include "wmi/ManagementObject.h"

#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"

using Core::String;
using Core::Collections::ArrayList;
using Testing::ThrownMessage;
using WMI::PropertyInfo;

namespace
{

class ClassPropertiesTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        provider.AddClass(L"Win32_Process", {{L"Caption", CIM_STRING},
                                             {L"ProcessId", CIM_UINT32},
                                             {L"CreationDate", CIM_DATETIME},
                                             {L"ThreadCount", CIM_UINT32},
                                             {L"IPAddress", CIM_STRING | CIM_FLAG_ARRAY}});
    }
};

} // namespace

TEST_F(ClassPropertiesTest, NonSystemPropertiesInOrderWithTheirTypes)
{
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    list.Add(PropertyInfo(String(L"stale")));
    WMI::GetClassProperties(list, connection.get(), String(L"Win32_Process"), true);
    ASSERT_EQ(5, list.GetCount());
    EXPECT_STREQ(L"Caption", list[0].GetName().GetBuffer());
    EXPECT_STREQ(L"string", list[0].GetCimTypeName().GetBuffer());
    EXPECT_STREQ(L"unsigned int32", list[1].GetCimTypeName().GetBuffer());
    EXPECT_STREQ(L"datetime", list[2].GetCimTypeName().GetBuffer());
    EXPECT_STREQ(L"unknown", list[4].GetCimTypeName().GetBuffer());
    EXPECT_EQ(std::vector<LONG>{WBEM_FLAG_NONSYSTEM_ONLY}, provider.getNamesFlags);
    EXPECT_EQ(std::vector<std::wstring>{L"Win32_Process"}, provider.getObjectPaths);
}

TEST_F(ClassPropertiesTest, WithoutTypesEveryPropertyIsAString)
{
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    WMI::GetClassProperties(list, connection.get(), String(L"Win32_Process"), false);
    ASSERT_EQ(5, list.GetCount());
    for (int i = 0; i < list.GetCount(); i++)
    {
        EXPECT_EQ(8, list[i].GetCimType());
    }
}

TEST_F(ClassPropertiesTest, ATypeThatCannotBeReadStaysString)
{
    provider.getTypeResult = WBEM_E_FAILED;
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    WMI::GetClassProperties(list, connection.get(), String(L"Win32_Process"), true);
    ASSERT_EQ(5, list.GetCount());
    EXPECT_EQ(8, list[1].GetCimType());
}

TEST_F(ClassPropertiesTest, NamesThatCannotBeListedLeaveTheListEmptyWithoutError)
{
    provider.getNamesResult = WBEM_E_FAILED;
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    list.Add(PropertyInfo(String(L"stale")));
    WMI::GetClassProperties(list, connection.get(), String(L"Win32_Process"), true);
    EXPECT_EQ(0, list.GetCount());
}

TEST_F(ClassPropertiesTest, AMissingClassRaisesInvalidWMIClassException)
{
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    try
    {
        WMI::GetClassProperties(list, connection.get(), String(L"Win32_Tardis"), true);
        FAIL() << "no exception";
    }
    catch (const WMI::InvalidWMIClassException& e)
    {
        EXPECT_STREQ(L"WMI on target machine does not support classWin32_Tardis", e.GetMessageText().GetBuffer());
    }
}

TEST_F(ClassPropertiesTest, OtherFailuresCarryTheWmiMessage)
{
    provider.getObjectResult = WBEM_E_ACCESS_DENIED;
    auto connection = Connect();
    ArrayList<PropertyInfo> list;
    EXPECT_EQ(L"The current or specified user name and password were not valid or authorized to make the connection",
              ThrownMessage([&] { WMI::GetClassProperties(list, connection.get(), String(L"Win32_Process"), true); }));
}

TEST_F(ClassPropertiesTest, AConnectionThatIsNotOpenIsRefused)
{
    WMI::ManagementConnection unconnected;
    ArrayList<PropertyInfo> list;
    EXPECT_THROW(WMI::GetClassProperties(list, &unconnected, String(L"Win32_Process"), true),
                 Core::InvalidOperationException);
    EXPECT_THROW(WMI::GetClassProperties(list, nullptr, String(L"Win32_Process"), true), Core::ArgumentNullException);
}
