#include "core/controls/Color.h"

#include "core/Exception.h"

namespace Core::Controls::Colors
{

Color FromArgb(int alpha, int red, int green, int blue)
{
    if (alpha < 0 || alpha > 255)
    {
        throw ArgumentException(String(L"Alpha should be between 0 and 255 inclusive"));
    }
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255)
    {
        throw ArgumentException(String(L"Red, green and blue should be between 0 and 255 inclusive"));
    }
    return (static_cast<uint32_t>(alpha) << 24) | (static_cast<uint32_t>(red) << 16) |
           (static_cast<uint32_t>(green) << 8) | static_cast<uint32_t>(blue);
}

} // namespace Core::Controls::Colors
