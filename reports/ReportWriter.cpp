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

constexpr int FileBufferSize = 256 * 1024;

} // namespace

ReportWriter::ReportWriter(Clock clock) : m_clock(clock)
{
    if (clock == nullptr)
    {
        throw Core::ArgumentNullException(String(L"clock"));
    }
}

void ReportWriter::Write(WMI::ManagementObject* managementObject, ReportType type, String& fileName) const
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
    // destructor closes the file after them. The buffer is large because every system write costs
    // several microseconds (a report of 80 MB would otherwise make twenty thousand of them), and the
    // system copies large pieces into its cache faster than pieces of 64 KB.
    FileStream stream(fileName, FileMode::Create, FileAccess::ReadWrite, FileShare::Read, FileBufferSize);
    if (type == ReportType::Excel)
    {
        Core::Xml::XmlTextWriter writer(&stream, Encoding::UTF8());
        writer.SetFormatting(Core::Xml::Formatting::Indented);
        WorkbookWriter(m_clock).Write(managementObject, writer);
        writer.Close();
    }
    else
    {
        StreamWriter writer(&stream, Encoding::UTF8(), 1024);
        DelimitedWriter::Write(managementObject, writer, String(type == ReportType::CommaDelimited ? L"," : L"\t"));
        writer.Close();
    }
    stream.Close();
}

} // namespace Reports
