// Shows a bitmap, a resource of the program or one given, scaled smoothly to the box's size.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class PictureBox : public Control
{
public:
    PictureBox();
    ~PictureBox() override;

    // A bitmap resource of the program shown at width by height pixels (at 96 DPI); the box takes
    // that size. A missing resource reports "Failed to load image from resource " and its number.
    void SetImage(int resourceId, int width, int height);
    // A bitmap the box takes over (and deletes), shown at the box's size.
    void SetBitmap(BitmapHandle bitmap);
    BitmapHandle GetBitmap() const { return m_bitmap; }

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;

private:
    BitmapHandle m_bitmap = nullptr; // owned
};

} // namespace Core::Controls
