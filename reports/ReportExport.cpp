#include "reports/ReportExport.h"

#include "core/Exception.h"
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
                    ReportType type, const ReportOrigin& origin, Clock clock)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    String fileName = GetReportFileName(reportDirectory, managementObject->GetName());
    ReportWriter(clock).Write(managementObject, type, fileName, origin);
    intptr_t launched = OpenReport(owner, fileName, type);
    if (launched <= 32)
    {
        // The path on a line of its own: a message box would break a long one anywhere.
        throw Core::Exception(String(L"The report was saved as:\r\n") + fileName + L"\r\n\r\n" + type.GetViewer() +
                              L" could not be started: " + Core::Platform::Windows::GetLaunchFailureText(launched));
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

} // namespace Reports
