// Character classes of XML 1.0 (Appendix B): which UTF-16 units may start or continue a name.
#pragma once

#include <array>
#include <cstdint>

namespace Core::Xml::Characters
{

enum : uint8_t
{
    NameStartFlag = 1, // Letter, '_' or ':'
    NameFlag = 2,      // any name character, the start characters included
    WhitespaceFlag = 4 // space, tab, carriage return, line feed
};

// One entry of flags per UTF-16 unit.
extern const std::array<uint8_t, 65536> Table;

inline bool IsNameStart(wchar_t ch)
{
    return (Table[static_cast<uint16_t>(ch)] & NameStartFlag) != 0;
}

inline bool IsNameChar(wchar_t ch)
{
    return (Table[static_cast<uint16_t>(ch)] & NameFlag) != 0;
}

inline bool IsWhitespace(wchar_t ch)
{
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
}

} // namespace Core::Xml::Characters
