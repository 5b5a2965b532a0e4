// Points, sizes, rectangles and paddings as pairs of 32-bit integers.
#pragma once

namespace Core::Controls
{

struct Point
{
    int x = 0;
    int y = 0;

    bool operator==(const Point& other) const = default;
};

struct Size
{
    int width = 0;
    int height = 0;

    bool operator==(const Size& other) const = default;
};

struct Rectangle
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int GetRight() const { return left + width; }
    int GetBottom() const { return top + height; }
    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool Contains(const Point& point) const
    {
        return point.x >= left && point.x < left + width && point.y >= top && point.y < top + height;
    }
    bool IntersectsWith(const Rectangle& other) const
    {
        return left < other.GetRight() && other.left < GetRight() && top < other.GetBottom() && other.top < GetBottom();
    }
    // Shrinks (or with negative values grows) the rectangle on every side.
    Rectangle Deflate(int horizontal, int vertical) const
    {
        return Rectangle{left + horizontal, top + vertical, width - 2 * horizontal, height - 2 * vertical};
    }
    Rectangle Offset(int dx, int dy) const { return Rectangle{left + dx, top + dy, width, height}; }

    bool operator==(const Rectangle& other) const = default;
};

// Space kept free inside (padding) or around (margin) a control.
struct Padding
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static Padding All(int value) { return Padding{value, value, value, value}; }
    bool operator==(const Padding& other) const = default;
};

} // namespace Core::Controls
