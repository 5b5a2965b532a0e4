#include "core/controls/Panel.h"

#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

namespace Core::Controls
{

Panel::Panel()
{
    SetClassName(String(L"Core.Controls.Panel"));
}

void Panel::SetBorder(bool border)
{
    m_border = border;
    PerformLayout();
    Invalidate();
}

void Panel::OnPaint(Graphics& graphics, const Rectangle&)
{
    if (m_border)
    {
        graphics.DrawRectangle(GetClientRectangle(), Theme::Separator(), graphics.Scale(1));
    }
}

void Panel::OnLayout()
{
    Rectangle area = GetDisplayRectangle();
    if (m_border)
    {
        area = area.Deflate(Scale(1), Scale(1));
    }
    LayoutDockedChildren(area);
}

} // namespace Core::Controls
