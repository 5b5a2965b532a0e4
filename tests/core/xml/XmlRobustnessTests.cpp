#include "core/xml/XmlTextReader.h"

#include "tests/core/xml/XmlTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace Core;
using namespace Core::Xml;
using XmlTesting::Trace;

namespace
{

template <size_t N> std::wstring Literal(const wchar_t (&text)[N])
{
    return std::wstring(text, N - 1);
}

const std::vector<std::wstring> Seeds = {
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Categories>\r\n\t<Category Name=\"Disks\" selected=\"Y\">\r\n"
    L"\t\t<Class Name=\"Win32_DiskDrive\" selected=\"N\">\r\n\t\t\t<Property>Size</Property>\r\n"
    L"\t\t\t<Filter>Size &gt; 0</Filter>\r\n\t\t</Class>\r\n\t</Category>\r\n</Categories>",
    L"<r xmlns='urn:d' xmlns:p='urn:p' xml:space='preserve'><p:a p:x='1&amp;&e;2' y=\"&#x41;&#66;\"> t </p:a>"
    L"<![CDATA[<c>]]><!-- k -- --><?pi data?>&ent;<b xmlns=''/></r>",
    L"<?xml version='1.0' standalone='yes'?><a><b><c><d>&#x1F600;&#65535;</d></c></b></a>\n<!--end-->",
};

// Characters that matter to the parser, and a few that break text: NUL, lone surrogates, non-characters.
const std::wstring Nasty =
    std::wstring(L"<>&;\"'/=!?-[]#x:_. \t\r\nCDATA\x00e9\x4E2D\xD800\xDC00\xFFFF", 40) + std::wstring(1, L'\0');

std::wstring Mutate(std::wstring text, std::mt19937& random)
{
    int mutations = 1 + static_cast<int>(random() % 4);
    for (int m = 0; m < mutations && !text.empty(); m++)
    {
        size_t at = random() % text.size();
        switch (random() % 5)
        {
        case 0:
            text[at] = Nasty[random() % Nasty.size()];
            break;
        case 1:
            text.insert(at, 1, Nasty[random() % Nasty.size()]);
            break;
        case 2:
            text.erase(at, 1 + random() % 8);
            break;
        case 3:
            text.insert(at, text.substr(random() % text.size(), 1 + random() % 12));
            break;
        default:
            text.resize(at);
            break;
        }
    }
    return text;
}

} // namespace

// Thousands of damaged documents: each either parses or raises XmlException (any other exception fails the
// test), gives the same result however the input is cut into chunks, and leaves nothing allocated.
TEST(XmlRobustness, MutatedAndTruncatedDocumentsParseOrRaiseXmlException)
{
    std::mt19937 random(20261208);
    int failures = 0;
    int64_t leaked = Testing::LeakedBy(
        [&]
        {
            for (int i = 0; i < 6000; i++)
            {
                std::wstring document = Mutate(Seeds[i % Seeds.size()], random);
                std::wstring whole = Trace(document);
                int step = 1 + static_cast<int>(random() % 5);
                std::wstring chunked = Trace(document, step);
                if (whole != chunked)
                {
                    ADD_FAILURE() << "document " << i << " differs in chunks of " << step;
                }
                failures += whole.find(L"error: ") != std::wstring::npos ? 1 : 0;
            }
        });
    EXPECT_EQ(0, leaked);
    EXPECT_GT(failures, 1000); // the mutations do break documents...
    EXPECT_LT(failures, 6000); // ...but not all of them
}

TEST(XmlRobustness, EveryTruncationOfADocumentEndsCleanly)
{
    for (const std::wstring& seed : Seeds)
    {
        // Cut anywhere before the end tag of the root, a document is incomplete.
        size_t rootEnd = seed.rfind(L"</") + 4;
        for (size_t length = 0; length < seed.size(); length++)
        {
            std::wstring trace = Trace(seed.substr(0, length), 3);
            if (length < rootEnd)
            {
                EXPECT_NE(std::wstring::npos, trace.find(L"error: ")) << "length " << length;
            }
        }
        EXPECT_EQ(std::wstring::npos, Trace(seed).find(L"error: "));
    }
}

// The randomised test found no crash or hang; these name the two input-boundary cases it leans on most.

// A line feed read right after a refill must still see the carriage return before it, or the line count drifts.
TEST(XmlRobustness, ACarriageReturnLineFeedPairSplitByARefillCountsOnce)
{
    XmlTesting::TricklingReader input(L"<a>\r\n\r\n<b/></a>", 1);
    XmlTextReader reader(&input);
    reader.Read();
    reader.Read();
    reader.Read();
    EXPECT_EQ(3, reader.LineNumber());
}

// A NUL character inside the input is text, not the end of the buffer.
TEST(XmlRobustness, ANulCharacterInsideTheInputIsOrdinaryText)
{
    EXPECT_EQ(Literal(L"Element a @0 [Attribute x \"1\0\" @1]\nText \"t\0u\" @1\nEndElement a @0\n"),
              Trace(Literal(L"<a x='1\0'>t\0u</a>"), 2));
}
