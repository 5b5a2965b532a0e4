#include "reports/DelimitedFieldScanner.h"
#include "tests/support/GuardedPage.h"

#include <gtest/gtest.h>

#include <string>

using Core::String;
using Reports::DelimitedFieldScanner;
using Testing::GuardedPage;

namespace
{

// The units that call for quotes with a comma as separator.
bool CallsForQuotes(wchar_t unit)
{
    return unit == L',' || unit == L'"' || unit == L'\r' || unit == L'\n';
}

} // namespace

// Fields of every short length, ending at the end of a page or near it, with each unit that matters at each
// position: the scanner must find exactly the units of the field, never those after it (here a quote, or a
// page that faults).
TEST(DelimitedFieldScanner, LooksAtTheFieldsOwnUnitsOnlyAtThePageEnd)
{
    GuardedPage page;
    ASSERT_TRUE(page.IsGuarded());
    const String comma(L",");
    const DelimitedFieldScanner scanner(comma);
    for (size_t after : {0, 2, 7, 8, 25})
    {
        for (int count = 0; count <= 20; count++)
        {
            for (int position = -1; position < count; position++)
            {
                for (wchar_t unit : {L',', L'"', L'\r', L'\n', L'\xE9', L';'})
                {
                    std::wstring text(static_cast<size_t>(count), L'x');
                    if (position >= 0)
                    {
                        text[static_cast<size_t>(position)] = unit;
                    }
                    const wchar_t* at = page.Place(text, after, L'"');
                    bool quotes = position >= 0 && CallsForQuotes(unit);
                    std::string where = "count " + std::to_string(count) + " position " + std::to_string(position) +
                                        " after " + std::to_string(after);
                    ASSERT_EQ(quotes, scanner.NeedsQuotes(at, count)) << where;
                    uint8_t out[40];
                    bool plain = position < 0 || (!quotes && unit < 0x80);
                    ASSERT_EQ(plain, scanner.NarrowPlain(out, at, count)) << where;
                    for (int i = 0; plain && i < count; i++)
                    {
                        ASSERT_EQ(static_cast<uint8_t>(text[static_cast<size_t>(i)]), out[i]) << where;
                    }
                }
            }
        }
    }
}

TEST(DelimitedFieldScanner, QuotesAsciiFieldsWithEveryQuoteDoubled)
{
    for (int count = 0; count <= 20; count++)
    {
        std::wstring text;
        std::string expected = "\"";
        for (int i = 0; i < count; i++)
        {
            wchar_t unit = i % 3 == 1 ? L'"' : static_cast<wchar_t>(L'a' + i);
            text += unit;
            expected += static_cast<char>(unit);
            if (unit == L'"')
            {
                expected += '"';
            }
        }
        expected += '"';
        uint8_t out[80];
        int written = DelimitedFieldScanner::NarrowQuoted(out, String(text.c_str()));
        ASSERT_EQ(static_cast<int>(expected.size()), written) << count;
        ASSERT_EQ(expected, std::string(reinterpret_cast<char*>(out), static_cast<size_t>(written))) << count;
        if (count > 0)
        {
            text[static_cast<size_t>(count - 1)] = L'\xE9';
            ASSERT_EQ(-1, DelimitedFieldScanner::NarrowQuoted(out, String(text.c_str()))) << count;
        }
    }
}

// A separator longer than one unit is found anywhere in the field, and only the whole separator counts.
TEST(DelimitedFieldScanner, FindsALongSeparator)
{
    const String separator(L"::");
    const DelimitedFieldScanner scanner(separator);
    uint8_t out[40];
    EXPECT_TRUE(scanner.NeedsQuotes(String(L"a::b")));
    EXPECT_FALSE(scanner.NarrowPlain(out, String(L"a::b")));
    EXPECT_FALSE(scanner.NeedsQuotes(String(L"a:b:c")));
    EXPECT_TRUE(scanner.NarrowPlain(out, String(L"a:b:c")));
}
