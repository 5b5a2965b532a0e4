// Writes the comma- and tab-delimited reports of the sample object into the folder named on the command
// line, through the report writer, for check_delimited.py to read back.
#include "core/Exception.h"
#include "reports/ReportFileName.h"
#include "reports/ReportWriter.h"
#include "tests/reports/DelimitedSamples.h"

#include <cstdio>
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: reports_delimited_samples <folder>\n");
        return 2;
    }
    if (!CreateDirectoryA(argv[1], nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    {
        std::fprintf(stderr, "cannot create the folder\n");
        return 1;
    }
    try
    {
        auto sample = ReportsTesting::MakeDelimitedSample();
        for (Reports::ReportType type : {Reports::ReportType::CommaDelimited, Reports::ReportType::TabDelimited})
        {
            Core::String fileName = Reports::GetReportFileName(Core::String(argv[1]), sample->GetName());
            Reports::ReportWriter().Write(sample.get(), type, fileName);
            std::wprintf(L"%ls\n", fileName.GetBuffer());
        }
    }
    catch (const Core::Exception& e)
    {
        std::fwprintf(stderr, L"%ls\n", e.GetMessageText().GetBuffer());
        return 1;
    }
    return 0;
}
