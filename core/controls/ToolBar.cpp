#include "core/controls/ToolBar.h"

#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/MainMenu.h"
#include "core/controls/MenuTracker.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolBarDropDown.h"
#include "core/controls/ToolTip.h"

#include <cwctype>
#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int ButtonSize = 24;
constexpr int SeparatorWidth = 9;
constexpr int ArrowWidth = 13;
} // namespace

ToolBar::ToolBar() : m_items(this)
{
    SetClassName(String(L"Core.Controls.ToolBar"));
    SetHeight(28);
}

ToolBar::~ToolBar()
{
    MenuTracker::Instance().Forget(this);
    delete m_toolTip;
}

ToolBarButton* ToolBar::AddButton(const String& toolTipText, int commandId, int imageIndex, bool enabled)
{
    auto* button = new ToolBarButton(toolTipText, commandId, imageIndex, enabled);
    m_items.Add(button);
    return button;
}

void ToolBar::SetImageList(ImageList* images)
{
    m_images = images;
    InvalidateLayout();
}

void ToolBar::ValidateItem(ToolBarItem*) {}

void ToolBar::OnItemChanged(ToolBarItem*, bool geometry)
{
    if (geometry)
    {
        InvalidateLayout();
    }
    else
    {
        Invalidate();
    }
}

void ToolBar::OnItemsChanged()
{
    m_hotIndex = -1;
    m_pressedIndex = -1;
    InvalidateLayout();
}

void ToolBar::OnItemRemoving(ToolBarItem* item)
{
    if (item->GetDropDown() != nullptr)
    {
        MenuTracker::Instance().Forget(item->GetDropDown());
    }
    MenuTracker::Instance().Forget(this);
}

void ToolBar::InvalidateLayout()
{
    m_layoutValid = false;
    Invalidate();
}

void ToolBar::EnsureLayout()
{
    if (m_layoutValid && m_bounds.GetCount() == m_items.GetCount())
    {
        return;
    }
    m_bounds.Clear();
    ComputeLayout(m_bounds);
    m_layoutValid = true;
}

void ToolBar::OnResize()
{
    InvalidateLayout();
    Control::OnResize();
}

void ToolBar::OnDpiChanged(int oldDpi, int newDpi)
{
    InvalidateLayout();
    Control::OnDpiChanged(oldDpi, newDpi);
}

void ToolBar::OnFontChanged()
{
    InvalidateLayout();
    Control::OnFontChanged();
}

void ToolBar::OnHandleDestroyed()
{
    MenuTracker::Instance().Forget(this);
}

Rectangle ToolBar::GetItemBounds(int index)
{
    EnsureLayout();
    if (index < 0 || index >= m_bounds.GetCount())
    {
        return Rectangle{};
    }
    return m_bounds[index];
}

int ToolBar::HitTest(const Point& point)
{
    EnsureLayout();
    for (int i = 0; i < m_bounds.GetCount(); i++)
    {
        if (m_bounds[i].Contains(point))
        {
            return i;
        }
    }
    return -1;
}

void ToolBar::SetHotIndex(int index)
{
    if (m_hotIndex != index)
    {
        m_hotIndex = index;
        Invalidate();
        // In an open menu the highlighted item is where the keyboard is: a screen reader reads it.
        if (index >= 0 && MenuTracker::Instance().IsActive())
        {
            NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, index);
        }
    }
}

void ToolBar::SetOpenIndex(int index)
{
    if (m_openIndex != index)
    {
        m_openIndex = index;
        Invalidate();
    }
}

void ToolBar::PerformItemClick(ToolBarItem* item)
{
    if (item == nullptr || !item->IsEnabled())
    {
        return;
    }
    ToolBar* root = GetRootBar();
    CommandEventArgs args(item);
    root->Click.Raise(root, args);
}

Size ToolBar::GetPreferredSize()
{
    return Size{GetBounds().width, 28};
}

