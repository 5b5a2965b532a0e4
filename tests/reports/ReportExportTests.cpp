#include "reports/ReportExport.h"

#include "core/io/IOException.h"
#include "tests/reports/ReportsTesting.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using Core::String;
using Reports::ExportReport;
using Reports::ReportType;
using ReportsTesting::MakeObject;
using Testing::ThrownMessage;

namespace
{

// The shared recording desktop, which also keeps what the report held when its viewer would have started.
class ReportDesktop : public Testing::RecordingDesktop
{
public:
    intptr_t Execute(void* owner, const String& operation, const String& file, const String& parameters,
                     const String& directory, int showCommand) override
    {
        if (!reportPath.IsEmpty())
        {
            reportsAtLaunch.push_back(Testing::ReadFileBytes(reportPath));
        }
        return RecordingDesktop::Execute(owner, operation, file, parameters, directory, showCommand);
    }

    String reportPath; // read at launch when set
    std::vector<std::string> reportsAtLaunch;
};

class ReportExportTest : public testing::Test
{
protected:
    String Export(ReportType type, WMI::ManagementObject* object = nullptr)
    {
        return ExportReport(owner, object != nullptr ? object : process.get(), directory.GetPath(), type, origin,
                            &ReportsTesting::FixedClock);
    }

    std::wstring Quoted(const String& path) const { return L"\"" + std::wstring(path.GetBuffer()) + L"\""; }

    Testing::TempDirectory directory;
    ReportDesktop desktop; // installed while the test runs
    void* owner = reinterpret_cast<void*>(static_cast<intptr_t>(0x1234));
    Reports::ReportOrigin origin; // what Export passes
    std::unique_ptr<WMI::ManagementObject> process =
        MakeObject(L"Win32_Process", {L"Name", L"ProcessId"}, {{L"System", L"4"}, {L"smss.exe", L"312"}});
};

} // namespace

// --- file name and launch ---

