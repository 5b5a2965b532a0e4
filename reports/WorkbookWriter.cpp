#include "reports/WorkbookWriter.h"

#include "core/EnumValue.h"
#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

using Core::String;
using Core::Threading::CriticalSectionLock;
using Core::Xml::XmlTextWriter;
using WMI::ManagementObject;

namespace Reports
{

namespace
{

const wchar_t SpreadsheetNamespace[] = L"urn:schemas-microsoft-com:office:spreadsheet";
const wchar_t OfficeNamespace[] = L"urn:schemas-microsoft-com:office:office";
const wchar_t ExcelNamespace[] = L"urn:schemas-microsoft-com:office:excel";
const wchar_t HtmlNamespace[] = L"http://www.w3.org/TR/REC-html40";

// The ss: attributes are plain names that contain the colon: no prefix, no namespace.
void WriteSsAttribute(XmlTextWriter& writer, const String& name, const String& value)
{
    writer.WriteAttributeString(String::Empty, name, String::Empty, value);
}

void WriteDefaultNamespace(XmlTextWriter& writer, const wchar_t* uri)
{
    writer.WriteAttributeString(String(), String(L"xmlns"), String(), String(uri));
}

void WritePrefixDeclaration(XmlTextWriter& writer, const wchar_t* prefix, const wchar_t* uri)
{
    writer.WriteAttributeString(String(L"xmlns"), String(prefix), String(), String(uri));
}

} // namespace

WorkbookWriter::WorkbookWriter(Clock clock) : m_clock(clock)
{
    if (clock == nullptr)
    {
        throw Core::ArgumentNullException(String(L"clock"));
    }
}

String WorkbookWriter::Now() const
{
    return m_clock().ToString();
}

void WorkbookWriter::Write(ManagementObject* managementObject, XmlTextWriter& writer, const ReportOrigin& origin) const
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    CriticalSectionLock lock(managementObject->GetLock());
    writer.WriteStartDocument();
    writer.WriteRaw(String(L"\r\n<?mso-application progid=\"Excel.Sheet\"?>"));
    writer.WriteStartElement(String(L"Workbook"));
    WriteDefaultNamespace(writer, SpreadsheetNamespace);
    WritePrefixDeclaration(writer, L"o", OfficeNamespace);
    WritePrefixDeclaration(writer, L"x", ExcelNamespace);
    WritePrefixDeclaration(writer, L"ss", SpreadsheetNamespace);
    WritePrefixDeclaration(writer, L"html", HtmlNamespace);
    WriteDocumentProperties(writer);

    writer.WriteStartElement(String(L"ExcelWorkbook"));
    WriteDefaultNamespace(writer, ExcelNamespace);
    writer.WriteElementString(String(L"WindowHeight"), String(L"13170"));
    writer.WriteElementString(String(L"WindowWidth"), String(L"14220"));
    writer.WriteElementString(String(L"WindowTopX"), String(L"480"));
    writer.WriteElementString(String(L"WindowTopY"), String(L"60"));
    String no = Core::Boolean(false).ToString();
    writer.WriteElementString(String(L"ProtectStructure"), no);
    writer.WriteElementString(String(L"ProtectWindows"), no);
    writer.WriteEndElement();

    int columnCount = managementObject->IsQuery() ? managementObject->GetColumns().GetCount()
                                                  : managementObject->GetProperties().GetCount();
    WriteStyles(writer, columnCount);

    writer.WriteStartElement(String(L"Worksheet"));
    WriteSsAttribute(writer, String(L"ss:Name"), String(L"Sheet1"));
    WriteTable(writer, *managementObject, origin);
    WriteWorksheetOptions(writer);
    writer.WriteEndElement(); // Worksheet
    writer.WriteEndElement(); // Workbook
    writer.WriteEndDocument();
}

void WorkbookWriter::WriteDocumentProperties(XmlTextWriter& writer) const
{
    writer.WriteStartElement(String(L"DocumentProperties"));
    WriteDefaultNamespace(writer, OfficeNamespace);
    writer.WriteElementString(String(L"Author"), String());
    writer.WriteElementString(String(L"LastAuthor"), String());
    writer.WriteElementString(String(L"Created"), Now());
    writer.WriteElementString(String(L"Company"), String());
    writer.WriteElementString(String(L"Version"), String(L"11.8122"));
    writer.WriteEndElement();
}

void WorkbookWriter::WriteStyles(XmlTextWriter& writer, int columnCount) const
{
    writer.WriteStartElement(String(L"Styles"));
    writer.WriteStartElement(String(L"Style"));
    WriteSsAttribute(writer, String(L"ss:ID"), String(L"Default"));
    WriteSsAttribute(writer, String(L"ss:Name"), String(L"Normal"));
    writer.WriteStartElement(String(L"Alignment"));
    WriteSsAttribute(writer, String(L"ss:Vertical"), String(L"Bottom"));
    writer.WriteEndElement();
    writer.WriteEndElement();
    for (int i = 0; i < columnCount; i++)
    {
        writer.WriteStartElement(String(L"Style"));
        WriteSsAttribute(writer, String(L"ss:ID"), String(L"s") + i);
        writer.WriteStartElement(String(L"Alignment"));
        WriteSsAttribute(writer, String(L"ss:Horizontal"), String(L"Left"));
        WriteSsAttribute(writer, String(L"ss:Vertical"), String(L"Top"));
        writer.WriteEndElement();
        writer.WriteEndElement();
    }
    writer.WriteEndElement();
}

