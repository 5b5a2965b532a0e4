#include "core/controls/StatusBar.h"

#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int PanelPadding = 6;
constexpr int GripSize = 16;
// A status text often holds a path (C:\R&D\view.xml): "&" is drawn as itself, and measured so.
constexpr int PanelTextFormat =
    TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix | TextFormat::EndEllipsis;
} // namespace

// --- StatusBarPanel ---

StatusBarPanel::StatusBarPanel(const String& text, StatusBarPanelAutoSize autoSize, int width)
    : m_text(text), m_autoSize(autoSize), m_width(width)
{
}

void StatusBarPanel::Changed()
{
    if (m_owner != nullptr)
    {
        m_owner->PanelChanged();
    }
}

void StatusBarPanel::SetText(const String& text)
{
    m_text = text;
    Changed();
    if (m_owner != nullptr)
    {
        // A screen reader announces "Loading completed. 23 records" from this.
        auto& panels = m_owner->GetPanels();
        for (int i = 0; i < panels.GetCount(); i++)
        {
            if (panels[i] == this)
            {
                NotifyAccessibleEvent(*m_owner, EVENT_OBJECT_NAMECHANGE, i);
            }
        }
    }
}

void StatusBarPanel::SetForeColor(Color color)
{
    m_foreColor = color;
    Changed();
}

void StatusBarPanel::SetAutoSize(StatusBarPanelAutoSize autoSize)
{
    m_autoSize = autoSize;
    Changed();
}

void StatusBarPanel::SetWidth(int width)
{
    m_width = width;
    Changed();
}

// --- StatusBar ---

StatusBar::StatusBar() : m_insertedHandler(this, &StatusBar::OnPanelInserted)
{
    SetHeight(23);
    m_panels.Inserted.Subscribe(&m_insertedHandler);
}

StatusBar::~StatusBar()
{
    delete m_toolTip;
    m_panels.Inserted.Unsubscribe(&m_insertedHandler);
    for (int i = 0; i < m_panels.GetCount(); i++)
    {
        m_panels[i]->m_owner = nullptr;
    }
}

void StatusBar::OnPanelInserted(Object*, Collections::CollectionEventArgs& args)
{
    m_panels[args.GetIndex()]->m_owner = this;
    PanelChanged();
}

StatusBarPanel* StatusBar::AddPanel(const String& text, StatusBarPanelAutoSize autoSize, int width)
{
    auto* panel = new StatusBarPanel(text, autoSize, width);
    m_panels.Add(panel);
    return panel;
}

void StatusBar::PanelChanged()
{
    // Status texts change during long work on the main thread: they are painted now, not later.
    Invalidate();
    Update();
    if (m_tipPanel >= 0 && GetHandle() != nullptr)
    {
        UpdateToolTip(m_tipPanel, true);
    }
}

FontHandle StatusBar::GetDefaultFontHandle()
{
    return Theme::GetFont(Theme::FontKind::Status, GetDpi());
}

