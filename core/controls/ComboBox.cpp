#include "core/controls/ComboBox.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{
constexpr int ChevronWidth = 20;
} // namespace

// --- DropDown ---

DropDown::DropDown(ComboBox* owner) : m_owner(owner)
{
    SetClassName(String(L"Core.Controls.DropDown"));
    SetWindowType(WindowType::PopupWindow);
}

WindowHandle DropDown::GetOwnerHandle() const
{
    return m_owner->GetTopLevelControl()->GetHandle();
}

void DropDown::GetCreateStyles(uint32_t& style, uint32_t& exStyle) const
{
    ScrollableControl::GetCreateStyles(style, exStyle);
    style |= WS_BORDER;
}

FontHandle DropDown::GetDefaultFontHandle()
{
    return m_owner->GetFontHandle();
}

Color DropDown::GetDefaultBackColor() const
{
    return Theme::Window();
}

int DropDown::GetItemHeight() const
{
    return MeasureLineHeight(m_owner->GetFontHandle(), GetDpi()) + Scale(6);
}

int DropDown::IndexAt(const Point& point) const
{
    Rectangle client = GetClientRectangle();
    if (!client.Contains(point))
    {
        return -1;
    }
    int index = (point.y + GetScrollPosition().y) / GetItemHeight();
    return index < m_owner->GetItems().GetCount() ? index : -1;
}

void DropDown::SetHotIndex(int index)
{
    if (index == m_hotIndex)
    {
        return;
    }
    m_hotIndex = index;
    if (index >= 0)
    {
        int height = GetItemHeight();
        ScrollIntoView(Rectangle{0, index * height, 1, height});
        // A screen reader follows the entry the keys or the mouse move to, as in the system's lists.
        if (GetHandle() != nullptr && IsWindowVisible(static_cast<HWND>(GetHandle())))
        {
            NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, index);
            NotifyAccessibleEvent(*this, EVENT_OBJECT_SELECTION, index);
        }
    }
    Invalidate();
}

// The open list as a screen reader reads it: a list of entries, the one under the keys selected and focused.
class DropDownAccessibleObject : public AccessibleObject
{
public:
    explicit DropDownAccessibleObject(DropDown& list) : AccessibleObject(list), m_list(list) {}

    int GetRole() override { return AccessibleRoles::List; }
    String GetName() override { return m_list.m_owner->GetAccessibilityObject().GetName(); }
    int GetItemCount() override { return m_list.m_owner->GetItems().GetCount(); }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::ListItem;
        item.name = m_list.m_owner->GetItems()[index]->GetText();
        item.state = AccessibleStates::Selectable | AccessibleStates::Focusable;
        if (index == m_list.GetHotIndex())
        {
            item.state |= AccessibleStates::Selected | AccessibleStates::Focused;
        }
        int height = m_list.GetItemHeight();
        item.bounds =
            Rectangle{0, index * height - m_list.GetScrollPosition().y, m_list.GetClientRectangle().width, height};
        if (!m_list.GetClientRectangle().IntersectsWith(item.bounds))
        {
            item.state |= AccessibleStates::Offscreen;
        }
        return item;
    }
    int HitTestItem(const Point& point) override { return m_list.IndexAt(point); }
    int GetFocusedItem() override { return m_list.GetHotIndex(); }
    int GetSelectedItem() override { return m_list.GetHotIndex(); }
    bool DoItemAction(int index) override
    {
        m_list.m_owner->Choose(index);
        return true;
    }

private:
    DropDown& m_list;
};

AccessibleObject* DropDown::CreateAccessibilityObject()
{
    return new DropDownAccessibleObject(*this);
}

void DropDown::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    int height = GetItemHeight();
    int scroll = GetScrollPosition().y;
    int first = (clip.top + scroll) / height;
    int last = (clip.GetBottom() + scroll) / height;
    Rectangle client = GetClientRectangle();
    FontHandle font = GetFontHandle();
    auto& items = m_owner->GetItems();
    for (int i = first; i <= last && i < items.GetCount(); i++)
    {
        Rectangle row{0, i * height - scroll, client.width, height};
        bool hot = i == m_hotIndex;
        if (hot)
        {
            graphics.FillRectangle(row, Theme::Highlight());
        }
        graphics.DrawString(items[i]->GetText(), row.Deflate(graphics.Scale(4), 0), font,
                            hot ? Theme::HighlightText() : Theme::WindowText(),
                            TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix |
                                TextFormat::EndEllipsis);
    }
}

