// "Show value names": a class's coded values with their names ("2 (Running)") and its datetimes readable, as the
// Results grid shows its cells and the reports write them when the user chose so.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ClassDescription.h"
#include "wmi/ManagementObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Quarrow
{

class ValueNames
{
public:
    // For the columns named (properties of the class, or others such as "Machine"): a column shows its value
    // names when described names its property's values, and readable dates when definition gives it the type
    // datetime (either may be null). Arrays, whose cells hold their elements joined by ", ", have each element so.
    ValueNames(const Core::Collections::ArrayList<Core::String>& columns, const WMI::ClassDescription* described,
               const WMI::PropertyList* definition);

    // Whether any column's values change.
    bool IsEmpty() const { return m_empty; }
    // A cell's text as shown: false when the column's values stay as they are, or the value is empty. Window
    // thread only: what was shown is kept for the next paint.
    bool Format(int column, const wchar_t* text, int length, Core::String& shown) const;
    Core::String Format(int column, const Core::String& text) const;

private:
    enum class Kind
    {
        Plain,
        Coded,
        DateTime
    };
    struct Column
    {
        Kind kind = Kind::Plain;
        bool array = false;
        const WMI::PropertyDescription* property = nullptr; // into m_described
    };

    Core::String FormatScalar(const Column& column, const Core::String& text) const;
    Core::String FormatCell(const Column& column, const Core::String& text) const;
    // This machine's offset from UTC at a moment, asked of the system once a minute of time.
    int ZoneOffset(const WMI::CivilTime& utc) const;

    struct TextHash
    {
        using is_transparent = void;
        size_t operator()(std::wstring_view text) const { return std::hash<std::wstring_view>()(text); }
    };
    // A column's texts as shown, by the cells' own: a repaint, a scroll back and the many equal coded values of a
    // column cost a look-up.
    using ShownTexts = std::unordered_map<std::wstring, Core::String, TextHash, std::equal_to<>>;

    std::shared_ptr<const WMI::ClassDescription> m_described; // a copy: the formatter outlives what it was made of
    std::vector<Column> m_columns;
    bool m_empty = true;
    mutable std::vector<ShownTexts> m_shown;            // by column
    mutable std::unordered_map<int64_t, int> m_offsets; // by minute of UTC
};

} // namespace Quarrow
