// UTF-16 code units and the surrogate pairs that carry code points above U+FFFF.
#pragma once

#include <cstdint>

namespace Core
{

constexpr bool IsHighSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

constexpr bool IsLowSurrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Either half: a code point in this range is no character.
constexpr bool IsSurrogate(uint32_t code)
{
    return code >= 0xD800 && code <= 0xDFFF;
}

constexpr uint32_t CodePointOf(wchar_t high, wchar_t low)
{
    return ((static_cast<uint32_t>(high) - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00) + 0x10000;
}

// The two halves of a code point above U+FFFF.
constexpr wchar_t HighSurrogateOf(uint32_t codePoint)
{
    return static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
}

constexpr wchar_t LowSurrogateOf(uint32_t codePoint)
{
    return static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

} // namespace Core
