#include "core/controls/PictureBox.h"

#include "core/Exception.h"
#include "core/controls/Application.h"
#include "core/controls/Graphics.h"

#include <windows.h>

namespace Core::Controls
{

PictureBox::PictureBox() = default;

PictureBox::~PictureBox()
{
    if (m_bitmap != nullptr)
    {
        DeleteObject(m_bitmap);
    }
}

void PictureBox::SetImage(int resourceId, int width, int height)
{
    // Loaded at its own size; painting scales it for the DPI with halftoning.
    auto* bitmap = static_cast<HBITMAP>(
        LoadImageW(Application::GetInstance(), MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr)
    {
        throw Exception(String(L"Failed to load image from resource ") + resourceId);
    }
    SetBitmap(bitmap);
    SetSize(width, height);
}

void PictureBox::SetBitmap(BitmapHandle bitmap)
{
    if (m_bitmap != nullptr && m_bitmap != bitmap)
    {
        DeleteObject(m_bitmap);
    }
    m_bitmap = bitmap;
    Invalidate();
}

void PictureBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    graphics.DrawBitmap(m_bitmap, GetClientRectangle());
}

} // namespace Core::Controls