void ToolBar::ComputeLayout(Collections::ArrayList<Rectangle>& bounds)
{
    Rectangle client = GetClientRectangle();
    int size = Scale(ButtonSize);
    int top = (client.height - size) / 2;
    int x = Scale(4);
    FontHandle font = GetFontHandle();
    for (int i = 0; i < m_items.GetCount(); i++)
    {
        ToolBarItem* item = m_items[i];
        if (item->HasSeparator() && i > 0)
        {
            x += Scale(SeparatorWidth);
        }
        int width = size;
        if (item->GetImageIndex() < 0 || GetImageList() == nullptr)
        {
            width = MeasureText(item->GetText(), font).width + Scale(16);
        }
        if (item->GetDropDown() != nullptr)
        {
            width += Scale(ArrowWidth);
        }
        bounds.Add(Rectangle{x, top, width, size});
        x += width + Scale(1);
    }
}

void ToolBar::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    EnsureLayout();
    Rectangle client = GetClientRectangle();
    graphics.FillRectangle(Rectangle{0, client.height - graphics.Scale(1), client.width, graphics.Scale(1)},
                           Theme::Separator());
    for (int i = 0; i < m_items.GetCount(); i++)
    {
        Rectangle bounds = m_bounds[i];
        if (m_items[i]->HasSeparator() && i > 0)
        {
            int x = bounds.left - graphics.Scale(SeparatorWidth + 1) / 2 - graphics.Scale(1);
            graphics.FillRectangle(
                Rectangle{x, bounds.top + graphics.Scale(3), graphics.Scale(1), bounds.height - graphics.Scale(6)},
                Theme::Separator());
        }
        if (bounds.IntersectsWith(clip))
        {
            PaintItem(graphics, i, bounds);
        }
    }
}

void ToolBar::PaintItem(Graphics& graphics, int index, const Rectangle& bounds)
{
    ToolBarItem* item = m_items[index];
    bool enabled = item->IsEnabled() && IsEnabled();
    bool pressed = enabled && (index == m_openIndex || (index == m_pressedIndex && index == m_hotIndex));
    bool hot = enabled && (index == m_hotIndex || index == m_pressedIndex);
    if (pressed)
    {
        graphics.FillRectangle(bounds, Theme::PressedFill());
        graphics.DrawRectangle(bounds, Theme::PressedBorder(), graphics.Scale(1));
    }
    else if (hot)
    {
        graphics.FillRectangle(bounds, Theme::HoverFill());
        graphics.DrawRectangle(bounds, Theme::HoverBorder(), graphics.Scale(1));
    }
    Rectangle content = bounds;
    if (item->GetDropDown() != nullptr)
    {
        int arrow = graphics.Scale(ArrowWidth);
        content.width -= arrow;
        Rectangle arrowBox{content.GetRight(), bounds.top, arrow, bounds.height};
        graphics.DrawChevron(arrowBox.Deflate(graphics.Scale(3), graphics.Scale(6)), Direction::Down,
                             enabled ? Theme::ControlText() : Theme::GrayText());
    }
    ImageList* images = GetImageList();
    if (images != nullptr && item->GetImageIndex() >= 0)
    {
        int size = ImageList::GetImageSize(graphics.GetDpi());
        images->Draw(graphics, item->GetImageIndex(), content.left + (content.width - size) / 2,
                     content.top + (content.height - size) / 2, enabled);
    }
    else
    {
        graphics.DrawString(item->GetText(), content, GetFontHandle(), enabled ? GetForeColor() : Theme::GrayText(),
                            TextFormat::Center | TextFormat::VerticalCenter | TextFormat::SingleLine);
    }
}

void ToolBar::HideToolTip()
{
    if (m_toolTip != nullptr)
    {
        m_toolTip->HideText();
    }
}

void ToolBar::OnMouseMove(const Point& point, int)
{
    int index = HitTest(point);
    if (index == m_hotIndex)
    {
        return;
    }
    SetHotIndex(index);
    String tip = index >= 0 ? m_items[index]->GetToolTipText() : String();
    if (tip.IsEmpty() || IsVertical())
    {
        HideToolTip();
        return;
    }
    if (m_toolTip == nullptr)
    {
        m_toolTip = new ToolTip();
    }
    // Below the button, as the system's toolbars place their tips.
    Rectangle bounds = m_bounds[index];
    POINT below = {bounds.left, bounds.GetBottom()};
    ClientToScreen(GetHandle(), &below);
    POINT cursor;
    GetCursorPos(&cursor);
    m_toolTip->ShowText(this, tip, Point{cursor.x, below.y - GetSystemMetrics(SM_CYCURSOR) * 2 / 3 + Scale(2)}, true);
}

