// Writes 100,000 rows of 10 columns as a comma-delimited report and as a workbook, each timed against a plain
// WriteFile of a buffer of the same byte count into the same folder, in the same run.
#include "core/Exception.h"
#include "reports/ReportWriter.h"

#include "bench/support/Stopwatch.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

using Core::String;
using Reports::ReportType;

using Benchmark::Seconds;

namespace
{

const int RowCount = 100000;
const int ColumnCount = 10;
// The plain write's best of seven still moved by half between runs (12 or 18 ms for the workbook's bytes);
// fifteen rounds find the fast state of the machine more often, for both sides alike.
const int Rounds = 15;
const DWORD SettleMilliseconds = 5000;

// Texts as a loaded class has them: names, numbers, booleans, empty values, paths and quoted command lines.
String MakeCell(int row, int column)
{
    switch (column % 5)
    {
    case 0:
        return String(L"Value ") + row + L"." + column;
    case 1:
        return String(L"") + (row * 31 + column);
    case 2:
        return String((row + column) % 2 == 0 ? L"True" : L"False");
    case 3:
        return row % 3 == 0 ? String() : String(L"C:\\Windows\\System32\\svchost.exe");
    default:
        return row % 5 == 0 ? String(L"\"C:\\Program Files\\Tool\\tool.exe\" -k netsvcs, -p")
                            : String(L"svchost.exe -k LocalService");
    }
}

std::unique_ptr<WMI::ManagementObject> MakeObject()
{
    static const wchar_t* const names[ColumnCount] = {L"Name",        L"ProcessId", L"Enabled",     L"ExecutablePath",
                                                      L"CommandLine", L"Caption",   L"HandleCount", L"Started",
                                                      L"Path",        L"Arguments"};
    auto object = std::make_unique<WMI::ManagementObject>(nullptr, String(L"Win32_Benchmark"), 0);
    for (const wchar_t* name : names)
    {
        object->GetProperties().Add(WMI::PropertyInfo(String(name)));
    }
    for (int r = 0; r < RowCount; r++)
    {
        auto* row = new WMI::Row(ColumnCount);
        object->GetRows().Add(row);
        for (int c = 0; c < ColumnCount; c++)
        {
            row->Add(MakeCell(r, c));
        }
    }
    return object;
}

long long FileSize(const String& fileName)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(fileName.GetBuffer(), GetFileExInfoStandard, &data))
    {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Creates a file and hands it the whole buffer in one WriteFile.
void RawWrite(const String& fileName, const std::vector<char>& buffer)
{
    HANDLE file = CreateFileW(fileName.GetBuffer(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr);
    CloseHandle(file);
}

struct Comparison
{
    long long bytes = 0;
    double writerSeconds = 1e30;
    double rawSeconds = 1e30;
    double Ratio() const { return rawSeconds / writerSeconds; }
};

// Best of the rounds for each side; the two alternate, so both meet the same state of the machine and its cache.
Comparison Compare(WMI::ManagementObject* object, ReportType type, const String& folder, const char* label)
{
    Comparison result;
    String fileName = folder + L"\\WmiReport_Win32_Benchmark";
    Reports::ReportWriter().Write(object, type, fileName);
    result.bytes = FileSize(fileName);
    std::vector<char> buffer(static_cast<size_t>(result.bytes), 'x');
    String rawName = folder + L"\\raw.bin";
    for (int round = 0; round < Rounds; round++)
    {
        // Both sides write a new file: replacing the last round's file would time the file system freeing
        // it, which depends on how far it has got writing that file to disk and varies threefold.
        DeleteFileW(rawName.GetBuffer());
        double start = Seconds();
        RawWrite(rawName, buffer);
        double raw = Seconds() - start;
        result.rawSeconds = raw < result.rawSeconds ? raw : result.rawSeconds;

        fileName = folder + L"\\WmiReport_Win32_Benchmark";
        DeleteFileW((fileName + ReportType(type).GetExtension()).GetBuffer());
        start = Seconds();
        Reports::ReportWriter().Write(object, type, fileName);
        double writer = Seconds() - start;
        result.writerSeconds = writer < result.writerSeconds ? writer : result.writerSeconds;
    }
    DeleteFileW(fileName.GetBuffer());
    DeleteFileW(rawName.GetBuffer());
    double megabytes = static_cast<double>(result.bytes) / (1024.0 * 1024.0);
    std::printf("%-9s %10lld bytes  writer %7.1f ms %7.1f MB/s   raw WriteFile %6.1f ms %7.1f MB/s   ratio %.2f\n",
                label, result.bytes, result.writerSeconds * 1000.0, megabytes / result.writerSeconds,
                result.rawSeconds * 1000.0, megabytes / result.rawSeconds, result.Ratio());
    return result;
}

} // namespace

// An argument "csv" or "workbook" runs only that comparison (for profiling); the result line needs both.
int main(int argc, char** argv)
{
    bool runWorkbook = argc < 2 || std::strcmp(argv[1], "workbook") == 0;
    bool runCsv = argc < 2 || std::strcmp(argv[1], "csv") == 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    String folder = String(temp) + L"quarrow-bench-reports-" + static_cast<int>(GetCurrentProcessId());
    if (!CreateDirectoryW(folder.GetBuffer(), nullptr))
    {
        std::printf("cannot create the benchmark folder\n");
        return 1;
    }
    int status = 0;
    try
    {
        auto object = MakeObject();
        std::printf("%d rows of %d columns, best of %d alternating rounds each\n", RowCount, ColumnCount, Rounds);
        Comparison workbook;
        Comparison csv;
        if (runWorkbook)
        {
            workbook = Compare(object.get(), ReportType::Excel, folder, "workbook");
        }
        if (runCsv)
        {
            if (runWorkbook)
            {
                // The workbook rounds leave a gigabyte for the system to write to disk in the background; the
                // comma-delimited comparison should not share the processors with that.
                Sleep(SettleMilliseconds);
            }
            csv = Compare(object.get(), ReportType::CommaDelimited, folder, "csv");
        }
        if (runWorkbook && runCsv)
        {
            std::printf("workbook-vs-raw-write %.2f\n", workbook.Ratio());
            std::printf("RESULT csv-vs-raw-write %.2f\n", csv.Ratio());
        }
    }
    catch (const Core::Exception& e)
    {
        std::printf("failed: %ls\n", e.GetMessageText().GetBuffer());
        status = 1;
    }
    RemoveDirectoryW(folder.GetBuffer());
    return status;
}
