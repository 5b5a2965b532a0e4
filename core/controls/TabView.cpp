#include "core/controls/TabView.h"

#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

namespace Core::Controls
{

void TabPageCollection::Add(TabPage* page)
{
    if (page == nullptr)
    {
        throw ArgumentNullException(String(L"page"));
    }
    if (IndexOf(page) >= 0)
    {
        return;
    }
    m_pages.Add(page);
    // Only the selected page is shown; the first one added becomes it.
    page->SetVisible(m_view->m_selectedIndex < 0);
    m_view->GetControls().Add(page);
    if (m_view->m_selectedIndex < 0)
    {
        m_view->m_selectedIndex = 0;
    }
    m_view->PerformLayout();
    m_view->m_toolBar.Invalidate();
}

TabPage* TabPageCollection::operator[](int index) const
{
    if (index < 0 || index >= m_pages.GetCount())
    {
        throw ArgumentOutOfRangeException(index, String(L"TabPageCollection.Item - index out of range"));
    }
    return m_pages[index];
}

int TabPageCollection::IndexOf(const TabPage* page) const
{
    for (int i = 0; i < m_pages.GetCount(); i++)
    {
        if (m_pages[i] == page)
        {
            return i;
        }
    }
    return -1;
}

TabView::TabView() : m_toolBar(this), m_pages(this)
{
    SetClassName(String(L"Core.Controls.TabView"));
    GetControls().Add(&m_toolBar);
}

TabView::~TabView()
{
    // The pages belong to whoever made them; they only leave this view.
    for (int i = 0; i < m_pages.m_pages.GetCount(); i++)
    {
        GetControls().Remove(m_pages.m_pages[i]);
    }
    GetControls().Remove(&m_toolBar);
}

TabPage* TabView::GetSelectedPage() const
{
    return m_selectedIndex >= 0 ? m_pages.m_pages[m_selectedIndex] : nullptr;
}

void TabView::ShowPage(int index)
{
    if (index < 0 || index >= m_pages.GetCount())
    {
        String message(L"TabView::ShowPage() - index out of range: ");
        message += index;
        throw ArgumentOutOfRangeException(index, message);
    }
    if (index == m_selectedIndex)
    {
        return;
    }
    TabPage* previous = GetSelectedPage();
    bool hadFocus = previous != nullptr && previous->ContainsFocus();
    m_selectedIndex = index;
    TabPage* page = m_pages.m_pages[index];
    PerformLayout();
    page->SetVisible(true);
    if (previous != nullptr)
    {
        previous->SetVisible(false);
    }
    if (hadFocus)
    {
        // The focus would otherwise stay on a hidden control.
        if (!m_toolBar.Focus())
        {
            page->Focus();
        }
    }
    m_toolBar.Invalidate();
    EventArgs args;
    SelectedIndexChanged.Raise(this, args);
}

void TabView::OnLayout()
{
    Rectangle area = GetDisplayRectangle();
    int stripHeight = m_toolBar.GetPreferredHeight();
    m_toolBar.SetDeviceBounds(Rectangle{area.left, area.top, area.width, stripHeight});
    int border = Scale(1);
    Rectangle pageArea{area.left + border, area.top + stripHeight + border, area.width - 2 * border,
                       area.height - stripHeight - 2 * border};
    for (int i = 0; i < m_pages.GetCount(); i++)
    {
        m_pages.m_pages[i]->SetDeviceBounds(pageArea);
    }
}

void TabView::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle area = GetDisplayRectangle();
    int stripHeight = m_toolBar.GetDeviceBounds().height; // as the layout placed it
    Rectangle frame{area.left, area.top + stripHeight, area.width, area.height - stripHeight};
    graphics.DrawRectangle(frame, Theme::Separator(), graphics.Scale(1));
}

bool TabView::ProcessCmdKey(int keyData)
{
    int count = m_pages.GetCount();
    bool next = keyData == (Keys::Control | Keys::Tab) || keyData == (Keys::Control | Keys::PageDown);
    bool previous = keyData == (Keys::Control | Keys::Shift | Keys::Tab) || keyData == (Keys::Control | Keys::PageUp);
    if (count == 0 || (!next && !previous))
    {
        return Control::ProcessCmdKey(keyData);
    }
    int index = m_selectedIndex < 0 ? 0 : m_selectedIndex;
    ShowPage((index + (next ? 1 : count - 1)) % count);
    return true;
}

} // namespace Core::Controls
