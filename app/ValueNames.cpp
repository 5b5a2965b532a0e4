#include "app/ValueNames.h"

#include "wmi/DateTimeValue.h"

namespace Quarrow
{

using Core::String;
using WMI::PropertyDescription;

namespace
{

// Enough for a column's distinct values in view and around; beyond it the texts are made afresh.
constexpr size_t MostShownTexts = 4096;

bool SameName(const String& a, const String& b)
{
    return a.ToLower() == b.ToLower();
}

bool NamesValues(const PropertyDescription& property)
{
    return property.values.GetCount() > 0 || property.bitValues.GetCount() > 0;
}

} // namespace

ValueNames::ValueNames(const Core::Collections::ArrayList<String>& columns, const WMI::ClassDescription* described,
                       const WMI::PropertyList* definition)
{
    if (described != nullptr)
    {
        m_described = std::make_shared<const WMI::ClassDescription>(*described);
    }
    m_columns.resize(static_cast<size_t>(columns.GetCount()));
    m_shown.resize(m_columns.size());
    for (int c = 0; c < columns.GetCount(); c++)
    {
        Column& column = m_columns[static_cast<size_t>(c)];
        const PropertyDescription* property = m_described != nullptr ? m_described->FindProperty(columns[c]) : nullptr;
        int type = property != nullptr ? property->cimType : 0;
        for (int p = 0; definition != nullptr && p < definition->GetCount(); p++)
        {
            if (SameName((*definition)[p].GetName(), columns[c]))
            {
                type = (*definition)[p].GetCimType();
                break;
            }
        }
        column.array = (type & WMI::CimArrayFlag) != 0;
        if ((type & ~WMI::CimArrayFlag) == WMI::CimDateTime)
        {
            column.kind = Kind::DateTime;
        }
        else if (property != nullptr && NamesValues(*property))
        {
            column.kind = Kind::Coded;
            column.property = property;
        }
        m_empty = m_empty && column.kind == Kind::Plain;
    }
}

int ValueNames::ZoneOffset(const WMI::CivilTime& utc) const
{
    // Zones change their offsets on whole minutes.
    int64_t minute =
        (((static_cast<int64_t>(utc.year) * 13 + utc.month) * 32 + utc.day) * 24 + utc.hour) * 60 + utc.minute;
    auto found = m_offsets.find(minute);
    if (found != m_offsets.end())
    {
        return found->second;
    }
    if (m_offsets.size() >= MostShownTexts)
    {
        m_offsets.clear();
    }
    int offset = WMI::LocalUtcOffset(utc);
    m_offsets.emplace(minute, offset);
    return offset;
}

String ValueNames::FormatScalar(const Column& column, const String& text) const
{
    if (column.kind == Kind::DateTime)
    {
        return WMI::FormatCimDateTime(text, [this](const WMI::CivilTime& utc) { return ZoneOffset(utc); });
    }
    String named = WMI::FormatCodedValue(*column.property, text);
    // A map of texts names each by itself (Win32_Service's State "Running" is named "Running"): no need to say it
    // twice.
    if (named.GetLength() == 2 * text.GetLength() + 3 && SameName(named, text + L" (" + text + L")"))
    {
        return text;
    }
    return named;
}

bool ValueNames::Format(int column, const wchar_t* text, int length, String& shown) const
{
    if (column < 0 || column >= static_cast<int>(m_columns.size()) || length == 0)
    {
        return false;
    }
    const Column& described = m_columns[static_cast<size_t>(column)];
    if (described.kind == Kind::Plain)
    {
        return false;
    }
    ShownTexts& texts = m_shown[static_cast<size_t>(column)];
    std::wstring_view key(text, static_cast<size_t>(length));
    auto found = texts.find(key);
    if (found == texts.end())
    {
        if (texts.size() >= MostShownTexts)
        {
            texts.clear();
        }
        found = texts.emplace(std::wstring(key), FormatCell(described, String(text, length))).first;
    }
    shown = found->second;
    return true;
}

String ValueNames::FormatCell(const Column& described, const String& value) const
{
    if (!described.array)
    {
        return FormatScalar(described, value);
    }
    // The load joined the elements with ", ": each is shown on its own and joined again.
    String shown;
    String separator(L", ");
    int start = 0;
    while (start <= value.GetLength())
    {
        int end = value.IndexOf(separator, start);
        int stop = end < 0 ? value.GetLength() : end;
        shown += FormatScalar(described, value.Substring(start, stop - start));
        if (end < 0)
        {
            break;
        }
        shown += separator;
        start = end + separator.GetLength();
    }
    return shown;
}

String ValueNames::Format(int column, const String& text) const
{
    String shown;
    return Format(column, text.GetBuffer(), text.GetLength(), shown) ? shown : text;
}

} // namespace Quarrow
