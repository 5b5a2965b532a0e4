#include "core/xml/XmlTextReader.h"

#include "core/io/Encoding.h"
#include "core/io/IOException.h"
#include "core/io/MemoryStream.h"
#include "tests/core/xml/XmlTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace Core;
using namespace Core::IO;
using namespace Core::Xml;
using Testing::ThrownMessage;
using XmlTesting::Trace;

namespace
{

String S(const wchar_t* text)
{
    return String(text);
}

std::string LittleEndian(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text)
    {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A reader over a string, owning its source.
class TextXml
{
public:
    explicit TextXml(const wchar_t* text) : m_input(String(text)), m_reader(&m_input) {}
    XmlTextReader* operator->() { return &m_reader; }
    XmlTextReader& Reader() { return m_reader; }

private:
    StringReader m_input;
    XmlTextReader m_reader;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction, settings and closing

TEST(XmlTextReader, NullSourcesAreRejected)
{
    EXPECT_EQ(L"Argument is null: stream", ThrownMessage([] { XmlTextReader reader(static_cast<Stream*>(nullptr)); }));
    EXPECT_EQ(L"Argument is null: textReader",
              ThrownMessage([] { XmlTextReader reader(static_cast<TextReader*>(nullptr)); }));
}

TEST(XmlTextReader, StartsInTheInitialStateOnNoNode)
{
    TextXml xml(L"<a/>");
    EXPECT_EQ(ReadState::Initial, xml->ReadState());
    EXPECT_EQ(XmlNodeType::None, xml->NodeType());
    EXPECT_EQ(String(), xml->Name());
    EXPECT_EQ(0, xml->Depth());
    EXPECT_FALSE(xml->IsEOF());
    EXPECT_TRUE(xml->Namespaces());
    EXPECT_FALSE(xml->Normalization());
    EXPECT_EQ(WhitespaceHandling::All, xml->WhitespaceHandling());
    EXPECT_EQ(XmlNodeType::Document, xml->FragmentType());
    EXPECT_EQ(String(), xml->BaseURI());
}

TEST(XmlTextReader, NamespacesAndFragmentKindCanChangeOnlyBeforeTheFirstRead)
{
    TextXml xml(L"<a/>");
    xml->Read();
    EXPECT_EQ(ReadState::Interactive, xml->ReadState());
    EXPECT_THROW(xml->SetNamespaces(false), InvalidOperationException);
    EXPECT_THROW(xml->SetFragmentType(XmlNodeType::Attribute), InvalidOperationException);
    xml->SetWhitespaceHandling(WhitespaceHandling::None);
    xml->SetNormalization(true);
    TextXml fresh(L"<a/>");
    EXPECT_THROW(fresh->SetFragmentType(XmlNodeType::Element), ArgumentException);
}

TEST(XmlTextReader, ReadsAFileAndKeepsItsPathUntilClosed)
{
    Testing::TempDirectory directory;
    String path = directory.File(L"config.xml");
    Testing::WriteFileBytes(path, "\xEF\xBB\xBF<Categories><Category Name=\"Caf\xC3\xA9\"/></Categories>");
    XmlTextReader reader(path);
    EXPECT_EQ(path, reader.BaseURI());
    ASSERT_TRUE(reader.Read());
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(String(L"Caf\u00E9"), reader.GetAttribute(S(L"Name")));
    reader.Close();
    EXPECT_EQ(String(), reader.BaseURI());
    EXPECT_EQ(ReadState::Closed, reader.ReadState());
    EXPECT_FALSE(reader.Read());
    reader.Close();
    EXPECT_EQ(XmlNodeType::None, reader.NodeType());
}

TEST(XmlTextReader, AMissingFileRaisesTheFileError)
{
    Testing::TempDirectory directory;
    EXPECT_THROW(XmlTextReader reader(directory.File(L"missing.xml")), IOException);
}

TEST(XmlTextReader, CloseClosesTheTextReader)
{
    XmlTesting::TricklingReader input(L"<a/>", 10);
    XmlTextReader reader(&input);
    reader.Close();
    EXPECT_TRUE(input.IsClosed());
}

TEST(XmlTextReader, StreamInputHonoursTheByteOrderMark)
{
    const std::string documents[] = {
        std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18),
        std::string("\xFE\xFF\0<\0a\0>\0\xE9\0<\0/\0a\0>", 18),
        std::string("\xEF\xBB\xBF<a>\xC3\xA9</a>"),
        std::string("<a>\xC3\xA9</a>"),
    };
    for (const std::string& bytes : documents)
    {
        MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
        XmlTextReader reader(&stream);
        EXPECT_EQ(L"Element a @0\nText \"\u00E9\" @1\nEndElement a @0\n", Trace(reader));
        reader.Close();
        EXPECT_TRUE(stream.CanRead()); // the caller's stream stays open
    }
}

// Older tools save class-view files in a code page and say so in the declaration: the text must be decoded with
// it ("Caf\xE9" in Latin-1 is "Caf\u00E9", not U+FFFD). A byte-order mark outranks the declaration.
TEST(XmlTextReader, StreamInputHonoursTheDeclaredEncoding)
{
    struct Case
    {
        std::string bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\xE9</a>", L"Caf\u00E9"},
        {"<?xml version='1.0' encoding = 'windows-1252' standalone='yes'?>\r\n<a>\x80 \xE9</a>", L"\u20AC \u00E9"},
        {"<?xml version=\"1.0\"\tencoding=\"latin1\"?><a>\xFC</a>", L"\u00FC"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>", L"\u00E9"},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x83n</a>", L"\u30CF"},
        {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?><a>\xA4\xA2</a>", L"\u3042"},
        {LittleEndian(L"<?xml version='1.0'?><a>\u3042</a>"),
         L"\u3042"}, // UTF-16 without a byte-order mark, known by its first characters
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", L"\u00E9"},
        {"<?xml version=\"1.0\"?><a>\xC3\xA9 encoding=\"ISO-8859-1\"</a>", L"\u00E9 encoding=\"ISO-8859-1\""},
    };
    for (const Case& c : cases)
    {
        MemoryStream stream(reinterpret_cast<const uint8_t*>(c.bytes.data()), static_cast<int>(c.bytes.size()));
        XmlTextReader reader(&stream);
        reader.SetWhitespaceHandling(Xml::WhitespaceHandling::None);
        std::wstring text;
        while (reader.Read())
        {
            if (reader.NodeType() == XmlNodeType::Text)
            {
                text = reader.Value().GetBuffer();
            }
        }
        EXPECT_EQ(c.text, text) << c.bytes;
    }
}

// A name the reader cannot decode is refused, naming it, rather than read as UTF-8 into replacement characters;
// a document read as characters needs no decoding and keeps any name.
TEST(XmlTextReader, RefusesAnEncodingItCannotDecode)
{
    auto errorOf = [](const std::string& bytes)
    {
        MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
        XmlTextReader reader(&stream);
        return ThrownMessage(
            [&]
            {
                while (reader.Read())
                {
                }
            });
    };
    EXPECT_EQ(L"System does not support 'x-unknown' encoding at 1, 21",
              errorOf("<?xml version=\"1.0\" encoding=\"x-unknown\"?><a>Caf\xE9</a>"));
    EXPECT_EQ(L"System does not support 'utf-8 ' encoding at 1, 21",
              errorOf("<?xml version=\"1.0\" encoding=\"utf-8 \"?><a/>"));
    EXPECT_EQ(L"There is no Unicode byte order mark. Cannot switch to Unicode at 1, 21",
              errorOf("<?xml version=\"1.0\" encoding=\"utf-16\"?><a/>"));
    EXPECT_EQ(L"(nothing thrown)",
              errorOf(std::string("\xFF\xFE") + LittleEndian(L"<?xml version='1.0' encoding='utf-16'?><a/>")));
    TextXml text(L"<?xml version='1.0' encoding='x-unknown'?><a/>");
    EXPECT_EQ(L"(nothing thrown)", ThrownMessage(
                                       [&]
                                       {
                                           while (text->Read())
                                           {
                                           }
                                       }));
}

// A class-view file in a two-byte encoding is read in 1,024-byte chunks: a character that straddles a chunk's end
// must be read once, whatever the offset, in every multi-byte encoding a document can name. (UTF-7 is left out:
// its encoder writes '<' in base64, so no reader could find the declaration.)
TEST(XmlTextReader, MultiByteTextSurvivesEveryChunkBoundary)
{
    const wchar_t* names[] = {L"Shift_JIS", L"GBK",         L"Big5",           L"EUC-KR", L"Johab",
                              L"EUC-JP",    L"ISO-2022-JP", L"x-mac-japanese", L"GB18030"};
    int tested = 0;
    for (const wchar_t* name : names)
    {
        const Encoding* encoding = Encoding::GetEncoding(String(name));
        if (encoding == nullptr)
        {
            continue; // a code page this system cannot convert
        }
        // 3,000 characters: half ideographs and syllables of the encoding's script, half ASCII.
        std::wstring script;
        for (wchar_t c : std::wstring(L"\u65E5\u672C\u4E2D\u6587\uD55C\uAE00\u3042\u30A2"))
        {
            std::wstring back(8, L'\0');
            std::unique_ptr<Encoder> encoder(encoding->CreateEncoder());
            std::unique_ptr<Decoder> decoder(encoding->CreateDecoder());
            uint8_t bytes[32];
            int n = encoder->GetBytes(&c, 1, bytes, true);
            int m = decoder->GetChars(bytes, n, back.data(), true);
            if (m == 1 && back[0] == c)
            {
                script += c;
            }
        }
        ASSERT_FALSE(script.empty()) << name;
        std::wstring value;
        while (value.size() < 3000)
        {
            value += script.substr(value.size() % script.size(), 1) + L"a";
        }
        for (int shift = 0; shift < 4; shift++)
        {
            std::wstring document = std::wstring(L"<?xml version=\"1.0\" encoding=\"") + name + L"\"?>\r\n<!--" +
                                    std::wstring(static_cast<size_t>(shift), L' ') + L"-->\r\n<Class Name=\"" + value +
                                    L"\">" + value + L"</Class>";
            std::unique_ptr<Encoder> encoder(encoding->CreateEncoder());
            std::string bytes(static_cast<size_t>(encoding->GetMaxByteCount(static_cast<int>(document.size()))), '\0');
            bytes.resize(static_cast<size_t>(encoder->GetBytes(document.data(), static_cast<int>(document.size()),
                                                               reinterpret_cast<uint8_t*>(bytes.data()), true)));
            MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
            XmlTextReader reader(&stream);
            std::wstring attribute;
            std::wstring text;
            std::wstring error = ThrownMessage(
                [&]
                {
                    while (reader.Read())
                    {
                        if (reader.NodeType() == XmlNodeType::Element)
                        {
                            attribute = reader.GetAttribute(S(L"Name")).GetBuffer();
                        }
                        if (reader.NodeType() == XmlNodeType::Text)
                        {
                            text = reader.Value().GetBuffer();
                        }
                    }
                });
            ASSERT_EQ(L"(nothing thrown)", error) << name << " shifted by " << shift;
            ASSERT_EQ(value, attribute) << name << " shifted by " << shift;
            ASSERT_EQ(value, text) << name << " shifted by " << shift;
        }
        tested++;
    }
    EXPECT_GE(tested, 8);
}

// ---------------------------------------------------------------------------------------------------------------
// Documents and node kinds

TEST(XmlTextReader, ReadsTheNodesOfADocumentWithTheirDepths)
{
    EXPECT_EQ(L"XmlDeclaration xml \"version=\"1.0\"\" @0 [Attribute version \"1.0\" @1]\n"
              L"Comment \" top \" @0\n"
              L"Element Categories @0\n"
              L"Element Category @1 [Attribute Name \"Disks\" @2] [Attribute selected \"Y\" @2]\n"
              L"Element Class @2 [Attribute Name \"Win32_DiskDrive\" @3]\n"
              L"Element Property @3\n"
              L"Text \"Size\" @4\n"
              L"EndElement Property @3\n"
              L"EndElement Class @2\n"
              L"EndElement Category @1\n"
              L"EndElement Categories @0\n",
              Trace(L"<?xml version=\"1.0\"?><!-- top --><Categories><Category Name=\"Disks\" selected='Y'>"
                    L"<Class Name=\"Win32_DiskDrive\"><Property>Size</Property></Class></Category></Categories>"));
}

TEST(XmlTextReader, AnEmptyElementIsOneNodeWithoutEndElement)
{
    TextXml xml(L"<a/>");
    ASSERT_TRUE(xml->Read());
    EXPECT_EQ(XmlNodeType::Element, xml->NodeType());
    EXPECT_TRUE(xml->IsEmptyElement());
    EXPECT_FALSE(xml->HasValue());
    EXPECT_FALSE(xml->Read());
    EXPECT_TRUE(xml->IsEOF());
    EXPECT_EQ(ReadState::EndOfFile, xml->ReadState());
    EXPECT_EQ(XmlNodeType::None, xml->NodeType());
    EXPECT_FALSE(xml->Read());
}

TEST(XmlTextReader, TheDeclarationIsANodeWithPseudoAttributes)
{
    TextXml xml(L"<?xml version=\"1.0\"  encoding='utf-8'   standalone=\"yes\"  ?><a/>");
    ASSERT_TRUE(xml->Read());
    EXPECT_EQ(XmlNodeType::XmlDeclaration, xml->NodeType());
    EXPECT_EQ(S(L"xml"), xml->Name());
    EXPECT_EQ(S(L"version=\"1.0\"  encoding='utf-8'   standalone=\"yes\""), xml->Value());
    EXPECT_EQ(1, xml->LineNumber());
    EXPECT_EQ(3, xml->LinePosition());
    EXPECT_EQ(3, xml->AttributeCount());
    EXPECT_EQ(S(L"utf-8"), xml->GetAttribute(S(L"encoding")));
    ASSERT_TRUE(xml->MoveToAttribute(S(L"encoding")));
    EXPECT_EQ(L'\'', xml->QuoteChar());
    ASSERT_TRUE(xml->Read());
    EXPECT_EQ(S(L"a"), xml->Name());
}

TEST(XmlTextReader, ADeclarationWithStandaloneAloneIsAccepted)
{
    EXPECT_EQ(L"XmlDeclaration xml \"standalone='no'\" @0 [Attribute standalone \"no\" @1]\nElement a @0\n",
              Trace(L"<?xml standalone='no'?><a/>"));
}

TEST(XmlTextReader, AProcessingInstructionNamedLikeTheDeclarationIsNotOne)
{
    EXPECT_EQ(L"ProcessingInstruction xml-stylesheet \"href='a'\" @0\nElement a @0\n",
              Trace(L"<?xml-stylesheet href='a'?><a/>"));
}

TEST(XmlTextReader, CommentsCdataAndProcessingInstructionsKeepTheirTextExactly)
{
    EXPECT_EQ(L"Element a @0\n"
              L"Comment \" x -- y \" @1\n"
              L"CDATA \"<b>&amp;]]\" @1\n"
              L"ProcessingInstruction go \"now ? >\" @1\n"
              L"ProcessingInstruction empty \"\" @1\n"
              L"EndElement a @0\n",
              Trace(L"<a><!-- x -- y --><![CDATA[<b>&amp;]]]]><?go   now ? >?><?empty?></a>"));
}

TEST(XmlTextReader, TextKeepsLineEndsAndCountsEachPairOnce)
{
    TextXml xml(L"<a>x\r\ny\rz\n</a>");
    xml->Read();
    xml->Read();
    EXPECT_EQ(S(L"x\r\ny\rz\n"), xml->Value());
    EXPECT_EQ(1, xml->LineNumber());
    EXPECT_EQ(4, xml->LinePosition());
    xml->Read();
    EXPECT_EQ(XmlNodeType::EndElement, xml->NodeType());
    EXPECT_EQ(4, xml->LineNumber());
    EXPECT_EQ(3, xml->LinePosition());
}

TEST(XmlTextReader, ReferencesInTextBecomeTheirCharacters)
{
    EXPECT_EQ(L"Element a @0\nText \"A<>&'\"\u00E9\" @1\nEndElement a @0\n",
              Trace(L"<a>&#65;&lt;&gt;&amp;&apos;&quot;&#xe9;</a>"));
}

TEST(XmlTextReader, AReferenceAboveTheBasicPlaneBecomesASurrogatePair)
{
    TextXml xml(L"<a b='&#x1F600;'>&#128512;&#x10FFFF;</a>");
    xml->Read();
    EXPECT_EQ(String(L"\xD83D\xDE00"), xml->GetAttribute(S(L"b")));
    xml->Read();
    EXPECT_EQ(String(L"\xD83D\xDE00\xDBFF\xDFFF"), xml->Value());
}

TEST(XmlTextReader, AnUndeclaredEntityIsAnEntityReferenceNode)
{
    EXPECT_EQ(L"Element a @0\nEntityReference nbsp @1\nEndElement a @0\n", Trace(L"<a>&nbsp;</a>"));
    // Text before the reference ends there; the reference and the text after it follow.
    EXPECT_EQ(L"Element a @0\nText \"x\" @1\nEntityReference e @1\nText \"y\" @1\nEndElement a @0\n",
              Trace(L"<a>x&e;y</a>"));
}

TEST(XmlTextReader, WhitespaceIsReportedByMode)
{
    const wchar_t* document = L"<a> <b xml:space='preserve'> <c/>\t</b>\n</a>";
    EXPECT_EQ(L"Element a @0\nWhitespace \" \" @1\nElement b @1 [Attribute xml:space \"preserve\" @2]\n"
              L"SignificantWhitespace \" \" @2\nElement c @2\nSignificantWhitespace \"\t\" @2\nEndElement b @1\n"
              L"Whitespace \"\\n\" @1\nEndElement a @0\n",
              Trace(document));
    StringReader significantInput{String(document)};
    XmlTextReader significant(&significantInput);
    significant.SetWhitespaceHandling(WhitespaceHandling::Significant);
    EXPECT_EQ(L"Element a @0\nElement b @1 [Attribute xml:space \"preserve\" @2]\nSignificantWhitespace \" \" @2\n"
              L"Element c @2\nSignificantWhitespace \"\t\" @2\nEndElement b @1\nEndElement a @0\n",
              Trace(significant));
    StringReader noneInput{String(document)};
    XmlTextReader none(&noneInput);
    none.SetWhitespaceHandling(WhitespaceHandling::None);
    EXPECT_EQ(L"Element a @0\nElement b @1 [Attribute xml:space \"preserve\" @2]\nElement c @2\nEndElement b @1\n"
              L"EndElement a @0\n",
              Trace(none));
}

TEST(XmlTextReader, XmlSpaceAndXmlLangAreInheritedAndRestored)
{
    TextXml xml(L"<a xml:lang='en' xml:space='default'><b xml:lang='fr' xml:space='keep'>t</b>u</a>");
    xml->Read();
    EXPECT_EQ(S(L"en"), xml->XmlLang());
    EXPECT_EQ(XmlSpace::Default, xml->XmlSpace());
    xml->Read();
    EXPECT_EQ(S(L"fr"), xml->XmlLang());
    EXPECT_EQ(XmlSpace::Default, xml->XmlSpace()); // other values leave the mode alone
    xml->Read();
    EXPECT_EQ(S(L"fr"), xml->XmlLang());
    xml->Read();
    xml->Read();
    EXPECT_EQ(S(L"u"), xml->Value());
    EXPECT_EQ(S(L"en"), xml->XmlLang());
}

TEST(XmlTextReader, TopLevelWhitespaceAndMiscellaneousNodes)
{
    EXPECT_EQ(L"Whitespace \"\\r\\n\" @0\nProcessingInstruction p \"\" @0\nElement a @0\nWhitespace \" \" @0\n"
              L"Comment \"c\" @0\n",
              Trace(L"\r\n<?p?><a/> <!--c-->"));
}

// ---------------------------------------------------------------------------------------------------------------
// Attributes

TEST(XmlTextReader, AttributesAreFoundByNameIndexAndNamespace)
{
    TextXml xml(L"<a xmlns:p='urn:p' x='1' p:y=\"2\"/>");
    xml->Read();
    EXPECT_EQ(3, xml->AttributeCount());
    EXPECT_EQ(S(L"1"), xml->GetAttribute(S(L"x")));
    EXPECT_EQ(S(L"2"), xml->GetAttribute(S(L"p:y")));
    EXPECT_EQ(S(L"2"), xml->GetAttribute(S(L"y"), S(L"urn:p")));
    EXPECT_EQ(S(L"urn:p"), xml->GetAttribute(0));
    EXPECT_EQ(String(), xml->GetAttribute(S(L"missing")));
    EXPECT_THROW(xml->GetAttribute(3), ArgumentOutOfRangeException);
    EXPECT_FALSE(xml->MoveToAttribute(S(L"y")));
    ASSERT_TRUE(xml->MoveToAttribute(S(L"y"), S(L"urn:p")));
    EXPECT_EQ(XmlNodeType::Attribute, xml->NodeType());
    EXPECT_EQ(S(L"p"), xml->Prefix());
    EXPECT_EQ(S(L"y"), xml->LocalName());
    EXPECT_EQ(S(L"urn:p"), xml->NamespaceURI());
    EXPECT_EQ(L'"', xml->QuoteChar());
    EXPECT_EQ(1, xml->Depth());
    EXPECT_EQ(1, xml->LineNumber());
    EXPECT_EQ(26, xml->LinePosition());
    EXPECT_FALSE(xml->MoveToNextAttribute());
    xml->MoveToAttribute(1);
    EXPECT_EQ(S(L"x"), xml->Name());
    EXPECT_EQ(String(), xml->NamespaceURI()); // attributes without prefix have no namespace
    EXPECT_THROW(xml->MoveToAttribute(-1), ArgumentOutOfRangeException);
    EXPECT_EQ(3, xml->AttributeCount());
    EXPECT_TRUE(xml->MoveToElement());
    EXPECT_FALSE(xml->MoveToElement());
    EXPECT_EQ(S(L"a"), xml->Name());
}

TEST(XmlTextReader, NodesWithoutAttributesHaveNone)
{
    TextXml xml(L"<a>t</a>");
    xml->Read();
    xml->Read();
    EXPECT_EQ(0, xml->AttributeCount());
    EXPECT_FALSE(xml->MoveToFirstAttribute());
    EXPECT_FALSE(xml->MoveToNextAttribute());
    EXPECT_FALSE(xml->ReadAttributeValue());
}

TEST(XmlTextReader, ReadAttributeValueWalksTextAndEntityParts)
{
    TextXml xml(L"<a x='a&amp;&e;b' y='plain' z=''/>");
    xml->Read();
    xml->MoveToAttribute(S(L"x"));
    EXPECT_EQ(S(L"a&&e;b"), xml->Value());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(XmlNodeType::Text, xml->NodeType());
    EXPECT_EQ(S(L"a&"), xml->Value());
    EXPECT_EQ(2, xml->Depth());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(XmlNodeType::EntityReference, xml->NodeType());
    EXPECT_EQ(S(L"e"), xml->Name());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(S(L"b"), xml->Value());
    EXPECT_FALSE(xml->ReadAttributeValue());
    ASSERT_TRUE(xml->MoveToNextAttribute());
    EXPECT_EQ(S(L"y"), xml->Name());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(S(L"plain"), xml->Value());
    EXPECT_FALSE(xml->ReadAttributeValue());
    xml->MoveToNextAttribute();
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(String(), xml->Value());
    EXPECT_TRUE(xml->MoveToElement());
    EXPECT_FALSE(xml->Read());
}

TEST(XmlTextReader, NormalizationTurnsLineEndsIntoSpaces)
{
    const wchar_t* document = L"<a x='1\r\n2\r3\n4\t5\x0C"
                              L"6'/>";
    TextXml plain(document);
    plain->Read();
    EXPECT_EQ(S(L"1\r\n2\r3\n4\t5\x0C"
                L"6"),
              plain->GetAttribute(S(L"x")));
    TextXml normalized(document);
    normalized->SetNormalization(true);
    normalized->Read();
    EXPECT_EQ(S(L"1 2 3 4\t5 6"), normalized->GetAttribute(S(L"x")));
}

TEST(XmlTextReader, TheAttributeFragmentKindReadsTheInputAsOneValue)
{
    TextXml xml(L"a &amp; b&e;");
    xml->SetFragmentType(XmlNodeType::Attribute);
    ASSERT_TRUE(xml->Read());
    EXPECT_EQ(XmlNodeType::Attribute, xml->NodeType());
    EXPECT_EQ(S(L"a & b&e;"), xml->Value());
    EXPECT_FALSE(xml->MoveToElement());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(S(L"a & b"), xml->Value());
    ASSERT_TRUE(xml->ReadAttributeValue());
    EXPECT_EQ(XmlNodeType::EntityReference, xml->NodeType());
    EXPECT_FALSE(xml->Read());
    EXPECT_TRUE(xml->IsEOF());
    TextXml empty(L"");
    empty->SetFragmentType(XmlNodeType::Attribute);
    EXPECT_EQ(L"NoData at 0, 0", ThrownMessage([&] { empty->Read(); }));
}

// ---------------------------------------------------------------------------------------------------------------
// Namespaces

TEST(XmlTextReader, NamesAreResolvedInTheirScope)
{
    TextXml xml(L"<r xmlns='urn:d' xmlns:p='urn:p'><p:a p:x='1' y='2'/><b xmlns=''/></r>");
    xml->Read();
    EXPECT_EQ(S(L"urn:d"), xml->NamespaceURI());
    EXPECT_EQ(S(L"urn:p"), xml->LookupNamespace(S(L"p")));
    xml->Read();
    EXPECT_EQ(S(L"p:a"), xml->Name());
    EXPECT_EQ(S(L"p"), xml->Prefix());
    EXPECT_EQ(S(L"a"), xml->LocalName());
    EXPECT_EQ(S(L"urn:p"), xml->NamespaceURI());
    EXPECT_EQ(S(L"1"), xml->GetAttribute(S(L"x"), S(L"urn:p")));
    xml->Read();
    EXPECT_EQ(S(L"b"), xml->Name());
    EXPECT_EQ(String(), xml->NamespaceURI()); // xmlns='' takes the default namespace away
    EXPECT_EQ(S(L"http://www.w3.org/XML/1998/namespace"), xml->LookupNamespace(S(L"xml")));
}

TEST(XmlTextReader, AClosedScopeTakesItsDeclarationsAlong)
{
    TextXml xml(L"<r><a xmlns:p='urn:p'><p:b/></a><c/></r>");
    xml->Read();
    xml->Read();
    xml->Read();
    EXPECT_EQ(S(L"urn:p"), xml->NamespaceURI());
    xml->Read();
    EXPECT_EQ(XmlNodeType::EndElement, xml->NodeType());
    EXPECT_EQ(S(L"urn:p"), xml->LookupNamespace(S(L"p"))); // still in scope on the end tag
    xml->Read();
    EXPECT_EQ(S(L"c"), xml->Name());
    EXPECT_EQ(String(), xml->LookupNamespace(S(L"p")));
    EXPECT_EQ(L"Unknown namespace: p at 1, 34", XmlTesting::ErrorOf(L"<r><a xmlns:p='urn:p'><p:b/></a><p:c/></r>"));
}

TEST(XmlTextReader, WithNamespacesOffColonsAreOrdinaryNameCharacters)
{
    TextXml xml(L"<p:a q:b='1' xmlns:z='urn:z'/>");
    xml->SetNamespaces(false);
    ASSERT_TRUE(xml->Read());
    EXPECT_EQ(S(L"p:a"), xml->Name());
    EXPECT_EQ(S(L"p:a"), xml->LocalName());
    EXPECT_EQ(String(), xml->Prefix());
    EXPECT_EQ(String(), xml->NamespaceURI());
    EXPECT_EQ(S(L"1"), xml->GetAttribute(S(L"q:b")));
    EXPECT_EQ(String(), xml->LookupNamespace(S(L"z")));
    EXPECT_EQ(L"Element a:b:c @0\n", Trace(L"<a:b:c/>", 100, false));
}

// ---------------------------------------------------------------------------------------------------------------
// Read helpers

TEST(XmlTextReader, SkipMovesPastTheWholeElement)
{
    TextXml xml(L"<r><a><b>x</b><a/></a><c/></r>");
    xml->Read();
    xml->Read();
    xml->Skip();
    EXPECT_EQ(S(L"c"), xml->Name());
    xml->Skip(); // an empty element: one Read
    EXPECT_EQ(XmlNodeType::EndElement, xml->NodeType());
    EXPECT_EQ(S(L"r"), xml->Name());
    TextXml fromAttribute(L"<r><a x='1'><b/></a><c/></r>");
    fromAttribute->Read();
    fromAttribute->Read();
    fromAttribute->MoveToFirstAttribute();
    fromAttribute->Skip();
    EXPECT_EQ(S(L"c"), fromAttribute->Name());
    TextXml initial(L"<a/>");
    initial->Skip(); // not interactive yet: nothing happens
    EXPECT_EQ(ReadState::Initial, initial->ReadState());
}

TEST(XmlTextReader, MoveToContentStopsAtContentNodes)
{
    TextXml xml(L"<?xml version='1.0'?>\n<!--c--><?p?><r x='1'> <!--d-->t</r>");
    EXPECT_EQ(XmlNodeType::Element, xml->MoveToContent());
    EXPECT_EQ(S(L"r"), xml->Name());
    xml->MoveToFirstAttribute();
    EXPECT_EQ(XmlNodeType::Element, xml->MoveToContent()); // back from the attribute, no read
    xml->Read();
    EXPECT_EQ(XmlNodeType::Text, xml->MoveToContent());
    EXPECT_EQ(S(L"t"), xml->Value());
    xml->Read();
    xml->Read();
    EXPECT_EQ(XmlNodeType::None, xml->MoveToContent());
}

TEST(XmlTextReader, ReadStringJoinsTheTextOfAnElement)
{
    TextXml xml(L"<r><a>x<![CDATA[<y>]]> z</a><b/><c></c><d>t<e/></d></r>");
    xml->Read();
    xml->Read();
    EXPECT_EQ(S(L"x<y> z"), xml->ReadString());
    EXPECT_EQ(XmlNodeType::EndElement, xml->NodeType());
    xml->Read();
    EXPECT_EQ(String(), xml->ReadString()); // empty element: the reader stays
    EXPECT_EQ(S(L"b"), xml->Name());
    xml->Read();
    EXPECT_EQ(String(), xml->ReadString());
    EXPECT_EQ(XmlNodeType::EndElement, xml->NodeType());
    xml->Read();
    EXPECT_EQ(S(L"t"), xml->ReadString());
    EXPECT_EQ(S(L"e"), xml->Name());
    TextXml initial(L"<a>x</a>");
    EXPECT_EQ(String(), initial->ReadString());
}

TEST(XmlTextReader, ReadElementStringTakesTheTextAndMovesPastTheEndTag)
{
    TextXml xml(L"<Class>\n  <Property>Size</Property><Filter/><Property></Property>\n</Class>");
    xml->Read();
    xml->Read();
    EXPECT_EQ(S(L"Size"), xml->ReadElementString()); // moves to content first
    EXPECT_EQ(S(L"Filter"), xml->Name());
    EXPECT_EQ(String(), xml->ReadElementString());
    EXPECT_EQ(S(L"Property"), xml->Name());
    EXPECT_EQ(String(), xml->ReadElementString());
    EXPECT_EQ(XmlNodeType::Whitespace, xml->NodeType());
}

TEST(XmlTextReader, ReadElementStringNeedsAnElementWithTextOnly)
{
    TextXml text(L"<a>x<b/></a>");
    text->Read();
    text->Read();
    EXPECT_EQ(L"", ThrownMessage([&] { text->ReadElementString(); }));
    TextXml mixed(L"<a>x<b/></a>");
    mixed->Read();
    EXPECT_EQ(L"", ThrownMessage([&] { mixed->ReadElementString(); }));
    EXPECT_EQ(S(L"b"), mixed->Name());
    EXPECT_EQ(ReadState::Interactive, mixed->ReadState()); // not a syntax error
}

// ---------------------------------------------------------------------------------------------------------------
// Buffers, records and resources

TEST(XmlTextReader, ConstructsLongerThanTheBufferArriveWhole)
{
    std::wstring big(100000, L'x');
    std::wstring name(50000, L'n');
    std::wstring document = L"<" + name + L" a='" + big + L"'>" + big + L"&amp;" + big + L"<!--" + big +
                            L"--><![CDATA[" + big + L"]]><?t " + big + L"?></" + name + L">";
    StringReader input{String(document.c_str(), static_cast<int>(document.size()))};
    XmlTextReader reader(&input);
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(50000, reader.Name().GetLength());
    EXPECT_EQ(100000, reader.GetAttribute(0).GetLength());
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(200001, reader.Value().GetLength());
    EXPECT_EQ(L'&', reader.Value()[100000]);
    for (int kind : {XmlNodeType::Comment, XmlNodeType::CDATA, XmlNodeType::ProcessingInstruction})
    {
        ASSERT_TRUE(reader.Read());
        EXPECT_EQ(kind, reader.NodeType().GetValue());
        EXPECT_EQ(100000, reader.Value().GetLength());
    }
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(XmlNodeType::EndElement, reader.NodeType());
    EXPECT_EQ(1, reader.LineNumber());
    EXPECT_EQ(static_cast<int>(document.size()) - 50000, reader.LinePosition());
    EXPECT_FALSE(reader.Read());
}

TEST(XmlTextReader, OneCharacterAtATimeGivesTheSameNodesAndPositions)
{
    std::wstring document = L"<?xml version='1.0' encoding='utf-8'?>\r\n<!-- c -->\n<r xmlns:p='urn:p' "
                            L"p:a='1&#x41;&e;2'>\r\n\t<p:b x=\"&lt;\">t&amp;x&f;\r\ny</p:b><![CDATA[d]]]><?pi "
                            L"v?>\n<e/></r>\n";
    std::wstring whole = Trace(document);
    EXPECT_EQ(std::wstring::npos, whole.find(L"error"));
    for (int step : {1, 2, 3, 7})
    {
        EXPECT_EQ(whole, Trace(document, step)) << "step " << step;
    }
    XmlTesting::TricklingReader input(document, 1);
    XmlTextReader reader(&input);
    std::wstring positions;
    while (reader.Read())
    {
        positions += std::to_wstring(reader.LineNumber()) + L"," + std::to_wstring(reader.LinePosition()) + L" ";
    }
    EXPECT_EQ(L"1,3 1,39 2,5 2,11 3,2 3,38 4,3 4,16 4,23 4,26 5,4 5,17 5,24 5,30 6,2 6,7 6,9 ", positions);
}

TEST(XmlTextReader, EmptyElementsCostNoAllocationsOnceRecordsAreRecycled)
{
    std::wstring many = L"<r>";
    for (int i = 0; i < 2000; i++)
    {
        many += L"<item/><other/>";
    }
    many += L"</r>";
    StringReader input{String(many.c_str(), static_cast<int>(many.size()))};
    XmlTextReader reader(&input);
    reader.Read();
    reader.Read();
    Testing::AllocationScope scope;
    int elements = 0;
    while (reader.Read())
    {
        elements++;
    }
    EXPECT_EQ(4000, elements);
    EXPECT_LT(scope.Allocations(), 10);
}

TEST(XmlTextReader, ReadingLeavesNothingAllocated)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         Trace(L"<?xml version='1.0'?><r xmlns:p='urn:p' xml:lang='en'><p:a x='&e;y'>t&z;u<![CDATA[c]]>"
                               L"</p:a><!--c--><?p v?></r>");
                         Trace(L"<r><a x='1' x='2'/></r>");
                         Trace(L"<r><a>", 1);
                     }));
}

TEST(XmlTextReader, AFailingAllocationLeavesNothingBehind)
{
    bool injected = true;
    for (int failing = 0; injected; failing++)
    {
        int64_t leaked = Testing::LeakedBy(
            [&]
            {
                try
                {
                    injected = Testing::RunWithFailingAllocation(
                        failing,
                        []
                        {
                            StringReader input{String(L"<r a='1&amp;'><b>t&e;</b><!--c--></r>")};
                            XmlTextReader reader(&input);
                            while (reader.Read())
                            {
                                reader.MoveToFirstAttribute() && reader.ReadAttributeValue();
                            }
                        });
                }
                catch (const std::bad_alloc&)
                {
                }
            });
        EXPECT_EQ(0, leaked) << "allocation " << failing;
    }
}
