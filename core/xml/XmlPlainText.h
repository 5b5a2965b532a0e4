// Finds the units of a text that escaping has to look at, eight at a time, and copies the plain ones on the way.
#pragma once

#include "core/CharacterBlocks.h"

#include <cstdint>
#include <emmintrin.h>

namespace Core::Xml::Detail
{

// Looks at eight units at once. A unit is plain when it lies in 0x20 ... 0xD7FF and is none of '&', '<', '>'
// and the extra unit (the quote inside an attribute value; '&' again in text, where quotes stay as they are).
class PlainScan
{
public:
    explicit PlainScan(wchar_t extra) : m_extra(_mm_set1_epi16(static_cast<short>(extra))) {}

    // Bit pairs set for the plain units of the block.
    __attribute__((always_inline)) int Mask(__m128i units) const
    {
        const __m128i bias = _mm_set1_epi16(0x20);
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        // 0x20 <= unit < 0xD800, as one unsigned comparison made signed by flipping the top bit.
        const __m128i limit = _mm_set1_epi16(static_cast<short>((0xD800 - 0x20) ^ 0x8000));
        __m128i inRange = _mm_cmplt_epi16(_mm_xor_si128(_mm_sub_epi16(units, bias), flip), limit);
        __m128i marks = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'&')), _mm_cmpeq_epi16(units, _mm_set1_epi16(L'<'))),
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'>')), _mm_cmpeq_epi16(units, m_extra)));
        return _mm_movemask_epi8(_mm_andnot_si128(marks, inRange));
    }

    bool IsPlain(wchar_t ch) const { return Mask(_mm_set1_epi16(static_cast<short>(ch))) == 0xFFFF; }

private:
    __m128i m_extra;
};

// Copies units to the output while it scans them and returns how many lead up to the first one that is not
// plain (count when all are). The output must have room for count + 8 units.
__attribute__((always_inline)) inline int CopyPlain(wchar_t* out, const wchar_t* from, int count, const PlainScan& scan)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), units);
        int plain = scan.Mask(units);
        if (plain != 0xFFFF)
        {
            return i + __builtin_ctz(~plain) / 2;
        }
    }
    if (i < count)
    {
        int at = count >= 8 ? count - 8 : 0;
        int plain;
        if (count >= 8)
        {
            // The last units as a block that overlaps the one before (those units were plain).
            __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), units);
            plain = scan.Mask(units);
        }
        else if (BlockInPage(from))
        {
            __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
            plain = scan.Mask(units) | (0xFFFF << (2 * count));
        }
        else
        {
            int first = count;
            for (int k = 0; k < count; k++)
            {
                out[k] = from[k];
                if (first == count && !scan.IsPlain(from[k]))
                {
                    first = k;
                }
            }
            plain = first == count ? 0xFFFF : (1 << (2 * first)) - 1;
        }
        plain &= 0xFFFF;
        if (plain != 0xFFFF)
        {
            return at + __builtin_ctz(~plain) / 2;
        }
    }
    return count;
}

} // namespace Core::Xml::Detail
