#include "core/controls/MenuTracker.h"

#include "core/controls/Accessibility.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolBarDropDown.h"

#include <windows.h>
#include <windowsx.h>

namespace Core::Controls
{

namespace
{

Rectangle ScreenRectangle(Control* control, const Rectangle& client)
{
    POINT corner = {client.left, client.top};
    ClientToScreen(control->GetHandle(), &corner);
    return Rectangle{corner.x, corner.y, client.width, client.height};
}

bool WindowContains(Control* control, const Point& screenPoint)
{
    if (control->GetHandle() == nullptr || !IsWindowVisible(control->GetHandle()))
    {
        return false;
    }
    RECT rect;
    GetWindowRect(control->GetHandle(), &rect);
    return screenPoint.x >= rect.left && screenPoint.x < rect.right && screenPoint.y >= rect.top &&
           screenPoint.y < rect.bottom;
}

} // namespace

MenuTracker& MenuTracker::Instance()
{
    static MenuTracker tracker;
    return tracker;
}

void MenuTracker::Activate(WindowHandle window)
{
    m_window = window;
    m_active = true;
    Control::SetMessageFilter(this);
    // Screen readers announce menu mode as they do for the system's menus.
    NotifyWinEvent(EVENT_SYSTEM_MENUSTART, static_cast<HWND>(m_bar != nullptr ? m_bar->GetHandle() : window),
                   OBJID_CLIENT, CHILDID_SELF);
}

void MenuTracker::Close()
{
    bool wasActive = m_active;
    CloseLevels(0);
    if (m_bar != nullptr)
    {
        m_bar->SetOpenIndex(-1);
        m_bar->SetHotIndex(-1);
    }
    if (wasActive)
    {
        NotifyWinEvent(EVENT_SYSTEM_MENUEND, static_cast<HWND>(m_bar != nullptr ? m_bar->GetHandle() : m_window),
                       OBJID_CLIENT, CHILDID_SELF);
    }
    m_bar = nullptr;
    m_active = false;
    m_window = nullptr;
    if (Control::GetMessageFilter() == this)
    {
        Control::SetMessageFilter(nullptr);
    }
}

void MenuTracker::Forget(ToolBar* bar)
{
    if (!m_active)
    {
        return;
    }
    if (bar == m_bar || LevelOf(bar) >= 0)
    {
        Close();
    }
}

int MenuTracker::LevelOf(ToolBar* bar) const
{
    for (int i = 0; i < m_depth; i++)
    {
        if (m_levels[i] == bar)
        {
            return i;
        }
    }
    return -1;
}

void MenuTracker::CloseLevels(int fromLevel)
{
    while (m_depth > fromLevel)
    {
        ToolBarDropDown* dropDown = m_levels[--m_depth];
        m_levels[m_depth] = nullptr;
        dropDown->SetHotIndex(-1);
        dropDown->SetOpenIndex(-1);
        if (dropDown->GetHandle() != nullptr)
        {
            NotifyAccessibleEvent(*dropDown, EVENT_SYSTEM_MENUPOPUPEND);
            dropDown->Hide();
        }
    }
    if (fromLevel > 0)
    {
        m_levels[fromLevel - 1]->SetOpenIndex(-1);
    }
    else if (m_bar != nullptr)
    {
        m_bar->SetOpenIndex(-1);
    }
}

int MenuTracker::NextEnabled(ToolBar* bar, int from, int step)
{
    auto& items = bar->GetButtons();
    int count = items.GetCount();
    for (int i = 1; i <= count; i++)
    {
        int index = ((from + step * i) % count + count) % count;
        if (items[index]->IsEnabled())
        {
            return index;
        }
    }
    return -1;
}

void MenuTracker::EnterBar(ToolBar* bar, int index)
{
    Close();
    m_bar = bar;
    Activate(bar->GetTopLevelControl()->GetHandle());
    bar->SetHotIndex(index);
}

void MenuTracker::OpenBarItem(ToolBar* bar, int index, bool selectFirst)
{
    if (m_bar != bar || !m_active)
    {
        Close();
        m_bar = bar;
        Activate(bar->GetTopLevelControl()->GetHandle());
    }
    CloseLevels(0);
    bar->SetHotIndex(index);
    ToolBarItem* item = bar->GetButtons()[index];
    if (!item->IsEnabled())
    {
        return;
    }
    if (!item->HasDropDown())
    {
        Choose(bar, -1, index);
        return;
    }
    bar->SetOpenIndex(index);
    ShowLevel(item->GetDropDown(), ScreenRectangle(bar, bar->GetItemBounds(index)), bar->IsVertical(), selectFirst);
}

void MenuTracker::ShowContextMenu(ContextMenu* menu, Control* owner, const Point& screenPoint)
{
    Close();
    Activate(owner->GetTopLevelControl()->GetHandle());
    ShowLevel(menu, Rectangle{screenPoint.x, screenPoint.y, 0, 0}, false, false);
}

void MenuTracker::ShowLevel(ToolBarDropDown* dropDown, const Rectangle& anchor, bool besides, bool selectFirst)
{
    if (m_depth >= MaximumDepth)
    {
        return;
    }
    dropDown->m_ownerWindow = m_window;
    dropDown->Create();
    Size size = dropDown->MeasurePopup();
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    RECT anchorRect = {anchor.left, anchor.top, anchor.GetRight(), anchor.GetBottom()};
    GetMonitorInfoW(MonitorFromRect(&anchorRect, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT work = monitor.rcWork;
    int x;
    int y;
    if (besides)
    {
        // A submenu opens right of its item, or left of the menu when the screen ends.
        x = anchor.GetRight();
        y = anchor.top - dropDown->Scale(4);
        if (x + size.width > work.right)
        {
            x = anchor.left - size.width;
        }
    }
    else
    {
        // Below the bar item (or the point), or above it when the screen ends.
        x = anchor.left;
        y = anchor.GetBottom();
        if (y + size.height > work.bottom && anchor.top - size.height >= work.top)
        {
            y = anchor.top - size.height;
        }
        if (x + size.width > work.right)
        {
            x = work.right - size.width;
        }
    }
    if (y + size.height > work.bottom)
    {
        y = work.bottom - size.height;
    }
    x = x < work.left ? work.left : x;
    y = y < work.top ? work.top : y;
    dropDown->SetDeviceBounds(Rectangle{x, y, size.width, size.height});
    dropDown->SetHotIndex(selectFirst ? NextEnabled(dropDown, -1, 1) : -1);
    dropDown->SetOpenIndex(-1);
    m_levels[m_depth++] = dropDown;
    dropDown->Show();
    SetWindowPos(dropDown->GetHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    dropDown->Update();
    NotifyAccessibleEvent(*dropDown, EVENT_SYSTEM_MENUPOPUPSTART);
}

void MenuTracker::OpenSubmenu(int level, int index, bool selectFirst)
{
    ToolBarDropDown* container = m_levels[level];
    CloseLevels(level + 1);
    container->SetHotIndex(index);
    ToolBarItem* item = container->GetButtons()[index];
    if (!item->IsEnabled() || !item->HasDropDown())
    {
        return;
    }
    container->SetOpenIndex(index);
    ShowLevel(item->GetDropDown(), ScreenRectangle(container, container->GetItemBounds(index)), true, selectFirst);
}

void MenuTracker::Choose(ToolBar* container, int level, int index)
{
    ToolBarItem* item = container->GetButtons()[index];
    if (!item->IsEnabled())
    {
        return;
    }
    if (item->HasDropDown())
    {
        if (level >= 0)
        {
            OpenSubmenu(level, index, true);
        }
        return;
    }
    // Everything closes before the command runs: it may open a dialog.
    ToolBar* root = container->GetRootBar();
    Close();
    root->PerformItemClick(item);
}

bool MenuTracker::HandleKey(int keyData)
{
    int key = keyData & Keys::KeyCode;
    if (key == Keys::ShiftKey || key == Keys::ControlKey)
    {
        return true;
    }
    if (key == Keys::Menu || key == Keys::F10)
    {
        Close();
        return true;
    }
    return m_depth == 0 ? HandleBarKey(key) : HandleMenuKey(key);
}

bool MenuTracker::HandleBarKey(int key)
{
    // The bar alone, highlighted by the keyboard.
    if (m_bar == nullptr)
    {
        Close();
        return false;
    }
    int hot = m_bar->GetHotIndex();
    switch (key)
    {
    case Keys::Left:
        m_bar->SetHotIndex(NextEnabled(m_bar, hot, -1));
        return true;
    case Keys::Right:
        m_bar->SetHotIndex(NextEnabled(m_bar, hot, 1));
        return true;
    case Keys::Down:
    case Keys::Up:
    case Keys::Return:
        if (hot >= 0)
        {
            OpenBarItem(m_bar, hot, true);
        }
        return true;
    case Keys::Escape:
        Close();
        return true;
    default:
        break;
    }
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    {
        for (int i = 0; i < m_bar->GetButtons().GetCount(); i++)
        {
            if (m_bar->GetButtons()[i]->GetMnemonic() == key && m_bar->GetButtons()[i]->IsEnabled())
            {
                OpenBarItem(m_bar, i, true);
                return true;
            }
        }
    }
    return true;
}

bool MenuTracker::HandleMenuKey(int key)
{
    int level = m_depth - 1;
    ToolBarDropDown* top = m_levels[level];
    int hot = top->GetHotIndex();
    switch (key)
    {
    case Keys::Up:
        top->SetHotIndex(NextEnabled(top, hot < 0 ? 0 : hot, -1));
        CloseLevels(level + 1);
        return true;
    case Keys::Down:
        top->SetHotIndex(NextEnabled(top, hot, 1));
        CloseLevels(level + 1);
        return true;
    case Keys::Home:
        top->SetHotIndex(NextEnabled(top, -1, 1));
        return true;
    case Keys::End:
        top->SetHotIndex(NextEnabled(top, 0, -1));
        return true;
    case Keys::Right:
        if (hot >= 0 && top->GetButtons()[hot]->HasDropDown() && top->GetButtons()[hot]->IsEnabled())
        {
            OpenSubmenu(level, hot, true);
        }
        else if (m_bar != nullptr && !m_bar->IsVertical())
        {
            OpenBarItem(m_bar, NextEnabled(m_bar, m_bar->GetOpenIndex(), 1), true);
        }
        return true;
    case Keys::Left:
        if (level > 0)
        {
            CloseLevels(level);
        }
        else if (m_bar != nullptr && !m_bar->IsVertical())
        {
            OpenBarItem(m_bar, NextEnabled(m_bar, m_bar->GetOpenIndex(), -1), true);
        }
        return true;
    case Keys::Return:
        if (hot >= 0)
        {
            Choose(top, level, hot);
        }
        return true;
    case Keys::Escape:
        if (level > 0)
        {
            CloseLevels(level);
        }
        else if (m_bar != nullptr)
        {
            // Back to the bar, its item still highlighted.
            int open = m_bar->GetOpenIndex();
            CloseLevels(0);
            m_bar->SetHotIndex(open);
        }
        else
        {
            Close();
        }
        return true;
    default:
        return ChooseByMnemonic(top, level, key);
    }
}

bool MenuTracker::ChooseByMnemonic(ToolBarDropDown* menu, int level, int key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    {
        auto& items = menu->GetButtons();
        for (int i = 0; i < items.GetCount(); i++)
        {
            if (items[i]->GetMnemonic() == key && items[i]->IsEnabled())
            {
                menu->SetHotIndex(i);
                Choose(menu, level, i);
                return true;
            }
        }
    }
    return true;
}

bool MenuTracker::HitTest(const Point& screenPoint, ToolBar*& bar, int& index) const
{
    for (int i = m_depth - 1; i >= 0; i--)
    {
        if (WindowContains(m_levels[i], screenPoint))
        {
            POINT client = {screenPoint.x, screenPoint.y};
            ScreenToClient(m_levels[i]->GetHandle(), &client);
            bar = m_levels[i];
            index = m_levels[i]->HitTest(Point{client.x, client.y});
            return true;
        }
    }
    if (m_bar != nullptr && WindowContains(m_bar, screenPoint))
    {
        POINT client = {screenPoint.x, screenPoint.y};
        ScreenToClient(m_bar->GetHandle(), &client);
        bar = m_bar;
        index = m_bar->HitTest(Point{client.x, client.y});
        return true;
    }
    return false;
}

void MenuTracker::Hover(ToolBar* bar, int index)
{
    if (bar == m_bar)
    {
        if (index < 0)
        {
            return;
        }
        if (m_depth > 0 && index != m_bar->GetOpenIndex())
        {
            OpenBarItem(m_bar, index, false);
        }
        else if (m_depth == 0)
        {
            m_bar->SetHotIndex(index);
        }
        return;
    }
    int level = LevelOf(bar);
    if (level < 0 || index < 0)
    {
        return;
    }
    ToolBarDropDown* dropDown = m_levels[level];
    if (dropDown->GetHotIndex() == index && (level + 1 < m_depth || !dropDown->GetButtons()[index]->HasDropDown()))
    {
        return;
    }
    ToolBarItem* item = dropDown->GetButtons()[index];
    if (item->HasDropDown() && item->IsEnabled())
    {
        if (dropDown->GetOpenIndex() != index)
        {
            OpenSubmenu(level, index, false);
        }
    }
    else
    {
        CloseLevels(level + 1);
        dropDown->SetHotIndex(index);
    }
}

bool MenuTracker::PreFilterMessage(Control* target, unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    auto screenPoint = [target, lParam]()
    {
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(target->GetHandle(), &point);
        return Point{point.x, point.y};
    };
    ToolBar* bar = nullptr;
    int index = -1;
    switch (message)
    {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return FilterKeyDown(message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_MOUSEWHEEL:
        return true;
    case WM_MOUSEMOVE:
        if (HitTest(screenPoint(), bar, index))
        {
            Hover(bar, index);
            return true;
        }
        return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return FilterButtonDown(screenPoint());
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (HitTest(screenPoint(), bar, index))
        {
            if (bar != m_bar && index >= 0)
            {
                Choose(bar, LevelOf(bar), index);
            }
            return true;
        }
        return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_CANCELMODE:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_WINDOWPOSCHANGED:
        if (EndsTheMenus(target, message, wParam))
        {
            Close();
        }
        return false;
    default:
        return false;
    }
}

bool MenuTracker::FilterKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    int keyData = static_cast<int>(wParam & 0xFFFF) | Control::GetModifierKeys();
    if (message == WM_SYSKEYDOWN && (lParam & (1 << 29)) != 0)
    {
        keyData |= Keys::Alt;
    }
    // Alt+F4 still closes the window, after the menus.
    if ((keyData & Keys::KeyCode) == Keys::F4 && (keyData & Keys::Alt) != 0)
    {
        Close();
        return false;
    }
    return HandleKey(keyData);
}

bool MenuTracker::FilterButtonDown(const Point& screenPoint)
{
    ToolBar* bar = nullptr;
    int index = -1;
    if (!HitTest(screenPoint, bar, index))
    {
        // A click elsewhere closes the menus and does nothing more.
        Close();
        return true;
    }
    if (bar == m_bar && index >= 0)
    {
        if (index == m_bar->GetOpenIndex())
        {
            Close();
        }
        else
        {
            OpenBarItem(m_bar, index, false);
        }
    }
    else if (bar != m_bar && index >= 0)
    {
        Hover(bar, index);
    }
    return true;
}

bool MenuTracker::EndsTheMenus(Control* target, unsigned int message, uintptr_t wParam) const
{
    switch (message)
    {
    case WM_ACTIVATE:
        return LOWORD(wParam) == WA_INACTIVE;
    case WM_ACTIVATEAPP:
        return !wParam;
    case WM_WINDOWPOSCHANGED:
        return target->GetHandle() == m_window;
    default:
        return true; // a click on a frame, or the system cancelling modes
    }
}

} // namespace Core::Controls
