// The kinds of report the export command writes: comma- or tab-delimited text, or an Excel workbook.
#pragma once

#include "core/EnumValue.h"
#include "core/String.h"

namespace Reports
{

class ReportType : public Core::EnumValue
{
public:
    enum Value
    {
        CommaDelimited = 2,
        TabDelimited = 4,
        Excel = 8
    };
    ReportType(Value value) : EnumValue(value) {}
    // Any value can be held (it may come from the registry); IsKnown tells the three above from the rest.
    explicit ReportType(int value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }

    bool IsKnown() const;
    // ".csv", ".txt" or ".xml"; empty for an unknown value.
    Core::String GetExtension() const;
    // The program that opens the report: "Notepad.exe" for text, "excel.exe" for the workbook.
    Core::String GetViewer() const;
    Core::String ToString() const override;
};

} // namespace Reports
