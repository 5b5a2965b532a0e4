// The Excel report: an XML Spreadsheet 2003 workbook with one worksheet, "Sheet1", holding a small header
// block, a row of column names and one row per instance, every cell a string.
#pragma once

#include "core/DateTime.h"
#include "core/xml/XmlTextWriter.h"
#include "wmi/ManagementObject.h"

#include <functional>

namespace Reports
{

// Where the workbook takes its time stamps from; tests pass a fixed clock.
using Clock = Core::DateTime (*)();

// Where a report's rows came from, for the workbook's header block: the machine (or machines) as the class tree
// names it, and the class's place in the tree. An empty text leaves its cell empty.
struct ReportOrigin
{
    Core::String host;
    Core::String category;    // the top category below the machine
    Core::String subcategory; // the class's own category when that is a deeper one, else empty
    // With the user's "Show value names": what each value is written as, given its column and its text as loaded;
    // the workbook then says "With names" in a "Values" row after the others. Empty: the values as loaded.
    std::function<Core::String(int column, const Core::String& value)> showValue = nullptr;
};

class WorkbookWriter
{
public:
    explicit WorkbookWriter(Clock clock = &Core::DateTime::Now);

    // Writes the whole document, declaration to end of document, to writer (expected to be indented), with the
    // origin in the Host, Category and Subcategory rows (and Values, when it shows the values otherwise). The caller
    // closes the writer. The clock is read twice: for Created and for the Date cell. The object's lock is held while
    // its rows are read.
    void Write(WMI::ManagementObject* managementObject, Core::Xml::XmlTextWriter& writer,
               const ReportOrigin& origin = ReportOrigin()) const;

private:
    void WriteDocumentProperties(Core::Xml::XmlTextWriter& writer) const;
    void WriteStyles(Core::Xml::XmlTextWriter& writer, int columnCount) const;
    void WriteTable(Core::Xml::XmlTextWriter& writer, WMI::ManagementObject& managementObject,
                    const ReportOrigin& origin) const;
    void WriteWorksheetOptions(Core::Xml::XmlTextWriter& writer) const;
    Core::String Now() const;

    Clock m_clock;
};

} // namespace Reports
