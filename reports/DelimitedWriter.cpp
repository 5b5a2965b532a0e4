#include "reports/DelimitedWriter.h"

#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

#include <cstring>

using Core::String;
using Core::IO::StreamWriter;
using Core::Threading::CriticalSectionLock;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace Reports
{

// Collects the text of many fields and hands it to the stream writer in pieces of a few thousand characters: a
// call per field and per separator costs more than copying the fields.
class DelimitedWriter::Output
{
public:
    static constexpr int Capacity = 4096;

    explicit Output(StreamWriter& writer) : m_writer(writer) {}

    // Room for count characters at the end, to be kept with Commit; null when count exceeds the capacity.
    wchar_t* Reserve(int count)
    {
        if (count > Capacity - m_length)
        {
            Flush();
            if (count > Capacity)
            {
                return nullptr;
            }
        }
        return m_chars + m_length;
    }

    void Commit(int count) { m_length += count; }

    void Append(const wchar_t* text, int count)
    {
        wchar_t* target = Reserve(count);
        if (target == nullptr)
        {
            m_writer.Write(text, count);
            return;
        }
        std::memcpy(target, text, static_cast<size_t>(count) * sizeof(wchar_t));
        m_length += count;
    }

    void Append(const String& text)
    {
        if (text.GetLength() == 1)
        {
            Append(text[0]);
            return;
        }
        Append(text.GetBuffer(), text.GetLength());
    }

    void Append(wchar_t ch)
    {
        if (m_length == Capacity)
        {
            Flush();
        }
        m_chars[m_length++] = ch;
    }

    void Flush()
    {
        m_writer.Write(m_chars, m_length);
        m_length = 0;
    }

private:
    StreamWriter& m_writer; // not owned
    wchar_t m_chars[Capacity];
    int m_length = 0;
};

void DelimitedWriter::Write(ManagementObject* managementObject, StreamWriter& writer, const String& separator)
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    CriticalSectionLock lock(managementObject->GetLock());
    Output output(writer);
    const Core::Collections::ArrayList<PropertyInfo>& columns = managementObject->GetProperties();
    int columnCount = columns.GetCount();
    for (int i = 0; i < columnCount; i++)
    {
        if (i > 0)
        {
            output.Append(separator);
        }
        WriteField(output, columns[i].GetName(), separator);
    }
    output.Append(L'\r');
    output.Append(L'\n');
    Core::Collections::PointerArrayList<WMI::Row>& rows = managementObject->GetRows();
    int rowCount = rows.GetCount();
    for (int r = 0; r < rowCount; r++)
    {
        const WMI::Row& row = *rows[r];
        for (int i = 0; i < columnCount; i++)
        {
            if (i > 0)
            {
                output.Append(separator);
            }
            WriteField(output, row[i], separator);
        }
        output.Append(L'\r');
        output.Append(L'\n');
    }
    output.Flush();
}

void DelimitedWriter::WriteField(Output& output, const String& field, const String& separator)
{
    const wchar_t* text = field.GetBuffer();
    int length = field.GetLength();
    wchar_t* target = output.Reserve(length);
    if (target != nullptr)
    {
        // Copies the field and looks for the characters that call for quotes in one pass; without an early exit
        // the compiler turns the loop into vector code.
        wchar_t single = separator.GetLength() == 1 ? separator.GetBuffer()[0] : L'"';
        unsigned short special = 0;
        for (int i = 0; i < length; i++)
        {
            wchar_t ch = text[i];
            target[i] = ch;
            special |= static_cast<unsigned short>(-(ch == L'"') | -(ch == L'\r') | -(ch == L'\n') | -(ch == single));
        }
        if (special == 0 && (separator.GetLength() <= 1 || field.IndexOf(separator, 0) < 0))
        {
            output.Commit(length);
            return;
        }
    }
    else if (!NeedsQuotes(field, separator))
    {
        output.Append(text, length);
        return;
    }
    output.Append(L'"');
    int runStart = 0;
    for (int i = 0; i < length; i++)
    {
        if (text[i] == L'"')
        {
            // The run up to and including the quote, then the quote once more.
            output.Append(text + runStart, i + 1 - runStart);
            output.Append(L'"');
            runStart = i + 1;
        }
    }
    output.Append(text + runStart, length - runStart);
    output.Append(L'"');
}

bool DelimitedWriter::NeedsQuotes(const String& field, const String& separator)
{
    for (int i = 0; i < field.GetLength(); i++)
    {
        wchar_t ch = field[i];
        if (ch == L'"' || ch == L'\r' || ch == L'\n')
        {
            return true;
        }
    }
    return !separator.IsEmpty() && field.IndexOf(separator, 0) >= 0;
}

} // namespace Reports
