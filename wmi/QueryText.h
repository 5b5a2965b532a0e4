// What a typed WQL query reads, found in its text without asking the machine: for report names and for the
// messages of a query that names a class the machine lacks.
#pragma once

#include "core/String.h"

namespace WMI
{

// The class a query reads: X of SELECT ... FROM X; of SELECT ... FROM meta_class, the class named by
// WHERE __CLASS = 'X'; of ASSOCIATORS OF {path} or REFERENCES OF {path}, the ResultClass of the WHERE clause, else
// the class of the path ({Win32_LogicalDisk.DeviceID="C:"} reads Win32_LogicalDisk). Keywords in any case. Empty
// for a text that names none.
Core::String GetQueriedClass(const Core::String& query);

// The class name a report of the query's rows is named after: GetQueriedClass, or "Query" when that is empty.
Core::String GetQueryReportName(const Core::String& query);

} // namespace WMI
