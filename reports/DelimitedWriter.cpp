#include "reports/DelimitedWriter.h"

#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

using Core::String;
using Core::IO::StreamWriter;
using Core::Threading::CriticalSectionLock;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace Reports
{

void DelimitedWriter::Write(ManagementObject* managementObject, StreamWriter& writer, const String& separator)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    CriticalSectionLock lock(managementObject->GetLock());
    const Core::Collections::ArrayList<PropertyInfo>& columns = managementObject->GetProperties();
    int columnCount = columns.GetCount();
    for (int i = 0; i < columnCount; i++)
    {
        if (i > 0)
        {
            writer.Write(separator);
        }
        WriteField(writer, columns[i].GetName(), separator);
    }
    writer.WriteLine();
    Core::Collections::PointerArrayList<WMI::Row>& rows = managementObject->GetRows();
    int rowCount = rows.GetCount();
    for (int r = 0; r < rowCount; r++)
    {
        const WMI::Row& row = *rows[r];
        for (int i = 0; i < columnCount; i++)
        {
            if (i > 0)
            {
                writer.Write(separator);
            }
            WriteField(writer, row[i], separator);
        }
        writer.WriteLine();
    }
}

void DelimitedWriter::WriteField(StreamWriter& writer, const String& field, const String& separator)
{
    if (!NeedsQuotes(field, separator))
    {
        writer.Write(field);
        return;
    }
    const wchar_t* text = field.GetBuffer();
    int length = field.GetLength();
    writer.Write(L'"');
    int runStart = 0;
    for (int i = 0; i < length; i++)
    {
        if (text[i] == L'"')
        {
            // The run up to and including the quote, then the quote once more.
            writer.Write(text + runStart, i + 1 - runStart);
            writer.Write(L'"');
            runStart = i + 1;
        }
    }
    writer.Write(text + runStart, length - runStart);
    writer.Write(L'"');
}

bool DelimitedWriter::NeedsQuotes(const String& field, const String& separator)
{
    const wchar_t* text = field.GetBuffer();
    int length = field.GetLength();
    wchar_t single = separator.GetLength() == 1 ? separator[0] : L'"';
    for (int i = 0; i < length; i++)
    {
        wchar_t ch = text[i];
        if (ch == L'"' || ch == L'\r' || ch == L'\n' || ch == single)
        {
            return true;
        }
    }
    return separator.GetLength() > 1 && field.IndexOf(separator, 0) >= 0;
}

} // namespace Reports
