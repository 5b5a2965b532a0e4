#include "core/controls/ScrollBar.h"

#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int RepeatTimer = 1;
// The system's rhythm of a held arrow: a pause, then steady steps.
constexpr int FirstRepeatDelay = 350;
constexpr int RepeatInterval = 50;
constexpr int MinimumThumb = 12;

} // namespace

ScrollBar::ScrollBar(ScrollOrientation orientation) : m_orientation(orientation)
{
    SetClassName(
        String(orientation == ScrollOrientation::Vertical ? L"Core.Controls.VScrollBar" : L"Core.Controls.HScrollBar"));
}

int ScrollBar::GetThickness(int dpi)
{
    return Theme::Scale(17, dpi);
}

Color ScrollBar::GetDefaultBackColor() const
{
    return Theme::IsHighContrast() ? Theme::Face() : Colors::Blend(Theme::Face(), Theme::Window(), 60);
}

int ScrollBar::GetMaximumValue() const
{
    long long top = static_cast<long long>(m_maximum) - m_largeChange + 1;
    return top > m_minimum ? static_cast<int>(top) : m_minimum;
}

void ScrollBar::SetRange(int minimum, int maximum, int largeChange)
{
    m_minimum = minimum;
    m_maximum = maximum < minimum ? minimum : maximum;
    m_largeChange = largeChange < 1 ? 1 : largeChange;
    SetValue(m_value); // clamped into the new range
    Invalidate();
}

void ScrollBar::SetSmallChange(int smallChange)
{
    m_smallChange = smallChange < 1 ? 1 : smallChange;
}

void ScrollBar::SetValue(int value)
{
    int top = GetMaximumValue();
    value = value < m_minimum ? m_minimum : (value > top ? top : value);
    if (value != m_value)
    {
        m_value = value;
        Invalidate();
    }
}

void ScrollBar::MoveTo(int value)
{
    int before = m_value;
    SetValue(value);
    if (m_value != before)
    {
        EventArgs args;
        Scroll.Raise(this, args);
    }
}

ScrollBar::Geometry ScrollBar::Measure() const
{
    Rectangle client = GetClientRectangle();
    bool vertical = m_orientation == ScrollOrientation::Vertical;
    Geometry geometry;
    geometry.length = vertical ? client.height : client.width;
    int thickness = vertical ? client.width : client.height;
    // Arrows are square, and share a bar too short for two squares.
    geometry.arrow = thickness * 2 <= geometry.length ? thickness : geometry.length / 2;
    geometry.trackStart = geometry.arrow;
    geometry.trackLength = geometry.length - 2 * geometry.arrow;
    long long range = static_cast<long long>(m_maximum) - m_minimum + 1;
    long long thumb = range > 0 ? static_cast<long long>(geometry.trackLength) * m_largeChange / range : 0;
    int least = Scale(MinimumThumb);
    geometry.thumbLength = thumb < least ? least : static_cast<int>(thumb);
    if (geometry.thumbLength >= geometry.trackLength || m_largeChange >= range)
    {
        // Nothing to scroll, or no room for a thumb: the track alone.
        geometry.thumbLength = 0;
        geometry.thumbStart = geometry.trackStart;
        return geometry;
    }
    long long span = GetMaximumValue() - m_minimum;
    long long free = geometry.trackLength - geometry.thumbLength;
    geometry.thumbStart = geometry.trackStart + static_cast<int>(span > 0 ? free * (m_value - m_minimum) / span : 0);
    return geometry;
}

Rectangle ScrollBar::Span(int start, int length) const
{
    Rectangle client = GetClientRectangle();
    return m_orientation == ScrollOrientation::Vertical ? Rectangle{0, start, client.width, length}
                                                        : Rectangle{start, 0, length, client.height};
}

Rectangle ScrollBar::GetPartBounds(Part part)
{
    Geometry geometry = Measure();
    switch (part)
    {
    case Part::LineBack:
        return Span(0, geometry.arrow);
    case Part::LineAhead:
        return Span(geometry.length - geometry.arrow, geometry.arrow);
    case Part::Thumb:
        return geometry.thumbLength > 0 ? Span(geometry.thumbStart, geometry.thumbLength) : Rectangle{};
    case Part::PageBack:
        return geometry.thumbLength > 0 ? Span(geometry.trackStart, geometry.thumbStart - geometry.trackStart)
                                        : Rectangle{};
    case Part::PageAhead:
    {
        int start = geometry.thumbStart + geometry.thumbLength;
        return geometry.thumbLength > 0 ? Span(start, geometry.trackStart + geometry.trackLength - start) : Rectangle{};
    }
    default:
        return Rectangle{};
    }
}

ScrollBar::Part ScrollBar::HitTest(const Point& point)
{
    if (!GetClientRectangle().Contains(point))
    {
        return Part::None;
    }
    for (Part part : {Part::LineBack, Part::LineAhead, Part::Thumb, Part::PageBack, Part::PageAhead})
    {
        if (GetPartBounds(part).Contains(point))
        {
            return part;
        }
    }
    return Part::None;
}

