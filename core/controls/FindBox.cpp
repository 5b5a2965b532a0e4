#include "core/controls/FindBox.h"

#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <algorithm>

namespace Core::Controls
{

namespace
{

// At 96 DPI.
constexpr int Gap = 6;
constexpr int TextBoxWidth = 220;
constexpr int MinimumTextBoxWidth = 60;
constexpr int CloseSize = 20;
constexpr int VerticalPadding = 3;

} // namespace

FindBox::FindBox() : m_textBoxChanged(this, &FindBox::OnTextBoxTextChanged)
{
    SetClassName(String(L"Core.Controls.FindBox"));
    SetSize(480, 30);
    m_label.SetText(String(L"Find:"));
    // Alt+F belongs to the menu bar.
    m_label.SetUseMnemonic(false);
    m_status.SetUseMnemonic(false);
    GetControls().Add(&m_label);
    GetControls().Add(&m_textBox);
    GetControls().Add(&m_status);
    m_textBox.TextChanged.Subscribe(&m_textBoxChanged);
    m_textBox.GetAccessibilityObject().SetName(String(L"Find"));
}

Color FindBox::GetDefaultBackColor() const
{
    return Theme::Face();
}

void FindBox::SetText(const String& text)
{
    // The text box tells the strip, which takes the text over from it.
    m_textBox.SetText(text);
}

void FindBox::OnTextBoxTextChanged(Object*, EventArgs&)
{
    ContainerControl::SetText(m_textBox.GetText());
}

void FindBox::OnTextChanged()
{
    // Only the event: the text box shows the text and tells screen readers of it.
    EventArgs args;
    TextChanged.Raise(this, args);
}

void FindBox::SetStatusText(const String& text)
{
    m_status.SetText(text);
    PerformLayout();
}

void FindBox::Open()
{
    Show();
    m_textBox.Focus();
    m_textBox.SelectAll();
}

void FindBox::Close()
{
    SetText(String());
    SetCloseState(false, false);
    if (GetVisible())
    {
        Hide();
        EventArgs args;
        Closed.Raise(this, args);
    }
}

bool FindBox::ProcessCmdKey(int keyData)
{
    switch (keyData)
    {
    case Keys::Escape:
        if (GetText().IsEmpty())
        {
            Close();
        }
        else
        {
            SetText(String());
        }
        return true;
    case Keys::Return:
    {
        EventArgs args;
        FindNext.Raise(this, args);
        return true;
    }
    case Keys::Shift | Keys::Return:
    {
        EventArgs args;
        FindPrevious.Raise(this, args);
        return true;
    }
    default:
        return ContainerControl::ProcessCmdKey(keyData);
    }
}

// --- Layout and painting ---

int FindBox::TextBoxHeight()
{
    return MeasureLineHeight(GetFontHandle(), GetDpi()) + Scale(8);
}

Size FindBox::GetPreferredSize()
{
    return Size{GetBounds().width, Unscale(TextBoxHeight()) + 2 * VerticalPadding + 1};
}

void FindBox::OnCreate(Object* sender, EventArgs& args)
{
    SetHeight(GetPreferredSize().height);
    ContainerControl::OnCreate(sender, args);
}

void FindBox::OnFontChanged()
{
    ContainerControl::OnFontChanged();
    SetHeight(GetPreferredSize().height);
    PerformLayout();
}

Rectangle FindBox::GetCloseButtonBounds()
{
    Rectangle client = GetClientRectangle();
    int size = Scale(CloseSize);
    return Rectangle{client.width - Scale(Gap) - size, (client.height - size) / 2, size, size};
}

void FindBox::SetExtraControl(Control* control)
{
    if (m_extra != nullptr)
    {
        GetControls().Remove(m_extra);
    }
    m_extra = control;
    if (m_extra != nullptr)
    {
        GetControls().Add(m_extra);
    }
    PerformLayout();
}

void FindBox::OnLayout()
{
    Rectangle client = GetClientRectangle();
    int gap = Scale(Gap);
    int boxHeight = TextBoxHeight();
    int top = (client.height - boxHeight) / 2;
    int left = gap;
    int labelWidth = Scale(m_label.GetPreferredSize().width);
    m_label.SetDeviceBounds(Rectangle{left, top, labelWidth, boxHeight});
    left += labelWidth + gap / 2;
    // In a narrow strip (over the tree) the text box gives way, so that the count and the close button stay.
    int statusRight = GetCloseButtonBounds().left - gap;
    if (m_extra != nullptr)
    {
        int extraWidth = Scale(m_extra->GetPreferredSize().width);
        m_extra->SetDeviceBounds(Rectangle{statusRight - extraWidth, top, extraWidth, boxHeight});
        statusRight -= extraWidth + gap;
    }
    int statusWidth = m_status.GetText().IsEmpty() ? 0 : Scale(m_status.GetPreferredSize().width) + gap;
    int boxWidth =
        std::max(Scale(MinimumTextBoxWidth), std::min(Scale(TextBoxWidth), statusRight - left - statusWidth));
    m_textBox.SetDeviceBounds(Rectangle{left, top, boxWidth, boxHeight});
    left += boxWidth + gap;
    m_status.SetDeviceBounds(Rectangle{left, top, statusRight > left ? statusRight - left : 0, boxHeight});
}

void FindBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    int one = graphics.Scale(1);
    // The edge towards the view the strip is docked to.
    if (GetDock() == DockStyle::Bottom)
    {
        graphics.FillRectangle(Rectangle{0, 0, client.width, one}, Theme::Separator());
    }
    else if (GetDock() == DockStyle::Top)
    {
        graphics.FillRectangle(Rectangle{0, client.height - one, client.width, one}, Theme::Separator());
    }
    Rectangle button = GetCloseButtonBounds();
    if (m_closePressed)
    {
        graphics.FillRectangle(button, Theme::PressedFill());
        graphics.DrawRectangle(button, Theme::PressedBorder(), one);
    }
    else if (m_closeHot)
    {
        graphics.FillRectangle(button, Theme::HoverFill());
        graphics.DrawRectangle(button, Theme::HoverBorder(), one);
    }
    // A cross of two strokes, a little under half the button's size.
    int arm = button.width * 2 / 9;
    Point center{button.left + button.width / 2, button.top + button.height / 2};
    Color ink = IsEnabled() ? Theme::ControlText() : Theme::GrayText();
    graphics.DrawLine(Point{center.x - arm, center.y - arm}, Point{center.x + arm + 1, center.y + arm + 1}, ink, one);
    graphics.DrawLine(Point{center.x - arm, center.y + arm}, Point{center.x + arm + 1, center.y - arm - 1}, ink, one);
}

