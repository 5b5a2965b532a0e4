// Namespaces and classes of the machine's own WMI service (Wine's, in the test environment), asserting only what
// Wine does: it has a few fixed namespaces, lists none inside them and cannot enumerate classes.
#include "core/threading/BackgroundWork.h"
#include "tests/support/ThrownMessage.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/Schema.h"
#include "wmi/SchemaCatalogue.h"

#include <gtest/gtest.h>

using Core::String;
using Testing::ThrownMessage;
using WMI::ManagementConnection;

namespace
{

class LocalSchemaTest : public testing::Test
{
protected:
    void SetUp() override
    {
        machine.Connect(String(), String(), String(), String());
        ASSERT_TRUE(machine.IsConnected());
    }

    bool HasProperty(const WMI::ClassSchema& schema, const wchar_t* name)
    {
        for (int i = 0; i < schema.properties.GetCount(); i++)
        {
            // Property names are case-insensitive in WMI (Wine spells some differently from Windows).
            if (schema.properties[i].ToLower() == String(name).ToLower())
            {
                return true;
            }
        }
        return false;
    }

    ManagementConnection machine;
};

} // namespace

TEST_F(LocalSchemaTest, TheNamespacesWineHasConnect)
{
    for (const wchar_t* path : {L"root\\cimv2", L"root\\default", L"root\\wmi", L"root\\Microsoft\\Windows\\Storage"})
    {
        std::unique_ptr<ManagementConnection> connection = machine.ConnectNamespace(String(path));
        EXPECT_TRUE(connection->IsConnected()) << path;
        EXPECT_STREQ(path, connection->GetNamespace().GetBuffer());
        EXPECT_STREQ(path, connection->GetSession()->GetNamespace().GetBuffer());
    }
}

TEST_F(LocalSchemaTest, ANamespaceWineLacksIsNamedWithTheReason)
{
    EXPECT_EQ(L"Could not open namespace root\\QuarrowNoSuchNamespace: The specified namespace did not exist on the "
              L"server",
              ThrownMessage([&] { machine.ConnectNamespace(String(L"root\\QuarrowNoSuchNamespace")); }));
}

TEST_F(LocalSchemaTest, TheNamespaceQueryListsNoNamespaces)
{
    EXPECT_EQ(0, WMI::ReadChildNamespaces(&machine).GetCount());
    std::unique_ptr<ManagementConnection> wmi = machine.ConnectNamespace(String(L"root\\wmi"));
    EXPECT_EQ(0, WMI::ReadChildNamespaces(wmi.get()).GetCount());
}

TEST_F(LocalSchemaTest, WinesRootHasNoNamespaceClassAndSaysSo)
{
    std::unique_ptr<ManagementConnection> root = machine.ConnectNamespace(String(L"root"));
    EXPECT_EQ(L"Could not list the namespaces in root: Unknown error (0x80041010)",
              ThrownMessage([&] { WMI::ReadChildNamespaces(root.get()); }));
}

TEST_F(LocalSchemaTest, ClassesThatCannotBeEnumeratedGiveAClearError)
{
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::ReadSubclasses(&machine, String()); }));
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::ReadSubclasses(&machine, String(L"CIM_LogicalElement")); }));
    std::unique_ptr<ManagementConnection> wmi = machine.ConnectNamespace(String(L"root\\wmi"));
    EXPECT_EQ(L"Could not list the classes in root\\wmi: Unspecified error",
              ThrownMessage([&] { WMI::ReadAllClasses(wmi.get()); }));
}

TEST_F(LocalSchemaTest, OneClassIsReadByNameInItsNamespace)
{
    WMI::ClassSchema process = WMI::ReadClass(&machine, String(L"Win32_Process"));
    EXPECT_STREQ(L"Win32_Process", process.name.GetBuffer());
    EXPECT_FALSE(process.isSystem);
    EXPECT_TRUE(HasProperty(process, L"ProcessId"));
    EXPECT_TRUE(HasProperty(process, L"Name"));
    std::unique_ptr<ManagementConnection> wmi = machine.ConnectNamespace(String(L"root\\wmi"));
    WMI::ClassSchema tables = WMI::ReadClass(wmi.get(), String(L"MSSMBios_RawSMBiosTables"));
    EXPECT_STREQ(L"MSSMBios_RawSMBiosTables", tables.name.GetBuffer());
    EXPECT_TRUE(HasProperty(tables, L"SMBiosData"));
    // Each namespace has its own classes.
    EXPECT_THROW(WMI::ReadClass(wmi.get(), String(L"Win32_Process")), WMI::InvalidWMIClassException);
}

TEST_F(LocalSchemaTest, ASearchOfWinesMachineReportsWhatItCouldNotRead)
{
    std::unique_ptr<ManagementConnection> copy = machine.CopyCredentials();
    WMI::SchemaCatalogue catalogue;
    {
        Core::Threading::BackgroundWork read([&] { catalogue.Read(*copy, String(L"process")); });
    }
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    EXPECT_TRUE(catalogue.IsComplete());
    ASSERT_EQ(1, catalogue.GetNamespaces().GetCount());
    EXPECT_STREQ(L"root", catalogue.GetNamespaces()[0].GetBuffer());
    EXPECT_EQ(0, catalogue.GetClassCount());
    Core::Collections::ArrayList<WMI::NamespaceFailure> failures = catalogue.GetFailures();
    ASSERT_EQ(2, failures.GetCount());
    EXPECT_STREQ(L"Could not list the namespaces in root: Unknown error (0x80041010)", failures[0].message.GetBuffer());
    EXPECT_STREQ(L"Could not list the classes in root: Unspecified error", failures[1].message.GetBuffer());
    EXPECT_EQ(0, catalogue.Find(String(L"process")).GetCount());
}
