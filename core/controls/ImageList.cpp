#include "core/controls/ImageList.h"

#include "core/Exception.h"
#include "core/collections/ArrayList.h"
#include "core/controls/Application.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <cstring>
#include <utility>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

class ImageList::Image : public Object
{
public:
    enum Kind
    {
        Resource,
        Memory,
        Handle
    };
    Kind kind = Resource;
    int resourceId = 0;
    int resourceType = IconResource;
    Collections::ArrayList<uint8_t> bytes{0};
    OwnedIcon icon; // Handle
};

// The icons of every image at one size, made when first drawn.
class ImageList::SizedIcons : public Object
{
public:
    explicit SizedIcons(int side) : size(side) {}
    int size;
    std::vector<OwnedIcon> normal;
    std::vector<OwnedIcon> disabled;
};

namespace
{

uint16_t ReadWord(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadDword(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// The entry of an .ico file that suits a size best: the exact size with the most colours, else the
// smallest larger one, else the largest. -1 when the bytes are no icon file.
int ChooseIconEntry(const uint8_t* data, int length, int size)
{
    if (length < 6 || ReadWord(data) != 0 || ReadWord(data + 2) != 1)
    {
        return -1;
    }
    int count = ReadWord(data + 4);
    if (count == 0 || 6 + 16 * count > length)
    {
        return -1;
    }
    int best = -1;
    int bestSide = 0;
    int bestBits = 0;
    for (int i = 0; i < count; i++)
    {
        const uint8_t* entry = data + 6 + 16 * i;
        int side = entry[0] == 0 ? 256 : entry[0];
        int bits = ReadWord(entry + 6);
        uint32_t bytes = ReadDword(entry + 8);
        uint32_t offset = ReadDword(entry + 12);
        if (offset > static_cast<uint32_t>(length) || bytes > static_cast<uint32_t>(length) - offset)
        {
            return -1;
        }
        auto score = [size](int s) { return s == size ? 0 : s > size ? s - size : 10000 + (size - s); };
        if (best < 0 || score(side) < score(bestSide) || (side == bestSide && bits > bestBits))
        {
            best = i;
            bestSide = side;
            bestBits = bits;
        }
    }
    return best;
}

HICON IconFromMemory(const uint8_t* data, int length, int size)
{
    int entryIndex = ChooseIconEntry(data, length, size);
    if (entryIndex < 0)
    {
        return nullptr;
    }
    const uint8_t* entry = data + 6 + 16 * entryIndex;
    uint32_t bytes = ReadDword(entry + 8);
    uint32_t offset = ReadDword(entry + 12);
    return CreateIconFromResourceEx(const_cast<uint8_t*>(data + offset), bytes, TRUE, 0x00030000, size, size,
                                    LR_DEFAULTCOLOR);
}

// An icon of a bitmap resource, scaled smoothly to the size.
HICON IconFromBitmap(int resourceId, int size)
{
    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(LoadImageW(Application::GetInstance(), MAKEINTRESOURCEW(resourceId),
                                                              IMAGE_BITMAP, size, size, LR_CREATEDIBSECTION)));
    if (!bitmap)
    {
        return nullptr;
    }
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, nullptr));
    {
        ScreenContext screen;
        MemoryContext maskContext(screen.Get());
        Selection selected(maskContext.Get(), mask.Get());
        PatBlt(maskContext.Get(), 0, 0, size, size, BLACKNESS); // opaque everywhere
    }
    ICONINFO info = {TRUE, 0, 0, mask.Get(), bitmap.Get()};
    return CreateIconIndirect(&info);
}

BITMAPINFO TopDownHeader(int size)
{
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = size;
    header.bmiHeader.biHeight = -size; // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    return header;
}