bool StatusBar::ShowsGrip() const
{
    Control* top = GetTopLevelControl();
    if (top == this || top->GetHandle() == nullptr)
    {
        return false;
    }
    LONG style = GetWindowLongW(top->GetHandle(), GWL_STYLE);
    if ((style & WS_THICKFRAME) == 0 || IsZoomed(top->GetHandle()))
    {
        return false;
    }
    // Only a bar in the form's bottom-right corner can carry the grip.
    RECT bar;
    RECT client;
    GetWindowRect(GetHandle(), &bar);
    GetClientRect(top->GetHandle(), &client);
    MapWindowPoints(top->GetHandle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    return bar.right >= client.right - 1 && bar.bottom >= client.bottom - 1;
}

Rectangle StatusBar::GetGripBounds() const
{
    Rectangle client = GetClientRectangle();
    int size = Scale(GripSize);
    return Rectangle{client.width - size, client.height - size, size, size};
}

Rectangle StatusBar::GetPanelBounds(int index)
{
    Rectangle client = GetClientRectangle();
    int available = client.width - (ShowsGrip() ? Scale(GripSize) : 0);
    FontHandle font = GetFontHandle();
    int count = m_panels.GetCount();
    int fixed = 0;
    int springs = 0;
    Collections::ArrayList<int> widths(count > 0 ? count : 1);
    for (int i = 0; i < count; i++)
    {
        StatusBarPanel* panel = m_panels[i];
        int width = 0;
        switch (panel->m_autoSize)
        {
        case StatusBarPanelAutoSize::None:
            width = Scale(panel->m_width);
            break;
        case StatusBarPanelAutoSize::Contents:
            width = MeasureText(panel->m_text, font, PanelTextFormat).width + 2 * Scale(PanelPadding);
            break;
        case StatusBarPanelAutoSize::Spring:
            springs++;
            break;
        }
        fixed += width;
        widths.Add(width);
    }
    int spare = available - fixed > 0 ? available - fixed : 0;
    int left = 0;
    for (int i = 0; i < count; i++)
    {
        int width = widths[i];
        if (m_panels[i]->m_autoSize == StatusBarPanelAutoSize::Spring)
        {
            width = spare / springs;
            spare -= width;
            springs--;
        }
        if (i == index)
        {
            return Rectangle{left, 0, width, client.height};
        }
        left += width;
    }
    return Rectangle{left, 0, 0, client.height};
}

String StatusBar::GetCutText(int index)
{
    if (index < 0 || index >= m_panels.GetCount())
    {
        return String();
    }
    const String& text = m_panels[index]->m_text;
    int room = GetPanelBounds(index).width - 2 * Scale(PanelPadding);
    return !text.IsEmpty() && MeasureText(text, GetFontHandle(), PanelTextFormat).width > room ? text : String();
}

void StatusBar::OnMouseMove(const Point& point, int)
{
    int index = -1;
    for (int i = 0; i < m_panels.GetCount() && index < 0; i++)
    {
        if (GetPanelBounds(i).Contains(point))
        {
            index = i;
        }
    }
    if (index != m_tipPanel)
    {
        UpdateToolTip(index, false);
    }
}

void StatusBar::OnMouseLeave()
{
    HideToolTip();
}

void StatusBar::OnMouseDown(const Point&, int, int)
{
    HideToolTip();
}

void StatusBar::HideToolTip()
{
    m_tipPanel = -1;
    if (m_toolTip != nullptr)
    {
        m_toolTip->HideText();
    }
}

void StatusBar::UpdateToolTip(int index, bool refresh)
{
    m_tipPanel = index;
    String text = GetCutText(index);
    if (text.IsEmpty())
    {
        if (m_toolTip != nullptr)
        {
            m_toolTip->HideText();
        }
        return;
    }
    if (refresh && m_toolTip != nullptr && !m_toolTip->GetShownText().IsEmpty())
    {
        m_toolTip->ChangeText(text);
        return;
    }
    if (m_toolTip == nullptr)
    {
        m_toolTip = new ToolTip();
    }
    POINT cursor;
    GetCursorPos(&cursor);
    m_toolTip->ShowText(this, text, Point{cursor.x, cursor.y}, true);
}

void StatusBar::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    graphics.FillRectangle(Rectangle{0, 0, client.width, graphics.Scale(1)}, Theme::Separator());
    FontHandle font = GetFontHandle();
    int padding = graphics.Scale(PanelPadding);
    for (int i = 0; i < m_panels.GetCount(); i++)
    {
        StatusBarPanel* panel = m_panels[i];
        Rectangle bounds = GetPanelBounds(i);
        if (i > 0)
        {
            int inset = graphics.Scale(4);
            graphics.FillRectangle(Rectangle{bounds.left, inset, graphics.Scale(1), client.height - 2 * inset},
                                   Theme::Separator());
        }
        Color color = Colors::IsEmpty(panel->m_foreColor) ? GetForeColor() : panel->m_foreColor;
        Rectangle text{bounds.left + padding, graphics.Scale(1), bounds.width - 2 * padding,
                       client.height - graphics.Scale(1)};
        graphics.DrawString(panel->m_text, text, font, color, PanelTextFormat);
    }
    if (ShowsGrip())
    {
        // Six dots in a triangle, as the system draws the grip.
        Rectangle grip = GetGripBounds();
        int dot = graphics.Scale(2);
        int step = graphics.Scale(4);
        Color shade = Colors::Blend(Theme::ControlText(), Theme::Face(), 45);
        for (int row = 0; row < 3; row++)
        {
            for (int column = 2 - row; column < 3; column++)
            {
                int x = grip.GetRight() - step * (3 - column) + graphics.Scale(1);
                int y = grip.GetBottom() - step * (3 - row) + graphics.Scale(1);
                graphics.FillRectangle(Rectangle{x, y, dot, dot}, shade);
            }
        }
    }
}

intptr_t StatusBar::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_NCHITTEST:
        if (ShowsGrip())
        {
            POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ScreenToClient(GetHandle(), &point);
            if (GetGripBounds().Contains(Point{point.x, point.y}))
            {
                return HTBOTTOMRIGHT;
            }
        }
        break;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTBOTTOMRIGHT)
        {
            // The grip sizes the form, not the bar.
            SendMessageW(GetTopLevelControl()->GetHandle(), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, lParam);
            return 0;
        }
        break;
    case WM_SIZE:
        Invalidate();
        // The text under a resting mouse may be cut now, or fit again.
        if (m_tipPanel >= 0)
        {
            UpdateToolTip(m_tipPanel, true);
        }
        break;
    default:
        break;
    }
    return Control::WndProc(message, wParam, lParam);
}

// --- Accessibility: the panels are the items, named by their whole text ---

namespace
{

class StatusBarAccessibleObject : public AccessibleObject
{
public:
    explicit StatusBarAccessibleObject(StatusBar& bar) : AccessibleObject(bar), m_bar(bar) {}

    int GetRole() override { return AccessibleRoles::StatusBar; }
    String GetName() override { return String(L"Status"); }
    int GetItemCount() override { return m_bar.GetPanels().GetCount(); }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::StaticText;
        item.name = m_bar.GetPanels()[index]->GetText();
        item.state = AccessibleStates::ReadOnly;
        item.bounds = m_bar.GetPanelBounds(index);
        return item;
    }
    int HitTestItem(const Point& point) override
    {
        for (int i = 0; i < m_bar.GetPanels().GetCount(); i++)
        {
            if (m_bar.GetPanelBounds(i).Contains(point))
            {
                return i;
            }
        }
        return -1;
    }

private:
    StatusBar& m_bar;
};

} // namespace

AccessibleObject* StatusBar::CreateAccessibilityObject()
{
    return new StatusBarAccessibleObject(*this);
}

} // namespace Core::Controls
