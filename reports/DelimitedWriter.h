// Comma- and tab-delimited text: a header line of column names, then one line per row, CR LF after each.
#pragma once

#include "core/String.h"
#include "core/io/StreamWriter.h"
#include "reports/DelimitedFieldScanner.h"
#include "wmi/ManagementObject.h"

#include <cstdint>
#include <functional>

namespace Reports
{

class DelimitedWriter
{
public:
    // Writes the column names and the rows of managementObject, fields joined by separator. A field that
    // holds the separator, a double quote, CR or LF goes between double quotes with its double quotes
    // doubled, as every CSV reader expects; every other field is written exactly as it is. The object's
    // lock is held while its rows are read. showValue, when given, makes each value's text from its column and
    // its text as loaded (the user's "Show value names").
    static void Write(WMI::ManagementObject* managementObject, Core::IO::StreamWriter& writer,
                      const Core::String& separator,
                      const std::function<Core::String(int column, const Core::String& value)>& showValue = nullptr);

private:
    // Inline: called for each of a million fields.
    __attribute__((always_inline)) static inline void
    WriteField(Core::IO::StreamWriter& writer, const Core::String& field, const DelimitedFieldScanner& scanner);
    static void WriteQuoted(Core::IO::StreamWriter& writer, const Core::String& field);
    static int WritePlainFields(Core::IO::StreamWriter& writer, const Core::String* values, int columnCount,
                                uint8_t separator, const DelimitedFieldScanner& scanner);
};

} // namespace Reports
