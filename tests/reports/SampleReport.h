// The class object behind the reader checks: values that hold separators, quotes, line breaks and markup.
// check_delimited.py holds the same header and cells and reads the delimited files back with Python's csv module;
// check_workbook.py reads the workbook back with Python's XML parser.
#pragma once

#include "tests/reports/ReportsTesting.h"

namespace ReportsTesting
{

inline std::unique_ptr<WMI::ManagementObject> MakeSampleObject()
{
    return MakeObject(L"Win32_Sample", {L"Name", L"Caption, short", L"Say \"what\"", L"Tab\there"},
                      {
                          {L"svchost.exe", L"Host Process", L"C:\\Windows\\System32\\svchost.exe", L"plain"},
                          {L"a,b", L"tab\there", L",", L"\t"},
                          {L"say \"hi\"", L"\"", L"\"\"", L"'apostrophe'"},
                          {L"line1\r\nline2", L"lf\nonly", L"cr\ronly", L"\r\n"},
                          {L"", L"", L"", L""},
                          {L" padded ", L"caf\u00E9", L"\u65E5\u672C", L"\U0001F600"},
                          {L"semi;colon", L"a<b&c>d", L"end,\"mixed\"\r\n\tall", L"last"},
                      });
}

// Values with characters XML cannot hold (WMI values carry control characters: device names, registry data).
inline std::unique_ptr<WMI::ManagementObject> MakeControlCharacterObject()
{
    return MakeObject(L"Win32_Control", {L"Name", L"Data\x1F"},
                      {
                          {L"bell\x07", L"start\x01"},
                          {L"\xFFFE\xFFFF", L"lone \xD800"},
                          {L"vertical\x0B"
                           L"tab",
                           L"tab\tand\x1B"
                           L"escape"},
                      });
}

} // namespace ReportsTesting
