// Finds the units of a delimited-text field that call for quotes (the separator, a double quote, CR or LF),
// and narrows ASCII fields while it looks. A million fields go by in a large report, so they are looked at
// eight (or four) units at a time, the last block overlapping the one before instead of reaching past the field.
#pragma once

#include "core/CharacterBlocks.h"
#include "core/Simd.h"
#include "core/String.h"

#include <cstdint>

namespace Reports
{

using Core::BlockInPage;
using Core::CharactersEqual;
using Core::String;
namespace Simd = Core::Simd;

class DelimitedFieldScanner
{
public:
    explicit DelimitedFieldScanner(const String& separator)
        : m_separator(separator), m_longSeparator(separator.GetLength() > 1),
          m_separatorUnit(Simd::Splat(separator.GetLength() == 1 ? separator.GetBuffer()[0] : L'"'))
    {
    }

    bool NeedsQuotes(const String& field) const { return NeedsQuotes(field.GetBuffer(), field.GetLength()); }

    bool NeedsQuotes(const wchar_t* text, int length) const
    {
        int marks = 0;
        if (length >= 8)
        {
            for (int i = 0; i + 8 < length && marks == 0; i += 8)
            {
                marks = Marks(Simd::LoadUnits(text + i));
            }
            marks |= Marks(Simd::LoadUnits(text + length - 8));
        }
        else if (length >= 4)
        {
            // Only the low four units of each load are the field's.
            marks = (Marks(Simd::LoadFourUnits(text)) | Marks(Simd::LoadFourUnits(text + length - 4))) &
                    Simd::FirstUnits(4);
        }
        else if (length > 0 && BlockInPage(text))
        {
            marks = Marks(Simd::LoadUnits(text)) & Simd::FirstUnits(length);
        }
        else
        {
            for (int i = 0; i < length; i++)
            {
                marks |= Marks(Simd::Splat(text[i]));
            }
        }
        return CallsForQuotes(marks, text, length);
    }

    // Narrows a field that needs no quotes and is all ASCII into out, which has room for its length and a block
    // more, and tells whether it was such a field (otherwise out holds nothing of use). One pass looks at each
    // unit and moves it.
    bool NarrowPlain(uint8_t* out, const String& field) const
    {
        return NarrowPlain(out, field.GetBuffer(), field.GetLength());
    }

    bool NarrowPlain(uint8_t* out, const wchar_t* text, int length) const
    {
        int stops = 0;
        if (length >= 8)
        {
            for (int i = 0; i + 8 < length; i += 8)
            {
                stops |= NarrowBlock(out + i, Simd::LoadUnits(text + i));
            }
            stops |= NarrowBlock(out + length - 8, Simd::LoadUnits(text + length - 8));
        }
        else if (length > 0 && BlockInPage(text))
        {
            stops = NarrowBlock(out, Simd::LoadUnits(text)) & Simd::FirstUnits(length);
        }
        else
        {
            for (int i = 0; i < length; i++)
            {
                stops |= NarrowBlock(out + i, Simd::Splat(text[i])) & Simd::FirstUnits(1);
            }
        }
        return !CallsForQuotes(stops, text, length); // stops also marks the units that are not ASCII
    }

    // Writes an ASCII field between quotes with each quote doubled; out has room for twice its length, two
    // quotes and a block more. Returns the bytes written, or -1 for a field that is not ASCII (out then holds
    // nothing of use).
    static int NarrowQuoted(uint8_t* out, const String& field)
    {
        const wchar_t* text = field.GetBuffer();
        int length = field.GetLength();
        uint8_t* start = out;
        *out++ = '"';
        int i = 0;
        for (; i + 8 <= length; i += 8)
        {
            Simd::Block units = Simd::LoadUnits(text + i);
            if (!Simd::AllAscii(units))
            {
                return -1;
            }
            Simd::StoreNarrow(out, units);
            if (Simd::Mask(Simd::Equal(units, L'"')) == 0)
            {
                out += 8;
                continue;
            }
            out = NarrowQuotedUnits(out, text + i, 8);
        }
        for (int k = i; k < length; k++)
        {
            if (text[k] >= 0x80)
            {
                return -1;
            }
        }
        out = NarrowQuotedUnits(out, text + i, length - i);
        *out++ = '"';
        return static_cast<int>(out - start);
    }

    // The first double quote at or after start, or length.
    static int FindQuote(const wchar_t* text, int start, int length)
    {
        int i = start;
        for (; i + 8 <= length; i += 8)
        {
            int marks = Simd::Mask(Simd::Equal(Simd::LoadUnits(text + i), L'"'));
            if (marks != 0)
            {
                return i + Simd::FirstUnit(marks);
            }
        }
        while (i < length && text[i] != L'"')
        {
            i++;
        }
        return i;
    }

private:
    // The one rule of both paths: a field is quoted when a unit of it is a double quote, CR, LF or the separator
    // (marks, from MarkLanes), or when it holds a separator of more than one unit.
    __attribute__((always_inline)) bool CallsForQuotes(int marks, const wchar_t* text, int length) const
    {
        return marks != 0 || (m_longSeparator && HoldsSeparator(text, length));
    }

    bool HoldsSeparator(const wchar_t* text, int length) const
    {
        int separatorLength = m_separator.GetLength();
        for (int i = 0; i + separatorLength <= length; i++)
        {
            if (CharactersEqual(text + i, m_separator.GetBuffer(), separatorLength))
            {
                return true;
            }
        }
        return false;
    }

    // The units that call for quotes.
    __attribute__((always_inline)) Simd::Block MarkLanes(Simd::Block units) const
    {
        return (Simd::Equal(units, L'"') | Simd::Equal(units, L'\r')) |
               (Simd::Equal(units, L'\n') | Simd::Equal(units, m_separatorUnit));
    }

    __attribute__((always_inline)) int Marks(Simd::Block units) const { return Simd::Mask(MarkLanes(units)); }

    // Stores the low bytes of the block's units and returns the mask of those that call for quotes or are not
    // ASCII.
    __attribute__((always_inline)) int NarrowBlock(uint8_t* out, Simd::Block units) const
    {
        Simd::StoreNarrow(out, units);
        return Simd::Mask(MarkLanes(units) | Simd::NonAscii(units));
    }

    static uint8_t* NarrowQuotedUnits(uint8_t* out, const wchar_t* text, int count)
    {
        for (int k = 0; k < count; k++)
        {
            *out++ = static_cast<uint8_t>(text[k]);
            if (text[k] == L'"')
            {
                *out++ = '"';
            }
        }
        return out;
    }

    const String& m_separator; // not owned: the caller's, for as long as the scanner
    bool m_longSeparator;
    Simd::Block m_separatorUnit;
};

} // namespace Reports
