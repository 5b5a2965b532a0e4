// A control whose content can be larger than its client area: it keeps the content's size and the
// scroll position in device pixels, shows the system's scroll bars when they are needed, and scrolls
// by bar, wheel and code. Grids and trees paint their visible part from GetScrollPosition.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class ScrollBar;
class HScrollBar;
class VScrollBar;

class ScrollableControl : public Control
{
public:
    ScrollableControl();
    ~ScrollableControl() override;

    // The content's size in device pixels; a bar appears on a side where it exceeds the client area.
    void SetScrollSize(const Size& contentSize);
    Size GetScrollSize() const { return m_scrollSize; }
    Point GetScrollPosition() const { return m_position; }
    // Clamped to the content; 0, 0 is the top-left.
    void SetScrollPosition(const Point& position);
    void ScrollBy(int dx, int dy);
    // Pixels one arrow click or one wheel line moves.
    void SetScrollLineSize(int horizontal, int vertical);
    // The visible part of the content, in content coordinates.
    Rectangle GetViewRectangle() const;
    // Scrolls so that the content rectangle is visible, as little as possible.
    void ScrollIntoView(const Rectangle& contentRectangle);
    // The part of the client area that shows the content: all of it, less the toolkit's own bars.
    Rectangle GetViewportRectangle() const;
    // The toolkit's own bars (see UseOwnScrollBars), or null.
    ScrollBar* GetHorizontalScrollBar() const;
    ScrollBar* GetVerticalScrollBar() const;

    Event<EventArgs> Scroll;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    void OnResize() override;
    bool OnMouseWheel(const Point& point, int delta, int keys) override;
    // Called after the position changed; the default moves the painted content (or repaints).
    virtual void OnScroll(const Point& oldPosition, const Point& newPosition);
    // In the constructor: the bars are the toolkit's ScrollBar controls, drawn in the toolkit's look, rather
    // than the window's system bars.
    void UseOwnScrollBars();

private:
    class Corner;
    void OnBarScroll(Object* sender, EventArgs& args);
    int CountOwnBars() const;
    void UpdateScrollBars();
    void UpdateOwnScrollBars();
    void HandleScrollMessage(int bar, int request);
    Point Clamp(const Point& position) const;

    Size m_scrollSize;
    Point m_position;
    int m_lineWidth = 16;
    int m_lineHeight = 16;
    int m_wheelRemainder = 0;
    bool m_updatingBars = false;
    HScrollBar* m_horizontalBar = nullptr;           // owned, with UseOwnScrollBars
    VScrollBar* m_verticalBar = nullptr;             // owned
    Control* m_corner = nullptr;                     // owned: fills the square between the two bars
    EventHandler<EventArgs>* m_barHandler = nullptr; // owned
    bool m_showHorizontal = false;
    bool m_showVertical = false;
};

} // namespace Core::Controls
