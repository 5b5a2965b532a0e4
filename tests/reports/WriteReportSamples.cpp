// Writes the three reports of the sample objects into the folder named on the command line: check_delimited.py
// reads the delimited ones back, check_workbook.py the workbooks, which are also there to open in a spreadsheet
// program.
#include "core/Exception.h"
#include "reports/ReportFileName.h"
#include "reports/ReportWriter.h"
#include "tests/reports/SampleReport.h"

#include <cstdio>
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: reports_samples <folder>\n");
        return 2;
    }
    if (!CreateDirectoryA(argv[1], nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    {
        std::fprintf(stderr, "cannot create the folder\n");
        return 1;
    }
    try
    {
        for (auto& sample : {ReportsTesting::MakeSampleObject(), ReportsTesting::MakeControlCharacterObject()})
        {
            for (Reports::ReportType type :
                 {Reports::ReportType::CommaDelimited, Reports::ReportType::TabDelimited, Reports::ReportType::Excel})
            {
                Core::String fileName = Reports::GetReportFileName(Core::String(argv[1]), sample->GetName());
                // The workbook's header block names an origin, as for a class of the local machine's processes.
                Reports::ReportWriter().Write(sample.get(), type, fileName,
                                              Reports::ReportOrigin{Core::String(L"Local Machine"),
                                                                    Core::String(L"Operating System"),
                                                                    Core::String(L"Processes")});
                std::printf("%ls\n", fileName.GetBuffer());
            }
        }
    }
    catch (const Core::Exception& e)
    {
        std::fprintf(stderr, "%ls\n", e.GetMessageText().GetBuffer());
        return 1;
    }
    return 0;
}
