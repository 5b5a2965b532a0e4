// A font description: face, character cell height in pixels at 96 DPI, weight, style bits, orientation
// and character set. Controls turn it into a native font for their window's DPI.
#pragma once

#include "core/Object.h"
#include "core/String.h"
#include "core/controls/NativeTypes.h"

namespace Core::Controls
{

class Font : public Object
{
public:
    enum Style
    {
        Regular = 0,
        Italic = 1,
        Underline = 2,
        Strikeout = 8
    };
    enum Orientation
    {
        Horizontal = 0,
        Rotate90 = 2,  // reads bottom to top
        Rotate270 = 3, // reads top to bottom
    };
    static constexpr int Normal = 400;
    static constexpr int Bold = 700;
    static constexpr int DefaultCharacterSet = 1;

    Font(const String& face, int height, int weight = Normal, int style = Regular, int orientation = Horizontal,
         int characterSet = DefaultCharacterSet);

    const String& GetFace() const { return m_face; }
    int GetHeight() const { return m_height; }
    int GetWeight() const { return m_weight; }
    int GetStyle() const { return m_style; }
    int GetOrientation() const { return m_orientation; }
    int GetCharacterSet() const { return m_characterSet; }
    // The text's angle in tenths of a degree, counter-clockwise: 900, 2700 or 0.
    int GetEscapement() const;

    // A new native font at the given DPI; the caller deletes it (DeleteObject).
    FontHandle CreateHandle(int dpi) const;

    bool operator==(const Font& other) const;

private:
    String m_face;
    int m_height;
    int m_weight;
    int m_style;
    int m_orientation;
    int m_characterSet;
};

} // namespace Core::Controls
