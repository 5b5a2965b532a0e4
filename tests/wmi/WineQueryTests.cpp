// Typed queries against the machine's own WMI service (Wine's, in the test environment).
#include "core/threading/BackgroundWork.h"
#include "wmi/ManagementObject.h"

#include <gtest/gtest.h>
#include <windows.h>

using Core::String;
using WMI::ManagementConnection;
using WMI::ManagementObject;

namespace
{

class LocalQueryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        connection.Connect(String(), String(), String(), String());
        ASSERT_TRUE(connection.IsConnected());
        connection.SetAsyncLoad(false);
    }
    void TearDown() override { EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(10000)); }

    std::unique_ptr<ManagementObject> Run(const wchar_t* text)
    {
        auto query = std::make_unique<ManagementObject>(&connection, String(L"Query"), 0);
        query->SetQueryText(String(text));
        query->Load();
        return query;
    }

    // The column whose name is name, without regard to case (Wine spells ProcessId ProcessID); -1 when none.
    static int ColumnOf(ManagementObject& query, const wchar_t* name)
    {
        for (int c = 0; c < query.GetColumns().GetCount(); c++)
        {
            if (query.GetColumns()[c].ToLower() == String(name).ToLower())
            {
                return c;
            }
        }
        return -1;
    }

    ManagementConnection connection;
};

} // namespace

TEST_F(LocalQueryTest, ASelectFindsThisProgramAmongTheProcesses)
{
    auto query = Run(L"SELECT Name, ProcessId FROM Win32_Process");
    ASSERT_EQ(WMI::LoadCompleted, query->GetState());
    // Wine returns the selected properties alone.
    ASSERT_EQ(2, query->GetColumns().GetCount());
    int processId = ColumnOf(*query, L"ProcessId");
    ASSERT_GE(processId, 0);
    String ownId;
    ownId += static_cast<unsigned int>(GetCurrentProcessId());
    bool foundSelf = false;
    for (int r = 0; r < query->GetRows().GetCount(); r++)
    {
        foundSelf = foundSelf || (*query->GetRows()[r])[processId] == ownId;
    }
    EXPECT_TRUE(foundSelf);
}

TEST_F(LocalQueryTest, TheAssociatorsOfDriveCAreOneDiskPartition)
{
    auto query = Run(L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"}");
    ASSERT_EQ(WMI::LoadCompleted, query->GetState());
    ASSERT_EQ(1, query->GetRows().GetCount());
    // One class came back: no class column.
    EXPECT_EQ(-1, ColumnOf(*query, L"__CLASS"));
    int deviceId = ColumnOf(*query, L"DeviceID");
    ASSERT_GE(deviceId, 0);
    EXPECT_EQ(0, (*query->GetRows()[0])[deviceId].IndexOf(L"Disk #")) << (*query->GetRows()[0])[deviceId].GetBuffer();
    EXPECT_GE(ColumnOf(*query, L"DiskIndex"), 0);
}

TEST_F(LocalQueryTest, WineRefusesReferencesOfAsAnInvalidQuery)
{
    const wchar_t* text = L"REFERENCES OF {Win32_LogicalDisk.DeviceID=\"C:\"}";
    auto query = Run(text);
    EXPECT_EQ(WMI::LoadFailed, query->GetState());
    EXPECT_EQ(String(L"The query was not syntactically valid: ") + text, query->GetFailureMessage());
}

TEST_F(LocalQueryTest, WineHasNoMetaClassRows)
{
    auto query = Run(L"SELECT * FROM meta_class WHERE __CLASS = 'Win32_Process'");
    EXPECT_EQ(WMI::LoadCompleted, query->GetState());
    EXPECT_EQ(0, query->GetRows().GetCount());
    EXPECT_EQ(0, query->GetColumns().GetCount());
}

TEST_F(LocalQueryTest, AMethodCallIsRefusedAsAnInvalidQuery)
{
    const wchar_t* text = L"Win32_Process.Create()";
    auto query = Run(text);
    EXPECT_EQ(WMI::LoadFailed, query->GetState());
    EXPECT_EQ(String(L"The query was not syntactically valid: ") + text, query->GetFailureMessage());
}
