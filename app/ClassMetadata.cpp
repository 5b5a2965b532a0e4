#include "app/ClassMetadata.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"

#include <utility>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using WMI::ClassDescription;
using WMI::ManagementObject;
using WMI::PropertyDescription;

namespace
{

constexpr int DescriptionWidth = 400;
constexpr int MarksWidth = 100;
constexpr int ValueNamesWidth = 400;
// Three lines of the page's font: most class descriptions fit, the longest are cut at the end.
constexpr int DescriptionHeight = 48;

void Append(String& text, const String& part)
{
    if (!text.IsEmpty())
    {
        text += L", ";
    }
    text += part;
}

// Whether anything of the description is worth columns of its own.
bool HasTexts(const ClassDescription& described)
{
    if (!described.description.IsEmpty())
    {
        return true;
    }
    for (int i = 0; i < described.properties.GetCount(); i++)
    {
        const PropertyDescription& property = described.properties[i];
        if (!property.description.IsEmpty() || property.key || property.read || property.write ||
            property.values.GetCount() > 0 || property.bitValues.GetCount() > 0)
        {
            return true;
        }
    }
    return false;
}

} // namespace

String MarksText(const PropertyDescription& property)
{
    String text;
    if (property.key)
    {
        Append(text, String(L"Key"));
    }
    if (property.read)
    {
        Append(text, String(L"Read"));
    }
    if (property.write)
    {
        Append(text, String(L"Write"));
    }
    return text;
}

String ValueNamesText(const PropertyDescription& property)
{
    String text;
    bool mapped = property.valueMap.GetCount() > 0;
    for (int i = 0; i < property.values.GetCount() && (!mapped || i < property.valueMap.GetCount()); i++)
    {
        String value = mapped ? property.valueMap[i] : String() + i;
        // A map of texts that names each by itself lists the names alone.
        Append(text, value.ToLower() == property.values[i].ToLower() ? property.values[i]
                                                                     : value + L" = " + property.values[i]);
    }
    bool bitMapped = property.bitMap.GetCount() > 0;
    for (int i = 0; i < property.bitValues.GetCount() && (!bitMapped || i < property.bitMap.GetCount()); i++)
    {
        String bit = bitMapped ? property.bitMap[i] : String() + i;
        Append(text, String(L"bit ") + bit + L" = " + property.bitValues[i]);
    }
    return text;
}

ClassMetadata::ClassMetadata(Grid& grid, TableLayout& layout, int descriptionRow)
    : m_grid(grid), m_layout(layout), m_descriptionRow(descriptionRow), m_mofPage(String(L"MOF"))
{
    m_descriptionLabel.SetUseMnemonic(false);
    m_descriptionLabel.SetWordWrap(true);
    m_mofText.SetReadOnly(true);
    m_mofText.SetDock(DockStyle::Fill);
    m_mofText.GetAccessibilityObject().SetName(String(L"MOF"));
    m_mofPage.GetControls().Add(&m_mofText);
}

void ClassMetadata::Describe(ManagementObject* shown)
{
    m_read.Reset();
    m_reading = false;
    if (const Kept* kept = Find(shown))
    {
        Show(kept->description);
        return;
    }
    WMI::ManagementConnection* connection = shown->GetConnection();
    if (connection == nullptr || !connection->IsConnected())
    {
        return;
    }
    std::weak_ptr<const void> alive = shown->Watch();
    try
    {
        WMI::ReadClassDescription(m_read, connection, shown->GetName(),
                                  [this, shown, alive](Core::Threading::Outcome<ClassDescription>& read)
                                  {
                                      m_reading = false;
                                      if (alive.expired())
                                      {
                                          return;
                                      }
                                      // The texts only add to the page: without them it shows what it showed.
                                      if (!read.Failed())
                                      {
                                          auto described =
                                              std::make_shared<const ClassDescription>(std::move(read.Get()));
                                          Keep(shown, described);
                                          Show(described);
                                      }
                                      if (m_described)
                                      {
                                          m_described();
                                      }
                                  });
        m_reading = true;
    }
    catch (const Core::Exception&)
    {
        // A machine that cannot be asked now leaves the texts out.
    }
}

void ClassMetadata::Clear()
{
    m_read.Reset();
    m_reading = false;
    m_shown.reset();
    m_descriptionLabel.SetText(String());
    m_layout.SetRow(m_descriptionRow, SizeType::Absolute, 0);
    m_mofText.SetText(String());
    ShowColumns(false);
}

