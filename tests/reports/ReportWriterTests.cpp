#include "reports/ReportWriter.h"

#include "core/io/FileStream.h"
#include "core/io/IOException.h"
#include "core/io/Path.h"
#include "tests/reports/ReportsTesting.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <new>
#include <windows.h>

using Core::String;
using Reports::ReportType;
using Reports::ReportWriter;
using ReportsTesting::MakeObject;
using Testing::ReadFileBytes;
using Testing::ThrownMessage;

namespace
{

class ReportWriterTest : public testing::Test
{
protected:
    // Writes the report of object to name in the directory; returns the name the writer settled on.
    std::wstring Write(WMI::ManagementObject* object, ReportType type, const wchar_t* name)
    {
        String fileName = directory.File(name);
        ReportWriter(&ReportsTesting::FixedClock).Write(object, type, fileName);
        return fileName.GetBuffer();
    }

    std::wstring Path(const wchar_t* name) const { return directory.File(name).GetBuffer(); }

    // True when nobody holds the file open any more: it can be opened without sharing.
    static bool IsClosed(const std::wstring& path)
    {
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
        {
            return false;
        }
        CloseHandle(handle);
        return true;
    }

    Testing::TempDirectory directory;
    std::unique_ptr<WMI::ManagementObject> process =
        MakeObject(L"Win32_Process", {L"Name", L"ProcessId"}, {{L"System", L"4"}, {L"a,b", L"say \"x\""}});
};

} // namespace

// --- extension and file name ---

TEST_F(ReportWriterTest, CommaTypeAppendsCsv)
{
    std::wstring name = Write(process.get(), ReportType::CommaDelimited, L"WmiReport_Win32_Process");
    EXPECT_EQ(Path(L"WmiReport_Win32_Process.csv"), name);
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\n\"a,b\",\"say \"\"x\"\"\"\r\n", ReadFileBytes(String(name.c_str())));
}

TEST_F(ReportWriterTest, TabTypeAppendsTxt)
{
    std::wstring name = Write(process.get(), ReportType::TabDelimited, L"WmiReport_Win32_Process");
    EXPECT_EQ(Path(L"WmiReport_Win32_Process.txt"), name);
    EXPECT_EQ("Name\tProcessId\r\nSystem\t4\r\na,b\t\"say \"\"x\"\"\"\r\n", ReadFileBytes(String(name.c_str())));
}

TEST_F(ReportWriterTest, ExcelTypeAppendsXmlAndWritesTheIndentedWorkbook)
{
    std::wstring name = Write(process.get(), ReportType::Excel, L"WmiReport_Win32_Process");
    EXPECT_EQ(Path(L"WmiReport_Win32_Process.xml"), name);
    std::string bytes = ReadFileBytes(String(name.c_str()));
    const std::string start = "<?xml version=\"1.0\"?>\r\n<?mso-application progid=\"Excel.Sheet\"?>\r\n<Workbook";
    EXPECT_EQ(start, bytes.substr(0, start.size()));
    EXPECT_NE(std::string::npos, bytes.find("\r\n\t\t<Created>03/03/2026 07:05</Created>\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\n\t\t\t\t\t<Data ss:Type=\"String\">a,b</Data>\r\n"));
    const std::string end = "\r\n\t</Worksheet>\r\n</Workbook>";
    EXPECT_EQ(end, bytes.substr(bytes.size() - end.size()));
}

TEST_F(ReportWriterTest, AnExistingExtensionIsKept)
{
    EXPECT_EQ(Path(L"report.dat"), Write(process.get(), ReportType::CommaDelimited, L"report.dat"));
    EXPECT_EQ(Path(L"report.xml"), Write(process.get(), ReportType::CommaDelimited, L"report.xml"));
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\n\"a,b\",\"say \"\"x\"\"\"\r\n",
              ReadFileBytes(directory.File(L"report.xml")));
}

TEST_F(ReportWriterTest, ANameEndingInADotGetsTheExtensionAfterIt)
{
    std::wstring name = Write(process.get(), ReportType::TabDelimited, L"report.");
    EXPECT_EQ(Path(L"report..txt"), name);
}

TEST_F(ReportWriterTest, ADotInTheDirectoryIsNoExtension)
{
    CreateDirectoryW(Path(L"dir.x").c_str(), nullptr);
    EXPECT_EQ(Path(L"dir.x\\WmiReport_Win32_Process.csv"),
              Write(process.get(), ReportType::CommaDelimited, L"dir.x\\WmiReport_Win32_Process"));
}

TEST_F(ReportWriterTest, TextIsUtf8WithoutByteOrderMark)
{
    auto object = MakeObject(L"Win32_Thing", {L"Name"}, {{L"caf\u00E9"}});
    EXPECT_EQ("Name\r\ncaf\xC3\xA9\r\n",
              ReadFileBytes(String(Write(object.get(), ReportType::CommaDelimited, L"u").c_str())));
    std::string workbook = ReadFileBytes(String(Write(object.get(), ReportType::Excel, L"u").c_str()));
    EXPECT_EQ("<?xml", workbook.substr(0, 5));
    EXPECT_NE(std::string::npos, workbook.find(">caf\xC3\xA9<"));
}

// --- replacing and closing ---