// The icon's colour and mask pixels at its own size; false for a monochrome icon, which has no colour.
bool ReadIconPixels(IconHandle icon, int size, Collections::ArrayList<uint32_t>& pixels,
                    Collections::ArrayList<uint32_t>& maskPixels)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
    {
        return false;
    }
    GdiObject<HBITMAP> color(info.hbmColor);
    GdiObject<HBITMAP> mask(info.hbmMask);
    for (int i = 0; i < size * size; i++)
    {
        pixels.Add(0);
        maskPixels.Add(0);
    }
    BITMAPINFO header = TopDownHeader(size);
    ScreenContext screen;
    return color &&
           GetDIBits(screen.Get(), color.Get(), 0, static_cast<UINT>(size), &pixels[0], &header, DIB_RGB_COLORS) != 0 &&
           GetDIBits(screen.Get(), mask.Get(), 0, static_cast<UINT>(size), &maskPixels[0], &header, DIB_RGB_COLORS) !=
               0;
}

// Lighter and fainter grey, towards the face colour, as the system greys disabled images.
void GreyPixels(Collections::ArrayList<uint32_t>& pixels, const Collections::ArrayList<uint32_t>& maskPixels)
{
    int count = pixels.GetCount();
    bool hasAlpha = false;
    for (int i = 0; i < count && !hasAlpha; i++)
    {
        hasAlpha = (pixels[i] >> 24) != 0;
    }
    Color face = Theme::Face();
    for (int i = 0; i < count; i++)
    {
        uint32_t pixel = pixels[i];
        uint32_t alpha = hasAlpha ? pixel >> 24 : ((maskPixels[i] & 0xFFFFFF) == 0 ? 255u : 0u);
        int red = static_cast<int>((pixel >> 16) & 0xFF);
        int green = static_cast<int>((pixel >> 8) & 0xFF);
        int blue = static_cast<int>(pixel & 0xFF);
        int grey = ((red * 30 + green * 59 + blue * 11) / 100 + Colors::GetRed(face) * 2) / 3;
        alpha = alpha * 55 / 100;
        pixels[i] = (alpha << 24) | (static_cast<uint32_t>(grey) << 16) | (static_cast<uint32_t>(grey) << 8) |
                    static_cast<uint32_t>(grey);
    }
}

} // namespace

IconHandle CreateDisabledIcon(IconHandle icon, int size)
{
    Collections::ArrayList<uint32_t> pixels(size * size);
    Collections::ArrayList<uint32_t> maskPixels(size * size);
    if (!ReadIconPixels(icon, size, pixels, maskPixels))
    {
        throw Exception(String(L"Failed to create disabled image (could not get original bitmap info)"));
    }
    GreyPixels(pixels, maskPixels);
    BITMAPINFO header = TopDownHeader(size);
    void* bits = nullptr;
    GdiObject<HBITMAP> result(CreateDIBSection(ScreenContext().Get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!result)
    {
        throw Exception(String(L"Failed to create disabled image"));
    }
    std::memcpy(bits, &pixels[0], static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, nullptr));
    ICONINFO made = {TRUE, 0, 0, mask.Get(), result.Get()};
    HICON disabled = mask ? CreateIconIndirect(&made) : nullptr;
    if (disabled == nullptr)
    {
        throw Exception(String(L"Failed to create disabled image"));
    }
    return disabled;
}

ImageList::ImageList() : m_images(0), m_sizes(0) {}

ImageList::~ImageList() = default;

int ImageList::GetImageSize(int dpi)
{
    return Theme::Scale(ImageSize, dpi);
}

void ImageList::CheckIndex(int index) const
{
    if (index < 0 || index >= m_images.GetCount())
    {
        throw ArgumentOutOfRangeException(index, String(L"ImageList - image index out of range"));
    }
}

int ImageList::AddFromResource(int resourceId, int resourceType)
{
    if (resourceType != IconResource && resourceType != BitmapResource)
    {
        throw ArgumentException(String(L"Only icons and bitmaps are supported"));
    }
    // Looked up now, so that a missing resource is reported where it is added; the image itself is loaded
    // when it is first drawn (loading the toolbar's and the tree's icons here cost the start 20 ms).
    LPCWSTR type = resourceType == BitmapResource ? RT_BITMAP : RT_GROUP_ICON;
    if (FindResourceW(Application::GetInstance(), MAKEINTRESOURCEW(resourceId), type) == nullptr)
    {
        throw Exception(String(L"Failed to load image from resource ") + resourceId);
    }
    auto* image = new Image();
    image->kind = Image::Resource;
    image->resourceId = resourceId;
    image->resourceType = resourceType;
    m_images.Add(image);
    AddSlots();
    return m_images.GetCount() - 1;
}

