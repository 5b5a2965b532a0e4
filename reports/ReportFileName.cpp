#include "reports/ReportFileName.h"

#include <string>

using Core::String;

namespace Reports
{

namespace
{

bool IsAllowedInFileName(wchar_t ch)
{
    if (ch < 0x20)
    {
        return false;
    }
    switch (ch)
    {
    case L'\\':
    case L'/':
    case L':':
    case L'*':
    case L'?':
    case L'"':
    case L'<':
    case L'>':
    case L'|':
        return false;
    default:
        return true;
    }
}

} // namespace

String GetReportFileName(const String& reportDirectory, const String& className)
{
    std::wstring name(className.GetBuffer(), static_cast<size_t>(className.GetLength()));
    for (wchar_t& ch : name)
    {
        if (!IsAllowedInFileName(ch))
        {
            ch = L'_';
        }
    }
    String fileName = reportDirectory;
    fileName += L"\\WmiReport_";
    fileName += String(name.data(), static_cast<int>(name.size()));
    return fileName;
}

} // namespace Reports
