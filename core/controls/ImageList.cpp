#include "core/controls/ImageList.h"

#include "core/Exception.h"
#include "core/collections/ArrayList.h"
#include "core/controls/Application.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <cstring>
#include <memory>
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

// The icons of every image at one size, made when first asked for, and the strip of pixels that draws them:
// making an icon costs the system a tenth of a millisecond and drawing it more than blending its pixels, so a
// window's first paint draws from the strip and makes no icon.
class ImageList::SizedIcons : public Object
{
public:
    explicit SizedIcons(int side) : size(side) {}
    int size;
    std::vector<OwnedIcon> normal;
    std::vector<OwnedIcon> disabled;

    // Blends the image (greyed when disabled) at x, y; false when it has no 32-bit image of this size with alpha
    // to read, and is drawn as an icon instead.
    bool DrawFromPixels(const Image& image, int index, bool greyed, HDC target, int x, int y);

private:
    enum class Slot : uint8_t
    {
        Unread,
        Ready,
        NoPixels
    };
    bool FillSlot(const Image& image, int slot, bool greyed);
    void EnsureCapacity(int slots);

    std::vector<Slot> m_slots; // two an image: the image, then its greyed variant
    // In order of release: the strip's selection goes first, then its context, then the strip.
    GdiObject<HBITMAP> m_strip;
    std::unique_ptr<MemoryContext> m_context;
    std::unique_ptr<Selection> m_selection;
    uint32_t* m_bits = nullptr; // premultiplied, top-down, one row of size pixels a slot wide
    int m_capacity = 0;         // in slots
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

// The data of the 32-bit image of exactly size pixels in an .ico file's bytes; null when it has none.
const uint8_t* FindEntryInFile(const uint8_t* data, int length, int size, uint32_t& bytes)
{
    if (length < 6 || ReadWord(data) != 0 || ReadWord(data + 2) != 1)
    {
        return nullptr;
    }
    int count = ReadWord(data + 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= length; i++)
    {
        const uint8_t* entry = data + 6 + 16 * i;
        int side = entry[0] == 0 ? 256 : entry[0];
        uint32_t entryBytes = ReadDword(entry + 8);
        uint32_t offset = ReadDword(entry + 12);
        if (side == size && ReadWord(entry + 6) == 32 && offset <= static_cast<uint32_t>(length) &&
            entryBytes <= static_cast<uint32_t>(length) - offset)
        {
            bytes = entryBytes;
            return data + offset;
        }
    }
    return nullptr;
}

// The data of the 32-bit image of exactly size pixels of an icon resource; null when it has none.
const uint8_t* FindEntryInResource(int resourceId, int size, uint32_t& bytes)
{
    HINSTANCE instance = Application::GetInstance();
    HRSRC group = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_GROUP_ICON);
    HGLOBAL groupData = group != nullptr ? LoadResource(instance, group) : nullptr;
    const auto* directory = static_cast<const uint8_t*>(groupData != nullptr ? LockResource(groupData) : nullptr);
    DWORD groupBytes = group != nullptr ? SizeofResource(instance, group) : 0;
    if (directory == nullptr || groupBytes < 6)
    {
        return nullptr;
    }
    // A group entry: width, height, colours, reserved, planes, bit count, bytes, and the id of its icon resource.
    constexpr int EntrySize = 14;
    int count = ReadWord(directory + 4);
    for (int i = 0; i < count && 6 + EntrySize * (i + 1) <= static_cast<int>(groupBytes); i++)
    {
        const uint8_t* entry = directory + 6 + EntrySize * i;
        int side = entry[0] == 0 ? 256 : entry[0];
        if (side != size || ReadWord(entry + 6) != 32)
        {
            continue;
        }
        HRSRC icon = FindResourceW(instance, MAKEINTRESOURCEW(ReadWord(entry + 12)), RT_ICON);
        HGLOBAL iconData = icon != nullptr ? LoadResource(instance, icon) : nullptr;
        const void* pixels = iconData != nullptr ? LockResource(iconData) : nullptr;
        if (pixels != nullptr)
        {
            bytes = SizeofResource(instance, icon);
            return static_cast<const uint8_t*>(pixels);
        }
    }
    return nullptr;
}

