#include "reports/ReportType.h"

using Core::String;

namespace Reports
{

bool ReportType::IsKnown() const
{
    int value = GetValue();
    return value == CommaDelimited || value == TabDelimited || value == Excel;
}

String ReportType::GetExtension() const
{
    switch (GetValue())
    {
    case CommaDelimited:
        return String(L".csv");
    case TabDelimited:
        return String(L".txt");
    case Excel:
        return String(L".xml");
    default:
        return String();
    }
}

String ReportType::GetViewer() const
{
    switch (GetValue())
    {
    case CommaDelimited:
    case TabDelimited:
        return String(L"Notepad.exe");
    case Excel:
        return String(L"excel.exe");
    default:
        return String();
    }
}

String ReportType::ToString() const
{
    return String(L"ReportType");
}

} // namespace Reports
