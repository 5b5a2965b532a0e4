// The class object behind the CSV reader check: values that hold separators, quotes and line breaks.
// check_delimited.py holds the same header and cells and reads the files back with Python's csv module.
#pragma once

#include "tests/reports/ReportsTesting.h"

namespace ReportsTesting
{

inline std::unique_ptr<WMI::ManagementObject> MakeDelimitedSample()
{
    return MakeObject(L"Win32_Sample", {L"Name", L"Caption, short", L"Say \"what\"", L"Tab\there"},
                      {
                          {L"svchost.exe", L"Host Process", L"C:\\Windows\\System32\\svchost.exe", L"plain"},
                          {L"a,b", L"tab\there", L",", L"\t"},
                          {L"say \"hi\"", L"\"", L"\"\"", L"'apostrophe'"},
                          {L"line1\r\nline2", L"lf\nonly", L"cr\ronly", L"\r\n"},
                          {L"", L"", L"", L""},
                          {L" padded ", L"caf\u00E9", L"\u65E5\u672C", L"\U0001F600"},
                          {L"semi;colon", L"pipe|bar", L"end,\"mixed\"\r\n\tall", L"last"},
                      });
}

} // namespace ReportsTesting
