#include "tests/core/controls/gallery/IconPainter.h"

#include <cmath>

namespace Gallery
{

Shape RoundRectangle(double left, double top, double right, double bottom, double radius)
{
    return [=](double x, double y)
    {
        if (x < left || x > right || y < top || y > bottom)
        {
            return false;
        }
        double dx = x < left + radius ? left + radius - x : x > right - radius ? x - (right - radius) : 0;
        double dy = y < top + radius ? top + radius - y : y > bottom - radius ? y - (bottom - radius) : 0;
        return dx * dx + dy * dy <= radius * radius;
    };
}

Shape Circle(double cx, double cy, double radius)
{
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Shape Ring(double cx, double cy, double inner, double outer)
{
    return [=](double x, double y)
    {
        double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d <= outer * outer && d >= inner * inner;
    };
}

Shape Segment(double x0, double y0, double x1, double y1, double width)
{
    return [=](double x, double y)
    {
        double vx = x1 - x0;
        double vy = y1 - y0;
        double t = ((x - x0) * vx + (y - y0) * vy) / (vx * vx + vy * vy);
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        double px = x0 + t * vx - x;
        double py = y0 + t * vy - y;
        return px * px + py * py <= width * width / 4;
    };
}

Shape Polygon(std::vector<std::pair<double, double>> points)
{
    return [points](double x, double y)
    {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++)
        {
            auto [xi, yi] = points[i];
            auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            {
                inside = !inside;
            }
        }
        return inside;
    };
}

IconCanvas::IconCanvas(int size)
    : m_size(size), m_red(static_cast<size_t>(size * size)), m_green(static_cast<size_t>(size * size)),
      m_blue(static_cast<size_t>(size * size)), m_alpha(static_cast<size_t>(size * size))
{
}

void IconCanvas::Fill(const Shape& shape, uint32_t rgb, double opacity)
{
    double unit = 16.0 / m_size;
    double red = ((rgb >> 16) & 0xFF) / 255.0;
    double green = ((rgb >> 8) & 0xFF) / 255.0;
    double blue = (rgb & 0xFF) / 255.0;
    for (int py = 0; py < m_size; py++)
    {
        for (int px = 0; px < m_size; px++)
        {
            int hits = 0;
            for (int sy = 0; sy < 4; sy++)
            {
                for (int sx = 0; sx < 4; sx++)
                {
                    hits += shape((px + (sx + 0.5) / 4) * unit, (py + (sy + 0.5) / 4) * unit) ? 1 : 0;
                }
            }
            double coverage = hits / 16.0 * opacity;
            size_t i = static_cast<size_t>(py * m_size + px);
            m_red[i] = red * coverage + m_red[i] * (1 - coverage);
            m_green[i] = green * coverage + m_green[i] * (1 - coverage);
            m_blue[i] = blue * coverage + m_blue[i] * (1 - coverage);
            m_alpha[i] = coverage + m_alpha[i] * (1 - coverage);
        }
    }
}

std::vector<uint32_t> IconCanvas::GetPixels() const
{
    std::vector<uint32_t> pixels(m_red.size());
    for (size_t i = 0; i < pixels.size(); i++)
    {
        double alpha = m_alpha[i];
        auto channel = [alpha](double premultiplied)
        {
            double value = alpha > 0 ? premultiplied / alpha : 0;
            return static_cast<uint32_t>(std::lround(value * 255)) & 0xFF;
        };
        pixels[i] = (static_cast<uint32_t>(std::lround(alpha * 255)) << 24) | (channel(m_red[i]) << 16) |
                    (channel(m_green[i]) << 8) | channel(m_blue[i]);
    }
    return pixels;
}

std::vector<uint8_t> ToIconFile(const std::vector<IconCanvas>& canvases)
{
    auto put16 = [](std::vector<uint8_t>& out, uint32_t value)
    {
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    };
    auto put32 = [&put16](std::vector<uint8_t>& out, uint32_t value)
    {
        put16(out, value & 0xFFFF);
        put16(out, value >> 16);
    };
    std::vector<std::vector<uint8_t>> images;
    for (const IconCanvas& canvas : canvases)
    {
        int size = canvas.GetSize();
        std::vector<uint8_t> image;
        put32(image, 40);
        put32(image, static_cast<uint32_t>(size));
        put32(image, static_cast<uint32_t>(size * 2));
        put16(image, 1);
        put16(image, 32);
        for (int i = 0; i < 6; i++)
        {
            put32(image, 0);
        }
        std::vector<uint32_t> pixels = canvas.GetPixels();
        for (int y = size - 1; y >= 0; y--)
        {
            for (int x = 0; x < size; x++)
            {
                put32(image, pixels[static_cast<size_t>(y * size + x)]);
            }
        }
        // The mask marks what is fully transparent, for systems that draw without alpha.
        int maskRow = ((size + 31) / 32) * 4;
        for (int y = size - 1; y >= 0; y--)
        {
            std::vector<uint8_t> row(static_cast<size_t>(maskRow), 0);
            for (int x = 0; x < size; x++)
            {
                if ((pixels[static_cast<size_t>(y * size + x)] >> 24) == 0)
                {
                    row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
            image.insert(image.end(), row.begin(), row.end());
        }
        images.push_back(image);
    }
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, static_cast<uint32_t>(canvases.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * canvases.size());
    for (size_t i = 0; i < canvases.size(); i++)
    {
        uint8_t side = static_cast<uint8_t>(canvases[i].GetSize() % 256);
        file.push_back(side);
        file.push_back(side);
        file.push_back(0);
        file.push_back(0);
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
    {
        file.insert(file.end(), image.begin(), image.end());
    }
    return file;
}

namespace
{

void PaintComputer(IconCanvas& canvas)
{
    canvas.Fill(RoundRectangle(0.8, 1.8, 15.2, 11.6, 1.4), 0x2C3E50);
    canvas.Fill(RoundRectangle(2.0, 3.0, 14.0, 10.4, 0.4), 0x3A8EE6);
    canvas.Fill(Polygon({{2.0, 3.0}, {14.0, 3.0}, {14.0, 5.2}, {2.0, 9.2}}), 0x62A8F0);
    canvas.Fill(Polygon({{6.4, 11.4}, {9.6, 11.4}, {10.2, 13.4}, {5.8, 13.4}}), 0x5D6D7E);
    canvas.Fill(RoundRectangle(3.6, 13.0, 12.4, 14.8, 0.8), 0x34495E);
}

void PaintIconKind(IconCanvas& canvas, IconKind kind)
{
    switch (kind)
    {
    case IconKind::Application:
        canvas.Fill(RoundRectangle(0.6, 0.6, 15.4, 15.4, 3.4), 0x4B3FD1);
        canvas.Fill(Polygon({{0.6, 15.4}, {15.4, 0.6}, {15.4, 15.4}}), 0x3A2FB5, 0.55);
        canvas.Fill(Ring(7.6, 7.4, 2.9, 4.9), 0xFFFFFF);
        canvas.Fill(Segment(9.4, 9.4, 12.4, 12.6, 2.1), 0xFFFFFF);
        break;
    case IconKind::Computer:
        PaintComputer(canvas);
        break;
    case IconKind::Disconnect:
        PaintComputer(canvas);
        canvas.Fill(Circle(11.6, 11.6, 4.4), 0xFFFFFF);
        canvas.Fill(Circle(11.6, 11.6, 3.7), 0xD93A2B);
        canvas.Fill(Segment(10.0, 10.0, 13.2, 13.2, 1.3), 0xFFFFFF);
        canvas.Fill(Segment(13.2, 10.0, 10.0, 13.2, 1.3), 0xFFFFFF);
        break;
    case IconKind::TextReport:
        canvas.Fill(Polygon({{2.4, 0.8}, {10.2, 0.8}, {13.8, 4.4}, {13.8, 15.2}, {2.4, 15.2}}), 0x7F8C8D);
        canvas.Fill(Polygon({{3.4, 1.8}, {9.8, 1.8}, {12.8, 4.8}, {12.8, 14.2}, {3.4, 14.2}}), 0xFFFFFF);
        canvas.Fill(Polygon({{9.8, 1.8}, {9.8, 4.8}, {12.8, 4.8}}), 0xBDC3C7);
        for (int line = 0; line < 4; line++)
        {
            double y = 6.8 + line * 2.0;
            canvas.Fill(Segment(5.0, y, line == 3 ? 8.8 : 11.2, y, 1.0), 0x5D8AA8);
        }
        break;
    case IconKind::Spreadsheet:
        canvas.Fill(RoundRectangle(0.8, 1.2, 15.2, 14.8, 1.6), 0x1D7A45);
        canvas.Fill(RoundRectangle(5.0, 3.2, 13.4, 12.8, 0.4), 0xFFFFFF);
        for (int row = 1; row < 3; row++)
        {
            canvas.Fill(Segment(5.0, 3.2 + row * 3.2, 13.4, 3.2 + row * 3.2, 0.8), 0x1D7A45);
        }
        canvas.Fill(Segment(9.2, 3.2, 9.2, 12.8, 0.8), 0x1D7A45);
        canvas.Fill(Segment(1.9, 5.0, 4.4, 11.0, 1.2), 0xFFFFFF);
        canvas.Fill(Segment(4.4, 5.0, 1.9, 11.0, 1.2), 0xFFFFFF);
        break;
    case IconKind::Stop:
        canvas.Fill(Polygon({{5.1, 0.8},
                             {10.9, 0.8},
                             {15.2, 5.1},
                             {15.2, 10.9},
                             {10.9, 15.2},
                             {5.1, 15.2},
                             {0.8, 10.9},
                             {0.8, 5.1}}),
                    0xC0392B);
        canvas.Fill(Polygon({{5.5, 1.8},
                             {10.5, 1.8},
                             {14.2, 5.5},
                             {14.2, 10.5},
                             {10.5, 14.2},
                             {5.5, 14.2},
                             {1.8, 10.5},
                             {1.8, 5.5}}),
                    0xE74C3C);
        canvas.Fill(RoundRectangle(5.2, 5.2, 10.8, 10.8, 0.8), 0xFFFFFF);
        break;
    case IconKind::Options:
    {
        auto gear = [](double x, double y)
        {
            double dx = x - 8;
            double dy = y - 8;
            double r = std::sqrt(dx * dx + dy * dy);
            double angle = std::atan2(dy, dx);
            double phase = std::fmod(angle + 3.14159265 * 2 + 3.14159265 / 8, 3.14159265 / 4);
            bool tooth = phase < 3.14159265 / 8;
            return r <= (tooth ? 7.4 : 5.6) && r >= 2.2;
        };
        canvas.Fill(gear, 0x5D6D7E);
        canvas.Fill(Ring(8, 8, 2.2, 3.4), 0x85929E);
        break;
    }
    case IconKind::Help:
        canvas.Fill(Circle(8, 8, 7.3), 0x2471A3);
        canvas.Fill(Circle(8, 8, 6.3), 0x2E86C1);
        canvas.Fill([](double x, double y) { return Ring(8, 6.0, 1.5, 3.0)(x, y) && !(y > 6.0 && x < 8.0); }, 0xFFFFFF);
        canvas.Fill(Segment(8.6, 7.9, 8.0, 9.6, 1.5), 0xFFFFFF);
        canvas.Fill(Circle(8.0, 11.9, 1.0), 0xFFFFFF);
        break;
    case IconKind::Folder:
        canvas.Fill(RoundRectangle(0.8, 2.4, 7.2, 5.4, 1.0), 0xC99A06);
        canvas.Fill(RoundRectangle(0.8, 3.8, 15.2, 14.2, 1.0), 0xD4AC0D);
        canvas.Fill(RoundRectangle(0.8, 5.6, 15.2, 14.2, 1.0), 0xF4D03F);
        break;
    }
}

} // namespace

std::vector<uint8_t> PaintIcon(IconKind kind)
{
    std::vector<IconCanvas> canvases;
    for (int size : {16, 20, 24, 32, 48})
    {
        IconCanvas canvas(size);
        PaintIconKind(canvas, kind);
        canvases.push_back(canvas);
    }
    return ToIconFile(canvases);
}

} // namespace Gallery
