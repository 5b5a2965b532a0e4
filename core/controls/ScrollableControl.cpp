#include "core/controls/ScrollableControl.h"

#include "core/controls/Graphics.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

// The square where a horizontal and a vertical bar meet.
class ScrollableControl::Corner : public Control
{
public:
    Corner() { SetClassName(String(L"Core.Controls.ScrollCorner")); }

protected:
    Color GetDefaultBackColor() const override { return Theme::Face(); }
};

ScrollableControl::ScrollableControl()
{
    SetClassName(String(L"Core.Controls.ScrollableControl"));
}

ScrollableControl::~ScrollableControl()
{
    delete m_horizontalBar;
    delete m_verticalBar;
    delete m_corner;
    delete m_barHandler;
}

void ScrollableControl::UseOwnScrollBars()
{
    if (m_horizontalBar != nullptr)
    {
        return;
    }
    m_barHandler = new MemberEventHandler<ScrollableControl, EventArgs>(this, &ScrollableControl::OnBarScroll);
    m_horizontalBar = new HScrollBar();
    m_verticalBar = new VScrollBar();
    m_corner = new Corner();
    for (Control* part : {static_cast<Control*>(m_horizontalBar), static_cast<Control*>(m_verticalBar), m_corner})
    {
        part->SetVisible(false);
        GetControls().Add(part);
    }
    m_horizontalBar->Scroll.Subscribe(m_barHandler);
    m_verticalBar->Scroll.Subscribe(m_barHandler);
}

ScrollBar* ScrollableControl::GetHorizontalScrollBar() const
{
    return m_horizontalBar;
}

ScrollBar* ScrollableControl::GetVerticalScrollBar() const
{
    return m_verticalBar;
}

int ScrollableControl::CountOwnBars() const
{
    return m_horizontalBar != nullptr ? 3 : 0;
}

void ScrollableControl::OnBarScroll(Object* sender, EventArgs&)
{
    if (sender == m_verticalBar)
    {
        SetScrollPosition(Point{m_position.x, m_verticalBar->GetValue()});
    }
    else if (sender == m_horizontalBar)
    {
        SetScrollPosition(Point{m_horizontalBar->GetValue(), m_position.y});
    }
}

