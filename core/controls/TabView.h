// Pages on top of each other with a strip of tabs to choose one: the selected page is shown, the
// others are hidden. Ctrl+Tab and Ctrl+Shift+Tab (or Ctrl+Page Down/Up) step through the pages.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/controls/Control.h"
#include "core/controls/TabPage.h"
#include "core/controls/TabViewToolBar.h"

namespace Core::Controls
{

class TabView;

// The pages in tab order. The view does not own them: whoever created a page deletes it.
class TabPageCollection
{
public:
    explicit TabPageCollection(TabView* view) : m_view(view) {}

    void Add(TabPage* page);
    int GetCount() const { return m_pages.GetCount(); }
    TabPage* operator[](int index) const;
    int IndexOf(const TabPage* page) const;

private:
    friend class TabView;
    TabView* m_view; // not owned
    Collections::ArrayList<TabPage*> m_pages;
};

class TabView : public Control
{
public:
    TabView();
    ~TabView() override;

    TabPageCollection& GetPages() { return m_pages; }
    // Shows the page at index and raises SelectedIndexChanged when it was not shown already.
    void ShowPage(int index);
    int GetSelectedIndex() const { return m_selectedIndex; }
    TabPage* GetSelectedPage() const;
    TabViewToolBar& GetToolBar() { return m_toolBar; }

    Event<EventArgs> SelectedIndexChanged;

protected:
    friend class TabPageCollection;
    void OnLayout() override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    bool ProcessCmdKey(int keyData) override;

private:
    TabViewToolBar m_toolBar;
    TabPageCollection m_pages;
    int m_selectedIndex = -1;
};

} // namespace Core::Controls
