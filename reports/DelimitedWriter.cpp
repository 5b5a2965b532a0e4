#include "reports/DelimitedWriter.h"

#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

#include <climits>
#include <cstdint>

using Core::String;
using Core::IO::AsciiRoom;
using Place = Core::IO::AsciiRoom::Place;
using Core::IO::StreamWriter;
using Core::Threading::CriticalSectionLock;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace Reports
{

namespace
{

// Writes the separator between two fields; the usual one-character separator without a call.
void WriteSeparator(StreamWriter& writer, const String& separator)
{
    if (separator.GetLength() == 1)
    {
        writer.Write(separator.GetBuffer()[0]);
    }
    else
    {
        writer.Write(separator);
    }
}

} // namespace

inline void DelimitedWriter::WriteField(StreamWriter& writer, const String& field, const DelimitedFieldScanner& scanner)
{
    if (!scanner.NeedsQuotes(field))
    {
        writer.Write(field.GetBuffer(), field.GetLength());
        return;
    }
    WriteQuoted(writer, field);
}

void DelimitedWriter::WriteQuoted(StreamWriter& writer, const String& field)
{
    const wchar_t* text = field.GetBuffer();
    int length = field.GetLength();
    writer.Write(L'"');
    int runStart = 0;
    for (int i = DelimitedFieldScanner::FindQuote(text, 0, length); i < length;
         i = DelimitedFieldScanner::FindQuote(text, i + 1, length))
    {
        // The run up to and including the quote, then the quote once more.
        writer.Write(text + runStart, i + 1 - runStart);
        writer.Write(L'"');
        runStart = i + 1;
    }
    writer.Write(text + runStart, length - runStart);
    writer.Write(L'"');
}

// Most fields are ASCII: they and their separators are narrowed straight into the writer's buffer (quoted
// where they need it), and the writer learns of them once per row, or once per run of them up to a field that
// is not ASCII. Returns how many fields went that way; the separator after the last of them is written too,
// when another field follows, and the line end when none does.
int DelimitedWriter::WritePlainFields(StreamWriter& writer, const String* values, int columnCount, uint8_t separator,
                                      const DelimitedFieldScanner& scanner)
{
    long long textLength = 0;
    for (int i = 0; i < columnCount; i++)
    {
        textLength += values[i].GetLength();
    }
    // Room for every field quoted with every unit a doubled quote, the separators and the line end. A row too
    // long for the writer's buffer goes the usual way.
    long long most = 2 * textLength + 3LL * columnCount + 2;
    AsciiRoom room = most <= INT_MAX ? writer.LendAscii(static_cast<int>(most)) : AsciiRoom();
    int i = 0;
    room.Write(
        static_cast<int>(most), [&](Place start) __attribute__((always_inline)) {
            uint8_t* out = start;
            for (; i < columnCount; i++)
            {
                const String& field = values[i];
                if (scanner.NarrowPlain(out, field))
                {
                    out += field.GetLength();
                }
                else
                {
                    int written = DelimitedFieldScanner::NarrowQuoted(out, field);
                    if (written < 0)
                    {
                        break;
                    }
                    out += written;
                }
                if (i + 1 < columnCount)
                {
                    *out++ = separator;
                }
            }
            if (i == columnCount)
            {
                *out++ = '\r';
                *out++ = '\n';
            }
            return static_cast<int>(out - start);
        });
    if (!room.IsEmpty())
    {
        writer.TakeAscii(room);
    }
    return i;
}

void DelimitedWriter::Write(ManagementObject* managementObject, StreamWriter& writer, const String& separator,
                            const std::function<String(int column, const String& value)>& showValue)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    CriticalSectionLock lock(managementObject->GetLock());
    const DelimitedFieldScanner scanner(separator);
    // The usual one-unit ASCII separator is put into the buffer with the field before it.
    const uint8_t separatorByte =
        separator.GetLength() == 1 && separator.GetBuffer()[0] > 0 && separator.GetBuffer()[0] < 0x80
            ? static_cast<uint8_t>(separator.GetBuffer()[0])
            : 0;
    const Core::Collections::ArrayList<PropertyInfo>& properties = managementObject->GetProperties();
    const Core::Collections::ArrayList<String>& queryColumns = managementObject->GetColumns();
    bool query = managementObject->IsQuery();
    int columnCount = query ? queryColumns.GetCount() : properties.GetCount();
    for (int i = 0; i < columnCount; i++)
    {
        if (i > 0)
        {
            WriteSeparator(writer, separator);
        }
        WriteField(writer, query ? queryColumns[i] : properties[i].GetName(), scanner);
    }
    writer.Write(L"\r\n", 2);
    Core::Collections::PointerArrayList<WMI::Row>& rows = managementObject->GetRows();
    int rowCount = rows.GetCount();
    WMI::Row padded;
    WMI::Row named;
    for (int r = 0; r < rowCount; r++)
    {
        const WMI::Row* shown = rows[r];
        if (query && shown->GetCount() < columnCount)
        {
            // A query's row of a class seen early may end before the last columns: those fields are empty.
            padded = *shown;
            while (padded.GetCount() < columnCount)
            {
                padded.Add(String());
            }
            shown = &padded;
        }
        if (shown->GetCount() < columnCount)
        {
            throw Core::ArgumentOutOfRangeException(shown->GetCount(),
                                                    String(L"DelimitedWriter.Write method - a row has fewer values "
                                                           L"than the report has columns"));
        }
        if (showValue)
        {
            named.Clear();
            for (int i = 0; i < columnCount; i++)
            {
                named.Add(showValue(i, (*shown)[i]));
            }
            shown = &named;
        }
        const WMI::Row& row = *shown;
        // The values are read through one pointer: a million index checks add up.
        const String* values = columnCount > 0 ? &row[0] : nullptr;
        int i = 0;
        // Set once the one-pass way has written the rest of the row and its line end.
        bool ended = false;
        while (i < columnCount)
        {
            if (separatorByte != 0)
            {
                i += WritePlainFields(writer, values + i, columnCount - i, separatorByte, scanner);
                ended = i == columnCount;
                if (ended)
                {
                    break;
                }
            }
            WriteField(writer, values[i], scanner);
            if (++i < columnCount)
            {
                WriteSeparator(writer, separator);
            }
        }
        if (!ended)
        {
            writer.Write(L"\r\n", 2);
        }
    }
}

} // namespace Reports
