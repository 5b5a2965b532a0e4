// What a typed WQL query reads, found in its text without asking the machine: for report names and for the
// messages of a query that names a class the machine lacks.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"

namespace WMI
{

// The class a query reads: X of SELECT ... FROM X; of SELECT ... FROM meta_class, the class named by
// WHERE __CLASS = 'X'; of ASSOCIATORS OF {path} or REFERENCES OF {path}, the ResultClass of the WHERE clause, else
// the class of the path ({Win32_LogicalDisk.DeviceID="C:"} reads Win32_LogicalDisk). Keywords in any case. Empty
// for a text that names none.
Core::String GetQueriedClass(const Core::String& query);

// The class of an object path: Win32_Process of \\server\root\cimv2:Win32_Process.Handle="4",
// Win32_Process.Handle="4", Win32_Process=4 or Win32_Process (a class path). Empty for a text that names none.
Core::String GetObjectPathClass(const Core::String& path);

// Where an object path places its object: the server and the namespace before its colon. \\PC\root\wmi:X=@ gives
// PC and root\wmi, root\wmi:X=@ root\wmi alone, a relative path (Win32_Process.Handle="4") neither. Slashes are
// read as backslashes, as WMI reads them.
struct ObjectPathPlace
{
    Core::String server;
    Core::String nameSpace;
};
ObjectPathPlace GetObjectPathPlace(const Core::String& path);

// The class every row of the query is an instance of (or of a subclass of), whose descriptions and value names
// apply to its columns: the class of SELECT ... FROM X and the ResultClass of ASSOCIATORS OF or REFERENCES OF. Empty
// where the rows may be of any class (an association query without ResultClass) or are class definitions
// (meta_class).
Core::String GetRowClass(const Core::String& query);

// The class name a report of the query's rows is named after: GetQueriedClass, or "Query" when that is empty.
Core::String GetQueryReportName(const Core::String& query);

// A query as a class-view entry holds it: SELECT * or SELECT a, b FROM one class, with an optional WHERE filter.
struct ClassQuery
{
    Core::String className;
    Core::Collections::ArrayList<Core::String> properties; // empty for *
    Core::String filter;                                   // the condition after WHERE, as typed
};

// Reads a query as a class-view entry; false, with why in reason, for a query no entry can hold: ASSOCIATORS OF,
// REFERENCES OF, meta_class, more than one class, GROUP, HAVING, WITHIN, * together with names, or anything but
// property names in the list.
bool ReadClassQuery(const Core::String& query, ClassQuery& read, Core::String& reason);

} // namespace WMI
