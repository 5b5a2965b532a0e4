#include "reports/ReportExport.h"

#include "core/Exception.h"
#include "core/io/SystemError.h"
#include "core/platform/windows/Desktop.h"
#include "reports/ReportFileName.h"
#include "reports/ReportWriter.h"

using Core::String;
using Core::Platform::Windows::Desktop;

namespace Reports
{

namespace
{

const int ShowDefault = 10; // SW_SHOWDEFAULT

} // namespace

String ExportReport(void* owner, WMI::ManagementObject* managementObject, const String& reportDirectory,
                    ReportType type, Clock clock)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    String fileName = GetReportFileName(reportDirectory, managementObject->GetName());
    ReportWriter(clock).Write(managementObject, type, fileName);
    intptr_t launched = OpenReport(owner, fileName, type);
    if (launched <= 32)
    {
        throw Core::Exception(String(L"The report was saved as ") + fileName + L", but " + type.GetViewer() +
                              L" could not be started: " + GetLaunchFailureText(launched));
    }
    return fileName;
}

intptr_t OpenReport(void* owner, const String& fileName, ReportType type)
{
    if (!type.IsKnown())
    {
        throw Core::ArgumentException(String(L"Unknown report type: ") + type.GetValue());
    }
    String parameters = String(L"\"") + fileName + L"\"";
    return Desktop::Current().Execute(owner, String(L"open"), type.GetViewer(), parameters, String(), ShowDefault);
}

String GetLaunchFailureText(intptr_t result)
{
    // Below 26 the launch's results are the system's error codes; above, its own.
    switch (result)
    {
    case 26:
        return String(L"A sharing violation occurred.");
    case 27:
    case 31:
        return String(L"No program is associated with this kind of file.");
    case 28:
    case 29:
    case 30:
        return String(L"The program did not answer the request to open the file.");
    case 32:
        return String(L"A library the program needs was not found.");
    default:
    {
        String text = result == 0 ? String(L"The system is out of memory or resources.")
                                  : Core::IO::GetErrorText(static_cast<unsigned long>(result));
        // The system's texts end with a line break.
        while (!text.IsEmpty() && (text[text.GetLength() - 1] == L'\n' || text[text.GetLength() - 1] == L'\r'))
        {
            text = text.Substring(0, text.GetLength() - 1);
        }
        return text;
    }
    }
}

} // namespace Reports