void WorkbookWriter::WriteTable(XmlTextWriter& writer, ManagementObject& managementObject,
                                const ReportOrigin& origin) const
{
    const Core::Collections::ArrayList<WMI::PropertyInfo>& properties = managementObject.GetProperties();
    const Core::Collections::ArrayList<String>& queryColumns = managementObject.GetColumns();
    bool query = managementObject.IsQuery();
    int columnCount = query ? queryColumns.GetCount() : properties.GetCount();
    const String row(L"Row");
    const String cell(L"Cell");
    const String data(L"Data");
    const String type(L"ss:Type");
    const String string(L"String");
    auto writeCell = [&](const String& text)
    {
        writer.WriteStartElement(cell);
        writer.WriteStartElement(data);
        WriteSsAttribute(writer, type, string);
        writer.WriteString(text);
        writer.WriteEndElement();
        writer.WriteEndElement();
    };
    auto writeHeaderRow = [&](const wchar_t* label, const String& value)
    {
        writer.WriteStartElement(row);
        writeCell(String(label));
        writeCell(value);
        writer.WriteEndElement();
    };

    writer.WriteStartElement(String(L"Table"));
    for (int i = 0; i < columnCount; i++)
    {
        writer.WriteStartElement(String(L"Column"));
        WriteSsAttribute(writer, String(L"ss:StyleID"), String(L"s") + i);
        WriteSsAttribute(writer, String(L"ss:AutoFitWidth"), String(L"0"));
        WriteSsAttribute(writer, String(L"ss:Width"), String(L"80.5"));
        writer.WriteEndElement();
    }
    writeHeaderRow(L"Host", origin.host);
    writeHeaderRow(L"Date", Now());
    if (query)
    {
        // A query's rows belong to no category: what was asked, and where, says what they are.
        writeHeaderRow(L"Namespace", managementObject.GetNamespace());
        writeHeaderRow(L"Query", managementObject.GetTypedQueryText());
    }
    else
    {
        writeHeaderRow(L"Category", origin.category);
        writeHeaderRow(L"Subcategory", origin.subcategory);
    }
    if (origin.showValue)
    {
        writeHeaderRow(L"Values", String(L"With names"));
    }
    writer.WriteStartElement(row);
    writer.WriteEndElement();

    writer.WriteStartElement(row);
    for (int i = 0; i < columnCount; i++)
    {
        writeCell(query ? queryColumns[i] : properties[i].GetName());
    }
    writer.WriteEndElement();

    Core::Collections::PointerArrayList<WMI::Row>& rows = managementObject.GetRows();
    int rowCount = rows.GetCount();
    for (int r = 0; r < rowCount; r++)
    {
        const WMI::Row& values = *rows[r];
        writer.WriteStartElement(row);
        // A query's row of a class seen early may end before the last columns: those cells are empty.
        for (int i = 0; i < columnCount; i++)
        {
            String value = i < values.GetCount() ? values[i] : String();
            writeCell(origin.showValue ? origin.showValue(i, value) : value);
        }
        writer.WriteEndElement();
    }
    writer.WriteEndElement(); // Table
}

void WorkbookWriter::WriteWorksheetOptions(XmlTextWriter& writer) const
{
    String no = Core::Boolean(false).ToString();
    writer.WriteStartElement(String(L"WorksheetOptions"));
    WriteDefaultNamespace(writer, ExcelNamespace);
    writer.WriteStartElement(String(L"Print"));
    writer.WriteElementString(String(L"ValidPrinterInfo"), String());
    writer.WriteElementString(String(L"HorizontalResolution"), String(L"600"));
    writer.WriteElementString(String(L"VerticalResolution"), String(L"600"));
    writer.WriteStartElement(String(L"Selected"));
    writer.WriteEndElement();
    writer.WriteStartElement(String(L"Panes"));
    writer.WriteStartElement(String(L"Pane"));
    writer.WriteElementString(String(L"Number"), String(L"1"));
    writer.WriteElementString(String(L"ActiveRow"), String(L"1"));
    writer.WriteEndElement(); // Pane
    writer.WriteEndElement(); // Panes
    writer.WriteElementString(String(L"ProtectObjects"), no);
    writer.WriteElementString(String(L"ProtectScenarios"), no);
    writer.WriteEndElement(); // Print
    writer.WriteEndElement(); // WorksheetOptions
}

} // namespace Reports
