#include "core/controls/TextFinder.h"

#include "core/Simd.h"

#include <cstring>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

// The upper-case form of every UTF-16 unit, made once on first use; static storage, not the heap, so that the
// first search of a test is not counted as a leak.
class FoldTable
{
public:
    FoldTable()
    {
        for (int unit = 0; unit < 0x10000; unit++)
        {
            m_units[unit] = static_cast<wchar_t>(unit);
        }
        // Surrogates stay themselves; the invariant culture maps the rest one unit to one unit.
        MapRange(0, 0xD800);
        MapRange(0xE000, 0x10000);
    }

    wchar_t operator[](wchar_t unit) const { return m_units[static_cast<uint16_t>(unit)]; }

private:
    void MapRange(int first, int end)
    {
        int count = end - first;
        std::vector<wchar_t> mapped(static_cast<size_t>(count));
        int done = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, m_units + first, count, mapped.data(), count,
                                 nullptr, nullptr, 0);
        if (done == count)
        {
            std::memcpy(m_units + first, mapped.data(), static_cast<size_t>(count) * sizeof(wchar_t));
            return;
        }
        // Without the system's table, at least ASCII folds.
        for (int unit = first; unit < end && unit < 0x80; unit++)
        {
            m_units[unit] = unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 0x20) : m_units[unit];
        }
    }

    wchar_t m_units[0x10000];
};

const FoldTable& Folds()
{
    static const FoldTable table;
    return table;
}

// The bytes whose folded form is unit: their number, the first two in bytes.
int BytesFoldingTo(wchar_t unit, uint8_t bytes[2])
{
    const FoldTable& folds = Folds();
    int count = 0;
    for (int byte = 0; byte < 0x100; byte++)
    {
        if (folds[static_cast<wchar_t>(byte)] == unit)
        {
            if (count < 2)
            {
                bytes[count] = static_cast<uint8_t>(byte);
            }
            count++;
        }
    }
    if (count == 1)
    {
        bytes[1] = bytes[0];
    }
    return count;
}

// A block of sixteen copies of the byte.
Simd::Block SplatByte(uint8_t byte)
{
    return Simd::Splat(static_cast<wchar_t>(byte * 0x101));
}

} // namespace

TextFinder::TextFinder(const String& text) : m_text(text)
{
    m_firstBlocks[0] = m_firstBlocks[1] = m_lastBlocks[0] = m_lastBlocks[1] = Simd::Zero();
    int length = text.GetLength();
    std::vector<wchar_t> folded(static_cast<size_t>(length) + 1);
    for (int i = 0; i < length; i++)
    {
        folded[static_cast<size_t>(i)] = Fold(text.GetBuffer()[i]);
    }
    m_folded = String(folded.data(), length);
    if (length == 0)
    {
        return;
    }
    m_narrowPossible = true;
    for (int i = 1; i < length - 1 && m_narrowPossible; i++)
    {
        uint8_t unused[2];
        m_narrowPossible = BytesFoldingTo(folded[static_cast<size_t>(i)], unused) > 0;
    }
    int firsts = BytesFoldingTo(folded[0], m_first);
    int lasts = BytesFoldingTo(folded[static_cast<size_t>(length) - 1], m_last);
    m_narrowPossible = m_narrowPossible && firsts > 0 && lasts > 0;
    m_narrowVector = firsts <= 2 && lasts <= 2;
    for (int i = 0; i < 2; i++)
    {
        m_firstBlocks[i] = SplatByte(m_first[i]);
        m_lastBlocks[i] = SplatByte(m_last[i]);
    }
}

wchar_t TextFinder::Fold(wchar_t unit)
{
    return Folds()[unit];
}

bool TextFinder::IsFoundIn(const wchar_t* text, int length) const
{
    int count = m_folded.GetLength();
    if (count == 0)
    {
        return true;
    }
    const wchar_t* needle = m_folded.GetBuffer();
    const FoldTable& folds = Folds();
    for (int start = 0; start <= length - count; start++)
    {
        if (folds[text[start]] != needle[0])
        {
            continue;
        }
        int i = 1;
        while (i < count && folds[text[start + i]] == needle[i])
        {
            i++;
        }
        if (i == count)
        {
            return true;
        }
    }
    return false;
}

bool TextFinder::MatchesNarrowAt(const uint8_t* text) const
{
    const FoldTable& folds = Folds();
    const wchar_t* needle = m_folded.GetBuffer();
    int count = m_folded.GetLength();
    for (int i = 0; i < count; i++)
    {
        if (folds[static_cast<wchar_t>(text[i])] != needle[i])
        {
            return false;
        }
    }
    return true;
}

bool TextFinder::IsFoundInNarrowScalar(const uint8_t* text, int length) const
{
    for (int start = 0; start <= length - m_folded.GetLength(); start++)
    {
        if (MatchesNarrowAt(text + start))
        {
            return true;
        }
    }
    return false;
}

bool TextFinder::Narrows(const TextFinder& other) const
{
    return other.IsFoundIn(m_folded);
}

} // namespace Core::Controls
