#include "wmi/PowerShellCommand.h"

#include "wmi/ClassDefinition.h"

#include <gtest/gtest.h>
#include <string>

using Core::String;
using WMI::ClassDefinition;
using WMI::PowerShellTarget;
using WMI::PropertyInfo;

namespace
{

std::wstring W(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

Core::Collections::ArrayList<String> Columns(std::initializer_list<const wchar_t*> names)
{
    Core::Collections::ArrayList<String> list;
    for (const wchar_t* name : names)
    {
        list.Add(String(name));
    }
    return list;
}

} // namespace

// Single quotes are doubled, the typographic ones PowerShell also reads as quotes too; nothing else is touched:
// a $ or a backtick means nothing inside single quotes.
TEST(PowerShellCommand, QuotingDoublesEverySingleQuotePowerShellKnows)
{
    EXPECT_EQ(L"''", W(WMI::QuoteForPowerShell(String())));
    EXPECT_EQ(L"'Name = ''notepad.exe'''", W(WMI::QuoteForPowerShell(String(L"Name = 'notepad.exe'"))));
    EXPECT_EQ(L"'\u2018\u2018x\u2019\u2019 \u201A\u201A\u201B\u201B'",
              W(WMI::QuoteForPowerShell(String(L"\u2018x\u2019 \u201A\u201B"))));
    EXPECT_EQ(L"'$env:TEMP `n \"x\"'", W(WMI::QuoteForPowerShell(String(L"$env:TEMP `n \"x\""))));
}

TEST(PowerShellCommand, AClassWithAllItsPropertiesSelectsTheGridsColumns)
{
    ClassDefinition process(String(L"Win32_Process"), 0);
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -ClassName 'Win32_Process' | Select-Object -Property "
              L"'Caption','Name','ProcessId'",
              W(WMI::PowerShellForClass(process, Columns({L"Caption", L"Name", L"ProcessId"}), PowerShellTarget())));
}

TEST(PowerShellCommand, AFilteredClassWithChosenPropertiesAsksForThemAndKeepsTheFiltersQuotes)
{
    ClassDefinition service(String(L"Win32_Service"), 0);
    service.GetProperties().Add(PropertyInfo(String(L"Name")));
    service.GetProperties().Add(PropertyInfo(String(L"State")));
    service.SetFilter(String(L"StartMode = 'Auto' AND State <> 'Running'"));
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -ClassName 'Win32_Service' -Property 'Name','State' "
              L"-Filter 'StartMode = ''Auto'' AND State <> ''Running''' | Select-Object -Property 'Name','State'",
              W(WMI::PowerShellForClass(service, Columns({L"Name", L"State"}), PowerShellTarget())));
}

TEST(PowerShellCommand, AClassOfAnotherNamespaceNamesIt)
{
    ClassDefinition tables(String(L"MSSMBios_RawSMBiosTables"), 0);
    tables.SetNamespace(String(L"root\\wmi"));
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\wmi' -ClassName 'MSSMBios_RawSMBiosTables'",
              W(WMI::PowerShellForClass(tables, Columns({}), PowerShellTarget())));
}

// A remote machine: -ComputerName for the caller's own identity; for another user a session whose password
// PowerShell asks for. No password ever appears.
TEST(PowerShellCommand, ARemoteMachineIsNamedAndAUsersPasswordIsLeftToThePrompt)
{
    PowerShellTarget remote{String(L"SRV1"), String(), String()};
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'SELECT * FROM Win32_Process' -ComputerName 'SRV1'",
              W(WMI::PowerShellForQuery(String(L"SELECT * FROM Win32_Process"), String(L"root\\cimv2"), remote)));
    PowerShellTarget other{String(L"SRV1"), String(L"admin"), String(L"CORP")};
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'SELECT Name FROM Win32_Share' -CimSession "
              L"(New-CimSession -ComputerName 'SRV1' -Credential 'CORP\\admin')",
              W(WMI::PowerShellForQuery(String(L"SELECT Name FROM Win32_Share"), String(), other)));
    PowerShellTarget quoted{String(L"o'brien-pc"), String(L"o'brien"), String()};
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'x' -CimSession (New-CimSession -ComputerName "
              L"'o''brien-pc' -Credential 'o''brien')",
              W(WMI::PowerShellForQuery(String(L"x"), String(), quoted)));
}

// A typed query goes as WMI took it, quotes and line breaks included.
TEST(PowerShellCommand, AQueryKeepsItsTextExactly)
{
    String query(L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"}\r\nWHERE ResultClass = Win32_DiskPartition");
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"}"
              L"\r\nWHERE ResultClass = Win32_DiskPartition'",
              W(WMI::PowerShellForQuery(query, String(L"root\\cimv2"), PowerShellTarget())));
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'SELECT * FROM Win32_Service WHERE Name = ''W32Time'''",
              W(WMI::PowerShellForQuery(String(L"SELECT * FROM Win32_Service WHERE Name = 'W32Time'"), String(),
                                        PowerShellTarget())));
}
