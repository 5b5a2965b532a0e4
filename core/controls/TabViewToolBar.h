// The strip of tabs along the top of a TabView: one tab per page with its title; a click or the arrow
// keys show another page.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class TabView;

class TabViewToolBar : public Control
{
public:
    explicit TabViewToolBar(TabView* view);

    // The client rectangle of a page's tab.
    Rectangle GetTabBounds(int index);
    // The page whose tab is under the point, or -1.
    int GetTabAt(const Point& point);
    int GetPreferredHeight();

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseLeave() override;
    bool OnKeyDown(int keyData) override;
    bool IsInputKey(int keyData) const override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    TabView* m_view; // not owned: the view the strip belongs to
    int m_hotTab = -1;
};

} // namespace Core::Controls