void ClassMetadata::Forget(const ManagementObject* shown)
{
    for (size_t i = 0; i < m_kept.size(); i++)
    {
        if (m_kept[i].object == shown)
        {
            m_kept.erase(m_kept.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void ClassMetadata::ShowDefinition(const Core::Collections::ArrayList<WMI::PropertyInfo>& properties)
{
    UpdatesPaused paused(m_grid);
    m_grid.GetRows().Clear();
    if (properties.GetCount() > 0)
    {
        int first = m_grid.GetRows().AddRange(properties.GetCount());
        for (int i = 0; i < properties.GetCount(); i++)
        {
            m_grid.SetCellText(first + i, 0, properties[i].GetName());
            m_grid.SetCellText(first + i, 1, properties[i].GetCimTypeName());
        }
    }
}

void ClassMetadata::Show(std::shared_ptr<const ClassDescription> description)
{
    m_shown = std::move(description);
    const ClassDescription& described = *m_shown;
    m_descriptionLabel.SetText(described.description);
    m_layout.SetRow(m_descriptionRow, SizeType::Absolute, described.description.IsEmpty() ? 0 : DescriptionHeight);
    m_mofText.SetText(described.mofText.IsEmpty() ? String(L"This machine gives no MOF text for the class.")
                                                  : described.mofText);
    if (m_grid.GetRowCount() == 0 && described.properties.GetCount() > 0)
    {
        // A query's rows have no definition read for them: the class's own list gives the names and types.
        Core::Collections::ArrayList<WMI::PropertyInfo> definition;
        for (int i = 0; i < described.properties.GetCount(); i++)
        {
            definition.Add(WMI::PropertyInfo(described.properties[i].name, described.properties[i].cimType));
        }
        ShowDefinition(definition);
    }
    bool texts = HasTexts(described);
    ShowColumns(texts);
    if (!texts)
    {
        return;
    }
    UpdatesPaused paused(m_grid);
    for (int row = 0; row < m_grid.GetRowCount(); row++)
    {
        const PropertyDescription* property = described.FindProperty(m_grid.GetCellText(row, 0));
        if (property != nullptr)
        {
            m_grid.SetCellText(row, DescriptionColumn, property->description);
            m_grid.SetCellText(row, MarksColumn, MarksText(*property));
            m_grid.SetCellText(row, ValueNamesColumn, ValueNamesText(*property));
        }
    }
}

void ClassMetadata::Keep(ManagementObject* object, std::shared_ptr<const ClassDescription> description)
{
    // Classes whose nodes went are forgotten with them.
    for (size_t i = m_kept.size(); i-- > 0;)
    {
        if (m_kept[i].watch.expired() || m_kept[i].object == object)
        {
            m_kept.erase(m_kept.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    m_kept.push_back(Kept{object->Watch(), object, std::move(description)});
}

const ClassMetadata::Kept* ClassMetadata::Find(const ManagementObject* object) const
{
    for (const Kept& kept : m_kept)
    {
        if (kept.object == object && !kept.watch.expired())
        {
            return &kept;
        }
    }
    return nullptr;
}

void ClassMetadata::ShowColumns(bool shown)
{
    GridColumnCollection& columns = m_grid.GetColumns();
    if (shown && columns.GetCount() == DescriptionColumn)
    {
        columns.Add(String(L"Description"), DescriptionWidth);
        columns.Add(String(L"Marks"), MarksWidth);
        columns.Add(String(L"Value Names"), ValueNamesWidth);
    }
    else if (!shown && columns.GetCount() > DescriptionColumn)
    {
        // The collection removes its columns only all at once: the name and type columns come back as they were.
        int rows = m_grid.GetRowCount();
        std::vector<std::pair<String, String>> cells;
        cells.reserve(static_cast<size_t>(rows));
        for (int row = 0; row < rows; row++)
        {
            cells.emplace_back(m_grid.GetCellText(row, 0), m_grid.GetCellText(row, 1));
        }
        int nameWidth = columns[0].GetWidth();
        int typeWidth = columns[1].GetWidth();
        String nameHeader = columns[0].GetHeaderText();
        String typeHeader = columns[1].GetHeaderText();
        UpdatesPaused paused(m_grid);
        columns.Clear();
        columns.Add(nameHeader, nameWidth);
        columns.Add(typeHeader, typeWidth);
        for (int row = 0; row < rows; row++)
        {
            m_grid.SetCellText(row, 0, cells[static_cast<size_t>(row)].first);
            m_grid.SetCellText(row, 1, cells[static_cast<size_t>(row)].second);
        }
    }
}

} // namespace Quarrow
