// Copies and compares short runs of UTF-16 units in place. Writers copy a tag or a field of a few units
// millions of times; the C library's memcpy and memcmp are calls into another module for each of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace Core
{

namespace Detail
{

// Moves bytes, between one and two blocks' worth, as two blocks that overlap in the middle.
template <typename Block> inline void CopyTwoBlocks(char* to, const char* from, size_t bytes)
{
    Block head;
    Block tail;
    std::memcpy(&head, from, sizeof(Block));
    std::memcpy(&tail, from + bytes - sizeof(Block), sizeof(Block));
    std::memcpy(to, &head, sizeof(Block));
    std::memcpy(to + bytes - sizeof(Block), &tail, sizeof(Block));
}

template <typename Block> inline bool EqualTwoBlocks(const char* a, const char* b, size_t bytes)
{
    Block aHead, aTail, bHead, bTail;
    std::memcpy(&aHead, a, sizeof(Block));
    std::memcpy(&aTail, a + bytes - sizeof(Block), sizeof(Block));
    std::memcpy(&bHead, b, sizeof(Block));
    std::memcpy(&bTail, b + bytes - sizeof(Block), sizeof(Block));
    return ((aHead ^ bHead) | (aTail ^ bTail)) == 0;
}

} // namespace Detail

// Whether sixteen bytes from the address lie in one page: then a block may be read past the end of a short
// text, as no fault can come of it. The units beyond the text are to be masked off, never used.
inline bool BlockInPage(const wchar_t* at)
{
    return (reinterpret_cast<uintptr_t>(at) & 4095) <= 4096 - 16;
}

// Copies count units between buffers that do not overlap. Short runs are moved as two overlapping blocks
// that cover the run exactly, so nothing outside either buffer is read or written.
__attribute__((always_inline)) inline void CopyCharacters(wchar_t* target, const wchar_t* source, int count)
{
    size_t bytes = static_cast<size_t>(count) * sizeof(wchar_t);
    char* to = reinterpret_cast<char*>(target);
    const char* from = reinterpret_cast<const char*>(source);
    if (bytes <= 16)
    {
        if (bytes >= 8)
        {
            Detail::CopyTwoBlocks<uint64_t>(to, from, bytes);
        }
        else if (bytes >= 4)
        {
            Detail::CopyTwoBlocks<uint32_t>(to, from, bytes);
        }
        else if (bytes == 2)
        {
            std::memcpy(to, from, 2);
        }
        return;
    }
    if (bytes <= 32)
    {
        __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + bytes - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), head);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + bytes - 16), tail);
        return;
    }
    if (bytes <= 64)
    {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + bytes - 32));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + bytes - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + bytes - 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + bytes - 16), d);
        return;
    }
    std::memcpy(to, from, bytes);
}

// Whether count units of both buffers are equal; reads nothing outside them.
__attribute__((always_inline)) inline bool CharactersEqual(const wchar_t* left, const wchar_t* right, int count)
{
    size_t bytes = static_cast<size_t>(count) * sizeof(wchar_t);
    const char* a = reinterpret_cast<const char*>(left);
    const char* b = reinterpret_cast<const char*>(right);
    if (bytes < 16)
    {
        if (bytes >= 8)
        {
            return Detail::EqualTwoBlocks<uint64_t>(a, b, bytes);
        }
        if (bytes >= 4)
        {
            return Detail::EqualTwoBlocks<uint32_t>(a, b, bytes);
        }
        return bytes == 0 || left[0] == right[0];
    }
    size_t offset = 0;
    for (; offset + 16 <= bytes; offset += 16)
    {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + offset));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + offset));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) != 0xFFFF)
        {
            return false;
        }
    }
    if (offset < bytes)
    {
        // The last block overlaps the one before it instead of reading past the end.
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + bytes - 16));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + bytes - 16));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) == 0xFFFF;
    }
    return true;
}

// Narrows count units to one byte each and tells whether all of them were ASCII; when they were not, the
// bytes written are to be ignored. Short runs are moved as overlapping blocks, as in CopyCharacters.
inline bool NarrowAscii(uint8_t* target, const wchar_t* source, int count)
{
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    __m128i seen;
    if (count >= 8)
    {
        seen = _mm_setzero_si128();
        int i = 0;
        for (; i + 16 < count; i += 16)
        {
            __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
            __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 8));
            seen = _mm_or_si128(seen, _mm_or_si128(low, high));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), _mm_packus_epi16(low, high));
        }
        for (; i + 8 < count; i += 8)
        {
            __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
            seen = _mm_or_si128(seen, units);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(target + i), _mm_packus_epi16(units, units));
        }
        __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + count - 8));
        seen = _mm_or_si128(seen, last);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(target + count - 8), _mm_packus_epi16(last, last));
    }
    else if (count >= 4)
    {
        __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source));
        __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + count - 4));
        seen = _mm_or_si128(head, tail);
        uint32_t headBytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(head, head)));
        uint32_t tailBytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(tail, tail)));
        std::memcpy(target, &headBytes, 4);
        std::memcpy(target + count - 4, &tailBytes, 4);
    }
    else
    {
        unsigned int bits = 0;
        switch (count)
        {
        case 3:
            bits |= source[2];
            target[2] = static_cast<uint8_t>(source[2]);
            [[fallthrough]];
        case 2:
            bits |= source[1];
            target[1] = static_cast<uint8_t>(source[1]);
            [[fallthrough]];
        case 1:
            bits |= source[0];
            target[0] = static_cast<uint8_t>(source[0]);
            break;
        default:
            break;
        }
        return bits < 0x80;
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(seen, nonAscii), _mm_setzero_si128())) == 0xFFFF;
}

} // namespace Core
