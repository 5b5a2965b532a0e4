// What a class's qualifiers add to the Metadata page: each property's description, marks and value names beside
// its name and type, the class's own description under its name, and its MOF text on a page of its own.
#pragma once

#include "core/controls/Grid.h"
#include "core/controls/Label.h"
#include "core/controls/TabPage.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextArea.h"
#include "core/threading/Completion.h"
#include "wmi/ClassDescription.h"
#include "wmi/ManagementObject.h"

#include <functional>
#include <memory>
#include <vector>

namespace Quarrow
{

// "Key, Read, Write", as far as the property has them; empty for none.
Core::String MarksText(const WMI::PropertyDescription& property);
// The names of a property's coded values: "0 = Unknown, 2 = Running" by ValueMap (or by position without one; a
// name alone where the map's entry is the name itself, "Stopped, Running"), then the bits it names, "bit 0 = Read,
// bit 3 = Execute"; empty when it names none.
Core::String ValueNamesText(const WMI::PropertyDescription& property);

class ClassMetadata
{
public:
    static constexpr int DescriptionColumn = 2;
    static constexpr int MarksColumn = 3;
    static constexpr int ValueNamesColumn = 4;

    // grid is the Metadata grid, whose first two columns (name and type) stay as they are; the row of layout
    // given holds the description label.
    ClassMetadata(Core::Controls::Grid& grid, Core::Controls::TableLayout& layout, int descriptionRow);
    ClassMetadata(const ClassMetadata&) = delete;
    ClassMetadata& operator=(const ClassMetadata&) = delete;

    // The class's description, under the class's name; the layout gives it room only while it has a text.
    Core::Controls::Label& GetDescriptionLabel() { return m_descriptionLabel; }
    Core::Controls::TabPage& GetMofPage() { return m_mofPage; }
    Core::Controls::TextArea& GetMofText() { return m_mofText; }

    // The grid's rows anew: a row of each property with its name and CIM type.
    void ShowDefinition(const Core::Collections::ArrayList<WMI::PropertyInfo>& properties);
    // The texts of shown, whose definition the grid shows: read on a worker, unless kept from an earlier read
    // of the same definition. A machine without them (Wine) leaves the page as it is. An empty grid (a query's rows,
    // named after their class) gets the class's properties and types from the read.
    void Describe(WMI::ManagementObject* shown);
    // What was shown goes (another class, a query); a read still on its way is let go.
    void Clear();
    // The next Describe of the class reads its texts again (its definition is read again).
    void Forget(const WMI::ManagementObject* shown);
    // The texts of the class shown; null until they came, or for none.
    const WMI::ClassDescription* GetDescription() const { return m_shown.get(); }
    bool IsReading() const { return m_reading; }

    // Called when the read of the texts of the class shown ended, whether they came or not, on the window thread.
    void SetDescribedHandler(std::function<void()> handler) { m_described = std::move(handler); }

private:
    struct Kept
    {
        std::weak_ptr<const void> watch; // the class object's life
        const WMI::ManagementObject* object = nullptr;
        std::shared_ptr<const WMI::ClassDescription> description;
    };

    void Show(std::shared_ptr<const WMI::ClassDescription> description);
    void Keep(WMI::ManagementObject* object, std::shared_ptr<const WMI::ClassDescription> description);
    const Kept* Find(const WMI::ManagementObject* object) const;
    // Adds the description columns when missing, or takes them away.
    void ShowColumns(bool shown);

    Core::Controls::Grid& m_grid;          // not owned: the Metadata grid
    Core::Controls::TableLayout& m_layout; // not owned: the Metadata page's
    int m_descriptionRow;
    Core::Controls::Label m_descriptionLabel;
    Core::Controls::TabPage m_mofPage;
    Core::Controls::TextArea m_mofText;
    std::shared_ptr<const WMI::ClassDescription> m_shown;
    std::vector<Kept> m_kept;
    bool m_reading = false;
    std::function<void()> m_described;
    // The read on its way; reset by Clear, so that nothing of another class comes back after.
    Core::Threading::CompletionOwner m_read;
};

} // namespace Quarrow