void DropDown::OnMouseMove(const Point& point, int)
{
    int index = IndexAt(point);
    if (index >= 0)
    {
        SetHotIndex(index);
    }
}

void DropDown::OnMouseUp(const Point& point, int button, int)
{
    int index = IndexAt(point);
    if (button == MouseButtons::Left && index >= 0)
    {
        m_owner->Choose(index);
    }
}

intptr_t DropDown::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    if (message == WM_MOUSEACTIVATE)
    {
        return MA_NOACTIVATE;
    }
    return ScrollableControl::WndProc(message, wParam, lParam);
}

// --- ComboBox ---

ComboBox::ComboBox()
    : m_insertedHandler(this, &ComboBox::OnItemInserted), m_removedHandler(this, &ComboBox::OnItemRemoved),
      m_clearedHandler(this, &ComboBox::OnItemsCleared)
{
    SetClassName(String(L"Core.Controls.ComboBox"));
    SetTabStop(true);
    SetSize(150, 23);
    m_items.Inserted.Subscribe(&m_insertedHandler);
    m_items.Removed.Subscribe(&m_removedHandler);
    m_items.Cleared.Subscribe(&m_clearedHandler);
}

ComboBox::~ComboBox()
{
    if (GetMessageFilter() == this)
    {
        SetMessageFilter(nullptr);
    }
    delete m_dropDown;
    m_items.Inserted.Unsubscribe(&m_insertedHandler);
    m_items.Removed.Unsubscribe(&m_removedHandler);
    m_items.Cleared.Unsubscribe(&m_clearedHandler);
}

int ComboBox::AddItem(const String& text, int64_t value)
{
    m_items.Add(new ComboBoxItem(text, value));
    return m_items.GetCount() - 1;
}

void ComboBox::OnItemInserted(Object*, Collections::CollectionEventArgs& args)
{
    if (m_selectedIndex >= args.GetIndex())
    {
        m_selectedIndex++;
    }
    Invalidate();
}

void ComboBox::OnItemRemoved(Object*, Collections::CollectionEventArgs& args)
{
    if (m_selectedIndex == args.GetIndex())
    {
        SetDroppedDown(false);
        m_selectedIndex = -1;
        EventArgs changed;
        SelectedIndexChanged.Raise(this, changed);
    }
    else if (m_selectedIndex > args.GetIndex())
    {
        m_selectedIndex--;
    }
    Invalidate();
}

void ComboBox::OnItemsCleared(Object*, Collections::CollectionEventArgs&)
{
    SetDroppedDown(false);
    if (m_selectedIndex != -1)
    {
        m_selectedIndex = -1;
        EventArgs changed;
        SelectedIndexChanged.Raise(this, changed);
    }
    Invalidate();
}

void ComboBox::SetSelectedIndex(int index)
{
    if (index < -1 || index >= m_items.GetCount())
    {
        throw ArgumentOutOfRangeException(index, String(L"ComboBox.SetSelectedIndex method - index out of range"));
    }
    if (index == m_selectedIndex)
    {
        return;
    }
    m_selectedIndex = index;
    Invalidate();
    NotifyAccessibleEvent(*this, EVENT_OBJECT_VALUECHANGE);
    EventArgs args;
    SelectedIndexChanged.Raise(this, args);
}

ComboBoxItem* ComboBox::GetSelectedItem() const
{
    return m_selectedIndex >= 0 ? m_items[m_selectedIndex] : nullptr;
}

