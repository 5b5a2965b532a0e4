// The vector primitives of the text scanners and copies: blocks of eight UTF-16 units (or sixteen bytes) in one
// SSE2 register. The rest of the code calls these, never the intrinsics.
#pragma once

#include <cstdint>
#include <emmintrin.h>

namespace Core::Simd
{

#define QUARROW_SIMD inline __attribute__((always_inline))

// Eight UTF-16 units, or sixteen bytes. A comparison gives a block with every bit set in the units it held for.
struct Block
{
    __m128i bits;
};

constexpr int UnitsPerBlock = 8;

// A mask holds two bits per unit of a block (one per byte), the first unit in the lowest bits.
constexpr int FullMask = 0xFFFF;

QUARROW_SIMD Block LoadUnits(const wchar_t* at)
{
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))};
}

// Four units in the low half; the other four are zero.
QUARROW_SIMD Block LoadFourUnits(const wchar_t* at)
{
    return {_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))};
}

QUARROW_SIMD Block LoadBytes(const void* at)
{
    return {_mm_loadu_si128(static_cast<const __m128i*>(at))};
}

QUARROW_SIMD void StoreBytes(void* at, Block block)
{
    _mm_storeu_si128(static_cast<__m128i*>(at), block.bits);
}

QUARROW_SIMD void StoreUnits(wchar_t* at, Block block)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), block.bits);
}

QUARROW_SIMD Block Splat(wchar_t unit)
{
    return {_mm_set1_epi16(static_cast<short>(unit))};
}

QUARROW_SIMD Block Zero()
{
    return {_mm_setzero_si128()};
}

QUARROW_SIMD Block operator|(Block a, Block b)
{
    return {_mm_or_si128(a.bits, b.bits)};
}

QUARROW_SIMD Block operator&(Block a, Block b)
{
    return {_mm_and_si128(a.bits, b.bits)};
}

// The units of value where mask is clear.
QUARROW_SIMD Block AndNot(Block mask, Block value)
{
    return {_mm_andnot_si128(mask.bits, value.bits)};
}

QUARROW_SIMD Block Equal(Block units, Block other)
{
    return {_mm_cmpeq_epi16(units.bits, other.bits)};
}

QUARROW_SIMD Block Equal(Block units, wchar_t unit)
{
    return Equal(units, Splat(unit));
}

QUARROW_SIMD Block EqualBytes(Block a, Block b)
{
    return {_mm_cmpeq_epi8(a.bits, b.bits)};
}

QUARROW_SIMD int Mask(Block lanes)
{
    return _mm_movemask_epi8(lanes.bits);
}

// The mask of the first count units of a block (count 0 to 8).
QUARROW_SIMD int FirstUnits(int count)
{
    return ((1 << (2 * count)) - 1) & FullMask;
}

// The index of the first unit of a non-zero mask.
QUARROW_SIMD int FirstUnit(int mask)
{
    return __builtin_ctz(static_cast<unsigned int>(mask)) / 2;
}

// The units above U+007F.
QUARROW_SIMD Block NonAscii(Block units)
{
    return AndNot(Equal(units & Splat(static_cast<wchar_t>(0xFF80)), Zero()), Splat(static_cast<wchar_t>(0xFFFF)));
}

// The mask of the ASCII units of a block.
QUARROW_SIMD int AsciiMask(Block units)
{
    return Mask(Equal(units & Splat(static_cast<wchar_t>(0xFF80)), Zero()));
}

QUARROW_SIMD bool AllAscii(Block units)
{
    return AsciiMask(units) == FullMask;
}

// The units that lie in [low, low + width), as one unsigned comparison. Made where it is used, so its
// constants stay in registers.
class RangeTest
{
public:
    RangeTest(wchar_t low, unsigned int width)
        : m_low(Splat(low)), m_bound(Splat(static_cast<wchar_t>((width ^ 0x8000) & 0xFFFF)))
    {
    }

    QUARROW_SIMD Block operator()(Block units) const
    {
        // Unsigned below, as a signed comparison of both sides with the top bit flipped.
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        __m128i offset = _mm_xor_si128(_mm_sub_epi16(units.bits, m_low.bits), flip);
        return {_mm_cmplt_epi16(offset, m_bound.bits)};
    }

private:
    Block m_low;
    Block m_bound;
};

// The low bytes of eight units, stored as eight bytes (units above U+00FF saturate: only use them when ASCII).
QUARROW_SIMD void StoreNarrow(uint8_t* at, Block units)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(units.bits, units.bits));
}

// Sixteen units as sixteen bytes.
QUARROW_SIMD void StoreNarrow(uint8_t* at, Block low, Block high)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(low.bits, high.bits));
}

// The low bytes of eight units as one number, the first unit in the lowest byte.
QUARROW_SIMD uint64_t Narrow(Block units)
{
    return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(units.bits, units.bits)));
}

#undef QUARROW_SIMD

} // namespace Core::Simd