// The colour and mask pixels, top-down, of an icon image of size pixels with 32 bits and alpha, as the system
// reads them back from the icon it makes; false for any other kind (compressed, paletted, without alpha).
bool ReadEntryPixels(const uint8_t* entry, uint32_t bytes, int size, Collections::ArrayList<uint32_t>& pixels,
                     Collections::ArrayList<uint32_t>& maskPixels)
{
    if (entry == nullptr || bytes < 40)
    {
        return false;
    }
    uint32_t headerSize = ReadDword(entry);
    uint32_t colours = ReadDword(entry + 32);
    if (headerSize < 40 || static_cast<int32_t>(ReadDword(entry + 4)) != size ||
        static_cast<int32_t>(ReadDword(entry + 8)) != 2 * size || ReadWord(entry + 14) != 32 ||
        ReadDword(entry + 16) != BI_RGB)
    {
        return false;
    }
    uint64_t colourOffset = uint64_t{headerSize} + uint64_t{colours} * 4;
    uint64_t colourBytes = uint64_t{4} * static_cast<uint64_t>(size) * static_cast<uint64_t>(size);
    uint64_t maskStride = (static_cast<uint64_t>(size) + 31) / 32 * 4;
    if (colourOffset + colourBytes + maskStride * static_cast<uint64_t>(size) > bytes)
    {
        return false;
    }
    const uint8_t* colour = entry + colourOffset;
    const uint8_t* mask = colour + colourBytes;
    bool hasAlpha = false;
    // Stored bottom-up.
    for (int y = size - 1; y >= 0; y--)
    {
        for (int x = 0; x < size; x++)
        {
            uint32_t pixel = ReadDword(colour + 4 * (y * size + x));
            hasAlpha = hasAlpha || (pixel >> 24) != 0;
            pixels.Add(pixel);
            bool transparent = (mask[static_cast<uint64_t>(y) * maskStride + x / 8] & (0x80 >> (x % 8))) != 0;
            maskPixels.Add(transparent ? 0xFFFFFFu : 0u);
        }
    }
    // Without alpha the system draws through the mask, which blending cannot.
    return hasAlpha;
}

} // namespace

bool ImageList::SizedIcons::DrawFromPixels(const Image& image, int index, bool greyed, HDC target, int x, int y)
{
    int slot = 2 * index + (greyed ? 1 : 0);
    EnsureCapacity(slot + 1);
    if (m_slots[static_cast<size_t>(slot)] == Slot::Unread)
    {
        m_slots[static_cast<size_t>(slot)] = FillSlot(image, slot, greyed) ? Slot::Ready : Slot::NoPixels;
    }
    if (m_slots[static_cast<size_t>(slot)] != Slot::Ready)
    {
        return false;
    }
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return GdiAlphaBlend(target, x, y, size, size, m_context->Get(), slot * size, 0, size, size, blend) != FALSE;
}

bool ImageList::SizedIcons::FillSlot(const Image& image, int slot, bool greyed)
{
    uint32_t bytes = 0;
    const uint8_t* entry = nullptr;
    if (image.kind == Image::Resource && image.resourceType == IconResource)
    {
        entry = FindEntryInResource(image.resourceId, size, bytes);
    }
    else if (image.kind == Image::Memory)
    {
        entry = FindEntryInFile(&image.bytes[0], image.bytes.GetCount(), size, bytes);
    }
    Collections::ArrayList<uint32_t> pixels(size * size);
    Collections::ArrayList<uint32_t> maskPixels(size * size);
    if (m_bits == nullptr || slot >= m_capacity || !ReadEntryPixels(entry, bytes, size, pixels, maskPixels))
    {
        return false;
    }
    if (greyed)
    {
        GreyPixels(pixels, maskPixels);
    }
    // Premultiplied, rounded as the system premultiplies an icon's pixels for drawing.
    int stride = m_capacity * size;
    for (int y = 0; y < size; y++)
    {
        for (int x = 0; x < size; x++)
        {
            uint32_t pixel = pixels[y * size + x];
            uint32_t alpha = pixel >> 24;
            auto channel = [&](int shift) { return (((pixel >> shift) & 0xFF) * alpha + 127) / 255 << shift; };
            m_bits[y * stride + slot * size + x] = (alpha << 24) | channel(16) | channel(8) | channel(0);
        }
    }
    return true;
}

void ImageList::SizedIcons::EnsureCapacity(int slots)
{
    if (slots <= m_capacity)
    {
        return;
    }
    int capacity = m_capacity * 2 > slots ? m_capacity * 2 : slots;
    BITMAPINFO header = TopDownHeader(size);
    header.bmiHeader.biWidth = capacity * size;
    void* bits = nullptr;
    GdiObject<HBITMAP> strip(CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_context)
    {
        m_context = std::make_unique<MemoryContext>(nullptr);
    }
    m_slots.resize(static_cast<size_t>(capacity), Slot::Unread);
    if (!strip || m_context->Get() == nullptr)
    {
        // Without a strip every image is drawn as its icon.
        for (Slot& each : m_slots)
        {
            each = each == Slot::Unread ? Slot::NoPixels : each;
        }
        return;
    }
    GdiFlush();
    auto* newBits = static_cast<uint32_t*>(bits);
    std::memset(newBits, 0, static_cast<size_t>(capacity) * static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    for (int y = 0; y < size && m_bits != nullptr; y++)
    {
        std::memcpy(newBits + y * capacity * size, m_bits + y * m_capacity * size,
                    static_cast<size_t>(m_capacity) * static_cast<size_t>(size) * 4);
    }
    m_selection.reset();
    m_selection = std::make_unique<Selection>(m_context->Get(), strip.Get());
    m_strip = std::move(strip);
    m_bits = newBits;
    m_capacity = capacity;
}

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
    if (IconsOfSize(size).DrawFromPixels(*m_images[index], index, !enabled, graphics.GetHandle(), x, y))
    {
        return;
    }
    graphics.DrawIcon(GetIcon(index, size, !enabled), x, y, size);
}

} // namespace Core::Controls
