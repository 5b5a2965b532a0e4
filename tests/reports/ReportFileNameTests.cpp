#include "reports/ReportFileName.h"

#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

using Core::String;
using Reports::GetReportFileName;

namespace
{

std::wstring FileName(const wchar_t* directory, const wchar_t* className)
{
    return GetReportFileName(String(directory), String(className)).GetBuffer();
}

} // namespace

// --- the directory is used as stored ---

TEST(ReportFileName, DirectoryThenWmiReportThenTheClassName)
{
    EXPECT_EQ(L"C:\\Reports\\WmiReport_Win32_Process", FileName(L"C:\\Reports", L"Win32_Process"));
}

TEST(ReportFileName, TrailingBackslashOfTheDirectoryIsDoubled)
{
    EXPECT_EQ(L"C:\\Reports\\\\WmiReport_Win32_Process", FileName(L"C:\\Reports\\", L"Win32_Process"));
}

TEST(ReportFileName, EmptyDirectoryGivesANameStartingWithTheBackslash)
{
    EXPECT_EQ(L"\\WmiReport_Win32_Process", FileName(L"", L"Win32_Process"));
}

TEST(ReportFileName, DirectoryKeepsItsOwnSeparatorsAndDrive)
{
    EXPECT_EQ(L"\\\\server\\share/a:b\\WmiReport_X", FileName(L"\\\\server\\share/a:b", L"X"));
}

TEST(ReportFileName, NoExtensionIsAdded)
{
    EXPECT_EQ(L"D:\\r.x\\WmiReport_Win32_Service", FileName(L"D:\\r.x", L"Win32_Service"));
}

// --- the class name cannot leave the directory or break the quoted parameter ---

TEST(ReportFileName, RealClassNamesAreUnchanged)
{
    for (const wchar_t* name : {L"Win32_Process", L"CIM_DataFile", L"Win32_PerfFormattedData_PerfOS_Processor",
                                L"MSFT_NetAdapter", L"Win32_1394Controller", L"__Namespace"})
    {
        EXPECT_EQ(std::wstring(L"C:\\R\\WmiReport_") + name, FileName(L"C:\\R", name));
    }
}

TEST(ReportFileName, CharactersWindowsRefusesInFileNamesBecomeUnderscores)
{
    EXPECT_EQ(L"C:\\R\\WmiReport_a_b_c_d_e_f_g_h_i_j", FileName(L"C:\\R", L"a\\b/c:d*e?f\"g<h>i|j"));
}

TEST(ReportFileName, ControlCharactersBecomeUnderscores)
{
    // U+0001, TAB, CR, LF and U+001F.
    EXPECT_EQ(L"C:\\R\\WmiReport_a_b_c__d_e", FileName(L"C:\\R", L"a\001b\tc\r\nd\037e"));
}

TEST(ReportFileName, PathInTheClassNameStaysInTheDirectory)
{
    EXPECT_EQ(L"C:\\R\\WmiReport_.._.._Windows_win.ini", FileName(L"C:\\R", L"..\\..\\Windows\\win.ini"));
    EXPECT_EQ(L"C:\\R\\WmiReport_C__evil", FileName(L"C:\\R", L"C:\\evil"));
}

TEST(ReportFileName, OtherCharactersAreKept)
{
    EXPECT_EQ(L"C:\\R\\WmiReport_caf\u00E9 #1 (x)+[y]{z}!~'", FileName(L"C:\\R", L"caf\u00E9 #1 (x)+[y]{z}!~'"));
}

TEST(ReportFileName, FreesWhatItAllocates)
{
    EXPECT_EQ(0, Testing::LeakedBy([] { FileName(L"C:\\Reports", L"Win32_Process?"); }));
}