bool ScrollBar::Step(Part part)
{
    int before = m_value;
    switch (part)
    {
    case Part::LineBack:
        MoveTo(m_value - m_smallChange);
        break;
    case Part::LineAhead:
        MoveTo(m_value + m_smallChange);
        break;
    case Part::PageBack:
        MoveTo(m_value - m_largeChange);
        break;
    case Part::PageAhead:
        MoveTo(m_value + m_largeChange);
        break;
    default:
        break;
    }
    return m_value != before;
}

void ScrollBar::OnMouseDown(const Point& point, int button, int)
{
    if (button != MouseButtons::Left || !IsEnabled())
    {
        return;
    }
    Part part = HitTest(point);
    if (part == Part::None)
    {
        return;
    }
    m_pressed = part;
    m_holdPoint = point;
    CaptureMouse();
    if (part == Part::Thumb)
    {
        Rectangle thumb = GetPartBounds(Part::Thumb);
        m_grabOffset = m_orientation == ScrollOrientation::Vertical ? point.y - thumb.top : point.x - thumb.left;
    }
    else
    {
        Step(part);
        StartTimer(RepeatTimer, FirstRepeatDelay);
        m_repeating = true;
    }
    Invalidate();
}

void ScrollBar::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    // A quick second press is a press of its own.
    OnMouseDown(point, button, keys);
}

void ScrollBar::OnMouseMove(const Point& point, int)
{
    if (m_pressed == Part::Thumb)
    {
        Geometry geometry = Measure();
        int position = (m_orientation == ScrollOrientation::Vertical ? point.y : point.x) - m_grabOffset;
        long long free = geometry.trackLength - geometry.thumbLength;
        long long offset = position - geometry.trackStart;
        offset = offset < 0 ? 0 : (offset > free ? free : offset);
        long long span = GetMaximumValue() - m_minimum;
        MoveTo(m_minimum + static_cast<int>(free > 0 ? (offset * span + free / 2) / free : 0));
        return;
    }
    if (m_pressed != Part::None)
    {
        m_holdPoint = point;
        return;
    }
    Part hot = HitTest(point);
    if (hot != m_hot)
    {
        m_hot = hot;
        Invalidate();
    }
}

void ScrollBar::OnMouseUp(const Point&, int button, int)
{
    if (button != MouseButtons::Left || m_pressed == Part::None)
    {
        return;
    }
    m_pressed = Part::None;
    StopRepeating();
    ReleaseMouse();
    Invalidate();
}

void ScrollBar::OnMouseLeave()
{
    if (m_hot != Part::None)
    {
        m_hot = Part::None;
        Invalidate();
    }
}

void ScrollBar::OnCaptureLost()
{
    if (m_pressed != Part::None)
    {
        m_pressed = Part::None;
        StopRepeating();
        Invalidate();
    }
}

void ScrollBar::StopRepeating()
{
    if (m_repeating)
    {
        m_repeating = false;
        StopTimer(RepeatTimer);
    }
}

void ScrollBar::OnTimer(int id)
{
    if (id != RepeatTimer)
    {
        Control::OnTimer(id);
        return;
    }
    StartTimer(RepeatTimer, RepeatInterval);
    // The track repeats only while the thumb has not reached the pointer.
    if (m_pressed != Part::None && m_pressed != Part::Thumb && HitTest(m_holdPoint) == m_pressed)
    {
        if (!Step(m_pressed))
        {
            StopRepeating();
        }
    }
}

void ScrollBar::PaintArrow(Graphics& graphics, Part part, Direction direction)
{
    Rectangle box = GetPartBounds(part);
    bool enabled = IsEnabled() && m_largeChange <= m_maximum - m_minimum;
    Color glyph = enabled ? Colors::Blend(Theme::ControlText(), Theme::Face(), 60) : Theme::GrayText();
    if (enabled && m_pressed == part)
    {
        graphics.FillRectangle(box, glyph);
        glyph = Theme::Window();
    }
    else if (enabled && m_hot == part)
    {
        graphics.FillRectangle(box, Colors::Blend(Theme::ControlText(), Theme::Face(), 12));
        glyph = Theme::ControlText();
    }
    graphics.DrawChevron(box.Deflate(box.width / 5, box.height / 5), direction, glyph);
}

void ScrollBar::OnPaint(Graphics& graphics, const Rectangle&)
{
    bool vertical = m_orientation == ScrollOrientation::Vertical;
    PaintArrow(graphics, Part::LineBack, vertical ? Direction::Up : Direction::Left);
    PaintArrow(graphics, Part::LineAhead, vertical ? Direction::Down : Direction::Right);
    Rectangle thumb = GetPartBounds(Part::Thumb);
    if (thumb.IsEmpty() || !IsEnabled())
    {
        return;
    }
    int share = m_pressed == Part::Thumb ? 60 : (m_hot == Part::Thumb ? 38 : 22);
    Color fill =
        Theme::IsHighContrast() ? Theme::ControlText() : Colors::Blend(Theme::ControlText(), Theme::Face(), share);
    // A thumb narrower than the bar, as the system draws it.
    int inset = graphics.Scale(2);
    graphics.FillRectangle(vertical ? thumb.Deflate(inset, 0) : thumb.Deflate(0, inset), fill);
}

} // namespace Core::Controls
