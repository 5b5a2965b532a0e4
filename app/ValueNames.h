// "Show value names": a class's coded values with their names ("2 (Running)") and its datetimes readable, as the
// Results grid shows its cells and the reports write them when the user chose so.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ClassDescription.h"
#include "wmi/ManagementObject.h"

#include <memory>
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
    // A cell's text as shown: false when the column's values stay as they are, or the value is empty.
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

    std::shared_ptr<const WMI::ClassDescription> m_described; // a copy: the formatter outlives what it was made of
    std::vector<Column> m_columns;
    bool m_empty = true;
};

} // namespace Quarrow
