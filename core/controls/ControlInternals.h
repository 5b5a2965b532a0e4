// Helpers the files of Control share: rectangles between Win32 and the toolkit, and between 96 DPI and a DPI.
#pragma once

#include "core/controls/Geometry.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls::Internal
{

inline Rectangle ToRectangle(const RECT& rect)
{
    return Rectangle{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

inline Rectangle ScaleRectangle(const Rectangle& rectangle, int dpi)
{
    int left = Theme::Scale(rectangle.left, dpi);
    int top = Theme::Scale(rectangle.top, dpi);
    return Rectangle{left, top, Theme::Scale(rectangle.GetRight(), dpi) - left,
                     Theme::Scale(rectangle.GetBottom(), dpi) - top};
}

inline Rectangle UnscaleRectangle(const Rectangle& rectangle, int dpi)
{
    int left = Theme::Unscale(rectangle.left, dpi);
    int top = Theme::Unscale(rectangle.top, dpi);
    return Rectangle{left, top, Theme::Unscale(rectangle.GetRight(), dpi) - left,
                     Theme::Unscale(rectangle.GetBottom(), dpi) - top};
}

} // namespace Core::Controls::Internal
