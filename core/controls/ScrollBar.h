// Self-drawn scroll bars in the look of the current system's: arrow buttons, a track and a thumb whose
// length shows the visible share. The value runs from the minimum to the maximum less the large change
// plus one, so that a bar over a content of maximum + 1 pixels with a view of large-change pixels ends
// where the view shows the content's end. Arrows and the track repeat while held; the thumb drags.
#pragma once

#include "core/controls/Control.h"
#include "core/controls/Graphics.h"

namespace Core::Controls
{

enum class ScrollOrientation
{
    Horizontal,
    Vertical
};

class ScrollBar : public Control
{
public:
    // The parts of a bar, as hit-tested.
    enum class Part
    {
        None,
        LineBack, // the arrow at the left or top
        PageBack, // the track before the thumb
        Thumb,
        PageAhead, // the track after the thumb
        LineAhead  // the arrow at the right or bottom
    };

    explicit ScrollBar(ScrollOrientation orientation);

    ScrollOrientation GetOrientation() const { return m_orientation; }
    int GetMinimum() const { return m_minimum; }
    int GetMaximum() const { return m_maximum; }
    int GetLargeChange() const { return m_largeChange; }
    int GetSmallChange() const { return m_smallChange; }
    int GetValue() const { return m_value; }
    // The largest value: the maximum less the large change plus one, at least the minimum.
    int GetMaximumValue() const;
    // Sets minimum, maximum and large change together and keeps the value inside.
    void SetRange(int minimum, int maximum, int largeChange);
    void SetSmallChange(int smallChange);
    // Clamped; raises no event (Scroll is for the user's moves).
    void SetValue(int value);

    // The bar's thickness at a DPI: the system's width of a vertical bar.
    static int GetThickness(int dpi);
    Part HitTest(const Point& point);
    Rectangle GetPartBounds(Part part);

    // Raised when the user moved the value.
    Event<EventArgs> Scroll;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseDoubleClick(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    void OnTimer(int id) override;
    Color GetDefaultBackColor() const override;

private:
    struct Geometry
    {
        int length;     // along the bar
        int arrow;      // each arrow's length
        int trackStart; // after the first arrow
        int trackLength;
        int thumbStart;
        int thumbLength;
    };
    Geometry Measure() const;
    Rectangle Span(int start, int length) const;
    // Acts for a press on a part; true when the value changed.
    bool Step(Part part);
    void MoveTo(int value);
    void StopRepeating();
    void PaintArrow(Graphics& graphics, Part part, Direction direction);

    ScrollOrientation m_orientation;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_largeChange = 10;
    int m_smallChange = 1;
    int m_value = 0;
    Part m_pressed = Part::None;
    Part m_hot = Part::None;
    // While the thumb is dragged: where it was grabbed, relative to its start.
    int m_grabOffset = 0;
    // Where the mouse holds the track, for the repeats to stop under the pointer.
    Point m_holdPoint;
    bool m_repeating = false;
};

class HScrollBar : public ScrollBar
{
public:
    HScrollBar() : ScrollBar(ScrollOrientation::Horizontal) {}
};

class VScrollBar : public ScrollBar
{
public:
    VScrollBar() : ScrollBar(ScrollOrientation::Vertical) {}
};

} // namespace Core::Controls
