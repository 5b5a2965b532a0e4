// Where the report of a class goes: the report directory + "\WmiReport_" + the class name.
#pragma once

#include "core/String.h"

namespace Reports
{

// The directory is used as stored: nothing is added or removed, so a trailing backslash doubles and an empty
// directory gives a name that starts with the backslash. Characters that Windows does not allow in a file name
// (\ / : * ? " < > | and control characters) become "_" in the class name, so a class name taken from an
// edited configuration file can neither leave the directory nor break the quoted parameter of the viewer.
// No extension is added; the report writer adds it.
Core::String GetReportFileName(const Core::String& reportDirectory, const Core::String& className);

} // namespace Reports
