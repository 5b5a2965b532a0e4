#include "core/controls/Font.h"

#include "core/Exception.h"

#include <windows.h>

namespace Core::Controls
{

Font::Font(const String& face, int height, int weight, int style, int orientation, int characterSet)
    : m_face(face), m_height(height), m_weight(weight), m_style(style), m_orientation(orientation),
      m_characterSet(characterSet)
{
    if (face.GetLength() >= LF_FACESIZE)
    {
        throw ArgumentException(String(L"Font face name is too long: ") + face);
    }
}

int Font::GetEscapement() const
{
    switch (m_orientation)
    {
    case Rotate90:
        return 900;
    case Rotate270:
        return 2700;
    default:
        return 0;
    }
}

FontHandle Font::CreateHandle(int dpi) const
{
    LOGFONTW font = {};
    // A negative height asks for the character height, the cell height without internal leading; the
    // positive value asks for the cell height itself, which is what the height here means.
    font.lfHeight = MulDiv(m_height, dpi, 96);
    font.lfWeight = m_weight;
    font.lfItalic = (m_style & Italic) != 0;
    font.lfUnderline = (m_style & Underline) != 0;
    font.lfStrikeOut = (m_style & Strikeout) != 0;
    font.lfEscapement = GetEscapement();
    font.lfOrientation = font.lfEscapement;
    font.lfCharSet = static_cast<BYTE>(m_characterSet);
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, m_face.GetBuffer(), LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

bool Font::operator==(const Font& other) const
{
    return m_face == other.m_face && m_height == other.m_height && m_weight == other.m_weight &&
           m_style == other.m_style && m_orientation == other.m_orientation && m_characterSet == other.m_characterSet;
}

} // namespace Core::Controls
