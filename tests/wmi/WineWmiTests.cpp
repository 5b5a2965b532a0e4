// Against the machine's own WMI service (Wine's, in the test environment).
#include "core/threading/BackgroundWork.h"
#include "tests/support/ThrownMessage.h"
#include "wmi/ClassDescription.h"
#include "wmi/InstanceReading.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ManagementObject.h"

#include <gtest/gtest.h>
#include <windows.h>

using Core::String;
using Testing::ThrownMessage;
using WMI::ManagementConnection;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace
{

class LocalWmiTest : public testing::Test
{
protected:
    void SetUp() override
    {
        connection.Connect(String(), String(), String(), String());
        ASSERT_TRUE(connection.IsConnected());
    }
    void TearDown() override
    {
        // A finished load's worker lets go of the rows as it leaves, perhaps just after the test's last line: the
        // leak check comes after that.
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(10000));
    }

    void ExpectRowsOfFullWidth(ManagementObject& object)
    {
        EXPECT_EQ(WMI::LoadCompleted, object.GetState());
        ASSERT_GT(object.GetRows().GetCount(), 0);
        for (int i = 0; i < object.GetRows().GetCount(); i++)
        {
            ASSERT_EQ(object.GetProperties().GetCount(), object.GetRows()[i]->GetCount());
        }
    }

    ManagementConnection connection;
};

} // namespace

TEST_F(LocalWmiTest, ListsTheNonSystemPropertiesOfWin32ProcessWithTypes)
{
    Core::Collections::ArrayList<PropertyInfo> properties;
    WMI::GetClassProperties(properties, &connection, String(L"Win32_Process"), true);
    ASSERT_GT(properties.GetCount(), 3);
    bool sawProcessId = false;
    for (int i = 0; i < properties.GetCount(); i++)
    {
        EXPECT_NE(L'_', properties[i].GetName()[0]) << "system property listed";
        // Property names are case-insensitive in WMI (Wine spells this one ProcessID).
        if (properties[i].GetName().ToLower() == String(L"processid"))
        {
            sawProcessId = true;
            EXPECT_STREQ(L"unsigned int32", properties[i].GetCimTypeName().GetBuffer());
        }
    }
    EXPECT_TRUE(sawProcessId);
}

TEST_F(LocalWmiTest, LoadsProcessesSynchronously)
{
    connection.SetAsyncLoad(false);
    ManagementObject processes(&connection, String(L"Win32_Process"), 0);
    processes.Load();
    ExpectRowsOfFullWidth(processes);
}

TEST_F(LocalWmiTest, LoadsProcessesOnAWorkerThread)
{
    connection.SetAsyncLoad(true);
    ManagementObject processes(&connection, String(L"Win32_Process"), 0);
    processes.GetProperties().Add(PropertyInfo(String(L"Name")));
    processes.GetProperties().Add(PropertyInfo(String(L"ProcessId")));
    processes.Load();
    ExpectRowsOfFullWidth(processes);
    // This test program is one of the processes.
    String ownId;
    ownId += static_cast<unsigned int>(GetCurrentProcessId());
    bool foundSelf = false;
    for (int i = 0; i < processes.GetRows().GetCount(); i++)
    {
        foundSelf = foundSelf || (*processes.GetRows()[i])[1] == ownId;
    }
    EXPECT_TRUE(foundSelf);
}

TEST_F(LocalWmiTest, AClassTheMachineLacksRaisesInvalidWMIClassException)
{
    Core::Collections::ArrayList<PropertyInfo> properties;
    EXPECT_EQ(L"WMI on target machine does not support classWin32_NoSuchClassHere",
              ThrownMessage(
                  [&] { WMI::GetClassProperties(properties, &connection, String(L"Win32_NoSuchClassHere"), true); }));
    ManagementObject missing(&connection, String(L"Win32_NoSuchClassHere"), 0);
    EXPECT_THROW(missing.FillProperties(), WMI::InvalidWMIClassException);
}

TEST_F(LocalWmiTest, AMalformedFilterEndsTheLoadInStateFailed)
{
    connection.SetAsyncLoad(false);
    ManagementObject processes(&connection, String(L"Win32_Process"), 0);
    processes.GetProperties().Add(PropertyInfo(String(L"Name")));
    processes.SetFilter(String(L"Name = "));
    processes.Load();
    EXPECT_EQ(WMI::LoadFailed, processes.GetState());
    EXPECT_EQ(String(L"The query was not syntactically valid"), processes.GetFailureMessage());
}

