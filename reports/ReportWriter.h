// Creates a report file: the workbook or delimited text of one class object.
#pragma once

#include "reports/ReportType.h"
#include "reports/WorkbookWriter.h"

namespace Reports
{

class ReportWriter
{
public:
    explicit ReportWriter(Clock clock = &Core::DateTime::Now);

    // Appends the type's extension to fileName when it has none, then creates (or replaces) that file and
    // writes the report as UTF-8 without byte-order mark; the workbook's header block shows the origin. The file
    // is closed on every path; a failure while writing propagates and leaves the partly written file.
    void Write(WMI::ManagementObject* managementObject, ReportType type, Core::String& fileName,
               const ReportOrigin& origin = ReportOrigin()) const;

private:
    Clock m_clock;
};

} // namespace Reports