void ToolBar::OnMouseLeave()
{
    SetHotIndex(-1);
    HideToolTip();
}

void ToolBar::OnMouseDown(const Point& point, int button, int)
{
    HideToolTip();
    if (button != MouseButtons::Left)
    {
        return;
    }
    int index = HitTest(point);
    if (index < 0 || !m_items[index]->IsEnabled())
    {
        return;
    }
    if (m_items[index]->HasDropDown())
    {
        ActivateItem(index);
        return;
    }
    m_pressedIndex = index;
    CaptureMouse();
    Invalidate();
}

void ToolBar::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || m_pressedIndex < 0)
    {
        return;
    }
    int pressed = m_pressedIndex;
    m_pressedIndex = -1;
    ReleaseMouse();
    Invalidate();
    if (HitTest(point) == pressed)
    {
        ActivateItem(pressed);
    }
}

void ToolBar::OnCaptureLost()
{
    if (m_pressedIndex >= 0)
    {
        m_pressedIndex = -1;
        Invalidate();
    }
}

void ToolBar::ActivateItem(int index)
{
    ToolBarItem* item = m_items[index];
    if (item->HasDropDown())
    {
        MenuTracker::Instance().OpenBarItem(this, index, false);
        return;
    }
    PerformItemClick(item);
}

// --- Accessibility: a menu bar, an open menu or a tool bar, whose items are menu items or buttons ---

class ToolBarAccessibleObject : public AccessibleObject
{
public:
    explicit ToolBarAccessibleObject(ToolBar& bar) : AccessibleObject(bar), m_bar(bar) {}

    int GetRole() override
    {
        if (IsMenu())
        {
            return m_bar.IsVertical() ? AccessibleRoles::MenuPopup : AccessibleRoles::MenuBar;
        }
        return AccessibleRoles::ToolBar;
    }
    String GetName() override
    {
        if (IsMenu())
        {
            return String(m_bar.IsVertical() ? L"Menu" : L"Application");
        }
        return m_bar.GetText().IsEmpty() ? String(L"Tool bar") : m_bar.GetText();
    }
    int GetItemCount() override { return m_bar.GetButtons().GetCount(); }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        ToolBarItem* button = m_bar.GetButtons()[index];
        item.bounds = m_bar.GetItemBounds(index);
        if (!button->IsEnabled())
        {
            item.state |= AccessibleStates::Unavailable;
        }
        if (index == m_bar.GetHotIndex())
        {
            item.state |=
                AccessibleStates::HotTracked | (MenuTracker::Instance().IsActive() ? AccessibleStates::Focused : 0);
        }
        if (button->HasDropDown())
        {
            item.state |= AccessibleStates::HasPopup;
        }
        if (!IsMenu())
        {
            item.role = AccessibleRoles::PushButton;
            item.name = button->GetToolTipText();
            item.defaultAction = String(L"Press");
            return item;
        }
        // As the system's menus tell them: the shortcut after a tab in the name, the access key on its own.
        item.role = AccessibleRoles::MenuItem;
        item.name = WithoutMnemonic(button->GetText());
        String shortcut = button->GetShortcutText();
        if (!shortcut.IsEmpty())
        {
            item.name += L"\t";
            item.name += shortcut;
        }
        wchar_t mnemonic = button->GetMnemonic();
        if (mnemonic != 0)
        {
            item.keyboardShortcut = m_bar.IsVertical() ? String() : String(L"Alt+");
            item.keyboardShortcut += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(mnemonic)));
        }
        item.defaultAction = String(button->HasDropDown() ? L"Open" : L"Execute");
        return item;
    }
    int HitTestItem(const Point& point) override { return m_bar.HitTest(point); }
    int GetFocusedItem() override { return MenuTracker::Instance().IsActive() ? m_bar.GetHotIndex() : -1; }
    bool DoItemAction(int index) override
    {
        if (!m_bar.GetButtons()[index]->IsEnabled())
        {
            return false;
        }
        m_bar.ActivateItem(index);
        return true;
    }

private:
    bool IsMenu() { return dynamic_cast<MainMenu*>(&m_bar) != nullptr || m_bar.IsVertical(); }

    ToolBar& m_bar;
};

AccessibleObject* ToolBar::CreateAccessibilityObject()
{
    return new ToolBarAccessibleObject(*this);
}

} // namespace Core::Controls
