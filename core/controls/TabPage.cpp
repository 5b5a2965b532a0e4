#include "core/controls/TabPage.h"

#include "core/controls/Theme.h"

namespace Core::Controls
{

TabPage::TabPage(const String& title)
{
    SetClassName(String(L"Core.Controls.TabPage"));
    SetText(title);
}

void TabPage::OnTextChanged()
{
    Panel::OnTextChanged();
    // The title is drawn by the tab strip of the view holding the page.
    if (GetParent() != nullptr)
    {
        GetParent()->PerformLayout();
        GetParent()->Invalidate();
        for (int i = 0; i < GetParent()->GetControls().GetCount(); i++)
        {
            GetParent()->GetControls()[i]->Invalidate();
        }
    }
}

Color TabPage::GetDefaultBackColor() const
{
    return Theme::Window();
}

} // namespace Core::Controls
