// The class view's "Show value names": the Results grid's cells and the reports' values with their names.
#include "app/ClassView.h"

#include "config/AppOptions.h"

namespace Quarrow
{

using Core::String;
using WMI::ManagementObject;

std::shared_ptr<const ValueNames> ClassView::ValueNamesFor(ManagementObject& source,
                                                           const ManagementObject& classObject) const
{
    if (!m_options.GetShowValueNames())
    {
        return nullptr;
    }
    // The class's texts when they came for it; its datetimes are known by its definition alone.
    const WMI::ClassDescription* described = m_metadata.GetDescription();
    if (described != nullptr && described->className.ToLower() != classObject.GetName().ToLower())
    {
        described = nullptr;
    }
    Core::Collections::ArrayList<String> columns;
    if (source.IsQuery())
    {
        // A query's columns come with its objects, on the load's worker.
        Core::Threading::CriticalSectionLock lock(source.GetLock());
        const Core::Collections::ArrayList<String>& names = source.GetColumns();
        for (int i = 0; i < names.GetCount(); i++)
        {
            columns.Add(names[i]);
        }
    }
    else
    {
        const Core::Collections::ArrayList<WMI::PropertyInfo>& properties = source.GetProperties();
        for (int i = 0; i < properties.GetCount(); i++)
        {
            columns.Add(properties[i].GetName());
        }
    }
    auto names = std::make_shared<const ValueNames>(columns, described, classObject.GetDefinition());
    return names->IsEmpty() ? nullptr : names;
}

void ClassView::ShowValueNames()
{
    std::shared_ptr<const ValueNames> names;
    if (m_currentClass != nullptr)
    {
        ManagementObject& shown = m_machinesLoad != nullptr ? m_machinesLoad->GetMerged() : *m_currentClass;
        names = ValueNamesFor(shown, *m_currentClass);
    }
    if (names == nullptr)
    {
        if (m_resultsGrid.HasCellFormatter())
        {
            m_resultsGrid.SetCellFormatter(nullptr);
        }
        return;
    }
    // Asked for the cells in view only: a million rows cost what a screenful does.
    m_resultsGrid.SetCellFormatter([names](int, int column, const wchar_t* text, int length, String& shown)
                                   { return names->Format(column, text, length, shown); });
}

} // namespace Quarrow
