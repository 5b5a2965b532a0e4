// The gallery's icons, drawn here: flat shapes on a 16-unit grid, anti-aliased by sampling every
// pixel sixteen times, and written as .ico files in memory at the sizes the DPIs need.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace Gallery
{

// True where a point of the 16 by 16 unit design grid is inside a shape.
using Shape = std::function<bool(double x, double y)>;

Shape RoundRectangle(double left, double top, double right, double bottom, double radius);
Shape Circle(double cx, double cy, double radius);
Shape Ring(double cx, double cy, double inner, double outer);
Shape Segment(double x0, double y0, double x1, double y1, double width);
Shape Polygon(std::vector<std::pair<double, double>> points);

// One icon at one pixel size; layers are painted in order, each over the ones before.
class IconCanvas
{
public:
    explicit IconCanvas(int size);
    void Fill(const Shape& shape, uint32_t rgb, double opacity = 1.0);
    int GetSize() const { return m_size; }
    // Pixels as 0xAARRGGBB, straight alpha, top row first.
    std::vector<uint32_t> GetPixels() const;

private:
    int m_size;
    std::vector<double> m_red, m_green, m_blue, m_alpha; // premultiplied
};

// The bytes of an .ico file holding the canvases.
std::vector<uint8_t> ToIconFile(const std::vector<IconCanvas>& canvases);

// The gallery's icons by name: each painted at 16, 20, 24, 32 and 48 pixels.
enum class IconKind
{
    Application,
    Computer,
    Disconnect,
    TextReport,
    Spreadsheet,
    Stop,
    Options,
    Help,
    Folder
};
std::vector<uint8_t> PaintIcon(IconKind kind);

} // namespace Gallery
