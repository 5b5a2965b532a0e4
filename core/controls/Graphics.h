// Drawing on a device context with the toolkit's colours and the window's DPI: what every control's
// OnPaint uses, so that painting code reads as drawing and not as GDI bookkeeping.
#pragma once

#include "core/String.h"
#include "core/controls/Color.h"
#include "core/controls/Geometry.h"
#include "core/controls/NativeTypes.h"

namespace Core::Controls
{

// Text layout flags, with the values of the system's DrawText flags.
namespace TextFormat
{
constexpr int Left = 0x0;
constexpr int Center = 0x1;
constexpr int Right = 0x2;
constexpr int Top = 0x0;
constexpr int VerticalCenter = 0x4;
constexpr int Bottom = 0x8;
constexpr int WordBreak = 0x10;
constexpr int SingleLine = 0x20;
constexpr int ExpandTabs = 0x40;
constexpr int NoClip = 0x100;
constexpr int NoPrefix = 0x800; // "&" is an ordinary character
constexpr int EndEllipsis = 0x8000;
constexpr int HidePrefix = 0x100000; // mnemonics not underlined
} // namespace TextFormat

enum class Direction
{
    Left,
    Up,
    Right,
    Down
};

class Graphics
{
public:
    Graphics(DeviceContextHandle deviceContext, int dpi);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    DeviceContextHandle GetHandle() const { return m_deviceContext; }
    int GetDpi() const { return m_dpi; }
    // A length at 96 DPI in this surface's pixels.
    int Scale(int value) const;

    void FillRectangle(const Rectangle& rectangle, Color color);
    // An outline of the given thickness inside the rectangle.
    void DrawRectangle(const Rectangle& rectangle, Color color, int thickness = 1);
    void DrawLine(const Point& from, const Point& to, Color color, int thickness = 1);
    void DrawPolyline(const Point* points, int count, Color color, int thickness = 1);
    void FillPolygon(const Point* points, int count, Color color);

    void DrawString(const String& text, const Rectangle& bounds, FontHandle font, Color color, int format);
    // Draws count characters from origin (the top left of the first), each advancing by its entry of advances:
    // placed by the caller's own measurement, a long text and its caret never drift apart.
    void DrawCharacters(const wchar_t* text, int count, const int* advances, const Point& origin, FontHandle font,
                        Color color);
    // The size the text takes; a width bounds word-broken text.
    Size MeasureString(const String& text, FontHandle font, int format = TextFormat::SingleLine, int width = 0) const;
    // The font's cell height (ascent plus descent).
    int GetLineHeight(FontHandle font) const;

    // The dotted rectangle of keyboard focus.
    void DrawFocusRectangle(const Rectangle& rectangle, Color foreground, Color background);
    void DrawIcon(IconHandle icon, int x, int y, int size);
    void DrawBitmap(BitmapHandle bitmap, const Rectangle& destination);

    // A check mark inside box.
    void DrawCheckMark(const Rectangle& box, Color color);
    // A chevron (an open arrow head) pointing in the direction, centred in box.
    void DrawChevron(const Rectangle& box, Direction direction, Color color);

    // Limits drawing to the rectangle until the matching Restore.
    int Save();
    void Restore(int state);
    void IntersectClip(const Rectangle& rectangle);

private:
    DeviceContextHandle m_deviceContext; // not owned
    int m_dpi;
    void* m_originalFont;
};

} // namespace Core::Controls
