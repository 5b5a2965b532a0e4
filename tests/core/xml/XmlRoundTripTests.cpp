#include "core/xml/XmlTextReader.h"
#include "core/xml/XmlTextWriter.h"

#include "core/io/MemoryStream.h"
#include "tests/core/xml/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Core;
using namespace Core::IO;
using namespace Core::Xml;

namespace
{

struct Item
{
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::wstring text;
};

std::wstring W(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

String S(const std::wstring& text)
{
    return String(text.c_str(), static_cast<int>(text.size()));
}

// Every character the writer has to escape, replace or pass through specially.
std::wstring Awkward()
{
    std::wstring text = L"<>&\"' \t\r\n\r]]>--?>";
    for (wchar_t ch = 0; ch < 0x20; ch++)
    {
        text += ch;
    }
    text += L"\u00E9\u4E2D\xD83D\xDE00\xFFFD\xFFFE\xFFFF\xDC00\xD800 end";
    return text;
}

// The text as XML 1.0 can hold it (its Char production): everything else is U+FFFD.
std::wstring AsXmlHoldsIt(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); i++)
    {
        wchar_t ch = text[i];
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            out += ch;
            out += text[++i];
            continue;
        }
        bool character =
            ch == L'\t' || ch == L'\n' || ch == L'\r' || (ch >= 0x20 && ch < 0xD800) || (ch >= 0xE000 && ch <= 0xFFFD);
        out += character ? ch : L'\xFFFD';
    }
    return out;
}

std::vector<Item> Items(bool asRead = false)
{
    auto text = [asRead](const std::wstring& written) { return asRead ? AsXmlHoldsIt(written) : written; };
    return {
        {L"Categories", {}, L""},
        {L"Category", {{L"Name", L"Disks & \"Drives\""}, {L"selected", L"Y"}}, L"a<b&c"},
        {L"Class", {{L"Name", text(Awkward())}, {L"q", L"'"}}, text(Awkward())},
        {L"\u00E9l\u00E8ve", {{L"s-s.ID_1", L"s0"}}, L"x\r\ny"},
        {L"Empty", {{L"v", L""}}, L""},
    };
}

// Writes every item as a child of the first, each with its attributes and text.
std::string Write(const std::vector<Item>& items, bool indented, wchar_t quote)
{
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    if (indented)
    {
        writer.SetFormatting(Formatting::Indented);
    }
    writer.SetQuoteChar(quote);
    writer.WriteStartDocument();
    writer.WriteStartElement(S(items[0].name));
    for (size_t i = 1; i < items.size(); i++)
    {
        writer.WriteStartElement(S(items[i].name));
        for (const auto& attribute : items[i].attributes)
        {
            writer.WriteAttributeString(S(attribute.first), S(attribute.second));
        }
        writer.WriteString(S(items[i].text));
        writer.WriteEndElement();
    }
    writer.WriteEndDocument();
    writer.Close();
    return stream.GetBytes();
}

std::vector<Item> Read(const std::string& bytes)
{
    MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    XmlTextReader reader(&stream);
    reader.SetWhitespaceHandling(WhitespaceHandling::None);
    std::vector<Item> items;
    while (reader.Read())
    {
        if (reader.NodeType() == XmlNodeType::Element)
        {
            Item item{W(reader.Name()), {}, L""};
            while (reader.MoveToNextAttribute())
            {
                item.attributes.emplace_back(W(reader.Name()), W(reader.Value()));
            }
            items.push_back(item);
        }
        else if (reader.NodeType() == XmlNodeType::Text)
        {
            items.back().text += W(reader.Value());
        }
    }
    return items;
}

void ExpectSame(const std::vector<Item>& expected, const std::vector<Item>& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); i++)
    {
        EXPECT_EQ(expected[i].name, actual[i].name);
        EXPECT_EQ(expected[i].attributes, actual[i].attributes) << "element " << i;
        EXPECT_EQ(expected[i].text, actual[i].text) << "element " << i;
    }
}

} // namespace

