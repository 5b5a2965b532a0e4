// Finds the units of a text that escaping has to look at, eight at a time, and copies the plain ones on the way.
#pragma once

#include "core/CharacterBlocks.h"

#include "core/Simd.h"

#include <cstdint>

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
        : m_extra(Simd::Splat(extra)), m_inRange(L' ', limit - 0x20)
    {
    }

    // The mask of the plain units of the block.
    __attribute__((always_inline)) int Mask(Simd::Block units) const
    {
        Simd::Block marks = (Simd::Equal(units, L'&') | Simd::Equal(units, L'<')) |
                            (Simd::Equal(units, L'>') | Simd::Equal(units, m_extra));
        return Simd::Mask(Simd::AndNot(marks, m_inRange(units)));
    }

    bool IsPlain(wchar_t ch) const { return Mask(Simd::Splat(ch)) == Simd::FullMask; }

private:
    Simd::Block m_extra;
    Simd::RangeTest m_inRange;
};

namespace PlainStore
{

// Eight units as they are, or narrowed to eight bytes (only ever kept when they were ASCII).
__attribute__((always_inline)) inline void Block(wchar_t* out, Simd::Block units)
{
    Simd::StoreUnits(out, units);
}

__attribute__((always_inline)) inline void Block(uint8_t* out, Simd::Block units)
{
    Simd::StoreNarrow(out, units);
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
        Simd::Block units = Simd::LoadUnits(from + i);
        PlainStore::Block(out + i, units);
        int plain = scan.Mask(units);
        if (plain != Simd::FullMask)
        {
            return i + Simd::FirstUnit(~plain);
        }
    }
    if (i < count)
    {
        int at = count >= 8 ? count - 8 : 0;
        int plain;
        if (count >= 8)
        {
            // The last units as a block that overlaps the one before (those units were plain).
            Simd::Block units = Simd::LoadUnits(from + at);
            PlainStore::Block(out + at, units);
            plain = scan.Mask(units);
        }
        else if (BlockInPage(from))
        {
            Simd::Block units = Simd::LoadUnits(from);
            PlainStore::Block(out, units);
            plain = scan.Mask(units) | ~Simd::FirstUnits(count);
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
            plain = Simd::FirstUnits(first);
        }
        plain &= Simd::FullMask;
        if (plain != Simd::FullMask)
        {
            return at + Simd::FirstUnit(~plain);
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
        int plain = scan.Mask(Simd::LoadUnits(from + i));
        if (plain != Simd::FullMask)
        {
            return i + Simd::FirstUnit(~plain);
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

// A text of at most eight units with nothing to escape, the usual value: narrowed to out (room for eight bytes)
// as one block where that stays inside the page. False, with nothing of use in out, for any other text.
__attribute__((always_inline)) inline bool NarrowShortPlain(uint8_t* out, const wchar_t* text, int count,
                                                            const PlainScan& scan)
{
    if (count == 0)
    {
        return true;
    }
    if (count > Simd::UnitsPerBlock || !BlockInPage(text))
    {
        return false;
    }
    Simd::Block units = Simd::LoadUnits(text);
    if (((scan.Mask(units) | ~Simd::FirstUnits(count)) & Simd::FullMask) != Simd::FullMask)
    {
        return false;
    }
    Simd::StoreNarrow(out, units);
    return true;
}

} // namespace Core::Xml::Detail
