#include "reports/ReportWriter.h"

#include "core/Exception.h"
#include "core/io/FileStream.h"
#include "core/io/Path.h"
#include "core/io/StreamWriter.h"
#include "reports/DelimitedWriter.h"

using Core::String;
using namespace Core::IO;

namespace Reports
{

namespace
{

// The writers hand the file pieces of this many characters (as many bytes for ASCII text), which pass the
// file stream's own small buffer. Every system write costs microseconds, and the system copies large
// pieces into its cache faster than small ones; a second copy through the stream's buffer would cost
// as much as the system's copy.
constexpr int WriterBufferSize = 256 * 1024;

} // namespace

ReportWriter::ReportWriter(Clock clock) : m_clock(clock)
{
    if (clock == nullptr)
    {
        throw Core::ArgumentNullException(String(L"clock"));
    }
}

void ReportWriter::Write(WMI::ManagementObject* managementObject, ReportType type, String& fileName,
                         const ReportOrigin& origin) const
{
    if (managementObject == nullptr)
    {
        throw Core::ArgumentNullException(String(L"managementObject"));
    }
    if (!type.IsKnown())
    {
        throw Core::ArgumentException(String(L"Unknown report type: ") + type.GetValue());
    }
    if (GetExtension(fileName).IsEmpty())
    {
        fileName += type.GetExtension();
    }
    // On a failure the writers' destructors hand what they buffer to the stream, and the stream's
    // destructor closes the file after them.
    FileStream stream(fileName, FileMode::Create, FileAccess::ReadWrite, FileShare::Read);
    if (type == ReportType::Excel)
    {
        Core::Xml::XmlTextWriter writer(&stream, Encoding::UTF8(), WriterBufferSize);
        writer.SetFormatting(Core::Xml::Formatting::Indented);
        WorkbookWriter(m_clock).Write(managementObject, writer, origin);
        writer.Close();
    }
    else
    {
        StreamWriter writer(&stream, Encoding::UTF8(), WriterBufferSize);
        DelimitedWriter::Write(managementObject, writer, String(type == ReportType::CommaDelimited ? L"," : L"\t"),
                               origin.showValue);
        writer.Close();
    }
    stream.Close();
}

} // namespace Reports