TEST_F(ReportWriterTest, AnExistingReportIsReplacedWhole)
{
    String fileName = directory.File(L"WmiReport_Win32_Process.csv");
    Testing::WriteFileBytes(fileName, std::string(10000, 'x'));
    Write(process.get(), ReportType::CommaDelimited, L"WmiReport_Win32_Process");
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\n\"a,b\",\"say \"\"x\"\"\"\r\n", ReadFileBytes(fileName));
    auto other = MakeObject(L"Win32_Process", {L"Name"});
    Write(other.get(), ReportType::CommaDelimited, L"WmiReport_Win32_Process");
    EXPECT_EQ("Name\r\n", ReadFileBytes(fileName));
}

TEST_F(ReportWriterTest, TheFileIsClosedWhenWriteReturns)
{
    EXPECT_TRUE(IsClosed(Write(process.get(), ReportType::CommaDelimited, L"a")));
    EXPECT_TRUE(IsClosed(Write(process.get(), ReportType::Excel, L"a")));
}

TEST_F(ReportWriterTest, AFailedAllocationAnywhereLeavesNothingOpenAndNothingLeaked)
{
    for (ReportType type : {ReportType::CommaDelimited, ReportType::Excel})
    {
        bool injected = true;
        int failures = 0;
        for (int64_t failing = 0; injected; failing++)
        {
            // A name per attempt, so an attempt cannot disturb the next one.
            std::wstring name = L"failing" + std::to_wstring(failing);
            String fileName = directory.File(name.c_str());
            int64_t leaked = Testing::LeakedBy(
                [&]
                {
                    try
                    {
                        injected = Testing::RunWithFailingAllocation(
                            failing,
                            [&] { ReportWriter(&ReportsTesting::FixedClock).Write(process.get(), type, fileName); });
                    }
                    catch (const std::bad_alloc&)
                    {
                        failures++;
                    }
                });
            EXPECT_EQ(0, leaked) << "allocation " << failing;
            std::wstring path = Path(name.c_str()) + (type == ReportType::Excel ? L".xml" : L".csv");
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            {
                continue; // failed before the file was created
            }
            EXPECT_TRUE(IsClosed(path)) << "allocation " << failing;
        }
        EXPECT_GT(failures, 3);
    }
}

// --- errors ---

TEST_F(ReportWriterTest, NullObjectIsRejectedAndNothingIsCreated)
{
    String fileName = directory.File(L"none");
    EXPECT_EQ(L"Argument is null: managementObject",
              ThrownMessage([&] { ReportWriter().Write(nullptr, ReportType::CommaDelimited, fileName); }));
    EXPECT_EQ(directory.File(L"none"), fileName);
    EXPECT_FALSE(Core::IO::File::Exists(directory.File(L"none.csv")));
}

TEST_F(ReportWriterTest, UnknownTypeIsRejectedAndNothingIsCreated)
{
    String fileName = directory.File(L"none");
    EXPECT_EQ(L"Unknown report type: 1",
              ThrownMessage([&] { ReportWriter().Write(process.get(), ReportType(1), fileName); }));
    EXPECT_EQ(directory.File(L"none"), fileName);
    EXPECT_FALSE(Core::IO::File::Exists(fileName));
}

TEST_F(ReportWriterTest, NullClockIsRejected)
{
    EXPECT_EQ(L"Argument is null: clock", ThrownMessage([] { ReportWriter writer(nullptr); }));
}

TEST_F(ReportWriterTest, AMissingDirectoryRaisesTheFileStreamsError)
{
    String fileName = directory.File(L"missing\\WmiReport_Win32_Process");
    EXPECT_THROW(ReportWriter().Write(process.get(), ReportType::CommaDelimited, fileName), Core::IO::IOException);
    EXPECT_FALSE(Core::IO::File::Exists(fileName));
}

TEST_F(ReportWriterTest, AReportHeldOpenByAnotherProgramRaisesTheFileStreamsError)
{
    std::wstring path = Path(L"locked.csv");
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    String fileName = directory.File(L"locked");
    EXPECT_THROW(ReportWriter().Write(process.get(), ReportType::CommaDelimited, fileName), Core::IO::IOException);
    CloseHandle(holder);
    EXPECT_EQ("", ReadFileBytes(String(path.c_str())));
}

TEST_F(ReportWriterTest, OthersMayReadTheReportButNotWriteIt)
{
    std::wstring path = Path(L"shared.csv");
    Testing::WriteFileBytes(String(path.c_str()), "old");
    String fileName = directory.File(L"shared");
    // The report shares reading: a reader that lets others write does not stop it...
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    ReportWriter().Write(process.get(), ReportType::CommaDelimited, fileName);
    CloseHandle(reader);
    EXPECT_EQ("Name,ProcessId\r\nSystem,4\r\n\"a,b\",\"say \"\"x\"\"\"\r\n", ReadFileBytes(fileName));
    // ...but it does not share writing, so another writer keeps it out.
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    fileName = directory.File(L"shared");
    EXPECT_THROW(ReportWriter().Write(process.get(), ReportType::CommaDelimited, fileName), Core::IO::IOException);
    CloseHandle(writer);
}

TEST_F(ReportWriterTest, FreesEverythingItAllocates)
{
    EXPECT_EQ(0, Testing::LeakedBy([&] { Write(process.get(), ReportType::CommaDelimited, L"leak"); }));
    EXPECT_EQ(0, Testing::LeakedBy([&] { Write(process.get(), ReportType::Excel, L"leak"); }));
}
