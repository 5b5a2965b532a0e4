#include "core/controls/ToolBarItem.h"

#include "core/Exception.h"
#include "core/controls/Control.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolBarDropDown.h"

namespace Core::Controls
{

ToolBarItem::ToolBarItem(const String& text, int commandId, int imageIndex)
    : m_text(text), m_commandId(commandId), m_imageIndex(imageIndex)
{
}

void ToolBarItem::Changed(bool geometry)
{
    if (m_owner != nullptr)
    {
        m_owner->OnItemChanged(this, geometry);
    }
}

void ToolBarItem::SetText(const String& text)
{
    m_text = text;
    Changed(true);
}

void ToolBarItem::SetImageIndex(int imageIndex)
{
    m_imageIndex = imageIndex;
    Changed(false);
}

void ToolBarItem::SetEnabled(bool enabled)
{
    if (m_enabled != enabled)
    {
        m_enabled = enabled;
        Changed(false);
    }
}

void ToolBarItem::SetSeparator(bool separator)
{
    m_separator = separator;
    Changed(true);
}

wchar_t ToolBarItem::GetMnemonic() const
{
    return Control::GetMnemonic(m_text);
}

bool ToolBarItem::HasDropDown() const
{
    ToolBarDropDown* dropDown = GetDropDown();
    return dropDown != nullptr && dropDown->GetButtons().GetCount() > 0;
}

ToolBarButton::ToolBarButton(const String& toolTipText, int commandId, int imageIndex, bool enabled)
    : ToolBarItem(toolTipText, commandId, imageIndex)
{
    SetEnabled(enabled);
}

ToolBarDropDownItem::ToolBarDropDownItem(const String& text, int commandId, int imageIndex)
    : ToolBarItem(text, commandId, imageIndex)
{
}

ToolBarDropDownItem::~ToolBarDropDownItem()
{
    delete m_dropDown;
}

void ToolBarDropDownItem::SetDropDown(ToolBarDropDown* dropDown)
{
    if (dropDown == nullptr)
    {
        throw ArgumentNullException(
            String(L"dropDown"), String(L"ToolBarDropDownItem::SetDropDown method: cannot assign null as dropdown."));
    }
    if (dropDown == m_dropDown)
    {
        return;
    }
    delete m_dropDown;
    m_dropDown = dropDown;
    m_dropDown->SetOwnerItem(this);
    Changed(true);
}

// --- ToolBarItemCollection ---

ToolBarItemCollection::~ToolBarItemCollection()
{
    for (int i = 0; i < m_count; i++)
    {
        m_items[i]->m_owner = nullptr;
    }
}

void ToolBarItemCollection::Insert(int index, ToolBarItem* item)
{
    if (item == nullptr)
    {
        throw ArgumentNullException(String(L"item"));
    }
    if (item->m_owner != nullptr)
    {
        throw ArgumentException(String(L"ToolBarItemCollection.Insert method - the item already belongs to a bar"));
    }
    m_owner->ValidateItem(item);
    Collections::PointerCollection<ToolBarItem>::Insert(index, item);
    item->m_owner = m_owner;
    m_owner->OnItemsChanged();
}

void ToolBarItemCollection::RemoveAt(int index)
{
    CheckIndex(index, m_count - 1, L"Collection.RemoveAt method - index out of range");
    m_owner->OnItemRemoving(m_items[index]);
    m_items[index]->m_owner = nullptr;
    Collections::PointerCollection<ToolBarItem>::RemoveAt(index);
    m_owner->OnItemsChanged();
}

void ToolBarItemCollection::Clear()
{
    while (m_count > 0)
    {
        RemoveAt(m_count - 1);
    }
}

int ToolBarItemCollection::IndexOf(const ToolBarItem* item) const
{
    for (int i = 0; i < m_count; i++)
    {
        if (m_items[i] == item)
        {
            return i;
        }
    }
    return -1;
}

} // namespace Core::Controls
