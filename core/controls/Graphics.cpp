#include "core/controls/Graphics.h"

#include "core/controls/GdiHandles.h"
#include "core/controls/Theme.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

RECT ToRect(const Rectangle& rectangle)
{
    return RECT{rectangle.left, rectangle.top, rectangle.GetRight(), rectangle.GetBottom()};
}

HPEN CreateLinePen(Color color, int thickness)
{
    LOGBRUSH brush = {BS_SOLID, Colors::ToColorRef(color), 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, static_cast<DWORD>(thickness), &brush,
                        0, nullptr);
}

} // namespace

Graphics::Graphics(DeviceContextHandle deviceContext, int dpi)
    : m_deviceContext(deviceContext), m_dpi(dpi), m_originalFont(GetCurrentObject(deviceContext, OBJ_FONT))
{
    SetBkMode(m_deviceContext, TRANSPARENT);
}

Graphics::~Graphics()
{
    SelectObject(m_deviceContext, static_cast<HGDIOBJ>(m_originalFont));
}

int Graphics::Scale(int value) const
{
    return Theme::Scale(value, m_dpi);
}

void Graphics::FillRectangle(const Rectangle& rectangle, Color color)
{
    if (rectangle.IsEmpty())
    {
        return;
    }
    RECT rect = ToRect(rectangle);
    // ExtTextOut with an opaque rectangle fills without creating a brush.
    SetBkColor(m_deviceContext, Colors::ToColorRef(color));
    ExtTextOutW(m_deviceContext, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Graphics::DrawRectangle(const Rectangle& rectangle, Color color, int thickness)
{
    if (rectangle.IsEmpty())
    {
        return;
    }
    int t = thickness < rectangle.width / 2 ? thickness : rectangle.width / 2;
    int u = thickness < rectangle.height / 2 ? thickness : rectangle.height / 2;
    FillRectangle(Rectangle{rectangle.left, rectangle.top, rectangle.width, u}, color);
    FillRectangle(Rectangle{rectangle.left, rectangle.GetBottom() - u, rectangle.width, u}, color);
    FillRectangle(Rectangle{rectangle.left, rectangle.top + u, t, rectangle.height - 2 * u}, color);
    FillRectangle(Rectangle{rectangle.GetRight() - t, rectangle.top + u, t, rectangle.height - 2 * u}, color);
}

void Graphics::DrawLine(const Point& from, const Point& to, Color color, int thickness)
{
    Point points[] = {from, to};
    DrawPolyline(points, 2, color, thickness);
}

void Graphics::DrawPolyline(const Point* points, int count, Color color, int thickness)
{
    GdiObject<HPEN> pen(CreateLinePen(color, thickness));
    Selection selected(m_deviceContext, pen.Get());
    MoveToEx(m_deviceContext, points[0].x, points[0].y, nullptr);
    for (int i = 1; i < count; i++)
    {
        LineTo(m_deviceContext, points[i].x, points[i].y);
    }
}

void Graphics::FillPolygon(const Point* points, int count, Color color)
{
    POINT native[16];
    int n = count < 16 ? count : 16;
    for (int i = 0; i < n; i++)
    {
        native[i] = POINT{points[i].x, points[i].y};
    }
    // Declared before their selections, so each is selected out before it is deleted.
    GdiObject<HBRUSH> brush(CreateSolidBrush(Colors::ToColorRef(color)));
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, Colors::ToColorRef(color)));
    Selection brushSelected(m_deviceContext, brush.Get());
    Selection penSelected(m_deviceContext, pen.Get());
    Polygon(m_deviceContext, native, n);
}

void Graphics::DrawString(const String& text, const Rectangle& bounds, FontHandle font, Color color, int format)
{
    if (text.IsEmpty())
    {
        return;
    }
    SelectObject(m_deviceContext, font);
    SetTextColor(m_deviceContext, Colors::ToColorRef(color));
    RECT rect = ToRect(bounds);
    DrawTextW(m_deviceContext, text.GetBuffer(), text.GetLength(), &rect, static_cast<UINT>(format) | DT_NOCLIP);
}

void Graphics::DrawCharacters(const wchar_t* text, int count, const int* advances, const Point& origin, FontHandle font,
                              Color color)
{
    if (count <= 0)
    {
        return;
    }
    SelectObject(m_deviceContext, font);
    SetTextColor(m_deviceContext, Colors::ToColorRef(color));
    ExtTextOutW(m_deviceContext, origin.x, origin.y, 0, nullptr, text, static_cast<UINT>(count), advances);
}