// Whatever the writer produces, the reader reads back to the same text: all of it where XML can hold it, U+FFFD
// in place of each character it cannot.
TEST(XmlRoundTrip, WrittenDocumentsReadBackToTheSameNamesAttributesAndTexts)
{
    for (bool indented : {false, true})
    {
        for (wchar_t quote : {L'"', L'\''})
        {
            std::string bytes = Write(Items(), indented, quote);
            ExpectSame(Items(true), Read(bytes));
        }
    }
}

TEST(XmlRoundTrip, IndentedOutputReadsBackAsWhitespaceBetweenElements)
{
    std::string bytes = Write({{L"a", {}, L""}, {L"b", {}, L"t"}}, true, L'"');
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n<a>\r\n\t<b>t</b>\r\n</a>", bytes);
    MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    XmlTextReader reader(&stream);
    EXPECT_EQ(L"XmlDeclaration xml \"version=\"1.0\"\" @0 [Attribute version \"1.0\" @1]\n"
              L"Whitespace \"\\r\\n\" @0\nElement a @0\nWhitespace \"\\r\\n\t\" @1\nElement b @1\nText \"t\" @2\n"
              L"EndElement b @1\nWhitespace \"\\r\\n\" @1\nEndElement a @0\n",
              XmlTesting::Trace(reader));
}

TEST(XmlRoundTrip, WriteNodeCopiesADocumentNodeByNode)
{
    const wchar_t* document = L"<?xml version=\"1.0\"?><r xmlns:p=\"urn:p\" a=\"1\"><p:b x=\"&amp;&e;\">t&lt;"
                              L"<![CDATA[c]]><!--k--><?pi v?></p:b><e />&ent;<f></f>\n</r>";
    StringReader input{String(document)};
    XmlTextReader reader(&input);
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.WriteNode(&reader, false);
    writer.Flush();
    std::wstring expected(document);
    EXPECT_EQ(std::string(expected.begin(), expected.end()), stream.GetBytes());
    EXPECT_TRUE(reader.IsEOF());
}

TEST(XmlRoundTrip, WriteNodeWritesEachNamespaceDeclarationOnce)
{
    StringReader input{String(L"<p:a xmlns:p=\"urn:p\"><b xmlns=\"urn:d\"><p:c p:x=\"1\" /></b></p:a>")};
    XmlTextReader reader(&input);
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.WriteNode(&reader, false);
    writer.Flush();
    EXPECT_EQ("<p:a xmlns:p=\"urn:p\"><b xmlns=\"urn:d\"><p:c p:x=\"1\" /></b></p:a>", stream.GetBytes());
}

TEST(XmlRoundTrip, WriteNodeCopiesOnlyTheSubtreeItStartsOn)
{
    StringReader input{String(L"<r><a k='v'><b>x</b></a><c/></r>")};
    XmlTextReader reader(&input);
    reader.Read();
    reader.Read();
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.WriteNode(&reader, false);
    writer.Flush();
    EXPECT_EQ("<a k=\"v\"><b>x</b></a>", stream.GetBytes());
    EXPECT_EQ(String(L"c"), reader.Name());
}

TEST(XmlRoundTrip, WriteAttributesCopiesFromAnElementOrAnAttribute)
{
    StringReader input{String(L"<r a='1' b='2' c='3'/>")};
    XmlTextReader reader(&input);
    reader.Read();
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.WriteStartElement(String(L"x"));
    writer.WriteAttributes(&reader, false);
    EXPECT_EQ(XmlNodeType::Element, reader.NodeType());
    writer.WriteEndElement();
    writer.WriteStartElement(String(L"y"));
    reader.MoveToAttribute(1);
    writer.WriteAttributes(&reader, true);
    writer.WriteEndElement();
    writer.Flush();
    EXPECT_EQ("<x a=\"1\" b=\"2\" c=\"3\" /><y b=\"2\" c=\"3\" />", stream.GetBytes());
    EXPECT_THROW(writer.WriteAttributes(nullptr, false), ArgumentNullException);
    EXPECT_THROW(writer.WriteNode(nullptr, false), ArgumentNullException);
    reader.Read();
    EXPECT_THROW(writer.WriteAttributes(&reader, false), InvalidOperationException); // no node: end of input
}
