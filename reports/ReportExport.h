// The export command below the main window: write the report of a class object, then open it in its viewer.
#pragma once

#include "reports/ReportType.h"
#include "reports/WorkbookWriter.h"

namespace Reports
{

// Writes the report of managementObject to reportDirectory + "\WmiReport_" + class name (+ extension), the
// workbook with the origin in its header block, and opens it with OpenReport. Returns the file name. File errors
// propagate, and then nothing is opened. A viewer that does not start (a machine without Excel) raises an Exception
// that says where the report was saved (the path on a line of its own) and the system's reason.
Core::String ExportReport(void* owner, WMI::ManagementObject* managementObject, const Core::String& reportDirectory,
                          ReportType type, const ReportOrigin& origin = ReportOrigin(),
                          Clock clock = &Core::DateTime::Now);

// Starts the type's viewer on fileName through the desktop: operation "open", the file name in double quotes
// as parameters, no directory, SW_SHOWDEFAULT. The viewer is not waited for. Returns the launch's result:
// greater than 32 when the viewer started.
intptr_t OpenReport(void* owner, const Core::String& fileName, ReportType type);

} // namespace Reports