// --- Mouse: the close button ---

void FindBox::SetCloseState(bool hot, bool pressed)
{
    if (hot != m_closeHot || pressed != m_closePressed)
    {
        m_closeHot = hot;
        m_closePressed = pressed;
        Invalidate(GetCloseButtonBounds());
    }
}

void FindBox::OnMouseDown(const Point& point, int button, int)
{
    if (button == MouseButtons::Left && GetCloseButtonBounds().Contains(point))
    {
        SetCloseState(true, true);
        CaptureMouse();
    }
}

void FindBox::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || !HasMouseCapture())
    {
        return;
    }
    ReleaseMouse();
    bool inside = GetCloseButtonBounds().Contains(point);
    SetCloseState(inside, false);
    if (inside)
    {
        Close();
    }
}

void FindBox::OnMouseMove(const Point& point, int)
{
    // While the button is held, it shows pressed only with the mouse on it.
    bool inside = GetCloseButtonBounds().Contains(point);
    SetCloseState(inside, HasMouseCapture() && inside);
}

void FindBox::OnMouseLeave()
{
    if (!HasMouseCapture())
    {
        SetCloseState(false, false);
    }
}

void FindBox::OnCaptureLost()
{
    SetCloseState(false, false);
}

// --- Accessibility: a tool bar named "Find" whose one item is the close button; the label, the text box
// (an edit named "Find") and the status text follow as its child windows. ---

namespace
{

class FindBoxAccessibleObject : public AccessibleObject
{
public:
    explicit FindBoxAccessibleObject(FindBox& box) : AccessibleObject(box), m_box(box) { SetName(String(L"Find")); }

    int GetRole() override { return AccessibleRoles::ToolBar; }
    int GetItemCount() override { return 1; }
    AccessibleItem GetItem(int) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::PushButton;
        item.name = String(L"Close");
        item.keyboardShortcut = String(L"Esc");
        item.defaultAction = String(L"Press");
        item.bounds = m_box.GetCloseButtonBounds();
        return item;
    }
    int HitTestItem(const Point& point) override { return m_box.GetCloseButtonBounds().Contains(point) ? 0 : -1; }
    bool DoItemAction(int) override
    {
        m_box.Close();
        return true;
    }

private:
    FindBox& m_box;
};

} // namespace

AccessibleObject* FindBox::CreateAccessibilityObject()
{
    return new FindBoxAccessibleObject(*this);
}

} // namespace Core::Controls