Rectangle ScrollableControl::GetViewportRectangle() const
{
    Rectangle client = GetClientRectangle();
    if (m_horizontalBar == nullptr)
    {
        return client;
    }
    int thickness = ScrollBar::GetThickness(m_dpi);
    int width = client.width - (m_showVertical ? thickness : 0);
    int height = client.height - (m_showHorizontal ? thickness : 0);
    return Rectangle{0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
}

void ScrollableControl::SetScrollSize(const Size& contentSize)
{
    m_scrollSize = Size{contentSize.width < 0 ? 0 : contentSize.width, contentSize.height < 0 ? 0 : contentSize.height};
    UpdateScrollBars();
    SetScrollPosition(m_position);
}

void ScrollableControl::SetScrollLineSize(int horizontal, int vertical)
{
    m_lineWidth = horizontal > 0 ? horizontal : 1;
    m_lineHeight = vertical > 0 ? vertical : 1;
}

Point ScrollableControl::Clamp(const Point& position) const
{
    Rectangle client = GetViewportRectangle();
    int maxX = m_scrollSize.width - client.width;
    int maxY = m_scrollSize.height - client.height;
    Point result = position;
    result.x = result.x > maxX ? maxX : result.x;
    result.y = result.y > maxY ? maxY : result.y;
    result.x = result.x < 0 ? 0 : result.x;
    result.y = result.y < 0 ? 0 : result.y;
    return result;
}

void ScrollableControl::SetScrollPosition(const Point& position)
{
    Point clamped = Clamp(position);
    if (clamped == m_position)
    {
        return;
    }
    Point old = m_position;
    m_position = clamped;
    if (m_horizontalBar != nullptr)
    {
        m_horizontalBar->SetValue(m_position.x);
        m_verticalBar->SetValue(m_position.y);
    }
    else if (m_handle != nullptr)
    {
        SetScrollPos(m_handle, SB_HORZ, m_position.x, TRUE);
        SetScrollPos(m_handle, SB_VERT, m_position.y, TRUE);
    }
    OnScroll(old, m_position);
    EventArgs args;
    Scroll.Raise(this, args);
}

void ScrollableControl::ScrollBy(int dx, int dy)
{
    SetScrollPosition(Point{m_position.x + dx, m_position.y + dy});
}

Rectangle ScrollableControl::GetViewRectangle() const
{
    Rectangle client = GetViewportRectangle();
    return Rectangle{m_position.x, m_position.y, client.width, client.height};
}

void ScrollableControl::ScrollIntoView(const Rectangle& contentRectangle)
{
    Rectangle view = GetViewRectangle();
    Point target = m_position;
    if (contentRectangle.GetRight() > view.GetRight())
    {
        target.x = contentRectangle.GetRight() - view.width;
    }
    if (contentRectangle.left < target.x)
    {
        target.x = contentRectangle.left;
    }
    if (contentRectangle.GetBottom() > view.GetBottom())
    {
        target.y = contentRectangle.GetBottom() - view.height;
    }
    if (contentRectangle.top < target.y)
    {
        target.y = contentRectangle.top;
    }
    SetScrollPosition(target);
}

void ScrollableControl::OnScroll(const Point& oldPosition, const Point& newPosition)
{
    if (m_handle == nullptr)
    {
        return;
    }
    if (GetControls().GetCount() > CountOwnBars())
    {
        PerformLayout();
        Invalidate();
        return;
    }
    // Moves what is already painted and repaints only the strip that comes into view.
    Rectangle viewport = GetViewportRectangle();
    RECT area = {0, 0, viewport.width, viewport.height};
    ScrollWindowEx(m_handle, oldPosition.x - newPosition.x, oldPosition.y - newPosition.y, &area, &area, nullptr,
                   nullptr, SW_INVALIDATE);
}

void ScrollableControl::UpdateOwnScrollBars()
{
    Rectangle client = GetClientRectangle();
    int thickness = ScrollBar::GetThickness(m_dpi);
    // One bar narrows the room of the other: decide the vertical one again once the horizontal one is known.
    bool vertical = m_scrollSize.height > client.height;
    bool horizontal = m_scrollSize.width > client.width - (vertical ? thickness : 0);
    vertical = m_scrollSize.height > client.height - (horizontal ? thickness : 0);
    m_showHorizontal = horizontal;
    m_showVertical = vertical;
    Rectangle viewport = GetViewportRectangle();
    m_verticalBar->SetRange(0, m_scrollSize.height > 0 ? m_scrollSize.height - 1 : 0, viewport.height);
    m_verticalBar->SetSmallChange(m_lineHeight);
    m_verticalBar->SetValue(m_position.y);
    m_horizontalBar->SetRange(0, m_scrollSize.width > 0 ? m_scrollSize.width - 1 : 0, viewport.width);
    m_horizontalBar->SetSmallChange(m_lineWidth);
    m_horizontalBar->SetValue(m_position.x);
    if (vertical)
    {
        m_verticalBar->SetDeviceBounds(Rectangle{viewport.width, 0, thickness, viewport.height});
    }
    if (horizontal)
    {
        m_horizontalBar->SetDeviceBounds(Rectangle{0, viewport.height, viewport.width, thickness});
    }
    if (vertical && horizontal)
    {
        m_corner->SetDeviceBounds(Rectangle{viewport.width, viewport.height, thickness, thickness});
    }
    m_verticalBar->SetVisible(vertical);
    m_horizontalBar->SetVisible(horizontal);
    m_corner->SetVisible(vertical && horizontal);
}

void ScrollableControl::UpdateScrollBars()
{
    if (m_handle == nullptr || m_updatingBars)
    {
        return;
    }
    if (m_horizontalBar != nullptr)
    {
        m_updatingBars = true;
        UpdateOwnScrollBars();
        m_updatingBars = false;
        return;
    }
    m_updatingBars = true;
    // Showing one bar narrows the client area and can make the other one necessary: repeat until the
    // client area stays as it is (three rounds at most: each bar appears once).
    for (int round = 0; round < 3; round++)
    {
        Rectangle client = GetClientRectangle();
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = m_scrollSize.width > 0 ? m_scrollSize.width - 1 : 0;
        info.nPage = static_cast<UINT>(client.width > 0 ? client.width : 0);
        info.nPos = m_position.x;
        SetScrollInfo(m_handle, SB_HORZ, &info, TRUE);
        info.nMax = m_scrollSize.height > 0 ? m_scrollSize.height - 1 : 0;
        info.nPage = static_cast<UINT>(client.height > 0 ? client.height : 0);
        info.nPos = m_position.y;
        SetScrollInfo(m_handle, SB_VERT, &info, TRUE);
        if (GetClientRectangle() == client)
        {
            break;
        }
    }
    m_updatingBars = false;
}

void ScrollableControl::OnResize()
{
    UpdateScrollBars();
    SetScrollPosition(m_position);
    Control::OnResize();
}

void ScrollableControl::HandleScrollMessage(int bar, int request)
{
    Rectangle client = GetViewportRectangle();
    bool vertical = bar == SB_VERT;
    int line = vertical ? m_lineHeight : m_lineWidth;
    int page = vertical ? client.height : client.width;
    int position = vertical ? m_position.y : m_position.x;
    int content = vertical ? m_scrollSize.height : m_scrollSize.width;
    switch (request)
    {
    case SB_LINEUP:
        position -= line;
        break;
    case SB_LINEDOWN:
        position += line;
        break;
    case SB_PAGEUP:
        position -= page > line ? page - line : line;
        break;
    case SB_PAGEDOWN:
        position += page > line ? page - line : line;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = content;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
    {
        // The 32-bit track position: the message's own field holds only 16 bits.
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(m_handle, bar, &info);
        position = info.nTrackPos;
        break;
    }
    default:
        return;
    }
    SetScrollPosition(vertical ? Point{m_position.x, position} : Point{position, m_position.y});
}

bool ScrollableControl::OnMouseWheel(const Point&, int delta, int keys)
{
    bool horizontal = (keys & Keys::Shift) != 0;
    int content = horizontal ? m_scrollSize.width : m_scrollSize.height;
    Rectangle client = GetViewportRectangle();
    if (content <= (horizontal ? client.width : client.height))
    {
        return false;
    }
    UINT linesPerNotch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
    // Fine-grained wheels send fractions of a notch; keep the rest for the next message.
    m_wheelRemainder += delta;
    int notches = m_wheelRemainder / WHEEL_DELTA;
    m_wheelRemainder -= notches * WHEEL_DELTA;
    int lines = linesPerNotch == WHEEL_PAGESCROLL
                    ? (horizontal ? client.width : client.height) / (horizontal ? m_lineWidth : m_lineHeight)
                    : static_cast<int>(linesPerNotch);
    int distance = -notches * lines * (horizontal ? m_lineWidth : m_lineHeight);
    if (horizontal)
    {
        ScrollBy(distance, 0);
    }
    else
    {
        ScrollBy(0, distance);
    }
    return true;
}

intptr_t ScrollableControl::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_VSCROLL:
        HandleScrollMessage(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        HandleScrollMessage(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_CREATE:
    {
        intptr_t result = Control::WndProc(message, wParam, lParam);
        UpdateScrollBars();
        return result;
    }
    default:
        return Control::WndProc(message, wParam, lParam);
    }
}

} // namespace Core::Controls
