// Finding a text inside others regardless of case, the same in every culture: each UTF-16 unit is compared in
// its upper-case form (the invariant culture's one-unit-to-one-unit mapping), as an ordinal ignore-case search.
#pragma once

#include "core/Simd.h"
#include "core/String.h"

#include <cstdint>

namespace Core::Controls
{

class TextFinder
{
public:
    // The bytes that must be readable after a narrow text (IsFoundInNarrow reads whole blocks of sixteen).
    static constexpr int NarrowPadding = 16;

    explicit TextFinder(const String& text = String());

    const String& GetText() const { return m_text; }
    const String& GetFoldedText() const { return m_folded; }
    bool IsEmpty() const { return m_folded.IsEmpty(); }

    // Whether the text occurs in text (the empty text occurs everywhere).
    bool IsFoundIn(const wchar_t* text, int length) const;
    bool IsFoundIn(const String& text) const { return IsFoundIn(text.GetBuffer(), text.GetLength()); }
    // The same for a text of one byte a character (U+0000 to U+00FF); NarrowPadding readable bytes of any value
    // must follow text + length. Inline: scans call it for every cell.
    bool IsFoundInNarrow(const uint8_t* text, int length) const
    {
        int count = m_folded.GetLength();
        if (count == 0)
        {
            return true;
        }
        if (!m_narrowPossible || count > length)
        {
            return false;
        }
        return m_narrowVector ? IsFoundInNarrowVector(text, length) : IsFoundInNarrowScalar(text, length);
    }
    // Whether every text that holds this finder's text holds the other's too: what this finds is a part of what
    // the other finds.
    bool Narrows(const TextFinder& other) const;

    // The unit's upper-case form.
    static wchar_t Fold(wchar_t unit);

private:
    bool IsFoundInNarrowScalar(const uint8_t* text, int length) const;
    bool MatchesNarrowAt(const uint8_t* text) const;
    bool IsFoundInNarrowVector(const uint8_t* text, int length) const;

    String m_text;
    String m_folded;
    // The bytes whose folded form is the first and the last unit of the folded text (a byte given twice
    // when only one has it).
    uint8_t m_first[2] = {0, 0};
    uint8_t m_last[2] = {0, 0};
    // False when some unit of the text has no byte folding to it: no narrow text can hold it.
    bool m_narrowPossible = false;
    // False when a first or last unit has more than two bytes folding to it: the scalar search is used.
    bool m_narrowVector = false;
    // Sixteen copies of each of m_first and m_last.
    Simd::Block m_firstBlocks[2];
    Simd::Block m_lastBlocks[2];
};

// Sixteen places at a time: the places whose byte could be the first unit and whose byte count - 1 further could
// be the last one are checked whole.
inline bool TextFinder::IsFoundInNarrowVector(const uint8_t* text, int length) const
{
    using namespace Simd;
    int count = m_folded.GetLength();
    int places = length - count + 1;
    for (int start = 0; start < places; start += 16)
    {
        Block head = LoadBytes(text + start);
        Block tail = LoadBytes(text + start + count - 1);
        int mask = Mask((EqualBytes(head, m_firstBlocks[0]) | EqualBytes(head, m_firstBlocks[1])) &
                        (EqualBytes(tail, m_lastBlocks[0]) | EqualBytes(tail, m_lastBlocks[1])));
        if (places - start < 16)
        {
            mask &= (1 << (places - start)) - 1;
        }
        while (mask != 0)
        {
            if (MatchesNarrowAt(text + start + __builtin_ctz(static_cast<unsigned int>(mask))))
            {
                return true;
            }
            mask &= mask - 1;
        }
    }
    return false;
}

} // namespace Core::Controls