void ComboBox::SetDroppedDown(bool open)
{
    if (open == m_open || (open && GetHandle() == nullptr))
    {
        return;
    }
    if (!open)
    {
        m_open = false;
        if (GetMessageFilter() == this)
        {
            SetMessageFilter(nullptr);
        }
        if (m_dropDown != nullptr)
        {
            m_dropDown->Hide();
        }
        Invalidate();
        return;
    }
    if (m_items.GetCount() == 0)
    {
        return;
    }
    if (m_dropDown == nullptr)
    {
        m_dropDown = new DropDown(this);
    }
    m_dropDown->Create();
    int itemHeight = m_dropDown->GetItemHeight();
    int shown = m_items.GetCount() < m_maxDropDownItems ? m_items.GetCount() : m_maxDropDownItems;
    RECT frame = {0, 0, 0, shown * itemHeight};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_BORDER, FALSE, 0);
    int height = frame.bottom - frame.top;
    RECT combo;
    GetWindowRect(GetHandle(), &combo);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromRect(&combo, MONITOR_DEFAULTTONEAREST), &monitor);
    // Below the box, or above it when the work area ends first.
    int top = combo.bottom;
    if (top + height > monitor.rcWork.bottom && combo.top - height >= monitor.rcWork.top)
    {
        top = combo.top - height;
    }
    m_dropDown->SetDeviceBounds(Rectangle{combo.left, top, combo.right - combo.left, height});
    m_dropDown->SetScrollLineSize(itemHeight, itemHeight);
    m_dropDown->SetScrollSize(Size{0, m_items.GetCount() * itemHeight});
    m_dropDown->SetHotIndex(-1);
    m_dropDown->SetHotIndex(m_selectedIndex >= 0 ? m_selectedIndex : 0);
    m_open = true;
    SetMessageFilter(this);
    m_dropDown->Show();
    SetWindowPos(m_dropDown->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void ComboBox::Choose(int index)
{
    if (index >= 0 && index < m_items.GetCount())
    {
        SetSelectedIndex(index);
    }
    SetDroppedDown(false);
}

bool ComboBox::HandleListKey(int keyData)
{
    int key = keyData & Keys::KeyCode;
    int count = m_items.GetCount();
    int hot = m_dropDown->GetHotIndex();
    int page = m_maxDropDownItems - 1 > 0 ? m_maxDropDownItems - 1 : 1;
    auto move = [this, count](int index)
    {
        m_dropDown->SetHotIndex(index < 0 ? 0 : index >= count ? count - 1 : index);
        return true;
    };
    if ((keyData & Keys::Alt) != 0 && (key == Keys::Up || key == Keys::Down))
    {
        Choose(hot);
        return true;
    }
    switch (key)
    {
    case Keys::Up:
        return move(hot - 1);
    case Keys::Down:
        return move(hot + 1);
    case Keys::PageUp:
        return move(hot - page);
    case Keys::PageDown:
        return move(hot + page);
    case Keys::Home:
        return move(0);
    case Keys::End:
        return move(count - 1);
    case Keys::Return:
    case Keys::F4:
        Choose(hot);
        return true;
    case Keys::Escape:
        SetDroppedDown(false);
        return true;
    case Keys::Tab:
        // Takes the highlighted entry and lets Tab move on.
        Choose(hot);
        return false;
    case Keys::ShiftKey:
    case Keys::ControlKey:
    case Keys::Menu:
        return false;
    default:
        SetDroppedDown(false);
        return false;
    }
}

bool ComboBox::PreFilterMessage(Control* target, unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    {
        int keyData = static_cast<int>(wParam & 0xFFFF) | GetModifierKeys();
        if (message == WM_SYSKEYDOWN && (lParam & (1 << 29)) != 0)
        {
            keyData |= Keys::Alt;
        }
        return HandleListKey(keyData);
    }
    case WM_CHAR:
    case WM_SYSCHAR:
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        if (target == m_dropDown)
        {
            return false;
        }
        // A click anywhere else closes the list and does nothing more; on the box it only closes it.
        SetDroppedDown(false);
        return true;
    case WM_MOUSEWHEEL:
        if (target != m_dropDown)
        {
            SendMessageW(m_dropDown->GetHandle(), message, wParam, lParam);
            return true;
        }
        return false;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
        {
            SetDroppedDown(false);
        }
        return false;
    case WM_ACTIVATEAPP:
    case WM_CANCELMODE:
        SetDroppedDown(false);
        return false;
    case WM_WINDOWPOSCHANGED:
        if (target == GetTopLevelControl())
        {
            SetDroppedDown(false);
        }
        return false;
    default:
        return false;
    }
}

void ComboBox::OnHandleDestroyed()
{
    SetDroppedDown(false);
}

