#include "reports/DelimitedWriter.h"

#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

#include <emmintrin.h>

using Core::String;
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

inline void DelimitedWriter::WriteField(StreamWriter& writer, const String& field, const String& separator)
{
    if (!NeedsQuotes(field, separator))
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

// Fields are looked at eight units at a time: a million of them go by in a large report.
inline bool DelimitedWriter::NeedsQuotes(const String& field, const String& separator)
{
    const wchar_t* text = field.GetBuffer();
    int length = field.GetLength();
    wchar_t single = separator.GetLength() == 1 ? separator.GetBuffer()[0] : L'"';
    const __m128i quote = _mm_set1_epi16(L'"');
    const __m128i carriageReturn = _mm_set1_epi16(L'\r');
    const __m128i lineFeed = _mm_set1_epi16(L'\n');
    const __m128i separatorUnit = _mm_set1_epi16(static_cast<short>(single));
    int i = 0;
    for (; i + 8 <= length; i += 8)
    {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i found =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, quote), _mm_cmpeq_epi16(units, carriageReturn)),
                         _mm_or_si128(_mm_cmpeq_epi16(units, lineFeed), _mm_cmpeq_epi16(units, separatorUnit)));
        if (_mm_movemask_epi8(found) != 0)
        {
            return true;
        }
    }
    for (; i < length; i++)
    {
        wchar_t ch = text[i];
        if (ch == L'"' || ch == L'\r' || ch == L'\n' || ch == single)
        {
            return true;
        }
    }
    return separator.GetLength() > 1 && field.IndexOf(separator, 0) >= 0;
}

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
            WriteSeparator(writer, separator);
        }
        WriteField(writer, columns[i].GetName(), separator);
    }
    writer.Write(L"\r\n", 2);
    Core::Collections::PointerArrayList<WMI::Row>& rows = managementObject->GetRows();
    int rowCount = rows.GetCount();
    for (int r = 0; r < rowCount; r++)
    {
        const WMI::Row& row = *rows[r];
        if (row.GetCount() < columnCount)
        {
            // A row short of values is refused as the list refuses the index.
            static_cast<void>(row[columnCount - 1]);
        }
        // The values are read through one pointer: a million index checks add up.
        const String* values = columnCount > 0 ? &row[0] : nullptr;
        for (int i = 0; i < columnCount; i++)
        {
            if (i > 0)
            {
                WriteSeparator(writer, separator);
            }
            WriteField(writer, values[i], separator);
        }
        writer.Write(L"\r\n", 2);
    }
}

} // namespace Reports
