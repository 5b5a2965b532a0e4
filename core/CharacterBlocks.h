// Copies and compares short runs of UTF-16 units in place. Writers copy a tag or a field of a few units
// millions of times; the C library's memcpy and memcmp are calls into another module for each of them.
#pragma once

#include "core/Simd.h"

#include <cstdint>
#include <cstring>

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
        Simd::Block head = Simd::LoadBytes(from);
        Simd::Block tail = Simd::LoadBytes(from + bytes - 16);
        Simd::StoreBytes(to, head);
        Simd::StoreBytes(to + bytes - 16, tail);
        return;
    }
    if (bytes <= 64)
    {
        Simd::Block a = Simd::LoadBytes(from);
        Simd::Block b = Simd::LoadBytes(from + 16);
        Simd::Block c = Simd::LoadBytes(from + bytes - 32);
        Simd::Block d = Simd::LoadBytes(from + bytes - 16);
        Simd::StoreBytes(to, a);
        Simd::StoreBytes(to + 16, b);
        Simd::StoreBytes(to + bytes - 32, c);
        Simd::StoreBytes(to + bytes - 16, d);
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
        if (Simd::Mask(Simd::EqualBytes(Simd::LoadBytes(a + offset), Simd::LoadBytes(b + offset))) != Simd::FullMask)
        {
            return false;
        }
    }
    // The last block overlaps the one before it instead of reading past the end.
    return offset == bytes || Simd::Mask(Simd::EqualBytes(Simd::LoadBytes(a + bytes - 16),
                                                          Simd::LoadBytes(b + bytes - 16))) == Simd::FullMask;
}

// Narrows count units to one byte each and tells whether all of them were ASCII; when they were not, the
// bytes written are to be ignored. Short runs are moved as overlapping blocks, as in CopyCharacters.
inline bool NarrowAscii(uint8_t* target, const wchar_t* source, int count)
{
    Simd::Block seen;
    if (count >= 8)
    {
        seen = Simd::Zero();
        int i = 0;
        for (; i + 16 < count; i += 16)
        {
            Simd::Block low = Simd::LoadUnits(source + i);
            Simd::Block high = Simd::LoadUnits(source + i + 8);
            seen = seen | low | high;
            Simd::StoreNarrow(target + i, low, high);
        }
        for (; i + 8 < count; i += 8)
        {
            Simd::Block units = Simd::LoadUnits(source + i);
            seen = seen | units;
            Simd::StoreNarrow(target + i, units);
        }
        Simd::Block last = Simd::LoadUnits(source + count - 8);
        seen = seen | last;
        Simd::StoreNarrow(target + count - 8, last);
    }
    else if (count >= 4)
    {
        // Two blocks of four that overlap in the middle; each is stored as four bytes.
        Simd::Block head = Simd::LoadFourUnits(source);
        Simd::Block tail = Simd::LoadFourUnits(source + count - 4);
        seen = head | tail;
        uint32_t headBytes = static_cast<uint32_t>(Simd::Narrow(head));
        uint32_t tailBytes = static_cast<uint32_t>(Simd::Narrow(tail));
        std::memcpy(target, &headBytes, 4);
        std::memcpy(target + count - 4, &tailBytes, 4);
    }
    else
    {
        unsigned int bits = 0;
        for (int i = 0; i < count; i++)
        {
            bits |= source[i];
            target[i] = static_cast<uint8_t>(source[i]);
        }
        return bits < 0x80;
    }
    return Simd::AllAscii(seen);
}

namespace Detail
{

// NarrowShortAscii unit by unit, where a block would reach into the next page. Out of line, to keep the usual
// path short.
__attribute__((noinline)) inline bool NarrowShortAsciiByUnit(const wchar_t* text, int count, uint64_t& bytes)
{
    uint64_t narrowed = 0;
    for (int i = 0; i < count; i++)
    {
        if (text[i] >= 0x80)
        {
            return false;
        }
        narrowed |= static_cast<uint64_t>(text[i]) << (8 * i);
    }
    bytes = narrowed;
    return true;
}

} // namespace Detail

// A text of at most eight units, the usual element or attribute name: whether it is all ASCII, and then its
// bytes, the first unit in the lowest byte and zero past count. Read as one block where that stays inside
// the page, as the units beyond the text are masked off.
__attribute__((always_inline)) inline bool NarrowShortAscii(const wchar_t* text, int count, uint64_t& bytes)
{
    if (count == 0 || !BlockInPage(text))
    {
        return Detail::NarrowShortAsciiByUnit(text, count, bytes);
    }
    Simd::Block units = Simd::LoadUnits(text);
    if (((Simd::AsciiMask(units) | ~Simd::FirstUnits(count)) & Simd::FullMask) != Simd::FullMask)
    {
        return false;
    }
    bytes = count == 8 ? Simd::Narrow(units) : Simd::Narrow(units) & ((uint64_t(1) << (8 * count)) - 1);
    return true;
}

} // namespace Core
