#include "reports/DelimitedWriter.h"

#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

#include <climits>
#include <cstdint>
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

// Finds the units that call for quotes: the separator, a double quote, CR or LF. A million fields go by in a
// large report, so they are looked at in blocks of eight (or four) units, the last block overlapping the one
// before instead of reaching past the field.
class DelimitedWriter::FieldScanner
{
public:
    explicit FieldScanner(const String& separator)
        : m_separator(separator), m_longSeparator(separator.GetLength() > 1),
          m_separatorUnit(
              _mm_set1_epi16(static_cast<short>(separator.GetLength() == 1 ? separator.GetBuffer()[0] : L'"')))
    {
    }

    bool NeedsQuotes(const String& field) const
    {
        const wchar_t* text = field.GetBuffer();
        int length = field.GetLength();
        bool found;
        if (length >= 8)
        {
            int marks = 0;
            int i = 0;
            for (; i + 8 < length && marks == 0; i += 8)
            {
                marks = Marks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
            }
            found = marks != 0 || Marks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + length - 8))) != 0;
        }
        else if (length >= 4)
        {
            __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
            __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + length - 4));
            // Only the low four units of each load are real.
            found = ((Marks(head) | Marks(tail)) & 0xFF) != 0;
        }
        else if (Core::BlockInPage(text))
        {
            // Past the field's end the block holds whatever lies there; those lanes are masked off.
            found = (Marks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text))) & ((1 << (2 * length)) - 1)) != 0;
        }
        else
        {
            found = false;
            for (int i = 0; i < length; i++)
            {
                found = found || Marks(_mm_set1_epi16(static_cast<short>(text[i]))) != 0;
            }
        }
        return found || (m_longSeparator && field.IndexOf(m_separator, 0) >= 0);
    }

    // Narrows a field that needs no quotes and is all ASCII into out, which has room for its length and eight
    // bytes more, and tells whether it was such a field (otherwise out holds nothing of use). One pass looks
    // at each unit and moves it.
    bool NarrowPlain(uint8_t* out, const String& field) const
    {
        const wchar_t* text = field.GetBuffer();
        int length = field.GetLength();
        int bad = 0;
        if (length >= 8)
        {
            for (int i = 0; i + 8 < length; i += 8)
            {
                bad |= Store(out + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
            }
            bad |= Store(out + length - 8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + length - 8)));
        }
        else if (Core::BlockInPage(text))
        {
            bad = Store(out, _mm_loadu_si128(reinterpret_cast<const __m128i*>(text))) & ((1 << (2 * length)) - 1);
        }
        else
        {
            for (int i = 0; i < length; i++)
            {
                bad |= Store(out + i, _mm_set1_epi16(static_cast<short>(text[i]))) & 1;
            }
        }
        return bad == 0 && (!m_longSeparator || field.IndexOf(m_separator, 0) < 0);
    }

    // Writes an ASCII field between quotes with each quote doubled, for a field that NarrowPlain turned down
    // for a unit that calls for quotes; out has room for twice its length and ten bytes more. Returns the
    // bytes written, or -1 for a field that is not ASCII (out then holds nothing of use).
    static int NarrowQuoted(uint8_t* out, const String& field)
    {
        const wchar_t* text = field.GetBuffer();
        int length = field.GetLength();
        const __m128i quote = _mm_set1_epi16(L'"');
        const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
        uint8_t* start = out;
        *out++ = '"';
        int i = 0;
        for (; i + 8 <= length; i += 8)
        {
            __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), _mm_setzero_si128())) != 0xFFFF)
            {
                return -1;
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, quote)) == 0)
            {
                out += 8;
                continue;
            }
            for (int k = i; k < i + 8; k++)
            {
                *out++ = static_cast<uint8_t>(text[k]);
                if (text[k] == L'"')
                {
                    *out++ = '"';
                }
            }
        }
        for (; i < length; i++)
        {
            if (text[i] >= 0x80)
            {
                return -1;
            }
            *out++ = static_cast<uint8_t>(text[i]);
            if (text[i] == L'"')
            {
                *out++ = '"';
            }
        }
        *out++ = '"';
        return static_cast<int>(out - start);
    }

    // The first double quote at or after start, or length.
    static int FindQuote(const wchar_t* text, int start, int length)
    {
        const __m128i quote = _mm_set1_epi16(L'"');
        int i = start;
        for (; i + 8 <= length; i += 8)
        {
            int marks =
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), quote));
            if (marks != 0)
            {
                return i + __builtin_ctz(marks) / 2;
            }
        }
        for (; i < length && text[i] != L'"'; i++)
        {
        }
        return i;
    }

private:
    // Stores the low bytes of the block's units and returns the units that call for quotes or are not ASCII.
    __attribute__((always_inline)) int Store(uint8_t* out, __m128i units) const
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
        __m128i ascii =
            _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80))), _mm_setzero_si128());
        return _mm_movemask_epi8(_mm_or_si128(MarkLanes(units), _mm_andnot_si128(ascii, _mm_set1_epi16(-1))));
    }

    __attribute__((always_inline)) int Marks(__m128i units) const { return _mm_movemask_epi8(MarkLanes(units)); }

    // The lanes of the units that call for quotes, all ones.
    __attribute__((always_inline)) __m128i MarkLanes(__m128i units) const
    {
        return _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'"')), _mm_cmpeq_epi16(units, _mm_set1_epi16(L'\r'))),
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'\n')), _mm_cmpeq_epi16(units, m_separatorUnit)));
    }

    const String& m_separator;
    bool m_longSeparator;
    __m128i m_separatorUnit;
};

inline void DelimitedWriter::WriteField(StreamWriter& writer, const String& field, const FieldScanner& scanner)
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
    for (int i = FieldScanner::FindQuote(text, 0, length); i < length; i = FieldScanner::FindQuote(text, i + 1, length))
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
                                      const FieldScanner& scanner)
{
    long long textLength = 0;
    for (int i = 0; i < columnCount; i++)
    {
        textLength += values[i].GetLength();
    }
    // Room for every field quoted with every unit a doubled quote, the separators, the line end and a block's
    // worth more (narrowing stores whole blocks). A row too long for the writer's buffer goes the usual way.
    long long room = 2 * textLength + 3LL * columnCount + 10;
    uint8_t* start = room <= INT_MAX ? writer.ReserveAscii(static_cast<int>(room)) : nullptr;
    if (start == nullptr)
    {
        return 0;
    }
    uint8_t* out = start;
    int i = 0;
    for (; i < columnCount; i++)
    {
        if (scanner.NarrowPlain(out, values[i]))
        {
            out += values[i].GetLength();
        }
        else
        {
            int written = FieldScanner::NarrowQuoted(out, values[i]);
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
    writer.CommitAscii(static_cast<int>(out - start));
    return i;
}

void DelimitedWriter::Write(ManagementObject* managementObject, StreamWriter& writer, const String& separator)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    CriticalSectionLock lock(managementObject->GetLock());
    const FieldScanner scanner(separator);
    // The usual one-unit ASCII separator is put into the buffer with the field before it.
    const uint8_t separatorByte =
        separator.GetLength() == 1 && separator.GetBuffer()[0] > 0 && separator.GetBuffer()[0] < 0x80
            ? static_cast<uint8_t>(separator.GetBuffer()[0])
            : 0;
    const Core::Collections::ArrayList<PropertyInfo>& columns = managementObject->GetProperties();
    int columnCount = columns.GetCount();
    for (int i = 0; i < columnCount; i++)
    {
        if (i > 0)
        {
            WriteSeparator(writer, separator);
        }
        WriteField(writer, columns[i].GetName(), scanner);
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