int ImageList::AddFromMemory(const uint8_t* data, int length)
{
    if (data == nullptr)
    {
        throw ArgumentNullException(String(L"data"));
    }
    if (!OwnedIcon(IconFromMemory(data, length, ImageSize)))
    {
        throw Exception(String(L"Failed to load image from memory: the data is no icon"));
    }
    auto* image = new Image();
    image->kind = Image::Memory;
    image->bytes.AddRange(data, length);
    m_images.Add(image);
    AddSlots();
    return m_images.GetCount() - 1;
}

int ImageList::AddIcon(IconHandle icon)
{
    if (icon == nullptr)
    {
        throw ArgumentNullException(String(L"icon"));
    }
    OwnedIcon copy(CopyIcon(icon));
    if (!copy)
    {
        throw Exception(String(L"Failed to copy the icon"));
    }
    auto* image = new Image();
    image->kind = Image::Handle;
    image->icon = std::move(copy);
    m_images.Add(image);
    AddSlots();
    return m_images.GetCount() - 1;
}

IconHandle ImageList::CreateIconHandle(int index, int size) const
{
    CheckIndex(index);
    const Image& image = *m_images[index];
    switch (image.kind)
    {
    case Image::Resource:
        if (image.resourceType == BitmapResource)
        {
            return IconFromBitmap(image.resourceId, size);
        }
        return static_cast<HICON>(LoadImageW(Application::GetInstance(), MAKEINTRESOURCEW(image.resourceId), IMAGE_ICON,
                                             size, size, LR_DEFAULTCOLOR));
    case Image::Memory:
        return IconFromMemory(&image.bytes[0], image.bytes.GetCount(), size);
    case Image::Handle:
        return static_cast<HICON>(CopyImage(image.icon.Get(), IMAGE_ICON, size, size, 0));
    }
    return nullptr;
}

void ImageList::AddSlots()
{
    for (int i = 0; i < m_sizes.GetCount(); i++)
    {
        m_sizes[i]->normal.emplace_back();
        m_sizes[i]->disabled.emplace_back();
    }
}

ImageList::SizedIcons& ImageList::IconsOfSize(int size)
{
    for (int i = 0; i < m_sizes.GetCount(); i++)
    {
        if (m_sizes[i]->size == size)
        {
            return *m_sizes[i];
        }
    }
    auto* icons = new SizedIcons(size);
    icons->normal.resize(static_cast<size_t>(m_images.GetCount()));
    icons->disabled.resize(static_cast<size_t>(m_images.GetCount()));
    m_sizes.Add(icons);
    return *icons;
}

IconHandle ImageList::GetIcon(int index, int size, bool disabled)
{
    CheckIndex(index);
    SizedIcons& icons = IconsOfSize(size);
    OwnedIcon& normal = icons.normal[static_cast<size_t>(index)];
    if (!normal)
    {
        normal.Reset(CreateIconHandle(index, size));
    }
    if (!disabled || !normal)
    {
        return normal.Get();
    }
    OwnedIcon& grey = icons.disabled[static_cast<size_t>(index)];
    if (!grey)
    {
        grey.Reset(CreateDisabledIcon(normal.Get(), size));
    }
    return grey.Get();
}

void ImageList::Draw(Graphics& graphics, int index, int x, int y, bool enabled)
{
    if (index < 0 || index >= m_images.GetCount())
    {
        return;
    }
    int size = GetImageSize(graphics.GetDpi());
    graphics.DrawIcon(GetIcon(index, size, !enabled), x, y, size);
}

} // namespace Core::Controls
