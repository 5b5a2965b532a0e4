#include "core/CharacterBlocks.h"
#include "tests/support/GuardedPage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using Core::CharactersEqual;
using Core::CopyCharacters;

// Runs of every length up to well past the block sizes, at odd and even offsets: exactly the run is
// written, and nothing on either side of it.
TEST(CharacterBlocks, CopiesExactlyTheRunAtEveryLengthAndOffset)
{
    wchar_t source[160];
    for (int i = 0; i < 160; i++)
    {
        source[i] = static_cast<wchar_t>(0x4100 + i);
    }
    for (int offset = 0; offset < 3; offset++)
    {
        for (int count = 0; count <= 100; count++)
        {
            wchar_t target[160];
            for (wchar_t& unit : target)
            {
                unit = L'#';
            }
            CopyCharacters(target + 8 + offset, source + offset, count);
            for (int i = 0; i < 160; i++)
            {
                bool inside = i >= 8 + offset && i < 8 + offset + count;
                wchar_t expected = inside ? source[i - 8] : L'#';
                ASSERT_EQ(expected, target[i]) << "count " << count << " offset " << offset << " unit " << i;
            }
        }
    }
}

TEST(CharacterBlocks, ComparesRunsAndFindsADifferenceAnywhere)
{
    wchar_t left[100];
    wchar_t right[100];
    for (int i = 0; i < 100; i++)
    {
        left[i] = right[i] = static_cast<wchar_t>(L'a' + i % 26);
    }
    for (int count = 0; count <= 70; count++)
    {
        ASSERT_TRUE(CharactersEqual(left + 1, right + 1, count)) << count;
        for (int at = 0; at < count; at++)
        {
            right[1 + at] = static_cast<wchar_t>(right[1 + at] ^ 0x0100); // only the high byte differs
            ASSERT_FALSE(CharactersEqual(left + 1, right + 1, count)) << "count " << count << " at " << at;
            right[1 + at] = left[1 + at];
        }
        // A difference just past the run does not count.
        right[1 + count] = L'!';
        ASSERT_TRUE(CharactersEqual(left + 1, right + 1, count)) << count;
        right[1 + count] = left[1 + count];
    }
}

TEST(CharacterBlocks, NarrowsAsciiRunsAndRejectsAnyOtherUnit)
{
    for (int count = 0; count <= 40; count++)
    {
        wchar_t source[48];
        for (int i = 0; i < 48; i++)
        {
            source[i] = static_cast<wchar_t>(0x20 + (i * 7) % 0x5F);
        }
        uint8_t target[56];
        std::memset(target, '#', sizeof(target));
        ASSERT_TRUE(Core::NarrowAscii(target + 4, source, count)) << count;
        for (int i = 0; i < 56; i++)
        {
            bool inside = i >= 4 && i < 4 + count;
            ASSERT_EQ(inside ? static_cast<uint8_t>(source[i - 4]) : '#', target[i])
                << "count " << count << " at " << i;
        }
        for (int at = 0; at < count; at++)
        {
            for (wchar_t unit : {static_cast<wchar_t>(0x80), static_cast<wchar_t>(0xFF), static_cast<wchar_t>(0x100),
                                 static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xFFFF)})
            {
                wchar_t saved = source[at];
                source[at] = unit;
                ASSERT_FALSE(Core::NarrowAscii(target, source, count)) << "count " << count << " at " << at;
                source[at] = saved;
            }
        }
    }
}

// A short name is read as one block where that stays in its page and unit by unit at a page's end. Either way
// only its own units count: the units after it (here non-ASCII, or a page that faults) never do, and the bytes
// past its length are zero, so two equal names give equal numbers.
TEST(CharacterBlocks, NarrowsShortAsciiNamesAtThePageEndToo)
{
    Testing::GuardedPage page;
    ASSERT_TRUE(page.IsGuarded());
    for (size_t after : {0, 1, 5, 8, 30})
    {
        for (int count = 0; count <= 8; count++)
        {
            std::wstring name;
            for (int i = 0; i < count; i++)
            {
                name += static_cast<wchar_t>(L'A' + 3 * i);
            }
            uint64_t expected = 0;
            for (int i = 0; i < count; i++)
            {
                expected |= static_cast<uint64_t>(name[static_cast<size_t>(i)]) << (8 * i);
            }
            uint64_t bytes = 0xDEAD;
            ASSERT_TRUE(Core::NarrowShortAscii(page.Place(name, after, 0x4100), count, bytes))
                << "count " << count << " after " << after;
            ASSERT_EQ(expected, bytes) << "count " << count << " after " << after;
            for (int at = 0; at < count; at++)
            {
                for (wchar_t unit :
                     {static_cast<wchar_t>(0x80), static_cast<wchar_t>(0x100), static_cast<wchar_t>(0xFF41)})
                {
                    std::wstring other = name;
                    other[static_cast<size_t>(at)] = unit;
                    ASSERT_FALSE(Core::NarrowShortAscii(page.Place(other, after, L'a'), count, bytes))
                        << "count " << count << " at " << at << " after " << after;
                }
            }
        }
    }
}
