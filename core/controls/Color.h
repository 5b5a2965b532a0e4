// Colours as 32-bit ARGB values. A colour whose alpha is 0 is "not set": the control uses its default.
#pragma once

#include <cstdint>

namespace Core::Controls
{

using Color = uint32_t;

namespace Colors
{

constexpr Color Empty = 0;

constexpr Color FromRgb(int red, int green, int blue)
{
    return 0xFF000000u | (static_cast<uint32_t>(red & 0xFF) << 16) | (static_cast<uint32_t>(green & 0xFF) << 8) |
           static_cast<uint32_t>(blue & 0xFF);
}

// Checks every component: alpha, red, green and blue must lie in 0..255.
Color FromArgb(int alpha, int red, int green, int blue);

constexpr int GetAlpha(Color color)
{
    return static_cast<int>(color >> 24);
}
constexpr int GetRed(Color color)
{
    return static_cast<int>((color >> 16) & 0xFF);
}
constexpr int GetGreen(Color color)
{
    return static_cast<int>((color >> 8) & 0xFF);
}
constexpr int GetBlue(Color color)
{
    return static_cast<int>(color & 0xFF);
}
constexpr bool IsEmpty(Color color)
{
    return GetAlpha(color) == 0;
}

// The Win32 COLORREF (0x00BBGGRR) of a colour, and back (opaque).
constexpr uint32_t ToColorRef(Color color)
{
    return static_cast<uint32_t>(GetRed(color)) | (static_cast<uint32_t>(GetGreen(color)) << 8) |
           (static_cast<uint32_t>(GetBlue(color)) << 16);
}
constexpr Color FromColorRef(uint32_t colorRef)
{
    return FromRgb(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                   static_cast<int>((colorRef >> 16) & 0xFF));
}

// percentOfFirst parts of first mixed with the rest of second.
constexpr Color Blend(Color first, Color second, int percentOfFirst)
{
    auto mix = [percentOfFirst](int a, int b) { return (a * percentOfFirst + b * (100 - percentOfFirst) + 50) / 100; };
    return FromRgb(mix(GetRed(first), GetRed(second)), mix(GetGreen(first), GetGreen(second)),
                   mix(GetBlue(first), GetBlue(second)));
}

} // namespace Colors

} // namespace Core::Controls
