#include "core/controls/TabViewToolBar.h"

#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/TabView.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int TabPadding = 12;
constexpr int TabLift = 2;

} // namespace

TabViewToolBar::TabViewToolBar(TabView* view) : m_view(view)
{
    SetClassName(String(L"Core.Controls.TabViewToolBar"));
    SetTabStop(true);
}

Color TabViewToolBar::GetDefaultBackColor() const
{
    return Theme::Face();
}

int TabViewToolBar::GetPreferredHeight()
{
    return MeasureText(String(), GetFontHandle()).height + Scale(10) + Scale(TabLift);
}

Rectangle TabViewToolBar::GetTabBounds(int index)
{
    TabPageCollection& pages = m_view->GetPages();
    if (index < 0 || index >= pages.GetCount())
    {
        return Rectangle{};
    }
    FontHandle font = GetFontHandle();
    int height = GetClientRectangle().height;
    int left = Scale(2);
    for (int i = 0; i < pages.GetCount(); i++)
    {
        int width = MeasureText(pages[i]->GetTitle(), font, 0x20 | 0x800).width + 2 * Scale(TabPadding);
        if (i == index)
        {
            return Rectangle{left, 0, width, height};
        }
        left += width;
    }
    return Rectangle{};
}

int TabViewToolBar::GetTabAt(const Point& point)
{
    for (int i = 0; i < m_view->GetPages().GetCount(); i++)
    {
        if (GetTabBounds(i).Contains(point))
        {
            return i;
        }
    }
    return -1;
}

void TabViewToolBar::OnPaint(Graphics& graphics, const Rectangle&)
{
    TabPageCollection& pages = m_view->GetPages();
    Rectangle client = GetClientRectangle();
    Color border = Theme::Separator();
    int one = graphics.Scale(1);
    int lift = graphics.Scale(TabLift);
    // The line the tabs stand on; the selected tab opens it towards its page.
    graphics.FillRectangle(Rectangle{0, client.height - one, client.width, one}, border);
    FontHandle font = GetFontHandle();
    for (int i = 0; i < pages.GetCount(); i++)
    {
        Rectangle tab = GetTabBounds(i);
        bool selected = i == m_view->GetSelectedIndex();
        Rectangle face = selected ? tab : Rectangle{tab.left, tab.top + lift, tab.width, tab.height - lift - one};
        Color fill = selected ? Theme::Window() : (i == m_hotTab ? Theme::HoverFill() : Theme::Face());
        graphics.FillRectangle(face, fill);
        Color edge = i == m_hotTab && !selected ? Theme::HoverBorder() : border;
        graphics.FillRectangle(Rectangle{face.left, face.top, face.width, one}, edge);
        graphics.FillRectangle(Rectangle{face.left, face.top, one, face.height}, edge);
        graphics.FillRectangle(Rectangle{face.GetRight() - one, face.top, one, face.height}, edge);
        if (selected)
        {
            // An accent along the top marks the page that is shown.
            graphics.FillRectangle(Rectangle{face.left, face.top, face.width, graphics.Scale(2)}, Theme::Highlight());
        }
        Rectangle text = face.Deflate(graphics.Scale(TabPadding), 0);
        graphics.DrawString(pages[i]->GetTitle(), text, font, Theme::ControlText(),
                            TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::Center |
                                TextFormat::NoPrefix);
        if (selected && IsFocused())
        {
            Rectangle focus = face.Deflate(graphics.Scale(4), graphics.Scale(4));
            graphics.DrawFocusRectangle(focus, Theme::ControlText(), Theme::Window());
        }
    }
}

void TabViewToolBar::OnMouseDown(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    int index = GetTabAt(point);
    if (index >= 0)
    {
        m_view->ShowPage(index);
    }
}

void TabViewToolBar::OnMouseMove(const Point& point, int)
{
    int hot = GetTabAt(point);
    if (hot != m_hotTab)
    {
        m_hotTab = hot;
        Invalidate();
    }
}

void TabViewToolBar::OnMouseLeave()
{
    if (m_hotTab >= 0)
    {
        m_hotTab = -1;
        Invalidate();
    }
}

bool TabViewToolBar::IsInputKey(int keyData) const
{
    int key = keyData & Keys::KeyCode;
    return key == Keys::Left || key == Keys::Right;
}

bool TabViewToolBar::OnKeyDown(int keyData)
{
    int count = m_view->GetPages().GetCount();
    int current = m_view->GetSelectedIndex();
    if (count == 0)
    {
        return false;
    }
    switch (keyData)
    {
    case Keys::Left:
        m_view->ShowPage(current > 0 ? current - 1 : 0);
        return true;
    case Keys::Right:
        m_view->ShowPage(current < count - 1 ? current + 1 : count - 1);
        return true;
    case Keys::Home:
        m_view->ShowPage(0);
        return true;
    case Keys::End:
        m_view->ShowPage(count - 1);
        return true;
    default:
        return false;
    }
}

// --- Accessibility: a page tab list whose items are the tabs ---

namespace
{

class TabStripAccessibleObject : public AccessibleObject
{
public:
    TabStripAccessibleObject(TabViewToolBar& strip, TabView& view)
        : AccessibleObject(strip), m_strip(strip), m_view(view)
    {
    }

    int GetRole() override { return AccessibleRoles::PageTabList; }
    String GetName() override { return String(L"Tabs"); }
    int GetItemCount() override { return m_view.GetPages().GetCount(); }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::PageTab;
        item.name = WithoutMnemonic(m_view.GetPages()[index]->GetText());
        item.bounds = m_strip.GetTabBounds(index);
        item.state = AccessibleStates::Selectable | AccessibleStates::Focusable;
        if (index == m_view.GetSelectedIndex())
        {
            item.state |= AccessibleStates::Selected | (m_strip.IsFocused() ? AccessibleStates::Focused : 0);
        }
        item.defaultAction = String(L"Switch");
        return item;
    }
    int HitTestItem(const Point& point) override { return m_strip.GetTabAt(point); }
    int GetFocusedItem() override { return m_strip.IsFocused() ? m_view.GetSelectedIndex() : -1; }
    int GetSelectedItem() override { return m_view.GetSelectedIndex(); }
    bool SelectItem(int index) override
    {
        m_view.ShowPage(index);
        return true;
    }
    bool DoItemAction(int index) override { return SelectItem(index); }

private:
    TabViewToolBar& m_strip;
    TabView& m_view;
};

} // namespace

AccessibleObject* TabViewToolBar::CreateAccessibilityObject()
{
    return new TabStripAccessibleObject(*this, *m_view);
}

} // namespace Core::Controls
