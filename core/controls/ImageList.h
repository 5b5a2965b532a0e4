// Images of 16 by 16 pixels (at 96 DPI) for menus, toolbars, trees and window icons. Each image is
// kept as its source (an icon or bitmap resource of the program, the bytes of an .ico file, or an icon),
// so that it is drawn sharp at every DPI: the list makes the icon of each size it is asked for, and its
// greyed variant for disabled items, once.
#pragma once

#include "core/Object.h"
#include "core/collections/PointerArrayList.h"
#include "core/controls/NativeTypes.h"

#include <cstdint>

namespace Core::Controls
{

class Graphics;

class ImageList : public Object
{
public:
    static constexpr int ImageSize = 16;
    // Resource types for AddFromResource, as the system numbers them.
    static constexpr int BitmapResource = 0;
    static constexpr int IconResource = 1;

    ImageList();
    ~ImageList() override;
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    // An icon (or bitmap) resource of the program; returns the new image's index.
    int AddFromResource(int resourceId, int resourceType = IconResource);
    // An icon held in memory: the bytes of an .ico file, copied. Returns the new image's index.
    int AddFromMemory(const uint8_t* data, int length);
    // A copy of an icon; the caller keeps its own.
    int AddIcon(IconHandle icon);
    int GetCount() const { return m_images.GetCount(); }

    // The image as an icon of size by size pixels, greyed when disabled; owned by the list.
    IconHandle GetIcon(int index, int size, bool disabled = false);
    // A new icon of the image at that size; the caller destroys it (DestroyIcon).
    IconHandle CreateIconHandle(int index, int size) const;
    // The side of an image at a DPI.
    static int GetImageSize(int dpi);
    // Draws the image with its top-left corner at x, y at the graphics' DPI: blended from its own pixels when it
    // has a 32-bit image of that size with alpha, otherwise through its icon. Either looks the same.
    void Draw(Graphics& graphics, int index, int x, int y, bool enabled = true);

private:
    class Image;
    class SizedIcons;
    void CheckIndex(int index) const;
    SizedIcons& IconsOfSize(int size);
    // A place for the image just added in the icons of every size made so far.
    void AddSlots();

    Collections::PointerArrayList<Image> m_images;
    Collections::PointerArrayList<SizedIcons> m_sizes;
};

// A greyed, faded copy of an icon for disabled items; the caller destroys it.
IconHandle CreateDisabledIcon(IconHandle icon, int size);

} // namespace Core::Controls