TEST_F(ReportExportTest, CommaReportOpensInNotepadWithTheQuotedFileName)
{
    String fileName = Export(ReportType::CommaDelimited);
    EXPECT_EQ(directory.File(L"WmiReport_Win32_Process.csv"), fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    const Testing::RecordingDesktop::Launch& launch = desktop.launches[0];
    EXPECT_EQ(owner, launch.owner);
    EXPECT_EQ(L"open", launch.operation);
    EXPECT_EQ(L"Notepad.exe", launch.file);
    EXPECT_EQ(Quoted(fileName), launch.parameters);
    EXPECT_EQ(L"", launch.directory);
    EXPECT_EQ(10, launch.showCommand);
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\nsmss.exe,312\r\n", Testing::ReadFileBytes(fileName));
}

TEST_F(ReportExportTest, TabReportIsATxtFileForNotepad)
{
    String fileName = Export(ReportType::TabDelimited);
    EXPECT_EQ(directory.File(L"WmiReport_Win32_Process.txt"), fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"Notepad.exe", desktop.launches[0].file);
    EXPECT_EQ(Quoted(fileName), desktop.launches[0].parameters);
    EXPECT_EQ("Name\tProcessId\r\nSystem\t4\r\nsmss.exe\t312\r\n", Testing::ReadFileBytes(fileName));
}

TEST_F(ReportExportTest, ExcelReportIsAnXmlFileForExcel)
{
    String fileName = Export(ReportType::Excel);
    EXPECT_EQ(directory.File(L"WmiReport_Win32_Process.xml"), fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"excel.exe", desktop.launches[0].file);
    EXPECT_EQ(Quoted(fileName), desktop.launches[0].parameters);
    EXPECT_EQ(10, desktop.launches[0].showCommand);
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n", Testing::ReadFileBytes(fileName).substr(0, 23));
}

TEST_F(ReportExportTest, TheWorkbookShowsWhereItsRowsCameFrom)
{
    origin = Reports::ReportOrigin{String(L"fileserver07"), String(L"Operating System"), String(L"Processes")};
    std::string workbook = Testing::ReadFileBytes(Export(ReportType::Excel));
    for (const char* cell : {"fileserver07", "Operating System", "Processes"})
    {
        EXPECT_NE(std::string::npos, workbook.find(std::string("<Data ss:Type=\"String\">") + cell + "</Data>"))
            << cell;
    }
}

TEST_F(ReportExportTest, TheReportIsCompleteAndClosedBeforeTheViewerStarts)
{
    desktop.reportPath = directory.File(L"WmiReport_Win32_Process.csv");
    Export(ReportType::CommaDelimited);
    ASSERT_EQ(1u, desktop.reportsAtLaunch.size());
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\nsmss.exe,312\r\n", desktop.reportsAtLaunch[0]);
}

TEST_F(ReportExportTest, DirectoryWithTrailingBackslashGivesADoubledBackslash)
{
    String fileName = ExportReport(owner, process.get(), directory.GetPath() + L"\\", ReportType::CommaDelimited,
                                   Reports::ReportOrigin(), &ReportsTesting::FixedClock);
    EXPECT_EQ(directory.GetPath() + L"\\\\WmiReport_Win32_Process.csv", fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(Quoted(fileName), desktop.launches[0].parameters);
    // Windows reads the doubled separator as one.
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\nsmss.exe,312\r\n",
              Testing::ReadFileBytes(directory.File(L"WmiReport_Win32_Process.csv")));
}

TEST_F(ReportExportTest, AClassNameFromAnEditedFileCannotLeaveTheDirectoryOrBreakTheQuotes)
{
    auto odd = MakeObject(L"\\Windows\\x\" /c calc \"y", {L"A"});
    String fileName = Export(ReportType::CommaDelimited, odd.get());
    EXPECT_EQ(directory.File(L"WmiReport__Windows_x_ _c calc _y.csv"), fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(Quoted(fileName), desktop.launches[0].parameters);
    EXPECT_EQ("A\r\n", Testing::ReadFileBytes(fileName));
}

TEST_F(ReportExportTest, ADotInTheClassNameCountsAsTheExtension)
{
    // The extension is added only when the name has none, and a dot in the class name gives it one.
    auto dotted = MakeObject(L"Vendor.Class", {L"A"});
    String fileName = Export(ReportType::Excel, dotted.get());
    EXPECT_EQ(directory.File(L"WmiReport_Vendor.Class"), fileName);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"excel.exe", desktop.launches[0].file);
}

TEST_F(ReportExportTest, ExportingTwiceReplacesTheReport)
{
    Export(ReportType::CommaDelimited);
    process->GetRows().RemoveAt(1);
    String fileName = Export(ReportType::CommaDelimited);
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\n", Testing::ReadFileBytes(fileName));
    EXPECT_EQ(2u, desktop.launches.size());
}

// A machine without Excel: the report is kept and the user learns where it is and why nothing opened.
TEST_F(ReportExportTest, AViewerThatDoesNotStartIsReportedWithTheFileName)
{
    desktop.executeResult = 2; // SE_ERR_FNF: the program is not installed
    std::wstring message = Testing::ThrownMessage([&] { Export(ReportType::Excel); });
    EXPECT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(0u, message.find(L"The report was saved as:\r\n"));
    EXPECT_NE(std::wstring::npos,
              message.find(L"\\WmiReport_Win32_Process.xml\r\n\r\nexcel.exe could not be started: "));
    EXPECT_NE(std::wstring::npos, message.find(Core::Platform::Windows::GetLaunchFailureText(2).GetBuffer()));
    EXPECT_FALSE(Core::Platform::Windows::GetLaunchFailureText(2).IsEmpty());
    EXPECT_EQ(L"No program is associated with this kind of file.",
              std::wstring(Core::Platform::Windows::GetLaunchFailureText(31).GetBuffer()));
}

TEST_F(ReportExportTest, OpenReportStartsTheViewerOnly)
{
    Reports::OpenReport(owner, String(L"C:\\Reports\\WmiReport_Win32_Process.csv"), ReportType::CommaDelimited);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"\"C:\\Reports\\WmiReport_Win32_Process.csv\"", desktop.launches[0].parameters);
    EXPECT_EQ(L"Notepad.exe", desktop.launches[0].file);
}

// --- failures start nothing ---

TEST_F(ReportExportTest, NullObjectIsRejectedAndNothingStarts)
{
    EXPECT_EQ(L"Argument is null: managementObject",
              ThrownMessage(
                  [&]
                  {
                      ExportReport(owner, nullptr, directory.GetPath(), ReportType::CommaDelimited,
                                   Reports::ReportOrigin(), &ReportsTesting::FixedClock);
                  }));
    EXPECT_TRUE(desktop.launches.empty());
}

TEST_F(ReportExportTest, AMissingDirectoryRaisesTheFileErrorAndNothingStarts)
{
    EXPECT_THROW(ExportReport(owner, process.get(), directory.File(L"missing"), ReportType::Excel,
                              Reports::ReportOrigin(), &ReportsTesting::FixedClock),
                 Core::IO::IOException);
    EXPECT_TRUE(desktop.launches.empty());
}

TEST_F(ReportExportTest, UnknownTypeStartsNothing)
{
    EXPECT_EQ(L"Unknown report type: 1", ThrownMessage([&] { Export(ReportType(1)); }));
    EXPECT_EQ(L"Unknown report type: 0",
              ThrownMessage([&] { Reports::OpenReport(owner, String(L"x.csv"), ReportType(0)); }));
    EXPECT_TRUE(desktop.launches.empty());
}

TEST_F(ReportExportTest, FreesEverythingItAllocates)
{
    // What the recording desktop keeps is the test's, not the export's.
    desktop.launches.reserve(2);
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         Export(ReportType::Excel);
                         desktop.launches.clear();
                     }));
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         Export(ReportType::TabDelimited);
                         desktop.launches.clear();
                     }));
}
