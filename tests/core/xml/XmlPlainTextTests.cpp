#include "core/xml/XmlPlainText.h"
#include "tests/support/GuardedPage.h"

#include <gtest/gtest.h>

#include <string>

using Core::Xml::Detail::CopyPlain;
using Core::Xml::Detail::NarrowShortPlain;
using Core::Xml::Detail::PlainScan;
using Testing::GuardedPage;

// A short text is read as one block where that stays in its page and unit by unit at the end of a page; longer
// texts in blocks with an overlapping last one. All must stop at the same unit, copy what comes before it, and
// never look at the units after the text (here '<', which would stop the scan, or a page that faults).
TEST(XmlPlainText, StopsAtTheFirstSpecialUnitAndReadsNothingPastTheTextsPage)
{
    GuardedPage page;
    ASSERT_TRUE(page.IsGuarded());
    const wchar_t specials[] = {L'&', L'<', L'>', L'"', L'\x01', 0xD800, 0xFFFE};
    for (size_t after : {0, 1, 7, 8, 20})
    {
        for (int count = 1; count <= 20; count++)
        {
            for (int position = -1; position < count; position++)
            {
                for (wchar_t special : specials)
                {
                    std::wstring text(static_cast<size_t>(count), L'a');
                    if (position >= 0)
                    {
                        text[static_cast<size_t>(position)] = special;
                    }
                    const wchar_t* at = page.Place(text, after);
                    wchar_t out[40];
                    std::fill(out, out + 40, L'?');
                    // Inside an attribute value the quote stops the scan; in text '&' stands in for it.
                    int plain = CopyPlain(out, at, count, PlainScan(L'"'));
                    bool stops = position >= 0;
                    int expected = stops ? position : count;
                    ASSERT_EQ(expected, plain) << "count " << count << " position " << position << " unit "
                                               << static_cast<int>(special) << " after " << after;
                    ASSERT_EQ(text.substr(0, static_cast<size_t>(expected)),
                              std::wstring(out, static_cast<size_t>(expected)));
                    int inText = CopyPlain(out, at, count, PlainScan(L'&'));
                    ASSERT_EQ(special == L'"' ? count : expected, inText);
                }
            }
        }
    }
}

// The one-block path for short values takes only texts of up to eight plain ASCII units, and narrows them
// exactly; the units after the text never count. At the end of a page it may leave a text to the general
// path, but it must not read past the page.
TEST(XmlPlainText, NarrowsOnlyShortPlainAsciiTextsAsOneBlock)
{
    GuardedPage page;
    ASSERT_TRUE(page.IsGuarded());
    const PlainScan scan(L'"', 0x80);
    for (size_t after : {0, 3, 8, 20})
    {
        for (int count = 0; count <= 9; count++)
        {
            for (int position = -1; position < count; position++)
            {
                for (wchar_t special : {L'<', L'"', L'\xE9', L'\n', L'\x7F'})
                {
                    std::wstring text;
                    for (int i = 0; i < count; i++)
                    {
                        text += static_cast<wchar_t>(L'a' + i);
                    }
                    if (position >= 0)
                    {
                        text[static_cast<size_t>(position)] = special;
                    }
                    const wchar_t* at = page.Place(text, after, L'&');
                    uint8_t out[16];
                    std::fill(out, out + 16, '?');
                    bool narrowed = NarrowShortPlain(out, at, count, scan);
                    // DEL is plain ASCII; every other unit of the list needs escaping or is not ASCII.
                    bool takeable = count <= 8 && (position < 0 || special == L'\x7F');
                    std::string where = "count " + std::to_string(count) + " position " + std::to_string(position) +
                                        " after " + std::to_string(after);
                    ASSERT_TRUE(takeable || !narrowed) << where;
                    if (after >= 8)
                    {
                        ASSERT_EQ(takeable, narrowed) << where;
                    }
                    for (int i = 0; narrowed && i < count; i++)
                    {
                        ASSERT_EQ(static_cast<uint8_t>(text[static_cast<size_t>(i)]), out[i]) << where;
                    }
                }
            }
        }
    }
}
