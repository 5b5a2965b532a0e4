// Finds the units of a text that escaping has to look at, eight at a time, and copies the plain ones on the way.
#pragma once

#include "core/CharacterBlocks.h"

#include <cstdint>
#include <emmintrin.h>

namespace Core::Xml::Detail
{

// Looks at eight units at once. A unit is plain when it lies in 0x20 up to the limit (0xD800, where surrogates
// begin; 0x80 for output narrowed to ASCII) and is none of '&', '<', '>' and the extra unit (the quote inside an
// attribute value; '&' again in text, where quotes stay as they are). Made where it is used, so the limit and
// the extra unit become constants.
class PlainScan
{
public:
    explicit PlainScan(wchar_t extra, unsigned int limit = 0xD800)
        : m_extra(_mm_set1_epi16(static_cast<short>(extra))),
          m_limit(_mm_set1_epi16(static_cast<short>((limit - 0x20) ^ 0x8000)))
    {
    }

    // Bit pairs set for the plain units of the block.
    __attribute__((always_inline)) int Mask(__m128i units) const
    {
        const __m128i bias = _mm_set1_epi16(0x20);
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        // 0x20 <= unit < limit, as one unsigned comparison made signed by flipping the top bit.
        __m128i inRange = _mm_cmplt_epi16(_mm_xor_si128(_mm_sub_epi16(units, bias), flip), m_limit);
        __m128i marks = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'&')), _mm_cmpeq_epi16(units, _mm_set1_epi16(L'<'))),
            _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(L'>')), _mm_cmpeq_epi16(units, m_extra)));
        return _mm_movemask_epi8(_mm_andnot_si128(marks, inRange));
    }

    bool IsPlain(wchar_t ch) const { return Mask(_mm_set1_epi16(static_cast<short>(ch))) == 0xFFFF; }

private:
    __m128i m_extra;
    __m128i m_limit;
};

namespace PlainStore
{

// Eight units as they are, or narrowed to eight bytes (only ever kept when they were ASCII).
__attribute__((always_inline)) inline void Block(wchar_t* out, __m128i units)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
}

__attribute__((always_inline)) inline void Block(uint8_t* out, __m128i units)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
}

} // namespace PlainStore

// Copies units to the output while it scans them and returns how many lead up to the first one that is not
// plain (count when all are). The output, units or bytes narrowed from units below 0x80 (then the scan's limit is
// 0x80), must have room for count + 8 units.
template <typename Out>
__attribute__((always_inline)) inline int CopyPlain(Out* out, const wchar_t* from, int count, const PlainScan& scan)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        PlainStore::Block(out + i, units);
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
            PlainStore::Block(out + at, units);
            plain = scan.Mask(units);
        }
        else if (BlockInPage(from))
        {
            __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            PlainStore::Block(out, units);
            plain = scan.Mask(units) | (0xFFFF << (2 * count));
        }
        else
        {
            int first = count;
            for (int k = 0; k < count; k++)
            {
                out[k] = static_cast<Out>(from[k]);
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

// How many units lead up to the first one that is not plain, without copying them.
inline int PlainLength(const wchar_t* from, int count, const PlainScan& scan)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        int plain = scan.Mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
        if (plain != 0xFFFF)
        {
            return i + __builtin_ctz(~plain) / 2;
        }
    }
    for (; i < count; i++)
    {
        if (!scan.IsPlain(from[i]))
        {
            return i;
        }
    }
    return count;
}

} // namespace Core::Xml::Detail