TEST_F(LocalWmiTest, ReadsItsOwnProcessWholeByItsPath)
{
    String id;
    id += static_cast<unsigned int>(GetCurrentProcessId());
    WMI::ObjectValue process = WMI::GetInstance(&connection, String(L"Win32_Process.Handle=\"") + id + L"\"");
    EXPECT_EQ(String(L"win32_process"), process.GetObjectClass().ToLower());
    // Wine writes the namespace in capitals, and counts NULs after the text in the path's length.
    String relative = String(L"Win32_Process.Handle=\"") + id + L"\"";
    ASSERT_GT(process.GetPath().GetLength(), relative.GetLength());
    EXPECT_STREQ(relative.GetBuffer(),
                 process.GetPath().Substring(process.GetPath().GetLength() - relative.GetLength()).GetBuffer());
    const WMI::ObjectProperty* processId = process.FindProperty(String(L"ProcessId"));
    ASSERT_NE(nullptr, processId);
    EXPECT_EQ(id, processId->GetValue().GetText());
    EXPECT_EQ(WMI::CimUInt32, processId->GetCimType());
    EXPECT_FALSE(processId->IsKey());
    // Wine's qualifier sets mark no keys: the key comes from the names the path gives.
    const WMI::ObjectProperty* handle = process.FindProperty(String(L"Handle"));
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(handle->IsKey());
    EXPECT_EQ(id, handle->GetValue().GetText());
    for (int i = 0; i < process.GetProperties().GetCount(); i++)
    {
        EXPECT_NE(L'_', process.GetProperties()[i].GetName()[0]) << "a system property among the others";
    }
    ASSERT_GT(process.GetSystemProperties().GetCount(), 0);
    for (int i = 0; i < process.GetSystemProperties().GetCount(); i++)
    {
        EXPECT_EQ(L'_', process.GetSystemProperties()[i].GetName()[0]);
    }
    EXPECT_NE(nullptr, process.FindProperty(String(L"__RELPATH")));
}

TEST_F(LocalWmiTest, TheRowOfItsOwnProcessCarriesThePathThatOpensIt)
{
    connection.SetAsyncLoad(false);
    ManagementObject processes(&connection, String(L"Query"), 0);
    processes.SetQueryText(String(L"SELECT * FROM Win32_Process"));
    processes.Load();
    ASSERT_EQ(WMI::LoadCompleted, processes.GetState());
    String id;
    id += static_cast<unsigned int>(GetCurrentProcessId());
    String relative = String(L"Win32_Process.Handle=\"") + id + L"\"";
    int own = -1;
    for (int i = 0; i < processes.GetRows().GetCount(); i++)
    {
        String path = processes.GetRowPath(i);
        if (path.GetLength() > relative.GetLength() &&
            path.Substring(path.GetLength() - relative.GetLength()) == relative)
        {
            own = i;
        }
    }
    ASSERT_GE(own, 0) << "no row's path ends with " << relative.GetBuffer();
    WMI::ObjectValue process = WMI::GetInstance(&connection, processes.GetRowPath(own));
    EXPECT_EQ(id, process.FindProperty(String(L"Handle"))->GetValue().GetText());
}

// Windows gives a partial instance a path when its properties include the keys; Wine gives one none at all.
TEST_F(LocalWmiTest, WineGivesTheRowsOfASelectOfSomePropertiesNoPath)
{
    connection.SetAsyncLoad(false);
    ManagementObject processes(&connection, String(L"Win32_Process"), 0);
    processes.GetProperties().Add(PropertyInfo(String(L"Handle")));
    processes.GetProperties().Add(PropertyInfo(String(L"Name")));
    processes.Load();
    ExpectRowsOfFullWidth(processes);
    EXPECT_TRUE(processes.GetRowPath(0).IsEmpty());
}

TEST_F(LocalWmiTest, AProcessThatDoesNotExistIsSaidByItsPath)
{
    EXPECT_EQ(L"The instance Win32_Process.Handle=\"4294967295\" does not exist on the machine",
              ThrownMessage([&] { WMI::GetInstance(&connection, String(L"Win32_Process.Handle=\"4294967295\"")); }));
}

// Wine's qualifier sets hold no descriptions and its class object's MOF text is one of its instances.
TEST_F(LocalWmiTest, WineDescribesAClassWithoutTextsOrMof)
{
    WMI::ClassDescription described = WMI::GetClassDescription(&connection, String(L"Win32_Process"));
    EXPECT_TRUE(described.description.IsEmpty());
    EXPECT_TRUE(described.mofText.IsEmpty()) << "an instance's text is not the class's MOF";
    ASSERT_GT(described.properties.GetCount(), 3);
    const WMI::PropertyDescription* processId = described.FindProperty(String(L"ProcessId"));
    ASSERT_NE(nullptr, processId);
    EXPECT_EQ(WMI::CimUInt32, processId->cimType);
    EXPECT_TRUE(processId->description.IsEmpty());
    EXPECT_STREQ(L"56", WMI::FormatCodedValue(*processId, String(L"56")).GetBuffer());
}

TEST(RemoteWmi, ANamedServerThatCannotBeReachedReportsTheTransportFailure)
{
    ManagementConnection connection;
    std::wstring message =
        ThrownMessage([&] { connection.Connect(String(L"QUARROW-NO-SUCH-HOST"), String(), String(), String()); });
    EXPECT_FALSE(message.empty());
    EXPECT_NE(L"(nothing thrown)", message);
    EXPECT_FALSE(connection.IsConnected());
}