Size Graphics::MeasureString(const String& text, FontHandle font, int format, int width) const
{
    SelectObject(m_deviceContext, font);
    if (text.IsEmpty())
    {
        return Size{0, GetLineHeight(font)};
    }
    RECT rect = {0, 0, width > 0 ? width : 0x7FFF, 0};
    int flags = (format & ~(TextFormat::VerticalCenter | TextFormat::Bottom | TextFormat::EndEllipsis)) | DT_CALCRECT;
    if (width <= 0)
    {
        flags &= ~TextFormat::WordBreak;
    }
    DrawTextW(m_deviceContext, text.GetBuffer(), text.GetLength(), &rect, static_cast<UINT>(flags));
    return Size{rect.right - rect.left, rect.bottom - rect.top};
}

int Graphics::GetLineHeight(FontHandle font) const
{
    SelectObject(m_deviceContext, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(m_deviceContext, &metrics);
    return metrics.tmHeight;
}

void Graphics::DrawFocusRectangle(const Rectangle& rectangle, Color foreground, Color background)
{
    if (rectangle.IsEmpty())
    {
        return;
    }
    RECT rect = ToRect(rectangle);
    // DrawFocusRect inverts with the text and background colours of the context.
    SetTextColor(m_deviceContext, Colors::ToColorRef(foreground));
    SetBkColor(m_deviceContext, Colors::ToColorRef(background));
    ::DrawFocusRect(m_deviceContext, &rect);
}

void Graphics::DrawIcon(IconHandle icon, int x, int y, int size)
{
    if (icon != nullptr)
    {
        DrawIconEx(m_deviceContext, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
    }
}

void Graphics::DrawBitmap(BitmapHandle bitmap, const Rectangle& destination)
{
    if (bitmap == nullptr || destination.IsEmpty())
    {
        return;
    }
    BITMAP info = {};
    GetObjectW(bitmap, sizeof(info), &info);
    MemoryContext sourceContext(m_deviceContext);
    HDC source = sourceContext.Get();
    Selection selected(source, bitmap);
    if (info.bmWidth == destination.width && info.bmHeight == destination.height)
    {
        BitBlt(m_deviceContext, destination.left, destination.top, destination.width, destination.height, source, 0, 0,
               SRCCOPY);
    }
    else
    {
        // Halftone keeps a scaled picture smooth instead of dropping rows and columns.
        int previousMode = SetStretchBltMode(m_deviceContext, HALFTONE);
        POINT origin;
        SetBrushOrgEx(m_deviceContext, 0, 0, &origin);
        StretchBlt(m_deviceContext, destination.left, destination.top, destination.width, destination.height, source, 0,
                   0, info.bmWidth, info.bmHeight, SRCCOPY);
        SetBrushOrgEx(m_deviceContext, origin.x, origin.y, nullptr);
        SetStretchBltMode(m_deviceContext, previousMode);
    }
}

void Graphics::DrawCheckMark(const Rectangle& box, Color color)
{
    // The mark's shape on a 16-unit square, scaled to the box.
    auto at = [&box](int x, int y) { return Point{box.left + x * box.width / 16, box.top + y * box.height / 16}; };
    Point points[] = {at(3, 8), at(6, 11), at(13, 4)};
    int thickness = box.width / 8 > 1 ? box.width / 8 : 2;
    DrawPolyline(points, 3, color, thickness);
}

void Graphics::DrawChevron(const Rectangle& box, Direction direction, Color color)
{
    // A fixed size at 96 DPI scaled like everything else, and never larger than the box.
    int limit = (box.width < box.height ? box.width : box.height) / 2;
    int half = Scale(4) < limit ? Scale(4) : limit;
    half = half < 2 ? 2 : half;
    int cx = box.left + box.width / 2;
    int cy = box.top + box.height / 2;
    int thickness = Scale(1);
    int quarter = half / 2;
    Point points[3];
    switch (direction)
    {
    case Direction::Down:
        points[0] = {cx - half, cy - quarter};
        points[1] = {cx, cy + half - quarter};
        points[2] = {cx + half, cy - quarter};
        break;
    case Direction::Up:
        points[0] = {cx - half, cy + quarter};
        points[1] = {cx, cy - half + quarter};
        points[2] = {cx + half, cy + quarter};
        break;
    case Direction::Right:
        points[0] = {cx - quarter, cy - half};
        points[1] = {cx + half - quarter, cy};
        points[2] = {cx - quarter, cy + half};
        break;
    case Direction::Left:
        points[0] = {cx + quarter, cy - half};
        points[1] = {cx - half + quarter, cy};
        points[2] = {cx + quarter, cy + half};
        break;
    }
    DrawPolyline(points, 3, color, thickness);
}

int Graphics::Save()
{
    return SaveDC(m_deviceContext);
}

void Graphics::Restore(int state)
{
    RestoreDC(m_deviceContext, state);
    SetBkMode(m_deviceContext, TRANSPARENT);
}

void Graphics::IntersectClip(const Rectangle& rectangle)
{
    IntersectClipRect(m_deviceContext, rectangle.left, rectangle.top, rectangle.GetRight(), rectangle.GetBottom());
}

} // namespace Core::Controls