void ComboBox::OnLostFocus()
{
    SetDroppedDown(false);
    Control::OnLostFocus();
}

void ComboBox::OnMouseDown(const Point&, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    Focus();
    SetDroppedDown(!m_open);
}

void ComboBox::OnMouseEnter()
{
    Invalidate();
}

void ComboBox::OnMouseLeave()
{
    Invalidate();
}

bool ComboBox::OnMouseWheel(const Point&, int delta, int)
{
    if (!IsFocused() || m_items.GetCount() == 0)
    {
        return false;
    }
    int next = m_selectedIndex + (delta > 0 ? -1 : 1);
    if (next >= 0 && next < m_items.GetCount())
    {
        SetSelectedIndex(next);
    }
    return true;
}

bool ComboBox::OnKeyDown(int keyData)
{
    int key = keyData & Keys::KeyCode;
    int count = m_items.GetCount();
    if (key == Keys::F4 || ((keyData & Keys::Alt) != 0 && (key == Keys::Down || key == Keys::Up)))
    {
        SetDroppedDown(true);
        return true;
    }
    if (count == 0 || (keyData & (Keys::Alt | Keys::Control)) != 0)
    {
        return false;
    }
    int next = m_selectedIndex;
    switch (key)
    {
    case Keys::Up:
    case Keys::Left:
        next = m_selectedIndex > 0 ? m_selectedIndex - 1 : 0;
        break;
    case Keys::Down:
    case Keys::Right:
        next = m_selectedIndex + 1 < count ? m_selectedIndex + 1 : count - 1;
        break;
    case Keys::Home:
    case Keys::PageUp:
        next = 0;
        break;
    case Keys::End:
    case Keys::PageDown:
        next = count - 1;
        break;
    default:
        return false;
    }
    SetSelectedIndex(next);
    return true;
}

bool ComboBox::OnKeyPress(wchar_t character)
{
    if (character <= L' ' || m_items.GetCount() == 0)
    {
        return false;
    }
    // The next entry (after the selected one, round the end) that starts with the typed character.
    wchar_t wanted = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
        CharUpperW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(static_cast<unsigned short>(character))))));
    int count = m_items.GetCount();
    for (int step = 1; step <= count; step++)
    {
        int index = (m_selectedIndex + step + count) % count;
        const String& text = m_items[index]->GetText();
        if (!text.IsEmpty() && String(text[0], 1).ToUpper()[0] == wanted)
        {
            SetSelectedIndex(index);
            return true;
        }
    }
    return false;
}

void ComboBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    bool enabled = IsEnabled();
    bool hot = enabled && IsMouseInside();
    Color face = !enabled ? Colors::Blend(Theme::ButtonFace(), Theme::Face(), 50)
                 : m_open ? Theme::PressedFill()
                 : hot    ? Theme::HoverFill()
                          : Theme::ButtonFace();
    Color border = !enabled             ? Colors::Blend(Theme::ButtonBorder(), Theme::Face(), 45)
                   : m_open             ? Theme::PressedBorder()
                   : hot || IsFocused() ? Theme::HoverBorder()
                                        : Theme::ButtonBorder();
    graphics.FillRectangle(client, face);
    graphics.DrawRectangle(client, border, graphics.Scale(1));
    int chevron = graphics.Scale(ChevronWidth);
    Rectangle arrow{client.width - chevron, 0, chevron, client.height};
    Color text = enabled ? GetForeColor() : Theme::GrayText();
    graphics.DrawChevron(arrow.Deflate(graphics.Scale(5), graphics.Scale(5)), Direction::Down, text);

    Rectangle textArea{graphics.Scale(3), graphics.Scale(3), client.width - chevron - graphics.Scale(4),
                       client.height - graphics.Scale(6)};
    if (IsFocused() && !m_open && enabled)
    {
        graphics.FillRectangle(textArea, Theme::Highlight());
        text = Theme::HighlightText();
    }
    ComboBoxItem* item = GetSelectedItem();
    if (item != nullptr)
    {
        graphics.DrawString(item->GetText(), textArea.Deflate(graphics.Scale(3), 0), GetFontHandle(), text,
                            TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix |
                                TextFormat::EndEllipsis);
    }
}

} // namespace Core::Controls
